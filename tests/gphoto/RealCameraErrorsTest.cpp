// Real cameras through the real libgphoto2 when things go wrong: the errors users meet, busy
// answers retried only as far as the caller allows, a camera gone mid-transfer or away for a
// while, and dials and battery changed on the body.
#include "RealCameraFixture.h"

#include "camera/BusyRetry.h"

#include <atomic>

using namespace testsupport;

namespace {

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

}   // namespace
