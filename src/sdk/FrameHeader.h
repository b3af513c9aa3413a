// The viewfinder frame's 54-byte bitmap header, written by every SDK table that delivers frames
// and checked by the document before a frame is shown: 320 x 240 pixels, 24 bits, uncompressed,
// rows bottom-up, followed by the 230,400 pixel bytes (sdk::kFrameBytes in all).
#pragma once

#include <cstdint>

namespace sdk {

// Writes the kFrameHeaderBytes bytes of the header at header.
void WriteFrameHeader(std::uint8_t* header);

// Whether frame is a whole viewfinder frame: size is kFrameBytes and the header says "BM",
// 320 x 240 (positive height: bottom-up), 24 bits a pixel, no compression. Null is not.
bool IsViewfinderFrame(const void* frame, std::uint32_t size);

}   // namespace sdk
