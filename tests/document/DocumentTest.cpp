// The document's life, pane registry, relays and camera connection over the simulated SDKs.
#include "support/DocumentFixture.h"

#include <filesystem>

#include <sys/stat.h>

using namespace testsupport;

namespace {

// ---- Construction and destruction ----

TEST_F(DocumentTest, WithoutConfigFileUsesWorkingDirectoryAndPhotoThenSavesThem) {
    {
        CViewDoc& d = MakeDoc(false);
        EXPECT_EQ(CViewDoc::instance(), &d);
        EXPECT_EQ(d.captureFolder(), std::filesystem::current_path().string() + "/");
        EXPECT_EQ(d.captureName(), "Photo");
        EXPECT_FALSE(Exists(dir.file("config.cfg")));
    }
    doc.reset();
    EXPECT_EQ(CViewDoc::instance(), nullptr);
    EXPECT_EQ(ReadFile(dir.file("config.cfg")),
              std::filesystem::current_path().string() + "/\nPhoto");
}

TEST_F(DocumentTest, ConfigIsReadAtStartAndWrittenBackUnchangedAtExit) {
    WriteFile(dir.file("config.cfg"), "/data/sky/\r\nMoon");
    MakeDoc(false);
    EXPECT_EQ(doc->captureFolder(), "/data/sky/");
    EXPECT_EQ(doc->captureName(), "Moon");
    doc.reset();
    EXPECT_EQ(ReadFile(dir.file("config.cfg")), "/data/sky/\nMoon");
}

TEST_F(DocumentTest, ChangedValuesAreWrittenOnlyAtExit) {
    WriteFile(dir.file("config.cfg"), "/a/\nb");
    MakeDoc(false);
    doc->SetCaptureFolder("/new/");
    doc->SetCaptureName("");
    EXPECT_EQ(ReadFile(dir.file("config.cfg")), "/a/\nb");
    doc.reset();
    EXPECT_EQ(ReadFile(dir.file("config.cfg")), "/new/\n");
}

TEST_F(DocumentTest, FailedSaveAtExitIsReportedOnStandardError) {
    // config.cfg is a non-empty folder: it cannot be replaced.
    ASSERT_EQ(::mkdir(dir.file("config.cfg").c_str(), 0755), 0);
    WriteFile(dir.file("config.cfg/keep"), "k");
    MakeDoc();
    ::testing::internal::CaptureStderr();
    doc.reset();
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("not saved"), std::string::npos) << err;
    EXPECT_NE(err.find(dir.file("config.cfg")), std::string::npos) << err;
}

TEST_F(DocumentTest, AFifoAtConfigCfgIsNotWaitedOnAndSaidOnTheConsoleOnceItExists) {
    ASSERT_EQ(::mkfifo(dir.file("config.cfg").c_str(), 0600), 0);
    MakeDoc(false);   // start-up goes on with the defaults
    EXPECT_EQ(doc->captureName(), "Photo");
    EXPECT_EQ(console.text(), "Settings not read: " + dir.file("config.cfg") +
                                  " is a fifo, not a regular file; it is not read\r\n");
}

TEST_F(DocumentTest, BuffersStartBlack) {
    MakeDoc();
    const FrameBuffers::Frame live = doc->liveFrame(), shot = doc->previousShot();
    EXPECT_TRUE(std::all_of(live.begin(), live.end(), [](auto b) { return b == 0; }));
    EXPECT_TRUE(std::all_of(shot.begin(), shot.end(), [](auto b) { return b == 0; }));
    std::vector<std::uint8_t> strip(FrameBuffers::kStripBytes, 0xAA);
    doc->CopyOverlapStrip(strip.data());
    EXPECT_TRUE(std::all_of(strip.begin(), strip.end(), [](auto b) { return b == 0; }));
    const Histogram h = doc->histogram();
    EXPECT_EQ(h.peak, 0.0f);
    EXPECT_EQ(doc->additiveFrames(), 0);
    EXPECT_EQ(doc->stitchDirection(), 0u);
    EXPECT_EQ(doc->histogramInterval(), 1000u);
}

TEST_F(DocumentTest, DriversAreCreatedCdFirstAndFinishedWhileReceiversStillListen) {
    Cd().failAlways("FinishSDK", 7);
    Rc().failAlways("FinishSDK", 7);
    MakeDoc();
    doc->setOnLog(&Probe::OnLog);
    const std::vector<sim::Call> cdCalls = Cd().journal();
    ASSERT_FALSE(cdCalls.empty());
    EXPECT_EQ(cdCalls.front().name, "CDStartSDK");
    doc.reset();
    std::lock_guard guard(Probe::lock);
    ASSERT_EQ(Probe::logLines.size(), 2u);
    EXPECT_EQ(Probe::logLines[0].first, "~CanonSDK::CDFinishSDK");
    EXPECT_EQ(Probe::logLines[1].first, "~CanonRCSDK::RCFinishSDK");
}

