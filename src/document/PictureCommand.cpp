#include "document/PictureCommand.h"

#include "sdk/SettingsFile.h"

#include <charconv>
#include <sstream>

namespace hook {
namespace {

constexpr std::size_t kMaxFileBytes = 64 * 1024;

std::string trimmed(const std::string& text) {
    const std::size_t begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos) return {};
    const std::size_t end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

}   // namespace

std::string CommandSettings::PathBeside(const std::string& configPath) {
    const std::size_t slash = configPath.rfind('/');
    return (slash == std::string::npos ? std::string() : configPath.substr(0, slash + 1)) +
           "command.cfg";
}

CommandSettings CommandSettings::Load(const std::string& path, std::string* error) {
    CommandSettings settings;
    std::string text, reason;
    const bool read = sdk::ReadSettingsFile(path, kMaxFileBytes, text, reason);
    if (error) *error = reason;
    if (!read) return settings;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = trimmed(line.substr(0, equals));
        const std::string value = trimmed(line.substr(equals + 1));
        if (key == "command") {
            settings.command = value;
        } else if (key == "sessions" && (value == "0" || value == "1")) {
            settings.sessions = value == "1";
        } else if (key == "limit_seconds") {
            int seconds = 0;
            const auto [end, ec] =
                std::from_chars(value.data(), value.data() + value.size(), seconds);
            if (ec == std::errc() && end == value.data() + value.size() && seconds >= 1 &&
                seconds <= kMaxLimitSeconds)
                settings.limitSeconds = seconds;
        }
    }
    return settings;
}

bool CommandSettings::Save(const std::string& path, std::string& error) const {
    // One line each: a line break in the command would start a key of its own.
    std::string line = command;
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    const std::string text = "command=" + trimmed(line) + "\nsessions=" + (sessions ? "1" : "0") +
                             "\nlimit_seconds=" + std::to_string(limitSeconds) + "\n";
    return sdk::ReplaceSettingsFile(path, text, error);
}

bool SplitCommand(const std::string& line, std::vector<std::string>& words, std::string& error) {
    words.clear();
    std::string word;
    bool inWord = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == ' ' || c == '\t') {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == '\\') {
            if (i + 1 >= line.size()) {
                error = "the command ends in a backslash";
                return false;
            }
            word += line[++i];
        } else if (c == '\'') {
            const std::size_t close = line.find('\'', i + 1);
            if (close == std::string::npos) {
                error = "a single quote (') is not closed";
                return false;
            }
            word += line.substr(i + 1, close - i - 1);
            i = close;
        } else if (c == '"') {
            bool closed = false;
            for (++i; i < line.size(); ++i) {
                if (line[i] == '"') {
                    closed = true;
                    break;
                }
                if (line[i] == '\\' && i + 1 < line.size() &&
                    (line[i + 1] == '"' || line[i + 1] == '\\'))
                    ++i;
                word += line[i];
            }
            if (!closed) {
                error = "a double quote (\") is not closed";
                return false;
            }
        } else {
            word += c;
        }
    }
    if (inWord) words.push_back(std::move(word));
    error.clear();
    return true;
}

std::vector<std::string> CommandArguments(const std::vector<std::string>& words,
                                          const CommandEvent& event) {
    const std::pair<const char*, const std::string*> fields[] = {
        {"{action}", &event.action}, {"{file}", &event.file},     {"{folder}", &event.folder},
        {"{number}", &event.number}, {"{camera}", &event.camera}, {"{session}", &event.session}};
    std::vector<std::string> out;
    out.reserve(words.size());
    for (const std::string& word : words) {
        std::string result;
        for (std::size_t i = 0; i < word.size();) {
            bool replaced = false;
            if (word[i] == '{')
                for (const auto& [name, value] : fields) {
                    const std::string_view token(name);
                    if (word.compare(i, token.size(), token) == 0) {
                        result += *value;
                        i += token.size();
                        replaced = true;
                        break;
                    }
                }
            if (!replaced) result += word[i++];
        }
        out.push_back(std::move(result));
    }
    return out;
}

std::vector<std::string> CommandEnvironment(const CommandEvent& event) {
    return {"KESTREL_ACTION=" + event.action, "KESTREL_FILE=" + event.file,
            "KESTREL_FOLDER=" + event.folder, "KESTREL_NUMBER=" + event.number,
            "KESTREL_CAMERA=" + event.camera, "KESTREL_SESSION=" + event.session};
}

std::string PictureNumber(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    std::size_t end = name.size();
    while (end > 0 && !(name[end - 1] >= '0' && name[end - 1] <= '9')) --end;
    std::size_t begin = end;
    while (begin > 0 && name[begin - 1] >= '0' && name[begin - 1] <= '9') --begin;
    return name.substr(begin, end - begin);
}

}   // namespace hook
