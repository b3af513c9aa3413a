// The capture document: construction and destruction, the pane registry, devices and
// connection, captures and the configuration file.
#include "document/CViewDoc.h"

#include "camera/LabelTables.h"
#include "document/ConfigFile.h"
#include "document/StackingWindow.h"
#include "document/StripCut.h"
#include "sdk/CaptureFile.h"
#include "sdk/FileKind.h"
#include "sdk/SettingsFile.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <system_error>

#include <sys/stat.h>

std::atomic<CViewDoc*> CViewDoc::instance_{nullptr};

CViewDoc::CViewDoc(const sdk::Api& cdApi, const sdk::Api& rcApi, std::string configPath)
    : configPath_(std::move(configPath)),
      buffers_(std::make_unique<FrameBuffers>()),
      stacking_(std::make_unique<StackingWindow>()),
      naming_(std::make_unique<CaptureNaming>()) {
    CViewDoc* expected = nullptr;
    if (!instance_.compare_exchange_strong(expected, this))
        throw std::logic_error("CViewDoc: only one document may exist at a time");
    try {
        if (!LoadConfig()) {
            std::error_code ec;
            const std::string cwd = std::filesystem::current_path(ec).string();
            std::lock_guard lock(stateLock_);
            captureFolder_ = cwd + "/";
            captureName_ = "Photo";
        }
        {
            std::lock_guard lock(frameLock_);
            buffers_->histogram = Histogram{};
            buffers_->previousShot.fill(0);
            buffers_->overlapStrip.fill(0);
        }
        {
            std::string error;
            NamingSettings naming;
            if (NamingSettings::Load(namingPath(), naming, error)) {
                std::lock_guard lock(stateLock_);
                namingSettings_ = std::move(naming);
            }
            PublishNaming(namingSettings());
            if (!error.empty()) {
                std::lock_guard lock(heldLock_);
                startupNotes_.push_back("Naming settings not read: " + error + "\r\n");
            }
        }
        sdk::CaptureFile::RemoveLeftovers(captureFolder());
        const std::size_t slash = configPath_.rfind('/');
        sdk::RemoveSettingsLeftovers(slash == std::string::npos ? std::string()
                                                                : configPath_.substr(0, slash + 1));
        cdDriver_ = std::make_unique<camera::CanonSDK>(cdApi, &CViewDoc::LogRelay);
        rcDriver_ = std::make_unique<camera::CanonRCSDK>(rcApi, &CViewDoc::LogRelay);
        auto picture = [this](const std::string& asked, const std::string& saved) {
            PictureDone(asked, saved);
        };
        cdDriver_->setPictureCallback(picture);
        rcDriver_->setPictureCallback(picture);
    } catch (...) {
        cdDriver_.reset();
        instance_.store(nullptr);
        throw;
    }
}

CViewDoc::~CViewDoc() {
    SaveConfig();
    SaveNaming();
    PublishNaming(NamingSettings{});
    {
        std::lock_guard lock(viewsLock_);
        for (auto& entry : views_) entry.first->registry_ = nullptr;
        views_.clear();
    }
    // The drivers disconnect and finish their SDKs while the receivers are still reachable.
    cdDriver_.reset();
    rcDriver_.reset();
    onLog_.store(nullptr);
    onCameraEvent_.store(nullptr);
    onFrame_.store(nullptr);
    onProgress_.store(nullptr);
    stitchDirection_.store(0);
    instance_.store(nullptr);
}

CViewDoc* CViewDoc::instance() { return instance_.load(); }

// ---- Pane registry ----

CView::~CView() { LeaveRegistry(); }

void CView::LeaveRegistry() {
    if (registry_) registry_->UnregisterView(this);
}

