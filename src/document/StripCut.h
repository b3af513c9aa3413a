// The stitch strip: the edge of the previous shot shown beside the live picture.
#pragma once

#include "document/FrameBuffers.h"

#include <cstdint>

// Cuts the strip for a direction from shot into strip:
//   1 (previous picture on the left): the right-hand 80 pixels of every row,
//   2 (on the right): the left-hand 80 pixels of every row, both packed 240 bytes a row;
//   3 (above): memory rows 0..79, the bottom 80 rows of the picture;
//   4 (below): memory rows 160..239, the top 80 rows.
// Any other direction leaves strip unchanged. Directions 1 and 2 fill the first 57,600 bytes.
void CutStrip(const FrameBuffers::Frame& shot, std::uint32_t direction, FrameBuffers::Strip& strip);
