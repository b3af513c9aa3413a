// Camera event data.
#include "sdk/CameraEvent.h"

#include "sdk/LittleEndian.h"
#include "sdk/sdk.h"

#include <cstring>

namespace sdk {

CameraEventData CameraEventData::Battery(std::uint32_t level, std::string text) {
    CameraEventData event;
    event.level = level;
    event.text = std::move(text);
    return event;
}

CameraEventData CameraEventData::Picture(std::string cameraName, bool lateFile) {
    CameraEventData event;
    event.text = std::move(cameraName);
    event.lateFile = lateFile;
    return event;
}

std::vector<std::uint8_t> CameraEventData::Encode(std::uint32_t eventId) const {
    std::vector<std::uint8_t> data;
    const auto putText = [&data](const std::string& text) {
        data.insert(data.end(), text.begin(), text.end());
        data.push_back(0);
    };
    switch (eventId) {
        case kEventBattery:
            data.resize(4);
            WriteLe32(data.data(), level);
            if (!text.empty()) putText(text);
            break;
        case kEventCameraPicture:
            putText(text);
            data.push_back(lateFile ? 1 : 0);
            break;
        default: break;
    }
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
    switch (eventId) {
        case kEventBattery:
            event.level = ReadLeField(bytes, size);   // at most four bytes; missing ones are 0
            event.text = textAt(4);
            break;
        case kEventCameraPicture:
            event.text = textAt(0);
            event.lateFile = size > event.text.size() + 1 && bytes[event.text.size() + 1] == 1;
            break;
        default: break;
    }
    return event;
}

}   // namespace sdk
