// Pictures read from files for showing: a thumbnail from the preview a file carries (the EXIF
// thumbnail of a JPEG, the previews of a raw file, through libexiv2), else libturbojpeg's
// scaled decoding; and the whole picture for the large view. Any thread; nothing shared.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace picture {

struct Pixels {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;   // width x height x 3, rows top-down
    std::string error;               // why there is no picture (empty when there is one)
    bool ok() const { return error.empty() && width > 0 && height > 0; }
};

// A picture at least minWidth pixels wide where the file offers one that small: the smallest
// embedded JPEG preview that wide (or the largest there is), else the file itself decoded at
// the smallest scale libturbojpeg offers that keeps minWidth. Failing all, error says why.
Pixels ReadThumbnail(const std::string& path, int minWidth = 160);

// The whole picture: a JPEG decoded at full size, another file's largest embedded preview.
Pixels ReadPicture(const std::string& path);

// Decodes JPEG bytes, scaled down by the largest factor libturbojpeg offers that keeps the
// width at least minWidth (0: full size).
Pixels DecodeJpeg(const std::uint8_t* data, std::size_t size, int minWidth = 0);

}   // namespace picture
