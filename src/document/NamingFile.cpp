// Reading and writing naming.cfg.
#include "document/NamingFile.h"

#include "sdk/SettingsFile.h"

#include <algorithm>
#include <mutex>

namespace {

constexpr std::size_t kMaxFileBytes = 64 * 1024;   // beyond this the file is not ours

std::mutex gPublishedLock;   // guards gPublished
NamingSettings gPublished;

bool HasControl(const std::string& text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

}   // namespace

std::string NamingSettings::PathBeside(const std::string& configPath) {
    const std::size_t slash = configPath.rfind('/');
    return (slash == std::string::npos ? std::string() : configPath.substr(0, slash + 1)) +
           "naming.cfg";
}

bool NamingSettings::Load(const std::string& path, NamingSettings& settings, std::string& error) {
    settings = NamingSettings{};
    std::string data;
    error.clear();
    if (!sdk::ReadSettingsFile(path, kMaxFileBytes, data, error)) return error.empty();
    std::size_t pos = 0;
    while (pos < data.size()) {
        std::size_t end = data.find('\n', pos);
        if (end == std::string::npos) end = data.size();
        std::string line = data.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = line.substr(0, equals);
        std::string value = line.substr(equals + 1);
        if (HasControl(value)) continue;
        if (key == "template" && !value.empty()) settings.nameTemplate = std::move(value);
        else if (key == "job") settings.job = std::move(value);
        else if (key == "session_root") settings.sessionRoot = std::move(value);
        else if (key == "session" && !value.empty() &&
                 settings.recentSessions.size() < kRecentSessions &&
                 std::find(settings.recentSessions.begin(), settings.recentSessions.end(), value) ==
                     settings.recentSessions.end())
            settings.recentSessions.push_back(std::move(value));
    }
    return true;
}

bool NamingSettings::Save(const std::string& path, std::string& error) const {
    for (const std::string* value : {&nameTemplate, &job, &sessionRoot})
        if (HasControl(*value)) {
            error = "a naming setting holds a control character; " + path + " is left as it was";
            return false;
        }
    std::string text =
        "template=" + nameTemplate + "\njob=" + job + "\nsession_root=" + sessionRoot + "\n";
    for (const std::string& session : recentSessions)
        if (!HasControl(session)) text += "session=" + session + "\n";
    return sdk::ReplaceSettingsFile(path, text, error);
}

void NamingSettings::AddRecent(const std::string& folder) {
    std::erase(recentSessions, folder);
    recentSessions.insert(recentSessions.begin(), folder);
    if (recentSessions.size() > kRecentSessions) recentSessions.resize(kRecentSessions);
}

NamingSettings PublishedNaming() {
    std::lock_guard guard(gPublishedLock);
    return gPublished;
}

void PublishNaming(const NamingSettings& settings) {
    std::lock_guard guard(gPublishedLock);
    gPublished = settings;
}
