// The splitter's layout rule as a pure function: row and column sizes in, pane and bar
// rectangles out. CPaneSplitter applies the result; tests call it directly.
#pragma once

#include <QRect>
#include <QSize>

#include <vector>

namespace kit {

// One row or column of a splitter: the wished size and the size below which it is hidden.
struct SplitterTrack {
    int ideal = 0;
    int minimum = 0;
};

struct SplitterMetrics {
    int border = 1;    // inside the client area, all round
    int gap = 6;       // between two neighbouring panes (the bar)
    int border2 = 2;   // what a pane gains when the next one is hidden, and the bar's slack
};

// Shares `space` pixels out along one direction. Every track but the last asks for its ideal
// size (0 when the ideal is below its minimum); the last takes what is left. A track that would
// get less than its minimum is hidden (size 0) and its space goes to the track before it.
std::vector<int> LayoutTracks(const std::vector<SplitterTrack>& tracks, int space,
                              const SplitterMetrics& metrics = {});

struct SplitterLayout {
    bool valid = false;              // false: zero width or height, nothing is laid out
    std::vector<int> rowSizes;       // heights of the rows
    std::vector<int> columnSizes;    // widths of the columns
    std::vector<int> rowStarts;      // top of each row in client coordinates
    std::vector<int> columnStarts;   // left of each column in client coordinates
    std::vector<QRect> panes;        // row-major: index = row * columns + column; empty if hidden
    std::vector<QRect> rowBars;      // bar below row i (i < rows - 1); may be empty
    std::vector<QRect> columnBars;   // bar right of column i (i < columns - 1); may be empty
};

// Lays out a whole splitter of the given client size.
SplitterLayout ComputeSplitterLayout(QSize client, const std::vector<SplitterTrack>& rows,
                                     const std::vector<SplitterTrack>& columns,
                                     const SplitterMetrics& metrics = {});

}   // namespace kit
