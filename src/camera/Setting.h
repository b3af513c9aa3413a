// The twelve camera settings as one key, and the table every list of settings is driven from:
// the driver's access by key, the settings pane's rows and the timed sequence's steps.
// Adding a setting means a row in KESTREL_CAMERA_SETTINGS and its access in the driver.
#pragma once

#include <array>
#include <cstddef>

namespace camera {

// The twelve settings, one row each, in the order the settings pane lists them and a sequence
// step applies them: X(Key, name for messages, the pane's label, what a sequence step logs before
// changing it (printf, %s label)). The key, kSettings and the pane's rows expand it.
#define KESTREL_CAMERA_SETTINGS(X)                                                         \
    X(ImageSize, "Image Size", "Image Size", "Changing image size to: %s\r\n")             \
    X(ImageQuality, "Image Quality", "Image Quality", "Changing image quality to: %s\r\n") \
    X(ShootingMode, "Shooting Mode", "Shooting Mode", "Changing shooting mode to: %s\r\n") \
    X(AV, "AV", "AV Mode", "Changing AV mode to: %s\r\n")                                  \
    X(TV, "TV", "TV Mode", "Changing TV mode to: %s\r\n")                                  \
    X(ISO, "ISO", "ISO", "Changing ISO mode to: %s\r\n")                                   \
    X(Meter, "Meter", "Meter", "Changing meter mode to: %s\r\n")                           \
    X(Exposure, "Exposure", "Exposure", "Changing exposure mode to: %s\r\n")               \
    X(WhiteBalance, "White Balance", "White Balance", "Changing white balance to: %s\r\n") \
    X(Effect, "Effect", "Effect", "Changing effect to: %s\r\n")                            \
    X(AFDistance, "AF Distance", "AF Distance", "Changing AF distance to: %s\r\n")         \
    X(Flash, "Flash", "Flash", "Changing flash mode to: %s\r\n")

#define KESTREL_SETTING_KEY(Key, Name, Title, ChangeText) Key,
enum class Setting : std::size_t { KESTREL_CAMERA_SETTINGS(KESTREL_SETTING_KEY) };
#undef KESTREL_SETTING_KEY

#define KESTREL_SETTING_ONE(Key, Name, Title, ChangeText) +1
inline constexpr std::size_t kSettingCount = 0 KESTREL_CAMERA_SETTINGS(KESTREL_SETTING_ONE);
#undef KESTREL_SETTING_ONE

struct SettingInfo {
    Setting key;
    const char* name;         // short name for messages: "TV"
    const char* title;        // the settings pane's label: "TV Mode"
    const char* changeText;   // what a sequence step logs before changing it (printf, %s label)
};

#define KESTREL_SETTING_INFO(Key, Name, Title, ChangeText) {Setting::Key, Name, Title, ChangeText},
inline constexpr std::array<SettingInfo, kSettingCount> kSettings = {
    {KESTREL_CAMERA_SETTINGS(KESTREL_SETTING_INFO)}};
#undef KESTREL_SETTING_INFO

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
