// A camera driver of the test suite's own, loaded by the real libgphoto2 from the folder named
// by CAMLIBS and opened on a "disk:FOLDER" port. Two models: "Kestrel Test EOS" (the widget
// names of an EOS body) and "Kestrel Test Compact" (those of a compact, with exposure steps in
// thirds in several spellings). RADIO choices, preview JPEGs of a moving pattern, capture with
// a file in its filesystem, RAW+JPEG, and events that keep real bodies' timing: wait_for_event
// waits out its timeout for the next event that is due.
//
// A test steers it through files in FOLDER, each read (and removed, unless said) when due:
//   inject    "OPERATION CODE COUNT" lines: fail the next COUNT calls (operations init,
//             preview, capture, file, delete, get, set); kept, counted down
//   battery   a new level: the body reports it with a property-change event
//   dial      "WIDGET VALUE": the body's own dial changes a setting, with its event
//   release   "DELAY_MS raw-first|jpeg-first": the second file of RAW+JPEG is announced
//             DELAY_MS after the release returns, behind two property-change events, and
//             which file the release itself returns (kept)
//   shutter   N: the body's own shutter button takes N pictures (files announced, no release)
//   ram       N, read at init: the capture target is the camera's RAM, which holds at most N
//             pictures (small ones, so long runs stay quick); a release into a full RAM fails
//             with GP_ERROR_NO_SPACE
// The camera writes how many files it holds (RAM or card) to FOLDER/stored after every change.
//   zoomrange "LOW HIGH" read at init (compact): the zoom widget's range, NaN included
//   preview-size "W H": previews claim this size in their header (the pixels stay small)
//   magnify   "off", read at init (EOS): the body lacks the magnified live view (eoszoom, a
//             RADIO of 1, 5, 10, and eoszoomposition, the area's top-left "x,y" on a 6000 x 4000
//             sensor, kept by the body so that the area stays on the sensor)
//   focus-style "eos", "nikon", "sony" or "off", read at init: the lens's focus drive
//             (TestLens.h; EOS bodies default to "eos", compacts to none)
//   lens      "LOW HIGH START", read at init: the lens's ends and focus position
//   lens-busy MS, read at init: the lens moves this long after a focus step (busy meanwhile)
// Each capture writes its start time to FOLDER/capture-started, each preview to
// FOLDER/preview-at; the lens writes its focus position to FOLDER/focus after every move.
#include "TestLens.h"

#include <gphoto2/gphoto2-library.h>
#include <gphoto2/gphoto2-port-result.h>
#include <gphoto2/gphoto2-result.h>
#include <turbojpeg.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <deque>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr const char* kEos = "Kestrel Test EOS";
constexpr const char* kCompact = "Kestrel Test Compact";
constexpr const char* kFolder = "/";   // the filesystem knows its root without listing

struct Widget {
    std::string name;
    CameraWidgetType type;
    std::vector<std::string> choices;   // RADIO
    std::string value;                  // RADIO/TEXT; TOGGLE and RANGE as a number
    float low = 0, high = 0;            // RANGE
};

using Clock = std::chrono::steady_clock;

// An event the body sends once it is due: a file added (text: its name), a property change
// (text: the event's words) or the end of a capture.
struct Event {
    Clock::time_point due;
    CameraEventType type;
    std::string text;
};

struct State {
    bool eos = true;
    std::string folder;
    std::vector<Widget> widgets;
    std::map<std::string, std::vector<unsigned char>> files;
    std::deque<Event> events;   // in the order they are due
    unsigned frame = 0;
    unsigned shots = 0;
    std::size_t ramCapacity = 0;   // 0: pictures go to the card
    testcam::Lens lens;
};

