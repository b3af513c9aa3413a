// Real cameras through the real libgphoto2: the test camera driver (testcam/) is loaded from
// CAMLIBS and opened by model on a "disk:" port, as `--camera MODEL@PORT` does, under the real
// CanonSDK driver and the document.
#include "app/RealCameraLabels.h"
#include "camera/BusyRetry.h"
#include "document/CViewDoc.h"
#include "sdk/gphoto/RealCameras.h"
#include "sdk/sim/Simulator.h"

#include "support/TestSupport.h"
#include "support/Worlds.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

using namespace testsupport;

namespace {

const std::string kEos = "Kestrel Test EOS";
const std::string kCompact = "Kestrel Test Compact";

// libgphoto2 reads CAMLIBS when it loads its drivers: set before any test runs.
const bool camlibsSet = [] { return ::setenv("CAMLIBS", KESTREL_TEST_CAMLIBS, 1) == 0; }();

template <class Pred>
bool WaitFor(Pred pred) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

bool DecodesAsJpeg(const std::string& bytes, int& width, int& height) {
    tjhandle tj = tjInitDecompress();
    int sub = 0, space = 0;
    const bool ok = tjDecompressHeader3(tj, reinterpret_cast<const unsigned char*>(bytes.data()),
                                        bytes.size(), &width, &height, &sub, &space) == 0;
    std::vector<unsigned char> pixels(ok ? static_cast<std::size_t>(width) * height * 3 : 0);
    const bool decoded =
        ok && tjDecompress2(tj, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                            pixels.data(), width, 0, height, TJPF_RGB, 0) == 0;
    tjDestroy(tj);
    return decoded;
}

std::mutex headerLock;
std::vector<std::uint8_t> lastHeader;
void KeepHeader(const std::uint8_t* frame) {
    {
        std::lock_guard guard(headerLock);
        lastHeader.assign(frame, frame + 54);
    }
    Probe::OnFrame(frame);
}

class RealCameraTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(camlibsSet);
        Probe::Reset();
        ResetSimulators(std::nullopt, WorldOf({sim::fullCamera("EOS 300D")}), Frames::Streamed);
        gphoto::Options options;
        options.autodetect = false;
        options.cameras = {kEos + "@disk:" + eosDisk.path(),
                           kCompact + "@disk:" + compactDisk.path()};
        options.labels = RealCameraLabels();
        options.note = [this](const std::string& line) {
            std::lock_guard guard(notesLock);
            notes.push_back(line);
        };
        real = std::make_unique<gphoto::RealCameras>(sim::Simulator::rc().api(), options);
        doc = std::make_unique<CViewDoc>(sim::Simulator::cd().api(), real->api(),
                                         captures.file("config.cfg"));
        doc->SetCaptureFolder(captures.folder());
        doc->SetCaptureName("Photo");
        doc->RegisterView(&console, "Debug");
        doc->setOnLog(&Probe::OnLog);
        doc->setOnProgress(&Probe::OnProgress);
        doc->setOnFrame(&KeepHeader);
        doc->UpdateDeviceList();
    }
    void TearDown() override {
        doc.reset();
        real.reset();
        ResetSimulators();
    }
    void Inject(const TempDir& disk, const std::string& lines) {
        std::ofstream(disk.file("inject")) << lines;
    }
    // How often the backend said a camera was unplugged or switched off.
    std::size_t GoneNotes() {
        std::lock_guard guard(notesLock);
        return static_cast<std::size_t>(
            std::count_if(notes.begin(), notes.end(), [](const std::string& n) {
                return n.find("was unplugged or switched off") != std::string::npos;
            }));
    }
    std::string Notes() {
        std::lock_guard guard(notesLock);
        std::string all;
        for (const std::string& n : notes) all += n + "\n";
        return all;
    }
    static std::string Logs() {
        std::lock_guard guard(Probe::lock);
        std::string all;
        for (const auto& [step, text] : Probe::logLines) all += step + ": " + text + "\n";
        return all;
    }
    camera::CanonRCSDK& Driver() { return doc->rcDriver(); }

    TempDir eosDisk, compactDisk, captures;
    ConsolePane console;
    std::mutex notesLock;
    std::vector<std::string> notes;
    std::unique_ptr<gphoto::RealCameras> real;
    std::unique_ptr<CViewDoc> doc;
};

