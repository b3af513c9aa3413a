// The stitch overlap readout: how far the live picture's adjoining edge is from showing what the
// strip of the previous shot shows, found by matching reduced-resolution brightness.
//
// Pure computation; safe on any thread (no shared state).
#pragma once

#include "document/FrameBuffers.h"

#include <cstdint>
#include <string>

struct OverlapEstimate {
    bool shown = false;   // false when there is nothing to match (no direction, black strip)
    bool match = false;   // false when even the best shift matches poorly
    int dx = 0;           // where the strip's content sits in the live picture, relative to the
    int dy = 0;           // adjoining edge: + right / + down, in viewfinder pixels
    int score = 0;        // 0..100: correlation of the strip with the live edge at (dx, dy)
};

// The search reaches this far from the adjoining edge, in viewfinder pixels, each way.
inline constexpr int kOverlapSearch = 32;
// Scores below this are reported as no match.
inline constexpr int kOverlapMinScore = 60;

// Compares strip (the cut for direction 1..4, as in overlapStrip) with the edge of live on the
// strip's side: direction 1 the left 80 columns, 2 the right 80, 3 the top 80 rows, 4 the
// bottom 80. Any other direction, or a strip with no brightness, gives shown = false.
OverlapEstimate EstimateOverlap(const FrameBuffers::Frame& live, const FrameBuffers::Strip& strip,
                                std::uint32_t direction);

// The line shown under the Stitch panel's buttons: "" when not shown, "Overlap: no match", or
// "Overlap: move 6 px left, 3 px up - match 91 %" (how the live picture has to move; "aligned"
// when it need not).
std::string OverlapText(const OverlapEstimate& estimate);
