// The data of the camera events a table sends (sdk.h's kEvent... ids), encoded and decoded in
// one place: the simulated and real tables encode, the document decodes.
//   kEventBattery        4 bytes, the level in sixths (little-endian), then the camera's own
//                        text, NUL-terminated, when it gives one
//   kEventCameraPicture  the file's name on the camera, NUL-terminated, then one byte: 1 when it
//                        is the late other file (RAW or JPEG) of a picture a release brought
//   others               no data
// Decoding takes what is there: missing level bytes are 0, a text ends at its NUL or the data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sdk {

// {level, text} for kEventBattery, {0, name, lateFile} for kEventCameraPicture.
struct CameraEventData {
    std::uint32_t level = 0;   // kEventBattery
    std::string text;          // kEventBattery: the camera's words; kEventCameraPicture: the name
    bool lateFile = false;     // kEventCameraPicture

    // The event's data as eventId carries it.
    std::vector<std::uint8_t> Encode(std::uint32_t eventId) const;
    static CameraEventData Decode(std::uint32_t eventId, const void* data, std::uint32_t size);
};

}   // namespace sdk
