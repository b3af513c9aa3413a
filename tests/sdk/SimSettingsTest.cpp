// The simulated cameras' data: default worlds, properties, enumerations, Get and Set of the
// settings with refusals, image format, zoom, AF lock and handle errors.
#include "support/SimTestSupport.h"

#include <algorithm>
#include <set>

using namespace testsupport;
using sim::Simulator;

namespace {

class SimSettings : public SimTest {};

// Every code each label table knows, and the camera lists that must reach it.
TEST_F(SimSettings, DefaultWorldsReachEveryLabelledCode) {
    std::vector<sim::CameraSpec> all = sim::defaultCdWorld().cameras;
    for (auto& c : sim::defaultRcWorld().cameras) all.push_back(c);
    auto covered = [&](auto member, std::vector<std::uint32_t> codes, const char* what) {
        std::set<std::uint32_t> have;
        for (const auto& c : all)
            for (auto v : c.*member) have.insert(v);
        for (auto code : codes) EXPECT_TRUE(have.count(code)) << what << " code " << code;
    };
    auto span = [](std::uint32_t a, std::uint32_t b) {
        std::vector<std::uint32_t> v;
        for (auto i = a; i <= b; ++i) v.push_back(i);
        return v;
    };
    std::vector<std::uint32_t> modes = span(0, 7);
    for (auto m : span(101, 123)) modes.push_back(m);
    covered(&sim::CameraSpec::shootingModes, modes, "shooting mode");
    covered(&sim::CameraSpec::av, {8, 11, 56, 112, 32766, 32767}, "av");
    covered(&sim::CameraSpec::tv, {4, 16, 112, 168}, "tv");
    covered(&sim::CameraSpec::exposure, {0, 3, 24, 45, 48}, "exposure");
    std::vector<std::uint32_t> wb = span(0, 12);
    wb.insert(wb.end(), {14, 15, 16});
    covered(&sim::CameraSpec::wb, wb, "wb");
    covered(&sim::CameraSpec::afDistance, span(0, 10), "af distance");
    covered(&sim::CameraSpec::flash, span(0, 6), "flash");
    covered(&sim::CameraSpec::meter, span(0, 5), "meter");
    covered(&sim::CameraSpec::iso, {0, 40, 72, 120}, "iso");
    std::vector<std::uint32_t> effects = span(0, 6);
    effects.push_back(100);
    covered(&sim::CameraSpec::effect, effects, "effect");
    std::set<std::uint32_t> qualities;
    for (const auto& c : all)
        for (auto [q, size] : c.formats) qualities.insert(q);
    EXPECT_EQ(qualities, (std::set<std::uint32_t>{1, 2, 3, 4, 5}));
}

TEST_F(SimSettings, DefaultDevicesAndCaptureSessionModel) {
    EXPECT_EQ(deviceNames(Simulator::cd().api()),
              (std::vector<std::string>{"PowerShot G5", "PowerShot S70"}));
    const auto rcNames = deviceNames(Simulator::rc().api());
    EXPECT_NE(std::find(rcNames.begin(), rcNames.end(), "EOS 20D"), rcNames.end());
    EXPECT_NE(std::find(rcNames.begin(), rcNames.end(), "EOS 10D"), rcNames.end());

    const sdk::Api& rc = Simulator::rc().api();
    EXPECT_NE(rc.Capture, nullptr);
    EXPECT_EQ(Simulator::cd().api().Capture, nullptr);
    EXPECT_EQ(Simulator::cd().api().TakeCapturedImage, nullptr);
    EXPECT_STREQ(rc.prefix, "RC");
    EXPECT_STREQ(Simulator::cd().api().prefix, "CD");

    // The session model refuses release control; the ordinary one refuses a session.
    const sdk::Handle d20 = openCamera(rc, "EOS 20D");
    const sdk::Handle d10 = openCamera(rc, "EOS 10D");
    ASSERT_NE(d20, 0u);
    ASSERT_NE(d10, 0u);
    EXPECT_EQ(rc.EnterReleaseControl(d20, nullptr, nullptr), sim::err::kNotSupported);
    EXPECT_EQ(rc.StartCaptureSession(
                  d10, [](auto, auto, auto, auto) -> sdk::Result { return 0; }, nullptr),
              sim::err::kNotSupported);
}

TEST_F(SimSettings, PropertiesHonourTheCallersCapacity) {
    sim::CameraSpec c = sim::fullCamera("Cam");
    c.owner = std::string(40, 'o');   // longer than the 32-byte buffer of the drivers
    c.hasZoom = false;
    c.battery = 0xA1B2C3D4;
    Simulator::cd().setWorld(WorldOf({c}));
    const sdk::Api& api = Simulator::cd().api();
    const sdk::Handle s = openCamera(api, "Cam");
    ASSERT_NE(s, 0u);

    sdk::Handle e = 0;
    ASSERT_EQ(api.EnumDevicePropertyReset(s, 0, &e), sdk::kOk);
    std::uint32_t n = 0;
    ASSERT_EQ(api.GetDevicePropertyCount(e, &n), sdk::kOk);
    std::vector<std::uint32_t> ids;
    for (std::uint32_t i = 0; i < n; ++i) {
        sdk::PropertyRecord r;
        ASSERT_EQ(api.EnumDevicePropertyNext(e, &r), sdk::kOk);
        ids.push_back(r.words[1]);
    }
    sdk::PropertyRecord past;
    EXPECT_EQ(api.EnumDevicePropertyNext(e, &past), sim::err::kEnumNA);
    EXPECT_EQ(api.EnumDevicePropertyRelease(e), sdk::kOk);
    EXPECT_EQ(api.EnumDevicePropertyRelease(e), sim::err::kInvalidHandle);
    for (std::uint32_t id : {2u, 8u, 14u, 15u, 0x800000cu, 0xAu, 0xFFFFFFFFu})
        EXPECT_NE(std::find(ids.begin(), ids.end(), id), ids.end()) << id;

    std::uint8_t buf[64];
    std::memset(buf, 0xEE, sizeof buf);
    std::uint32_t size = 32;
    ASSERT_EQ(api.GetDevicePropertyData(s, sdk::kPropOwner, &size, buf, 0), sdk::kOk);
    EXPECT_EQ(size, 32u);
    EXPECT_EQ(buf[31], 0) << "truncated text stays NUL-terminated";
    EXPECT_EQ(buf[32], 0xEE) << "wrote past the capacity";
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf)), std::string(31, 'o'));

    size = 32;
    ASSERT_EQ(api.GetDevicePropertyData(s, sdk::kPropCapabilities, &size, buf, 0), sdk::kOk);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(le32(buf), 6u);   // shooting modes + viewfinder, no zoom
    size = 2;
    std::memset(buf, 0xEE, sizeof buf);
    ASSERT_EQ(api.GetDevicePropertyData(s, sdk::kPropBattery, &size, buf, 0), sdk::kOk);
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(buf[0], 0xD4);
    EXPECT_EQ(buf[2], 0xEE);
    size = 32;
    EXPECT_EQ(api.GetDevicePropertyData(s, 0xFFFFFFFF, &size, buf, 0),
              sim::err::kPropertyNotSupported);
}

