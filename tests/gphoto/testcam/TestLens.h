// The test camera's lens: a focus position between two ends, stepped through the widget of one
// of three styles, as bodies offer it: EOS "manualfocusdrive" (RADIO "Near 1/2/3", "None",
// "Far 1/2/3": a choice equal to the last one is no change, so "None" goes between moves; the
// lens stops quietly at an end), Nikon "manualfocusdrive" (RANGE of signed motor steps: a step
// smaller than kNikonLeast is refused, one at or past an end answers "Mf Drive Step End"), and
// Sony "manualfocus" (RANGE -7..7, each call a move of that many). While the lens moves after a
// step (busyMs), the drive and the release answer GP_ERROR_CAMERA_BUSY.
#pragma once

#include <gphoto2/gphoto2-context.h>
#include <gphoto2/gphoto2-result.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace testcam {

enum class FocusStyle { None, Eos, Nikon, Sony };

struct Lens {
    static constexpr int kNikonLeast = 10;
    FocusStyle style = FocusStyle::None;
    int low = 0, high = 1000, position = 500;
    int busyMs = 0;
    std::string lastChoice = "None";   // EOS: the radio's last value
    std::chrono::steady_clock::time_point still{};
    std::string report;   // where the position is written after each move

    bool moving() const { return busyMs > 0 && std::chrono::steady_clock::now() < still; }

    // "eos", "nikon", "sony" or "off" (FOLDER/focus-style), "LOW HIGH START" (FOLDER/lens) and
    // the busy time (FOLDER/lens-busy), read at init.
    void setUp(const std::string& styleText, const std::string& range, const std::string& busy,
               FocusStyle byDefault, std::string reportPath) {
        style = styleText.starts_with("eos")     ? FocusStyle::Eos
                : styleText.starts_with("nikon") ? FocusStyle::Nikon
                : styleText.starts_with("sony")  ? FocusStyle::Sony
                : styleText.starts_with("off")   ? FocusStyle::None
                                                 : byDefault;
        if (style == FocusStyle::Nikon) {
            high = 20000;
            position = 10000;
        }
        if (!range.empty()) std::sscanf(range.c_str(), "%d %d %d", &low, &high, &position);
        busyMs = std::atoi(busy.c_str());
        report = std::move(reportPath);
        write();
    }

    // The widget name this style offers (empty for none).
    const char* widget() const {
        switch (style) {
            case FocusStyle::Eos:
            case FocusStyle::Nikon: return "manualfocusdrive";
            case FocusStyle::Sony: return "manualfocus";
            default: return "";
        }
    }

    // A write of the focus widget: text for the radio, value for a range.
    int drive(const std::string& text, float value, GPContext* context) {
        if (moving()) return GP_ERROR_CAMERA_BUSY;
        int by = 0;
        if (style == FocusStyle::Eos) {
            if (text == lastChoice) return GP_OK;   // no change: the body does nothing
            lastChoice = text;
            if (text == "None") return GP_OK;
            const int size = text.empty() ? 0 : text.back() - '0';
            if (size < 1 || size > 3) return GP_ERROR_BAD_PARAMETERS;
            const int units[4] = {0, 1, 4, 16};
            by = text.starts_with("Near") ? -units[size] : units[size];
        } else if (style == FocusStyle::Nikon) {
            by = static_cast<int>(value);
            if (std::abs(by) < kNikonLeast) {
                gp_context_error(context, "Mf Drive Step Insufficiency");
                return GP_ERROR;
            }
        } else {
            by = static_cast<int>(value);
            if (by == 0) return GP_OK;
        }
        const int wanted = position + by;
        const int reached = std::clamp(wanted, low, high);
        const bool moved = reached != position;
        position = reached;
        if (moved) still = std::chrono::steady_clock::now() + std::chrono::milliseconds(busyMs);
        write();
        if (style == FocusStyle::Nikon && reached != wanted) {
            gp_context_error(context, "Mf Drive Step End");
            return GP_ERROR;
        }
        return GP_OK;
    }

    void write() const {
        if (!report.empty()) std::ofstream(report) << position;
    }
};

}   // namespace testcam