TEST_F(RealCameraTest, ListsRealCamerasFirstThenSimulatedAndConnectsByName) {
    const std::vector<std::string> devices = doc->rcDevices();
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_EQ(devices[0], kEos);
    EXPECT_EQ(devices[1], kCompact);
    EXPECT_EQ(devices[2], "EOS 300D");

    ASSERT_TRUE(doc->ConnectCamera(kEos));
    const camera::CameraProperties p = Driver().properties();
    EXPECT_EQ(p.name, kEos);
    EXPECT_EQ(p.ownerName, "Test Owner");
    EXPECT_EQ(p.firmware, "3-1.0.9");
    EXPECT_EQ(p.batteryLevel, 5u);   // "75%" on the scale of 0 to 6
    EXPECT_TRUE(p.hasShootingModes);
    EXPECT_TRUE(p.hasViewfinder);
    EXPECT_FALSE(p.hasZoom);
    // What the EOS lacks (flash, AF distance widgets of compacts) is not offered and not logged.
    EXPECT_TRUE(Driver().flashModes().empty());
    EXPECT_EQ(Probe::logs.load(), 0) << Logs();

    // Disconnect and reconnect the other model; then a simulated camera still works.
    Driver().Disconnect();
    ASSERT_TRUE(doc->ConnectCamera(kCompact));
    EXPECT_TRUE(Driver().properties().hasZoom);
    EXPECT_EQ(Driver().properties().batteryLevel, 6u);   // "Full"
    Driver().Disconnect();
    ASSERT_TRUE(doc->ConnectCamera(devices[2]));
    EXPECT_EQ(Driver().properties().name, devices[2]);
}

TEST_F(RealCameraTest, ListingNarrowsToRealOrSimulatedCameras) {
    doc.reset();
    real.reset();
    struct Row {
        gphoto::Listing listing;
        std::vector<std::string> rc, cd;
    };
    const Row rows[] = {
        {gphoto::Listing::Real, {kEos}, {}},
        {gphoto::Listing::Simulated, {"EOS 300D"}, {"PowerShot G5"}},
    };
    sim::Simulator::cd().setWorld(WorldOf({sim::fullCamera("PowerShot G5")}));
    for (const Row& row : rows) {
        gphoto::Options options;
        options.listing = row.listing;
        options.autodetect = false;
        options.cameras = {kEos + "@disk:" + eosDisk.path()};
        options.labels = RealCameraLabels();
        real = std::make_unique<gphoto::RealCameras>(sim::Simulator::rc().api(), options);
        const sdk::Api& cd = row.listing == gphoto::Listing::Real
                                 ? gphoto::WithoutListing(sim::Simulator::cd().api())
                                 : sim::Simulator::cd().api();
        doc = std::make_unique<CViewDoc>(cd, real->api(), captures.file("config.cfg"));
        doc->UpdateDeviceList();
        EXPECT_EQ(doc->rcDevices(), row.rc);
        EXPECT_EQ(doc->cdDevices(), row.cd);
        EXPECT_TRUE(doc->ConnectCamera(row.rc.at(0)));
        doc.reset();
        real.reset();
    }
}