// Set of each 16-bit setting: an offered value is taken, a value not offered is refused and
// the current value stays.
struct SettingCase {
    const char* name;
    sdk::Result (*set)(const sdk::Api&, sdk::Handle, std::uint16_t);
    sdk::Result (*get)(const sdk::Api&, sdk::Handle, std::uint32_t*);
    std::uint16_t offered, notOffered;
};

const SettingCase kSettingCases[] = {
    {"ShootingMode", [](auto& a, auto s, auto c) { return a.SetShootingMode(s, c); },
     [](auto& a, auto s, auto* c) { return a.GetShootingMode(s, c); }, 4, 8},
    {"Av", [](auto& a, auto s, auto c) { return a.SetAvValue(s, c); },
     [](auto& a, auto s, auto* c) { return a.GetAvValue(s, c); }, 32, 9},
    {"Tv", [](auto& a, auto s, auto c) { return a.SetTvValue(s, c); },
     [](auto& a, auto s, auto* c) { return a.GetTvValue(s, c); }, 120, 113},
    {"Exposure", [](auto& a, auto s, auto c) { return a.SetExposureComp(s, c); },
     [](auto& a, auto s, auto* c) { return a.GetExposureComp(s, c); }, 16, 49},
    {"WB", [](auto& a, auto s, auto c) { return a.SetWBSetting(s, c); },
     [](auto& a, auto s, auto* c) { return a.GetWBSetting(s, c); }, 8, 13},
    {"AF", [](auto& a, auto s, auto c) { return a.SetAFDistanceSetting(s, c); },
     [](auto& a, auto s, auto* c) { return a.GetAFDistanceSetting(s, c); }, 10, 11},
    {"Flash", [](auto& a, auto s, auto c) { return a.SetFlashSetting(s, c, 0xFF); },
     [](auto& a, auto s, auto* c) {
         std::uint32_t second = 0;
         return a.GetFlashSetting(s, c, &second);
     },
     6, 7},
};

