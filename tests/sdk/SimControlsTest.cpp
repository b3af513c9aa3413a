// Test controls of the simulator: failure injection, the journal, cameras vanishing between
// listing and connect, own worlds and reset.
#include "support/SimTestSupport.h"

using namespace testsupport;
using sim::Simulator;

namespace {

class SimControls : public SimTest {};

TEST_F(SimControls, FailOnceFailsOneCallWithoutEffect) {
    Simulator& sim = Simulator::cd();
    const sdk::Api& api = sim.api();
    const sdk::Handle s = openCamera(api, "PowerShot G5");
    ASSERT_NE(s, 0u);
    sim.failOnce("SetTvValue", 0x81);
    sim.failOnce("SetTvValue", 0x82);   // queued behind the first
    EXPECT_EQ(api.SetTvValue(s, 120), 0x81u);
    EXPECT_EQ(sim.state("PowerShot G5")->tvValue, 112u) << "a failed call has no effect";
    EXPECT_EQ(api.SetTvValue(s, 120), 0x82u);
    EXPECT_EQ(api.SetTvValue(s, 120), sdk::kOk);
    EXPECT_EQ(sim.state("PowerShot G5")->tvValue, 120u);
    // The other world is untouched by failures of this one.
    sim.failOnce("GetTvValue", 0x2);
    const sdk::Handle d10 = openCamera(Simulator::rc().api(), "EOS 10D");
    std::uint32_t code = 0;
    EXPECT_EQ(Simulator::rc().api().GetTvValue(d10, &code), sdk::kOk);
}

TEST_F(SimControls, FailAlwaysUntilCleared) {
    Simulator& sim = Simulator::cd();
    const sdk::Api& api = sim.api();
    sim.failAlways("EnumDeviceReset", 0x0C000081);
    sdk::Handle e = 0;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(api.EnumDeviceReset(1, &e), 0x0C000081u);
    EXPECT_EQ(sim.openEnumerations(), 0u);
    sim.clearFailures();
    EXPECT_EQ(api.EnumDeviceReset(1, &e), sdk::kOk);
    EXPECT_EQ(api.EnumDeviceRelease(e), sdk::kOk);

    // A failing enumeration step neither advances nor writes.
    ASSERT_EQ(api.EnumDeviceReset(1, &e), sdk::kOk);
    sim.failOnce("EnumDeviceNext", 0x2);
    sdk::DeviceRecord rec;
    rec.bytes[8] = 'x';
    EXPECT_EQ(api.EnumDeviceNext(e, &rec), 0x2u);
    EXPECT_EQ(rec.bytes[8], 'x');
    ASSERT_EQ(api.EnumDeviceNext(e, &rec), sdk::kOk);
    EXPECT_STREQ(reinterpret_cast<char*>(rec.bytes + 8), "PowerShot G5");
}

TEST_F(SimControls, JournalRecordsNamesArgumentsAndResults) {
    Simulator& sim = Simulator::cd();
    const sdk::Api& api = sim.api();
    const sdk::Handle s = openCamera(api, "PowerShot G5");
    sim.clearJournal();
    api.SetTvValue(s, 112);
    api.SetTvValue(s, 113);
    std::uint32_t size = 32;
    char buf[32];
    api.GetDevicePropertyData(s, sdk::kPropOwner, &size, buf, 0);
    const std::uint32_t iso = 80;
    api.SetRelCamSettingData(s, sdk::kSettingIso, 4, &iso);
    api.Release(s, 1, nullptr, nullptr, 0, &size);
    sdk::StorageMedium medium{0, "/nonexistent-dir/x.jpg"};
    sdk::ImageInfo info;
    api.GetReleasedData(s, nullptr, nullptr, 0, &info, &medium);

    const auto j = sim.journal();
    ASSERT_EQ(j.size(), 6u);
    const std::string src = std::to_string(s);
    EXPECT_EQ(j[0].name, "CDSetTvValue");
    EXPECT_EQ(j[0].args, src + ", 112");
    EXPECT_EQ(j[0].result, sdk::kOk);
    EXPECT_EQ(j[1].result, sim::err::kRefused);
    EXPECT_EQ(j[2].args, src + ", 0x800000c, 32, 0");
    EXPECT_EQ(j[3].args, src + ", 0x800000c, 4, 80");
    EXPECT_EQ(j[4].name, "CDRelease");
    EXPECT_EQ(j[4].args, src + ", 1, 0, 0, 0");
    EXPECT_EQ(j[4].result, sim::err::kInvalidFnCall) << "release needs release control";
    EXPECT_EQ(j[5].args, src + ", 0, 0, 0, ptr, \"/nonexistent-dir/x.jpg\"");
    EXPECT_EQ(sim.countCalls("CDSetTvValue"), 2u);
    EXPECT_EQ(sim.countCalls("RCSetTvValue"), 0u);
    EXPECT_TRUE(Simulator::rc().journal().empty());
}

TEST_F(SimControls, TheJournalCanBeTurnedOffAsTheProgramDoes) {
    Simulator& sim = Simulator::cd();
    sim.setJournal(false);
    deviceNames(sim.api());
    EXPECT_TRUE(sim.journal().empty());
    sim.setJournal(true);
    deviceNames(sim.api());
    EXPECT_FALSE(sim.journal().empty());
}

TEST_F(SimControls, RemovedCameraIsNotListedAndCannotBeOpened) {
    Simulator& sim = Simulator::rc();
    const sdk::Api& api = sim.api();
    sdk::Handle e = 0;
    ASSERT_EQ(api.EnumDeviceReset(1, &e), sdk::kOk);
    std::uint32_t n = 0;
    api.GetDeviceCount(e, &n);
    std::vector<sdk::DeviceRecord> records(n);
    for (auto& r : records) ASSERT_EQ(api.EnumDeviceNext(e, &r), sdk::kOk);
    api.EnumDeviceRelease(e);

    sim.removeCamera("EOS 20D");   // vanishes between listing and connect
    for (const auto& r : records) {
        sdk::Handle s = 0;
        const std::string name = reinterpret_cast<const char*>(r.bytes + 8);
        EXPECT_EQ(api.OpenSource(&r, &s), name == "EOS 20D" ? sim::err::kDeviceNotFound : sdk::kOk)
            << name;
    }
    const auto names = deviceNames(api);
    EXPECT_EQ(std::count(names.begin(), names.end(), "EOS 20D"), 0);
}

TEST_F(SimControls, RemovingAnOpenCameraDisconnectsIt) {
    Simulator& sim = Simulator::cd();
    const sdk::Api& api = sim.api();
    const sdk::Handle s = openCamera(api, "PowerShot S70");
    sim.removeCamera("PowerShot S70");
    std::uint32_t code = 0;
    EXPECT_EQ(api.GetTvValue(s, &code), sim::err::kDisconnected);
    EXPECT_EQ(api.CloseSource(s), sdk::kOk) << "teardown still works";
}

TEST_F(SimControls, DuplicateNamesOpenTheRecordThatWasListed) {
    sim::World w;
    w.cameras = {SmallCamera("Twin"), SmallCamera("Twin")};
    w.cameras[1].tvValue = 120;
    Simulator::cd().setWorld(w);
    const sdk::Api& api = Simulator::cd().api();
    sdk::Handle e = 0;
    api.EnumDeviceReset(1, &e);
    sdk::DeviceRecord first, second;
    api.EnumDeviceNext(e, &first);
    api.EnumDeviceNext(e, &second);
    api.EnumDeviceRelease(e);
    sdk::Handle s = 0;
    ASSERT_EQ(api.OpenSource(&second, &s), sdk::kOk);
    std::uint32_t tv = 0;
    api.GetTvValue(s, &tv);
    EXPECT_EQ(tv, 120u);
}

TEST_F(SimControls, ResetRestoresTheDefaultWorld) {
    Simulator& sim = Simulator::cd();
    sim.setWorld(WorldOf({SmallCamera("Only")}));
    const sdk::Handle s = openCamera(sim.api(), "Only");
    ASSERT_NE(s, 0u);
    sim.failAlways("GetTvValue", 1);
    sim.reset();
    EXPECT_TRUE(sim.journal().empty());
    EXPECT_FALSE(sim.state("Only"));
    const sdk::Handle g5 = openCamera(sim.api(), "PowerShot G5");
    std::uint32_t tv = 0;
    EXPECT_EQ(sim.api().GetTvValue(g5, &tv), sdk::kOk);
    EXPECT_EQ(sim.api().GetTvValue(s, &tv), sim::err::kInvalidHandle);
}

}   // namespace
