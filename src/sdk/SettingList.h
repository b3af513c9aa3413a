// The twelve camera settings, written once: every table and switch over them expands this list
// (the SDK table's calls, the simulated and real tables, the libgphoto2 widget names, the
// drivers' slots, calls, accessors and listings, the settings pane's rows and the texts a
// sequence step logs). Adding a setting is one row here, its label table (camera/LabelTables.h)
// and the simulated camera's values for it (sim::CameraSpec); a release-camera setting also has
// its id in sdk.h.
//
// KESTREL_SETTINGS(FORMAT, VALUE, RELCAM) gives one call per setting, in the order the settings
// pane lists them and a sequence step applies them:
//   FORMAT(Key, Name, Title, ChangeText)   image size and quality: one SDK attribute pair
//   VALUE(Key, Name, Title, ChangeText, Labels, Options, Eos, Compact, Offered, Current,
//         Sdk, Code, Words, Listing)       a setting with SDK calls of its own
//   RELCAM(Key, Name, Title, ChangeText, Labels, Options, Eos, Compact, Offered, Current, Id)
//                                          a release-camera setting (Get/SetRelCamSettingData)
// VALUE and RELCAM share their first ten columns, so one variadic macro can serve both.
//   Key         its name in each layer's key (camera::Setting, the driver's slot kKey, the
//               pane's row, sim::Setting, gphoto::Setting) and in the driver's accessors
//               (Get<Key>, Get<Key>Code, Set<Key>) and steps ("GetTV", "SetISO")
//   Name        short name for messages: "TV"
//   Title       the settings pane's label: "TV Mode"
//   ChangeText  what a sequence step logs before changing it (printf, %s label)
//   Labels      its label table in the camera layer (camera/LabelTables.h)
//   Options     the driver's accessor of its value list
//   Eos         libgphoto2 widget names on EOS bodies, first present one wins
//   Compact     the same on compacts
//   Offered     the simulated camera's values on offer (sim::CameraSpec)
//   Current     the simulated camera's value (sim::CameraSpec, sim::CameraState)
//   Sdk         its name in the SDK calls: Get<Sdk>, Set<Sdk>, Enum<Sdk>Reset, Get<Sdk>Count,
//               Enum<Sdk>Next, Enum<Sdk>Release
//   Code        what Enum<Sdk>Next hands out
//   Words       the codes Get<Sdk> and Set<Sdk> carry: 1, or 2 (Flash: a second word)
//   Listing     the driver operation that reads its list (the step's name)
//   Id          its release-camera setting id (sdk.h)
#pragma once

#include <cstdint>

// clang-format off
#define KESTREL_SETTINGS(FORMAT, VALUE, RELCAM)                                                  \
    FORMAT(ImageSize, "Image Size", "Image Size", "Changing image size to: %s\r\n")              \
    FORMAT(ImageQuality, "Image Quality", "Image Quality", "Changing image quality to: %s\r\n")  \
    VALUE(ShootingMode, "Shooting Mode", "Shooting Mode", "Changing shooting mode to: %s\r\n",   \
          shootingModeLabels, shootingModes, ("autoexposuremodedial", "autoexposuremode"),       \
          ("shootingmode"), shootingModes, shootingMode,                                         \
          ShootingMode, std::uint32_t, 1, GetShootingModes)                                      \
    VALUE(AV, "AV", "AV Mode", "Changing AV mode to: %s\r\n",                                    \
          avLabels, avModes, ("aperture"), ("aperture"), av, avValue,                            \
          AvValue, std::uint16_t, 1, GetAVModes)                                                 \
    VALUE(TV, "TV", "TV Mode", "Changing TV mode to: %s\r\n",                                    \
          tvLabels, tvModes, ("shutterspeed"), ("shutterspeed"), tv, tvValue,                    \
          TvValue, std::uint16_t, 1, GetTVModes)                                                 \
    RELCAM(ISO, "ISO", "ISO", "Changing ISO mode to: %s\r\n",                                    \
           isoLabels, isoModes, ("iso"), ("iso"), iso, isoValue, sdk::kSettingIso)               \
    RELCAM(Meter, "Meter", "Meter", "Changing meter mode to: %s\r\n",                            \
           meterLabels, meterModes, ("meteringmode"), ("meteringmode"), meter, meterValue,       \
           sdk::kSettingMeter)                                                                   \
    VALUE(Exposure, "Exposure", "Exposure", "Changing exposure mode to: %s\r\n",                 \
          exposureLabels, exposures, ("exposurecompensation"), ("exposurecompensation"),         \
          exposure, exposureComp, ExposureComp, std::uint16_t, 1, GetExposures)                  \
    VALUE(WhiteBalance, "White Balance", "White Balance", "Changing white balance to: %s\r\n",   \
          whiteBalanceLabels, wbValues, ("whitebalance"), ("whitebalance"), wb, wbValue,         \
          WBSetting, std::uint16_t, 1, GetWBValues)                                              \
    RELCAM(Effect, "Effect", "Effect", "Changing effect to: %s\r\n",                             \
           effectLabels, effects, ("picturestyle"), ("photoeffect"), effect, effectValue,        \
           sdk::kSettingEffect)                                                                  \
    VALUE(AFDistance, "AF Distance", "AF Distance", "Changing AF distance to: %s\r\n",           \
          afDistanceLabels, afDistances, ("focusmode"), ("afdistance"), afDistance,              \
          afDistanceValue, AFDistanceSetting, std::uint16_t, 1, GetAFDistances)                  \
    VALUE(Flash, "Flash", "Flash", "Changing flash mode to: %s\r\n",                             \
          flashLabels, flashModes, ("flashmode"), ("flashmode"), flash, flashValue,              \
          FlashSetting, std::uint16_t, 2, GetFlashModes)
// clang-format on

// Helpers for the expansions: a column passed over, and a parenthesised widget-name column as a
// braced list ({"iso"}).
#define KESTREL_SETTING_SKIP(...)
#define KESTREL_SETTING_BRACED(...) \
    { __VA_ARGS__ }

// The settings with a value list of their own (VALUE and RELCAM rows), in list order:
// X(Key, Name, Title, ChangeText, Labels, Options, Eos, Compact, Offered, Current, ...)
#define KESTREL_LISTED_SETTINGS(X) KESTREL_SETTINGS(KESTREL_SETTING_SKIP, X, X)
// The settings with SDK calls of their own (VALUE rows).
#define KESTREL_VALUE_SETTINGS(X) KESTREL_SETTINGS(KESTREL_SETTING_SKIP, X, KESTREL_SETTING_SKIP)
// The release-camera settings (RELCAM rows).
#define KESTREL_RELCAM_SETTINGS(X) KESTREL_SETTINGS(KESTREL_SETTING_SKIP, KESTREL_SETTING_SKIP, X)
// Every setting by its key alone: X(Key, ...)
#define KESTREL_ALL_SETTINGS(X) KESTREL_SETTINGS(X, X, X)