TEST_F(SimSettings, SetTakesOfferedValuesAndRefusesOthers) {
    const sdk::Api& api = Simulator::cd().api();
    const sdk::Handle s = openCamera(api, "PowerShot G5");
    ASSERT_NE(s, 0u);
    for (const SettingCase& c : kSettingCases) {
        SCOPED_TRACE(c.name);
        std::uint32_t before = 0, after = 0;
        ASSERT_EQ(c.get(api, s, &before), sdk::kOk);
        EXPECT_EQ(c.set(api, s, c.notOffered), sim::err::kRefused);
        ASSERT_EQ(c.get(api, s, &after), sdk::kOk);
        EXPECT_EQ(after, before);
        EXPECT_EQ(c.set(api, s, c.offered), sdk::kOk);
        ASSERT_EQ(c.get(api, s, &after), sdk::kOk);
        EXPECT_EQ(after, c.offered);
        EXPECT_EQ(c.set(api, s + 1000, c.offered), sim::err::kInvalidHandle);
        EXPECT_EQ(c.get(api, 0, &after), sim::err::kInvalidHandle);
    }
    const auto st = Simulator::cd().state("PowerShot G5");
    ASSERT_TRUE(st);
    EXPECT_EQ(st->tvValue, 120u);
    EXPECT_EQ(st->flashValue, 6u);
}

