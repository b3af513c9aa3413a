// The focus stack run over the simulated lens, against ground truth: the saved pictures' sharp
// third moves from near to far shot by shot, the lens ends where the run began, Stop ends after
// the current shot, a lens that reaches its end early keeps what was taken, a dry run releases
// nothing; and the plan's arithmetic and console text.
#include "capture/DocumentFocusStackCamera.h"
#include "capture/FocusStackThread.h"
#include "picture/SeriesKeyword.h"
#include "picture/Sidecar.h"

#include "support/DocumentFixture.h"
#include "support/Sharpness.h"
#include "support/ThreadWait.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>

using namespace testsupport;

namespace {

TEST(FocusStackPlan, MarksGiveShotsFromNearToFarAndStepsAreLargestFirst) {
    // near, far, here, size -> start, direction, shots
    const struct {
        int nearMark, farMark, here, size;
        int start, direction, shots;
    } rows[] = {{-8, 40, 0, 2, -8, 1, 13},    // 48 / 4 + 1
                {10, 10, 3, 1, 7, 1, 2},      // marks at one place: two shots at least
                {30, 0, 30, 3, 0, -1, 2},     // Far nearer than Near: the stack goes near-wards
                {0, 47, 47, 3, -47, 1, 3}};   // 47 / 16 + 1: the last step short of Far
    for (const auto& r : rows) {
        const FocusStackPlan plan =
            PlanFromMarks(r.nearMark, r.farMark, r.here, r.size, 300, false);
        EXPECT_EQ(plan.start, r.start);
        EXPECT_EQ(plan.direction, r.direction);
        EXPECT_EQ(plan.shots, r.shots);
        EXPECT_EQ(plan.settleMs, 300);
    }
    EXPECT_EQ(StepsFor(0), std::vector<int>{});
    EXPECT_EQ(StepsFor(37), (std::vector<int>{3, 3, 2, 1}));
    EXPECT_EQ(StepsFor(-5), (std::vector<int>{-2, -1}));
    FocusStackPlan plan;
    plan.start = -12;
    plan.stepSize = 2;
    plan.shots = 20;
    EXPECT_EQ(DescribePlan(3, plan),
              "Focus stack 3: 20 shots, step size 2 (4 focus steps apart, towards far), the "
              "first 12 steps near of where the lens is; the camera settles 500 ms after each "
              "move");
    plan.start = 0;
    plan.dryRun = true;
    plan.direction = -1;
    EXPECT_EQ(DescribePlan(1, plan),
              "Focus stack 1 (dry run, no pictures): 20 shots, step size 2 (4 focus steps "
              "apart, towards near), the first where the lens is; the camera settles 500 ms "
              "after each move");
    plan.stepSize = 1;
    plan.start = 1;
    plan.dryRun = false;
    EXPECT_EQ(DescribePlan(2, plan),
              "Focus stack 2: 20 shots, step size 1 (1 focus step apart, towards near), the "
              "first 1 step far of where the lens is; the camera settles 500 ms after each move");
    EXPECT_EQ(FocusStackThread::SeriesText(3, 7, 20), "Focus stack 3: 7 of 20");
}

class FocusStackRun : public DocumentTest, public FocusStackThread::Events {
protected:
    static constexpr int kHome = 150;   // where the lens stands before each run

