// The capture document: owns the two camera drivers, the device lists, the capture folder and
// name, every frame buffer the live view and the capture modes share, the pane registry and the
// four receiver slots through which SDK callbacks reach the panes.
//
// Threads: operations run on the user-interface thread or the sequence worker; FrameRelay runs
// on the SDK's viewfinder thread. Frame buffers are guarded by the frame lock; receiver slots are
// atomic function pointers; no lock is held while a receiver is called.
#pragma once

#include "camera/CanonRCSDK.h"
#include "camera/CanonSDK.h"
#include "document/CView.h"
#include "document/CameraSession.h"
#include "document/CaptureNaming.h"
#include "document/FrameBuffers.h"
#include "document/NamingFile.h"

class StackingWindow;

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

class CViewDoc {
public:
    using LogReceiver = void (*)(const std::string& step, const std::string& errorText);
    using CameraEventReceiver = void (*)(std::uint32_t value);
    using FrameReceiver = void (*)(const std::uint8_t* frame);   // 54-byte header + pixels
    using ProgressReceiver = void (*)(std::int32_t value);
    using SettingsReceiver = void (*)();   // the camera changed a setting by itself
    using PictureReceiver = void (*)(const std::string& path);   // a picture saved there

    // configPath: where config.cfg lives ("config.cfg" in the working directory by default).
    CViewDoc(const sdk::Api& cdApi, const sdk::Api& rcApi, std::string configPath = "config.cfg");
    ~CViewDoc();
    CViewDoc(const CViewDoc&) = delete;
    CViewDoc& operator=(const CViewDoc&) = delete;

    static CViewDoc* instance();   // the process-wide document, or null

    // Pane registry. A pane leaves it when it is destroyed (see CView).
    void RegisterView(CView* view, const std::string& name);
    void UnregisterView(CView* view);                // every name the pane was registered under
    CView* GetView(const std::string& name) const;   // exact, case-sensitive
    // Writes text to the pane registered as "Debug" when it is a CLogSink; else nothing. Any
    // thread: the registry lock is held while the sink writes (CLogSink::WriteLog never
    // blocks), so the console cannot be destroyed half-way through a write.
    void Log(const std::string& text) const;
    // The line a capture panel or run writes when TakePicture succeeded.
    static constexpr const char* kPhotoCaptured = "Photo Captured\r\n";
    // Writes kPhotoCaptured, then the lines held for that capture's pictures: the capture panels
    // and the Time run call it when TakePicture succeeded (any thread).
    void PhotoCaptured();
    // "Saved Photo-0003.jpg (2.4 MB)": MB are 1,000,000 bytes, KB 1,000 bytes, one decimal.
    static std::string SavedLine(const std::string& fileName, std::uintmax_t bytes);

    // Devices and connection.
    void UpdateDeviceList();
    std::vector<std::string> cdDevices() const;
    std::vector<std::string> rcDevices() const;
    bool ConnectCamera(const std::string& deviceName);   // true when a camera is open afterwards
    camera::CanonSDK& cdDriver() { return *cdDriver_; }
    camera::CanonRCSDK& rcDriver() { return *rcDriver_; }
    // The camera session's: the driver with an open camera (CanonSDK first; null when none),
    // and the device name of the latest successful ConnectCamera.
    camera::CanonDriver* openDriver();
    std::string connectedName() const;
    // The camera session: what the open camera holds, Apply, and the loss and return of a
    // camera that went away without the user's Disconnect.
    CameraSession& cameraSession() { return session_; }

    // Captures.
    // writtenPath, when given, receives the path each picture of the release was saved under
    // (";" between several), empty when none was; the files of a capture-session camera are
    // waited for, up to 3 seconds, so only a worker thread may ask for it.
    // A missing capture folder is created first, with its parents; when that fails one
    // console line says why and nothing is released. Each picture gets one console line
    // ("Saved ...", or "Picture not received: ..."), held until the capture's kPhotoCaptured
    // line when it ends during the capture, written at once when the capture failed.
    // busy: how a busy answer of the release is retried (the window: one try).
    bool TakePicture(std::string* writtenPath = nullptr,
                     camera::BusyRetry busy = camera::kNoBusyRetry);
    std::string GetCaptureFileName();
    void SetCaptureFolder(const std::string& folder);
    void SetCaptureName(const std::string& name);
    std::string captureFolder() const;
    std::string captureName() const;