TEST_F(RealCameraTest, EverySettingReadsAndSetsByLabelOnBothFamilies) {
    struct Row {
        const std::string* model;
        const char* setting;
        std::vector<std::string> offered;   // exactly, in the camera's order
        const char* current;
        const char* next;
    };
    const Row rows[] = {
        {&kEos,
         "ShootingMode",
         {"Program", "TV", "AV", "Manual", "Bulb", "A Dep"},
         "Program",
         "AV"},
        {&kEos, "AV", {"2.8", "4.0", "5.6", "8.0", "11.0"}, "5.6", "8.0"},
        {&kEos, "TV", {"30", "1", "0.5", "1/4", "1/60", "1/125", "1/250", "Bulb"}, "1/125", "1/60"},
        {&kEos, "Exposure", {"-2", "-1", "-0.3", "0", "+0.3", "+0.5", "+1", "+2"}, "0", "+0.3"},
        {&kEos,
         "WhiteBalance",
         {"Auto", "Day Light", "Shade", "Cloudy", "Tungsten", "Fluorescent", "Flash"},
         "Auto",
         "Shade"},
        {&kEos, "AFDistance", {"Manual"}, "", "Manual"},
        {&kEos,
         "Meter",
         {"Evaluative", "Partial", "Spot", "Center Weight Avg"},
         "Evaluative",
         "Spot"},
        {&kEos, "ISO", {"Auto", "100", "200", "400", "800", "1600"}, "100", "400"},
        {&kEos, "Effect", {"Neutral", "Black & White"}, "", "Neutral"},
        {&kCompact,
         "ShootingMode",
         {"Auto", "Program", "TV", "AV", "Manual", "Portrait", "Night Scene"},
         "Auto",
         "Night Scene"},
        {&kCompact,
         "AFDistance",
         {"Auto", "Manual", "Super Macro", "Infinity"},
         "Auto",
         "Infinity"},
        {&kCompact, "Flash", {"Off", "Auto", "On", "Red Eye", "Slow Sync"}, "Auto", "Red Eye"},
        // Thirds in every spelling ("-1 2/3", "-1.3", "-0.7", "-1/3") offered as the labels
        // they stand for.
        {&kCompact,
         "Exposure",
         {"-2", "-1.6", "-1.3", "-1", "-0.6", "-0.3", "0", "+0.3", "+0.6", "+1", "+1.3", "+1.6",
          "+2"},
         "0",
         "-1.6"},
        {&kCompact,
         "WhiteBalance",
         {"Auto", "Day Light", "Cloudy", "Tungsten", "Fluorescent", "Fluorescent H", "Custom"},
         "Auto",
         "Tungsten"},
        {&kCompact,
         "Effect",
         {"Off", "Vivid", "Neutral", "Sepia", "Black & White"},
         "Off",
         "Sepia"},
    };
    using camera::CanonDriver;
    struct Access {
        std::vector<camera::SettingOption> (CanonDriver::*list)() const;
        std::string (CanonDriver::*get)();
        bool (CanonDriver::*set)(const std::string&);
    };
    const std::map<std::string, Access> access{
        {"ShootingMode",
         {&CanonDriver::shootingModes, &CanonDriver::GetShootingMode,
          &CanonDriver::SetShootingMode}},
        {"AV", {&CanonDriver::avModes, &CanonDriver::GetAV, &CanonDriver::SetAV}},
        {"TV", {&CanonDriver::tvModes, &CanonDriver::GetTV, &CanonDriver::SetTV}},
        {"Exposure",
         {&CanonDriver::exposures, &CanonDriver::GetExposure, &CanonDriver::SetExposure}},
        {"WhiteBalance",
         {&CanonDriver::wbValues, &CanonDriver::GetWhiteBalance, &CanonDriver::SetWhiteBalance}},
        {"AFDistance",
         {&CanonDriver::afDistances, &CanonDriver::GetAFDistance, &CanonDriver::SetAFDistance}},
        {"Flash", {&CanonDriver::flashModes, &CanonDriver::GetFlash, &CanonDriver::SetFlash}},
        {"Meter", {&CanonDriver::meterModes, &CanonDriver::GetMeter, &CanonDriver::SetMeter}},
        {"ISO", {&CanonDriver::isoModes, &CanonDriver::GetISO, &CanonDriver::SetISO}},
        {"Effect", {&CanonDriver::effects, &CanonDriver::GetEffect, &CanonDriver::SetEffect}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(*row.model + " " + row.setting);
        if (Driver().properties().name != *row.model) {
            ASSERT_TRUE(doc->ConnectCamera(*row.model));
        }
        const Access& a = access.at(row.setting);
        std::vector<std::string> offered;
        for (const camera::SettingOption& o : (Driver().*a.list)()) offered.push_back(o.label);
        EXPECT_EQ(offered, row.offered);
        EXPECT_EQ((Driver().*a.get)(), row.current);
        EXPECT_TRUE((Driver().*a.set)(row.next));
        EXPECT_EQ((Driver().*a.get)(), row.next);
        EXPECT_FALSE((Driver().*a.set)("No Such Label"));
    }
    EXPECT_EQ(Probe::logs.load(), 0) << Logs();
}

TEST_F(RealCameraTest, ImageSizeQualityAfLockAndZoom) {
    ASSERT_TRUE(doc->ConnectCamera(kEos));
    std::vector<std::string> sizes;
    for (const camera::ImageSizeOption& s : Driver().imageSizes()) sizes.push_back(s.label);
    EXPECT_EQ(sizes, (std::vector<std::string>{"Large", "Medium", "Small", "RAW + Large", "RAW"}));
    EXPECT_EQ(Driver().GetImageSize(), "Large");
    EXPECT_EQ(Driver().GetImageQuality(), "Fine");
    EXPECT_TRUE(Driver().SetImageQuality("Normal"));
    EXPECT_EQ(Driver().GetImageQuality(), "Normal");
    EXPECT_TRUE(Driver().SetImageQuality("Fine"));
    EXPECT_TRUE(Driver().SetImageSize("Medium"));
    EXPECT_EQ(Driver().GetImageSize(), "Medium");
    Driver().SetAFLock(true);
    EXPECT_EQ(Probe::logs.load(), 0) << Logs();

    ASSERT_TRUE(doc->ConnectCamera(kCompact));
    EXPECT_EQ(Driver().maxZoomPos(), 9u);
    Driver().SetZoomPos(4);
    EXPECT_EQ(Driver().GetZoomPos(), 4u);
    Driver().SetAFLock(true);
    Driver().SetAFLock(false);
    EXPECT_TRUE(Driver().SetImageSize("Medium 1"));
    EXPECT_TRUE(Driver().SetImageQuality("Superfine"));
    EXPECT_EQ(Driver().GetImageSize() + "/" + Driver().GetImageQuality(), "Medium 1/Superfine");
    EXPECT_EQ(Probe::logs.load(), 0) << Logs();
}

TEST_F(RealCameraTest, CaptureWritesADecodableJpegAtTheNumberedPathWithProgress) {
    ASSERT_TRUE(doc->ConnectCamera(kEos));
    const std::string path = doc->GetCaptureFileName();
    EXPECT_EQ(path, captures.file("Photo-0000.jpg"));
    ASSERT_TRUE(doc->TakePicture()) << Logs() << Notes();
    int w = 0, h = 0;
    ASSERT_TRUE(DecodesAsJpeg(ReadFile(path), w, h));
    EXPECT_EQ(w, 1600);
    EXPECT_EQ(h, 1066);
    EXPECT_GE(Probe::progress.load(), 3);
    EXPECT_EQ(Probe::lastProgress.load(), 100);
    EXPECT_EQ(doc->GetCaptureFileName(), captures.file("Photo-0001.jpg"));

    // RAW+JPEG: the JPEG at the numbered path, the raw file beside it under the same number.
    ASSERT_TRUE(Driver().SetImageSize("RAW + Large"));
    ASSERT_TRUE(doc->TakePicture()) << Logs();
    EXPECT_TRUE(DecodesAsJpeg(ReadFile(captures.file("Photo-0001.jpg")), w, h));
    EXPECT_EQ(ReadFile(captures.file("Photo-0001.cr2")).size(), 300000u);
    ASSERT_TRUE(doc->TakePicture()) << Logs();
    EXPECT_TRUE(Exists(captures.file("Photo-0002.cr2")));
    // No temporary is left behind.
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(captures.path())) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 5);   // config.cfg is written only at the end
    EXPECT_EQ(Probe::logs.load(), 0) << Logs();
}

