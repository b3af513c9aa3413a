#include "kit/SplitterLayout.h"

#include <algorithm>
#include <climits>

namespace kit {

std::vector<int> LayoutTracks(const std::vector<SplitterTrack>& tracks, int space,
                              const SplitterMetrics& metrics) {
    const int count = static_cast<int>(tracks.size());
    std::vector<int> size(tracks.size(), 0);
    if (count == 0) return size;
    space = std::max(space, 0);

    for (int i = 0; i < count - 1; ++i)
        size[i] = tracks[i].ideal < tracks[i].minimum ? 0 : std::max(tracks[i].ideal, 0);
    size[count - 1] = INT_MAX;   // the last one takes the rest

    for (int i = 0; i < count; ++i) {
        if (space == 0) {
            size[i] = 0;
            continue;
        }
        if (space < tracks[i].minimum && i != 0) {
            // Too small to show: hidden, and its room goes to the one before.
            size[i] = 0;
            size[i - 1] += space + metrics.border2;
            space = 0;
        } else if (size[i] == 0) {
            // asked for nothing
        } else if (space < size[i]) {
            size[i] = space;
            space = 0;
        } else {
            space -= size[i];
        }

        if (i != count - 1) {
            if (space > metrics.gap) {
                space -= metrics.gap;
            } else {
                size[i] += space;
                if (size[i] > metrics.gap - metrics.border2)
                    size[i] -= metrics.gap - metrics.border2;
                space = 0;
            }
        }
    }
    return size;
}

namespace {

std::vector<int> starts(const std::vector<int>& sizes, const SplitterMetrics& metrics) {
    std::vector<int> result(sizes.size(), 0);
    int position = metrics.border;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        result[i] = position;
        position += sizes[i] + metrics.gap;
    }
    return result;
}

// The bar after track i: the gap after it, or, when the next track is hidden, everything from
// the end of track i to the edge, so that the bar can still be caught and dragged back.
std::vector<std::pair<int, int>> bars(const std::vector<int>& sizes, const std::vector<int>& begin,
                                      int length, const SplitterMetrics& metrics) {
    std::vector<std::pair<int, int>> result;
    for (std::size_t i = 0; i + 1 < sizes.size(); ++i) {
        const int start = std::min(begin[i] + sizes[i], length);
        const int end = sizes[i + 1] > 0 ? std::min(start + metrics.gap, length) : length;
        result.emplace_back(start, std::max(end - start, 0));
    }
    return result;
}

}   // namespace

SplitterLayout ComputeSplitterLayout(QSize client, const std::vector<SplitterTrack>& rows,
                                     const std::vector<SplitterTrack>& columns,
                                     const SplitterMetrics& metrics) {
    SplitterLayout layout;
    if (client.width() <= 0 || client.height() <= 0 || rows.empty() || columns.empty())
        return layout;
    layout.valid = true;

    const int insideWidth = client.width() - 2 * metrics.border;
    const int insideHeight = client.height() - 2 * metrics.border;
    layout.columnSizes = LayoutTracks(columns, insideWidth, metrics);
    layout.rowSizes = LayoutTracks(rows, insideHeight, metrics);
    layout.columnStarts = starts(layout.columnSizes, metrics);
    layout.rowStarts = starts(layout.rowSizes, metrics);

    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const int w = layout.columnSizes[c];
            const int h = layout.rowSizes[r];
            layout.panes.push_back(w > 0 && h > 0
                                       ? QRect(layout.columnStarts[c], layout.rowStarts[r], w, h)
                                       : QRect());
        }
    }

    const int top = metrics.border;
    for (const auto& [x, w] :
         bars(layout.columnSizes, layout.columnStarts, client.width() - metrics.border, metrics))
        layout.columnBars.push_back(w > 0 ? QRect(x, top, w, insideHeight) : QRect());
    const int left = metrics.border;
    for (const auto& [y, h] :
         bars(layout.rowSizes, layout.rowStarts, client.height() - metrics.border, metrics))
        layout.rowBars.push_back(h > 0 ? QRect(left, y, insideWidth, h) : QRect());
    return layout;
}

}   // namespace kit
