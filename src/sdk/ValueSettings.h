// The seven settings the SDK offers as a list of values, written once: every table and switch
// over them (the SDK tables' calls, the simulated and real tables, the driver's slots, calls and
// listings) expands this list. Adding such a setting is one line here plus its label table.
//
//   X(Key, Sdk, Code, Listing, Labels)
//   Key      its name in each layer's own key: camera::Setting, the driver's slot (kKey), the
//            simulated table's Setting and EnumKind, the real-camera table's Setting
//   Sdk      its name in the SDK calls: Get<Sdk>, Set<Sdk>, Enum<Sdk>Reset, Get<Sdk>Count,
//            Enum<Sdk>Next, Enum<Sdk>Release
//   Code     what Enum<Sdk>Next hands out
//   Listing  the driver operation that reads its list (the step's name)
//   Labels   its label table in the camera layer (camera/LabelTables.h)
//
// In the driver's order. Flash's Get and Set carry a second word besides the code.
#pragma once

#include <cstdint>

#define KESTREL_VALUE_SETTINGS(X)                                                      \
    X(ShootingMode, ShootingMode, std::uint32_t, GetShootingModes, shootingModeLabels) \
    X(AV, AvValue, std::uint16_t, GetAVModes, avLabels)                                \
    X(TV, TvValue, std::uint16_t, GetTVModes, tvLabels)                                \
    X(Exposure, ExposureComp, std::uint16_t, GetExposures, exposureLabels)             \
    X(WhiteBalance, WBSetting, std::uint16_t, GetWBValues, whiteBalanceLabels)         \
    X(AFDistance, AFDistanceSetting, std::uint16_t, GetAFDistances, afDistanceLabels)  \
    X(Flash, FlashSetting, std::uint16_t, GetFlashModes, flashLabels)
