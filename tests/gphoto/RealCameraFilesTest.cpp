// Real cameras through the real libgphoto2: the files of each picture reach the capture folder
// whole and once (busy transfers, RAW+JPEG pairs, pictures taken on the body, the camera's RAM
// and card), implausible numbers are refused, and the magnified live view stays on the sensor.
#include "RealCameraFixture.h"

#include "camera/BusyRetry.h"

using namespace testsupport;

namespace {

// A picture the camera has taken is never lost to a busy transfer: the window's release
// answers at once and the file arrives later from the camera thread's own retries; a worker's
// retry gets the same file; one taken on the body is fetched again too.
TEST_F(RealCameraTest, ABusyTransferLosesNoPicture) {
    struct Row {
        const char* how;
        camera::BusyRetry busy;
        bool released;   // by Kestrel (else the body's button)
        bool answered;   // TakePicture's answer
        const char* inject;
    } rows[] = {{"window release", {}, true, false, "file -110 1\n"},
                {"worker release", {5, std::chrono::milliseconds(0)}, true, true, "file -110 3\n"},
                {"body's button", {}, false, true, "file -110 1\n"}};
    ASSERT_TRUE(doc->ConnectCamera(kEos));
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.how);
        const std::string folder = captures.file("busy" + std::to_string(n++));
        doc->SetCaptureFolder(folder + "/");
        Inject(eosDisk, row.inject);
        if (row.released) {
            const auto t0 = std::chrono::steady_clock::now();
            EXPECT_EQ(doc->TakePicture(nullptr, row.busy), row.answered) << Logs();
            if (!row.answered) {   // one try of each call, no waiting on the camera thread
                EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(400));
            }
        } else {
            std::ofstream(eosDisk.file("shutter")) << 1;
        }
        ASSERT_TRUE(WaitFor([&] { return Exists(folder) && Listing(folder).size() == 1; }));
        int w = 0, h = 0;
        EXPECT_TRUE(DecodesAsJpeg(ReadFile(folder + "/" + Listing(folder).at(0)), w, h));
    }
    EXPECT_EQ(Notes().find("left on the camera"), std::string::npos) << Notes();
    Driver().Disconnect();
}

TEST_F(RealCameraTest, EveryFileOfAReleaseArrivesWholeUnderOneNumberWithItsOwnExtension) {
    struct Row {
        const char* format;
        const char* release;   // when the second file comes, and which comes first
        std::vector<std::string> files;
        const char* late;   // the console line of a file that came after the wait, or ""
    } rows[] = {
        {"Large", "", {"Photo-0000.jpg"}, ""},
        {"RAW", "", {"Photo-0000.cr2"}, ""},
        {"RAW + Large", "120 jpeg-first", {"Photo-0000.cr2", "Photo-0000.jpg"}, ""},
        {"RAW + Large", "400 raw-first", {"Photo-0000.cr2", "Photo-0000.jpg"}, ""},
        // Past the release's wait: the file still comes, under its picture's number.
        {"RAW + Large",
         "3300 jpeg-first",
         {"Photo-0000.cr2", "Photo-0000.jpg"},
         "Late file of the last capture: IMG_0005.CR2\r\nSaved Photo-0000.cr2 (300.0 KB)\r\n"},
    };
    ASSERT_TRUE(doc->ConnectCamera(kEos));
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.format) + " " + row.release);
        const std::string folder = captures.file("row" + std::to_string(n++));
        doc->SetCaptureFolder(folder + "/");
        std::ofstream(eosDisk.file("release")) << row.release;
        ASSERT_TRUE(Driver().SetImageSize(row.format));
        const std::string before = console.text();
        ASSERT_TRUE(doc->TakePicture()) << Logs();
        doc->PhotoCaptured();
        if (*row.late) {   // the file is renamed into place before its line is written
            ASSERT_TRUE(
                WaitFor([&] { return console.text().find(row.late) != std::string::npos; }));
        }
        EXPECT_EQ(Listing(folder), row.files);
        int w = 0, h = 0;
        for (const std::string& name : row.files) {
            const std::string bytes = ReadFile(folder + "/" + name);
            if (name.ends_with(".jpg")) {
                EXPECT_TRUE(DecodesAsJpeg(bytes, w, h)) << name;
            } else {
                EXPECT_EQ(bytes.size(), 300000u) << name;
            }
            // Each file is said under its own name.
            EXPECT_NE(console.text().find("Saved " + name, before.size()), std::string::npos);
        }
    }
    std::remove(eosDisk.file("release").c_str());
    EXPECT_EQ(Probe::logs.load(), 0) << Logs();
}

