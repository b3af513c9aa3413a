// Moves files to the desktop's trash as the freedesktop.org trash layout has it (files/ and
// info/<name>.trashinfo), with the paths kept as the file system's bytes: the home trash
// ($XDG_DATA_HOME/Trash, else ~/.local/share/Trash) for a file on its file system, else the
// file's own volume's .Trash-<uid>. It checks the trash is writable before anything moves, so
// an unusable trash is a refusal with a reason, never a wait. Any thread; nothing shared.
#pragma once

#include <string>

namespace trash {

// Empty when path is in the trash (then trashed, when given, is where in files/); otherwise why
// not (and path is where it was).
std::string MoveToTrash(const std::string& path, std::string* trashed = nullptr);

// Puts a file MoveToTrash moved (trashed, in a files/ folder) back at path and removes its
// info file. Empty when done; otherwise why not (nothing at path is replaced).
std::string RestoreFromTrash(const std::string& trashed, const std::string& path);

}   // namespace trash
