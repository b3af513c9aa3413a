// The stitch overlap readout: how far the live picture's adjoining edge is from showing what the
// strip of the previous shot shows, found by matching reduced-resolution brightness.
//
// Pure computation; safe on any thread (no shared state).
#pragma once

#include "document/FrameBuffers.h"

#include <cstdint>
#include <string>

struct OverlapEstimate {
    bool shown = false;    // false when there is nothing to match (no direction, black strip)
    bool match = false;    // true only for a confident reading (see EstimateOverlap)
    int dx = 0;            // where the strip's content sits in the live picture, relative to the
    int dy = 0;            // adjoining edge: + right / + down, in viewfinder pixels
    int score = 0;         // 0..100: correlation of the strip with the live picture at (dx, dy)
    int runnerUp = 0;      // 0..100: the best score of a distinct other shift
    bool atEdge = false;   // the best shift lies on the border of the search
};

// The search: across the strip, this far each way; along it (towards and away from the
// adjoining edge), every place where at least half the strip's thickness is in the live
// picture: -40..+280 px for a side strip, -40..+200 px for a strip above or below.
inline constexpr int kOverlapAcross = 40;
// A reading is confident (match) when its score is at least kOverlapMinScore, it beats the
// best distinct other shift by at least kOverlapMinLead points, and it is not on the border of
// the search. The values come from the table test in tests/document/OverlapEstimateTest.cpp.
inline constexpr int kOverlapMinScore = 80;
inline constexpr int kOverlapMinLead = 28;

// Compares strip (the cut for direction 1..4, as in overlapStrip) with the live picture on the
// strip's side: direction 1 the left edge, 2 the right, 3 the top, 4 the bottom. Any other
// direction, or a strip with no brightness, gives shown = false.
OverlapEstimate EstimateOverlap(const FrameBuffers::Frame& live, const FrameBuffers::Strip& strip,
                                std::uint32_t direction);

// The line shown under the Stitch panel's buttons: "" when not shown, "Overlap: no match", or
// "Overlap: move 6 px left, 3 px up - match 91 %" (how the live picture has to move; "aligned"
// when it need not).
std::string OverlapText(const OverlapEstimate& estimate);
