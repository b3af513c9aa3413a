// The test camera's settings: the widgets of an EOS body and of a compact, read and set by name
// or as a window, a RADIO taking only its choices, and the magnified area kept on the sensor.
#include "TestCameraState.h"

#include <gphoto2/gphoto2-result.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace testcam {

namespace {

const std::vector<std::string> kApertures{"2.8", "4", "5.6", "8", "11"};
const std::vector<std::string> kSpeeds{"30", "1", "0.5", "1/4", "1/60", "1/125", "1/250", "bulb"};
const std::vector<std::string> kExposures{"-2", "-1", "-0.3", "0", "0.3", "0.5", "1", "2"};
// Thirds as compacts spell them, in every spelling libgphoto2 uses.
const std::vector<std::string> kExposureThirds{"-2",     "-1 2/3", "-1.3", "-1",   "-0.7",
                                               "-1/3",   "0",      "+1/3", "+0.7", "+1",
                                               "+1 1/3", "+1.7",   "+2"};
const std::vector<std::string> kIsos{"Auto", "100", "200", "400", "800", "1600"};

}   // namespace

std::vector<Widget> eosWidgets() {
    return {
        {"autoexposuremode",
         GP_WIDGET_RADIO,
         {"P", "TV", "AV", "Manual", "Bulb", "A_DEP", "Green"},
         "P"},
        {"aperture", GP_WIDGET_RADIO, kApertures, "5.6"},
        {"shutterspeed", GP_WIDGET_RADIO, kSpeeds, "1/125"},
        {"exposurecompensation", GP_WIDGET_RADIO, kExposures, "0"},
        {"whitebalance",
         GP_WIDGET_RADIO,
         {"Auto", "Daylight", "Shadow", "Cloudy", "Tungsten", "Fluorescent", "Flash", "Manual"},
         "Auto"},
        {"focusmode", GP_WIDGET_RADIO, {"One Shot", "AI Servo", "AI Focus", "Manual"}, "One Shot"},
        {"meteringmode",
         GP_WIDGET_RADIO,
         {"Evaluative", "Partial", "Spot", "Center-weighted average"},
         "Evaluative"},
        {"iso", GP_WIDGET_RADIO, kIsos, "100"},
        {"picturestyle",
         GP_WIDGET_RADIO,
         {"Standard", "Portrait", "Neutral", "Monochrome"},
         "Standard"},
        {"imageformat",
         GP_WIDGET_RADIO,
         {"Large Fine JPEG", "Large Normal JPEG", "Medium Fine JPEG", "Small Fine JPEG",
          "RAW + Large Fine JPEG", "RAW"},
         "Large Fine JPEG"},
        {"autofocusdrive", GP_WIDGET_TOGGLE, {}, "0"},
        {"viewfinder", GP_WIDGET_TOGGLE, {}, "0"},
        {"eoszoom", GP_WIDGET_RADIO, {"1", "5", "10"}, "1"},
        {"eoszoomposition", GP_WIDGET_TEXT, {}, "0,0"},
        {"capturetarget", GP_WIDGET_RADIO, {"Internal RAM", "Memory card"}, "Memory card"},
        {"ownername", GP_WIDGET_TEXT, {}, "Test Owner"},
        {"deviceversion", GP_WIDGET_TEXT, {}, "3-1.0.9"},
        {"batterylevel", GP_WIDGET_TEXT, {}, "75%"},
    };
}

std::vector<Widget> compactWidgets() {
    std::vector<Widget> w{
        {"shootingmode",
         GP_WIDGET_RADIO,
         {"Auto", "P", "TV", "AV", "Manual", "Portrait", "Night Scene", "Stitch Assist"},
         "Auto"},
        {"aperture", GP_WIDGET_RADIO, kApertures, "4"},
        {"shutterspeed", GP_WIDGET_RADIO, kSpeeds, "1/60"},
        {"exposurecompensation", GP_WIDGET_RADIO, kExposureThirds, "0"},
        {"whitebalance",
         GP_WIDGET_RADIO,
         {"Auto", "Daylight", "Cloudy", "Tungsten", "Fluorescent", "Fluorescent H", "Custom"},
         "Auto"},
        {"afdistance", GP_WIDGET_RADIO, {"Auto", "Manual", "Super Macro", "Infinity"}, "Auto"},
        {"flashmode", GP_WIDGET_RADIO, {"Off", "Auto", "On", "Red Eye", "Slow Sync"}, "Auto"},
        {"meteringmode",
         GP_WIDGET_RADIO,
         {"Evaluative", "Spot", "Center Weighted Average"},
         "Evaluative"},
        {"iso", GP_WIDGET_RADIO, kIsos, "Auto"},
        {"photoeffect",
         GP_WIDGET_RADIO,
         {"Off", "Vivid", "Neutral", "Sepia", "Black & White"},
         "Off"},
        {"imagesize", GP_WIDGET_RADIO, {"Large", "Medium 1", "Small"}, "Large"},
        {"imagequality", GP_WIDGET_RADIO, {"Superfine", "Fine", "Normal"}, "Fine"},
        {"focuslock", GP_WIDGET_RADIO, {"Off", "On"}, "Off"},
        {"zoom", GP_WIDGET_RANGE, {}, "0", 0, 9},
        {"ownername", GP_WIDGET_TEXT, {}, "Compact Owner"},
        {"firmwareversion", GP_WIDGET_TEXT, {}, "1.0.0.0"},
        {"batterylevel", GP_WIDGET_TEXT, {}, "Full"},
    };
    return w;
}

