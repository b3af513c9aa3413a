// Viewfinder frame header check.
#include "document/FrameHeader.h"

#include "document/FrameBuffers.h"

namespace {

std::uint32_t Read32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}
std::uint16_t Read16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

}   // namespace

bool IsViewfinderFrame(const void* frame, std::uint32_t size) {
    if (frame == nullptr || size != sdk::kFrameBytes) return false;
    const auto* h = static_cast<const std::uint8_t*>(frame);
    return h[0] == 'B' && h[1] == 'M' &&
           static_cast<std::int32_t>(Read32(h + 18)) == FrameBuffers::kWidth &&
           static_cast<std::int32_t>(Read32(h + 22)) == FrameBuffers::kHeight &&
           Read16(h + 28) == 24 && Read32(h + 30) == 0;
}
