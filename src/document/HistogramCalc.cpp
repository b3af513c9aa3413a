// Histogram: a table from the 766 possible byte sums to their bins, and integer counts that
// become floats at the end (exact: a frame has far fewer than 2^24 pixels).
#include "document/HistogramCalc.h"

#include <algorithm>
#include <array>

namespace {

constexpr int kSums = 766;

constexpr std::array<std::uint8_t, kSums> MakeTable() {
    std::array<std::uint8_t, kSums> table{};
    for (int sum = 0; sum < kSums; ++sum)
        table[sum] = static_cast<std::uint8_t>(static_cast<int>(static_cast<double>(sum) * 0.333));
    return table;
}

constexpr std::array<std::uint8_t, kSums> kBinOf = MakeTable();

}  // namespace

int HistogramBin(int sum) { return static_cast<int>(static_cast<double>(sum) * 0.333); }

void ComputeHistogram(const std::uint8_t* pixels, int width, int height, Histogram& out) {
    // Four interleaved count tables, so consecutive pixels of one colour do not wait on each
    // other's increments.
    std::array<std::array<std::uint32_t, 256>, 4> counts{};
    const std::size_t total = width > 0 && height > 0
                                  ? static_cast<std::size_t>(width) * static_cast<std::size_t>(height)
                                  : 0;
    const std::uint8_t* p = pixels;
    std::size_t i = 0;
    for (; i + 4 <= total; i += 4, p += 12) {
        ++counts[0][kBinOf[p[0] + p[1] + p[2]]];
        ++counts[1][kBinOf[p[3] + p[4] + p[5]]];
        ++counts[2][kBinOf[p[6] + p[7] + p[8]]];
        ++counts[3][kBinOf[p[9] + p[10] + p[11]]];
    }
    for (; i < total; ++i, p += 3) ++counts[0][kBinOf[p[0] + p[1] + p[2]]];

    std::uint32_t peak = 0;
    for (int bin = 0; bin < 256; ++bin) {
        const std::uint32_t c = counts[0][bin] + counts[1][bin] + counts[2][bin] + counts[3][bin];
        out.bins[bin] = static_cast<float>(c);
        peak = std::max(peak, c);
    }
    out.peak = static_cast<float>(peak);
}
