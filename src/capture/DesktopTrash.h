// Moves files to the desktop's trash as the freedesktop.org trash layout has it (files/ and
// info/<name>.trashinfo), with the paths kept as the file system's bytes: the home trash
// ($XDG_DATA_HOME/Trash, else ~/.local/share/Trash) for a file on its file system, else the
// file's own volume's .Trash-<uid>. It checks the trash is writable before anything moves, so
// an unusable trash is a refusal with a reason, never a wait. Any thread; nothing shared.
#pragma once

#include <string>

namespace trash {

// Empty when path is in the trash; otherwise why not (and path is where it was).
std::string MoveToTrash(const std::string& path);

}   // namespace trash
