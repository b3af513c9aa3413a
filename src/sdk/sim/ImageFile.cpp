// Released image files: scene rendering at full size, JPEG compression or raw mosaic, writing.
#include "sdk/sim/ImageFile.h"

#include "sdk/CaptureFile.h"
#include "sdk/LittleEndian.h"
#include "sdk/sim/Scene.h"
#include "sdk/sim/Simulator.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace sim {
namespace {

int jpegQuality(std::uint32_t quality) {
    switch (quality) {
        case 1: return 50;    // Economy
        case 2: return 75;    // Normal
        case 5: return 97;    // Superfine
        default: return 90;   // Fine
    }
}

void putU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    std::uint8_t bytes[4];
    sdk::WriteLe32(bytes, v);
    out.insert(out.end(), bytes, bytes + 4);
}

// RGGB mosaic of 12-bit samples, one sample per stored pixel, at a quarter of the size.
std::vector<std::uint8_t> rawFile(const std::vector<std::uint8_t>& rgb, int width, int height) {
    const int sw = std::max(1, width / 4), sh = std::max(1, height / 4);
    std::vector<std::uint8_t> out;
    out.reserve(kRawHeaderBytes + static_cast<std::size_t>(sw) * sh * 2);
    out.insert(out.end(), kRawMagic, kRawMagic + sizeof kRawMagic);
    for (std::uint32_t v :
         {1u, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
          static_cast<std::uint32_t>(sw), static_cast<std::uint32_t>(sh), 12u, 0u})
        putU32(out, v);
    for (int y = 0; y < sh; ++y) {
        for (int x = 0; x < sw; ++x) {
            const std::size_t at =
                (static_cast<std::size_t>(y * 4) * width + static_cast<std::size_t>(x * 4)) * 3;
            const int channel = (y % 2 == 0) ? (x % 2 == 0 ? 0 : 1) : (x % 2 == 0 ? 1 : 2);
            const std::uint16_t sample = static_cast<std::uint16_t>(rgb[at + channel] << 4);
            std::uint8_t bytes[2];
            sdk::WriteLe16(bytes, sample);
            out.insert(out.end(), bytes, bytes + 2);
        }
    }
    return out;
}

struct Reporter {
    sdk::ProgressCallback progress;
    void* context;
    void operator()(std::uint32_t value) const {
        if (progress) progress(value, value >= 100 ? 1u : 0u, context);
    }
};

}   // namespace

sdk::Result writeShot(const Shot& shot, const char* path, sdk::ProgressCallback progress,
                      void* context, std::string* saved) {
    const Reporter report{progress, context};
    sdk::CaptureFile file;
    if (const int e = file.open(path)) return e == ENOSPC ? err::kDiskFull : err::kFileOpen;
    report(0);

    const int w = std::max(1, shot.width), h = std::max(1, shot.height);
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(w) * h * 3);
    scene::renderImage(rgb.data(), w, h, shot.frameIndex, shot.brightness);
    report(25);

    std::vector<std::uint8_t> raw;
    unsigned char* jpeg = nullptr;
    unsigned long jpegSize = 0;
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    if (shot.quality == kQualityLossless) {
        raw = rawFile(rgb, w, h);
        data = raw.data();
        size = raw.size();
    } else {
        tjhandle tj = tjInitCompress();
        const int rc = tj ? tjCompress2(tj, rgb.data(), w, w * 3, h, TJPF_RGB, &jpeg, &jpegSize,
                                        TJSAMP_420, jpegQuality(shot.quality), TJFLAG_FASTDCT)
                          : -1;
        if (tj) tjDestroy(tj);
        if (rc != 0) {
            tjFree(jpeg);
            return err::kFileWrite;   // the temporary goes with `file`
        }
        data = jpeg;
        size = jpegSize;
    }
    report(50);

    const std::size_t half = size / 2;
    int e = file.write(data, half);
    if (e == 0) report(75);
    if (e == 0) e = file.write(data + half, size - half);
    std::string savedPath;
    if (e == 0) e = file.commit(savedPath);
    if (jpeg) tjFree(jpeg);
    if (e != 0) return e == ENOSPC ? err::kDiskFull : err::kFileWrite;
    if (saved) *saved = savedPath;
    report(100);
    return sdk::kOk;
}

}   // namespace sim
