// Viewfinder frame header: the writer and the check.
#include "sdk/FrameHeader.h"

#include "sdk/LittleEndian.h"
#include "sdk/sdk.h"

#include <cstring>

namespace sdk {

void WriteFrameHeader(std::uint8_t* h) {
    std::memset(h, 0, kFrameHeaderBytes);
    h[0] = 'B';
    h[1] = 'M';
    WriteLe32(h + 2, static_cast<std::uint32_t>(kFrameBytes));
    WriteLe32(h + 10, static_cast<std::uint32_t>(kFrameHeaderBytes));
    WriteLe32(h + 14, 40);   // info header size
    WriteLe32(h + 18, kFrameWidth);
    WriteLe32(h + 22, kFrameHeight);   // positive: rows bottom-up
    WriteLe16(h + 26, 1);              // planes
    WriteLe16(h + 28, 24);             // bits a pixel
    WriteLe32(h + 30, 0);              // uncompressed
    WriteLe32(h + 34, static_cast<std::uint32_t>(kFramePixelBytes));
    WriteLe32(h + 38, 2835);   // 72 dpi
    WriteLe32(h + 42, 2835);
}

bool IsViewfinderFrame(const void* frame, std::uint32_t size) {
    if (frame == nullptr || size != kFrameBytes) return false;
    const auto* h = static_cast<const std::uint8_t*>(frame);
    return h[0] == 'B' && h[1] == 'M' &&
           static_cast<std::int32_t>(ReadLe32(h + 18)) == kFrameWidth &&
           static_cast<std::int32_t>(ReadLe32(h + 22)) == kFrameHeight && ReadLe16(h + 28) == 24 &&
           ReadLe32(h + 30) == 0;
}

}   // namespace sdk