TEST_F(RealCameraTest, PicturesTakenOnTheBodyArriveWithLiveViewOnOrOff) {
    ASSERT_TRUE(doc->ConnectCamera(kEos));
    ASSERT_TRUE(Driver().SetImageSize("RAW + Large"));
    for (const bool live : {false, true}) {
        SCOPED_TRACE(live ? "live view on" : "live view off");
        const std::string folder = captures.file(live ? "live" : "still");
        doc->SetCaptureFolder(folder + "/");
        if (live) Driver().EnableViewfinder(&CViewDoc::FrameRelay);
        const std::string before = console.text();
        std::ofstream(eosDisk.file("shutter")) << 2;   // two presses of the body's button
        ASSERT_TRUE(WaitFor([&] { return Exists(folder) && Listing(folder).size() == 4; }));
        EXPECT_EQ(Listing(folder), (std::vector<std::string>{"Photo-0000.cr2", "Photo-0000.jpg",
                                                             "Photo-0001.cr2", "Photo-0001.jpg"}));
        const std::string base = live ? "IMG_0003" : "IMG_0001";
        EXPECT_NE(console.text().find(
                      "Picture taken on the camera: " + base + ".JPG\r\nSaved Photo-0000.jpg (",
                      before.size()),
                  std::string::npos)
            << console.text();
        if (live) Driver().DisableViewfinder();
    }
    EXPECT_EQ(Probe::logs.load(), 0) << Logs();
}

TEST_F(RealCameraTest, AFileAnnouncedAgainIsNotFetchedAgain) {
    ASSERT_TRUE(doc->ConnectCamera(kEos));
    const std::string folder = captures.file("again");
    doc->SetCaptureFolder(folder + "/");
    std::ofstream(eosDisk.file("shutter")) << 1;
    ASSERT_TRUE(WaitFor([&] { return Exists(folder) && Listing(folder).size() == 1; }));
    // The same file forty times, then a new picture: only the new one arrives.
    std::ofstream(eosDisk.file("announce")) << "IMG_0001.JPG 40";
    std::ofstream(eosDisk.file("shutter")) << 1;
    ASSERT_TRUE(WaitFor([&] {
        return console.text().find("IMG_0002.JPG\r\nSaved ") != std::string::npos;
    })) << console.text();
    EXPECT_EQ(Listing(folder), (std::vector<std::string>{"Photo-0000.jpg", "Photo-0001.jpg"}));
    const std::string text = console.text();
    std::size_t announced = 0;
    for (std::size_t at = text.find("Picture taken on the camera"); at != std::string::npos;
         at = text.find("Picture taken on the camera", at + 1))
        ++announced;
    EXPECT_EQ(announced, 2u) << text;
    EXPECT_EQ(Probe::logs.load(), 0) << Logs();
}

TEST_F(RealCameraTest, PicturesInTheCameraRamLeaveItOncSavedAndOnesOnTheCardStay) {
    struct Row {
        const char* ram;   // capacity, or "" for the card
        int releases;
        const char* left;                         // files the camera holds afterwards
    } rows[] = {{"20", 60, "0"}, {"", 3, "3"}};   // 60 releases: three times what the RAM holds
    for (const Row& row : rows) {
        SCOPED_TRACE(*row.ram ? "RAM" : "card");
        TempDir disk;
        if (*row.ram) std::ofstream(disk.file("ram")) << row.ram;
        doc.reset();
        real.reset();
        gphoto::Options options;
        options.autodetect = false;
        options.cameras = {kEos + "@disk:" + disk.path()};
        options.labels = RealCameraLabels();
        real = std::make_unique<gphoto::RealCameras>(sim::Simulator::rc().api(), options);
        doc = std::make_unique<CViewDoc>(sim::Simulator::cd().api(), real->api(),
                                         captures.file("config.cfg"));
        const std::string folder = captures.file(*row.ram ? "ram" : "card");
        doc->SetCaptureFolder(folder + "/");
        doc->UpdateDeviceList();
        ASSERT_TRUE(doc->ConnectCamera(kEos));
        for (int i = 0; i < row.releases; ++i) ASSERT_TRUE(doc->TakePicture()) << i;
        EXPECT_EQ(Listing(folder).size(), static_cast<std::size_t>(row.releases));
        EXPECT_EQ(ReadFile(disk.file("stored")), row.left);
        if (!*row.ram) continue;
        // A delete the camera answers busy is made again at a later tick: the RAM empties.
        Inject(disk, "delete -110 2\n");
        ASSERT_TRUE(doc->TakePicture());
        EXPECT_TRUE(WaitFor([&] { return ReadFile(disk.file("stored")) == "0"; }));
    }
}

