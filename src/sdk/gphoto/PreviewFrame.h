// Turns a camera's preview JPEG into a viewfinder frame: decoded by libturbojpeg at the scaling
// factor that still covers the 320 x 240 box, fitted into it keeping its aspect (black bars),
// as BGR rows bottom-up after the 54-byte bitmap header.
//
// Threads: one object per thread. Allocates only when a preview is larger than any before it,
// and never for one larger than kMaxSide each way.
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

    // The largest preview accepted, each way: a camera that claims more (a damaged header
    // claiming 65,500 x 65,500) is refused before anything is allocated for it.
    static constexpr int kMaxSide = 8192;

    enum class Outcome { Converted, Undecodable, TooLarge };
    // Writes kFrameBytes into frame when Converted; frame is untouched otherwise.
    Outcome Convert(const unsigned char* jpeg, std::size_t size, std::uint8_t* frame);
    // The size the last preview claimed (0 x 0 when its header could not be read).
    int lastWidth() const { return lastWidth_; }
    int lastHeight() const { return lastHeight_; }

private:
    void* decoder_;                       // tjhandle
    std::vector<std::uint8_t> scratch_;   // the scaled decode, reused
    std::vector<int> columns_;            // source column of each box column, reused
    int lastWidth_ = 0;
    int lastHeight_ = 0;
};

}   // namespace gphoto
