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
#include "TestCameraState.h"

#include <gphoto2/gphoto2-port-result.h>
#include <gphoto2/gphoto2-result.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace testcam {

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
std::string control(State& s, const char* name, bool keep) {
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

}   // namespace testcam

using namespace testcam;

namespace {

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
