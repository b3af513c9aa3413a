// The viewfinder frame check: any buffer and any claimed size up to its length, no fault; and,
// since only a buffer of the frame's exact size reaches the header checks, the input's first
// 54 bytes as the header of a full-size frame, where a frame is accepted only at that size.
#include "sdk/FrameHeader.h"
#include "sdk/sdk.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> exact(data, data + size);   // exactly the bytes given
    sdk::IsViewfinderFrame(exact.data(), static_cast<std::uint32_t>(exact.size()));

    static std::vector<std::uint8_t> frame(sdk::kFrameBytes);   // pixels stay zero
    std::memset(frame.data(), 0, sdk::kFrameHeaderBytes);
    std::memcpy(frame.data(), data, std::min(size, sdk::kFrameHeaderBytes));
    const bool accepted = sdk::IsViewfinderFrame(frame.data(), sdk::kFrameBytes);
    // The same header with a size one byte short is never a frame.
    if (accepted && sdk::IsViewfinderFrame(frame.data(), sdk::kFrameBytes - 1)) std::abort();
    return 0;
}