TEST_F(RealCameraTest, LiveFramesReachTheReceiverAt320x240WithTheHeader) {
    Probe::keepPixels = true;
    ASSERT_TRUE(doc->ConnectCamera(kEos));
    Driver().EnableViewfinder(&CViewDoc::FrameRelay);
    ASSERT_TRUE(WaitFor([] { return Probe::frames.load() >= 3; }));
    // A capture and a setting change go first while live view runs.
    ASSERT_TRUE(doc->TakePicture()) << Logs();
    EXPECT_TRUE(Driver().SetISO("800"));
    const int seen = Probe::frames.load();
    ASSERT_TRUE(WaitFor([seen] { return Probe::frames.load() >= seen + 2; }));
    Driver().DisableViewfinder();
    EXPECT_EQ(doc->droppedFrames(), 0u);
    std::lock_guard guard(headerLock);
    ASSERT_EQ(lastHeader.size(), 54u);
    EXPECT_EQ(lastHeader[0], 'B');
    EXPECT_EQ(lastHeader[18] | lastHeader[19] << 8, 320);
    EXPECT_EQ(lastHeader[22] | lastHeader[23] << 8, 240);
    EXPECT_EQ(lastHeader[28], 24);
    // 960 x 640 fitted into 320 x 240 gives 320 x 213: black bars above and below.
    std::lock_guard pixelsGuard(Probe::lock);
    const std::vector<std::uint8_t>& frame = Probe::lastFramePixels;
    ASSERT_EQ(frame.size(), 230400u);
    EXPECT_EQ(frame[0] | frame[1] | frame[2], 0);   // bottom bar
    EXPECT_EQ(frame[230399] | frame[230398], 0);    // top bar
    EXPECT_NE(frame[120 * 320 * 3 + 160 * 3], 0);   // picture
}

TEST_F(RealCameraTest, LiveViewWithCapturesAndSettingsFromTwoThreads) {
    ASSERT_TRUE(doc->ConnectCamera(kEos));
    Driver().EnableViewfinder(&CViewDoc::FrameRelay);
    ASSERT_TRUE(WaitFor([] { return Probe::frames.load() >= 2; }));
    std::thread sequence([this] {
        for (int i = 0; i < 4; ++i) EXPECT_TRUE(doc->TakePicture());
    });
    for (int i = 0; i < 12; ++i) {
        EXPECT_TRUE(Driver().SetISO(i % 2 ? "200" : "400"));
        EXPECT_EQ(Driver().GetISO(), i % 2 ? "200" : "400");
    }
    sequence.join();
    const int seen = Probe::frames.load();
    ASSERT_TRUE(WaitFor([seen] { return Probe::frames.load() > seen; }));
    Driver().DisableViewfinder();
    for (const char* name :
         {"Photo-0000.jpg", "Photo-0001.jpg", "Photo-0002.jpg", "Photo-0003.jpg"})
        EXPECT_TRUE(Exists(captures.file(name))) << name;
    EXPECT_EQ(Probe::logs.load(), 0) << Logs();
}