TEST_F(SimSettings, ReleaseCameraSettingsUseIdsAndDataSize) {
    sim::CameraSpec c = sim::fullCamera("Cam");
    c.relCamSettingIds = {sdk::kSettingIso, sdk::kSettingEffect};   // no metering
    c.relCamDataSize = 2;
    c.iso = {72, 80, 0x1FF};
    Simulator::rc().setWorld(WorldOf({c}));
    const sdk::Api& api = Simulator::rc().api();
    const sdk::Handle s = openCamera(api, "Cam");
    ASSERT_NE(s, 0u);

    sdk::Handle e = 0;
    std::uint32_t dataSize = 0;
    EXPECT_EQ(api.EnumRelCamSettingDataReset(s, sdk::kSettingMeter, &e, &dataSize),
              sim::err::kPropertyNotSupported);
    ASSERT_EQ(api.EnumRelCamSettingDataReset(s, sdk::kSettingIso, &e, &dataSize), sdk::kOk);
    EXPECT_EQ(dataSize, 2u);
    std::uint32_t n = 0;
    ASSERT_EQ(api.GetRelCamSettingDataCount(e, &n), sdk::kOk);
    ASSERT_EQ(n, 3u);
    std::uint32_t codes[3];
    for (auto& code : codes) {
        code = 0xFFFFFFFF;   // only dataSize bytes are written
        ASSERT_EQ(api.EnumRelCamSettingDataNext(e, dataSize, &code), sdk::kOk);
    }
    EXPECT_EQ(codes[0], 0xFFFF0000u | 72);
    EXPECT_EQ(codes[2], 0xFFFF0000u | 0x1FF);
    std::uint32_t extra = 0;
    EXPECT_EQ(api.EnumRelCamSettingDataNext(e, dataSize, &extra), sim::err::kEnumNA);
    EXPECT_EQ(api.EnumRelCamSettingDataRelease(e), sdk::kOk);

    std::uint32_t code = 80;
    EXPECT_EQ(api.SetRelCamSettingData(s, sdk::kSettingIso, 4, &code), sim::err::kInvalidLength);
    EXPECT_EQ(api.SetRelCamSettingData(s, sdk::kSettingIso, 2, &code), sdk::kOk);
    code = 100;
    EXPECT_EQ(api.SetRelCamSettingData(s, sdk::kSettingIso, 2, &code), sim::err::kRefused);
    std::uint32_t size = 4, got = 0;
    ASSERT_EQ(api.GetRelCamSettingData(s, sdk::kSettingIso, &size, &got), sdk::kOk);
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(got, 80u);
    EXPECT_EQ(Simulator::rc().state("Cam")->isoValue, 80u);
}

TEST_F(SimSettings, ImageFormatPairsAndSizeRecords) {
    const sdk::Api& api = Simulator::cd().api();
    const sdk::Handle s = openCamera(api, "PowerShot G5");
    ASSERT_NE(s, 0u);
    sdk::Handle e = 0;
    ASSERT_EQ(api.EnumSupportedImageSizeReset(s, 0, &e), sdk::kOk);
    std::uint32_t n = 0;
    ASSERT_EQ(api.GetSupportedImageSizeCount(e, &n), sdk::kOk);
    ASSERT_EQ(n, 3u);
    std::vector<std::pair<int, std::string>> sizes;
    for (std::uint32_t i = 0; i < n; ++i) {
        sdk::ImageSizeRecord r;
        ASSERT_EQ(api.EnumSupportedImageSizeNext(e, &r), sdk::kOk);
        sizes.emplace_back(r.bytes[0] | r.bytes[1] << 8, reinterpret_cast<char*>(r.bytes + 10));
    }
    EXPECT_EQ(sizes, (std::vector<std::pair<int, std::string>>{
                         {0, "Large"}, {1, "Medium"}, {2, "Small"}}));
    // A handle of one enumeration kind is no handle for another.
    std::uint16_t code = 0;
    EXPECT_EQ(api.EnumAvValueNext(e, &code), sim::err::kInvalidHandle);
    EXPECT_EQ(api.EnumSupportedImageSizeRelease(e), sdk::kOk);

    EXPECT_EQ(api.SetImageFormatAttribute(s, 4, 1), sim::err::kRefused);   // Lossless: Large only
    std::uint32_t q = 0, z = 0;
    ASSERT_EQ(api.GetImageFormatAttribute(s, &q, &z), sdk::kOk);
    EXPECT_EQ(q, 3u);
    EXPECT_EQ(z, 0u);
    EXPECT_EQ(api.SetImageFormatAttribute(s, 4, 0), sdk::kOk);
    EXPECT_EQ(api.SetImageFormatAttribute(s, 5, 1), sdk::kOk);
    ASSERT_EQ(api.GetImageFormatAttribute(s, &q, &z), sdk::kOk);
    EXPECT_EQ(q, 5u);
    EXPECT_EQ(z, 1u);
    EXPECT_EQ(Simulator::cd().openEnumerations(), 0u);
}

