// Checks that a viewfinder buffer is what the frame path expects: a 54-byte bitmap header for
// 320 x 240 pixels, 24 bits, uncompressed, bottom-up, followed by the 230,400 pixel bytes.
#pragma once

#include <cstdint>

bool IsViewfinderFrame(const void* frame, std::uint32_t size);