    void SetUp() override {
        DocumentTest::SetUp();
        Rc().setWorld(WorldOf({Lens(400)}));
    }
    static sim::CameraSpec Lens(int far) {
        sim::CameraSpec c = SmallCamera("EOS 300D");
        c.sizePixels = {{0, {480, 360}}, {1, {48, 32}}, {2, {32, 24}}};
        c.hasFocusDrive = true;
        c.sceneDepth = true;
        c.focusMin = 0;
        c.focusMax = far;
        c.focusPos = kHome;
        c.depthNear = 100;
        c.depthMiddle = 148;
        c.depthFar = 196;
        c.focusMoveMs = 5;
        return c;
    }
    // A stack from near (100) towards far in steps of 16: 100, 116, ... 196 for seven shots.
    static FocusStackPlan Plan(int shots = 7) {
        FocusStackPlan plan;
        plan.start = 100 - kHome;
        plan.stepSize = 3;
        plan.shots = shots;
        plan.settleMs = 10;
        return plan;
    }
    FocusStackThread::Outcome Run(const FocusStackPlan& plan, int number = 1) {
        FocusStackThread run(this);
        run.setCamera(std::make_unique<DocumentFocusStackCamera>(&Connected("EOS 300D")));
        run.setKeywordWriter([this](const std::string& path, const std::string& keyword) {
            std::lock_guard guard(lock);
            keywords.emplace_back(path, keyword);
            return path.ends_with(".jpg") ? std::string() : std::string("not a JPEG");
        });
        thread = &run;
        EXPECT_TRUE(run.Prepare(plan, number));
        EXPECT_TRUE(run.Start());
        std::unique_lock guard(lock);
        EXPECT_TRUE(changed.wait_for(guard, std::chrono::milliseconds(kThreadWaitMs),
                                     [this] { return ended; }));
        guard.unlock();
        run.RequestStop();
        const FocusStackThread::Outcome out = run.outcome();
        thread = nullptr;
        return out;
    }
    void ShotDone(int shot, int) override {
        std::lock_guard guard(lock);
        shotsSeen.push_back(shot);
        if (shot == stopAt && thread) thread->RequestStop();
    }
    void RunEnded() override {
        std::lock_guard guard(lock);
        ended = true;
        changed.notify_all();
    }
    std::vector<std::string> Pictures() const {
        std::vector<std::string> files;
        for (const auto& e : std::filesystem::directory_iterator(dir.path()))
            if (e.path().extension() == ".jpg") files.push_back(e.path().string());
        std::sort(files.begin(), files.end());
        return files;
    }
    int Lens() { return Rc().state("EOS 300D")->focusPos; }

