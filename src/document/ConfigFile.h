// config.cfg: the capture folder and the capture name, two text lines kept between runs.
#pragma once

#include <string>

namespace config {

// Longest line kept; a longer line is cut here and leaves the stream failed, so the line
// after it reads as empty.
constexpr std::size_t kMaxLineLength = 254;

// Reads the two lines. False (nothing changed) when the file does not open; true otherwise,
// whatever it holds. Line ends may be "\n" or "\r\n".
bool Load(const std::string& path, std::string& folder, std::string& name);

// Writes folder, "\n", name (no line end after the name) to a temporary file beside path and
// renames it over path, so a failed save never leaves a half-written file. On failure returns
// false and describes why in error.
bool Save(const std::string& path, const std::string& folder, const std::string& name,
          std::string& error);

}  // namespace config
