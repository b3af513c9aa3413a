// The twelve camera settings as one key, and the table of their texts, both expanded from the
// one list of settings (sdk/SettingList.h): the driver's access by key, the settings pane's rows
// and the timed sequence's steps are driven from it.
#pragma once

#include "sdk/SettingList.h"

#include <array>
#include <cstddef>

namespace camera {

// In the order the settings pane lists them and a sequence step applies them.
#define KESTREL_SETTING_KEY(Key, ...) Key,
enum class Setting : std::size_t { KESTREL_ALL_SETTINGS(KESTREL_SETTING_KEY) };
#undef KESTREL_SETTING_KEY

#define KESTREL_SETTING_ONE(...) +1
inline constexpr std::size_t kSettingCount = 0 KESTREL_ALL_SETTINGS(KESTREL_SETTING_ONE);
#undef KESTREL_SETTING_ONE

struct SettingInfo {
    Setting key;
    const char* name;         // short name for messages: "TV"
    const char* title;        // the settings pane's label: "TV Mode"
    const char* changeText;   // what a sequence step logs before changing it (printf, %s label)
};

#define KESTREL_SETTING_INFO(Key, Name, Title, ChangeText, ...) \
    {Setting::Key, Name, Title, ChangeText},
inline constexpr std::array<SettingInfo, kSettingCount> kSettings = {
    {KESTREL_ALL_SETTINGS(KESTREL_SETTING_INFO)}};
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
