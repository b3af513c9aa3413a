// naming.cfg beside config.cfg: the name template, the job text, the session root and the
// recent sessions, as "key=value" lines. config.cfg keeps its two lines for older versions.
#pragma once

#include <string>
#include <vector>

struct NamingSettings {
    static constexpr std::size_t kRecentSessions = 8;

    std::string nameTemplate = "{name}-{number}";   // key "template"
    std::string job;                                // key "job"
    std::string sessionRoot;                        // key "session_root"
    std::vector<std::string> recentSessions;        // key "session", newest first

    // The file beside the given config.cfg path ("naming.cfg" in the same folder).
    static std::string PathBeside(const std::string& configPath);
    // Reads path; unknown keys are passed over, values with a control character are ignored.
    // False with the reason in error when the file is refused; a missing file gives the
    // defaults, true, error empty.
    static bool Load(const std::string& path, NamingSettings& settings, std::string& error);
    // Writes through sdk::ReplaceSettingsFile. False with the reason in error.
    bool Save(const std::string& path, std::string& error) const;
    // Puts folder first among the recent sessions (once), keeping kRecentSessions.
    void AddRecent(const std::string& folder);

    bool operator==(const NamingSettings&) const = default;
};

// The naming the process's document uses now, for listings that are given only a folder and a
// capture name (the Review strip, the client view). The document publishes it whenever it
// changes; the defaults when there is no document. Any thread.
NamingSettings PublishedNaming();
void PublishNaming(const NamingSettings& settings);
