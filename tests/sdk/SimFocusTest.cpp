// The simulated lens: DriveFocus steps between the lens's ends (busy while it moves, "at limit"
// at an end), and a scene with depth is sharp where the lens focuses, in frames and pictures.
#include "support/Sharpness.h"
#include "support/SimTestSupport.h"

#include "sdk/sim/Scene.h"

#include <chrono>
#include <thread>

using namespace testsupport;
using sim::Simulator;

namespace {

sim::CameraSpec LensCamera(const std::string& name) {
    sim::CameraSpec c = SmallCamera(name);
    c.sizePixels = {{0, {640, 480}}, {1, {48, 32}}, {2, {32, 24}}};
    c.hasFocusDrive = true;
    c.sceneDepth = true;
    c.focusMin = 0;
    c.focusMax = 40;
    c.focusPos = 20;
    return c;
}

sdk::Result NoFrame(void*, std::uint32_t, std::uint32_t, void*) { return 0; }

class SimFocus : public SimTest {
protected:
    sdk::Handle open(sim::CameraSpec model, bool liveView = true) {
        Simulator::cd().setManualViewfinder(true);
        Simulator::cd().setWorld(WorldOf({std::move(model)}));
        const sdk::Handle s = openCamera(api(), "Lens");
        if (liveView) {
            EXPECT_EQ(api().StartViewfinder(s, 1, &NoFrame, nullptr), sdk::kOk);
        }
        return s;
    }
    const sdk::Api& api() { return Simulator::cd().api(); }
    int position() { return Simulator::cd().state("Lens")->focusPos; }
};

TEST_F(SimFocus, StepsMoveByTheirSizeAndAnswerAtLimitAtEachEnd) {
    const sdk::Handle s = open(LensCamera("Lens"));
    // (step, position after, answer): sizes 1, 2, 3 move 1, 4 and 16; a step past an end
    // takes the lens to it and says so; at the end it stays.
    const struct {
        std::int32_t step;
        int after;
        sdk::Result answer;
    } steps[] = {{1, 21, sdk::kOk},
                 {2, 25, sdk::kOk},
                 {3, 40, sim::err::kFocusAtLimit},
                 {1, 40, sim::err::kFocusAtLimit},
                 {-3, 24, sdk::kOk},
                 {-3, 8, sdk::kOk},
                 {-2, 4, sdk::kOk},
                 {-3, 0, sim::err::kFocusAtLimit},
                 {-1, 0, sim::err::kFocusAtLimit},
                 {0, 0, sim::err::kInvalidParameter},
                 {4, 0, sim::err::kInvalidParameter},
                 {-4, 0, sim::err::kInvalidParameter}};
    for (const auto& t : steps) {
        EXPECT_EQ(api().DriveFocus(s, t.step), t.answer) << "step " << t.step;
        EXPECT_EQ(position(), t.after) << "step " << t.step;
    }
    EXPECT_EQ(Simulator::cd().countCalls("CDDriveFocus"), std::size(steps));
}

TEST_F(SimFocus, OnlyALensThatDrivesAndOnlyInLiveView) {
    sim::CameraSpec fixed = LensCamera("Lens");
    fixed.hasFocusDrive = false;
    sdk::Handle s = open(fixed);
    EXPECT_EQ(api().DriveFocus(s, 1), sim::err::kNotSupported);
    std::uint8_t caps[4] = {};
    std::uint32_t size = 4;
    ASSERT_EQ(api().GetDevicePropertyData(s, sdk::kPropCapabilities, &size, caps, 0), sdk::kOk);
    EXPECT_EQ(caps[0] & 16u, 0u);

    s = open(LensCamera("Lens"), false);
    size = 4;
    ASSERT_EQ(api().GetDevicePropertyData(s, sdk::kPropCapabilities, &size, caps, 0), sdk::kOk);
    EXPECT_EQ(caps[0] & 16u, 16u) << "capability bit 4: focus drive";
    EXPECT_EQ(api().DriveFocus(s, 1), sim::err::kInvalidFnCall) << "no live view";
    EXPECT_EQ(position(), 20);
    EXPECT_EQ(api().DriveFocus(s + 1000, 1), sim::err::kInvalidHandle);
}

TEST_F(SimFocus, BusyWhileTheLensMovesForStepsAndReleases) {
    sim::CameraSpec slow = LensCamera("Lens");
    slow.focusMoveMs = 60000;   // still moving for the rest of the test
    const sdk::Handle s = open(slow);
    ASSERT_EQ(api().EnterReleaseControl(s, nullptr, nullptr), sdk::kOk);
    ASSERT_EQ(api().DriveFocus(s, 1), sdk::kOk);
    EXPECT_EQ(api().DriveFocus(s, 1), sim::err::kDeviceBusy);
    EXPECT_EQ(position(), 21) << "a busy answer does not move the lens";
    std::uint32_t count = 0;
    EXPECT_EQ(api().Release(s, 0, nullptr, nullptr, 0, &count), sim::err::kDeviceBusy);

    slow.focusMoveMs = 30;   // a lens that settles: its answers come back
    const sdk::Handle t = open(slow);
    ASSERT_EQ(api().EnterReleaseControl(t, nullptr, nullptr), sdk::kOk);
    ASSERT_EQ(api().DriveFocus(t, -1), sdk::kOk);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    sdk::Result r = sim::err::kDeviceBusy;
    while (r == sim::err::kDeviceBusy && std::chrono::steady_clock::now() < until)
        r = api().Release(t, 0, nullptr, nullptr, 0, &count);
    EXPECT_EQ(r, sdk::kOk);
}

// Energy of each third in focus at each depth: the third the lens focuses on is the sharpest
// of the three, relative to its own sharpness when the lens is far from it.
TEST_F(SimFocus, TheThirdInFocusIsSharpInFramesAndPictures) {
    std::array<std::array<double, 3>, 3> frames{}, pictures{};
    const int depths[3] = {100, 200, 300};
    for (int k = 0; k < 3; ++k) {
        std::vector<std::uint8_t> frame(sdk::kFramePixelBytes);
        sim::scene::Focus focus;
        for (int j = 0; j < 3; ++j)
            focus.radius[j] = std::min(12, std::abs(depths[j] - depths[k]) / 8);
        sim::scene::renderFramePixels(frame.data(), 40, 1.0, focus);
        frames[k] = ThirdsSharpness(frame.data(), sdk::kFrameWidth, sdk::kFrameHeight,
                                    sdk::kFrameWidth * 3L, 3);

        sim::CameraSpec lens = LensCamera("Lens");
        lens.focusMax = 400;
        lens.focusPos = depths[k];
        const sdk::Handle s = open(lens);
        ASSERT_EQ(api().EnterReleaseControl(s, nullptr, nullptr), sdk::kOk);
        std::uint32_t count = 0;
        ASSERT_EQ(api().Release(s, 0, nullptr, nullptr, 0, &count), sdk::kOk);
        const std::string path = (tempDir() / ("focus-" + std::to_string(k) + ".jpg")).string();
        std::filesystem::remove(path);
        sdk::ImageInfo info;
        sdk::StorageMedium medium{0, path.c_str()};
        ASSERT_EQ(api().GetReleasedData(s, nullptr, nullptr, 0, &info, &medium), sdk::kOk);
        pictures[k] = JpegThirdsSharpness(path);
    }
    for (const auto* measured : {&frames, &pictures}) {
        for (int k = 0; k < 3; ++k) {
            for (int other = 0; other < 3; ++other) {
                if (other == k) continue;
                EXPECT_GT((*measured)[k][k], 1.5 * (*measured)[other][k])
                    << "third " << k << " in focus vs focus at " << other;
            }
        }
    }
}

TEST_F(SimFocus, WithoutDepthTheSceneIsTheSameWhereverTheLensIs) {
    sim::CameraSpec flat = LensCamera("Lens");
    flat.sceneDepth = false;
    std::vector<std::vector<std::uint8_t>> seen;
    auto keep = [](void* buffer, std::uint32_t size, std::uint32_t, void* context) -> sdk::Result {
        auto* frames = static_cast<std::vector<std::vector<std::uint8_t>>*>(context);
        frames->emplace_back(static_cast<std::uint8_t*>(buffer),
                             static_cast<std::uint8_t*>(buffer) + size);
        return 0;
    };
    const sdk::Handle s = open(flat, false);
    ASSERT_EQ(api().StartViewfinder(s, 1, keep, &seen), sdk::kOk);
    ASSERT_TRUE(Simulator::cd().pushFrame());
    ASSERT_EQ(api().DriveFocus(s, 3), sdk::kOk);
    ASSERT_TRUE(Simulator::cd().pushFrame());
    ASSERT_EQ(seen.size(), 2u);
    std::vector<std::uint8_t> plain(sdk::kFrameBytes);
    Simulator::renderFrame(plain.data(), 0, 1.0);
    EXPECT_EQ(seen[0], plain) << "the frames of a camera without depth are the scene's own";
    std::vector<std::uint8_t> second(sdk::kFrameBytes);
    Simulator::renderFrame(second.data(), 1, 1.0);
    EXPECT_EQ(seen[1], second);
}

}   // namespace
