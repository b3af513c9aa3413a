// Step texts to the letter: one failure injected into each SDK call of each operation, the
// logged step and error text checked, for both drivers.
#include "support/DriverTestSupport.h"

#include "camera/ErrorText.h"

#include <cctype>
#include <functional>

namespace testsupport {
namespace {

sdk::Result noEvent(std::uint32_t, const void*, std::uint32_t, void*) { return 0; }
sdk::Result noFrame(void*, std::uint32_t, std::uint32_t, void*) { return 0; }
sdk::Result noProgress(std::uint32_t, std::uint32_t, void*) { return 0; }

struct StepCase {
    const char* call;   // SDK call without prefix
    const char* step;   // '%' stands for the prefix
    bool connectFirst;
    std::function<void(camera::CanonDriver&)> run;
};

void connect(camera::CanonDriver& d) { d.Connect(kCamera, &noEvent); }

// Operations that run the same on both drivers (for CanonRCSDK on a release-control model).
const std::vector<StepCase>& commonCases() {
    static const std::vector<StepCase> cases{
        {"EnumDeviceReset", "GetDevices::%EnumDeviceReset", false, [](auto& d) { d.GetDevices(); }},
        {"GetDeviceCount", "GetDevices::%GetDeviceCount", false, [](auto& d) { d.GetDevices(); }},
        {"EnumDeviceNext", "GetDevices::%EnumDeviceNext", false, [](auto& d) { d.GetDevices(); }},
        {"EnumDeviceRelease", "GetDevices::%EnumDeviceRelease", false,
         [](auto& d) { d.GetDevices(); }},

        {"EnumDeviceReset", "Connect::%EnumDeviceReset", false, connect},
        {"GetDeviceCount", "Connect::%GetDeviceCount", false, connect},
        {"EnumDeviceNext", "Connect::%EnumDeviceNext", false, connect},
        {"OpenSource", "Connect::%OpenSource", false, connect},
        {"EnumDeviceRelease", "Connect::%EnumDeviceRelease", false, connect},
        {"EnterReleaseControl", "Connect::%EnterReleaseControl", false, connect},
        {"SelectReleaseDataKind", "Connect::%SelectReleaseDataKind", false, connect},
        {"RegisterEventCallbackFunction", "Connect::%RegisterEventCallbackFunction", false,
         connect},
        {"EnumDevicePropertyReset", "GetProperties::%EnumDevicePropertyReset", false, connect},
        {"GetDevicePropertyCount", "GetProperties::%GetDevicePropertyCount", false, connect},
        {"EnumDevicePropertyNext", "GetProperties::%EnumDevicePropertyNext", false, connect},
        {"GetDevicePropertyData", "GetProperties::%GetDevicePropertyData", false, connect},
        {"EnumDevicePropertyRelease", "GetProperties::%EnumDevicePropertyRelease", false, connect},
        {"EnumSupportedImageSizeReset", "GetImageSizes::%EnumSupportedImageSizeReset", false,
         connect},
        {"GetSupportedImageSizeCount", "GetImageSizes::%GetSupportedImageSizeCount", false,
         connect},
        {"EnumSupportedImageSizeNext", "GetImageSizes::%EnumSupportedImageSizeNext", false,
         connect},
        {"EnumSupportedImageSizeRelease", "GetImageSizes::%EnumSupportedImageSizeRelease", false,
         connect},
        {"EnumImageFormatAttributeReset", "GetImageQualities::%EnumImageFormatAttributeReset",
         false, connect},
        {"GetImageFormatAttributeCount", "GetImageQualities::%GetImageFormatAttributeCount", false,
         connect},
        {"EnumImageFormatAttributeNext", "GetImageQualities::%EnumImageFormatAttributeNext", false,
         connect},
        {"EnumImageFormatAttributeRelease", "GetImageQualities::%EnumImageFormatAttributeRelease",
         false, connect},
        {"GetMaximumZoomPos", "GetZoomLimits::%GetMaximumZoomPos", false, connect},
        {"EnumShootingModeReset", "GetShootingModes::%EnumShootingModeReset", false, connect},
        {"GetShootingModeCount", "GetShootingModes::%GetShootingModeCount", false, connect},
        {"EnumShootingModeNext", "GetShootingModes::%EnumShootingModeNext", false, connect},
        {"EnumShootingModeRelease", "GetShootingModes::%EnumShootingModeRelease", false, connect},
        {"EnumAvValueReset", "GetAVModes::%EnumAvValueReset", false, connect},
        {"GetAvValueCount", "GetAVModes::%GetAvValueCount", false, connect},
        {"EnumAvValueNext", "GetAVModes::%EnumAvValueNext", false, connect},
        {"EnumAvValueRelease", "GetAVModes::%EnumAvValueRelease", false, connect},
        {"EnumTvValueReset", "GetTVModes::%EnumTvValueReset", false, connect},
        {"GetTvValueCount", "GetTVModes::%GetTvValueCount", false, connect},
        {"EnumTvValueNext", "GetTVModes::%EnumTvValueNext", false, connect},
        {"EnumTvValueRelease", "GetTVModes::%EnumTvValueRelease", false, connect},
        {"EnumExposureCompReset", "GetExposures::%EnumExposureCompReset", false, connect},
        {"GetExposureCompCount", "GetExposures::%GetExposureCompCount", false, connect},
        {"EnumExposureCompNext", "GetExposures::%EnumExposureCompNext", false, connect},
        {"EnumExposureCompRelease", "GetExposures::%EnumExposureCompRelease", false, connect},
        {"EnumWBSettingReset", "GetWBValues::%EnumWBSettingReset", false, connect},
        {"GetWBSettingCount", "GetWBValues::%GetWBSettingCount", false, connect},
        {"EnumWBSettingNext", "GetWBValues::%EnumWBSettingNext", false, connect},
        {"EnumWBSettingRelease", "GetWBValues::%EnumWBSettingRelease", false, connect},
        {"EnumAFDistanceSettingReset", "GetAFDistances::%EnumAFDistanceSettingReset", false,
         connect},
        {"GetAFDistanceSettingCount", "GetAFDistances::%GetAFDistanceSettingCount", false, connect},
        {"EnumAFDistanceSettingNext", "GetAFDistances::%EnumAFDistanceSettingNext", false, connect},
        {"EnumAFDistanceSettingRelease", "GetAFDistances::%EnumAFDistanceSettingRelease", false,
         connect},
        {"EnumFlashSettingReset", "GetFlashModes::%EnumFlashSettingReset", false, connect},
        {"GetFlashSettingCount", "GetFlashModes::%GetFlashSettingCount", false, connect},
        {"EnumFlashSettingNext", "GetFlashModes::%EnumFlashSettingNext", false, connect},
        {"EnumFlashSettingRelease", "GetFlashModes::%EnumFlashSettingRelease", false, connect},
        {"EnumRelCamSettingReset", "GetOtherModes::%EnumRelCamSettingReset", false, connect},
        {"GetRelCamSettingCount", "GetOtherModes::%GetRelCamSettingCount", false, connect},
        {"EnumRelCamSettingNext", "GetOtherModes::%EnumRelCamSettingNext", false, connect},
        {"EnumRelCamSettingDataReset", "GetOtherModes::%EnumRelCamSettingDataReset", false,
         connect},
        {"GetRelCamSettingDataCount", "GetOtherModes::%GetRelCamSettingDataCount", false, connect},
        // The camera lists metering first, so the first value read is a metering value.
        {"EnumRelCamSettingDataNext", "GetOtherModes::Meter::%EnumRelCamSettingDataNext", false,
         connect},
        {"EnumRelCamSettingDataRelease", "GetOtherModes::%EnumRelCamSettingDataRelease", false,
         connect},
        {"EnumRelCamSettingRelease", "GetOtherModes::%EnumRelCamSettingRelease", false, connect},

        {"UnregisterEventCallbackFunction", "Disconnect::%UnregisterEventCallbackFunction", true,
         [](auto& d) { d.Disconnect(); }},
        {"TermViewfinder", "DisableViewfinder::%TermViewfinder", true,
         [](auto& d) { d.Disconnect(); }},
        {"ExitReleaseControl", "Disconnect::%ExitReleaseControl", true,
         [](auto& d) { d.Disconnect(); }},
        {"CloseSource", "Disconnect::%CloseSource", true, [](auto& d) { d.Disconnect(); }},

        {"Release", "TakePicture::%Release", true,
         [](auto& d) { d.TakePicture("/dev/null", &noProgress); }},
        {"GetReleasedData", "TakePicture::%GetReleasedData", true,
         [](auto& d) { d.TakePicture("/dev/null", nullptr); }},
        {"SelectViewFinderCameraOutput", "EnableViewfinder::%SelectViewFinderCameraOutput", true,
         [](auto& d) { d.EnableViewfinder(&noFrame); }},
        {"StartViewfinder", "EnableViewfinder::%StartViewfinder", true,
         [](auto& d) { d.EnableViewfinder(&noFrame); }},

        {"GetShootingMode", "GetShootingMode::%GetShootingMode", true,
         [](auto& d) { d.GetShootingMode(); }},
        {"GetShootingMode", "GetShootingMode::%GetShootingMode", true,
         [](auto& d) { d.GetShootingModeCode(); }},
        {"GetAvValue", "GetAV::%GetAvValue", true, [](auto& d) { d.GetAV(); }},
        {"GetAvValue", "GetAV::%GetAvValue", true, [](auto& d) { d.GetAVCode(); }},
        {"GetTvValue", "GetTV::%GetTvValue", true, [](auto& d) { d.GetTV(); }},
        {"GetTvValue", "GetTV::%GetTvValue", true, [](auto& d) { d.GetTVCode(); }},
        {"GetExposureComp", "GetExposure::%GetExposureComp", true,
         [](auto& d) { d.GetExposure(); }},
        {"GetExposureComp", "GetExposure::%GetExposureComp", true,
         [](auto& d) { d.GetExposureCode(); }},
        {"GetWBSetting", "GetWhiteBalance::%GetWBSetting", true,
         [](auto& d) { d.GetWhiteBalance(); }},
        {"GetWBSetting", "GetWhiteBalance::%GetWBSetting", true,
         [](auto& d) { d.GetWhiteBalanceCode(); }},
        {"GetAFDistanceSetting", "GetAFDistance::%GetAFDistanceSetting", true,
         [](auto& d) { d.GetAFDistance(); }},
        {"GetAFDistanceSetting", "GetAFDistance::%GetAFDistanceSetting", true,
         [](auto& d) { d.GetAFDistanceCode(); }},
        {"GetFlashSetting", "GetFlash::%GetFlashSetting", true, [](auto& d) { d.GetFlash(); }},
        {"GetFlashSetting", "GetFlash::%GetFlashSetting", true, [](auto& d) { d.GetFlashCode(); }},
        {"GetRelCamSettingData", "GetMeter::%GetRelCamSettingData", true,
         [](auto& d) { d.GetMeter(); }},
        {"GetRelCamSettingData", "GetMeter::%GetRelCamSettingData", true,
         [](auto& d) { d.GetMeterCode(); }},
        {"GetRelCamSettingData", "GetISO::%GetRelCamSettingData", true,
         [](auto& d) { d.GetISO(); }},
        {"GetRelCamSettingData", "GetISO::%GetRelCamSettingData", true,
         [](auto& d) { d.GetISOCode(); }},
        {"GetRelCamSettingData", "GetEffect::%GetRelCamSettingData", true,
         [](auto& d) { d.GetEffect(); }},
        {"GetRelCamSettingData", "GetEffect::%GetRelCamSettingData", true,
         [](auto& d) { d.GetEffectCode(); }},
        {"GetImageFormatAttribute", "GetImageSize::%GetImageFormatAttribute", true,
         [](auto& d) { d.GetImageSize(); }},
        {"GetImageFormatAttribute", "GetImageSize::%GetImageFormatAttribute", true,
         [](auto& d) { d.GetImageSizeCode(); }},
        {"GetImageFormatAttribute", "GetImageSize::%GetImageFormatAttribute", true,
         [](auto& d) { d.GetImageQuality(); }},
        {"GetImageFormatAttribute", "GetImageQuality::%GetImageFormatAttribute", true,
         [](auto& d) { d.GetImageQualityCode(); }},

        {"SetShootingMode", "SetShootingMode::%SetShootingMode", true,
         [](auto& d) { d.SetShootingMode(d.shootingModes().at(0).label); }},
        {"SetAvValue", "SetAV::%SetAvValue", true,
         [](auto& d) { d.SetAV(d.avModes().at(0).label); }},
        {"SetTvValue", "SetTV::%SetTvValue", true,
         [](auto& d) { d.SetTV(d.tvModes().at(0).label); }},
        {"SetExposureComp", "SetExposure::%SetExposureComp", true,
         [](auto& d) { d.SetExposure(d.exposures().at(0).label); }},
        {"SetWBSetting", "SetWhiteBalance::%SetWBSetting", true,
         [](auto& d) { d.SetWhiteBalance(d.wbValues().at(0).label); }},
        {"SetAFDistanceSetting", "SetAFDistance::%SetAFDistanceSetting", true,
         [](auto& d) { d.SetAFDistance(d.afDistances().at(0).label); }},
        {"SetFlashSetting", "SetFlash::%SetFlashSetting", true,
         [](auto& d) { d.SetFlash(d.flashModes().at(0).label); }},
        {"SetRelCamSettingData", "SetMeter::%SetRelCamSettingData", true,
         [](auto& d) { d.SetMeter(d.meterModes().at(0).label); }},
        {"SetRelCamSettingData", "SetISO::%SetRelCamSettingData", true,
         [](auto& d) { d.SetISO(d.isoModes().at(0).label); }},
        {"SetRelCamSettingData", "SetEffect::%SetRelCamSettingData", true,
         [](auto& d) { d.SetEffect(d.effects().at(0).label); }},
        {"GetImageFormatAttribute", "GetImageQuality::%GetImageFormatAttribute", true,
         [](auto& d) { d.SetImageSize("Small"); }},
        {"SetImageFormatAttribute", "SetImageSize::%SetImageFormatAttribute", true,
         [](auto& d) { d.SetImageSize("Small"); }},
        {"GetImageFormatAttribute", "GetImageSize::%GetImageFormatAttribute", true,
         [](auto& d) { d.SetImageQuality("Normal"); }},
        {"SetImageFormatAttribute", "SetImageQuality::%SetImageFormatAttribute", true,
         [](auto& d) { d.SetImageQuality("Normal"); }},

        {"AFLock", "SetAFLock::%AFLock", true, [](auto& d) { d.SetAFLock(true); }},
        {"GetZoomPos", "GetZoomPos::%GetZoomPos", true, [](auto& d) { d.GetZoomPos(); }},
        {"SetZoomPos", "SetZoomPos::%SetZoomPos", true, [](auto& d) { d.SetZoomPos(1); }},
    };
    return cases;
}

// Capture-session models of CanonRCSDK ("EOS 20D"); images are held until delivered.
void connectModel(camera::CanonDriver& d) { d.Connect("EOS 20D", &noEvent); }

const std::vector<StepCase>& sessionCases() {
    static const std::vector<StepCase> cases{
        {"StartCaptureSession", "Connect::%StartCaptureSession", false, connectModel},
        {"EndCaptureSession", "Disconnect::%EndCaptureSession", true,
         [](auto& d) { d.Disconnect(); }},
        {"Capture", "TakePicture::%Capture", true,
         [](auto& d) { d.TakePicture("/dev/null", nullptr); }},
        {"TakeCapturedImage", "ReleaseEventCallback::%TakeCapturedImage", true,
         [](auto& d) {
             d.TakePicture("/dev/null", nullptr);
             sim::Simulator::rc().deliverCaptures();
         }},
    };
    return cases;
}

std::vector<std::size_t> indices(std::size_t count) {
    std::vector<std::size_t> out(count);
    for (std::size_t i = 0; i < count; ++i) out[i] = i;
    return out;
}

sim::CameraSpec stepCamera(const std::string& name) {
    auto model = sim::fullCamera(name);
    model.imageSizes = {{0, "Large"}, {2, "Small"}};
    model.formats = {{3, 0}, {2, 0}, {3, 2}, {2, 2}};
    model.size = 0;
    model.quality = 3;
    model.relCamSettingIds = {sdk::kSettingMeter, sdk::kSettingIso, sdk::kSettingEffect};
    model.releaseItems = 1;
    return model;
}

std::string withPrefix(std::string step, const char* prefix) {
    step.replace(step.find('%'), 1, prefix);
    return step;
}

enum class Kind { CD, RC, RCSession };

class StepTextTest : public DriverTest,
                     public ::testing::WithParamInterface<std::tuple<Kind, std::size_t>> {
protected:
    void check(const StepCase& c, sim::Simulator& simulator, camera::CanonDriver& driver,
               const char* name) {
        if (c.connectFirst) {
            driver.Connect(name, &noEvent);
            ASSERT_TRUE(driver.isOpen());
            ASSERT_TRUE(log.entries().empty()) << log.entries().front().first;
        }
        simulator.clearJournal();
        simulator.failOnce(c.call, kFailure);
        c.run(driver);
        // The failing call was made, and it is the only failure logged.
        EXPECT_GE(simulator.countCalls(std::string(simulator.api().prefix) + c.call), 1u);
        const std::string step = withPrefix(c.step, simulator.api().prefix);
        EXPECT_EQ(log.entries(), (std::vector<Entry>{{step, camera::GetErrorText(kFailure)}}));
    }
};

TEST_P(StepTextTest, FailedCallLogsItsStep) {
    const auto [kind, index] = GetParam();
    if (kind == Kind::CD) {
        cd.setWorld({{stepCamera(kCamera)}});
        auto driver = makeCd();
        check(commonCases().at(index), cd, *driver, kCamera);
    } else if (kind == Kind::RC) {
        rc.setWorld({{stepCamera(kCamera)}});
        auto driver = makeRc();
        check(commonCases().at(index), rc, *driver, kCamera);
    } else {
        auto model = stepCamera("EOS 20D");
        model.captureSession = true;
        rc.setWorld({{model}});
        rc.setHoldCaptures(true);
        auto driver = makeRc();
        check(sessionCases().at(index), rc, *driver, "EOS 20D");
    }
}

std::string caseName(const ::testing::TestParamInfo<std::tuple<Kind, std::size_t>>& info) {
    const auto [kind, index] = info.param;
    const auto& table = kind == Kind::RCSession ? sessionCases() : commonCases();
    std::string step = table.at(index).step;
    std::string name = kind == Kind::CD ? "CD_" : kind == Kind::RC ? "RC_" : "RCSession_";
    for (char ch : step) {
        if (std::isalnum(static_cast<unsigned char>(ch))) name += ch;
        else if (ch == ':' && name.back() != '_') name += '_';
    }
    return name + "_" + std::to_string(index);
}

INSTANTIATE_TEST_SUITE_P(Common, StepTextTest,
                         ::testing::Combine(::testing::Values(Kind::CD, Kind::RC),
                                            ::testing::ValuesIn(indices(commonCases().size()))),
                         caseName);
INSTANTIATE_TEST_SUITE_P(Session, StepTextTest,
                         ::testing::Combine(::testing::Values(Kind::RCSession),
                                            ::testing::ValuesIn(indices(sessionCases().size()))),
                         caseName);

TEST_F(DriverTest, GetImageQualityReadsTwiceWithTwoStepTexts) {
    cd.setWorld({{stepCamera(kCamera)}});
    auto driver = makeCd();
    ASSERT_TRUE(driver->Connect(kCamera, nullptr));
    cd.failAlways("GetImageFormatAttribute", 0x1);
    EXPECT_EQ(driver->GetImageQuality(), "");
    EXPECT_EQ(
        log.entries(),
        (std::vector<Entry>{{"GetImageSize::CDGetImageFormatAttribute", "Unimplemented\r\n"},
                            {"GetImageQuality::CDGetImageFormatAttribute", "Unimplemented\r\n"}}));
}

TEST_F(DriverTest, NoLogCallbackMeansSilentFailures) {
    cd.setWorld({{stepCamera(kCamera)}});
    camera::CanonSDK driver(spyApi(cd), nullptr);
    cd.failAlways("GetTvValue", kFailure);
    ASSERT_TRUE(driver.Connect(kCamera, nullptr));
    EXPECT_EQ(driver.GetTV(), "");
    EXPECT_TRUE(driver.ReportError(kFailure, "Anything::CDAnything"));
    EXPECT_FALSE(driver.ReportError(0, "Anything::CDAnything"));
}

TEST_F(DriverTest, ReportErrorLogsEvenAnEmptyText) {
    auto driver = makeCd();
    EXPECT_TRUE(driver->ReportError(0x00010000, "Step::CDCall"));
    EXPECT_FALSE(driver->ReportError(0, "Other::CDCall"));
    EXPECT_EQ(log.entries(), (std::vector<Entry>{{"Step::CDCall", ""}}));
}

}   // namespace
}   // namespace testsupport
