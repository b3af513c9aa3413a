// How sharp each third of a picture is (the simulated scene's near, middle and far objects
// stand in its left, middle and right thirds): the mean squared difference of neighbouring
// green samples inside each third, away from its edges. Header-only; JPEG through libturbojpeg
// (the test program links it).
#pragma once

#include <turbojpeg.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace testsupport {

// Gradient energy of each third of width x height pixels of `channels` bytes, rows rowBytes
// apart (either row order).
inline std::array<double, 3> ThirdsSharpness(const std::uint8_t* pixels, int width, int height,
                                             long rowBytes, int channels, int green = 1) {
    std::array<double, 3> energy{};
    const int margin = width / 24 + 1;
    for (int k = 0; k < 3; ++k) {
        const int x0 = (k * width + 2) / 3 + margin, x1 = ((k + 1) * width + 2) / 3 - margin;
        double sum = 0;
        long n = 0;
        for (int y = margin; y + 1 < height - margin; ++y) {
            const std::uint8_t* row = pixels + y * rowBytes;
            for (int x = x0; x + 1 < x1; ++x) {
                const int v = row[x * channels + green];
                const int dx = row[(x + 1) * channels + green] - v;
                const int dy = row[rowBytes + x * channels + green] - v;
                sum += dx * dx + dy * dy;
                ++n;
            }
        }
        energy[static_cast<std::size_t>(k)] = n > 0 ? sum / static_cast<double>(n) : 0;
    }
    return energy;
}

// The same for a JPEG file; all 0 when it does not decode.
inline std::array<double, 3> JpegThirdsSharpness(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in),
                                           std::istreambuf_iterator<char>()};
    tjhandle tj = tjInitDecompress();
    int width = 0, height = 0, sub = 0, space = 0;
    std::array<double, 3> energy{};
    if (tjDecompressHeader3(tj, bytes.data(), bytes.size(), &width, &height, &sub, &space) == 0) {
        std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * height * 3);
        if (tjDecompress2(tj, bytes.data(), bytes.size(), rgb.data(), width, 0, height, TJPF_RGB,
                          0) == 0)
            energy = ThirdsSharpness(rgb.data(), width, height, width * 3L, 3);
    }
    tjDestroy(tj);
    return energy;
}

}   // namespace testsupport
