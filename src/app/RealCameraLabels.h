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
#define KESTREL_PUT_LABELS(Key, Name, Title, ChangeText, Labels, ...) \
    put(Setting::Key, camera::Labels());
    KESTREL_LISTED_SETTINGS(KESTREL_PUT_LABELS)
#undef KESTREL_PUT_LABELS
    put(Setting::Quality, camera::imageQualityLabels());
    return labels;
}