    std::mutex lock;   // guards the four below
    std::condition_variable changed;
    bool ended = false;
    std::vector<int> shotsSeen;
    std::vector<std::pair<std::string, std::string>> keywords;
    int stopAt = 0;
    FocusStackThread* thread = nullptr;
};

TEST_F(FocusStackRun, SharpnessMovesFromNearToFarShotByShotAndTheLensComesBack) {
    Rc().failOnce("DriveFocus", sim::err::kDeviceBusy);   // a busy lens is waited for
    const FocusStackThread::Outcome out = Run(Plan(), 4);
    EXPECT_EQ(out.taken, 7);
    EXPECT_TRUE(out.returned);
    EXPECT_FALSE(out.atLimit || out.stopped || out.failed);
    EXPECT_EQ(Lens(), kHome);

    const std::vector<std::string> files = Pictures();
    ASSERT_EQ(files.size(), 7u);
    // Each third's sharpest shot: near in the first, the middle in the fourth, far in the last;
    // and in each shot the third nearest the lens's focus is the sharpest relative to itself.
    std::vector<std::array<double, 3>> energy;
    for (const std::string& f : files) energy.push_back(JpegThirdsSharpness(f));
    std::array<int, 3> peak{};
    for (int k = 0; k < 3; ++k)
        for (int shot = 0; shot < 7; ++shot)
            if (energy[shot][k] > energy[peak[k]][k]) peak[k] = shot;
    EXPECT_EQ(peak, (std::array<int, 3>{0, 3, 6}));
    EXPECT_LT(peak[0], peak[1]);
    EXPECT_LT(peak[1], peak[2]);

    ASSERT_EQ(keywords.size(), 7u);
    for (std::size_t i = 0; i < keywords.size(); ++i) {
        EXPECT_EQ(keywords[i].first, files[i]);
        EXPECT_EQ(keywords[i].second, "Focus stack 4: " + std::to_string(i + 1) + " of 7");
    }
    EXPECT_EQ(shotsSeen, (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
    const std::string text = console.text();
    EXPECT_NE(text.find("Focus stack 4: 7 shots, step size 3 (16 focus steps apart, towards far), "
                        "the first 50 steps near of where the lens is; the camera settles 10 ms "
                        "after each move\r\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Focus stack 4: the lens is back where the run began\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("Focus stack 4: 7 of 7 pictures in "), std::string::npos);
}

TEST_F(FocusStackRun, StopEndsAfterTheCurrentShotAndTheLensComesBack) {
    stopAt = 2;
    const FocusStackThread::Outcome out = Run(Plan());
    EXPECT_EQ(out.taken, 2);
    EXPECT_TRUE(out.stopped);
    EXPECT_TRUE(out.returned);
    EXPECT_EQ(Pictures().size(), 2u);
    EXPECT_EQ(Lens(), kHome);
    EXPECT_NE(console.text().find("Focus stack 1 stopped after 2 of 7 shots\r\n"),
              std::string::npos);
}

TEST_F(FocusStackRun, ALensThatEndsEarlyKeepsWhatWasTakenAndSaysSo) {
    Rc().setWorld(WorldOf({Lens(164)}));   // the fifth shot stands at the lens's end
    const FocusStackThread::Outcome out = Run(Plan());
    EXPECT_EQ(out.taken, 5);
    EXPECT_TRUE(out.atLimit);
    EXPECT_TRUE(out.returned);
    EXPECT_EQ(Pictures().size(), 5u);
    EXPECT_EQ(Lens(), kHome);
    EXPECT_NE(console.text().find("Focus stack 1: the lens reached its end after 5 of 7 shots; "
                                  "the 5 pictures taken are kept\r\n"),
              std::string::npos)
        << console.text();
    EXPECT_NE(console.text().find("Focus stack 1: the lens is back where the run began, as "
                                  "counted (a lens that went only part of a step at its end is "
                                  "that much short of it)\r\n"),
              std::string::npos);
}

TEST_F(FocusStackRun, ADryRunSweepsTheLensWithoutReleasing) {
    FocusStackPlan plan = Plan(5);
    plan.dryRun = true;
    const FocusStackThread::Outcome out = Run(plan);
    EXPECT_EQ(out.taken, 5);
    EXPECT_TRUE(out.returned);
    EXPECT_EQ(Pictures().size(), 0u);
    EXPECT_EQ(Rc().countCalls("RCRelease"), 0u);
    EXPECT_GE(Rc().countCalls("RCDriveFocus"), 4u + 4u);   // to the start, the sweep, back
    EXPECT_TRUE(keywords.empty());
    EXPECT_EQ(Lens(), kHome);
    EXPECT_NE(console.text().find("Focus stack 1: 5 of 5 (dry run: no picture)\r\n"),
              std::string::npos);
}

TEST_F(FocusStackRun, ACameraWithoutFocusDriveStopsAtOnceAndSaysWhy) {
    sim::CameraSpec fixed = Lens(400);
    fixed.hasFocusDrive = false;
    Rc().setWorld(WorldOf({fixed}));
    const FocusStackThread::Outcome out = Run(Plan());
    EXPECT_EQ(out.taken, 0);
    EXPECT_TRUE(out.failed);
    EXPECT_EQ(Pictures().size(), 0u);
    EXPECT_EQ(Rc().countCalls("RCDriveFocus"), 0u) << "a camera that lacks the drive is not asked";
    EXPECT_EQ(Rc().countCalls("RCRelease"), 0u);
    EXPECT_NE(console.text().find(
                  "Focus stack 1: the lens could not be moved to the first shot: the camera does "
                  "not drive its focus\r\n"),
              std::string::npos)
        << console.text();
}

// A stack never takes the number of one whose pictures are already in the folder (from an earlier
// start of Kestrel), so the strip never groups two stacks as one.
TEST_F(FocusStackRun, AStackTakesANumberNoPictureOfTheFolderCarries) {
    const std::string earlier = dir.path() + "/Earlier-0001.jpg";
    std::ofstream(earlier) << "not a picture";
    ASSERT_EQ(picture::WriteSeriesKeyword(earlier, picture::FocusStackKeyword(6, 1, 3)), "");
    const FocusStackThread::Outcome out = Run(Plan(2), 1);
    EXPECT_EQ(out.taken, 2);
    ASSERT_EQ(keywords.size(), 2u);
    EXPECT_EQ(keywords[0].second, "Focus stack 7: 1 of 2");
    EXPECT_EQ(keywords[1].second, "Focus stack 7: 2 of 2");
}

}   // namespace