TEST_F(SimSettings, ZoomRangeAndAfLock) {
    const sdk::Api& api = Simulator::cd().api();
    const sdk::Handle g5 = openCamera(api, "PowerShot G5");
    ASSERT_NE(g5, 0u);
    std::uint32_t first = 99, max = 0, pos = 99;
    ASSERT_EQ(api.GetMaximumZoomPos(g5, &first, &max), sdk::kOk);
    EXPECT_EQ(max, 8u);
    EXPECT_EQ(api.SetZoomPos(g5, max), sdk::kOk);
    EXPECT_EQ(api.SetZoomPos(g5, max + 1), sim::err::kDeviceInvalidParameter);
    ASSERT_EQ(api.GetZoomPos(g5, &pos), sdk::kOk);
    EXPECT_EQ(pos, max);
    EXPECT_EQ(api.AFLock(g5, 1), sdk::kOk);
    EXPECT_TRUE(Simulator::cd().state("PowerShot G5")->afLocked);
    EXPECT_EQ(api.AFLock(g5, 2), sim::err::kInvalidParameter);
    EXPECT_TRUE(Simulator::cd().state("PowerShot G5")->afLocked);
    EXPECT_EQ(api.AFLock(g5, 0), sdk::kOk);
    EXPECT_FALSE(Simulator::cd().state("PowerShot G5")->afLocked);

    const sdk::Handle d10 = openCamera(Simulator::rc().api(), "EOS 10D");   // no zoom
    EXPECT_EQ(Simulator::rc().api().SetZoomPos(d10, 0), sim::err::kNotSupported);
}

TEST_F(SimSettings, OpenCloseAndStaleHandles) {
    const sdk::Api& api = Simulator::cd().api();
    sdk::VersionRecord v;
    v.major = 8;   // the RC version on the CD SDK
    EXPECT_EQ(api.StartSDK(&v, 0), sim::err::kIncompatibleVersion);
    v.major = 7;
    EXPECT_EQ(api.StartSDK(&v, 0), sdk::kOk);
    EXPECT_EQ(Simulator::cd().sdkStarts(), 1);

    const sdk::Handle s = openCamera(api, "PowerShot S70");
    ASSERT_NE(s, 0u);
    EXPECT_EQ(openCamera(api, "PowerShot S70"), 0u) << "opened twice";
    EXPECT_TRUE(Simulator::cd().state("PowerShot S70")->open);
    EXPECT_EQ(api.CloseSource(s), sdk::kOk);
    EXPECT_FALSE(Simulator::cd().state("PowerShot S70")->open);
    std::uint32_t code = 0;
    EXPECT_EQ(api.GetTvValue(s, &code), sim::err::kInvalidHandle);
    EXPECT_EQ(api.CloseSource(s), sim::err::kInvalidHandle);
    const sdk::Handle again = openCamera(api, "PowerShot S70");
    EXPECT_NE(again, 0u);
    EXPECT_NE(again, s) << "handles are not reused";
    EXPECT_EQ(api.FinishSDK(), sdk::kOk);
    EXPECT_EQ(Simulator::cd().sdkStarts(), 0);
}

TEST_F(SimSettings, CapabilitiesGateTheirCalls) {
    sim::CameraSpec c = sim::fullCamera("Bare");
    c.hasShootingModes = false;
    c.hasViewfinder = false;
    Simulator::cd().setWorld(WorldOf({c}));
    const sdk::Api& api = Simulator::cd().api();
    const sdk::Handle s = openCamera(api, "Bare");
    sdk::Handle e = 0;
    EXPECT_EQ(api.EnumShootingModeReset(s, &e), sim::err::kNotSupported);
    EXPECT_EQ(api.SetShootingMode(s, 1), sim::err::kNotSupported);
    EXPECT_EQ(api.StartViewfinder(
                  s, 1, [](void*, std::uint32_t, std::uint32_t, void*) -> sdk::Result { return 0; },
                  nullptr),
              sim::err::kNotSupported);
    EXPECT_EQ(Simulator::cd().openEnumerations(), 0u);
}

}   // namespace
