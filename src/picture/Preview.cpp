#include "picture/Preview.h"

#include "picture/ExivInit.h"

#include <exiv2/exiv2.hpp>
#include <turbojpeg.h>

#include <fstream>
#include <iterator>

// libexiv2 0.27 hands its objects over in std::auto_ptr.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace picture {
namespace {

Pixels failed(std::string why) {
    Pixels p;
    p.error = std::move(why);
    return p;
}

std::vector<std::uint8_t> readBytes(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot be opened";
        return {};
    }
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    if (bytes.empty()) error = "the file is empty";
    return bytes;
}

// The embedded JPEG previews' properties, smallest first (empty when the file has none or
// libexiv2 cannot read it).
struct Embedded {
    Exiv2::Image::AutoPtr image;
    Exiv2::PreviewPropertiesList jpegs;
};

bool readEmbedded(const std::string& path, Embedded& out) {
    try {
        EnsureExivReady();
        out.image = Exiv2::ImageFactory::open(path);
        out.image->readMetadata();
        Exiv2::PreviewManager manager(*out.image);
        for (const auto& p : manager.getPreviewProperties())
            if (p.mimeType_ == "image/jpeg") out.jpegs.push_back(p);
        return !out.jpegs.empty();
    } catch (const Exiv2::AnyError&) {
        return false;
    }
}

Pixels decodePreview(Embedded& embedded, const Exiv2::PreviewProperties& which, int minWidth) {
    try {
        Exiv2::PreviewManager manager(*embedded.image);
        const Exiv2::PreviewImage preview = manager.getPreviewImage(which);
        return DecodeJpeg(preview.pData(), preview.size(), minWidth);
    } catch (const Exiv2::AnyError& e) {
        return failed(e.what());
    }
}

}   // namespace

Pixels DecodeJpeg(const std::uint8_t* data, std::size_t size, int minWidth) {
    if (!data || size == 0) return failed("no picture data");
    tjhandle tj = tjInitDecompress();
    if (!tj) return failed("the JPEG decoder could not start");
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    Pixels out;
    if (tjDecompressHeader3(tj, data, static_cast<unsigned long>(size), &width, &height,
                            &subsampling, &colourspace) != 0 ||
        width <= 0 || height <= 0) {
        out.error = std::string("not a readable JPEG (") + tjGetErrorStr2(tj) + ")";
        tjDestroy(tj);
        return out;
    }
    // The scaling factors come largest first; the last one still wide enough wins.
    int count = 0;
    const tjscalingfactor* factors = tjGetScalingFactors(&count);
    int w = width, h = height;
    for (int i = 0; minWidth > 0 && factors && i < count; ++i) {
        const int sw = TJSCALED(width, factors[i]), sh = TJSCALED(height, factors[i]);
        if (sw >= minWidth && sw < w) {
            w = sw;
            h = sh;
        }
    }
    out.width = w;
    out.height = h;
    out.rgb.resize(static_cast<std::size_t>(w) * h * 3);
    if (tjDecompress2(tj, data, static_cast<unsigned long>(size), out.rgb.data(), w, w * 3, h,
                      TJPF_RGB, TJFLAG_FASTDCT) != 0 &&
        tjGetErrorCode(tj) == TJERR_FATAL) {
        out = failed(std::string("the JPEG data is damaged (") + tjGetErrorStr2(tj) + ")");
    } else if (tjGetErrorCode(tj) == TJERR_WARNING) {
        // A premature end: the picture stops part way.
        out = failed(std::string("the JPEG data is incomplete (") + tjGetErrorStr2(tj) + ")");
    }
    tjDestroy(tj);
    return out;
}

Pixels ReadThumbnail(const std::string& path, int minWidth) {
    Embedded embedded;
    if (readEmbedded(path, embedded)) {
        const Exiv2::PreviewProperties* chosen = &embedded.jpegs.back();
        for (const auto& p : embedded.jpegs)
            if (static_cast<int>(p.width_) >= minWidth) {
                chosen = &p;
                break;
            }
        Pixels pixels = decodePreview(embedded, *chosen, minWidth);
        if (pixels.ok()) return pixels;
    }
    std::string error;
    const std::vector<std::uint8_t> bytes = readBytes(path, error);
    if (!error.empty()) return failed(error);
    Pixels pixels = DecodeJpeg(bytes.data(), bytes.size(), minWidth);
    if (!pixels.ok() && bytes.size() > 2 && bytes[0] == 0xff && bytes[1] == 0xd8) return pixels;
    if (!pixels.ok()) return failed("no preview in the file, and it is not a JPEG");
    return pixels;
}

Pixels ReadPicture(const std::string& path) {
    std::string error;
    const std::vector<std::uint8_t> bytes = readBytes(path, error);
    if (!error.empty()) return failed(error);
    if (bytes.size() > 2 && bytes[0] == 0xff && bytes[1] == 0xd8)
        return DecodeJpeg(bytes.data(), bytes.size());
    Embedded embedded;
    if (!readEmbedded(path, embedded))
        return failed("no preview in the file, and it is not a JPEG");
    return decodePreview(embedded, embedded.jpegs.back(), 0);
}

}   // namespace picture
