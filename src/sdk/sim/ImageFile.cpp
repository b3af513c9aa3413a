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

void putBe16(std::uint8_t* at, std::size_t v) {
    at[0] = static_cast<std::uint8_t>(v >> 8);
    at[1] = static_cast<std::uint8_t>(v);
}

// One 12-byte IFD entry whose value fits in its four bytes.
void putEntry(std::vector<std::uint8_t>& out, std::uint16_t tag, std::uint16_t type,
              std::uint32_t value) {
    std::uint8_t bytes[12] = {};
    sdk::WriteLe16(bytes, tag);
    sdk::WriteLe16(bytes + 2, type);
    sdk::WriteLe32(bytes + 4, 1);
    if (type == 3) sdk::WriteLe16(bytes + 8, static_cast<std::uint16_t>(value));
    else sdk::WriteLe32(bytes + 8, value);
    out.insert(out.end(), bytes, bytes + 12);
}

// Compresses pixels with libturbojpeg; empty on failure.
std::vector<std::uint8_t> compress(const std::uint8_t* rgb, int width, int height, int quality) {
    tjhandle tj = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    const int rc = tj ? tjCompress2(tj, rgb, width, width * 3, height, TJPF_RGB, &jpeg, &size,
                                    TJSAMP_420, quality, TJFLAG_FASTDCT)
                      : -1;
    if (tj) tjDestroy(tj);
    std::vector<std::uint8_t> out;
    if (rc == 0) out.assign(jpeg, jpeg + size);
    tjFree(jpeg);
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

std::vector<std::uint8_t> exifThumbnailSegment(const std::uint8_t* thumbJpeg, std::size_t size) {
    constexpr std::uint16_t kShort = 3, kLong = 4;
    constexpr std::uint32_t kIfd0 = 8, kIfd1 = kIfd0 + 2 + 12 + 4, kThumb = kIfd1 + 2 + 3 * 12 + 4;
    const std::size_t length = 2 + 6 + kThumb + size;   // the length field counts itself
    if (length > 0xffff) return {};
    std::vector<std::uint8_t> out = {0xff, 0xe1, 0, 0, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0};
    putBe16(out.data() + 2, length);
    putU32(out, kIfd0);
    const std::uint8_t one[2] = {1, 0}, three[2] = {3, 0}, none[4] = {};
    out.insert(out.end(), one, one + 2);
    putEntry(out, 0x0112, kShort, 1);   // orientation: as stored
    putU32(out, kIfd1);
    out.insert(out.end(), three, three + 2);
    putEntry(out, 0x0103, kShort, 6);   // compression: JPEG
    putEntry(out, 0x0201, kLong, kThumb);
    putEntry(out, 0x0202, kLong, static_cast<std::uint32_t>(size));
    out.insert(out.end(), none, none + 4);
    out.insert(out.end(), thumbJpeg, thumbJpeg + size);
    return out;
}

std::vector<std::uint8_t> jpegWithThumbnail(const std::uint8_t* rgb, int width, int height,
                                            int quality) {
    std::vector<std::uint8_t> jpeg = compress(rgb, width, height, quality);
    if (jpeg.size() < 2) return {};
    // Every thumbnail pixel is the picture's pixel at the same place (nearest, not averaged).
    const int tw = 160, th = std::max(1, 160 * height / std::max(1, width));
    std::vector<std::uint8_t> small(static_cast<std::size_t>(tw) * th * 3);
    for (int y = 0; y < th; ++y)
        for (int x = 0; x < tw; ++x)
            std::memcpy(&small[(static_cast<std::size_t>(y) * tw + x) * 3],
                        rgb + (static_cast<std::size_t>(y * height / th) * width +
                               static_cast<std::size_t>(x * width / tw)) *
                                  3,
                        3);
    const std::vector<std::uint8_t> thumb = compress(small.data(), tw, th, 75);
    const std::vector<std::uint8_t> app1 = exifThumbnailSegment(thumb.data(), thumb.size());
    jpeg.insert(jpeg.begin() + 2, app1.begin(), app1.end());
    return jpeg;
}

sdk::Result writeShot(const Shot& shot, const char* path, sdk::ProgressCallback progress,
                      void* context, std::string* saved) {
    const Reporter report{progress, context};
    sdk::CaptureFile file;
    if (const int e = file.open(path)) return e == ENOSPC ? err::kDiskFull : err::kFileOpen;
    report(0);

    const int w = std::max(1, shot.width), h = std::max(1, shot.height);
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(w) * h * 3);
    scene::renderImage(rgb.data(), w, h, shot.frameIndex, shot.brightness, shot.focus);
    report(25);

    const std::vector<std::uint8_t> bytes =
        shot.quality == kQualityLossless
            ? rawFile(rgb, w, h)
            : jpegWithThumbnail(rgb.data(), w, h, jpegQuality(shot.quality));
    if (bytes.empty()) return err::kFileWrite;   // the temporary goes with `file`
    const std::uint8_t* data = bytes.data();
    const std::size_t size = bytes.size();
    report(50);

    const std::size_t half = size / 2;
    int e = file.write(data, half);
    if (e == 0) report(75);
    if (e == 0) e = file.write(data + half, size - half);
    std::string savedPath;
    if (e == 0) e = file.commit(savedPath);
    if (e != 0) return e == ENOSPC ? err::kDiskFull : err::kFileWrite;
    if (saved) *saved = savedPath;
    report(100);
    return sdk::kOk;
}

}   // namespace sim