TEST_F(DocumentTest, OnlyOneDocumentAtATime) {
    MakeDoc();
    EXPECT_THROW(CViewDoc(Cd().api(), Rc().api(), dir.file("other.cfg")), std::logic_error);
    EXPECT_EQ(CViewDoc::instance(), doc.get());
}

// ---- Pane registry and console ----

TEST_F(DocumentTest, GetViewIsExactAndCaseSensitiveFirstRegistrationWins) {
    MakeDoc();
    CView info, second, setting;
    doc->RegisterView(&info, "Info");
    doc->RegisterView(&second, "Info");
    doc->RegisterView(&setting, "Setting");
    EXPECT_EQ(doc->GetView("Info"), &info);
    EXPECT_EQ(doc->GetView("Setting"), &setting);
    EXPECT_EQ(doc->GetView("Debug"), &console);
    for (const char* missing : {"debug", "DEBUG", "Info ", "Inf", "", "Viewscreen"})
        EXPECT_EQ(doc->GetView(missing), nullptr) << missing;
}

TEST_F(DocumentTest, LogWritesToTheDebugPaneOnlyWhenItTakesText) {
    MakeDoc(false);
    doc->Log("one\r\n");
    EXPECT_EQ(console.text(), "one\r\n");
    doc.reset();
    doc = std::make_unique<CViewDoc>(Cd().api(), Rc().api(), dir.file("config.cfg"));
    CView plain;
    doc->RegisterView(&plain, "Debug");
    doc->Log("nowhere\r\n");   // a pane that takes no text: nothing happens
    EXPECT_EQ(console.text(), "one\r\n");
}

// ---- Relays ----

TEST_F(DocumentTest, RelaysWithEmptySlotsDoNothing) {
    MakeDoc();
    doc->PrepareStitchStrip(1);
    std::vector<std::uint8_t> frame = MakeUniformFrame(9);
    const std::uint32_t battery = 55;
    EXPECT_EQ(CViewDoc::FrameRelay(frame.data(), frame.size(), 1, nullptr), 0u);
    EXPECT_EQ(CViewDoc::CameraEventRelay(1, &battery, 4, nullptr), 0u);
    EXPECT_EQ(CViewDoc::ProgressRelay(50, 0, nullptr), 0u);
    CViewDoc::LogRelay("a", "b");
    // With no frame receiver the frame is not even kept for the stitch strip.
    EXPECT_EQ(doc->liveFrame()[0], 0);
    EXPECT_EQ(Probe::frames + Probe::events + Probe::progress + Probe::logs, 0);
}

TEST_F(DocumentTest, RelaysWithoutADocumentDoNothing) {
    MakeDoc();
    doc->setOnFrame(&Probe::OnFrame);
    doc->setOnCameraEvent(&Probe::OnCameraEvent);
    doc->setOnProgress(&Probe::OnProgress);
    doc->setOnLog(&Probe::OnLog);
    doc.reset();
    ASSERT_EQ(CViewDoc::instance(), nullptr);
    std::vector<std::uint8_t> frame = MakeUniformFrame(9);
    const std::uint32_t battery = 55;
    EXPECT_EQ(CViewDoc::FrameRelay(frame.data(), frame.size(), 1, nullptr), 0u);
    EXPECT_EQ(CViewDoc::CameraEventRelay(1, &battery, 4, nullptr), 0u);
    EXPECT_EQ(CViewDoc::ProgressRelay(50, 0, nullptr), 0u);
    CViewDoc::LogRelay("a", "b");
    EXPECT_EQ(Probe::frames + Probe::events + Probe::progress + Probe::logs, 0);
    EXPECT_EQ(frame, MakeUniformFrame(9));
}

