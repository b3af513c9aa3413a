// Real cameras through the real libgphoto2 (the test camera driver on "disk:" ports, under the
// real CanonSDK driver and the document): the listing, every setting by its label, captures and
// live view.
#include "RealCameraFixture.h"

#include <map>

using namespace testsupport;

namespace {

TEST_F(RealCameraTest, ListsRealCamerasFirstThenSimulatedAndConnectsByName) {
    const std::vector<std::string> devices = doc->rcDevices();
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_EQ(devices[0], kEos);
    EXPECT_EQ(devices[1], kCompact);
    EXPECT_EQ(devices[2], "EOS 300D");

    ASSERT_TRUE(doc->ConnectCamera(kEos));
    const camera::CameraProperties p = Driver().properties();
    EXPECT_EQ(p.name, kEos);
    EXPECT_EQ(p.ownerName, "Test Owner");
    EXPECT_EQ(p.firmware, "3-1.0.9");
    EXPECT_EQ(p.batteryLevel, 5u);   // "75%" on the scale of 0 to 6
    EXPECT_TRUE(p.hasShootingModes);
    EXPECT_TRUE(p.hasViewfinder);
    EXPECT_FALSE(p.hasZoom);
    // What the EOS lacks (flash, AF distance widgets of compacts) is not offered and not logged.
    EXPECT_TRUE(Driver().flashModes().empty());
    EXPECT_EQ(Probe::logs.load(), 0) << Logs();

    // Disconnect and reconnect the other model; then a simulated camera still works.
    Driver().Disconnect();
    ASSERT_TRUE(doc->ConnectCamera(kCompact));
    EXPECT_TRUE(Driver().properties().hasZoom);
    EXPECT_EQ(Driver().properties().batteryLevel, 6u);   // "Full"
    Driver().Disconnect();
    ASSERT_TRUE(doc->ConnectCamera(devices[2]));
    EXPECT_EQ(Driver().properties().name, devices[2]);
}

TEST_F(RealCameraTest, ListingNarrowsToRealOrSimulatedCameras) {
    doc.reset();
    real.reset();
    struct Row {
        gphoto::Listing listing;
        std::vector<std::string> rc, cd;
    };
    const Row rows[] = {
        {gphoto::Listing::Real, {kEos}, {}},
        {gphoto::Listing::Simulated, {"EOS 300D"}, {"PowerShot G5"}},
    };
    sim::Simulator::cd().setWorld(WorldOf({sim::fullCamera("PowerShot G5")}));
    for (const Row& row : rows) {
        gphoto::Options options;
        options.listing = row.listing;
        options.autodetect = false;
        options.cameras = {kEos + "@disk:" + eosDisk.path()};
        options.labels = RealCameraLabels();
        real = std::make_unique<gphoto::RealCameras>(sim::Simulator::rc().api(), options);
        const sdk::Api& cd = row.listing == gphoto::Listing::Real
                                 ? gphoto::WithoutListing(sim::Simulator::cd().api())
                                 : sim::Simulator::cd().api();
        doc = std::make_unique<CViewDoc>(cd, real->api(), captures.file("config.cfg"));
        doc->UpdateDeviceList();
        EXPECT_EQ(doc->rcDevices(), row.rc);
        EXPECT_EQ(doc->cdDevices(), row.cd);
        EXPECT_TRUE(doc->ConnectCamera(row.rc.at(0)));
        doc.reset();
        real.reset();
    }
}

TEST_F(RealCameraTest, EverySettingReadsAndSetsByLabelOnBothFamilies) {
    struct Row {
        const std::string* model;
        const char* setting;
        std::vector<std::string> offered;   // exactly, in the camera's order
        const char* current;
        const char* next;
    };
    const Row rows[] = {
        {&kEos,
         "ShootingMode",
         {"Program", "TV", "AV", "Manual", "Bulb", "A Dep"},
         "Program",
         "AV"},
        {&kEos, "AV", {"2.8", "4.0", "5.6", "8.0", "11.0"}, "5.6", "8.0"},
        {&kEos, "TV", {"30", "1", "0.5", "1/4", "1/60", "1/125", "1/250", "Bulb"}, "1/125", "1/60"},
        {&kEos, "Exposure", {"-2", "-1", "-0.3", "0", "+0.3", "+0.5", "+1", "+2"}, "0", "+0.3"},
        {&kEos,
         "WhiteBalance",
         {"Auto", "Day Light", "Shade", "Cloudy", "Tungsten", "Fluorescent", "Flash"},
         "Auto",
         "Shade"},
        {&kEos, "AFDistance", {"Manual"}, "", "Manual"},
        {&kEos,
         "Meter",
         {"Evaluative", "Partial", "Spot", "Center Weight Avg"},
         "Evaluative",
         "Spot"},
        {&kEos, "ISO", {"Auto", "100", "200", "400", "800", "1600"}, "100", "400"},
        {&kEos, "Effect", {"Neutral", "Black & White"}, "", "Neutral"},
        {&kCompact,
         "ShootingMode",
         {"Auto", "Program", "TV", "AV", "Manual", "Portrait", "Night Scene"},
         "Auto",
         "Night Scene"},
        {&kCompact,
         "AFDistance",
         {"Auto", "Manual", "Super Macro", "Infinity"},
         "Auto",
         "Infinity"},
        {&kCompact, "Flash", {"Off", "Auto", "On", "Red Eye", "Slow Sync"}, "Auto", "Red Eye"},
        // Thirds in every spelling ("-1 2/3", "-1.3", "-0.7", "-1/3") offered as the labels
        // they stand for.
        {&kCompact,
         "Exposure",
         {"-2", "-1.6", "-1.3", "-1", "-0.6", "-0.3", "0", "+0.3", "+0.6", "+1", "+1.3", "+1.6",
          "+2"},
         "0",
         "-1.6"},
        {&kCompact,
         "WhiteBalance",
         {"Auto", "Day Light", "Cloudy", "Tungsten", "Fluorescent", "Fluorescent H", "Custom"},
         "Auto",
         "Tungsten"},
        {&kCompact,
         "Effect",
         {"Off", "Vivid", "Neutral", "Sepia", "Black & White"},
         "Off",
         "Sepia"},
    };
    using camera::CanonDriver;
    struct Access {
        std::vector<camera::SettingOption> (CanonDriver::*list)() const;
        std::string (CanonDriver::*get)();
        bool (CanonDriver::*set)(const std::string&);
    };
    const std::map<std::string, Access> access{
        {"ShootingMode",
         {&CanonDriver::shootingModes, &CanonDriver::GetShootingMode,
          &CanonDriver::SetShootingMode}},
        {"AV", {&CanonDriver::avModes, &CanonDriver::GetAV, &CanonDriver::SetAV}},
        {"TV", {&CanonDriver::tvModes, &CanonDriver::GetTV, &CanonDriver::SetTV}},
        {"Exposure",
         {&CanonDriver::exposures, &CanonDriver::GetExposure, &CanonDriver::SetExposure}},
        {"WhiteBalance",
         {&CanonDriver::wbValues, &CanonDriver::GetWhiteBalance, &CanonDriver::SetWhiteBalance}},
        {"AFDistance",
         {&CanonDriver::afDistances, &CanonDriver::GetAFDistance, &CanonDriver::SetAFDistance}},
        {"Flash", {&CanonDriver::flashModes, &CanonDriver::GetFlash, &CanonDriver::SetFlash}},
        {"Meter", {&CanonDriver::meterModes, &CanonDriver::GetMeter, &CanonDriver::SetMeter}},
        {"ISO", {&CanonDriver::isoModes, &CanonDriver::GetISO, &CanonDriver::SetISO}},
        {"Effect", {&CanonDriver::effects, &CanonDriver::GetEffect, &CanonDriver::SetEffect}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(*row.model + " " + row.setting);
        if (Driver().properties().name != *row.model) {
            ASSERT_TRUE(doc->ConnectCamera(*row.model));
        }
        const Access& a = access.at(row.setting);
        std::vector<std::string> offered;
        for (const camera::SettingOption& o : (Driver().*a.list)()) offered.push_back(o.label);
        EXPECT_EQ(offered, row.offered);
        EXPECT_EQ((Driver().*a.get)(), row.current);
        EXPECT_TRUE((Driver().*a.set)(row.next));
        EXPECT_EQ((Driver().*a.get)(), row.next);
        EXPECT_FALSE((Driver().*a.set)("No Such Label"));
    }
    EXPECT_EQ(Probe::logs.load(), 0) << Logs();
}

TEST_F(RealCameraTest, ImageSizeQualityAfLockAndZoom) {
    ASSERT_TRUE(doc->ConnectCamera(kEos));
    std::vector<std::string> sizes;
    for (const camera::ImageSizeOption& s : Driver().imageSizes()) sizes.push_back(s.label);
    EXPECT_EQ(sizes, (std::vector<std::string>{"Large", "Medium", "Small", "RAW + Large", "RAW"}));
    EXPECT_EQ(Driver().GetImageSize(), "Large");
    EXPECT_EQ(Driver().GetImageQuality(), "Fine");
    EXPECT_TRUE(Driver().SetImageQuality("Normal"));
    EXPECT_EQ(Driver().GetImageQuality(), "Normal");
    EXPECT_TRUE(Driver().SetImageQuality("Fine"));
    EXPECT_TRUE(Driver().SetImageSize("Medium"));
    EXPECT_EQ(Driver().GetImageSize(), "Medium");
    Driver().SetAFLock(true);
    EXPECT_EQ(Probe::logs.load(), 0) << Logs();

    ASSERT_TRUE(doc->ConnectCamera(kCompact));
    EXPECT_EQ(Driver().maxZoomPos(), 9u);
    Driver().SetZoomPos(4);
    EXPECT_EQ(Driver().GetZoomPos(), 4u);
    Driver().SetAFLock(true);
    Driver().SetAFLock(false);
    EXPECT_TRUE(Driver().SetImageSize("Medium 1"));
    EXPECT_TRUE(Driver().SetImageQuality("Superfine"));
    EXPECT_EQ(Driver().GetImageSize() + "/" + Driver().GetImageQuality(), "Medium 1/Superfine");
    EXPECT_EQ(Probe::logs.load(), 0) << Logs();
}

TEST_F(RealCameraTest, CaptureWritesADecodableJpegAtTheNumberedPathWithProgress) {
    ASSERT_TRUE(doc->ConnectCamera(kEos));
    const std::string path = doc->GetCaptureFileName();
    EXPECT_EQ(path, captures.file("Photo-0000.jpg"));
    ASSERT_TRUE(doc->TakePicture()) << Logs() << Notes();
    int w = 0, h = 0;
    ASSERT_TRUE(DecodesAsJpeg(ReadFile(path), w, h));
    EXPECT_EQ(w, 1600);
    EXPECT_EQ(h, 1066);
    EXPECT_GE(Probe::progress.load(), 3);
    EXPECT_EQ(Probe::lastProgress.load(), 100);
    EXPECT_EQ(doc->GetCaptureFileName(), captures.file("Photo-0001.jpg"));

    // RAW+JPEG: the JPEG at the numbered path, the raw file beside it under the same number.
    ASSERT_TRUE(Driver().SetImageSize("RAW + Large"));
    ASSERT_TRUE(doc->TakePicture()) << Logs();
    EXPECT_TRUE(DecodesAsJpeg(ReadFile(captures.file("Photo-0001.jpg")), w, h));
    EXPECT_EQ(ReadFile(captures.file("Photo-0001.cr2")).size(), 300000u);
    ASSERT_TRUE(doc->TakePicture()) << Logs();
    EXPECT_TRUE(Exists(captures.file("Photo-0002.cr2")));
    // No temporary is left behind.
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(captures.path())) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 5);   // config.cfg is written only at the end
    EXPECT_EQ(Probe::logs.load(), 0) << Logs();
}

