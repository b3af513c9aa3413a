#include "picture/Preview.h"

#include "picture/ExivInit.h"
#include "picture/PictureList.h"

#include <exiv2/exiv2.hpp>
#include <turbojpeg.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// libexiv2 0.27 hands its objects over in std::auto_ptr.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace picture {
namespace {

Pixels failed(std::string why) {
    Pixels p;
    p.error = std::move(why);
    return p;
}

// Nothing the libraries throw (a damaged file, memory) reaches the caller.
template <typename Read>
Pixels guarded(Read read) {
    try {
        return read();
    } catch (const std::bad_alloc&) {
        return failed("not enough memory to read it");
    } catch (const std::exception& e) {
        return failed(std::string("cannot be read (") + e.what() + ")");
    } catch (...) {
        return failed("cannot be read");
    }
}

std::string megabytes(std::uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    return text;
}

std::string pixelCount(std::uint64_t width, std::uint64_t height) {
    return std::to_string(width) + " x " + std::to_string(height) + " pixels";
}

// A picture file opened for reading: a regular file no larger than kMaxPictureFileBytes,
// checked on the descriptor before anything is read (a fifo or device is never waited on).
class PictureFile {
public:
    ~PictureFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    // Empty when open; otherwise why not.
    std::string open(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd_ < 0) return std::string("cannot be opened: ") + std::strerror(errno);
        struct stat st {};
        if (::fstat(fd_, &st) != 0) return std::string("cannot be read: ") + std::strerror(errno);
        if (!S_ISREG(st.st_mode)) {
            const char* kind = S_ISFIFO(st.st_mode)                         ? "a fifo"
                               : S_ISDIR(st.st_mode)                        ? "a folder"
                               : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? "a device"
                                                                            : "not a file";
            return std::string("it is ") + kind + ", not a regular file; it is not read";
        }
        if (st.st_size == 0) return "the file is empty";
        if (static_cast<std::uint64_t>(st.st_size) > kMaxPictureFileBytes)
            return "the file is " + megabytes(static_cast<std::uint64_t>(st.st_size)) +
                   ", more than Kestrel reads (" + std::to_string(kMaxPictureFileBytes >> 20) +
                   " MiB)";
        size_ = static_cast<std::size_t>(st.st_size);
        return {};
    }
    std::size_t size() const { return size_; }
    // The same file by a name libexiv2 can open, whatever is at the path by now.
    std::string procName() const { return "/proc/self/fd/" + std::to_string(fd_); }
    // Up to size() bytes from the start (fewer when the file shrank meanwhile).
    bool readAll(std::vector<std::uint8_t>& bytes, std::string& error) const {
        return readHead(size_, bytes, error);
    }
    bool readHead(std::size_t count, std::vector<std::uint8_t>& bytes, std::string& error) const {
        bytes.resize(std::min(count, size_));
        std::size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n =
                ::pread(fd_, bytes.data() + got, bytes.size() - got, static_cast<off_t>(got));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                error = std::string("cannot be read: ") + std::strerror(errno);
                return false;
            }
            if (n == 0) break;
            got += static_cast<std::size_t>(n);
        }
        bytes.resize(got);
        if (got == 0) error = "the file is empty";
        return got > 0;
    }

private:
    int fd_ = -1;
    std::size_t size_ = 0;
};

bool isJpeg(const std::vector<std::uint8_t>& head) {
    return head.size() > 2 && head[0] == 0xff && head[1] == 0xd8;
}

// A JPEG is decoded from memory: it is read whole, within its own limit.
bool jpegSizeOk(const PictureFile& file, std::string& error) {
    if (file.size() <= kMaxJpegFileBytes) return true;
    error = "the JPEG is " + megabytes(file.size()) + ", more than Kestrel reads (" +
            std::to_string(kMaxJpegFileBytes >> 20) + " MiB)";
    return false;
}

