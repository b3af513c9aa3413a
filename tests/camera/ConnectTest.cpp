// Driver life, device listing, connect and disconnect: call order, capabilities, name matching,
// properties, and the option lists filtered through the label tables.
#include "support/DriverTestSupport.h"

#include "camera/ErrorText.h"

#include <algorithm>

namespace testsupport {
namespace {

using camera::SettingOption;
using Options = std::vector<SettingOption>;

// Drops the per-item reads so that the order of the enumerations themselves shows.
std::vector<std::string> milestones(const std::vector<std::string>& names) {
    std::vector<std::string> out;
    for (const auto& name : names) {
        const bool perItem = name.find("Next") != std::string::npos ||
                             name.find("Count") != std::string::npos ||
                             name == "CDGetDevicePropertyData" || name == "RCGetDevicePropertyData";
        if (!perItem) out.push_back(name);
    }
    return out;
}

class ConnectTest : public DriverTest {};

TEST_F(ConnectTest, ConstructionStartsTheSdkWithItsVersionRecord) {
    auto cdDriver = makeCd();
    auto rcDriver = makeRc();
    const auto cdStart = spyCalls("CDStartSDK");
    const auto rcStart = spyCalls("RCStartSDK");
    ASSERT_EQ(cdStart.size(), 1u);
    ASSERT_EQ(rcStart.size(), 1u);
    EXPECT_EQ(cdStart[0].option, 0u);
    for (const auto& [call, major] : {std::pair{cdStart[0], 7}, std::pair{rcStart[0], 8}}) {
        ASSERT_EQ(call.bytes.size(), 40u);
        EXPECT_EQ(call.bytes[0], 40);   // 16-bit size
        EXPECT_EQ(call.bytes[1], 0);
        EXPECT_EQ(call.bytes[2], major);   // 16-bit major version
        EXPECT_EQ(call.bytes[3], 0);
        EXPECT_TRUE(std::all_of(call.bytes.begin() + 4, call.bytes.end(),
                                [](std::uint8_t b) { return b == 0; }));
    }
    EXPECT_TRUE(log.entries().empty());
}

TEST_F(ConnectTest, FailedStartIsLoggedAndTheDriverStillWorks) {
    cd.setWorld({{sim::fullCamera("PowerShot G5")}});
    rc.failOnce("StartSDK", kFailure);
    cd.failOnce("StartSDK", kFailure);
    auto cdDriver = makeCd();
    auto rcDriver = makeRc();
    EXPECT_EQ(log.entries(),
              (std::vector<Entry>{{"CanonSDK::CDStartSDK", camera::GetErrorText(kFailure)},
                                  {"CanonRCSDK::RCStartSDK", camera::GetErrorText(kFailure)}}));
    EXPECT_EQ(cdDriver->GetDevices(), std::vector<std::string>{"PowerShot G5"});
    EXPECT_TRUE(cdDriver->Connect("PowerShot G5", nullptr));
}

TEST_F(ConnectTest, DestructionDisconnectsThenFinishes) {
    cd.setWorld({{sim::fullCamera("PowerShot G5")}});
    {
        auto driver = makeCd();
        ASSERT_TRUE(driver->Connect("PowerShot G5", nullptr));
        cd.clearJournal();
        cd.failOnce("FinishSDK", 0x2);
    }
    EXPECT_EQ(callNames(cd), (std::vector<std::string>{"CDTermViewfinder", "CDExitReleaseControl",
                                                       "CDCloseSource", "CDFinishSDK"}));
    EXPECT_EQ(log.entries(),
              (std::vector<Entry>{{"~CanonSDK::CDFinishSDK", "Internal Error\r\n"}}));
    EXPECT_FALSE(cd.state("PowerShot G5")->open);
}

TEST_F(ConnectTest, GetDevicesListsInEnumerationOrder) {
    cd.setWorld(
        {{sim::fullCamera("B camera"), sim::fullCamera("A camera"), sim::fullCamera("B camera")}});
    auto driver = makeCd();
    cd.clearJournal();
    EXPECT_EQ(driver->GetDevices(), (std::vector<std::string>{"B camera", "A camera", "B camera"}));
    EXPECT_EQ(spyCalls("CDEnumDeviceReset").back().option, 1u);   // device kind 1
    EXPECT_EQ(cd.countCalls("CDEnumDeviceRelease"), 1u);
    EXPECT_FALSE(driver->isOpen());
}

TEST_F(ConnectTest, GetDevicesSkipsAFailedRecordAndStopsOnAFailedStart) {
    cd.setWorld({{sim::fullCamera("First"), sim::fullCamera("Second"), sim::fullCamera("Third")}});
    auto driver = makeCd();
    cd.failOnce("EnumDeviceNext", kFailure);
    // The failed read adds no name (neither an empty one nor a repeat); the others follow.
    const auto names = driver->GetDevices();
    EXPECT_EQ(names.size(), 2u);
    for (const auto& name : names) EXPECT_TRUE(name == "First" || name == "Second") << name;
    EXPECT_EQ(log.steps(), std::vector<std::string>{"GetDevices::CDEnumDeviceNext"});
    cd.failOnce("EnumDeviceReset", kFailure);
    cd.clearJournal();
    EXPECT_TRUE(driver->GetDevices().empty());
    EXPECT_EQ(callNames(cd),
              std::vector<std::string>{"CDEnumDeviceReset"});   // no count, no release
}

TEST_F(ConnectTest, ConnectCallOrder) {
    auto model = sim::fullCamera("PowerShot G5");
    model.relCamSettingIds = {sdk::kSettingMeter, sdk::kSettingIso, sdk::kSettingEffect};
    cd.setWorld({{sim::fullCamera("Other"), model}});
    auto driver = makeCd();
    cd.clearJournal();
    const auto event = [](std::uint32_t, const void*, std::uint32_t, void*) -> sdk::Result {
        return 0;
    };
    ASSERT_TRUE(driver->Connect("PowerShot G5", event));
    EXPECT_TRUE(driver->isOpen());
    EXPECT_EQ(milestones(callNames(cd)),
              (std::vector<std::string>{"CDEnumDeviceReset",
                                        "CDOpenSource",
                                        "CDEnumDeviceRelease",
                                        "CDEnterReleaseControl",
                                        "CDSelectReleaseDataKind",
                                        "CDEnumDevicePropertyReset",
                                        "CDEnumDevicePropertyRelease",
                                        "CDEnumSupportedImageSizeReset",
                                        "CDEnumSupportedImageSizeRelease",
                                        "CDEnumImageFormatAttributeReset",
                                        "CDEnumImageFormatAttributeRelease",
                                        "CDGetMaximumZoomPos",
                                        "CDEnumShootingModeReset",
                                        "CDEnumShootingModeRelease",
                                        "CDEnumAvValueReset",
                                        "CDEnumAvValueRelease",
                                        "CDEnumTvValueReset",
                                        "CDEnumTvValueRelease",
                                        "CDEnumExposureCompReset",
                                        "CDEnumExposureCompRelease",
                                        "CDEnumWBSettingReset",
                                        "CDEnumWBSettingRelease",
                                        "CDEnumAFDistanceSettingReset",
                                        "CDEnumAFDistanceSettingRelease",
                                        "CDEnumFlashSettingReset",
                                        "CDEnumFlashSettingRelease",
                                        "CDEnumRelCamSettingReset",
                                        "CDEnumRelCamSettingDataReset",
                                        "CDEnumRelCamSettingDataRelease",
                                        "CDEnumRelCamSettingDataReset",
                                        "CDEnumRelCamSettingDataRelease",
                                        "CDEnumRelCamSettingDataReset",
                                        "CDEnumRelCamSettingDataRelease",
                                        "CDEnumRelCamSettingRelease",
                                        "CDRegisterEventCallbackFunction"}));
    // Both device records were read before the open; the second one matched.
    EXPECT_EQ(cd.countCalls("CDEnumDeviceNext"), 2u);
    EXPECT_EQ(spyCalls("CDSelectReleaseDataKind").at(0).option, 2u);
    const auto enter = spyCalls("CDEnterReleaseControl").at(0);
    EXPECT_FALSE(enter.hasCallback);
    EXPECT_EQ(enter.context, nullptr);
    EXPECT_EQ(spyCalls("CDRegisterEventCallbackFunction").at(0).context, nullptr);
    EXPECT_TRUE(cd.state("PowerShot G5")->open);
    EXPECT_TRUE(cd.state("PowerShot G5")->releaseControl);
    EXPECT_TRUE(log.entries().empty());
}

TEST_F(ConnectTest, NoEventCallbackNoRegistrationAndNoUnregistration) {
    cd.setWorld({{sim::fullCamera("PowerShot G5")}});
    auto driver = makeCd();
    ASSERT_TRUE(driver->Connect("PowerShot G5", nullptr));
    driver->Disconnect();
    EXPECT_EQ(cd.countCalls("CDRegisterEventCallbackFunction"), 0u);
    EXPECT_EQ(cd.countCalls("CDUnregisterEventCallbackFunction"), 0u);
}

TEST_F(ConnectTest, DisconnectCallOrderAndClearedState) {
    cd.setWorld({{sim::fullCamera("PowerShot G5")}});
    auto driver = makeCd();
    const auto event = [](std::uint32_t, const void*, std::uint32_t, void*) -> sdk::Result {
        return 0;
    };
    ASSERT_TRUE(driver->Connect("PowerShot G5", event));
    ASSERT_FALSE(driver->tvModes().empty());
    const std::uint32_t maxZoom = driver->maxZoomPos();
    cd.clearJournal();
    driver->Disconnect();
    EXPECT_EQ(callNames(cd),
              (std::vector<std::string>{"CDUnregisterEventCallbackFunction", "CDTermViewfinder",
                                        "CDExitReleaseControl", "CDCloseSource"}));
    EXPECT_FALSE(driver->isOpen());
    EXPECT_EQ(driver->properties(), camera::CameraProperties{});
    EXPECT_TRUE(driver->imageSizes().empty());
    EXPECT_TRUE(driver->shootingModes().empty());
    EXPECT_TRUE(driver->avModes().empty());
    EXPECT_TRUE(driver->tvModes().empty());
    EXPECT_TRUE(driver->exposures().empty());
    EXPECT_TRUE(driver->wbValues().empty());
    EXPECT_TRUE(driver->afDistances().empty());
    EXPECT_TRUE(driver->flashModes().empty());
    EXPECT_TRUE(driver->meterModes().empty());
    EXPECT_TRUE(driver->isoModes().empty());
    EXPECT_TRUE(driver->effects().empty());
    EXPECT_EQ(driver->maxZoomPos(), maxZoom);   // zoom limits keep their values

    cd.clearJournal();
    driver->Disconnect();   // idle: no SDK call
    EXPECT_TRUE(cd.journal().empty());
    EXPECT_TRUE(log.entries().empty());
}

TEST_F(ConnectTest, ConnectOnAnOpenDriverClosesTheOpenCameraFirst) {
    cd.setWorld({{sim::fullCamera("One"), sim::fullCamera("Two")}});
    auto driver = makeCd();
    ASSERT_TRUE(driver->Connect("One", nullptr));
    cd.clearJournal();
    ASSERT_TRUE(driver->Connect("Two", nullptr));
    const auto names = callNames(cd);
    const auto close = std::find(names.begin(), names.end(), "CDCloseSource");
    const auto open = std::find(names.begin(), names.end(), "CDOpenSource");
    ASSERT_NE(close, names.end());
    ASSERT_NE(open, names.end());
    EXPECT_LT(close - names.begin(), open - names.begin());
    EXPECT_FALSE(cd.state("One")->open);
    EXPECT_TRUE(cd.state("Two")->open);
    EXPECT_EQ(driver->properties().name, "Two");
}

TEST_F(ConnectTest, NameMatchingIsWholeTextAndFirstOfDuplicates) {
    auto first = sim::fullCamera("Twin");
    first.owner = "First Owner";
    auto second = sim::fullCamera("Twin");
    second.owner = "Second Owner";
    cd.setWorld({{sim::fullCamera("EOS 10D"), first, second}});
    auto driver = makeCd();
    for (const char* name : {"EOS", "EOS 10D ", "EOS 10", "eos 10d", "", "Twin2", "Twi"}) {
        cd.clearJournal();
        EXPECT_FALSE(driver->Connect(name, nullptr)) << name;
        EXPECT_FALSE(driver->isOpen()) << name;
        EXPECT_EQ(cd.countCalls("CDOpenSource"), 0u) << name;
        EXPECT_EQ(cd.countCalls("CDEnumDeviceRelease"), 1u) << name;
    }
    EXPECT_TRUE(log.entries().empty());   // an unknown name is not an SDK failure
    ASSERT_TRUE(driver->Connect("Twin", nullptr));
    EXPECT_EQ(driver->properties().ownerName, "First Owner");
}

TEST_F(ConnectTest, RemovedCameraIsNotFound) {
    cd.setWorld({{sim::fullCamera("Gone")}});
    auto driver = makeCd();
    ASSERT_EQ(driver->GetDevices(), std::vector<std::string>{"Gone"});
    cd.removeCamera("Gone");
    EXPECT_FALSE(driver->Connect("Gone", nullptr));
    EXPECT_FALSE(driver->isOpen());
}

TEST_F(ConnectTest, FailedOpenLeavesTheDriverIdleWithoutCallsOnANullSource) {
    cd.setWorld({{sim::fullCamera("PowerShot G5")}});
    auto driver = makeCd();
    cd.failOnce("OpenSource", kFailure);
    cd.clearJournal();
    EXPECT_FALSE(driver->Connect("PowerShot G5", nullptr));
    EXPECT_FALSE(driver->isOpen());
    EXPECT_EQ(
        milestones(callNames(cd)),
        (std::vector<std::string>{"CDEnumDeviceReset", "CDOpenSource", "CDEnumDeviceRelease"}));
    EXPECT_EQ(log.steps(), std::vector<std::string>{"Connect::CDOpenSource"});
}

TEST_F(ConnectTest, FailureAfterOpenIsLoggedAndConnectStillSucceeds) {
    cd.setWorld({{sim::fullCamera("PowerShot G5")}});
    auto driver = makeCd();
    cd.failOnce("EnterReleaseControl", kFailure);
    EXPECT_TRUE(driver->Connect("PowerShot G5", nullptr));
    EXPECT_TRUE(driver->isOpen());
    EXPECT_EQ(log.steps(), std::vector<std::string>{"Connect::CDEnterReleaseControl"});
}

TEST_F(ConnectTest, PropertiesAndFirmwareLastWord) {
    struct Case {
        const char* firmware;
        const char* expected;
    };
    for (const Case& c : {Case{"Firmware Version 1.0.2", "1.0.2"}, Case{"1.1.0", "1.1.0"},
                          Case{"   ", ""}, Case{"", ""}}) {
        auto model = sim::fullCamera("PowerShot G5");
        model.owner = "Ada";
        model.firmwareText = c.firmware;
        model.battery = 77;
        cd.setWorld({{model}});
        auto driver = makeCd();
        ASSERT_TRUE(driver->Connect("PowerShot G5", nullptr));
        const auto props = driver->properties();
        EXPECT_EQ(props.name, "PowerShot G5");
        EXPECT_EQ(props.ownerName, "Ada");
        EXPECT_EQ(props.firmware, c.expected) << c.firmware;
        EXPECT_EQ(props.batteryLevel, 77u);
        EXPECT_TRUE(props.hasZoom && props.hasShootingModes && props.hasViewfinder);
    }
    // Every property data read asks for the 32-byte buffer's capacity.
    const auto reads = spyCalls("CDGetDevicePropertyData");
    ASSERT_FALSE(reads.empty());
    for (const auto& read : reads) EXPECT_EQ(read.option, 32u);
}

TEST_F(ConnectTest, CapabilityBits) {
    auto zoomed = sim::fullCamera("Zoomed");
    zoomed.zoomFirst = 2;
    zoomed.maxZoomPos = 12;
    auto plain = sim::fullCamera("Plain");
    plain.hasZoom = false;
    plain.hasShootingModes = false;
    plain.hasViewfinder = false;
    plain.maxZoomPos = 99;
    cd.setWorld({{zoomed, plain}});
    auto driver = makeCd();
    ASSERT_TRUE(driver->Connect("Zoomed", nullptr));
    EXPECT_EQ(driver->maxZoomPos(), 12u);
    EXPECT_EQ(driver->zoomFirst(), 2u);
    EXPECT_FALSE(driver->shootingModes().empty());

    cd.clearJournal();
    ASSERT_TRUE(driver->Connect("Plain", nullptr));
    const auto props = driver->properties();
    EXPECT_FALSE(props.hasZoom);
    EXPECT_FALSE(props.hasShootingModes);
    EXPECT_FALSE(props.hasViewfinder);
    EXPECT_EQ(driver->maxZoomPos(), 12u);   // the earlier camera's limit stays
    EXPECT_EQ(cd.countCalls("CDGetMaximumZoomPos"), 0u);
    EXPECT_TRUE(driver->shootingModes().empty());
    EXPECT_EQ(cd.countCalls("CDEnumShootingModeReset"), 0u);
    EXPECT_FALSE(driver->tvModes().empty());   // the other lists are still read

    cd.clearJournal();
    driver->EnableViewfinder(
        [](void*, std::uint32_t, std::uint32_t, void*) -> sdk::Result { return 0; });
    driver->Disconnect();
    EXPECT_EQ(cd.countCalls("CDSelectViewFinderCameraOutput"), 0u);
    EXPECT_EQ(cd.countCalls("CDStartViewfinder"), 0u);
    EXPECT_EQ(cd.countCalls("CDTermViewfinder"), 0u);
}

TEST_F(ConnectTest, ListsHoldOnlyLabelledCodesInEnumerationOrder) {
    auto model = sim::fullCamera("PowerShot G5");
    model.av = {8, 9, 11};
    model.tv = {112, 113, 4};
    model.wb = {13, 1, 0};
    model.exposure = {48, 24, 0};
    model.afDistance = {10, 11};
    model.flash = {6, 7, 0};
    model.shootingModes = {109, 8, 100, 123};
    model.relCamSettingIds = {sdk::kSettingEffect, 0x8000001, sdk::kSettingMeter, sdk::kSettingIso};
    model.meter = {1, 6, 5};
    model.iso = {120, 1, 0};
    model.effect = {100, 7};
    cd.setWorld({{model}});
    auto driver = makeCd();
    ASSERT_TRUE(driver->Connect("PowerShot G5", nullptr));
    EXPECT_EQ(driver->avModes(), (Options{{8, "1.0"}, {11, "1.1"}}));
    EXPECT_EQ(driver->tvModes(), (Options{{112, "1/125"}, {4, "Bulb"}}));
    EXPECT_EQ(driver->wbValues(), (Options{{1, "Day Light"}, {0, "Auto"}}));
    EXPECT_EQ(driver->exposures(), (Options{{48, "-3"}, {24, "0"}, {0, "+3"}}));
    EXPECT_EQ(driver->afDistances(), (Options{{10, "Infinity"}}));
    EXPECT_EQ(driver->flashModes(), (Options{{6, "On + Red Eye"}, {0, "Off"}}));
    EXPECT_EQ(driver->shootingModes(), (Options{{109, "Spot"}, {123, "Snow"}}));
    EXPECT_EQ(driver->meterModes(), (Options{{1, "Spot"}, {5, "Center Weight Avg 2"}}));
    EXPECT_EQ(driver->isoModes(), (Options{{120, "6400"}, {0, "Auto"}}));
    EXPECT_EQ(driver->effects(), (Options{{100, "My Color"}}));
    EXPECT_EQ(cd.countCalls("CDEnumRelCamSettingDataReset"), 3u);   // unknown id skipped
}

TEST_F(ConnectTest, MissingMeteringIdLeavesOnlyItsListEmpty) {
    auto model = sim::fullCamera("PowerShot G5");
    model.relCamSettingIds = {sdk::kSettingIso, sdk::kSettingEffect};
    cd.setWorld({{model}});
    auto driver = makeCd();
    ASSERT_TRUE(driver->Connect("PowerShot G5", nullptr));
    EXPECT_TRUE(driver->meterModes().empty());
    EXPECT_FALSE(driver->isoModes().empty());
    EXPECT_FALSE(driver->effects().empty());
}

TEST_F(ConnectTest, FailedItemReadsAreSkippedNotFilledWithStaleCodes) {
    auto model = sim::fullCamera("PowerShot G5");
    model.exposure = {24, 32};
    model.meter = {3, 1};
    model.relCamSettingIds = {sdk::kSettingMeter};
    cd.setWorld({{model}});
    auto driver = makeCd();
    cd.failOnce("EnumExposureCompNext", kFailure);
    cd.failOnce("EnumRelCamSettingDataNext", kFailure);
    ASSERT_TRUE(driver->Connect("PowerShot G5", nullptr));
    // One item fewer, and no code 0 ("+3", "Center Weight Avg") left over from the failed read.
    const auto exposures = driver->exposures();
    ASSERT_EQ(exposures.size(), 1u);
    EXPECT_TRUE(exposures[0] == (SettingOption{24, "0"}) ||
                exposures[0] == (SettingOption{32, "-1"}));
    const auto meter = driver->meterModes();
    ASSERT_EQ(meter.size(), 1u);
    EXPECT_TRUE(meter[0] == (SettingOption{3, "Evaluative"}) ||
                meter[0] == (SettingOption{1, "Spot"}));
    EXPECT_EQ(log.steps(),
              (std::vector<std::string>{"GetExposures::CDEnumExposureCompNext",
                                        "GetOtherModes::Meter::CDEnumRelCamSettingDataNext"}));
}

TEST_F(ConnectTest, FailedDataEnumerationStartLeavesThatListEmpty) {
    auto model = sim::fullCamera("PowerShot G5");
    model.relCamSettingIds = {sdk::kSettingMeter, sdk::kSettingIso, sdk::kSettingEffect};
    cd.setWorld({{model}});
    auto driver = makeCd();
    cd.failOnce("EnumRelCamSettingDataReset", kFailure);
    ASSERT_TRUE(driver->Connect("PowerShot G5", nullptr));
    EXPECT_TRUE(driver->meterModes().empty());
    EXPECT_FALSE(driver->isoModes().empty());
    EXPECT_FALSE(driver->effects().empty());
    EXPECT_EQ(cd.countCalls("CDEnumRelCamSettingDataRelease"), 2u);
}

TEST_F(ConnectTest, ImageSizesAndQualityPairs) {
    auto model = sim::fullCamera("PowerShot G5");
    model.imageSizes = {{0, "Large"}, {1, "Medium"}, {1, "Medium Again"}, {2, ""}};
    model.formats = {{3, 0}, {6, 0}, {2, 1}, {5, 7}, {1, 1}, {4, 2}, {5, 0}};
    model.quality = 3;
    model.size = 0;
    cd.setWorld({{model}});
    auto driver = makeCd();
    ASSERT_TRUE(driver->Connect("PowerShot G5", nullptr));
    const std::vector<camera::ImageSizeOption> expected{
        {0, "Large", {{3, "Fine"}, {5, "Superfine"}}},
        {1, "Medium", {{2, "Normal"}, {1, "Economy"}}},
        {1, "Medium Again", {}},
        {2, "", {{4, "Lossless"}}},
    };
    EXPECT_EQ(driver->imageSizes(), expected);
}

TEST_F(ConnectTest, RereadingAListReplacesIt) {
    cd.setWorld({{sim::fullCamera("PowerShot G5")}});
    auto driver = makeCd();
    ASSERT_TRUE(driver->Connect("PowerShot G5", nullptr));
    const auto before = driver->tvModes();
    driver->GetTVModes();
    EXPECT_EQ(driver->tvModes(), before);   // emptied first, not appended to
    cd.failOnce("EnumTvValueReset", kFailure);
    driver->GetTVModes();
    EXPECT_TRUE(driver->tvModes().empty());
}

}   // namespace
}   // namespace testsupport

