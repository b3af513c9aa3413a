// The viewfinder frame check: any buffer and any claimed size up to its length, no fault.
#include "document/FrameHeader.h"

#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> frame(data, data + size);   // exactly the bytes given
    IsViewfinderFrame(frame.data(), static_cast<std::uint32_t>(frame.size()));
    return 0;
}
