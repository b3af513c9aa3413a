// Settings by label and by code, image size and quality pairs, AF lock and zoom.
#include "support/DriverTestSupport.h"

namespace testsupport {
namespace {

class SettingsTest : public DriverTest {
protected:
    void SetUp() override {
        DriverTest::SetUp();
        model = sim::fullCamera(kCamera);
        model.tv = {96, 112, 128};
        model.tvValue = 96;
        model.exposure = {16, 24, 32};
        model.exposureComp = 16;
        model.shootingModes = {0, 1, 109};
        model.shootingMode = 1;
        model.relCamSettingIds = {sdk::kSettingMeter, sdk::kSettingIso, sdk::kSettingEffect};
        model.meter = {3, 1};
        model.meterValue = 3;
        model.iso = {72, 80};
        model.isoValue = 72;
        model.effect = {0, 1};
        model.effectValue = 0;
        model.flash = {0, 1, 2};
        model.flashValue = 0;
        model.imageSizes = {{0, "Large"}, {1, "Medium"}, {2, "Small"}};
        model.formats = {{3, 0}, {2, 0}, {3, 1}, {2, 1}, {3, 2}, {1, 2}};
        model.size = 0;
        model.quality = 3;
    }
    void open() {
        cd.setWorld({{model}});
        driver = makeCd();
        ASSERT_TRUE(driver->Connect(kCamera, nullptr));
        ASSERT_TRUE(log.entries().empty());
        cd.clearJournal();
    }
    sim::CameraState state() const { return *cd.state(kCamera); }

    sim::CameraSpec model;
    std::unique_ptr<camera::CanonSDK> driver;
};

TEST_F(SettingsTest, SetTvByLabelWritesItsCode) {
    open();
    EXPECT_TRUE(driver->SetTV("1/125"));
    EXPECT_EQ(state().tvValue, 112u);
    EXPECT_EQ(driver->GetTV(), "1/125");
    EXPECT_EQ(driver->GetTVCode(), 112u);
    EXPECT_TRUE(log.entries().empty());
}

TEST_F(SettingsTest, LabelNotListedMakesNoCallAndLogsNothing) {
    open();
    EXPECT_FALSE(driver->SetTV("1/4000"));   // a real label, but not offered by this camera
    EXPECT_FALSE(driver->SetTV("1/12"));
    EXPECT_FALSE(driver->SetTV(""));
    EXPECT_FALSE(driver->SetMeter("Evaluative "));
    EXPECT_FALSE(driver->SetImageSize("Huge"));
    EXPECT_FALSE(driver->SetImageQuality("Superfine"));
    EXPECT_TRUE(cd.journal().empty());
    EXPECT_TRUE(log.entries().empty());
    EXPECT_EQ(state().tvValue, 96u);
}

TEST_F(SettingsTest, SetExposureZeroWritesCode24) {
    open();
    EXPECT_TRUE(driver->SetExposure("0"));
    EXPECT_EQ(state().exposureComp, 24u);
    EXPECT_EQ(driver->GetExposure(), "0");
}

TEST_F(SettingsTest, CurrentCodeNotListedGivesEmptyLabel) {
    model.tvValue = 113;       // no label at all
    model.exposureComp = 48;   // labelled, but not offered by this camera
    open();
    EXPECT_EQ(driver->GetTV(), "");
    EXPECT_EQ(driver->GetTVCode(), 113u);
    EXPECT_EQ(driver->GetExposure(), "");
    EXPECT_EQ(driver->GetExposureCode(), 48u);
}

TEST_F(SettingsTest, SharedLabelSetsOnlyTheCalledSetting) {
    open();
    EXPECT_TRUE(driver->SetMeter("Spot"));
    EXPECT_EQ(state().meterValue, 1u);
    EXPECT_EQ(state().shootingMode, 1u);
    EXPECT_EQ(driver->GetMeter(), "Spot");
    EXPECT_EQ(driver->GetShootingMode(), "Program");

    EXPECT_TRUE(driver->SetShootingMode("Spot"));
    EXPECT_EQ(state().shootingMode, 109u);
    EXPECT_EQ(state().meterValue, 1u);
    EXPECT_EQ(driver->GetShootingMode(), "Spot");
}

TEST_F(SettingsTest, ReleaseCameraSettingsUseTheirIdAndDataSize) {
    model.relCamDataSize = 4;
    open();
    EXPECT_TRUE(driver->SetISO("200"));
    EXPECT_EQ(state().isoValue, 80u);
    EXPECT_TRUE(driver->SetEffect("Vivid"));
    EXPECT_EQ(state().effectValue, 1u);
    const auto writes = spyCalls("CDSetRelCamSettingData");
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].extra, sdk::kSettingIso);
    EXPECT_EQ(writes[0].option, 4u);
    EXPECT_EQ(writes[0].bytes, (std::vector<std::uint8_t>{80, 0, 0, 0}));
    EXPECT_EQ(writes[1].extra, sdk::kSettingEffect);
    EXPECT_EQ(driver->GetISO(), "200");
    EXPECT_EQ(driver->GetEffectCode(), 1u);
    const auto reads = spyCalls("CDGetRelCamSettingData");
    ASSERT_FALSE(reads.empty());
    EXPECT_EQ(reads.back().option, 4u);   // size 4 asked for every read
}