    // The name template, the job text and the sessions (naming.cfg beside config.cfg, written
    // only once something differs from the defaults). A template that cannot be used is kept
    // as typed; captures are refused with its reason until it is mended.
    NamingSettings namingSettings() const;
    void SetNamingSettings(const NamingSettings& settings);
    void SetNameTemplate(const std::string& text);
    void SetJobText(const std::string& job);
    // The stack or bracket the next pictures belong to, for {series} ("Focus stack 3: 7 of
    // 20"); empty when none. Any thread.
    void SetSeries(const std::string& series);
    std::string namingPath() const { return NamingSettings::PathBeside(configPath_); }
    // On failure says why on the console ("Naming settings not saved: ...").
    bool SaveNaming(std::string* error = nullptr);
    // The file name the next capture would get now, without its folder; empty, with the reason
    // a capture would be refused in why, when there is none. Asks the camera nothing (any
    // thread): the image quality is the one the camera session holds.
    std::string PreviewCaptureName(std::string& why);
    // Why a capture with this path is refused ("the capture name is empty: ..."); empty for Ok.
    std::string RefusalText(const CapturePath& target) const;

    bool LoadConfig();
    // On failure says why on stderr and the console ("Settings not saved: ..."), and in
    // `error` when given.
    bool SaveConfig(std::string* error = nullptr);

    // Receiver slots (set by the panes; null clears).
    void setOnLog(LogReceiver receiver) { onLog_.store(receiver); }
    void setOnCameraEvent(CameraEventReceiver receiver) { onCameraEvent_.store(receiver); }
    void setOnFrame(FrameReceiver receiver) { onFrame_.store(receiver); }
    // Also handed the pixels of each frame the window is given (320 x 240 BGR rows bottom-up,
    // stacked when stacking), on the SDK's thread after the window's receiver: it must not
    // wait or allocate. Kept alive while a frame is in it; null clears.
    class FrameTap {
    public:
        virtual ~FrameTap() = default;
        virtual void TakeFrame(const std::uint8_t* pixels) = 0;
    };
    void setFrameTap(std::shared_ptr<FrameTap> tap) { frameTap_.store(std::move(tap)); }
    void setOnProgress(ProgressReceiver receiver) { onProgress_.store(receiver); }
    void setOnSettingsChanged(SettingsReceiver receiver) { onSettingsChanged_.store(receiver); }
    // Told the moment a picture's file is whole, before its console line (any thread; the
    // receiver must not wait): the large view starts decoding it there.
    void setOnPictureWritten(PictureReceiver receiver) { onPictureWritten_.store(receiver); }
    // Told of each picture saved in the capture folder, after its console line, on whatever
    // thread saved it (the receiver must not wait).
    void setOnPictureSaved(PictureReceiver receiver) { onPictureSaved_.store(receiver); }

    // A picture the camera took by itself (its own shutter button, a cable release, its timer):
    // one console line names it ("Picture taken on the camera: IMG_0412.JPG"), then it is
    // fetched into the capture folder under the next number (the other file of a RAW+JPEG pair
    // under the same number) and gets the usual picture line. lateFile: it is the other file
    // of a capture's picture that came after the capture ended ("Late file of the last
    // capture: IMG_0412.CR2"), saved under that picture's number. Runs on the camera event
    // callback's thread and takes no driver operation lock. False when it was not saved.
    bool TakeCameraPicture(const std::string& cameraName, bool lateFile = false);

    // Relays handed to the SDKs through the drivers.
    static void LogRelay(const std::string& step, const std::string& errorText);
    static sdk::Result CameraEventRelay(std::uint32_t eventId, const void* data, std::uint32_t size,
                                        void* context);
    static sdk::Result FrameRelay(void* frame, std::uint32_t size, std::uint32_t format,
                                  void* context);
    static sdk::Result ProgressRelay(std::uint32_t value, std::uint32_t status, void* context);

    // Capture modes: stitch.
    void PrepareStitchStrip(std::uint32_t direction);   // stores it; 1..4 also cut the strip
    std::uint32_t stitchDirection() const { return stitchDirection_.load(); }
    void ClearStitch();   // previousShot and overlapStrip to black
    // Copies the current strip (76,800 bytes) for display.
    void CopyOverlapStrip(std::uint8_t* out) const;

    // Capture modes: astrophotography.
    void SetAdditiveFrames(std::int32_t frames);
    std::int32_t additiveFrames() const { return additiveFrames_.load(); }
    void CalibrateNoise();   // stackSum -> noiseSum, or clears it when not stacking

    // Histogram of a displayed frame; at most once per histogramInterval.
    // Returns true when it was recomputed (the caller then repaints the Info pane).
    bool UpdateHistogram(const std::uint8_t* pixels, int width, int height, std::uint64_t nowMs,
                         std::uint64_t& nextHistogramTime);
    // The same on the document's own clock (any thread): of callers racing for one interval,
    // exactly one recomputes.
    bool UpdateHistogram(const std::uint8_t* pixels, int width, int height, std::uint64_t nowMs);
    Histogram histogram() const;   // bins and peak, copied under the lock
    std::uint32_t histogramInterval() const { return histogramInterval_; }