const std::vector<std::string> kApertures{"2.8", "4", "5.6", "8", "11"};
const std::vector<std::string> kSpeeds{"30", "1", "0.5", "1/4", "1/60", "1/125", "1/250", "bulb"};
const std::vector<std::string> kExposures{"-2", "-1", "-0.3", "0", "0.3", "0.5", "1", "2"};
// Thirds as compacts spell them, in every spelling libgphoto2 uses.
const std::vector<std::string> kExposureThirds{"-2",     "-1 2/3", "-1.3", "-1",   "-0.7",
                                               "-1/3",   "0",      "+1/3", "+0.7", "+1",
                                               "+1 1/3", "+1.7",   "+2"};
const std::vector<std::string> kIsos{"Auto", "100", "200", "400", "800", "1600"};

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

State& state(Camera* camera) { return *reinterpret_cast<State*>(camera->pl); }

// A failure asked for by the test: "OPERATION CODE COUNT" lines in FOLDER/inject.
int injected(State& s, const char* operation) {
    const std::string path = s.folder + "/inject";
    std::ifstream in(path);
    if (!in) return GP_OK;
    std::vector<std::string> lines;
    std::string line;
    int result = GP_OK;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string op;
        int code = 0, count = 0;
        if (!(fields >> op >> code >> count)) continue;
        if (op == operation && result == GP_OK && count > 0) {
            result = code;
            --count;
        }
        if (count > 0)
            lines.push_back(op + " " + std::to_string(code) + " " + std::to_string(count));
    }
    in.close();
    std::ofstream out(path, std::ios::trunc);
    for (const std::string& l : lines) out << l << "\n";
    return result;
}

Widget* find(State& s, const char* name) {
    for (Widget& w : s.widgets)
        if (w.name == name) return &w;
    return nullptr;
}

// The contents of FOLDER/name (empty when there is none); the file is removed unless kept.
std::string control(State& s, const char* name, bool keep = false) {
    const std::string path = s.folder + "/" + name;
    std::ifstream in(path);
    if (!in) return {};
    std::stringstream text;
    text << in.rdbuf();
    in.close();
    if (!keep) std::remove(path.c_str());
    return text.str();
}

// How many pictures the camera holds, for the test to read.
void reportStored(State& s) { std::ofstream(s.folder + "/stored") << s.files.size(); }

void queueEvent(State& s, Clock::time_point due, CameraEventType type, std::string text) {
    auto at = s.events.end();
    while (at != s.events.begin() && std::prev(at)->due > due) --at;
    s.events.insert(at, Event{due, type, std::move(text)});
}

std::string propertyText(const char* code, const std::string& widget, const std::string& value) {
    return std::string("PTP Property ") + code + " changed, \"" + widget + "\" to \"" + value +
           "\"";
}

std::vector<unsigned char> pattern(unsigned width, unsigned height, unsigned shift) {
    std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * height * 3);
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x) {
            unsigned char* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
            p[0] = static_cast<unsigned char>((x + shift) * 255 / width);
            p[1] = static_cast<unsigned char>(y * 255 / height);
            p[2] = static_cast<unsigned char>(((x + shift) / 40 + y / 40) % 2 ? 220 : 30);
        }
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    tjhandle tj = tjInitCompress();
    tjCompress2(tj, rgb.data(), static_cast<int>(width), 0, static_cast<int>(height), TJPF_RGB,
                &jpeg, &size, TJSAMP_420, 85, 0);
    std::vector<unsigned char> out(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(tj);
    return out;
}

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

int capturePreview(Camera* camera, CameraFile* file, GPContext*) {
    State& s = state(camera);
    if (int r = injected(s, "preview"); r != GP_OK) return r;
    std::vector<unsigned char> jpeg = pattern(960, 640, (s.frame++ * 8) % 960);
    // A header that claims another size: the start-of-frame's height and width.
    unsigned claimedW = 0, claimedH = 0;
    if (std::istringstream(control(s, "preview-size", true)) >> claimedW >> claimedH) {
        for (std::size_t i = 0; i + 8 < jpeg.size(); ++i) {
            if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
                jpeg[i + 5] = static_cast<unsigned char>(claimedH >> 8);
                jpeg[i + 6] = static_cast<unsigned char>(claimedH);
                jpeg[i + 7] = static_cast<unsigned char>(claimedW >> 8);
                jpeg[i + 8] = static_cast<unsigned char>(claimedW);
                break;
            }
        }
    }
    {
        // When this preview left the camera (CLOCK_MONOTONIC, ns), for the stream benchmark.
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        std::ofstream(s.folder + "/preview-at")
            << static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
    }
    gp_file_set_mime_type(file, GP_MIME_JPEG);
    return gp_file_set_data_and_size(
        file, static_cast<char*>(std::memcpy(std::malloc(jpeg.size()), jpeg.data(), jpeg.size())),
        jpeg.size());
}