TEST_F(DocumentTest, RelaysPassValuesUnchanged) {
    MakeDoc();
    doc->setOnLog(&Probe::OnLog);
    doc->setOnProgress(&Probe::OnProgress);
    CViewDoc::LogRelay("GetTV::CDGetTvValue", "Some error.\r\n");
    CViewDoc::ProgressRelay(0xFFFFFFFFu, 3, nullptr);
    EXPECT_EQ(Probe::lastProgress, -1);
    CViewDoc::ProgressRelay(42, 0, nullptr);
    EXPECT_EQ(Probe::lastProgress, 42);
    std::lock_guard guard(Probe::lock);
    ASSERT_EQ(Probe::logLines.size(), 1u);
    EXPECT_EQ(Probe::logLines[0].first, "GetTV::CDGetTvValue");
    EXPECT_EQ(Probe::logLines[0].second, "Some error.\r\n");
}

TEST_F(DocumentTest, DriverFailuresReachTheLogReceiver) {
    Connected("PowerShot G5");
    doc->setOnLog(&Probe::OnLog);
    Cd().failOnce("GetTvValue", 1);
    doc->cdDriver().GetTV();
    std::lock_guard guard(Probe::lock);
    ASSERT_EQ(Probe::logLines.size(), 1u);
    EXPECT_EQ(Probe::logLines[0].first, "GetTV::CDGetTvValue");
    EXPECT_FALSE(Probe::logLines[0].second.empty());
}

struct EventCase {
    std::uint32_t id;
    std::vector<std::uint8_t> data;
    bool delivered;
    std::uint32_t value;
};

TEST_F(DocumentTest, CameraEventsByTheLow16BitsAtMostFourBytesLittleEndian) {
    MakeDoc();
    doc->setOnCameraEvent(&Probe::OnCameraEvent);
    const EventCase cases[] = {
        {1, {0x50, 0, 0, 0}, true, 0x50},
        {0x00010001, {0x34, 0x12}, true, 0x1234},
        {0xFFFF0001, {1, 2, 3, 4, 5, 6}, true, 0x04030201},
        {1, {}, true, 0},
        {2, {1, 0, 0, 0}, false, 0},
        {0x00010000, {1, 0, 0, 0}, false, 0},
        {0x00020002, {1, 0, 0, 0}, false, 0},
    };
    for (const EventCase& c : cases) {
        Probe::events = 0;
        Probe::lastEvent = 0xDEADBEEF;
        EXPECT_EQ(CViewDoc::CameraEventRelay(c.id, c.data.empty() ? nullptr : c.data.data(),
                                             static_cast<std::uint32_t>(c.data.size()), nullptr),
                  0u);
        EXPECT_EQ(Probe::events, c.delivered ? 1 : 0) << std::hex << c.id;
        if (c.delivered) {
            EXPECT_EQ(Probe::lastEvent, c.value) << std::hex << c.id;
        }
    }
}

TEST_F(DocumentTest, BatteryEventOfTheSimulatedCameraArrives) {
    Connected("PowerShot G5");
    doc->setOnCameraEvent(&Probe::OnCameraEvent);
    Cd().setBattery("PowerShot G5", 37);
    EXPECT_EQ(Probe::events, 1);
    EXPECT_EQ(Probe::lastEvent, 37u);
}

// ---- Bad frames ----

struct BadFrame {
    const char* label;
    std::size_t size;
    std::size_t at;   // header byte to change
    std::uint8_t value;
};

TEST_F(DocumentTest, FramesThatAreNot320By240By24BitsAreDropped) {
    MakeDoc();
    doc->setOnFrame(&Probe::OnFrame);
    doc->SetAdditiveFrames(3);
    const BadFrame cases[] = {
        {"Short", 230453, 0, 'B'},      {"Long", 230455, 0, 'B'},
        {"Empty", 0, 0, 'B'},           {"NotBM", 230454, 1, 'N'},
        {"Width321", 230454, 18, 0x41}, {"Height239", 230454, 22, 239},
        {"TopDown", 230454, 25, 0xFF},  {"Bits32", 230454, 28, 32},
        {"Compressed", 230454, 30, 1},
    };
    std::uint64_t dropped = 0;
    for (const BadFrame& c : cases) {
        std::vector<std::uint8_t> frame = MakeUniformFrame(77);
        frame[c.at] = c.value;
        frame.resize(std::max<std::size_t>(c.size, 54));
        const std::vector<std::uint8_t> before = frame;
        CViewDoc::FrameRelay(frame.data(), static_cast<std::uint32_t>(c.size), 1, nullptr);
        EXPECT_EQ(frame, before) << c.label;
        EXPECT_EQ(doc->droppedFrames(), ++dropped) << c.label;
    }
    EXPECT_EQ(CViewDoc::FrameRelay(nullptr, 230454, 1, nullptr), 0u);
    EXPECT_EQ(Probe::frames, 0);
    EXPECT_EQ(doc->stackedFrameCount(), 0u);
    std::vector<std::uint8_t> good = MakeUniformFrame(77);
    Relay(good);
    EXPECT_EQ(Probe::frames, 1);
}

