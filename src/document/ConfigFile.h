// config.cfg: the capture folder and the capture name, two text lines kept between runs.
#pragma once

#include <string>

namespace config {

// Reads the two lines, at any length. False (nothing changed) when the file does not open; true
// otherwise, whatever it holds. Line ends may be "\n" or "\r\n".
bool Load(const std::string& path, std::string& folder, std::string& name);

// Writes folder, "\n", name (no line end after the name) to a unique temporary beside the file
// (mkstemp), with the old file's mode (or 0666 less the umask for a new one), syncs it and
// renames it over the file, so a failed save never leaves a half-written file. A symlinked
// config.cfg stays a symlink: its target is replaced. Nothing is written, and false returned
// with the reason in error, when the existing file is read-only or a value holds a line break
// (it would not read back as it was).
bool Save(const std::string& path, const std::string& folder, const std::string& name,
          std::string& error);

}   // namespace config