    // Buffers for tests and the panes, copied under the frame lock.
    FrameBuffers::Frame liveFrame() const;
    FrameBuffers::Frame previousShot() const;
    std::size_t stackedFrameCount() const;
    // Frames FrameRelay refused because their size or header was not a 320 x 240 24-bit bitmap.
    std::uint64_t droppedFrames() const { return droppedFrames_.load(); }
    const std::string& configPath() const { return configPath_; }

    // The capture naming (a picture moved to the trash keeps its number held there).
    CaptureNaming& naming() { return *naming_; }

private:
    // The next capture path for the current folder, name and open camera; reserve keeps it
    // from being handed out again until released.
    // cameraFile: the camera's own file name when known ({camfile}, {camnum}); ext: empty for
    // the one the image quality gives.
    CapturePath NextCapturePath(bool reserve, const std::string& cameraFile = std::string(),
                                std::string ext = std::string());
    // The end of a picture (any thread): frees its number, says where it went when that is not
    // the name it was given, or that it never came.
    void PictureDone(const std::string& asked, const std::string& saved);
    // A camera whose image file is written after TakePicture has returned.
    bool IsCaptureSessionCamera();
    void StoreHistogram(const std::uint8_t* pixels, int width, int height);
    // Creates the capture folder when missing; false (with one console line) when it cannot.
    bool EnsureCaptureFolder(const std::string& folder);
    // Writes a picture's line now, or holds it for the capture's kPhotoCaptured line.
    void LogPicture(const std::string& line);
    // Ends holding and returns the lines held so far.
    std::vector<std::string> TakeHeldLines() const;

    static std::atomic<CViewDoc*> instance_;

    const std::string configPath_;

    // Guards the strings and the device lists (the UI thread and the sequence worker both
    // reach them).
    mutable std::mutex stateLock_;
    std::string captureFolder_;
    std::string captureName_;
    NamingSettings namingSettings_;
    std::string series_;
    // Guards the pane registry; recursive, as a sink that logs while writing must not lock up.
    mutable std::recursive_mutex viewsLock_;
    std::vector<std::pair<CView*, std::string>> views_;
    std::vector<std::string> cdDevices_;
    std::vector<std::string> rcDevices_;

    // The frame lock: guards buffers_ and stacking_ (live frame, previous shot, strip,
    // histogram, stacking window, stack and noise sums). Never held while a receiver runs.
    mutable std::mutex frameLock_;
    std::unique_ptr<FrameBuffers> buffers_;
    std::unique_ptr<StackingWindow> stacking_;

    std::atomic<std::uint32_t> stitchDirection_{0};
    std::atomic<std::int32_t> additiveFrames_{0};
    const std::uint32_t histogramInterval_ = 1000;
    std::atomic<std::uint64_t> nextHistogramTime_{0};   // the live picture's histogram clock
    std::atomic<std::uint64_t> droppedFrames_{0};

    std::atomic<LogReceiver> onLog_{nullptr};
    std::atomic<CameraEventReceiver> onCameraEvent_{nullptr};
    std::atomic<FrameReceiver> onFrame_{nullptr};
    std::atomic<std::shared_ptr<FrameTap>> frameTap_;
    std::atomic<ProgressReceiver> onProgress_{nullptr};
    std::atomic<SettingsReceiver> onSettingsChanged_{nullptr};
    std::atomic<PictureReceiver> onPictureWritten_{nullptr};
    std::atomic<PictureReceiver> onPictureSaved_{nullptr};

    // Picture lines held between the start of a capture and its kPhotoCaptured line.
    mutable std::mutex heldLock_;
    mutable bool holding_ = false;
    mutable std::vector<std::string> held_;
    // Console lines from before the console existed (config.cfg not read), written when the
    // "Debug" pane registers. Guarded by heldLock_.
    std::vector<std::string> startupNotes_;

    // Where the pictures of the capture a TakePicture caller asked about went.
    std::mutex watchLock_;
    std::condition_variable watchChanged_;
    std::string watchAsked_;                // its path as asked; empty when none is watched
    std::vector<std::string> watchSaved_;   // the paths its pictures were saved under
    bool watchEnded_ = false;               // one of its pictures has ended

    // File numbering and the paths handed to capture-session cameras whose files are pending.
    std::unique_ptr<CaptureNaming> naming_;

    CameraSession session_{*this};

    std::unique_ptr<camera::CanonSDK> cdDriver_;
    std::unique_ptr<camera::CanonRCSDK> rcDriver_;
};
