// Writes a released image: a JPEG of the scene (libturbojpeg), or the simulator's raw file
// for the "Lossless" quality, reporting transfer progress along the way.
#pragma once

#include "sdk/sdk.h"
#include "sdk/sim/Scene.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// What the camera saw when the shutter was released.
struct Shot {
    std::uint64_t frameIndex = 0;
    double brightness = 1.0;
    scene::Focus focus;   // the blur of the scene's thirds at the lens's focus
    int width = 640, height = 480;
    std::uint32_t quality = 3;   // 1 Economy, 2 Normal, 3 Fine, 4 Lossless (raw), 5 Superfine
};

constexpr std::uint32_t kQualityLossless = sdk::kQualityRaw;

// Raw file: "KESTREL-RAW\0", then little-endian 32-bit words: version 1, image width,
// image height, stored width, stored height, bits a sample (12), pattern (0 = RGGB);
// then stored width x height 16-bit little-endian samples. The mosaic is stored at a
// quarter of the image's width and height to keep the file small.
constexpr char kRawMagic[12] = "KESTREL-RAW";
constexpr std::size_t kRawHeaderBytes = 12 + 7 * 4;

// Renders the shot and writes it through sdk::CaptureFile to `path`, or to the next free
// number when that name is taken; `saved` receives the path it got. With `progress`, reports
// 0, 25, 50, 75 and 100 (status 0 while under way, 1 with the final 100) passing `context`.
// Returns 0, err::kFileOpen when the file cannot be created, err::kDiskFull when the disk is
// full, err::kFileWrite when writing fails otherwise.
// The EXIF APP1 segment (marker and length included) that carries thumbJpeg as the picture's
// thumbnail: a little-endian TIFF block with an IFD0 (orientation 1) and an IFD1 pointing at
// the thumbnail, as cameras write it. Empty when the thumbnail does not fit in one segment.
std::vector<std::uint8_t> exifThumbnailSegment(const std::uint8_t* thumbJpeg, std::size_t size);

// width x height RGB pixels as a baseline JPEG of the given quality (1..100) that carries a
// 160-pixel-wide EXIF thumbnail of the same picture (aspect kept) right after its start marker.
// Empty when compression fails.
std::vector<std::uint8_t> jpegWithThumbnail(const std::uint8_t* rgb, int width, int height,
                                            int quality);

sdk::Result writeShot(const Shot& shot, const char* path, sdk::ProgressCallback progress,
                      void* context, std::string* saved = nullptr);

}   // namespace sim
