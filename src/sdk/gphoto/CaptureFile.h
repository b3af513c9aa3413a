// The one place where the libgphoto2 backend writes a picture into the capture folder: a hidden
// temporary beside the target, filled, synced, then given the capture name without replacing
// anything. A picture is whole under its capture name, or absent.
#pragma once

#include <functional>
#include <string>

namespace gphoto {

enum class WriteResult { Ok, Exists, OpenFailed, WriteFailed };

// fill writes the picture into the open file descriptor (it must not close it); false = failed.
WriteResult WriteCaptureFile(const std::string& path, const std::function<bool(int fd)>& fill);

}  // namespace gphoto
