#include "capture/SequenceListFile.h"

#include "sdk/SettingsFile.h"

#include <charconv>
#include <string_view>
#include <sstream>

namespace {

constexpr const char* kHeader = "kestrel-time-list 1";
constexpr long kMaxDelay = 99999;
constexpr long kMaxRepeats = 999999;

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// A whole decimal number from low to high, nothing else.
bool Number(const std::string& text, long low, long high, long& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty() && value >= low && value <= high;
}

// "word N": N when the line is exactly that.
bool Keyword(const std::string& line, const std::string& word, std::string& rest) {
    if (line.compare(0, word.size(), word) != 0) return false;
    if (line.size() == word.size()) {
        rest.clear();
        return true;
    }
    if (line[word.size()] != ' ') return false;
    rest = Trim(line.substr(word.size() + 1));
    return true;
}

}   // namespace

std::string WriteSequenceList(const SequenceList& list) {
    std::ostringstream out;
    out << kHeader << '\n' << "repeat " << list.repeats << '\n';
    for (const SequenceItem& step : list.steps) {
        if (step.isDelay()) {
            out << "delay " << step.delaySeconds << '\n';
            continue;
        }
        out << "photo\n  zoom = " << step.zoomPosition << '\n';
        for (const camera::SettingInfo& info : camera::kSettings)
            if (!step.label(info.key).empty())
                out << "  " << info.name << " = " << step.label(info.key) << '\n';
    }
    return out.str();
}

bool ReadSequenceList(const std::string& text, SequenceList& list, std::string& error) {
    SequenceList read;
    bool header = false, repeatSeen = false;
    std::vector<bool> given;   // settings given for the photo step being read (and zoom last)
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    std::istringstream in(text.starts_with(kByteOrderMark) ? text.substr(kByteOrderMark.size())
                                                           : text);
    std::string raw;
    int number = 0;
    auto fail = [&](const std::string& what) {
        error = "line " + std::to_string(number) + ": " + what;
        return false;
    };
    while (std::getline(in, raw)) {
        ++number;
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        if (raw.size() > kMaxListLineLength)
            return fail("longer than " + std::to_string(kMaxListLineLength) + " characters");
        for (char c : raw)
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t')
                return fail("a control character");
        const std::string line = Trim(raw);
        if (line.empty() || line[0] == '#') continue;
        if (!header) {
            if (line != kHeader)
                return fail(std::string("not a Time list: the first line must be \"") + kHeader +
                            "\"");
            header = true;
            continue;
        }
        const bool indented = raw[0] == ' ' || raw[0] == '\t';
        std::string rest;
        if (indented) {
            if (read.steps.empty() || read.steps.back().isDelay())
                return fail("a setting line outside a photo step");
            const auto equals = line.find('=');
            if (equals == std::string::npos) return fail("a setting line needs \"NAME = LABEL\"");
            const std::string name = Trim(line.substr(0, equals));
            const std::string label = Trim(line.substr(equals + 1));
            SequenceItem& photo = read.steps.back();
            std::size_t slot = camera::kSettingCount;   // zoom
            if (name != "zoom") {
                slot = 0;
                while (slot < camera::kSettingCount && camera::kSettings[slot].name != name) ++slot;
                if (slot == camera::kSettingCount)
                    return fail("no setting is called \"" + name + "\"");
            }
            if (given[slot]) return fail(name + " is given twice for this photo step");
            given[slot] = true;
            if (label.empty()) return fail(name + " has no value");
            if (slot == camera::kSettingCount) {
                long zoom = 0;
                if (!Number(label, 0, kMaxDelay, zoom))
                    return fail("zoom must be a whole number 0 to 99999");
                photo.zoomPosition = static_cast<std::uint32_t>(zoom);
            } else {
                photo.labels[camera::IndexOf(camera::kSettings[slot].key)] = label;
            }
            continue;
        }
        if (Keyword(line, "repeat", rest)) {
            long repeats = 0;
            if (repeatSeen) return fail("repeat is given twice");
            if (!read.steps.empty()) return fail("repeat must come before the steps");
            if (!Number(rest, 0, kMaxRepeats, repeats))
                return fail("repeat must be a whole number 0 to 999999");
            read.repeats = static_cast<int>(repeats);
            repeatSeen = true;
        } else if ((line == "photo" || line.starts_with("delay")) &&
                   read.steps.size() >= kMaxListSteps) {
            return fail("more than " + std::to_string(kMaxListSteps) + " steps");
        } else if (Keyword(line, "delay", rest)) {
            long seconds = 0;
            if (!Number(rest, 1, kMaxDelay, seconds))
                return fail("a delay is a whole number of seconds 1 to 99999");
            SequenceItem delay;
            delay.delaySeconds = static_cast<std::int32_t>(seconds);
            read.steps.push_back(delay);
        } else if (line == "photo") {
            read.steps.emplace_back();
            given.assign(camera::kSettingCount + 1, false);
        } else {
            return fail("unknown line \"" + line + "\"");
        }
    }
    if (!header) {
        number = 1;
        return fail(std::string("not a Time list: the first line must be \"") + kHeader + "\"");
    }
    list = std::move(read);
    return true;
}

bool LoadSequenceListFile(const std::string& path, SequenceList& list, std::string& error) {
    std::string text;
    if (!sdk::ReadSettingsFile(path, kMaxListFileBytes + 1, text, error)) {
        if (error.empty()) error = path + ": there is no such file";
        return false;
    }
    if (text.size() > kMaxListFileBytes) {
        error = path + " is larger than " + std::to_string(kMaxListFileBytes >> 20) +
                " MB; it is not read";
        return false;
    }
    if (ReadSequenceList(text, list, error)) return true;
    error = path + ": " + error;
    return false;
}

bool SaveSequenceListFile(const std::string& path, const SequenceList& list, std::string& error) {
    return sdk::ReplaceSettingsFile(path, WriteSequenceList(list), error);
}

std::string WithListExtension(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot + 1 == name.size()) return path + "ktl";   // "night."
    return dot == std::string::npos || dot == 0 ? path + ".ktl" : path;
}