TEST_F(RealCameraTest, ImplausibleNumbersFromACameraAreRefused) {
    // A zoom range of NaN: no zoom offered, nothing cast from it.
    std::ofstream(compactDisk.file("zoomrange")) << "nan nan";
    ASSERT_TRUE(doc->ConnectCamera(kCompact));
    EXPECT_FALSE(Driver().properties().hasZoom);
    EXPECT_EQ(Driver().GetZoomPos(), 0u);
    EXPECT_EQ(Probe::logs.load(), 0) << Logs();

    // A preview that claims 65,500 x 65,500 pixels: refused before it is decoded, said once.
    std::ofstream(eosDisk.file("preview-size")) << "65500 65500";
    ASSERT_TRUE(doc->ConnectCamera(kEos));   // the compact's live view has stopped
    Probe::frames = 0;
    ASSERT_TRUE(WaitFor([this] { return ReadFile(eosDisk.file("preview-at")).size() > 0; }));
    std::remove(eosDisk.file("preview-at").c_str());
    ASSERT_TRUE(WaitFor([this] { return Exists(eosDisk.file("preview-at")); }));
    EXPECT_EQ(Probe::frames.load(), 0);
    std::remove(eosDisk.file("preview-size").c_str());
    ASSERT_TRUE(WaitFor([] { return Probe::frames.load() >= 1; }));
    Driver().DisableViewfinder();
    const std::string refused =
        "Live view frame refused: the camera sent 65500 x 65500 pixels (at most 8192 x 8192)\n";
    const std::string notes = Notes();
    EXPECT_NE(notes.find(refused), std::string::npos) << notes;
    EXPECT_EQ(notes.find(refused), notes.rfind(refused)) << notes;
}

// The camera's own magnified live view: offered by a real EOS body only; the body keeps the
// magnified area on its sensor (6000 x 4000 in the test camera), and a refused call is logged.
TEST_F(RealCameraTest, MagnifiedLiveViewIsOfferedSetAndKeptOnTheSensor) {
    struct Row {
        std::string camera, magnifyControl, inject;
        std::uint32_t factor, x, y;
        bool offered, set;
        std::uint32_t wantX, wantY;
    };
    const std::vector<Row> rows{
        {kEos, "", "", 5, 2500, 1500, true, true, 2500, 1500},
        {kEos, "", "", 10, 9000, 9000, true, true, 5400, 3600},
        {kEos, "", "", 5, 4900, 10, true, true, 4800, 10},
        {kEos, "", "set -2 1\n", 5, 10, 10, true, false, 10, 10},
        {kCompact, "", "", 5, 10, 10, false, false, 10, 10},
        {kEos, "off\n", "", 5, 10, 10, false, false, 10, 10},
        {"EOS 300D", "", "", 5, 10, 10, false, false, 10, 10},   // simulated
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.camera + " " + row.magnifyControl + row.inject + std::to_string(row.x));
        std::ofstream(eosDisk.file("magnify")) << row.magnifyControl;
        ASSERT_TRUE(doc->ConnectCamera(row.camera));
        Inject(eosDisk, row.inject);
        const int logsBefore = Probe::logs.load();
        EXPECT_EQ(Driver().properties().hasMagnify, row.offered);
        std::uint32_t x = row.x, y = row.y, factor = 0;
        EXPECT_EQ(Driver().SetMagnify(row.factor, x, y), row.set);
        EXPECT_EQ(Probe::logs.load() - logsBefore, row.offered && !row.set ? 1 : 0) << Logs();
        if (!row.set) continue;
        EXPECT_EQ(std::to_string(x) + "," + std::to_string(y),
                  std::to_string(row.wantX) + "," + std::to_string(row.wantY));
        ASSERT_TRUE(Driver().GetMagnify(factor, x, y));
        EXPECT_EQ(factor, row.factor);
        EXPECT_TRUE(Driver().SetMagnify(1, x, y));
        ASSERT_TRUE(Driver().GetMagnify(factor, x, y));
        EXPECT_EQ(factor, 1u);
    }
}

}   // namespace
