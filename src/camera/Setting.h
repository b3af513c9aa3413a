// The twelve camera settings as one key, and the table every list of settings is driven from:
// the driver's access by key, the settings pane's rows and the timed sequence's steps.
// Adding a setting means a key here, a row in kSettings and its access in the driver.
#pragma once

#include <array>
#include <cstddef>

namespace camera {

// In the order the settings pane lists them and a sequence step applies them.
enum class Setting : std::size_t {
    ImageSize,
    ImageQuality,
    ShootingMode,
    AV,
    TV,
    ISO,
    Meter,
    Exposure,
    WhiteBalance,
    Effect,
    AFDistance,
    Flash,
};
inline constexpr std::size_t kSettingCount = 12;

struct SettingInfo {
    Setting key;
    const char* name;         // short name for messages: "TV"
    const char* title;        // the settings pane's label: "TV Mode"
    const char* changeText;   // what a sequence step logs before changing it (printf, %s label)
};

inline constexpr std::array<SettingInfo, kSettingCount> kSettings = {{
    {Setting::ImageSize, "Image Size", "Image Size", "Changing image size to: %s\r\n"},
    {Setting::ImageQuality, "Image Quality", "Image Quality", "Changing image quality to: %s\r\n"},
    {Setting::ShootingMode, "Shooting Mode", "Shooting Mode", "Changing shooting mode to: %s\r\n"},
    {Setting::AV, "AV", "AV Mode", "Changing AV mode to: %s\r\n"},
    {Setting::TV, "TV", "TV Mode", "Changing TV mode to: %s\r\n"},
    {Setting::ISO, "ISO", "ISO", "Changing ISO mode to: %s\r\n"},
    {Setting::Meter, "Meter", "Meter", "Changing meter mode to: %s\r\n"},
    {Setting::Exposure, "Exposure", "Exposure", "Changing exposure mode to: %s\r\n"},
    {Setting::WhiteBalance, "White Balance", "White Balance", "Changing white balance to: %s\r\n"},
    {Setting::Effect, "Effect", "Effect", "Changing effect to: %s\r\n"},
    {Setting::AFDistance, "AF Distance", "AF Distance", "Changing AF distance to: %s\r\n"},
    {Setting::Flash, "Flash", "Flash", "Changing flash mode to: %s\r\n"},
}};

constexpr std::size_t IndexOf(Setting setting) { return static_cast<std::size_t>(setting); }
constexpr const SettingInfo& InfoOf(Setting setting) { return kSettings[IndexOf(setting)]; }

static_assert(
    [] {
        for (std::size_t i = 0; i < kSettingCount; ++i)
            if (IndexOf(kSettings[i].key) != i) return false;
        return true;
    }(),
    "kSettings is in key order");

}   // namespace camera
