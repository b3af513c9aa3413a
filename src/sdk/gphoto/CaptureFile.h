// Where the libgphoto2 backend writes a downloaded picture: through the shared capture-file writer
// (sdk::CaptureFile), so a picture is whole under a capture name nothing else held, or absent.
#pragma once

#include <cstddef>
#include <string>

namespace gphoto {

// Writes size bytes to path, or to the next free number when path is taken meanwhile; saved gets
// the path written. Returns 0 or an errno value (ENOSPC for a full disk).
int WriteCaptureFile(const std::string& path, const void* bytes, std::size_t size,
                     std::string& saved);

}   // namespace gphoto
