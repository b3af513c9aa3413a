// The libgphoto2 side of the real-camera table: the context, the camera and port lists, the
// open cameras, their settings by widget name, capture with download, live view and events.
//
// Threads: every member runs on the camera thread (CameraThread); nothing here locks. Frame,
// progress and event callbacks are made from that thread.
#pragma once

#include "sdk/gphoto/Families.h"
#include "sdk/gphoto/PreviewFrame.h"
#include "sdk/Errors.h"
#include "sdk/sdk.h"

#include <array>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

struct _Camera;
struct _GPContext;
struct _CameraAbilitiesList;
struct _GPPortInfoList;

namespace gphoto {

namespace err = sdk::err;   // the codes the backend reports

struct Device {
    std::string name;    // shown in the camera list
    std::string model;   // libgphoto2's model name
    std::string port;    // "usb:001,005", "ptpip:192.168.1.20", "disk:/path"
};

// A file on the camera: its folder and name there.
struct CameraPath {
    std::string folder;
    std::string name;
};

struct SessionOptions {
    bool autodetect = true;             // list what gp_camera_autodetect finds
    std::vector<std::string> cameras;   // "MODEL@PORT", always listed
    Labels labels;
    // One console line (libgphoto2's own message, or how to free a camera); camera thread.
    std::function<void(const std::string&)> note;
};

class Session {
public:
    explicit Session(SessionOptions options);
    ~Session();   // closes every camera
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    std::vector<Device> Devices();
    sdk::Result Open(const std::string& name, sdk::Handle handle);
    sdk::Result Close(sdk::Handle handle);
    bool IsOpen(sdk::Handle handle) const { return cameras_.count(handle) != 0; }
    // Ok for a camera that is open or was closed as gone (the calls that wind a camera down).
    sdk::Result Teardown(sdk::Handle handle) const;

    // Properties: the ids the camera has, and one's data (text or 32-bit word).
    sdk::Result PropertyIds(sdk::Handle h, std::vector<std::uint32_t>& ids);
    sdk::Result PropertyData(sdk::Handle h, std::uint32_t id, std::uint32_t* size, void* buffer);

    // Settings by the label tables' codes; a setting the camera lacks lists nothing.
    sdk::Result Choices(sdk::Handle h, Setting s, std::vector<std::uint32_t>& codes);
    sdk::Result Get(sdk::Handle h, Setting s, std::uint32_t& code);
    sdk::Result Set(sdk::Handle h, Setting s, std::uint32_t code);
    sdk::Result Sizes(sdk::Handle h, std::vector<std::string>& labels);
    sdk::Result Formats(sdk::Handle h, std::vector<std::pair<std::uint32_t, std::uint32_t>>& qs);
    sdk::Result GetFormat(sdk::Handle h, std::uint32_t& quality, std::uint32_t& size);
    sdk::Result SetFormat(sdk::Handle h, std::uint32_t quality, std::uint32_t size);

    sdk::Result AFLock(sdk::Handle h, bool lock);
    sdk::Result Zoom(sdk::Handle h, std::uint32_t& position, std::uint32_t& first,
                     std::uint32_t& last);
    sdk::Result SetZoom(sdk::Handle h, std::uint32_t position);
    // The camera's magnified live view: factor (1, 5, 10) and the area's place "x,y".
    sdk::Result Magnify(sdk::Handle h, std::uint32_t& factor, std::uint32_t& x, std::uint32_t& y);
    sdk::Result SetMagnify(sdk::Handle h, std::uint32_t factor, std::uint32_t x, std::uint32_t y);
    // One step of the lens's focus (the table's DriveFocus: -3..-1 near, 1..3 far), in the
    // style the camera's widget has: EOS "manualfocusdrive" radio ("Near 1".."Far 3", then
    // "None", so that a repeated step is not taken as no change), Nikon "manualfocusdrive"
    // signed motor steps (kNikonFocusSteps; the body's "Mf Drive Step End" is
    // err::kFocusAtLimit), Sony "manualfocus" (kSonyFocusSteps of -7..7).
    sdk::Result DriveFocus(sdk::Handle h, std::int32_t step);
    static constexpr int kNikonFocusSteps[4] = {0, 50, 200, 800};
    static constexpr int kSonyFocusSteps[4] = {0, 1, 3, 7};

    // Release: takes the picture and gathers every file it gives: events are taken until the
    // camera has announced as many files as its image format makes (RAW+JPEG: two), says the
    // capture is complete, or kReleaseFileWait has passed. count = the files gathered.
    sdk::Result Release(sdk::Handle h, std::uint32_t& count);
    // Writes the next file of the last release under path's name with the extension of the
    // file's own kind (a JPEG "jpg", a raw file its own extension in lower case); a file whose
    // camera base name was saved before in this session (the other half of a RAW+JPEG pair)
    // takes that file's name instead. A name taken meanwhile moves on to the next free number.
    // saved gets the path written, or empty. A picture in the camera's RAM is then deleted
    // from the camera.
    sdk::Result Download(sdk::Handle h, const std::string& path, sdk::ProgressCallback progress,
                         void* context, std::string& saved);
    // The same for a file the camera announced by itself (kEventCameraPicture), by its name.
    sdk::Result DownloadCameraPicture(sdk::Handle h, const std::string& cameraName,
                                      const std::string& path, sdk::ProgressCallback progress,
                                      void* context, std::string& saved);

