// The bracket run over the simulated camera, measured on what it leaves: the saved pictures'
// brightness in the planned order, each tagged with its keyword (read back by Kestrel and the
// exiv2 tool), the camera's setting back after the run, after Stop and after the camera was
// unplugged (back when it is plugged in again, or said when it is not); the console to the letter.
#include "capture/CBracketThread.h"
#include "picture/Preview.h"
#include "picture/Sidecar.h"
#include "support/DocumentFixture.h"
#include "support/XmpFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

#include <sys/stat.h>

using namespace testsupport;
using namespace std::chrono_literals;

namespace {

const std::string kCamera = "PowerShot G5";

// The run's end, waited for by the test.
class Ended : public CBracketThread::Events {
public:
    void ShotEnded(int, int) override {}
    void RunEnded(const CBracketThread::Result& r) override {
        std::lock_guard lock(mutex_);
        result = r;
        done_ = true;
        changed_.notify_all();
    }
    bool Wait(std::chrono::milliseconds bound) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, bound, [this] { return done_; });
    }
    CBracketThread::Result result;

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool done_ = false;
};

// The document's camera, with a hook before each release (shot from 1).
class HookedCamera : public DocumentBracketCamera {
public:
    HookedCamera(CViewDoc* doc, std::function<void(int)> hook)
        : DocumentBracketCamera(doc), hook_(std::move(hook)) {}
    bool TakePicture(std::string& written) override {
        if (hook_) hook_(++shot_);
        return DocumentBracketCamera::TakePicture(written);
    }

private:
    std::function<void(int)> hook_;
    int shot_ = 0;
};

double MeanLevel(const std::string& path) {
    const picture::Pixels pixels = picture::ReadPicture(path);
    EXPECT_TRUE(pixels.ok()) << path << ": " << pixels.error;
    double sum = 0;
    for (std::uint8_t v : pixels.rgb) sum += v;
    return pixels.rgb.empty() ? 0 : sum / static_cast<double>(pixels.rgb.size());
}

class BracketRunTest : public DocumentTest {
protected:
    // Runs a bracket; hook runs before each release; tick: the test ticks the camera session
    // (as the window does) until the run ends, plugging the camera back in once replug is set.
    CBracketThread::Result RunBracket(int shots, int step, std::function<void(int)> hook = {},
                                      bool replug = false,
                                      std::chrono::milliseconds awayLimit = 20s) {
        Ended ended;
        CBracketThread run(&ended);
        run.setCamera(std::make_unique<HookedCamera>(doc.get(), std::move(hook)));
        run.setShots(shots, step);
        run.setAwayLimit(awayLimit);
        thread = &run;
        EXPECT_TRUE(run.Start());
        const auto t0 = CameraSession::Clock::now();
        bool replugged = false;
        for (int tick = 0; !ended.Wait(20ms) && tick < 1500; ++tick) {
            const auto change = doc->cameraSession().Tick(t0 + tick * 1s);
            if (change == CameraSession::Change::Lost && replug && !replugged) {
                Cd().replug(kCamera);
                replugged = true;
            }
        }
        EXPECT_TRUE(ended.Wait(0ms));
        thread = nullptr;
        return ended.result;
    }
    std::string Exposure() { return doc->cdDriver().GetLabel(camera::Setting::Exposure); }

    CBracketThread* thread = nullptr;
};

TEST_F(BracketRunTest, PicturesGrowBrighterInThePlannedOrderAndTheSettingComesBack) {
    struct Case {
        const char* name;
        bool manual;
        int shots, step;
        std::string plan;                    // the plan's console line
        std::vector<std::string> keywords;   // of each picture, in order
        camera::Setting setting;
        std::string base;
    };
    const Case cases[] = {
        {"by compensation",
         false,
         5,
         3,
         "Bracket 1: 5 shots 1 EV apart by Exposure around 0: -2, -1, 0, +1, +2\r\n",
         {"Bracket 1: -2 EV", "Bracket 1: -1 EV", "Bracket 1: 0 EV", "Bracket 1: +1 EV",
          "Bracket 1: +2 EV"},
         camera::Setting::Exposure,
         "0"},
        {"by shutter time in manual",
         true,
         3,
         2,
         "Bracket 2: 3 shots 2/3 EV apart by TV around 1/125: 1/200, 1/125, 1/80\r\n",
         {"Bracket 2: -2/3 EV", "Bracket 2: 0 EV", "Bracket 2: +2/3 EV"},
         camera::Setting::TV,
         "1/125"},
    };
    CViewDoc& d = Connected(kCamera);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.manual) {
            ASSERT_TRUE(d.cdDriver().Set(camera::Setting::ShootingMode, "Manual"));
        }
        console.clear();
        const auto result = RunBracket(c.shots, c.step);
        EXPECT_EQ(console.text().substr(0, c.plan.size()), c.plan) << console.text();
        ASSERT_EQ(result.files.size(), c.keywords.size()) << console.text();
        EXPECT_EQ(result.taken, c.shots);
        EXPECT_TRUE(result.restored);
        double previous = -1;
        for (std::size_t i = 0; i < result.files.size(); ++i) {
            const std::string& file = result.files[i];
            const double level = MeanLevel(file);
            EXPECT_GT(level, previous * 1.15) << file;   // clearly brighter than the one before
            previous = level;
            EXPECT_EQ(picture::ReadKeywords(file), std::vector<std::string>{c.keywords[i]});
        }
        EXPECT_EQ(d.cdDriver().GetLabel(c.setting), c.base);
        EXPECT_NE(
            console.text().find("Bracket " + std::to_string(result.series) + ": done, " +
                                std::to_string(c.shots) + " of " + std::to_string(c.shots) +
                                " shots\r\nBracket " + std::to_string(result.series) + ": " +
                                camera::InfoOf(c.setting).name + " back at " + c.base + "\r\n"),
            std::string::npos)
            << console.text();
        const std::string tool = Exiv2ToolReading(result.files.front() + ".xmp");
        if (!tool.empty()) {
            EXPECT_NE(tool.find(c.keywords.front()), std::string::npos) << tool;
        }
    }
    // The simulated camera holds the values too, not only the driver's idea of them.
    EXPECT_EQ(Cd().state(kCamera)->exposureComp, 24u);
    EXPECT_EQ(Cd().state(kCamera)->tvValue, 112u);
}