// The embedded JPEG previews' properties, smallest first (empty when the file has none or
// libexiv2 cannot read it).
struct Embedded {
    std::vector<std::uint8_t> head;   // what libexiv2 reads of a JPEG
    Exiv2::Image::AutoPtr image;
    Exiv2::PreviewPropertiesList jpegs;
};

// A JPEG's EXIF thumbnail sits in its first segments, before the picture data.
constexpr std::size_t kJpegHeadBytes = 1 << 20;

// libexiv2 reads the start of a JPEG from memory, another file through the descriptor already
// checked (what it opens is that regular file even if the name was replaced meanwhile).
// Anything it throws means no preview.
bool readEmbedded(const PictureFile& file, bool jpeg, Embedded& out) {
    try {
        EnsureExivReady();
        std::string error;
        if (jpeg && !file.readHead(kJpegHeadBytes, out.head, error)) return false;
        out.image =
            jpeg ? Exiv2::ImageFactory::open(out.head.data(), static_cast<long>(out.head.size()))
                 : Exiv2::ImageFactory::open(file.procName());
        out.image->readMetadata();
        Exiv2::PreviewManager manager(*out.image);
        for (const auto& p : manager.getPreviewProperties())
            if (p.mimeType_ == "image/jpeg" && p.size_ <= file.size() &&
                std::uint64_t{p.width_} * p.height_ <= kMaxPicturePixels)
                out.jpegs.push_back(p);
        return !out.jpegs.empty();
    } catch (...) {
        return false;
    }
}

Pixels decodePreview(Embedded& embedded, const Exiv2::PreviewProperties& which, int minWidth) {
    try {
        Exiv2::PreviewManager manager(*embedded.image);
        const Exiv2::PreviewImage preview = manager.getPreviewImage(which);
        return DecodeJpeg(preview.pData(), preview.size(), minWidth);
    } catch (const std::exception& e) {
        return failed(std::string("its preview cannot be read (") + e.what() + ")");
    } catch (...) {
        return failed("its preview cannot be read");
    }
}

Pixels readThumbnail(const std::string& path, int minWidth) {
    PictureFile file;
    if (std::string why = file.open(path); !why.empty()) return failed(why);
    std::string error;
    std::vector<std::uint8_t> bytes;
    if (!file.readHead(3, bytes, error)) return failed(error);
    const bool jpeg = isJpeg(bytes);
    if (jpeg && !jpegSizeOk(file, error)) return failed(error);
    Embedded embedded;
    if (readEmbedded(file, jpeg, embedded)) {
        const Exiv2::PreviewProperties* chosen = &embedded.jpegs.back();
        for (const auto& p : embedded.jpegs)
            if (static_cast<int>(p.width_) >= minWidth) {
                chosen = &p;
                break;
            }
        Pixels pixels = decodePreview(embedded, *chosen, minWidth);
        if (pixels.ok()) return pixels;
    }
    embedded.image.reset();
    embedded.head = {};
    if (!jpeg) return failed("no preview in the file, and it is not a JPEG");
    if (!file.readAll(bytes, error)) return failed(error);
    return DecodeJpeg(bytes.data(), bytes.size(), minWidth);
}

Pixels readPicture(const std::string& path) {
    PictureFile file;
    if (std::string why = file.open(path); !why.empty()) return failed(why);
    std::string error;
    std::vector<std::uint8_t> bytes;
    if (!file.readHead(3, bytes, error)) return failed(error);
    if (isJpeg(bytes)) {
        if (!jpegSizeOk(file, error) || !file.readAll(bytes, error)) return failed(error);
        return DecodeJpeg(bytes.data(), bytes.size());
    }
    Embedded embedded;
    if (!readEmbedded(file, false, embedded))
        return failed("no preview in the file, and it is not a JPEG");
    return decodePreview(embedded, embedded.jpegs.back(), 0);
}

// The EXIF orientation libexiv2 read of image (1 when none or out of range).
int orientationOf(const Exiv2::Image& image) {
    const Exiv2::ExifData& exif = image.exifData();
    const auto found = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
    if (found == exif.end()) return 1;
    const long orientation = found->toLong();
    return orientation >= 1 && orientation <= 8 ? static_cast<int>(orientation) : 1;
}

