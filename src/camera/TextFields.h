// Bounded reads of the text and number fields of SDK records: a text ends at its NUL or at the
// end of its field, whichever comes first.
#pragma once

#include "sdk/sdk.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace camera {

// The text at the start of buffer, at most capacity bytes, up to the first NUL.
std::string BoundedText(const std::uint8_t* buffer, std::size_t capacity);
// The device name of a device record (from byte 8).
std::string DeviceName(const sdk::DeviceRecord& record);
// The label of an image size record (from byte 10).
std::string SizeLabel(const sdk::ImageSizeRecord& record);
// The last space-separated word of text; empty when it has none.
std::string LastWord(const std::string& text);
// The 16-bit little-endian number in the first two bytes.
std::uint16_t LittleEndianHalf(const std::uint8_t* bytes);
// The 32-bit little-endian number in the first four bytes.
std::uint32_t LittleEndianWord(const std::uint8_t* bytes);
// Writes value into the first four bytes, little-endian.
void PutLittleEndianWord(std::uint8_t* bytes, std::uint32_t value);

}   // namespace camera
