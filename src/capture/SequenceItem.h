// One step of a timed capture sequence: a delay of whole seconds, or a photo taken after the
// twelve settings and the zoom position it recorded have been applied.
#pragma once

#include "camera/Setting.h"

#include <array>
#include <cstdint>
#include <string>

struct SequenceItem {
    // The delay's seconds (1 to 99,999); 0 for a photo. The runner counts a running delay down
    // beside the list, so the step keeps its length.
    std::int32_t delaySeconds = 0;
    // The settings pane's label of each setting, indexed by camera::IndexOf; empty when nothing
    // was selected (the camera's value is then left alone).
    std::array<std::string, camera::kSettingCount> labels;
    std::uint32_t zoomPosition = 0;

    bool isDelay() const { return delaySeconds >= 1; }
    const std::string& label(camera::Setting key) const { return labels[camera::IndexOf(key)]; }
};