TEST_F(RealCameraTest, ErrorsUsersMeet) {
    // Busy for a while is retried by a worker, not reported.
    ASSERT_TRUE(doc->ConnectCamera(kEos));
    Inject(eosDisk, "capture -110 3\n");
    EXPECT_TRUE(doc->TakePicture(nullptr, {5, std::chrono::milliseconds(0)})) << Logs();
    EXPECT_EQ(Probe::logs.load(), 0);

    // Busy on the window's one try: reported through the driver, libgphoto2's own words noted.
    Inject(eosDisk, "set -110 1000\n");
    EXPECT_FALSE(Driver().SetISO("200"));
    ASSERT_EQ(Probe::logs.load(), 1);
    EXPECT_EQ(Probe::logLines.at(0).first, "SetISO::RCSetRelCamSettingData");
    EXPECT_EQ(Probe::logLines.at(0).second, "Device Busy\r\n");   // not "Device Not Found"
    EXPECT_NE(Notes().find("(-110)"), std::string::npos) << Notes();
    Inject(eosDisk, "");

    // Held by the desktop: one plain line says how to release it.
    Driver().Disconnect();
    Inject(compactDisk, "init -53 1\n");
    EXPECT_FALSE(doc->ConnectCamera(kCompact));
    EXPECT_NE(Notes().find("gio mount -s gphoto2"), std::string::npos) << Notes();
    EXPECT_EQ(Probe::logLines.back().second, "Communications Port Is In Use\r\n");
    ASSERT_TRUE(doc->ConnectCamera(kCompact));   // released: connects

    // Unplugged during live view: closed, reported once, the list is read again.
    Driver().EnableViewfinder(&CViewDoc::FrameRelay);
    ASSERT_TRUE(WaitFor([] { return Probe::frames.load() >= 1; }));
    Inject(compactDisk, "preview -7 1000\nfile -52 1000\nset -52 1000\n");
    ASSERT_TRUE(WaitFor([this] { return doc->cameraSession().away(); }));   // kEventCameraGone
    EXPECT_EQ(GoneNotes(), 1u);
    EXPECT_FALSE(doc->TakePicture());
    EXPECT_FALSE(Driver().SetISO("200"));
    EXPECT_EQ(Probe::logLines.back().second, "Device Not Found\r\n");
    const int logsBefore = Probe::logs.load();
    Driver().Disconnect();   // winds down without an error
    EXPECT_EQ(Probe::logs.load(), logsBefore) << Logs();
    EXPECT_EQ(GoneNotes(), 1u);
    doc->UpdateDeviceList();
    EXPECT_TRUE(doc->ConnectCamera(kEos));
    const std::string notes = Notes();
    const std::string gone = "\"Kestrel Test Compact\" was unplugged or switched off";
    EXPECT_EQ(notes.find(gone), notes.rfind(gone)) << notes;
    EXPECT_NE(notes.find(gone), std::string::npos) << notes;
}

// Busy is retried in one layer, the driver's, as far as its caller allows: the window's call
// is made once and answers at once; a worker's as often as its bound says, and no more.
TEST_F(RealCameraTest, BusyIsRetriedOnlyAsFarAsTheCallerAllows) {
    // Written before the camera is open, whose event poll rewrites the file as it reads it.
    Inject(eosDisk, "set -110 1000\n");
    ASSERT_TRUE(doc->ConnectCamera(kEos));
    // Busy answers still to come; read until the file stands whole.
    const auto left = [this] {
        int count = 0;
        EXPECT_TRUE(WaitFor([&] {
            std::ifstream file(eosDisk.file("inject"));
            std::string op;
            int code = 0;
            return static_cast<bool>(file >> op >> code >> count);
        }));
        return count;
    };
    struct Case {
        const char* caller;
        camera::BusyRetry busy;
        int calls;   // made to the camera
    } cases[] = {{"window thread", {}, 1}, {"worker", {5, std::chrono::milliseconds(0)}, 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caller);
        const int before = left();
        EXPECT_FALSE(Driver().Set(camera::Setting::ISO, "200", c.busy));
        EXPECT_EQ(before - left(), c.calls);
    }
    Driver().Disconnect();
}

TEST_F(RealCameraTest, CameraGoneMidTransferLeavesNoFileAndIsClosedOnce) {
    ASSERT_TRUE(doc->ConnectCamera(kEos));
    const std::string path = doc->GetCaptureFileName();
    Inject(eosDisk, "file -52 5\n");
    EXPECT_FALSE(doc->TakePicture());
    EXPECT_TRUE(doc->cameraSession().away());   // told by kEventCameraGone
    EXPECT_EQ(GoneNotes(), 1u);
    EXPECT_FALSE(Exists(path));
    EXPECT_TRUE(std::filesystem::is_empty(captures.path()));   // no temporary either
    EXPECT_NE(Notes().find("libgphoto2: gp_camera_file_get: "), std::string::npos) << Notes();
    Driver().Disconnect();
    EXPECT_EQ(GoneNotes(), 1u);
}

// A camera on a port without hotplug events stays listed while away: it is tried at once, then
// every three seconds, quietly, and taken again when it answers. The backend says it is gone
// as the simulated cameras do, with camera event kEventCameraGone.
TEST_F(RealCameraTest, AVanishedCameraIsWaitedForAndOpenedAgainWhenItAnswers) {
    using Change = CameraSession::Change;
    ASSERT_TRUE(doc->ConnectCamera(kEos));
    CameraSession& watch = doc->cameraSession();
    Inject(eosDisk, "set -52 1000\ninit -52 1\n");
    EXPECT_FALSE(Driver().SetISO("200"));   // the call that finds it gone
    EXPECT_TRUE(watch.away());              // told before the call returned
    const auto t0 = CameraSession::Clock::now();
    EXPECT_EQ(watch.Tick(t0), Change::Lost);
    EXPECT_EQ(doc->openDriver(), nullptr);
    const int logs = Probe::logs.load();
    EXPECT_EQ(watch.Tick(t0 + std::chrono::seconds(1)), Change::None);   // still away
    Inject(eosDisk, "");                                                 // it answers again
    EXPECT_EQ(watch.Tick(t0 + std::chrono::seconds(2)), Change::None);   // not tried yet
    EXPECT_EQ(watch.Tick(t0 + std::chrono::seconds(4)), Change::Back) << Logs();
    EXPECT_EQ(Probe::logs.load(), logs) << Logs();
    EXPECT_NE(console.text().find("Camera back: " + std::string(kEos) + " (away 4.0 s)\r\n"),
              std::string::npos)
        << console.text();
    EXPECT_TRUE(Driver().SetISO("200")) << Logs();
}

