// A setting change or release answered busy: retried within the caller's bound, logged only
// when the last try fails, and made once where no retry is allowed.
#include "support/DriverTestSupport.h"

#include "camera/BusyRetry.h"
#include "camera/ErrorText.h"

namespace testsupport {
namespace {

class BusyRetryTest : public DriverTest {
protected:
    TempDir dir;
};

TEST_F(BusyRetryTest, BusyAnswersAreRetriedWithinTheBound) {
    struct Case {
        const char* call;   // simulator call, without prefix
        int busy;           // busy answers before the camera takes it
        int tries;          // the caller's bound (1: the window's one try)
        bool ok;
        std::size_t calls;
    };
    const Case cases[] = {
        {"SetTvValue", 2, 3, true, 3},
        {"Release", 2, 3, true, 3},
        {"SetTvValue", 3, 3, false, 3},
        {"Release", 3, 3, false, 3},
        {"SetTvValue", 1, 1, false, 1},
        {"Release", 1, 1, false, 1},
        {"SetImageFormatAttribute", 2, 5, true, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.call) + " busy " + std::to_string(c.busy));
        ResetSimulators(WorldOf({sim::fullCamera("PowerShot G5")}), std::nullopt);
        log.clear();
        auto driver = makeCd();
        ASSERT_TRUE(driver->Connect("PowerShot G5", nullptr));
        for (int i = 0; i < c.busy; ++i) cd.failOnce(c.call, sim::err::kDeviceBusy);
        cd.clearJournal();
        const camera::BusyRetry busy{c.tries, {}};
        bool ok = false;
        const std::string call = c.call;
        if (call == "Release") {
            ok = driver->TakePicture(dir.file("Photo-0000.jpg"), nullptr, busy);
        } else if (call == "SetTvValue") {
            ok = driver->Set(camera::Setting::TV, driver->Options(camera::Setting::TV).back().label,
                             busy);
        } else {
            ok = driver->Set(camera::Setting::ImageSize, driver->imageSizes().back().label, busy);
        }
        EXPECT_EQ(ok, c.ok);
        EXPECT_EQ(cd.countCalls(std::string("CD") + c.call), c.calls);
        const std::vector<Entry> errors = log.entries();
        if (c.ok) {
            EXPECT_TRUE(errors.empty());
        } else {
            ASSERT_EQ(errors.size(), 1u);   // the last answer only
            EXPECT_EQ(errors[0].second, camera::GetErrorText(sim::err::kDeviceBusy));
        }
    }
}

}   // namespace
}   // namespace testsupport