void CViewDoc::RegisterView(CView* view, const std::string& name) {
    {
        std::lock_guard lock(viewsLock_);
        views_.emplace_back(view, name);
        view->registry_ = this;
    }
    if (name != "Debug") return;
    std::vector<std::string> notes;
    {
        std::lock_guard lock(heldLock_);
        notes.swap(startupNotes_);
    }
    for (const std::string& note : notes) Log(note);
}

void CViewDoc::UnregisterView(CView* view) {
    std::lock_guard lock(viewsLock_);
    std::erase_if(views_, [view](const auto& entry) { return entry.first == view; });
    view->registry_ = nullptr;
}

CView* CViewDoc::GetView(const std::string& name) const {
    std::lock_guard lock(viewsLock_);
    for (const auto& [view, viewName] : views_)
        if (viewName == name) return view;
    return nullptr;
}

void CViewDoc::Log(const std::string& text) const {
    std::lock_guard lock(viewsLock_);
    auto* sink = dynamic_cast<CLogSink*>(GetView("Debug"));
    if (sink) sink->WriteLog(text);
}

void CViewDoc::PhotoCaptured() {
    std::lock_guard lock(viewsLock_);   // the capture's lines follow it with nothing between
    Log(kPhotoCaptured);
    for (const std::string& line : TakeHeldLines()) Log(line);
}

std::vector<std::string> CViewDoc::TakeHeldLines() const {
    std::lock_guard lock(heldLock_);
    holding_ = false;
    std::vector<std::string> lines;
    lines.swap(held_);
    return lines;
}

void CViewDoc::LogPicture(const std::string& line) {
    {
        std::lock_guard lock(heldLock_);
        if (holding_) {
            held_.push_back(line);
            return;
        }
    }
    Log(line);
}

std::string CViewDoc::SavedLine(const std::string& fileName, std::uintmax_t bytes) {
    // Tenths, rounded half up; 999,950 bytes and more read as MB, so "1000.0 KB" never shows.
    const bool mega = bytes >= 999'950;
    const std::uintmax_t unit = mega ? 1'000'000 : 1'000;
    const std::uintmax_t tenths = (bytes * 10 + unit / 2) / unit;
    return "Saved " + fileName + " (" + std::to_string(tenths / 10) + "." +
           std::to_string(tenths % 10) + (mega ? " MB)" : " KB)") + "\r\n";
}

// ---- Devices and connection ----

void CViewDoc::UpdateDeviceList() {
    std::vector<std::string> cd = cdDriver_->GetDevices();
    {
        std::lock_guard lock(stateLock_);
        cdDevices_ = std::move(cd);
    }
    std::vector<std::string> rc = rcDriver_->GetDevices();
    std::lock_guard lock(stateLock_);
    rcDevices_ = std::move(rc);
}

std::vector<std::string> CViewDoc::cdDevices() const {
    std::lock_guard lock(stateLock_);
    return cdDevices_;
}

std::vector<std::string> CViewDoc::rcDevices() const {
    std::lock_guard lock(stateLock_);
    return rcDevices_;
}

camera::CanonDriver* CViewDoc::openDriver() { return session_.openDriver(); }

std::string CViewDoc::connectedName() const { return session_.connectedName(); }

bool CViewDoc::ConnectCamera(const std::string& deviceName) {
    if (!session_.Open(deviceName)) return false;
    {
        std::lock_guard lock(frameLock_);
        stacking_->ClearSums();
    }
    if (camera::CanonDriver* open = openDriver()) open->EnableViewfinder(&CViewDoc::FrameRelay);
    return true;
}

// ---- Captures ----

void CViewDoc::SetCaptureFolder(const std::string& folder) {
    std::lock_guard lock(stateLock_);
    captureFolder_ = folder;
}

void CViewDoc::SetCaptureName(const std::string& name) {
    std::lock_guard lock(stateLock_);
    captureName_ = name;
}

std::string CViewDoc::captureFolder() const {
    std::lock_guard lock(stateLock_);
    return captureFolder_;
}

std::string CViewDoc::captureName() const {
    std::lock_guard lock(stateLock_);
    return captureName_;
}

