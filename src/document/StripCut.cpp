// Cutting the stitch strip from the previous shot.
#include "document/StripCut.h"

#include <cstring>

void CutStrip(const FrameBuffers::Frame& shot, std::uint32_t direction,
              FrameBuffers::Strip& strip) {
    constexpr std::size_t kRow = FrameBuffers::kRowBytes;
    constexpr std::size_t kStripRow = 240;   // 80 pixels x 3 bytes
    switch (direction) {
        case 1:
        case 2: {
            const std::size_t offset = direction == 1 ? kRow - kStripRow : 0;
            for (int row = 0; row < FrameBuffers::kHeight; ++row)
                std::memcpy(strip.data() + row * kStripRow, shot.data() + row * kRow + offset,
                            kStripRow);
            break;
        }
        case 3: std::memcpy(strip.data(), shot.data(), FrameBuffers::kStripBytes); break;
        case 4:
            std::memcpy(strip.data(), shot.data() + 160 * kRow, FrameBuffers::kStripBytes);
            break;
        default: break;
    }
}
