// Turns a camera's preview JPEG into a viewfinder frame: decoded by libturbojpeg at the scaling
// factor that still covers the 320 x 240 box, fitted into it keeping its aspect (black bars),
// as BGR rows bottom-up after the 54-byte bitmap header.
//
// Threads: one object per thread. Allocates only when a preview is larger than any before it.
#pragma once

#include "sdk/sdk.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace gphoto {

class PreviewFrame {
public:
    PreviewFrame();
    ~PreviewFrame();
    PreviewFrame(const PreviewFrame&) = delete;
    PreviewFrame& operator=(const PreviewFrame&) = delete;

    // Writes kFrameBytes into frame; false (frame untouched) when the JPEG cannot be decoded.
    bool Convert(const unsigned char* jpeg, std::size_t size, std::uint8_t* frame);

private:
    void* decoder_;                       // tjhandle
    std::vector<std::uint8_t> scratch_;   // the scaled decode, reused
    std::vector<int> columns_;            // source column of each box column, reused
};

// The 54-byte header of a 320 x 240, 24-bit, bottom-up frame.
void WriteFrameHeader(std::uint8_t* header);

}   // namespace gphoto