bool CViewDoc::IsCaptureSessionCamera() {
    if (openDriver() != rcDriver_.get()) return false;   // sessions are RC SDK cameras
    const std::string connected = connectedName();
    return sdk::IsCaptureSessionModel(connected) ||
           sdk::IsCaptureSessionModel(rcDriver_->properties().name);
}

CapturePath CViewDoc::NextCapturePath(bool reserve, const std::string& cameraFile,
                                      std::string ext) {
    std::string folder, name, series;
    NamingSettings naming;
    {
        std::lock_guard lock(stateLock_);
        folder = captureFolder_;
        name = captureName_;
        naming = namingSettings_;
        series = series_;
    }
    // Raw captures (the raw quality code) are numbered apart from JPEG ones.
    camera::CanonDriver* driver = openDriver();
    if (ext.empty()) {
        ext = "jpg";
        if (driver && driver->GetImageQualityCode() == sdk::kQualityRaw) ext = "crw";
    }
    const NameTemplate nameTemplate(naming.nameTemplate);
    if (nameTemplate.isDefault()) {
        if (folder.empty() || name.empty()) return CapturePath{};
        return reserve ? naming_->Claim(folder, name, ext) : naming_->Next(folder, name, ext);
    }
    if (folder.empty() || (name.empty() && nameTemplate.usesName())) return CapturePath{};
    NameContext context;
    context.name = name;
    const std::time_t now = std::time(nullptr);
    localtime_r(&now, &context.when);
    if (driver) context.camera = driver->properties().name;
    context.series = series;
    context.cameraFile = cameraFile;
    context.job = naming.job;
    NamePattern pattern;
    CapturePath refused;
    if (!nameTemplate.Render(context, pattern, refused.why)) {
        refused.status = CaptureNameStatus::Refused;
        return refused;
    }
    return reserve ? naming_->Claim(folder, pattern, ext) : naming_->Next(folder, pattern, ext);
}

std::string CViewDoc::RefusalText(const CapturePath& target) const {
    const bool byTemplate = namingSettings().nameTemplate != NameTemplate::kDefault;
    switch (target.status) {
        case CaptureNameStatus::Ok: return std::string();
        case CaptureNameStatus::Empty:
            return captureFolder().empty()
                       ? "no capture folder: choose one with Browse in the Info pane"
                       : "the capture name is empty: type one in the Info pane";
        case CaptureNameStatus::BadName:
            return "the capture name \"" + captureName() +
                   "\" must not contain '/' or be \".\" or \"..\"";
        case CaptureNameStatus::ControlName:
            return "the capture name must not contain a control character or line break";
        case CaptureNameStatus::ControlFolder:
            return "the capture folder must not contain a control character or line break";
        case CaptureNameStatus::Exhausted:
            return "no file number is left for \"" + captureName() + "\" in " + captureFolder();
        case CaptureNameStatus::TooLong:
            if (byTemplate)
                return "the name template makes a file name longer than the " +
                       std::to_string(target.nameMax) +
                       " bytes the file system allows; the longest part is " + target.longestPart;
            return "the capture name is too long: with its number and extension it makes a file "
                   "name longer than the " +
                   std::to_string(target.nameMax) + " bytes the file system allows";
        case CaptureNameStatus::Refused: return target.why;
    }
    return std::string();
}

std::string CViewDoc::PreviewCaptureName(std::string& why) {
    // The camera is not asked (it may be busy with a capture): its image quality is the one
    // the camera session last read or set.
    std::string ext = "jpg";
    if (camera::CanonDriver* driver = openDriver()) {
        const std::string quality = session_.held().label(camera::Setting::ImageQuality);
        const std::vector<camera::SettingOption> options =
            driver->Options(camera::Setting::ImageQuality);   // kept while option points in it
        const camera::SettingOption* option = camera::FindLabel(options, quality);
        if (option && option->code == sdk::kQualityRaw) ext = "crw";
    }
    const CapturePath next = NextCapturePath(false, std::string(), ext);
    why = RefusalText(next);
    if (next.status != CaptureNameStatus::Ok) return std::string();
    const std::size_t slash = next.path.rfind('/');
    return slash == std::string::npos ? next.path : next.path.substr(slash + 1);
}