std::atomic<int> settingsChanges{0};
void OnSettingsChanged() { ++settingsChanges; }

TEST_F(RealCameraTest, DialsAndBatteryOnTheBodyReachTheDocumentQuietly) {
    settingsChanges = 0;
    doc->setOnCameraEvent(&Probe::OnCameraEvent);
    doc->setOnSettingsChanged(&OnSettingsChanged);
    ASSERT_TRUE(doc->ConnectCamera(kEos));
    EXPECT_EQ(Driver().properties().batteryText, "75%");   // the camera's own figure
    // The aperture dial turned on the body: the settings are to be read again, nothing is
    // logged and nothing is set.
    std::ofstream(eosDisk.file("dial")) << "aperture 8";
    ASSERT_TRUE(WaitFor([] { return settingsChanges.load() >= 1; }));
    EXPECT_EQ(Driver().GetAV(), "8.0");
    std::ofstream(eosDisk.file("battery")) << "25%";
    ASSERT_TRUE(WaitFor([] { return Probe::events.load() >= 1; }));
    EXPECT_EQ(Driver().properties().batteryText, "25%");
    EXPECT_EQ(Driver().properties().batteryLevel, 2u);   // 25% in sixths
    EXPECT_EQ(Probe::logs.load(), 0) << Logs();
}

// The pictures of one capture folder, by name (a temporary being written is not one).
std::vector<std::string> Listing(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().filename().string()[0] != '.') names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A picture the camera has taken is never lost to a busy transfer: the window's release
// answers at once and the file arrives later from the camera thread's own retries; a worker's
// retry gets the same file; one taken on the body is fetched again too.
TEST_F(RealCameraTest, ABusyTransferLosesNoPicture) {
    struct Row {
        const char* how;
        camera::BusyRetry busy;
        bool released;   // by Kestrel (else the body's button)
        bool answered;   // TakePicture's answer
        const char* inject;
    } rows[] = {{"window release", {}, true, false, "file -110 1\n"},
                {"worker release", {5, std::chrono::milliseconds(0)}, true, true, "file -110 3\n"},
                {"body's button", {}, false, true, "file -110 1\n"}};
    ASSERT_TRUE(doc->ConnectCamera(kEos));
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.how);
        const std::string folder = captures.file("busy" + std::to_string(n++));
        doc->SetCaptureFolder(folder + "/");
        Inject(eosDisk, row.inject);
        if (row.released) {
            const auto t0 = std::chrono::steady_clock::now();
            EXPECT_EQ(doc->TakePicture(nullptr, row.busy), row.answered) << Logs();
            if (!row.answered) {   // one try of each call, no waiting on the camera thread
                EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(400));
            }
        } else {
            std::ofstream(eosDisk.file("shutter")) << 1;
        }
        ASSERT_TRUE(WaitFor([&] { return Exists(folder) && Listing(folder).size() == 1; }));
        int w = 0, h = 0;
        EXPECT_TRUE(DecodesAsJpeg(ReadFile(folder + "/" + Listing(folder).at(0)), w, h));
    }
    EXPECT_EQ(Notes().find("left on the camera"), std::string::npos) << Notes();
    Driver().Disconnect();
}

