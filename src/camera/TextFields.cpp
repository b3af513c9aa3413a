// Bounded reads of the text and number fields of SDK records.
#include "camera/TextFields.h"

#include "sdk/LittleEndian.h"

#include <cstring>

namespace camera {

std::string BoundedText(const std::uint8_t* buffer, std::size_t capacity) {
    const void* end = std::memchr(buffer, 0, capacity);
    const std::size_t length =
        end ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(end) - buffer) : capacity;
    return std::string(reinterpret_cast<const char*>(buffer), length);
}

std::string DeviceName(const sdk::DeviceRecord& record) {
    return BoundedText(record.bytes + sdk::DeviceRecord::kNameOffset,
                       sizeof record.bytes - sdk::DeviceRecord::kNameOffset);
}

std::string SizeLabel(const sdk::ImageSizeRecord& record) {
    return BoundedText(record.bytes + sdk::ImageSizeRecord::kLabelOffset,
                       sizeof record.bytes - sdk::ImageSizeRecord::kLabelOffset);
}

std::string LastWord(const std::string& text) {
    const std::size_t last = text.find_last_not_of(' ');
    if (last == std::string::npos) return {};
    const std::size_t space = text.find_last_of(' ', last);
    const std::size_t first = space == std::string::npos ? 0 : space + 1;
    return text.substr(first, last - first + 1);
}

std::uint16_t LittleEndianHalf(const std::uint8_t* bytes) { return sdk::ReadLe16(bytes); }

std::uint32_t LittleEndianWord(const std::uint8_t* bytes) { return sdk::ReadLe32(bytes); }

void PutLittleEndianWord(std::uint8_t* bytes, std::uint32_t value) { sdk::WriteLe32(bytes, value); }

}   // namespace camera