// Takes one picture in the current image format: its files join the filesystem; returns the
// file names, JPEG first.
std::vector<std::string> takePicture(Camera* camera, State& s, GPContext* context) {
    ++s.shots;
    char base[32];
    std::snprintf(base, sizeof base, "IMG_%04u", s.shots);
    const Widget* format = find(s, "imageformat");
    const bool raw = format != nullptr && format->value.rfind("RAW", 0) == 0;
    const bool jpeg = format == nullptr || format->value != "RAW";
    const bool small = s.ramCapacity > 0;
    std::vector<std::string> names;
    if (jpeg) {
        names.push_back(std::string(base) + ".JPG");
        s.files[names.back()] =
            small ? pattern(64, 48, s.shots) : pattern(1600, 1066, s.shots * 50);
    }
    if (raw) {
        names.push_back(std::string(base) + ".CR2");
        s.files[names.back()] =
            std::vector<unsigned char>(small ? 3000 : 300000, static_cast<unsigned char>(s.shots));
    }
    for (const std::string& name : names)
        gp_filesystem_append(camera->fs, kFolder, name.c_str(), context);
    reportStored(s);
    return names;
}

int capture(Camera* camera, CameraCaptureType type, CameraFilePath* path, GPContext* context) {
    State& s = state(camera);
    if (type != GP_CAPTURE_IMAGE) return GP_ERROR_NOT_SUPPORTED;
    if (int r = injected(s, "capture"); r != GP_OK) return r;
    if (s.ramCapacity > 0 && s.files.size() >= s.ramCapacity) return GP_ERROR_NO_SPACE;
    if (s.lens.moving()) return GP_ERROR_CAMERA_BUSY;
    {
        // When the capture started (CLOCK_MONOTONIC, ns), for the stream benchmark's wait.
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        std::ofstream(s.folder + "/capture-started")
            << static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
    }
    std::vector<std::string> names = takePicture(camera, s, context);
    // Which file the release returns, and how late the other is announced.
    long delayMs = 0;
    std::string order;
    std::istringstream(control(s, "release", true)) >> delayMs >> order;
    if (order == "raw-first") std::reverse(names.begin(), names.end());
    const Clock::time_point now = Clock::now();
    if (names.size() > 1) {
        // Real bodies send property changes before the second file.
        queueEvent(s, now, GP_EVENT_UNKNOWN, propertyText("d1b0", "availableshots", "412"));
        queueEvent(s, now + std::chrono::milliseconds(delayMs / 2), GP_EVENT_UNKNOWN,
                   propertyText("d1b1", "eosfocus", "0"));
        queueEvent(s, now + std::chrono::milliseconds(delayMs), GP_EVENT_FILE_ADDED, names[1]);
    }
    queueEvent(s, now + std::chrono::milliseconds(delayMs), GP_EVENT_CAPTURE_COMPLETE, {});
    std::strcpy(path->folder, kFolder);
    std::strcpy(path->name, names.front().c_str());
    return GP_OK;
}