TEST_F(RealCameraTest, LiveFramesReachTheReceiverAt320x240WithTheHeader) {
    Probe::keepPixels = true;
    ASSERT_TRUE(doc->ConnectCamera(kEos));
    Driver().EnableViewfinder(&CViewDoc::FrameRelay);
    ASSERT_TRUE(WaitFor([] { return Probe::frames.load() >= 3; }));
    // A capture and a setting change go first while live view runs.
    ASSERT_TRUE(doc->TakePicture()) << Logs();
    EXPECT_TRUE(Driver().SetISO("800"));
    const int seen = Probe::frames.load();
    ASSERT_TRUE(WaitFor([seen] { return Probe::frames.load() >= seen + 2; }));
    Driver().DisableViewfinder();
    EXPECT_EQ(doc->droppedFrames(), 0u);
    std::lock_guard guard(headerLock);
    ASSERT_EQ(lastHeader.size(), 54u);
    EXPECT_EQ(lastHeader[0], 'B');
    EXPECT_EQ(lastHeader[18] | lastHeader[19] << 8, 320);
    EXPECT_EQ(lastHeader[22] | lastHeader[23] << 8, 240);
    EXPECT_EQ(lastHeader[28], 24);
    // 960 x 640 fitted into 320 x 240 gives 320 x 213: black bars above and below.
    std::lock_guard pixelsGuard(Probe::lock);
    const std::vector<std::uint8_t>& frame = Probe::lastFramePixels;
    ASSERT_EQ(frame.size(), 230400u);
    EXPECT_EQ(frame[0] | frame[1] | frame[2], 0);   // bottom bar
    EXPECT_EQ(frame[230399] | frame[230398], 0);    // top bar
    EXPECT_NE(frame[120 * 320 * 3 + 160 * 3], 0);   // picture
}

TEST_F(RealCameraTest, LiveViewWithCapturesAndSettingsFromTwoThreads) {
    ASSERT_TRUE(doc->ConnectCamera(kEos));
    Driver().EnableViewfinder(&CViewDoc::FrameRelay);
    ASSERT_TRUE(WaitFor([] { return Probe::frames.load() >= 2; }));
    std::thread sequence([this] {
        for (int i = 0; i < 4; ++i) EXPECT_TRUE(doc->TakePicture());
    });
    for (int i = 0; i < 12; ++i) {
        EXPECT_TRUE(Driver().SetISO(i % 2 ? "200" : "400"));
        EXPECT_EQ(Driver().GetISO(), i % 2 ? "200" : "400");
    }
    sequence.join();
    const int seen = Probe::frames.load();
    ASSERT_TRUE(WaitFor([seen] { return Probe::frames.load() > seen; }));
    Driver().DisableViewfinder();
    for (const char* name :
         {"Photo-0000.jpg", "Photo-0001.jpg", "Photo-0002.jpg", "Photo-0003.jpg"})
        EXPECT_TRUE(Exists(captures.file(name))) << name;
    EXPECT_EQ(Probe::logs.load(), 0) << Logs();
}

}   // namespace