NamingSettings CViewDoc::namingSettings() const {
    std::lock_guard lock(stateLock_);
    return namingSettings_;
}

void CViewDoc::SetNamingSettings(const NamingSettings& settings) {
    std::lock_guard lock(stateLock_);   // published under it, so the last change wins
    namingSettings_ = settings;
    PublishNaming(namingSettings_);
}

void CViewDoc::SetNameTemplate(const std::string& text) {
    std::lock_guard lock(stateLock_);   // published under it, so the last change wins
    namingSettings_.nameTemplate = text;
    PublishNaming(namingSettings_);
}

void CViewDoc::SetJobText(const std::string& job) {
    std::lock_guard lock(stateLock_);   // published under it, so the last change wins
    namingSettings_.job = job;
    PublishNaming(namingSettings_);
}

void CViewDoc::SetSeries(const std::string& series) {
    std::lock_guard lock(stateLock_);
    series_ = series;
}

bool CViewDoc::SaveNaming(std::string* failure) {
    const NamingSettings settings = namingSettings();
    const std::string path = namingPath();
    std::error_code ec;
    // A user who never changed any of it gets no new file.
    if (settings == NamingSettings{} && !std::filesystem::exists(path, ec)) return true;
    std::string error;
    if (settings.Save(path, error)) return true;
    Log("Naming settings not saved: " + error + "\r\n");
    if (failure) *failure = error;
    return false;
}

std::string CViewDoc::GetCaptureFileName() { return NextCapturePath(false).path; }

bool CViewDoc::EnsureCaptureFolder(const std::string& folder) {
    std::error_code ec;
    if (folder.empty() || std::filesystem::is_directory(folder, ec)) return true;
    std::filesystem::create_directories(folder, ec);
    if (!ec && std::filesystem::is_directory(folder, ec)) return true;
    if (!ec) ec = std::make_error_code(std::errc::not_a_directory);
    Log("Cannot create capture folder " + folder + ": " + ec.message() + "\r\n");
    return false;
}

bool CViewDoc::TakePicture(std::string* writtenPath, camera::BusyRetry busy) {
    // Lines of an earlier capture that was not followed by its kPhotoCaptured line.
    for (const std::string& line : TakeHeldLines()) Log(line);
    if (writtenPath) writtenPath->clear();
    if (openDriver() != nullptr && !CaptureNaming::HasControl(captureFolder()) &&
        !EnsureCaptureFolder(captureFolder()))
        return false;
    const CapturePath target = NextCapturePath(true);
    if (target.status != CaptureNameStatus::Ok) {
        Log("Capture refused: " + RefusalText(target) + "\r\n");
        return false;
    }
    if (writtenPath) {
        std::lock_guard lock(watchLock_);
        watchAsked_ = target.path;
        watchSaved_.clear();
        watchEnded_ = false;
    }

    bool result = false;
    bool filePending = false;
    {
        std::lock_guard lock(heldLock_);
        holding_ = true;
    }
    if (camera::CanonDriver* driver = openDriver()) {
        const bool session = IsCaptureSessionCamera();
        result = driver->TakePicture(target.path, &CViewDoc::ProgressRelay, busy);
        // A capture-session camera writes its file later: its name stays taken until
        // PictureDone hears how that picture ended.
        filePending = session && result;
    }
    if (!filePending) naming_->Release(target.path);

    const std::uint32_t direction = stitchDirection_.load();
    if (direction != 0) {
        std::lock_guard lock(frameLock_);
        buffers_->previousShot = buffers_->liveFrame;
        CutStrip(buffers_->previousShot, direction, buffers_->overlapStrip);
    }
    if (writtenPath) {
        std::unique_lock lock(watchLock_);
        // A capture-session picture arrives after the release: the caller (a worker, never the
        // user-interface thread) hears where it went when it has.
        if (filePending)
            watchChanged_.wait_for(lock, std::chrono::seconds(3), [this] { return watchEnded_; });
        for (const std::string& saved : watchSaved_)
            *writtenPath += (writtenPath->empty() ? "" : ";") + saved;
        watchAsked_.clear();
        watchSaved_.clear();
    }
    if (!result)
        for (const std::string& line : TakeHeldLines()) Log(line);
    return result;
}

