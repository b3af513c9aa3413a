// Pictures read from files for showing: a thumbnail from the preview a file carries (the EXIF
// thumbnail of a JPEG, the previews of a raw file, through libexiv2), else libturbojpeg's
// scaled decoding; and the whole picture for the large view. Any thread; nothing shared.
// Only regular files are read (a fifo, folder or device is refused at once), within the limits
// below; nothing libexiv2 or the decoder throws reaches the caller: a failure is an error text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace picture {

// The largest pictures Kestrel reads: the largest cameras make about 150 million pixels (14204 x
// 10652); a JPEG claiming more is refused before anything is allocated for it.
constexpr std::uint64_t kMaxPicturePixels = 200'000'000;
// A file larger than this is not read at all (a 150 MP raw file is about 300 MB)...
constexpr std::uint64_t kMaxPictureFileBytes = std::uint64_t{1} << 30;
// ...and a JPEG, which is decoded from memory, is read whole only up to this (a 150 MP JPEG at
// the best quality is about 100 MB).
constexpr std::uint64_t kMaxJpegFileBytes = std::uint64_t{256} << 20;

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

// What the large view shows of a file: the pixels (as stored: orientation says how to turn
// them), the picture's whole size as stored, and where the pixels came from.
struct LargeView {
    Pixels pixels;
    int orientation = 1;                 // as ReadOrientation, of the file the pixels came from
    int fullWidth = 0, fullHeight = 0;   // the picture the pixels show, at its own size
    enum Source { None, Jpeg, EmbeddedPreview, PairJpeg } source = None;
};

// An embedded preview narrower than this is a thumbnail, not a picture to look at large.
constexpr int kMinLargePreviewWidth = 640;

// The picture for a view of width x height (0 x 0: the whole picture, for 100 %), decoded at the
// smallest scale libturbojpeg offers that still fills the view once turned as its orientation
// says: a JPEG itself; for another file (a RAW) its largest embedded JPEG preview at least
// kMinLargePreviewWidth wide, else the JPEG saved beside it under the same name; failing all,
// pixels.error says why (a RAW with only a thumbnail: "only a W x H thumbnail in the file").
// The file limits of ReadPicture hold.
LargeView ReadLargeView(const std::string& path, int width, int height);

// The file's EXIF orientation (Exif.Image.Orientation, 1-8: 3 is upside down, 6 wants turning a
// quarter clockwise, 8 a quarter anticlockwise); 1 when it has none or cannot be read. The
// pixels above are as stored: the one showing them turns them.
int ReadOrientation(const std::string& path);

// Decodes JPEG bytes, scaled down by the largest factor libturbojpeg offers that keeps the
// width at least minWidth (0: full size). A damaged or cut JPEG is an error, not part of one.
Pixels DecodeJpeg(const std::uint8_t* data, std::size_t size, int minWidth = 0);

// The whole of a picture file that is decoded elsewhere (the layout overlay's PNG or JPEG), with
// the same refusals: only a regular file (a fifo or a link to a device is not waited on), not
// empty, at most maxBytes. False with the reason in error.
bool ReadPictureBytes(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error,
                      std::uint64_t maxBytes = kMaxJpegFileBytes);

}   // namespace picture
