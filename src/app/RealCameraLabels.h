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
#define KESTREL_PUT_LABELS(Key, Sdk, Code, Listing, Labels) put(Setting::Key, camera::Labels());
    KESTREL_VALUE_SETTINGS(KESTREL_PUT_LABELS)
#undef KESTREL_PUT_LABELS
    put(Setting::Meter, camera::meterLabels());
    put(Setting::Iso, camera::isoLabels());
    put(Setting::Effect, camera::effectLabels());
    put(Setting::Quality, camera::imageQualityLabels());
    return labels;
}
