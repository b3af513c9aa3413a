// Plain JPEGs for the picture tests, compressed by libjpeg-turbo with no EXIF block at all (as an
// editor's export may be). Link PkgConfig::TURBOJPEG.
#pragma once

#include <turbojpeg.h>

#include <cstdint>
#include <string>

namespace testsupport {

// The JPEG of width x height RGB pixels, as its bytes.
inline std::string CompressJpeg(const std::uint8_t* rgb, int width, int height, int quality = 90,
                                int subsampling = TJSAMP_420, int flags = 0) {
    tjhandle tj = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    tjCompress2(tj, rgb, width, width * 3, height, TJPF_RGB, &jpeg, &size, subsampling, quality,
                flags);
    std::string out(reinterpret_cast<char*>(jpeg), size);
    tjFree(jpeg);
    tjDestroy(tj);
    return out;
}

}   // namespace testsupport