    // How long a release waits for the files it is owed; gphoto2's own tool waits about as
    // long for the second file of RAW+JPEG. A file announced later still arrives, through
    // the event poll, under the number of its pair.
    static constexpr int kReleaseFileWaitMs = 3000;
    // A transfer the camera answers busy does not lose the file: it is fetched again, every
    // kBusyRefetchMs at most kBusyFetchTries times (about 5 s), on the camera thread's own
    // tick and announced as a camera picture (kEventCameraPicture), so no caller waits for it.
    // A worker that retries GetReleasedData gets the same file again meanwhile.
    static constexpr int kBusyRefetchMs = 500;
    static constexpr int kBusyFetchTries = 10;
    // Files the camera announced by itself that are kept until fetched (oldest dropped).
    static constexpr std::size_t kMaxWaitingFiles = 64;
    // The largest preview accepted, each way; a larger claim is refused undecoded.
    static constexpr int kMaxPreviewSide = PreviewFrame::kMaxSide;

    sdk::Result SetEvents(sdk::Handle h, sdk::EventCallback callback, void* context);
    sdk::Result StartViewfinder(sdk::Handle h, sdk::FrameCallback callback, void* context);
    sdk::Result StopViewfinder(sdk::Handle h);
    bool Streaming() const;
    // One step of the repeating job: a preview frame for each streaming camera, and events.
    void Tick();

    // Called by libgphoto2's progress functions.
    void ProgressStart(float target);
    void ProgressUpdate(float current);

private:
    struct Cam;
    Cam* find(sdk::Handle h);
    sdk::Result missing(sdk::Handle h) const;   // the error for a handle with no open camera
    // Runs a libgphoto2 call once (busy is retried by the driver, as its caller allows); on
    // failure notes libgphoto2's message and code and, for a vanished camera, closes it and
    // sends its event callback kEventCameraGone. Returns the SDK code.
    sdk::Result check(sdk::Handle h, const char* what, const std::function<int()>& call);
    sdk::Result toSdk(int code) const;
    void gone(sdk::Handle h);
    int readWidget(Cam& c, const std::string& name, std::string* text,
                   std::vector<std::string>* choices, float* value = nullptr, float* low = nullptr,
                   float* high = nullptr);
    int writeWidget(Cam& c, const std::string& name, const std::string* text, const float* value);
    std::string firstWidget(Cam& c, const std::vector<std::string>& names);
    void resolve(Cam& c);
    void resolveFocus(Cam& c);   // SessionFocus.cpp
    // Takes the camera's events (at most 16) for up to timeoutMs in all. During a release
    // (expected > 0) a new file belongs to it, and the poll ends once it has expected files;
    // returns true when the camera said the capture is complete.
    bool pollEvents(sdk::Handle h, int timeoutMs, std::size_t expected = 0);
    void cameraFile(sdk::Handle h, const CameraPath& file);
    // Announces the busy files that are due again and retries busy RAM deletes.
    void retryBusy(sdk::Handle h);
    void deleteFromRam(sdk::Handle h, const CameraPath& file, int tries);
    void propertyChanged(sdk::Handle h, const std::string& text, bool& settingsChanged);
    // release: the file is one of a release Kestrel made (else the camera's own).
    sdk::Result downloadFile(sdk::Handle h, const CameraPath& file, bool release,
                             const std::string& path, sdk::ProgressCallback progress, void* context,
                             std::string& saved);
    bool inCameraRam(Cam& c);
    std::size_t filesPerRelease(Cam& c);
    static void keepPortDriversLoaded();

    SessionOptions options_;
    _GPContext* context_ = nullptr;
    _CameraAbilitiesList* abilities_ = nullptr;
    _GPPortInfoList* ports_ = nullptr;
    std::vector<Device> devices_;   // the latest listing
    std::map<sdk::Handle, std::unique_ptr<Cam>> cameras_;
    std::set<sdk::Handle> gone_;   // closed as vanished, not yet closed by the driver
    PreviewFrame preview_;
    std::unique_ptr<std::array<std::uint8_t, sdk::kFrameBytes>> frame_;
    sdk::ProgressCallback progress_ = nullptr;   // set during a download
    void* progressContext_ = nullptr;
    float progressTarget_ = 0;
    std::string lastMessage_;   // libgphoto2's error text of the last call
    unsigned ticks_ = 0;

    friend void contextError(_GPContext*, const char*, void*);
};

}   // namespace gphoto
