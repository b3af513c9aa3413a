// A camera that goes away without the user's Disconnect, over the simulated SDK on the watch's
// own clock: the same camera back (settings set back), another body of its model plugged in
// meanwhile, a camera that never returns, and one listed all along that cannot be opened yet.
#include "support/DocumentFixture.h"

#include <chrono>

namespace testsupport {
namespace {

using namespace std::chrono_literals;
using Change = CameraWatch::Change;

class CameraWatchTest : public DocumentTest {};

TEST_F(CameraWatchTest, WaitsForTheSameCameraAndOnlyForIt) {
    enum class Meanwhile { Replug, OtherBody, Nothing, ListedButClosed };
    struct Case {
        const char* name;
        Meanwhile meanwhile;
        std::vector<Change> ticks;   // at 0, 1, 2, 3, 4 s after the loss
        std::string console;         // after "Camera lost: ..."
        std::size_t opens;           // OpenSource calls while waiting
    };
    const Case cases[] = {
        {"same camera back",
         Meanwhile::Replug,
         {Change::Lost, Change::Back, Change::None, Change::None, Change::None},
         "Camera back: EOS 300D (away 1.0 s)\r\n",
         1},
        {"another body of the model",
         Meanwhile::OtherBody,
         {Change::Lost, Change::None, Change::None, Change::None, Change::None},
         "Another EOS 300D is attached (owner Someone Else): not reconnected; still waiting "
         "for the one that went away\r\n",
         2},
        {"never back",
         Meanwhile::Nothing,
         {Change::Lost, Change::None, Change::None, Change::None, Change::None},
         "",
         0},
        {"listed all along, not yet open",
         Meanwhile::ListedButClosed,
         {Change::Lost, Change::None, Change::None, Change::None, Change::None},
         "",
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        CViewDoc& d = Connected("EOS 300D");
        d.setOnLog(&Probe::OnLog);
        const std::string tv = d.rcDriver().Options(camera::Setting::TV).back().label;
        ASSERT_NE(d.rcDriver().GetLabel(camera::Setting::TV), tv);
        CameraWatch& watch = d.cameraWatch();
        CameraWatch::Settings kept;
        kept.labels[camera::IndexOf(camera::Setting::TV)] = tv;
        watch.keepSettings(kept);

        Rc().unplug("EOS 300D");   // the camera's event notes the loss
        EXPECT_TRUE(watch.away());
        switch (c.meanwhile) {
            case Meanwhile::Replug: Rc().replug("EOS 300D"); break;
            case Meanwhile::OtherBody: {
                sim::CameraSpec other = SmallCamera("EOS 300D");
                other.owner = "Someone Else";
                Rc().plugIn(other);
                break;
            }
            case Meanwhile::Nothing: break;
            case Meanwhile::ListedButClosed:
                Rc().replug("EOS 300D");
                Rc().failAlways("OpenSource", sim::err::kDeviceNotFound);
                break;
        }
        const std::string before = console.text();
        const int logsBefore = Probe::logs.load();
        const auto t0 = CameraWatch::Clock::now();
        std::vector<Change> seen;
        for (int second = 0; second < 5; ++second) {
            seen.push_back(watch.Tick(t0 + second * 1s));
            if (second == 0) {
                Rc().clearJournal();
                EXPECT_EQ(d.openDriver(), nullptr);
                EXPECT_EQ(watch.waitingFor(), "EOS 300D");
            }
            EXPECT_EQ(watch.Tick(t0 + second * 1s + 500ms), Change::None);
        }
        EXPECT_EQ(seen, c.ticks);
        EXPECT_EQ(console.text().substr(before.size()),
                  "Camera lost: EOS 300D. Waiting for it to come back\r\n" + c.console);
        EXPECT_EQ(Rc().countCalls("RCOpenSource"), c.opens);
        const bool back = c.meanwhile == Meanwhile::Replug;
        EXPECT_EQ(d.openDriver() != nullptr, back);
        EXPECT_EQ(watch.away(), !back);
        if (back) {
            EXPECT_EQ(d.rcDriver().GetLabel(camera::Setting::TV), tv);   // set back
            EXPECT_EQ(Probe::logs.load(), logsBefore);                   // nothing failed
        } else {
            EXPECT_EQ(Probe::logs.load(), logsBefore);   // the attempts' failures are quiet
            watch.StopWaiting();                         // the user's Disconnect
            EXPECT_FALSE(watch.away());
            EXPECT_EQ(watch.Tick(t0 + 10s), Change::None);
        }
    }
}

}   // namespace
}   // namespace testsupport
