// The shooting data of a picture for the line under the large view: exposure time, aperture,
// ISO and lens from its EXIF (read through libexiv2), and that line's text. Any thread; no Qt.
#pragma once

#include <cstdint>
#include <string>

namespace picture {

struct ShootingData {
    // Each as shown ("1/125 s", "f/5.6", "ISO 400", the lens's own name), empty when the file
    // does not say.
    std::string exposure, aperture, iso, lens;
    bool any() const {
        return !exposure.empty() || !aperture.empty() || !iso.empty() || !lens.empty();
    }
};

// An EXIF exposure time of numerator / denominator seconds as shown: "1/125 s" below a second
// (the nearest whole fraction), "2 s" or "2.5 s" from a second on; empty when not a time.
std::string ExposureText(std::int64_t numerator, std::int64_t denominator);
// An EXIF f-number as shown: "f/5.6", "f/8"; empty when not one.
std::string ApertureText(std::int64_t numerator, std::int64_t denominator);

// The file's shooting data (Exif.Photo.ExposureTime, FNumber, ISOSpeedRatings, LensModel, or
// Canon's own lens model); nothing when the file has no EXIF or cannot be read. Only a regular
// file is read (a fifo is never waited on), and of a JPEG only its first megabyte.
ShootingData ReadShootingData(const std::string& path);

// The line under the large view: the file's name, then its data, or "no shooting data".
// "Photo-0003.jpg   1/125 s   f/5.6   ISO 400   EF50mm f/1.8 STM"
std::string ShootingLine(const std::string& fileName, const ShootingData& data);

}   // namespace picture
