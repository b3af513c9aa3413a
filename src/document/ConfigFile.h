// config.cfg: the capture folder and the capture name, two text lines kept between runs.
#pragma once

#include <string>

namespace config {

// Reads the two lines, at any length. False (nothing changed) when the file does not open; true
// otherwise, whatever it holds. Line ends may be "\n" or "\r\n". A fifo, a device or a link
// another user made is not read: false, with the reason in error when given.
bool Load(const std::string& path, std::string& folder, std::string& name,
          std::string* error = nullptr);

// Writes folder, "\n", name (no line end after the name) through sdk::ReplaceSettingsFile: a
// random temporary beside the file, synced and renamed over it, so a failed save never leaves a
// half-written file. A config.cfg symlinked by the user stays a symlink: its target is
// replaced. Nothing is written, and false returned with the reason in error, when the existing
// file is read-only, not a regular file, a link another user made, or a value holds a line break
// (it would not read back as it was).
bool Save(const std::string& path, const std::string& folder, const std::string& name,
          std::string& error);

}   // namespace config
