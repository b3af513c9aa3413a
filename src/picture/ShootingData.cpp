#include "picture/ShootingData.h"

#include "picture/ExivInit.h"

#include <exiv2/exiv2.hpp>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// libexiv2 0.27 hands its objects over in std::auto_ptr.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace picture {
namespace {

constexpr std::size_t kExifHeadBytes = 1 << 20;

std::string oneDecimal(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    std::string out = text;
    if (out.size() > 2 && out.ends_with(".0")) out.resize(out.size() - 2);
    return out;
}

// The first of keys the EXIF holds with a value, or end.
Exiv2::ExifData::const_iterator firstOf(const Exiv2::ExifData& exif,
                                        std::initializer_list<const char*> keys) {
    for (const char* key : keys) {
        const auto found = exif.findKey(Exiv2::ExifKey(key));
        if (found != exif.end() && found->count() > 0) return found;
    }
    return exif.end();
}

std::string rationalText(const Exiv2::ExifData& exif, const char* key,
                         std::string (*text)(std::int64_t, std::int64_t)) {
    const auto found = firstOf(exif, {key});
    if (found == exif.end()) return {};
    const Exiv2::Rational r = found->toRational();
    return text(r.first, r.second);
}

// The EXIF of a regular file: a JPEG's first megabyte read here, another file opened by
// libexiv2 through the descriptor checked.
Exiv2::Image::AutoPtr openExif(const std::string& path, std::vector<std::uint8_t>& head) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return Exiv2::Image::AutoPtr();
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0)
        return Exiv2::Image::AutoPtr();
    head.resize(std::min<std::size_t>(kExifHeadBytes, static_cast<std::size_t>(st.st_size)));
    const ssize_t got = ::pread(fd, head.data(), head.size(), 0);
    if (got <= 2) return Exiv2::Image::AutoPtr();
    head.resize(static_cast<std::size_t>(got));
    Exiv2::Image::AutoPtr image =
        head[0] == 0xff && head[1] == 0xd8
            ? Exiv2::ImageFactory::open(head.data(), static_cast<long>(head.size()))
            : Exiv2::ImageFactory::open("/proc/self/fd/" + std::to_string(fd));
    image->readMetadata();
    return image;
}

}   // namespace

std::string ExposureText(std::int64_t numerator, std::int64_t denominator) {
    if (numerator <= 0 || denominator <= 0) return {};
    const double seconds = double(numerator) / double(denominator);
    if (seconds >= 1.0 - 1e-9) return oneDecimal(seconds) + " s";
    const double under = double(denominator) / double(numerator);
    return "1/" + std::to_string(std::llround(under)) + " s";
}

std::string ApertureText(std::int64_t numerator, std::int64_t denominator) {
    if (numerator <= 0 || denominator <= 0) return {};
    return "f/" + oneDecimal(double(numerator) / double(denominator));
}

ShootingData ReadShootingData(const std::string& path) {
    ShootingData data;
    try {
        EnsureExivReady();
        std::vector<std::uint8_t> head;
        Exiv2::Image::AutoPtr image = openExif(path, head);
        if (!image.get()) return data;
        const Exiv2::ExifData& exif = image->exifData();
        data.exposure = rationalText(exif, "Exif.Photo.ExposureTime", &ExposureText);
        data.aperture = rationalText(exif, "Exif.Photo.FNumber", &ApertureText);
        if (const auto iso = firstOf(exif, {"Exif.Photo.ISOSpeedRatings"}); iso != exif.end())
            if (const long value = iso->toLong(); value > 0)
                data.iso = "ISO " + std::to_string(value);
        if (const auto lens = firstOf(exif, {"Exif.Photo.LensModel", "Exif.Canon.LensModel"});
            lens != exif.end()) {
            data.lens = lens->toString();
            while (!data.lens.empty() && (data.lens.back() == '\0' || data.lens.back() == ' '))
                data.lens.pop_back();
            for (char& c : data.lens)
                if (static_cast<unsigned char>(c) < 0x20) c = ' ';
        }
    } catch (...) {
        return {};   // a damaged EXIF is no shooting data, never part of it
    }
    return data;
}

std::string ShootingLine(const std::string& fileName, const ShootingData& data) {
    if (!data.any()) return fileName + "   no shooting data";
    std::string line = fileName;
    for (const std::string* part : {&data.exposure, &data.aperture, &data.iso, &data.lens})
        if (!part->empty()) line += "   " + *part;
    return line;
}

}   // namespace picture