TEST_F(SettingsTest, WiderDataSizeIsPassedBackWithTheCodeZeroExtended) {
    model.relCamDataSize = 8;
    open();
    EXPECT_TRUE(driver->SetMeter("Spot"));
    const auto writes = spyCalls("CDSetRelCamSettingData");
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].option, 8u);
    EXPECT_EQ(writes[0].bytes, (std::vector<std::uint8_t>{1, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(state().meterValue, 1u);
}

TEST_F(SettingsTest, FlashWritesSecondValue0xFF) {
    open();
    EXPECT_TRUE(driver->SetFlash("On"));
    const auto writes = spyCalls("CDSetFlashSetting");
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].option, 2u);
    EXPECT_EQ(writes[0].extra, 0xFFu);
    EXPECT_EQ(driver->GetFlash(), "On");
}

TEST_F(SettingsTest, RejectedWriteIsLoggedAndReturnsFalse) {
    open();
    cd.failOnce("SetTvValue", 0x0000A005);
    EXPECT_FALSE(driver->SetTV("1/125"));
    EXPECT_EQ(log.entries(),
              (std::vector<Entry>{{"SetTV::CDSetTvValue",
                                   "Unimplemented\r\nMemory Free Failed\r\nOperation Cancelled\r\n"
                                   "Invalid Transaction ID\r\nUnknown Command\r\n"
                                   "Operation Refused\r\n"}}));
    EXPECT_EQ(state().tvValue, 96u);
    EXPECT_TRUE(driver->SetTV("1/125"));   // the next write goes through
}

TEST_F(SettingsTest, FailedReadGivesCodeZero) {
    model.wb = {0, 1};
    model.wbValue = 1;
    open();
    cd.failOnce("GetWBSetting", kFailure);
    EXPECT_EQ(driver->GetWhiteBalance(), "Auto");   // the label of code 0, which is listed
    cd.failOnce("GetWBSetting", kFailure);
    EXPECT_EQ(driver->GetWhiteBalanceCode(), 0u);
    cd.failOnce("GetTvValue", kFailure);
    EXPECT_EQ(driver->GetTV(), "");   // code 0 is not a shutter speed
    EXPECT_EQ(log.entries().size(), 3u);
}

TEST_F(SettingsTest, ImageSizeAndQualityLabels) {
    open();
    EXPECT_EQ(driver->GetImageSize(), "Large");
    EXPECT_EQ(driver->GetImageQuality(), "Fine");
    EXPECT_EQ(driver->GetImageSizeCode(), 0u);
    EXPECT_EQ(driver->GetImageQualityCode(), 3u);
    EXPECT_EQ(cd.countCalls("CDGetImageFormatAttribute"), 5u);   // quality reads the pair twice
}

TEST_F(SettingsTest, SizeChangeKeepsTheQualityCode) {
    open();
    EXPECT_TRUE(driver->SetImageSize("Small"));
    EXPECT_EQ(state().size, 2u);
    EXPECT_EQ(state().quality, 3u);
    EXPECT_EQ(driver->GetImageSize(), "Small");
    EXPECT_EQ(driver->GetImageQuality(), "Fine");
}

