// The camera session over the simulated SDK, on its own clock: a camera that goes away without
// the user's Disconnect (the same camera back and set back, another body of its model plugged
// in meanwhile, a camera that never returns, one listed all along that cannot be opened yet),
// and Apply with the window's and a worker's busy policy.
#include "support/DocumentFixture.h"

#include <chrono>

namespace testsupport {
namespace {

using namespace std::chrono_literals;
using Change = CameraSession::Change;

class CameraSessionTest : public DocumentTest {};

TEST_F(CameraSessionTest, WaitsForTheSameCameraAndOnlyForIt) {
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
        CameraSession& session = d.cameraSession();
        SettingValues wanted;
        wanted.label(camera::Setting::TV) = d.rcDriver().Options(camera::Setting::TV).back().label;
        ASSERT_NE(d.rcDriver().GetLabel(camera::Setting::TV), wanted.label(camera::Setting::TV));
        ASSERT_EQ(session.Apply(wanted, camera::kNoBusyRetry).sent.size(), 1u);
        // Changed on the body behind the session's back: the record is what is set back.
        ASSERT_TRUE(d.rcDriver().Set(camera::Setting::TV,
                                     d.rcDriver().Options(camera::Setting::TV).front().label));

        Rc().unplug("EOS 300D");   // the camera's event notes the loss
        EXPECT_TRUE(session.away());
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
        const auto t0 = CameraSession::Clock::now();
        std::vector<Change> seen;
        for (int second = 0; second < 5; ++second) {
            seen.push_back(session.Tick(t0 + second * 1s));
            if (second == 0) {
                Rc().clearJournal();
                EXPECT_EQ(d.openDriver(), nullptr);
                EXPECT_EQ(session.waitingFor(), "EOS 300D");
                // Read while away keeps what the camera held before it went.
                EXPECT_EQ(session.Read().labels, session.held().labels);
                EXPECT_EQ(session.held().label(camera::Setting::TV),
                          wanted.label(camera::Setting::TV));
            }
            EXPECT_EQ(session.Tick(t0 + second * 1s + 500ms), Change::None);
        }
        EXPECT_EQ(seen, c.ticks);
        EXPECT_EQ(console.text().substr(before.size()),
                  "Camera lost: EOS 300D. Waiting for it to come back\r\n" + c.console);
        EXPECT_EQ(Rc().countCalls("RCOpenSource"), c.opens);
        const bool back = c.meanwhile == Meanwhile::Replug;
        EXPECT_EQ(d.openDriver() != nullptr, back);
        EXPECT_EQ(session.away(), !back);
        EXPECT_EQ(Probe::logs.load(), logsBefore);   // the attempts' failures are quiet
        if (back) {
            EXPECT_EQ(Rc().countCalls("RCSetTvValue"), 1u);   // set back
            EXPECT_EQ(d.rcDriver().GetLabel(camera::Setting::TV),
                      wanted.label(camera::Setting::TV));
        } else {
            session.StopWaiting();   // the user's Disconnect
            EXPECT_FALSE(session.away());
            EXPECT_EQ(session.Tick(t0 + 10s), Change::None);
        }
    }
}

// Apply with the window's policy (one try, busy is the answer) and a worker's (retried within
// its bound), a label the camera does not list, and the read-back into the record.
TEST_F(CameraSessionTest, ApplySendsWhatDiffersAndReadsItBack) {
    struct Case {
        const char* name;
        camera::BusyRetry busy;
        int busyAnswers;
        bool offered;
        std::size_t calls;   // SetTvValue calls made
        bool held;           // the camera holds the label afterwards
    };
    const Case cases[] = {
        {"window thread, busy once", camera::kNoBusyRetry, 1, true, 1, false},
        {"worker, busy twice", {5, 0ms}, 2, true, 3, true},
        {"worker, busy past its bound", {3, 0ms}, 5, true, 3, false},
        {"not offered", {5, 0ms}, 0, false, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        CViewDoc& d = Connected("EOS 300D");
        CameraSession& session = d.cameraSession();
        const SettingValues before = session.Read();
        SettingValues wanted;
        wanted.label(camera::Setting::TV) =
            c.offered ? d.rcDriver().Options(camera::Setting::TV).back().label : "1/8000000";
        wanted.label(camera::Setting::AV) = before.label(camera::Setting::AV);   // held: not sent
        for (int i = 0; i < c.busyAnswers; ++i) Rc().failOnce("SetTvValue", sim::err::kDeviceBusy);
        Rc().clearJournal();
        const ApplyReport report = session.Apply(wanted, c.busy);
        EXPECT_EQ(Rc().countCalls("RCSetTvValue"), c.calls);
        EXPECT_EQ(Rc().countCalls("RCSetAvValue"), 0u);
        EXPECT_EQ(report.sent.size(), c.offered ? 1u : 0u);
        EXPECT_EQ(report.notOffered.size(), c.offered ? 0u : 1u);
        EXPECT_EQ(report.notHeld.size(), c.offered && !c.held ? 1u : 0u);
        const std::string held = d.rcDriver().GetLabel(camera::Setting::TV);
        EXPECT_EQ(held == wanted.label(camera::Setting::TV), c.held);
        EXPECT_EQ(session.held().label(camera::Setting::TV), held);   // read back
    }
}

}   // namespace
}   // namespace testsupport
