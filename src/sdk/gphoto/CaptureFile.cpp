#include "sdk/gphoto/CaptureFile.h"

#include "sdk/CaptureFile.h"

namespace gphoto {

int WriteCaptureFile(const std::string& path, const void* bytes, std::size_t size,
                     std::string& saved) {
    saved.clear();
    sdk::CaptureFile file;
    if (const int e = file.open(path)) return e;
    if (const int e = file.write(bytes, size)) return e;
    return file.commit(saved);
}

}   // namespace gphoto