TEST_F(SettingsTest, QualityIsLookedUpAmongTheCurrentSizesQualities) {
    open();
    EXPECT_FALSE(driver->SetImageQuality("Economy"));   // offered only at "Small"
    EXPECT_EQ(cd.countCalls("CDSetImageFormatAttribute"), 0u);
    EXPECT_TRUE(driver->SetImageQuality("Normal"));
    EXPECT_EQ(state().quality, 2u);
    EXPECT_EQ(state().size, 0u);
    // "Small" keeps the quality code 2, which the camera does not offer at that size.
    EXPECT_FALSE(driver->SetImageSize("Small"));
    EXPECT_EQ(log.steps(), std::vector<std::string>{"SetImageSize::CDSetImageFormatAttribute"});
    EXPECT_EQ(state().size, 0u);
    EXPECT_TRUE(driver->SetImageQuality("Fine"));
    EXPECT_TRUE(driver->SetImageSize("Small"));
    EXPECT_FALSE(driver->SetImageQuality("Normal"));   // not offered at "Small"
    EXPECT_TRUE(driver->SetImageQuality("Economy"));
    EXPECT_EQ(state().quality, 1u);
    EXPECT_EQ(state().size, 2u);
    EXPECT_EQ(driver->GetImageQuality(), "Economy");
}

TEST_F(SettingsTest, FailedFormatReadWritesNothing) {
    open();
    cd.failOnce("GetImageFormatAttribute", kFailure);
    EXPECT_FALSE(driver->SetImageSize("Small"));
    cd.failOnce("GetImageFormatAttribute", kFailure);
    EXPECT_FALSE(driver->SetImageQuality("Normal"));
    EXPECT_EQ(cd.countCalls("CDSetImageFormatAttribute"), 0u);
    EXPECT_EQ(log.steps(), (std::vector<std::string>{"GetImageQuality::CDGetImageFormatAttribute",
                                                     "GetImageSize::CDGetImageFormatAttribute"}));
    EXPECT_EQ(state().size, 0u);
    EXPECT_EQ(state().quality, 3u);
}

TEST_F(SettingsTest, AFLockPassesOneOrZero) {
    open();
    driver->SetAFLock(true);
    EXPECT_TRUE(state().afLocked);
    driver->SetAFLock(false);
    EXPECT_FALSE(state().afLocked);
    const auto calls = spyCalls("CDAFLock");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].option, 1u);
    EXPECT_EQ(calls[1].option, 0u);
}

TEST_F(SettingsTest, ZoomPosition) {
    model.maxZoomPos = 10;
    model.zoomPos = 3;
    open();
    EXPECT_EQ(driver->maxZoomPos(), 10u);
    EXPECT_EQ(driver->GetZoomPos(), 3u);
    driver->SetZoomPos(7);
    EXPECT_EQ(state().zoomPos, 7u);
    EXPECT_EQ(driver->GetZoomPos(), 7u);
    cd.failOnce("GetZoomPos", kFailure);
    EXPECT_EQ(driver->GetZoomPos(), 0u);
}

