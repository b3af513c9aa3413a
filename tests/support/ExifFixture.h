// Pictures with known shooting data for the tests: a file's EXIF written through libexiv2, as a
// camera leaves it (exposure time, f-number, ISO, lens model). Link PkgConfig::EXIV2.
#pragma once

#include <exiv2/exiv2.hpp>

#include <cstdint>
#include <string>
#include <utility>

// libexiv2 0.27 hands its objects over in std::auto_ptr.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace testsupport {

struct ExifFacts {
    std::pair<std::uint32_t, std::uint32_t> exposure{0, 0};   // seconds as a fraction; 0/0: none
    std::pair<std::uint32_t, std::uint32_t> fNumber{0, 0};    // 56/10 for f/5.6; 0/0: none
    std::uint16_t iso = 0;                                    // 0: none
    std::string lens;                                         // Exif.Photo.LensModel; empty: none
};

// Writes facts into the EXIF of the picture file at path (keeping what else it holds).
inline void WriteExif(const std::string& path, const ExifFacts& facts) {
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    Exiv2::ExifData exif = image->exifData();
    if (facts.exposure.second != 0)
        exif["Exif.Photo.ExposureTime"] =
            Exiv2::URational(facts.exposure.first, facts.exposure.second);
    if (facts.fNumber.second != 0)
        exif["Exif.Photo.FNumber"] = Exiv2::URational(facts.fNumber.first, facts.fNumber.second);
    if (facts.iso != 0) exif["Exif.Photo.ISOSpeedRatings"] = facts.iso;
    if (!facts.lens.empty()) exif["Exif.Photo.LensModel"] = facts.lens;
    image->setExifData(exif);
    image->writeMetadata();
}

}   // namespace testsupport

#pragma GCC diagnostic pop