// Reads the test's requests for things the body does by itself into due events.
void bodyActions(Camera* camera, State& s, GPContext* context) {
    const Clock::time_point now = Clock::now();
    if (std::string level = control(s, "battery"); !level.empty()) {
        level = level.substr(0, level.find('\n'));
        if (Widget* w = find(s, "batterylevel")) w->value = level;
        queueEvent(s, now, GP_EVENT_UNKNOWN, propertyText("d111", "batterylevel", level));
    }
    std::istringstream dial(control(s, "dial"));
    std::string widget, value;
    if (dial >> widget && std::getline(dial >> std::ws, value))
        if (Widget* w = find(s, widget.c_str())) {
            w->value = value;
            queueEvent(s, now, GP_EVENT_UNKNOWN, propertyText("d102", widget, value));
        }
    // A file the camera holds announced again ("NAME COUNT"), as some bodies do.
    std::istringstream again(control(s, "announce"));
    std::string name;
    int times = 0;
    if (again >> name >> times && s.files.count(name) != 0)
        for (int i = 0; i < times; ++i) queueEvent(s, now, GP_EVENT_FILE_ADDED, name);
    int shots = 0;
    std::istringstream(control(s, "shutter")) >> shots;
    for (int i = 0; i < shots; ++i) {
        if (s.ramCapacity > 0 && s.files.size() >= s.ramCapacity) break;
        for (const std::string& name : takePicture(camera, s, context))
            queueEvent(s, now, GP_EVENT_FILE_ADDED, name);
    }
}

int waitForEvent(Camera* camera, int timeoutMs, CameraEventType* type, void** data,
                 GPContext* context) {
    State& s = state(camera);
    *data = nullptr;
    *type = GP_EVENT_TIMEOUT;
    bodyActions(camera, s, context);
    // Waits out the timeout for the next event that falls due within it.
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(timeoutMs);
    if (s.events.empty() || s.events.front().due > until) {
        std::this_thread::sleep_until(until);
        return GP_OK;
    }
    std::this_thread::sleep_until(s.events.front().due);
    Event event = s.events.front();
    s.events.pop_front();
    *type = event.type;
    if (event.type == GP_EVENT_FILE_ADDED) {
        auto* path = static_cast<CameraFilePath*>(std::calloc(1, sizeof(CameraFilePath)));
        std::strcpy(path->folder, kFolder);
        std::strcpy(path->name, event.text.c_str());
        *data = path;
    } else if (event.type == GP_EVENT_UNKNOWN) {
        *data = strdup(event.text.c_str());
    }
    return GP_OK;
}

int getFile(CameraFilesystem*, const char*, const char* name, CameraFileType type, CameraFile* file,
            void* data, GPContext* context) {
    State& s = *static_cast<State*>(data);
    if (type != GP_FILE_TYPE_NORMAL) return GP_ERROR_NOT_SUPPORTED;
    if (int r = injected(s, "file"); r != GP_OK) return r;
    auto it = s.files.find(name);
    if (it == s.files.end()) return GP_ERROR_FILE_NOT_FOUND;
    const std::vector<unsigned char>& bytes = it->second;
    const unsigned id =
        gp_context_progress_start(context, static_cast<float>(bytes.size()), "Downloading");
    constexpr std::size_t kChunk = 65536;
    for (std::size_t at = 0; at < bytes.size(); at += kChunk) {
        const std::size_t n = std::min(kChunk, bytes.size() - at);
        gp_file_append(file, reinterpret_cast<const char*>(bytes.data() + at), n);
        gp_context_progress_update(context, id, static_cast<float>(at + n));
    }
    gp_context_progress_stop(context, id);
    return GP_OK;
}

int deleteFile(CameraFilesystem*, const char*, const char* name, void* data, GPContext*) {
    State& s = *static_cast<State*>(data);
    if (int r = injected(s, "delete"); r != GP_OK) return r;
    if (s.files.erase(name) == 0) return GP_ERROR_FILE_NOT_FOUND;
    reportStored(s);
    return GP_OK;
}

int cameraExit(Camera* camera, GPContext*) {
    delete reinterpret_cast<State*>(camera->pl);
    camera->pl = nullptr;
    return GP_OK;
}

CameraFilesystemFuncs fsFuncs = [] {
    CameraFilesystemFuncs f{};
    f.get_file_func = getFile;
    f.del_file_func = deleteFile;
    return f;
}();

}   // namespace