// ---- Connecting ----

TEST_F(DocumentTest, ConnectOpensTheCameraAndStartsItsViewfinder) {
    CViewDoc& d = Connected("PowerShot G5");
    EXPECT_EQ(d.openDriver(), &d.cdDriver());
    const auto state = Cd().state("PowerShot G5");
    ASSERT_TRUE(state);
    EXPECT_TRUE(state->open);
    EXPECT_TRUE(state->viewfinderRunning);
    d.setOnFrame(&Probe::OnFrame);
    ASSERT_TRUE(Cd().pushFrame());
    EXPECT_EQ(Probe::frames, 1);
}

TEST_F(DocumentTest, ACameraWithoutViewfinderConnectsAndStartsNoStream) {
    sim::CameraSpec blind = SmallCamera("PowerShot G5");
    blind.hasViewfinder = false;
    Cd().setWorld(WorldOf({blind}));
    Connected("PowerShot G5");
    EXPECT_EQ(Cd().countCalls("CDStartViewfinder"), 0u);
    EXPECT_FALSE(Cd().pushFrame());
}

TEST_F(DocumentTest, ConnectThroughTheRcDriver) {
    CViewDoc& d = Connected("EOS 300D");
    EXPECT_EQ(d.openDriver(), &d.rcDriver());
    EXPECT_TRUE(Rc().state("EOS 300D")->viewfinderRunning);
}

TEST_F(DocumentTest, ANameInBothListsConnectsThroughCanonSdk) {
    Cd().setWorld(WorldOf({SmallCamera("Twin")}));
    Rc().setWorld(WorldOf({SmallCamera("Twin")}));
    CViewDoc& d = Connected("Twin");
    EXPECT_EQ(d.openDriver(), &d.cdDriver());
    EXPECT_TRUE(Cd().state("Twin")->open);
    EXPECT_FALSE(Rc().state("Twin")->open);
    EXPECT_EQ(Rc().countCalls("RCOpenSource"), 0u);
}

TEST_F(DocumentTest, ANameInNeitherListFailsAndKeepsTheSums) {
    EXPECT_EQ(SummingTwoFramesOf10(), 20);
    Cd().clearJournal();
    EXPECT_FALSE(doc->ConnectCamera("PowerShot"));      // prefix of a listed name
    EXPECT_FALSE(doc->ConnectCamera("powershot g5"));   // case counts
    EXPECT_EQ(Cd().countCalls("CDOpenSource"), 0u);
    std::vector<std::uint8_t> c = MakeUniformFrame(10);
    Relay(c);
    EXPECT_EQ(c[100], 20);   // 10 + 10: the sum was not cleared
}

TEST_F(DocumentTest, SuccessfulConnectClearsTheSumsButKeepsTheFrames) {
    EXPECT_EQ(SummingTwoFramesOf10(), 20);
    doc->CalibrateNoise();   // noise 20
    ASSERT_TRUE(doc->ConnectCamera("PowerShot G5"));
    EXPECT_EQ(doc->stackedFrameCount(), 2u);
    std::vector<std::uint8_t> c = MakeUniformFrame(10);
    Relay(c);
    // Sum 0, minus the leaving 10 clamps at 0, plus 10; the noise is gone too.
    EXPECT_EQ(c[100], 10);
}

TEST_F(DocumentTest, AVanishedCameraConnectsNothing) {
    MakeDoc();
    doc->UpdateDeviceList();
    ASSERT_EQ(doc->cdDevices(), std::vector<std::string>{"PowerShot G5"});
    Cd().removeCamera("PowerShot G5");
    Cd().clearJournal();
    EXPECT_FALSE(doc->ConnectCamera("PowerShot G5"));
    EXPECT_EQ(doc->openDriver(), nullptr);
    EXPECT_EQ(Cd().countCalls("CDStartViewfinder"), 0u);
}

TEST_F(DocumentTest, DeviceListsComeFromEachDriver) {
    MakeDoc();
    EXPECT_TRUE(doc->cdDevices().empty());
    doc->UpdateDeviceList();
    EXPECT_EQ(doc->cdDevices(), std::vector<std::string>{"PowerShot G5"});
    EXPECT_EQ(doc->rcDevices(), (std::vector<std::string>{"EOS 20D", "EOS 300D"}));
}

}   // namespace
