// Sessions: one folder per job, "<root>/<date> <name>/", made the capture folder.
#pragma once

#include <ctime>
#include <string>

namespace sessions {

// "2026-12-09 Smith wedding": the folder name of a session started on that local date.
std::string FolderName(const std::tm& when, const std::string& name);

// Creates root/FolderName(when, name)/ (with root's missing parents; an existing folder is
// used as it is) and gives its path with a trailing '/' in folder. False with one line in
// error when the name is empty, holds '/' or a control character, is "." or "..", or the
// folder cannot be made.
bool Create(const std::string& root, const std::string& name, const std::tm& when,
            std::string& folder, std::string& error);

// The session's name as the title shows it: the last component of its folder
// ("/photos/2026-12-09 Smith/" -> "2026-12-09 Smith").
std::string TitleOf(const std::string& folder);

}   // namespace sessions