extern "C" {

int camera_id(CameraText* id) {
    std::strcpy(id->text, "kestrel-testcam");
    return GP_OK;
}

int camera_abilities(CameraAbilitiesList* list) {
    for (const char* model : {kEos, kCompact}) {
        CameraAbilities a;
        std::memset(&a, 0, sizeof a);
        std::strcpy(a.model, model);
        std::strcpy(a.id, "kestrel-testcam");
        a.status = GP_DRIVER_STATUS_TESTING;
        a.port = GP_PORT_DISK;
        a.operations = static_cast<CameraOperation>(
            GP_OPERATION_CAPTURE_IMAGE | GP_OPERATION_CAPTURE_PREVIEW | GP_OPERATION_CONFIG);
        a.file_operations = GP_FILE_OPERATION_DELETE;
        a.folder_operations = GP_FOLDER_OPERATION_NONE;
        gp_abilities_list_append(list, a);
    }
    return GP_OK;
}

int camera_init(Camera* camera, GPContext*) {
    CameraAbilities abilities;
    gp_camera_get_abilities(camera, &abilities);
    GPPortInfo info;
    gp_camera_get_port_info(camera, &info);
    char* path = nullptr;
    gp_port_info_get_path(info, &path);
    auto* s = new State;
    s->eos = std::strcmp(abilities.model, kEos) == 0;
    s->folder = path != nullptr && std::strncmp(path, "disk:", 5) == 0 ? path + 5 : "";
    if (int r = injected(*s, "init"); r != GP_OK) {
        delete s;
        return r;
    }
    s->widgets = s->eos ? eosWidgets() : compactWidgets();
    std::istringstream(control(*s, "ram", true)) >> s->ramCapacity;
    if (s->ramCapacity > 0)
        if (Widget* w = find(*s, "capturetarget")) w->value = "Internal RAM";
    if (control(*s, "magnify", true).starts_with("off"))
        std::erase_if(s->widgets, [](const Widget& w) { return w.name.starts_with("eoszoom"); });
    s->lens.setUp(
        control(*s, "focus-style", true), control(*s, "lens", true), control(*s, "lens-busy", true),
        s->eos ? testcam::FocusStyle::Eos : testcam::FocusStyle::None, s->folder + "/focus");
    if (s->lens.style == testcam::FocusStyle::Eos)
        s->widgets.push_back({"manualfocusdrive",
                              GP_WIDGET_RADIO,
                              {"Near 1", "Near 2", "Near 3", "None", "Far 1", "Far 2", "Far 3"},
                              "None"});
    else if (s->lens.style == testcam::FocusStyle::Nikon)
        s->widgets.push_back({"manualfocusdrive", GP_WIDGET_RANGE, {}, "0", -32767, 32767});
    else if (s->lens.style == testcam::FocusStyle::Sony)
        s->widgets.push_back({"manualfocus", GP_WIDGET_RANGE, {}, "0", -7, 7});
    float low = 0, high = 0;
    const std::string range = control(*s, "zoomrange", true);
    if (Widget* zoom = find(*s, "zoom"); zoom != nullptr && !range.empty()) {
        // strtof reads "nan" and "inf" as a body with a broken range reports them.
        char* end = nullptr;
        low = std::strtof(range.c_str(), &end);
        high = std::strtof(end, nullptr);
        zoom->low = low;
        zoom->high = high;
    }
    camera->pl = reinterpret_cast<CameraPrivateLibrary*>(s);
    camera->functions->exit = cameraExit;
    camera->functions->get_config = getConfig;
    camera->functions->get_single_config = getSingleConfig;
    camera->functions->set_config = setConfig;
    camera->functions->set_single_config = setSingleConfig;
    camera->functions->capture = capture;
    camera->functions->capture_preview = capturePreview;
    camera->functions->wait_for_event = waitForEvent;
    return gp_filesystem_set_funcs(camera->fs, &fsFuncs, s);
}

}   // extern "C"
