// The label tables handed to the real-camera backend, which offers a camera's choices under
// their codes (the backend sits below the drivers and has no tables of its own).
#pragma once

#include "camera/LabelTables.h"
#include "sdk/gphoto/Families.h"

inline gphoto::Labels RealCameraLabels() {
    using gphoto::Setting;
    gphoto::Labels labels;
    auto put = [&labels](Setting s, const std::vector<camera::SettingOption>& table) {
        for (const camera::SettingOption& o : table)
            labels.tables[static_cast<std::size_t>(s)].push_back({o.code, o.label});
    };
    put(Setting::ShootingMode, camera::shootingModeLabels());
    put(Setting::AV, camera::avLabels());
    put(Setting::TV, camera::tvLabels());
    put(Setting::Exposure, camera::exposureLabels());
    put(Setting::WhiteBalance, camera::whiteBalanceLabels());
    put(Setting::AFDistance, camera::afDistanceLabels());
    put(Setting::Flash, camera::flashLabels());
    put(Setting::Meter, camera::meterLabels());
    put(Setting::Iso, camera::isoLabels());
    put(Setting::Effect, camera::effectLabels());
    put(Setting::Quality, camera::imageQualityLabels());
    return labels;
}
