// Brightness histogram of a frame: bin = (int)((blue + green + red) * 0.333), one count a pixel.
#pragma once

#include "document/FrameBuffers.h"

#include <cstdint>

// The bin of a pixel whose three bytes add up to sum (0..765).
int HistogramBin(int sum);

// Fills out with the counts of width x height pixels (3 bytes each) and the largest count.
void ComputeHistogram(const std::uint8_t* pixels, int width, int height, Histogram& out);