// A capture-session camera hands its file over after the release: each shot waits for it.
TEST_F(BracketRunTest, ACaptureSessionCamerasFilesAreWaitedForEachShot) {
    CViewDoc& d = Connected("EOS 20D");
    ASSERT_EQ(d.openDriver(), &d.rcDriver());
    const auto result = RunBracket(3, 3);
    ASSERT_EQ(result.files.size(), 3u) << console.text();
    double previous = -1;
    for (const std::string& file : result.files) {
        const double level = MeanLevel(file);
        EXPECT_GT(level, previous * 1.15) << file;
        previous = level;
    }
    EXPECT_EQ(picture::ReadKeywords(result.files.back()),
              std::vector<std::string>{"Bracket 1: +1 EV"});
    EXPECT_EQ(d.rcDriver().GetLabel(camera::Setting::Exposure), "0");
}

TEST_F(BracketRunTest, StopEndsAfterTheCurrentShotAndPutsTheSettingBack) {
    Connected(kCamera);
    const auto result = RunBracket(7, 1, [this](int shot) {
        if (shot == 2) thread->RequestStop();
    });
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.taken, 2);
    EXPECT_TRUE(result.restored);
    EXPECT_EQ(Exposure(), "0");
    EXPECT_EQ(Cd().state(kCamera)->exposureComp, 24u);
    EXPECT_NE(console.text().find("Bracket 1: stopped after 2 of 7 shots\r\n"
                                  "Bracket 1: Exposure back at 0\r\n"),
              std::string::npos)
        << console.text();
    EXPECT_TRUE(doc->cameraSession().Read().label(camera::Setting::Exposure) == "0");
}

TEST_F(BracketRunTest, AnUnpluggedCameraGetsItsSettingBackWhenItReturnsOrItIsSaid) {
    struct Case {
        const char* name;
        bool replug;
        std::string end;
    };
    const Case cases[] = {
        {"plugged in again", true,
         ": camera lost after 2 of 5 shots; Exposure goes back to 0 when it returns\r\n"},
        {"never back", false,
         ": camera lost after 2 of 5 shots; Exposure goes back to 0 when it returns\r\n"
         "Camera lost: PowerShot G5. Waiting for it to come back\r\n"
         "#: Exposure could not be put back: the camera did not come back within 300 ms; "
         "it is set to 0 if it returns while Kestrel runs\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        Connected(kCamera);
        console.clear();
        const auto result = RunBracket(
            5, 3,
            [](int shot) {
                if (shot == 3) Cd().unplug(kCamera);
            },
            c.replug, c.replug ? 20s : 300ms);
        const std::string prefix = "Bracket " + std::to_string(result.series);
        EXPECT_TRUE(result.lost);
        EXPECT_EQ(result.taken, 2);
        EXPECT_EQ(result.restored, c.replug);
        std::string end = prefix + c.end;
        if (const std::size_t at = end.find('#'); at != std::string::npos)
            end.replace(at, 1, prefix);
        EXPECT_NE(console.text().find(end), std::string::npos) << console.text();
        if (c.replug) {
            EXPECT_NE(console.text().find(prefix + ": Exposure back at 0\r\n"), std::string::npos)
                << console.text();
            EXPECT_EQ(Exposure(), "0");
            EXPECT_EQ(Cd().state(kCamera)->exposureComp, 24u);
        } else {
            // Plugged in later: the session sets it back as it opens the camera again.
            Cd().replug(kCamera);
            const auto t0 = CameraSession::Clock::now() + 1h;
            for (int tick = 0; tick < 5 && doc->cameraSession().away(); ++tick)
                doc->cameraSession().Tick(t0 + tick * 1s);
            EXPECT_FALSE(doc->cameraSession().away());
            EXPECT_EQ(Cd().state(kCamera)->exposureComp, 24u);
        }
    }
}

// A sidecar that cannot be written (planted as a folder) costs its keyword, not the bracket.
TEST_F(BracketRunTest, AKeywordNotWrittenIsSaidAndTheBracketGoesOn) {
    Connected(kCamera);
    ASSERT_EQ(::mkdir(dir.file("Photo-0000.jpg.xmp").c_str(), 0700), 0);
    const auto result = RunBracket(3, 3);
    ASSERT_EQ(result.files.size(), 3u);
    EXPECT_EQ(result.files.front(), dir.file("Photo-0000.jpg"));
    EXPECT_NE(console.text().find(
                  "Keyword not written: Photo-0000.jpg: " + dir.file("Photo-0000.jpg.xmp") +
                  " is a folder, not a regular file; it is not read\r\n"),
              std::string::npos)
        << console.text();
    EXPECT_EQ(picture::ReadKeywords(result.files[1]), std::vector<std::string>{"Bracket 1: 0 EV"});
    EXPECT_TRUE(result.restored);
}

TEST_F(BracketRunTest, NoCameraNoBracket) {
    MakeDoc();
    const auto result = RunBracket(3, 3);
    EXPECT_EQ(result.series, 0);
    EXPECT_EQ(console.text(), "Bracket not started: no camera\r\n");
}

}   // namespace
