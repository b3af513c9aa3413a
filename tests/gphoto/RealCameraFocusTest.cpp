// The lens's focus drive on real cameras through the real libgphoto2: the test camera driver
// (testcam/) in each style a body offers (EOS named steps with "None" between moves, Nikon
// signed steps answering "at limit", Sony -7..7), under the real driver, with lens ends and
// busy answers while the lens moves.
#include "RealCameraFixture.h"

#include <cstdlib>
#include <fstream>

using namespace testsupport;

namespace {

// Both test cameras on one disk, frames only when pushed.
class RealCameraFocusTest : public RealBackendTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(camlibsSet);
        OpenBackend({kEos + "@disk:" + disk.path(), kCompact + "@disk:" + disk.path()},
                    Frames::Pushed);
        doc->UpdateDeviceList();
    }
    int Position() { return std::atoi(ReadFile(disk.file("focus")).c_str()); }
    camera::CanonDriver& Driver() { return doc->rcDriver(); }

    TempDir disk;
};

bool Busy(sdk::Result r) { return camera::IsBusy(r); }

TEST_F(RealCameraFocusTest, EachStyleStepsTheLensAndSaysWhereItsEndIs) {
    struct Move {
        int step;
        int after;
        sdk::Result answer;
    };
    struct Row {
        std::string camera, style, lens;
        bool offered;
        std::vector<Move> moves;
    };
    const sdk::Result atLimit = sdk::err::kFocusAtLimit;
    const sdk::Result ok = sdk::kOk;
    const std::vector<Row> rows{
        // EOS: the same step twice moves twice ("None" goes between); the lens stops quietly
        // at an end (EOS bodies do not say so).
        {kEos,
         "",
         "0 100 50",
         true,
         {{1, 51, ok},
          {1, 52, ok},
          {2, 56, ok},
          {3, 72, ok},
          {-3, 56, ok},
          {-1, 55, ok},
          {3, 71, ok},
          {3, 87, ok},
          {3, 100, ok},
          {3, 100, ok}}},
        // Nikon: signed motor steps of 50, 200 and 800; the end answers "at limit".
        {kEos,
         "nikon",
         "0 1000 900",
         true,
         {{1, 950, ok},
          {-2, 750, ok},
          {3, 1000, atLimit},
          {1, 1000, atLimit},
          {-3, 200, ok},
          {-3, 0, atLimit}}},
        // Sony: 1, 3 and 7 of its -7..7 a call.
        {kEos, "sony", "0 100 50", true, {{1, 51, ok}, {3, 58, ok}, {-2, 55, ok}}},
        {kEos, "off", "", false, {{1, 0, sdk::err::kNotSupported}}},
        {kCompact, "", "", false, {{1, 0, sdk::err::kNotSupported}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.camera + " " + row.style);
        std::ofstream(disk.file("focus-style")) << row.style;
        std::ofstream(disk.file("lens")) << row.lens;
        ASSERT_TRUE(doc->ConnectCamera(row.camera));
        EXPECT_EQ(Driver().properties().hasFocusDrive, row.offered);
        for (const Move& m : row.moves) {
            const int logsBefore = Probe::logs.load();
            const sdk::Result r = Driver().DriveFocus(m.step);
            EXPECT_EQ(r == ok ? ok : (r & 0xFFFFu), m.answer == ok ? ok : (m.answer & 0xFFFFu))
                << "step " << m.step;
            if (row.offered) {
                EXPECT_EQ(Position(), m.after) << "step " << m.step;
            }
            // Failures are logged, as every camera call's; a camera that lacks the drive is
            // not asked (nothing to log).
            EXPECT_EQ(Probe::logs.load() - logsBefore, r != ok && row.offered ? 1 : 0);
        }
    }
    std::lock_guard guard(Probe::lock);
    bool namedLimit = false;
    for (const auto& [step, text] : Probe::logLines)
        namedLimit =
            namedLimit || (step == "DriveFocus::RCDriveFocus" && text == "Lens At Limit\r\n");
    EXPECT_TRUE(namedLimit) << "the end of a Nikon lens reads as its own row";
}

TEST_F(RealCameraFocusTest, BusyWhileTheLensMovesIsRetriedAsTheCallerAllows) {
    for (const std::string style : {"", "nikon"}) {
        SCOPED_TRACE(style);
        std::ofstream(disk.file("focus-style")) << style;
        std::ofstream(disk.file("lens")) << "0 5000 2000";
        std::ofstream(disk.file("lens-busy")) << 60000;   // still moving for the whole test
        ASSERT_TRUE(doc->ConnectCamera(kEos));
        ASSERT_EQ(Driver().DriveFocus(1), sdk::kOk);
        const int moved = Position();
        EXPECT_TRUE(Busy(Driver().DriveFocus(1)));
        EXPECT_TRUE(Busy(Driver().DriveFocus(-2, {2, std::chrono::milliseconds(1)})));
        EXPECT_EQ(Position(), moved) << "a busy answer does not move the lens";
        std::string written;
        EXPECT_FALSE(doc->TakePicture(&written)) << "the release is busy too";
    }
    // A lens that settles: the worker's retries take the next step once it has.
    std::ofstream(disk.file("focus-style")) << "";
    std::ofstream(disk.file("lens")) << "0 100 50";
    std::ofstream(disk.file("lens-busy")) << 100;
    ASSERT_TRUE(doc->ConnectCamera(kEos));
    ASSERT_EQ(Driver().DriveFocus(2), sdk::kOk);
    EXPECT_EQ(Driver().DriveFocus(2, {40, std::chrono::milliseconds(25)}), sdk::kOk);
    EXPECT_EQ(Position(), 58);
}

}   // namespace