namespace {

CameraWidget* makeWidget(const Widget& w) {
    CameraWidget* widget = nullptr;
    gp_widget_new(w.type, w.name.c_str(), &widget);
    gp_widget_set_name(widget, w.name.c_str());
    if (w.type == GP_WIDGET_RADIO) {
        for (const std::string& c : w.choices) gp_widget_add_choice(widget, c.c_str());
        gp_widget_set_value(widget, w.value.c_str());
    } else if (w.type == GP_WIDGET_TEXT) {
        gp_widget_set_value(widget, w.value.c_str());
    } else if (w.type == GP_WIDGET_TOGGLE) {
        const int v = std::atoi(w.value.c_str());
        gp_widget_set_value(widget, &v);
    } else if (w.type == GP_WIDGET_RANGE) {
        gp_widget_set_range(widget, w.low, w.high, 1);
        const float v = static_cast<float>(std::atof(w.value.c_str()));
        gp_widget_set_value(widget, &v);
    }
    return widget;
}

// The magnified area's place held on the sensor at the widgets' factor, as a body does: false
// for text that is not "x,y".
bool keepOnSensor(State& s, const std::string& text, std::string& kept) {
    long x = 0, y = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%ld,%ld%c", &x, &y, &tail) != 2) return false;
    Widget* zoom = find(s, "eoszoom");
    const long factor = zoom != nullptr ? std::atol(zoom->value.c_str()) : 1;
    constexpr long kSensorW = 6000, kSensorH = 4000;
    x = std::clamp(x, 0L, kSensorW - kSensorW / std::max(factor, 1L));
    y = std::clamp(y, 0L, kSensorH - kSensorH / std::max(factor, 1L));
    kept = std::to_string(x) + "," + std::to_string(y);
    return true;
}

int store(Widget& w, CameraWidget* widget) {
    if (w.type == GP_WIDGET_RADIO || w.type == GP_WIDGET_TEXT) {
        const char* v = nullptr;
        gp_widget_get_value(widget, &v);
        if (v == nullptr) return GP_ERROR_BAD_PARAMETERS;
        if (w.type == GP_WIDGET_RADIO) {
            bool listed = false;
            for (const std::string& c : w.choices) listed = listed || c == v;
            if (!listed) return GP_ERROR_BAD_PARAMETERS;
        }
        w.value = v;
    } else if (w.type == GP_WIDGET_TOGGLE) {
        int v = 0;
        gp_widget_get_value(widget, &v);
        w.value = std::to_string(v);
    } else if (w.type == GP_WIDGET_RANGE) {
        float v = 0;
        gp_widget_get_value(widget, &v);
        if (v < w.low || v > w.high) return GP_ERROR_BAD_PARAMETERS;
        w.value = std::to_string(static_cast<int>(v));
    }
    return GP_OK;
}

}   // namespace

int getConfig(Camera* camera, CameraWidget** window, GPContext*) {
    State& s = state(camera);
    if (int r = injected(s, "get"); r != GP_OK) return r;
    gp_widget_new(GP_WIDGET_WINDOW, "Camera and Driver Configuration", window);
    CameraWidget* section = nullptr;
    gp_widget_new(GP_WIDGET_SECTION, "Settings", &section);
    gp_widget_set_name(section, "settings");
    gp_widget_append(*window, section);
    for (const Widget& w : s.widgets) gp_widget_append(section, makeWidget(w));
    return GP_OK;
}

int getSingleConfig(Camera* camera, const char* name, CameraWidget** widget, GPContext*) {
    State& s = state(camera);
    if (int r = injected(s, "get"); r != GP_OK) return r;
    Widget* w = find(s, name);
    if (w == nullptr) return GP_ERROR_BAD_PARAMETERS;
    *widget = makeWidget(*w);
    return GP_OK;
}

int setSingleConfig(Camera* camera, const char* name, CameraWidget* widget, GPContext* context) {
    State& s = state(camera);
    if (int r = injected(s, "set"); r != GP_OK) return r;
    Widget* w = find(s, name);
    if (w == nullptr) return GP_ERROR_BAD_PARAMETERS;
    if (w->name == s.lens.widget()) {
        const char* text = nullptr;
        float value = 0;
        if (w->type == GP_WIDGET_RADIO) gp_widget_get_value(widget, &text);
        else gp_widget_get_value(widget, &value);
        if (w->type == GP_WIDGET_RANGE && (value < w->low || value > w->high))
            return GP_ERROR_BAD_PARAMETERS;
        const int r = s.lens.drive(text != nullptr ? text : "", value, context);
        if (r == GP_OK && w->type == GP_WIDGET_RADIO) w->value = s.lens.lastChoice;
        return r;
    }
    const std::string before = w->value;
    if (int r = store(*w, widget); r != GP_OK) return r;
    Widget* place = find(s, "eoszoomposition");
    if ((w == place || w->name == "eoszoom") && place != nullptr &&
        !keepOnSensor(s, place->value, place->value)) {
        w->value = before;
        return GP_ERROR_BAD_PARAMETERS;
    }
    return GP_OK;
}

int setConfig(Camera* camera, CameraWidget* window, GPContext*) {
    State& s = state(camera);
    if (int r = injected(s, "set"); r != GP_OK) return r;
    for (Widget& w : s.widgets) {
        CameraWidget* child = nullptr;
        if (gp_widget_get_child_by_name(window, w.name.c_str(), &child) >= GP_OK &&
            gp_widget_changed(child)) {
            if (int r = store(w, child); r != GP_OK) return r;
        }
    }
    return GP_OK;
}

}   // namespace testcam