TEST_F(RealCameraTest, EveryFileOfAReleaseArrivesWholeUnderOneNumberWithItsOwnExtension) {
    struct Row {
        const char* format;
        const char* release;   // when the second file comes, and which comes first
        std::vector<std::string> files;
        const char* late;   // the console line of a file that came after the wait, or ""
    } rows[] = {
        {"Large", "", {"Photo-0000.jpg"}, ""},
        {"RAW", "", {"Photo-0000.cr2"}, ""},
        {"RAW + Large", "120 jpeg-first", {"Photo-0000.cr2", "Photo-0000.jpg"}, ""},
        {"RAW + Large", "400 raw-first", {"Photo-0000.cr2", "Photo-0000.jpg"}, ""},
        // Past the release's wait: the file still comes, under its picture's number.
        {"RAW + Large",
         "3300 jpeg-first",
         {"Photo-0000.cr2", "Photo-0000.jpg"},
         "Late file of the last capture: IMG_0005.CR2\r\nSaved Photo-0000.cr2 (300.0 KB)\r\n"},
    };
    ASSERT_TRUE(doc->ConnectCamera(kEos));
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.format) + " " + row.release);
        const std::string folder = captures.file("row" + std::to_string(n++));
        doc->SetCaptureFolder(folder + "/");
        std::ofstream(eosDisk.file("release")) << row.release;
        ASSERT_TRUE(Driver().SetImageSize(row.format));
        const std::string before = console.text();
        ASSERT_TRUE(doc->TakePicture()) << Logs();
        doc->PhotoCaptured();
        if (*row.late) {   // the file is renamed into place before its line is written
            ASSERT_TRUE(
                WaitFor([&] { return console.text().find(row.late) != std::string::npos; }));
        }
        EXPECT_EQ(Listing(folder), row.files);
        int w = 0, h = 0;
        for (const std::string& name : row.files) {
            const std::string bytes = ReadFile(folder + "/" + name);
            if (name.ends_with(".jpg")) {
                EXPECT_TRUE(DecodesAsJpeg(bytes, w, h)) << name;
            } else {
                EXPECT_EQ(bytes.size(), 300000u) << name;
            }
            // Each file is said under its own name.
            EXPECT_NE(console.text().find("Saved " + name, before.size()), std::string::npos);
        }
    }
    std::remove(eosDisk.file("release").c_str());
    EXPECT_EQ(Probe::logs.load(), 0) << Logs();
}

TEST_F(RealCameraTest, PicturesTakenOnTheBodyArriveWithLiveViewOnOrOff) {
    ASSERT_TRUE(doc->ConnectCamera(kEos));
    ASSERT_TRUE(Driver().SetImageSize("RAW + Large"));
    for (const bool live : {false, true}) {
        SCOPED_TRACE(live ? "live view on" : "live view off");
        const std::string folder = captures.file(live ? "live" : "still");
        doc->SetCaptureFolder(folder + "/");
        if (live) Driver().EnableViewfinder(&CViewDoc::FrameRelay);
        const std::string before = console.text();
        std::ofstream(eosDisk.file("shutter")) << 2;   // two presses of the body's button
        ASSERT_TRUE(WaitFor([&] { return Exists(folder) && Listing(folder).size() == 4; }));
        EXPECT_EQ(Listing(folder), (std::vector<std::string>{"Photo-0000.cr2", "Photo-0000.jpg",
                                                             "Photo-0001.cr2", "Photo-0001.jpg"}));
        const std::string base = live ? "IMG_0003" : "IMG_0001";
        EXPECT_NE(console.text().find(
                      "Picture taken on the camera: " + base + ".JPG\r\nSaved Photo-0000.jpg (",
                      before.size()),
                  std::string::npos)
            << console.text();
        if (live) Driver().DisableViewfinder();
    }
    EXPECT_EQ(Probe::logs.load(), 0) << Logs();
}

TEST_F(RealCameraTest, AFileAnnouncedAgainIsNotFetchedAgain) {
    ASSERT_TRUE(doc->ConnectCamera(kEos));
    const std::string folder = captures.file("again");
    doc->SetCaptureFolder(folder + "/");
    std::ofstream(eosDisk.file("shutter")) << 1;
    ASSERT_TRUE(WaitFor([&] { return Exists(folder) && Listing(folder).size() == 1; }));
    // The same file forty times, then a new picture: only the new one arrives.
    std::ofstream(eosDisk.file("announce")) << "IMG_0001.JPG 40";
    std::ofstream(eosDisk.file("shutter")) << 1;
    ASSERT_TRUE(WaitFor([&] {
        return console.text().find("IMG_0002.JPG\r\nSaved ") != std::string::npos;
    })) << console.text();
    EXPECT_EQ(Listing(folder), (std::vector<std::string>{"Photo-0000.jpg", "Photo-0001.jpg"}));
    const std::string text = console.text();
    std::size_t announced = 0;
    for (std::size_t at = text.find("Picture taken on the camera"); at != std::string::npos;
         at = text.find("Picture taken on the camera", at + 1))
        ++announced;
    EXPECT_EQ(announced, 2u) << text;
    EXPECT_EQ(Probe::logs.load(), 0) << Logs();
}