bool CViewDoc::TakeCameraPicture(const std::string& cameraName, bool lateFile) {
    camera::CanonDriver* driver = openDriver();
    if (driver == nullptr || cameraName.empty()) return false;
    // The camera's name shown safely on one line; its extension picks the numbering.
    const std::string shown = sdk::PrintableName(cameraName);
    LogPicture((lateFile ? "Late file of the last capture: " : "Picture taken on the camera: ") +
               shown + "\r\n");
    const std::string folder = captureFolder();
    if (!CaptureNaming::HasControl(folder) && !EnsureCaptureFolder(folder)) return false;
    // Numbered with the pictures of its own kind, under the extension the table saves it with
    // (the table gives the other file of a pair the same number).
    const CapturePath target = NextCapturePath(true, cameraName, sdk::SavedExtension(cameraName));
    if (target.status != CaptureNameStatus::Ok) {
        LogPicture("Picture not received: the capture name or folder cannot be used\r\n");
        return false;
    }
    // The picture callback (PictureDone) frees the name and writes the picture's line.
    return driver->TakeCameraPicture(cameraName, target.path, &CViewDoc::ProgressRelay);
}

void CViewDoc::PictureDone(const std::string& asked, const std::string& saved) {
    naming_->Release(asked);
    {
        std::lock_guard lock(watchLock_);
        if (!watchAsked_.empty() && asked == watchAsked_) {
            if (!saved.empty()) watchSaved_.push_back(saved);
            watchEnded_ = true;
        }
    }
    watchChanged_.notify_all();
    const auto fileName = [](const std::string& path) {
        return path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    };
    if (saved.empty()) {
        LogPicture("Picture not received: " + fileName(asked) + "\r\n");
        return;
    }
    if (const PictureReceiver receiver = onPictureWritten_.load()) receiver(saved);
    std::error_code ec;
    const std::uintmax_t bytes = std::filesystem::file_size(saved, ec);
    LogPicture(SavedLine(fileName(saved), ec ? 0 : bytes));
    if (const PictureReceiver receiver = onPictureSaved_.load()) receiver(saved);
}

// ---- Configuration ----

bool CViewDoc::LoadConfig() {
    std::string folder, name, error;
    if (!config::Load(configPath_, folder, name, &error)) {
        if (error.empty()) return false;   // no file: the defaults, without a word
        std::cerr << "Kestrel: the capture folder and name were not read: " << error << std::endl;
        std::lock_guard lock(heldLock_);
        startupNotes_.push_back("Settings not read: " + error + "\r\n");
        return false;
    }
    std::lock_guard lock(stateLock_);
    captureFolder_ = std::move(folder);
    captureName_ = std::move(name);
    return true;
}

bool CViewDoc::SaveConfig(std::string* failure) {
    std::string folder, name, error;
    {
        std::lock_guard lock(stateLock_);
        folder = captureFolder_;
        name = captureName_;
    }
    if (config::Save(configPath_, folder, name, error)) return true;
    std::cerr << "Kestrel: the capture folder and name were not saved: " << error << std::endl;
    Log("Settings not saved: " + error + "\r\n");
    if (failure) *failure = error;
    return false;
}
