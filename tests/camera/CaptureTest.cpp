// Release and transfer into the given file, capture sessions with release event 34, progress
// option, viewfinder start and stop.
#include "support/DriverTestSupport.h"

#include "camera/ErrorText.h"

#include <atomic>
#include <filesystem>

namespace testsupport {
namespace {

namespace fs = std::filesystem;

std::atomic<int> progressCalls{0};
sdk::Result countProgress(std::uint32_t, std::uint32_t, void*) {
    ++progressCalls;
    return 0;
}

std::atomic<int> frames{0};
std::atomic<std::uint32_t> lastFrameSize{0};
sdk::Result countFrame(void*, std::uint32_t size, std::uint32_t, void*) {
    ++frames;
    lastFrameSize = size;
    return 0;
}

bool nonEmptyFile(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec) && fs::file_size(path, ec) > 0;
}

class CaptureTest : public DriverTest {
protected:
    void SetUp() override {
        DriverTest::SetUp();
        progressCalls = 0;
        frames = 0;
    }
    TempDir dir;
};

TEST_F(CaptureTest, ReleaseWritesEachItemToAFileOfItsOwnAndReportsIt) {
    auto model = sim::fullCamera("PowerShot G5");
    model.releaseItems = 2;
    cd.setWorld({{model}});
    auto driver = makeCd();
    std::vector<std::pair<std::string, std::string>> pictures;
    driver->setPictureCallback([&](const std::string& asked, const std::string& saved) {
        pictures.emplace_back(asked, saved);
    });
    ASSERT_TRUE(driver->Connect("PowerShot G5", nullptr));
    const std::string path = dir.file("Photo-0001.jpg");
    EXPECT_TRUE(driver->TakePicture(path, nullptr));
    EXPECT_TRUE(nonEmptyFile(path));
    EXPECT_TRUE(nonEmptyFile(dir.file("Photo-0002.jpg")));   // not written over the first
    EXPECT_EQ(pictures, (std::vector<std::pair<std::string, std::string>>{
                            {path, path}, {path, dir.file("Photo-0002.jpg")}}));
    const auto transfers = spyCalls("CDGetReleasedData");
    ASSERT_EQ(transfers.size(), 2u);
    for (const auto& t : transfers) {
        EXPECT_EQ(t.path, path);
        EXPECT_EQ(t.extra, 0u);   // medium kind: file
    }
    EXPECT_TRUE(log.entries().empty());
}

TEST_F(CaptureTest, ProgressOptionIsThreeOnlyWithACallback) {
    cd.setWorld({{sim::fullCamera("PowerShot G5")}});
    auto driver = makeCd();
    ASSERT_TRUE(driver->Connect("PowerShot G5", nullptr));
    EXPECT_TRUE(driver->TakePicture(dir.file("a.jpg"), nullptr));
    EXPECT_TRUE(driver->TakePicture(dir.file("b.jpg"), &countProgress));
    const auto releases = spyCalls("CDRelease");
    const auto transfers = spyCalls("CDGetReleasedData");
    ASSERT_EQ(releases.size(), 2u);
    ASSERT_EQ(transfers.size(), 2u);
    EXPECT_EQ(releases[0].option, 0u);
    EXPECT_FALSE(releases[0].hasCallback);
    EXPECT_EQ(transfers[0].option, 0u);
    EXPECT_FALSE(transfers[0].hasCallback);
    EXPECT_EQ(releases[1].option, 3u);
    EXPECT_TRUE(releases[1].hasCallback);
    EXPECT_EQ(transfers[1].option, 3u);
    EXPECT_TRUE(transfers[1].hasCallback);
    for (const auto& call : releases) {
        EXPECT_EQ(call.extra, 1u);   // value 1
        EXPECT_EQ(call.context, nullptr);
    }
    EXPECT_GT(progressCalls.load(), 0);
}

TEST_F(CaptureTest, FailedReleaseOrTransferReturnsFalse) {
    cd.setWorld({{sim::fullCamera("PowerShot G5")}});
    auto driver = makeCd();
    ASSERT_TRUE(driver->Connect("PowerShot G5", nullptr));
    cd.failOnce("Release", kFailure);
    EXPECT_FALSE(driver->TakePicture(dir.file("a.jpg"), nullptr));
    EXPECT_EQ(cd.countCalls("CDGetReleasedData"), 0u);   // no count, no transfer
    EXPECT_FALSE(fs::exists(dir.file("a.jpg")));
    cd.failOnce("GetReleasedData", kFailure);
    EXPECT_FALSE(driver->TakePicture(dir.file("b.jpg"), nullptr));
    EXPECT_EQ(log.steps(), (std::vector<std::string>{"TakePicture::CDRelease",
                                                     "TakePicture::CDGetReleasedData"}));
    EXPECT_TRUE(driver->TakePicture(dir.file("c.jpg"), nullptr));
    EXPECT_TRUE(nonEmptyFile(dir.file("c.jpg")));
}

TEST_F(CaptureTest, RcReleaseControlModelUsesRelease) {
    rc.setWorld({{sim::fullCamera("PowerShot S70")}});
    auto driver = makeRc();
    ASSERT_TRUE(driver->Connect("PowerShot S70", nullptr));
    EXPECT_EQ(rc.countCalls("RCEnterReleaseControl"), 1u);
    EXPECT_EQ(rc.countCalls("RCStartCaptureSession"), 0u);
    EXPECT_TRUE(driver->TakePicture(dir.file("s70.jpg"), nullptr));
    EXPECT_TRUE(nonEmptyFile(dir.file("s70.jpg")));
    EXPECT_EQ(rc.countCalls("RCRelease"), 1u);
    EXPECT_EQ(rc.countCalls("RCCapture"), 0u);
    rc.clearJournal();
    driver->Disconnect();
    EXPECT_EQ(rc.countCalls("RCExitReleaseControl"), 1u);
    EXPECT_EQ(rc.countCalls("RCEndCaptureSession"), 0u);
}

TEST_F(CaptureTest, CdDriverTreatsTheSessionModelNamesLikeAnyCamera) {
    cd.setWorld({{sim::fullCamera("EOS 20D")}});
    auto driver = makeCd();
    ASSERT_TRUE(driver->Connect("EOS 20D", nullptr));
    EXPECT_EQ(cd.countCalls("CDEnterReleaseControl"), 1u);
    EXPECT_TRUE(driver->TakePicture(dir.file("cd20d.jpg"), nullptr));
    EXPECT_EQ(cd.countCalls("CDRelease"), 1u);
}

class SessionTest : public CaptureTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(SessionTest, ConnectStartsASessionWithTheDriverAsContext) {
    rc.setWorld({{sim::fullCamera(GetParam())}});
    auto driver = makeRc();
    ASSERT_TRUE(driver->Connect(GetParam(), nullptr));
    const auto starts = spyCalls("RCStartCaptureSession");
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_TRUE(starts[0].hasCallback);
    EXPECT_EQ(starts[0].context, static_cast<void*>(driver.get()));
    EXPECT_EQ(rc.countCalls("RCEnterReleaseControl"), 0u);
    EXPECT_TRUE(rc.state(GetParam())->captureSession);
    rc.clearJournal();
    driver->Disconnect();
    EXPECT_EQ(callNames(rc), (std::vector<std::string>{"RCTermViewfinder", "RCEndCaptureSession",
                                                       "RCCloseSource"}));
}

TEST_P(SessionTest, TwoPicturesBeforeTheFirstImageGoToTheirOwnPaths) {
    rc.setWorld({{sim::fullCamera(GetParam())}});
    rc.setHoldCaptures(true);
    auto driver = makeRc();
    ASSERT_TRUE(driver->Connect(GetParam(), nullptr));
    const std::string first = dir.file("Photo-0001.jpg");
    const std::string second = dir.file("Photo-0002.jpg");
    EXPECT_TRUE(driver->TakePicture(first, &countProgress));
    EXPECT_TRUE(driver->TakePicture(second, nullptr));
    EXPECT_EQ(rc.countCalls("RCCapture"), 2u);
    EXPECT_EQ(rc.countCalls("RCRelease"), 0u);
    EXPECT_EQ(rc.countCalls("RCGetReleasedData"), 0u);
    EXPECT_FALSE(fs::exists(first));   // nothing written before event 34
    EXPECT_EQ(rc.deliverCaptures(), 2u);
    const auto takes = spyCalls("RCTakeCapturedImage");
    ASSERT_EQ(takes.size(), 2u);
    EXPECT_EQ(takes[0].path, first);
    EXPECT_EQ(takes[0].option, 3u);
    EXPECT_TRUE(takes[0].hasCallback);
    EXPECT_EQ(takes[1].path, second);
    EXPECT_EQ(takes[1].option, 0u);
    EXPECT_FALSE(takes[1].hasCallback);
    EXPECT_TRUE(nonEmptyFile(first));
    EXPECT_TRUE(nonEmptyFile(second));
    EXPECT_TRUE(log.entries().empty());
}

INSTANTIATE_TEST_SUITE_P(Models, SessionTest, ::testing::Values("EOS 20D", "EOS-1Ds Mark II"),
                         [](const auto& info) {
                             return std::string(info.param[4] == '2' ? "EOS20D" : "EOS1DsMarkII");
                         });

TEST_F(CaptureTest, FailedCaptureDropsItsPendingPath) {
    rc.setWorld({{sim::fullCamera("EOS 20D")}});
    rc.setHoldCaptures(true);
    auto driver = makeRc();
    ASSERT_TRUE(driver->Connect("EOS 20D", nullptr));
    rc.failOnce("Capture", kFailure);
    EXPECT_FALSE(driver->TakePicture(dir.file("lost.jpg"), nullptr));
    EXPECT_EQ(log.steps(), std::vector<std::string>{"TakePicture::RCCapture"});
    EXPECT_TRUE(driver->TakePicture(dir.file("kept.jpg"), nullptr));
    EXPECT_EQ(rc.deliverCaptures(), 1u);
    const auto takes = spyCalls("RCTakeCapturedImage");
    ASSERT_EQ(takes.size(), 1u);
    EXPECT_EQ(takes[0].path, dir.file("kept.jpg"));
    EXPECT_FALSE(fs::exists(dir.file("lost.jpg")));
}

TEST_F(CaptureTest, ReleaseEventsWithoutAPendingPictureAreIgnored) {
    rc.setWorld({{sim::fullCamera("EOS 20D")}});
    auto driver = makeRc();
    ASSERT_TRUE(driver->Connect("EOS 20D", nullptr));
    rc.clearJournal();
    int eventData = 0;
    EXPECT_EQ(camera::CanonRCSDK::ReleaseEventCallback(34, &eventData, 4, driver.get()), 0u);
    EXPECT_EQ(camera::CanonRCSDK::ReleaseEventCallback(35, &eventData, 4, driver.get()), 0u);
    EXPECT_EQ(camera::CanonRCSDK::ReleaseEventCallback(1, nullptr, 0, driver.get()), 0u);
    EXPECT_TRUE(rc.journal().empty());
    EXPECT_TRUE(log.entries().empty());
}

TEST_F(CaptureTest, OtherReleaseEventsDoNotConsumeThePendingPicture) {
    rc.setWorld({{sim::fullCamera("EOS 20D")}});
    rc.setHoldCaptures(true);
    auto driver = makeRc();
    ASSERT_TRUE(driver->Connect("EOS 20D", nullptr));
    EXPECT_TRUE(driver->TakePicture(dir.file("one.jpg"), nullptr));
    rc.clearJournal();
    EXPECT_EQ(camera::CanonRCSDK::ReleaseEventCallback(33, nullptr, 0, driver.get()), 0u);
    EXPECT_TRUE(rc.journal().empty());
    EXPECT_EQ(rc.deliverCaptures(), 1u);
    EXPECT_TRUE(nonEmptyFile(dir.file("one.jpg")));
}

TEST_F(CaptureTest, ViewfinderStartsAndStopsWithTheCapability) {
    cd.setWorld({{sim::fullCamera("PowerShot G5")}});
    auto driver = makeCd();
    ASSERT_TRUE(driver->Connect("PowerShot G5", nullptr));
    cd.clearJournal();
    driver->EnableViewfinder(&countFrame);
    EXPECT_EQ(callNames(cd),
              (std::vector<std::string>{"CDSelectViewFinderCameraOutput", "CDStartViewfinder"}));
    EXPECT_EQ(spyCalls("CDSelectViewFinderCameraOutput").at(0).option, 3u);
    const auto start = spyCalls("CDStartViewfinder").at(0);
    EXPECT_EQ(start.option, 1u);
    EXPECT_EQ(start.context, nullptr);
    EXPECT_TRUE(cd.state("PowerShot G5")->viewfinderRunning);
    ASSERT_TRUE(cd.pushFrame());
    ASSERT_TRUE(cd.pushFrame());
    EXPECT_EQ(frames.load(), 2);
    EXPECT_EQ(lastFrameSize.load(), sdk::kFrameBytes);
    driver->Disconnect();
    EXPECT_FALSE(cd.state("PowerShot G5")->viewfinderRunning);
    EXPECT_FALSE(cd.pushFrame());
    EXPECT_EQ(frames.load(), 2);
}

TEST_F(CaptureTest, NoViewfinderCapabilityNoViewfinderCalls) {
    auto model = sim::fullCamera("PowerShot G5");
    model.hasViewfinder = false;
    cd.setWorld({{model}});
    auto driver = makeCd();
    ASSERT_TRUE(driver->Connect("PowerShot G5", nullptr));
    cd.clearJournal();
    driver->EnableViewfinder(&countFrame);
    driver->DisableViewfinder();
    EXPECT_TRUE(cd.journal().empty());
    EXPECT_FALSE(cd.pushFrame());
    driver->Disconnect();
    EXPECT_EQ(cd.countCalls("CDTermViewfinder"), 0u);
    EXPECT_EQ(frames.load(), 0);
}

}   // namespace
}   // namespace testsupport
