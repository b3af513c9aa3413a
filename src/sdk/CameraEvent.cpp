// Camera event data.
#include "sdk/CameraEvent.h"

#include "sdk/LittleEndian.h"
#include "sdk/sdk.h"

#include <cstring>

namespace sdk {

std::vector<std::uint8_t> CameraEventData::Encode(std::uint32_t eventId) const {
    const bool battery = eventId == kEventBattery, picture = eventId == kEventCameraPicture;
    const bool named = picture || (battery && !text.empty());
    std::vector<std::uint8_t> data((battery ? 4 : 0) + (named ? text.size() + 1 : 0) +
                                   (picture ? 1 : 0));
    if (battery) WriteLe32(data.data(), level);
    if (named) std::memcpy(data.data() + (battery ? 4 : 0), text.c_str(), text.size() + 1);
    if (picture) data.back() = lateFile ? 1 : 0;
    return data;
}

CameraEventData CameraEventData::Decode(std::uint32_t eventId, const void* data,
                                        std::uint32_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (bytes == nullptr) size = 0;
    // A text after the first offset bytes, up to its NUL or the end of the data.
    const auto textAt = [bytes, size](std::uint32_t offset) {
        if (size <= offset) return std::string();
        const char* text = reinterpret_cast<const char*>(bytes + offset);
        return std::string(text, strnlen(text, size - offset));
    };
    CameraEventData event;
    if (eventId == kEventBattery) {
        event.level = ReadLeField(bytes, size);   // at most four bytes; missing ones are 0
        event.text = textAt(4);
    } else if (eventId == kEventCameraPicture) {
        event.text = textAt(0);
        event.lateFile = size > event.text.size() + 1 && bytes[event.text.size() + 1] == 1;
    }
    return event;
}

}   // namespace sdk
