// The test camera's state and the parts of the driver the files share: the widgets (settings
// by name), the events a body sends when they are due, the files it holds; and the driver's
// functions by theme (TestCamera.cpp: set-up and the test's control files; TestCameraWidgets.cpp:
// the settings; TestCameraCapture.cpp: previews, captures, events and files).
#pragma once

#include "TestLens.h"

#include <gphoto2/gphoto2-library.h>

#include <chrono>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace testcam {

inline constexpr const char* kEos = "Kestrel Test EOS";
inline constexpr const char* kCompact = "Kestrel Test Compact";
inline constexpr const char* kFolder = "/";   // the filesystem knows its root without listing

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

inline State& state(Camera* camera) { return *reinterpret_cast<State*>(camera->pl); }

// The test's control files (TestCamera.cpp).
// A failure asked for by the test: "OPERATION CODE COUNT" lines in FOLDER/inject.
int injected(State& s, const char* operation);
Widget* find(State& s, const char* name);
// The contents of FOLDER/name (empty when there is none); the file is removed unless kept.
std::string control(State& s, const char* name, bool keep = false);
// How many pictures the camera holds, for the test to read.
void reportStored(State& s);
void queueEvent(State& s, Clock::time_point due, CameraEventType type, std::string text);
std::string propertyText(const char* code, const std::string& widget, const std::string& value);

// The settings (TestCameraWidgets.cpp).
std::vector<Widget> eosWidgets();
std::vector<Widget> compactWidgets();
int getConfig(Camera* camera, CameraWidget** window, GPContext*);
int getSingleConfig(Camera* camera, const char* name, CameraWidget** widget, GPContext*);
int setSingleConfig(Camera* camera, const char* name, CameraWidget* widget, GPContext* context);
int setConfig(Camera* camera, CameraWidget* window, GPContext*);

// Previews, captures, events and files (TestCameraCapture.cpp).
int capturePreview(Camera* camera, CameraFile* file, GPContext*);
int capture(Camera* camera, CameraCaptureType type, CameraFilePath* path, GPContext* context);
int waitForEvent(Camera* camera, int timeoutMs, CameraEventType* type, void** data,
                 GPContext* context);
int getFile(CameraFilesystem*, const char*, const char* name, CameraFileType type, CameraFile* file,
            void* data, GPContext* context);
int deleteFile(CameraFilesystem*, const char*, const char* name, void* data, GPContext*);

}   // namespace testcam