namespace testsupport {
namespace {

// A table whose counts and sizes are 0xFFFFFFFF: the listing ends, nothing that big is allocated.
sdk::Api hugeCounts;
sdk::Result (*realDataReset)(sdk::Handle, std::uint32_t, sdk::Handle*, std::uint32_t*) = nullptr;

TEST_F(ConnectTest, CountsAndSizesFromTheSdkAreBoundedAndRefusalsLogged) {
    hugeCounts = cd.api();
    realDataReset = hugeCounts.EnumRelCamSettingDataReset;
    hugeCounts.EnumRelCamSettingDataReset = [](sdk::Handle s, std::uint32_t id, sdk::Handle* e,
                                               std::uint32_t* size) {
        const sdk::Result r = realDataReset(s, id, e, size);
        if (id == sdk::kSettingIso) *size = 0xFFFFFFFF;
        return r;
    };
    {
        camera::CanonSDK driver(hugeCounts, log.callback());
        ASSERT_TRUE(driver.Connect("PowerShot G5", nullptr));
        EXPECT_TRUE(driver.isoModes().empty());
        EXPECT_FALSE(driver.meterModes().empty());
        EXPECT_EQ(log.entries(), (std::vector<Entry>{{"GetOtherModes::CDEnumRelCamSettingDataReset",
                                                      "refused count 4294967295 (at most 1024)"}}));
    }
    log.clear();
    hugeCounts.GetDeviceCount = [](sdk::Handle, std::uint32_t* n) -> sdk::Result {
        *n = 0xFFFFFFFF;
        return sdk::kOk;
    };
    camera::CanonSDK driver(hugeCounts, log.callback());
    EXPECT_TRUE(driver.GetDevices().empty());
    EXPECT_EQ(log.steps(), std::vector<std::string>{"GetDevices::CDGetDeviceCount"});
    log.clear();
    hugeCounts.GetDeviceCount = [](sdk::Handle, std::uint32_t* n) -> sdk::Result {
        *n = 1000;
        return sdk::kOk;
    };
    hugeCounts.EnumDeviceNext = [](sdk::Handle, sdk::DeviceRecord*) { return kFailure; };
    EXPECT_TRUE(driver.GetDevices().empty());
    EXPECT_EQ(log.entries().size(), 8u);   // a run of eight failed reads ends the listing
}

}   // namespace
}   // namespace testsupport

