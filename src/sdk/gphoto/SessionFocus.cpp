// The libgphoto2 session: the lens's focus drive, in the three styles bodies offer it (EOS
// radio of named steps, Nikon signed motor steps, Sony -7..7).
#include "sdk/gphoto/SessionCam.h"

#include <cctype>
#include <cstdlib>

namespace gphoto {

namespace {

bool mentions(const std::string& text, const std::string& word) {
    std::string lower;
    for (char ch : text)
        lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(ch))));
    return lower.find(word) != std::string::npos;
}

}   // namespace

void Session::resolveFocus(Cam& c) {
    c.focusStyle = Cam::Focus::None;
    c.focusDrive.clear();
    c.focusNeedsNone = false;
    for (const char* name : {"manualfocusdrive", "manualfocus"}) {
        CameraWidget* w = nullptr;
        if (gp_camera_get_single_config(c.camera, name, &w, context_) < GP_OK) continue;
        CameraWidgetType type;
        gp_widget_get_type(w, &type);
        bool named = false;   // a radio with the named steps
        if (type == GP_WIDGET_RADIO || type == GP_WIDGET_MENU) {
            for (int i = 0; i < gp_widget_count_choices(w); ++i) {
                const char* choice = nullptr;
                if (gp_widget_get_choice(w, i, &choice) >= GP_OK && choice != nullptr &&
                    std::string(choice) == "Near 1")
                    named = true;
            }
        }
        gp_widget_free(w);
        const bool drive = std::string(name) == "manualfocusdrive";
        if (drive && named) c.focusStyle = Cam::Focus::Eos;
        else if (drive && type == GP_WIDGET_RANGE) c.focusStyle = Cam::Focus::Nikon;
        else if (!drive && type == GP_WIDGET_RANGE) c.focusStyle = Cam::Focus::Sony;
        if (c.focusStyle != Cam::Focus::None) {
            c.focusDrive = name;
            return;
        }
    }
}

sdk::Result Session::DriveFocus(sdk::Handle h, std::int32_t step) {
    Cam* c = find(h);
    if (c == nullptr) return missing(h);
    if (c->focusStyle == Cam::Focus::None) return err::kNotSupported;
    if (step == 0 || step < -sdk::kMaxFocusStep || step > sdk::kMaxFocusStep)
        return err::kInvalidParameter;
    const int size = std::abs(step);
    const char* what = c->focusDrive.c_str();
    if (c->focusStyle == Cam::Focus::Eos) {
        const std::string none = "None";
        if (c->focusNeedsNone) {
            const sdk::Result r =
                check(h, what, [&] { return writeWidget(*c, c->focusDrive, &none, nullptr); });
            if (r != sdk::kOk) return r;
            c->focusNeedsNone = false;
        }
        const std::string move = (step < 0 ? "Near " : "Far ") + std::to_string(size);
        const sdk::Result r =
            check(h, what, [&] { return writeWidget(*c, c->focusDrive, &move, nullptr); });
        if (r != sdk::kOk) return r;
        // The move is made; "None" after it, or the next equal step would be no change. When
        // that fails, it is sent before the next step.
        c->focusNeedsNone = check(h, what, [&] {
                                return writeWidget(*c, c->focusDrive, &none, nullptr);
                            }) != sdk::kOk;
        return sdk::kOk;
    }
    const int units =
        c->focusStyle == Cam::Focus::Nikon ? kNikonFocusSteps[size] : kSonyFocusSteps[size];
    const float value = static_cast<float>(step < 0 ? -units : units);
    const sdk::Result r =
        check(h, what, [&] { return writeWidget(*c, c->focusDrive, nullptr, &value); });
    // Nikon bodies answer the lens's end with their own code, which libgphoto2 names.
    if (r != sdk::kOk && c->focusStyle == Cam::Focus::Nikon &&
        (mentions(lastMessage_, "step end") || mentions(lastMessage_, "limit")))
        return err::kFocusAtLimit;
    return r;
}

}   // namespace gphoto
