// The value types the camera drivers share with the rest of the program:
// setting options (code and label), image sizes with their qualities, camera properties.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace camera {

struct SettingOption {
    std::uint32_t code = 0;
    std::string label;
    bool operator==(const SettingOption&) const = default;
};

struct ImageSizeOption {
    std::uint32_t code = 0;   // the SDK's 16-bit size code
    std::string label;        // the SDK's own label
    std::vector<SettingOption> qualities;
    bool operator==(const ImageSizeOption&) const = default;
};

struct CameraProperties {
    std::string name;
    bool hasZoom = false;
    bool hasShootingModes = false;
    bool hasViewfinder = false;
    bool hasMagnify = false;      // the camera's own magnified live view
    bool hasFocusDrive = false;   // the lens's focus can be stepped (DriveFocus)
    std::string ownerName;
    std::string firmware;
    std::uint32_t batteryLevel = 0;
    // The camera's own battery words ("75%", "Full"), shown as they read; empty when it gives
    // none (the level in sixths is shown then).
    std::string batteryText;
    bool operator==(const CameraProperties&) const = default;
};

// Receives every failed SDK call: the step ("GetTV::CDGetTvValue"), then the error's text.
using LogCallback = std::function<void(const std::string& step, const std::string& errorText)>;

// Receives the end of each picture the SDK was asked to write: the path asked for, then the path
// its file was saved under (another number when that name was taken meanwhile; a release with
// several data items reports each), or an empty text when no file came of it (a failed
// capture-session transfer, or a disconnect before the picture arrived).
using PictureCallback = std::function<void(const std::string& asked, const std::string& saved)>;

}   // namespace camera