TEST_F(RealCameraTest, PicturesInTheCameraRamLeaveItOncSavedAndOnesOnTheCardStay) {
    struct Row {
        const char* ram;   // capacity, or "" for the card
        int releases;
        const char* left;                         // files the camera holds afterwards
    } rows[] = {{"20", 60, "0"}, {"", 3, "3"}};   // 60 releases: three times what the RAM holds
    for (const Row& row : rows) {
        SCOPED_TRACE(*row.ram ? "RAM" : "card");
        TempDir disk;
        if (*row.ram) std::ofstream(disk.file("ram")) << row.ram;
        doc.reset();
        real.reset();
        gphoto::Options options;
        options.autodetect = false;
        options.cameras = {kEos + "@disk:" + disk.path()};
        options.labels = RealCameraLabels();
        real = std::make_unique<gphoto::RealCameras>(sim::Simulator::rc().api(), options);
        doc = std::make_unique<CViewDoc>(sim::Simulator::cd().api(), real->api(),
                                         captures.file("config.cfg"));
        const std::string folder = captures.file(*row.ram ? "ram" : "card");
        doc->SetCaptureFolder(folder + "/");
        doc->UpdateDeviceList();
        ASSERT_TRUE(doc->ConnectCamera(kEos));
        for (int i = 0; i < row.releases; ++i) ASSERT_TRUE(doc->TakePicture()) << i;
        EXPECT_EQ(Listing(folder).size(), static_cast<std::size_t>(row.releases));
        EXPECT_EQ(ReadFile(disk.file("stored")), row.left);
        if (!*row.ram) continue;
        // A delete the camera answers busy is made again at a later tick: the RAM empties.
        Inject(disk, "delete -110 2\n");
        ASSERT_TRUE(doc->TakePicture());
        EXPECT_TRUE(WaitFor([&] { return ReadFile(disk.file("stored")) == "0"; }));
    }
}

TEST_F(RealCameraTest, ImplausibleNumbersFromACameraAreRefused) {
    // A zoom range of NaN: no zoom offered, nothing cast from it.
    std::ofstream(compactDisk.file("zoomrange")) << "nan nan";
    ASSERT_TRUE(doc->ConnectCamera(kCompact));
    EXPECT_FALSE(Driver().properties().hasZoom);
    EXPECT_EQ(Driver().GetZoomPos(), 0u);
    EXPECT_EQ(Probe::logs.load(), 0) << Logs();

    // A preview that claims 65,500 x 65,500 pixels: refused before it is decoded, said once.
    std::ofstream(eosDisk.file("preview-size")) << "65500 65500";
    ASSERT_TRUE(doc->ConnectCamera(kEos));   // the compact's live view has stopped
    Probe::frames = 0;
    ASSERT_TRUE(WaitFor([this] { return ReadFile(eosDisk.file("preview-at")).size() > 0; }));
    std::remove(eosDisk.file("preview-at").c_str());
    ASSERT_TRUE(WaitFor([this] { return Exists(eosDisk.file("preview-at")); }));
    EXPECT_EQ(Probe::frames.load(), 0);
    std::remove(eosDisk.file("preview-size").c_str());
    ASSERT_TRUE(WaitFor([] { return Probe::frames.load() >= 1; }));
    Driver().DisableViewfinder();
    const std::string refused =
        "Live view frame refused: the camera sent 65500 x 65500 pixels (at most 8192 x 8192)\n";
    const std::string notes = Notes();
    EXPECT_NE(notes.find(refused), std::string::npos) << notes;
    EXPECT_EQ(notes.find(refused), notes.rfind(refused)) << notes;
}

// The camera's own magnified live view: offered by a real EOS body only; the body keeps the
// magnified area on its sensor (6000 x 4000 in the test camera), and a refused call is logged.
TEST_F(RealCameraTest, MagnifiedLiveViewIsOfferedSetAndKeptOnTheSensor) {
    struct Row {
        std::string camera, magnifyControl, inject;
        std::uint32_t factor, x, y;
        bool offered, set;
        std::uint32_t wantX, wantY;
    };
    const std::vector<Row> rows{
        {kEos, "", "", 5, 2500, 1500, true, true, 2500, 1500},
        {kEos, "", "", 10, 9000, 9000, true, true, 5400, 3600},
        {kEos, "", "", 5, 4900, 10, true, true, 4800, 10},
        {kEos, "", "set -2 1\n", 5, 10, 10, true, false, 10, 10},
        {kCompact, "", "", 5, 10, 10, false, false, 10, 10},
        {kEos, "off\n", "", 5, 10, 10, false, false, 10, 10},
        {"EOS 300D", "", "", 5, 10, 10, false, false, 10, 10},   // simulated
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.camera + " " + row.magnifyControl + row.inject + std::to_string(row.x));
        std::ofstream(eosDisk.file("magnify")) << row.magnifyControl;
        ASSERT_TRUE(doc->ConnectCamera(row.camera));
        Inject(eosDisk, row.inject);
        const int logsBefore = Probe::logs.load();
        EXPECT_EQ(Driver().properties().hasMagnify, row.offered);
        std::uint32_t x = row.x, y = row.y, factor = 0;
        EXPECT_EQ(Driver().SetMagnify(row.factor, x, y), row.set);
        EXPECT_EQ(Probe::logs.load() - logsBefore, row.offered && !row.set ? 1 : 0) << Logs();
        if (!row.set) continue;
        EXPECT_EQ(std::to_string(x) + "," + std::to_string(y),
                  std::to_string(row.wantX) + "," + std::to_string(row.wantY));
        ASSERT_TRUE(Driver().GetMagnify(factor, x, y));
        EXPECT_EQ(factor, row.factor);
        EXPECT_TRUE(Driver().SetMagnify(1, x, y));
        ASSERT_TRUE(Driver().GetMagnify(factor, x, y));
        EXPECT_EQ(factor, 1u);
    }
}

}   // namespace
