// The command after each picture: its settings (command.cfg beside config.cfg), how the line the
// user typed becomes a program and its arguments (no shell), and the facts each run is given in
// its arguments and environment. Standard library only; any thread, nothing shared.
#pragma once

#include <string>
#include <vector>

namespace hook {

// What a run is about, in the manner of gphoto2's hook script: action "download" for each
// saved picture (file is its path), "start" and "stop" for a session (file is empty).
struct CommandEvent {
    std::string action;
    std::string file;      // the saved picture's path
    std::string folder;    // the capture (or session) folder
    std::string number;    // the picture's number (the last digits of its name), or empty
    std::string camera;    // the connected camera's name, or empty
    std::string session;   // the session's name, or empty
};

struct CommandSettings {
    static constexpr int kDefaultLimitSeconds = 60;
    static constexpr int kMaxLimitSeconds = 24 * 60 * 60;

    std::string command;     // key "command": the line as typed; empty runs nothing
    bool sessions = false;   // key "sessions" (0/1): also at a session's start and end
    int limitSeconds = kDefaultLimitSeconds;   // key "limit_seconds", 1..kMaxLimitSeconds

    // "command.cfg" in the folder of the given config.cfg path.
    static std::string PathBeside(const std::string& configPath);
    // Reads path; a missing file gives the defaults with error empty, a refused or unreadable one
    // the defaults with the reason in error. Unknown keys and bad values are passed over.
    static CommandSettings Load(const std::string& path, std::string* error = nullptr);
    // Replaces path whole (sdk::ReplaceSettingsFile); false with the reason in error.
    bool Save(const std::string& path, std::string& error) const;
    bool operator==(const CommandSettings&) const = default;
};

// Splits a command line into words: spaces and tabs separate them; '...' keeps everything
// inside as it is; "..." keeps everything but \" and \\ (a backslash before any other character
// stays); outside quotes a backslash keeps the next character. Nothing is expanded ($, *, ~).
// False, with the reason in error, for an unclosed quote or a trailing backslash.
bool SplitCommand(const std::string& line, std::vector<std::string>& words, std::string& error);

// The words with {action}, {file}, {folder}, {number}, {camera} and {session} replaced by the
// event's facts (anywhere inside a word; other braces stay as they are).
std::vector<std::string> CommandArguments(const std::vector<std::string>& words,
                                          const CommandEvent& event);

// KESTREL_ACTION, KESTREL_FILE, KESTREL_FOLDER, KESTREL_NUMBER, KESTREL_CAMERA and
// KESTREL_SESSION as "NAME=value", in that order.
std::vector<std::string> CommandEnvironment(const CommandEvent& event);

// The number of a picture's file name: the last run of digits before its extension ("" when
// there is none): "Photo-0003.jpg" gives "0003".
std::string PictureNumber(const std::string& path);

}   // namespace hook