namespace testsupport {
namespace {

// What the settings pane and the live view read after a plain connect: every setting's code
// and label, the zoom, the viewfinder. A camera lacking a feature (no zoom on the EOS 10D and
// 20D, no effect on the PowerShot S70) is not asked for it, so nothing is logged.
TEST_F(ConnectTest, PlainConnectToEveryDefaultCameraLogsNothing) {
    auto cdDriver = makeCd();
    auto rcDriver = makeRc();
    for (camera::CanonDriver* driver : {static_cast<camera::CanonDriver*>(cdDriver.get()),
                                        static_cast<camera::CanonDriver*>(rcDriver.get())}) {
        const auto names = driver->GetDevices();
        ASSERT_EQ(names.size(), 2u);
        for (const std::string& name : names) {
            SCOPED_TRACE(name);
            log.clear();
            ASSERT_TRUE(driver->Connect(name, nullptr));
            for (const camera::SettingInfo& setting : camera::kSettings) {
                driver->GetCode(setting.key);
                driver->GetLabel(setting.key);
            }
            driver->SetZoomPos(driver->GetZoomPos());
            driver->EnableViewfinder(
                [](void*, std::uint32_t, std::uint32_t, void*) { return sdk::kOk; });
            driver->Disconnect();
            EXPECT_EQ(log.entries(), std::vector<Entry>{});
        }
    }
    // Without zoom: not asked for it, and a position is not sent.
    for (const std::string& call : callNames(rc))
        EXPECT_TRUE(call != "RCGetZoomPos" && call != "RCSetZoomPos") << call;
}

}   // namespace
}   // namespace testsupport