TEST_F(SettingsTest, EveryListedLabelRoundTrips) {
    // Each option of each list, set by its label, reads back as the same label and code.
    cd.setWorld({{sim::fullCamera(kCamera)}});
    driver = makeCd();
    ASSERT_TRUE(driver->Connect(kCamera, nullptr));
    struct Setting {
        const char* name;
        std::vector<camera::SettingOption> options;
        bool (camera::CanonDriver::*set)(const std::string&);
        std::string (camera::CanonDriver::*get)();
        std::uint32_t (camera::CanonDriver::*code)();
    };
    const std::vector<Setting> settings{
        {"av", driver->avModes(), &camera::CanonDriver::SetAV, &camera::CanonDriver::GetAV,
         &camera::CanonDriver::GetAVCode},
        {"tv", driver->tvModes(), &camera::CanonDriver::SetTV, &camera::CanonDriver::GetTV,
         &camera::CanonDriver::GetTVCode},
        {"wb", driver->wbValues(), &camera::CanonDriver::SetWhiteBalance,
         &camera::CanonDriver::GetWhiteBalance, &camera::CanonDriver::GetWhiteBalanceCode},
        {"af", driver->afDistances(), &camera::CanonDriver::SetAFDistance,
         &camera::CanonDriver::GetAFDistance, &camera::CanonDriver::GetAFDistanceCode},
        {"iso", driver->isoModes(), &camera::CanonDriver::SetISO, &camera::CanonDriver::GetISO,
         &camera::CanonDriver::GetISOCode},
        {"effect", driver->effects(), &camera::CanonDriver::SetEffect,
         &camera::CanonDriver::GetEffect, &camera::CanonDriver::GetEffectCode},
    };
    for (const Setting& s : settings) {
        EXPECT_FALSE(s.options.empty()) << s.name;
        for (const auto& option : s.options) {
            EXPECT_TRUE(((*driver).*s.set)(option.label)) << s.name << " " << option.label;
            EXPECT_EQ(((*driver).*s.get)(), option.label) << s.name;
            EXPECT_EQ(((*driver).*s.code)(), option.code) << s.name;
        }
    }
    EXPECT_TRUE(log.entries().empty());
}

}   // namespace
}   // namespace testsupport

namespace testsupport {
namespace {

// Every key reads, lists and sets what its named getter, list and setter do, so the settings
// pane and the timed sequence, which go by key, see the same camera as the named calls.
TEST_F(SettingsTest, AccessByKeyMatchesTheNamedCalls) {
    open();
    using camera::Setting;
    struct Row {
        Setting key;
        std::string (camera::CanonDriver::*get)();
        std::vector<camera::SettingOption> options;
        std::string wanted;
    };
    const Row rows[] = {
        {Setting::ImageSize,
         &camera::CanonDriver::GetImageSize,
         {{0, "Large"}, {1, "Medium"}, {2, "Small"}},
         "Medium"},
        {Setting::ImageQuality, &camera::CanonDriver::GetImageQuality, {}, "Normal"},
        {Setting::ShootingMode, &camera::CanonDriver::GetShootingMode, driver->shootingModes(), ""},
        {Setting::AV, &camera::CanonDriver::GetAV, driver->avModes(), ""},
        {Setting::TV, &camera::CanonDriver::GetTV, driver->tvModes(), "1/125"},
        {Setting::ISO, &camera::CanonDriver::GetISO, driver->isoModes(), ""},
        {Setting::Meter, &camera::CanonDriver::GetMeter, driver->meterModes(), ""},
        {Setting::Exposure, &camera::CanonDriver::GetExposure, driver->exposures(), ""},
        {Setting::WhiteBalance, &camera::CanonDriver::GetWhiteBalance, driver->wbValues(), ""},
        {Setting::Effect, &camera::CanonDriver::GetEffect, driver->effects(), ""},
        {Setting::AFDistance, &camera::CanonDriver::GetAFDistance, driver->afDistances(), ""},
        {Setting::Flash, &camera::CanonDriver::GetFlash, driver->flashModes(), ""},
    };
    ASSERT_EQ(std::size(rows), camera::kSettingCount);
    for (const Row& row : rows) {
        SCOPED_TRACE(camera::InfoOf(row.key).name);
        EXPECT_EQ(driver->GetLabel(row.key), ((*driver).*row.get)());
        const auto options = driver->Options(row.key);
        if (row.key == Setting::ImageQuality) {
            // The qualities of every size, each label once.
            std::vector<std::string> labels;
            for (const auto& o : options) labels.push_back(o.label);
            EXPECT_EQ(labels.size(), 3u);
        } else {
            EXPECT_EQ(options, row.options);
        }
        if (row.wanted.empty()) continue;
        EXPECT_TRUE(driver->Set(row.key, row.wanted));
        EXPECT_EQ(driver->GetLabel(row.key), row.wanted);
        EXPECT_FALSE(driver->Set(row.key, "no such label"));
    }
    EXPECT_EQ(state().tvValue, 112u);
    EXPECT_EQ(driver->GetTVCode(), driver->GetCode(Setting::TV));
    EXPECT_TRUE(log.entries().empty());
}

}   // namespace
}   // namespace testsupport