int jpegOrientation(const std::vector<std::uint8_t>& bytes) {
    try {
        EnsureExivReady();
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(
            bytes.data(), static_cast<long>(std::min(bytes.size(), kJpegHeadBytes)));
        image->readMetadata();
        return orientationOf(*image);
    } catch (...) {
        return 1;
    }
}

// The narrowest width a picture of width x height stored (turned by orientation when shown)
// may be decoded at and still fill a view of viewWidth x viewHeight; 0: the whole picture.
int widthFor(int width, int height, int orientation, int viewWidth, int viewHeight) {
    if (viewWidth <= 0 || viewHeight <= 0 || width <= 0 || height <= 0) return 0;
    if (orientation >= 5) std::swap(viewWidth, viewHeight);   // the view as the file stores it
    const double fitted =
        std::min(static_cast<double>(viewWidth), static_cast<double>(viewHeight) * width / height);
    const int wanted = static_cast<int>(fitted + 0.999);
    return wanted >= width ? 0 : wanted;
}

bool isJpegName(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos) return false;
    std::string extension = path.substr(dot + 1);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == "jpg" || extension == "jpeg";
}

LargeView readLargeView(const std::string& path, int viewWidth, int viewHeight) {
    LargeView view;
    PictureFile file;
    if (std::string why = file.open(path); !why.empty()) return view.pixels = failed(why), view;
    std::string error;
    std::vector<std::uint8_t> bytes;
    if (!file.readHead(3, bytes, error)) return view.pixels = failed(error), view;
    if (isJpeg(bytes)) {
        if (!jpegSizeOk(file, error) || !file.readAll(bytes, error))
            return view.pixels = failed(error), view;
        const std::unique_ptr<void, int (*)(tjhandle)> decoder(tjInitDecompress(), &tjDestroy);
        int w = 0, h = 0, subsampling = 0, colourspace = 0;
        if (decoder && tjDecompressHeader3(decoder.get(), bytes.data(),
                                           static_cast<unsigned long>(bytes.size()), &w, &h,
                                           &subsampling, &colourspace) == 0) {
            view.fullWidth = w;
            view.fullHeight = h;
        }
        view.orientation = jpegOrientation(bytes);
        view.source = LargeView::Jpeg;
        view.pixels = DecodeJpeg(bytes.data(), bytes.size(),
                                 widthFor(w, h, view.orientation, viewWidth, viewHeight));
        return view;
    }
    Embedded embedded;
    std::string why = "no preview in the file, and it is not a JPEG";
    if (readEmbedded(file, false, embedded)) {
        const Exiv2::PreviewProperties& largest = embedded.jpegs.back();
        if (static_cast<int>(largest.width_) >= kMinLargePreviewWidth) {
            view.orientation = orientationOf(*embedded.image);
            view.fullWidth = static_cast<int>(largest.width_);
            view.fullHeight = static_cast<int>(largest.height_);
            view.source = LargeView::EmbeddedPreview;
            view.pixels = decodePreview(
                embedded, largest,
                widthFor(view.fullWidth, view.fullHeight, view.orientation, viewWidth, viewHeight));
            if (view.pixels.ok()) return view;
            why = view.pixels.error;
        } else {
            why = "only a " + std::to_string(largest.width_) + " x " +
                  std::to_string(largest.height_) + " thumbnail in the file";
        }
    }
    embedded.image.reset();
    embedded.jpegs.clear();
    // The JPEG one release saved beside the RAW.
    for (const std::string& pair : PairOf(path)) {
        if (pair == path || !isJpegName(pair)) continue;
        view = readLargeView(pair, viewWidth, viewHeight);
        if (view.pixels.ok()) {
            view.source = LargeView::PairJpeg;
            return view;
        }
    }
    view = {};
    view.pixels = failed(why);
    return view;
}

