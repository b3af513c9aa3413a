// Values of the twelve settings and the zoom, by label: what a camera holds, or what someone
// asked of it. One row per setting of KESTREL_SETTINGS, so a setting added there is here.
#pragma once

#include "camera/Setting.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct SettingValues {
    // Indexed by camera::IndexOf; empty: not known, or (asked for) left as the camera has it.
    std::array<std::string, camera::kSettingCount> labels;
    bool hasZoom = false;   // zoom holds a position (asked for: move the zoom there)
    std::uint32_t zoom = 0;

    const std::string& label(camera::Setting key) const { return labels[camera::IndexOf(key)]; }
    std::string& label(camera::Setting key) { return labels[camera::IndexOf(key)]; }
};

// What one CameraSession::Apply did.
struct ApplyReport {
    std::vector<camera::Setting> sent;         // sent to the camera, in the table's order
    std::vector<camera::Setting> notOffered;   // the camera does not list the label asked for
    // Sent, but the camera holds another value afterwards (the label it holds; empty when
    // that value is not listed).
    std::vector<std::pair<camera::Setting, std::string>> notHeld;
    bool zoomSent = false;
    bool zoomNotHeld = false;   // the zoom stands elsewhere afterwards, at heldZoom
    std::uint32_t heldZoom = 0;
};

// Told as Apply goes, in the table's order, before anything is sent: a setting it is about to
// send (offered true) or one the camera does not list (offered false); the zoom (no key)
// before it is moved. The Time run logs its "Changing ... to:" lines from it.
using ApplyHook = std::function<void(std::optional<camera::Setting> key, bool offered)>;