Pixels decodeJpeg(const std::uint8_t* data, std::size_t size, int minWidth) {
    if (!data || size == 0) return failed("no picture data");
    const std::unique_ptr<void, int (*)(tjhandle)> decoder(tjInitDecompress(), &tjDestroy);
    tjhandle tj = decoder.get();
    if (!tj) return failed("the JPEG decoder could not start");
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    Pixels out;
    if (tjDecompressHeader3(tj, data, static_cast<unsigned long>(size), &width, &height,
                            &subsampling, &colourspace) != 0 ||
        width <= 0 || height <= 0) {
        out.error = std::string("not a readable JPEG (") + tjGetErrorStr2(tj) + ")";
        return out;
    }
    // The decoder holds the whole picture (a progressive one as coefficients) whatever the
    // scale: the claim is checked before anything is allocated.
    if (std::uint64_t{static_cast<unsigned>(width)} * static_cast<unsigned>(height) >
        kMaxPicturePixels) {
        return failed("the JPEG claims " + pixelCount(width, height) +
                      ", more than Kestrel reads (" + std::to_string(kMaxPicturePixels / 1000000) +
                      " million)");
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
    // A damaged or cut file stops at its first fault, and a progressive one with more scans than
    // any encoder writes is refused, rather than decoding the rest of a large claim for nothing.
    const int flags = TJFLAG_FASTDCT | TJFLAG_STOPONWARNING | TJFLAG_LIMITSCANS;
    if (tjDecompress2(tj, data, static_cast<unsigned long>(size), out.rgb.data(), w, w * 3, h,
                      TJPF_RGB, flags) != 0) {
        // A warning is a premature end or stray bytes: the picture stops part way.
        const bool cut = tjGetErrorCode(tj) == TJERR_WARNING;
        out = failed(
            std::string(cut ? "the JPEG data is incomplete (" : "the JPEG data is damaged (") +
            tjGetErrorStr2(tj) + ")");
    }
    return out;
}

}   // namespace

Pixels DecodeJpeg(const std::uint8_t* data, std::size_t size, int minWidth) {
    return guarded([&] { return decodeJpeg(data, size, minWidth); });
}

Pixels ReadThumbnail(const std::string& path, int minWidth) {
    return guarded([&] { return readThumbnail(path, minWidth); });
}

Pixels ReadPicture(const std::string& path) {
    return guarded([&] { return readPicture(path); });
}

LargeView ReadLargeView(const std::string& path, int width, int height) {
    LargeView view;
    view.pixels = guarded([&] {
        view = readLargeView(path, width, height);
        return std::move(view.pixels);
    });
    if (!view.pixels.ok()) {
        Pixels failure = std::move(view.pixels);
        view = {};
        view.pixels = std::move(failure);
    }
    return view;
}

int ReadOrientation(const std::string& path) {
    PictureFile file;
    std::string error;
    std::vector<std::uint8_t> head;
    if (!file.open(path).empty() || !file.readHead(3, head, error)) return 1;
    try {
        EnsureExivReady();
        const bool jpeg = isJpeg(head);
        if (jpeg && !file.readHead(kJpegHeadBytes, head, error)) return 1;
        Exiv2::Image::AutoPtr image =
            jpeg ? Exiv2::ImageFactory::open(head.data(), static_cast<long>(head.size()))
                 : Exiv2::ImageFactory::open(file.procName());
        image->readMetadata();
        const Exiv2::ExifData& exif = image->exifData();
        const auto found = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
        if (found == exif.end()) return 1;
        const long orientation = found->toLong();
        return orientation >= 1 && orientation <= 8 ? static_cast<int>(orientation) : 1;
    } catch (...) {
        return 1;
    }
}

bool ReadPictureBytes(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error,
                      std::uint64_t maxBytes) {
    bytes.clear();
    PictureFile file;
    error = file.open(path);
    if (!error.empty()) return false;
    if (file.size() > maxBytes) {
        error = "the file is " + megabytes(file.size()) + ", more than Kestrel reads (" +
                std::to_string(maxBytes >> 20) + " MiB)";
        return false;
    }
    return file.readAll(bytes, error);
}

}   // namespace picture
