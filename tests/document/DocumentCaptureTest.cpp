// Captures through the document (file names on disk, raw numbering, refusals and their console
// lines, capture-session reservations), the stitch and stacking steps of the frame relay, and
// the histogram interval.
#include "support/DocumentFixture.h"

#include <sys/stat.h>

using namespace testsupport;

namespace {

bool AllBytes(const FrameBuffers::Frame& f, std::uint8_t v) {
    return std::all_of(f.begin(), f.end(), [v](std::uint8_t b) { return b == v; });
}

// ---- Captures ----

TEST_F(DocumentTest, CapturesAreNumberedFromTheFilesOnDisk) {
    CViewDoc& d = Connected("PowerShot G5");
    WriteFile(dir.file("Photo-0041.jpg"), "earlier run");
    EXPECT_EQ(d.GetCaptureFileName(), dir.folder() + "Photo-0042.jpg");
    d.setOnProgress(&Probe::OnProgress);
    ASSERT_TRUE(d.TakePicture());
    EXPECT_GT(ReadFile(dir.file("Photo-0042.jpg")).size(), 100u);
    EXPECT_GT(Probe::progress, 0);
    ASSERT_TRUE(d.TakePicture());
    EXPECT_TRUE(Exists(dir.file("Photo-0043.jpg")));
    EXPECT_EQ(d.GetCaptureFileName(), dir.folder() + "Photo-0044.jpg");
    // The first picture's line, held for a "Photo Captured" that never came, opens the next.
    EXPECT_EQ(console.text(),
              CViewDoc::SavedLine("Photo-0042.jpg", ReadFile(dir.file("Photo-0042.jpg")).size()));
}

TEST_F(DocumentTest, LosslessQualityIsNumberedAsCrwApartFromJpeg) {
    sim::CameraSpec raw = SmallCamera("PowerShot G5");
    raw.quality = 4;   // "Lossless" at Large
    Cd().setWorld(WorldOf({raw}));
    CViewDoc& d = Connected("PowerShot G5");
    ASSERT_EQ(d.cdDriver().GetImageQuality(), "Lossless");
    WriteFile(dir.file("Photo-0003.jpg"), "jpeg");
    EXPECT_EQ(d.GetCaptureFileName(), dir.folder() + "Photo-0000.crw");
    ASSERT_TRUE(d.TakePicture());
    EXPECT_TRUE(Exists(dir.file("Photo-0000.crw")));
    EXPECT_EQ(d.GetCaptureFileName(), dir.folder() + "Photo-0001.crw");
}

TEST_F(DocumentTest, WithoutCameraTheNameIsJpegAndNothingIsReleased) {
    MakeDoc();
    EXPECT_EQ(doc->GetCaptureFileName(), dir.folder() + "Photo-0000.jpg");
    EXPECT_FALSE(doc->TakePicture());
    EXPECT_FALSE(Exists(dir.file("Photo-0000.jpg")));
}

TEST_F(DocumentTest, EmptyFolderOrNameIsRefusedWithAConsoleLineAndSkipsTheStitchStep) {
    Connected("PowerShot G5");
    doc->setOnFrame(&Probe::OnFrame);
    doc->PrepareStitchStrip(3);
    std::vector<std::uint8_t> frame = MakeUniformFrame(200);
    Relay(frame);
    for (auto [folder, name] :
         {std::pair{std::string(), std::string("Photo")}, std::pair{dir.folder(), std::string()}}) {
        doc->SetCaptureFolder(folder);
        doc->SetCaptureName(name);
        EXPECT_EQ(doc->GetCaptureFileName(), "");
        EXPECT_FALSE(doc->TakePicture());
    }
    EXPECT_EQ(Cd().countCalls("CDRelease"), 0u);
    EXPECT_TRUE(AllBytes(doc->previousShot(), 0));
    // Each refusal says why in one line.
    EXPECT_EQ(console.text(),
              "Capture refused: no capture folder: choose one with Browse in the Info pane\r\n"
              "Capture refused: the capture name is empty: type one in the Info pane\r\n");
}

TEST_F(DocumentTest, NamesThatLeaveTheFolderAreRefusedWithAConsoleLine) {
    Connected("PowerShot G5");
    for (const std::string bad : {"../escape", "sub/Photo", ".", ".."}) {
        doc->SetCaptureName(bad);
        EXPECT_FALSE(doc->TakePicture()) << bad;
    }
    EXPECT_EQ(console.text(),
              "Capture refused: the capture name \"../escape\" must not contain '/' or be \".\" "
              "or \"..\"\r\n"
              "Capture refused: the capture name \"sub/Photo\" must not contain '/' or be \".\" "
              "or \"..\"\r\n"
              "Capture refused: the capture name \".\" must not contain '/' or be \".\" or "
              "\"..\"\r\n"
              "Capture refused: the capture name \"..\" must not contain '/' or be \".\" or "
              "\"..\"\r\n");
    EXPECT_EQ(Cd().countCalls("CDRelease"), 0u);
    EXPECT_EQ(doc->GetCaptureFileName(), "");
}

TEST_F(DocumentTest, NoFreeNumberRefusesWithAConsoleLine) {
    Connected("PowerShot G5");
    WriteFile(dir.file("Photo-4294967295.jpg"), "last");
    EXPECT_EQ(doc->GetCaptureFileName(), "");
    EXPECT_FALSE(doc->TakePicture());
    EXPECT_EQ(console.text(),
              "Capture refused: no file number is left for \"Photo\" in " + dir.folder() + "\r\n");
    EXPECT_EQ(Cd().countCalls("CDRelease"), 0u);
    EXPECT_EQ(ReadFile(dir.file("Photo-4294967295.jpg")), "last");
}

TEST_F(DocumentTest, AnExistingFileIsNeverOverwritten) {
    Connected("PowerShot G5");
    WriteFile(dir.file("Photo-0000.jpg"), "read-only shot", 0444);   // passed over by the scan
    ASSERT_EQ(::mkdir(dir.file("Photo-0001.jpg").c_str(), 0755), 0);
    ASSERT_TRUE(doc->TakePicture());
    EXPECT_EQ(ReadFile(dir.file("Photo-0000.jpg")), "read-only shot");
    EXPECT_GT(ReadFile(dir.file("Photo-0002.jpg")).size(), 100u);
}

TEST_F(DocumentTest, AFailedReleaseLeavesTheNumberFree) {
    Connected("PowerShot G5");
    Cd().failOnce("Release", 1);
    doc->TakePicture();
    EXPECT_FALSE(Exists(dir.file("Photo-0000.jpg")));
    EXPECT_EQ(doc->GetCaptureFileName(), dir.folder() + "Photo-0000.jpg");
}

TEST_F(DocumentTest, CaptureSessionNamesStayTakenUntilTheirFilesArrive) {
    CViewDoc& d = Connected("EOS 20D");
    ASSERT_EQ(d.openDriver(), &d.rcDriver());
    Rc().setHoldCaptures(true);
    ASSERT_TRUE(d.TakePicture());
    ASSERT_TRUE(d.TakePicture());
    EXPECT_FALSE(Exists(dir.file("Photo-0000.jpg")));
    EXPECT_EQ(Rc().state("EOS 20D")->pendingCaptures, 2u);
    EXPECT_EQ(d.GetCaptureFileName(), dir.folder() + "Photo-0002.jpg");
    EXPECT_EQ(Rc().deliverCaptures(), 2u);
    EXPECT_GT(ReadFile(dir.file("Photo-0000.jpg")).size(), 100u);
    EXPECT_GT(ReadFile(dir.file("Photo-0001.jpg")).size(), 100u);
    EXPECT_EQ(d.GetCaptureFileName(), dir.folder() + "Photo-0002.jpg");
}

TEST_F(DocumentTest, ANameTakenAfterItWasWorkedOutSendsThePictureToTheNextNumber) {
    CViewDoc& d = Connected("PowerShot G5");
    d.setOnProgress([](std::int32_t value) {   // another program takes the name meanwhile
        if (value == 0) WriteFile(CViewDoc::instance()->captureFolder() + "Photo-0000.jpg", "x");
    });
    std::string written;   // what the sequence log names: the file really written
    ASSERT_TRUE(d.TakePicture(&written));
    EXPECT_EQ(written, dir.file("Photo-0001.jpg"));
    EXPECT_EQ(ReadFile(dir.file("Photo-0000.jpg")), "x");
    EXPECT_GT(ReadFile(dir.file("Photo-0001.jpg")).size(), 100u);
    d.PhotoCaptured();
    EXPECT_EQ(console.text(), "Photo Captured\r\n" +
                                  CViewDoc::SavedLine("Photo-0001.jpg",
                                                      ReadFile(dir.file("Photo-0001.jpg")).size()));
}

TEST(SavedLineTest, NamesTheFileAndItsSizeInKbOrMbWithOneDecimal) {
    const std::pair<std::uintmax_t, const char*> cases[] = {
        {0, "0.0 KB"},
        {49, "0.0 KB"},
        {50, "0.1 KB"},
        {1'049, "1.0 KB"},
        {1'050, "1.1 KB"},
        {999'949, "999.9 KB"},
        {999'950, "1.0 MB"},
        {2'400'000, "2.4 MB"},
        {2'449'999, "2.4 MB"},
        {2'450'000, "2.5 MB"},
        {123'456'789, "123.5 MB"},
    };
    for (const auto& [bytes, size] : cases)
        EXPECT_EQ(CViewDoc::SavedLine("Photo-0003.jpg", bytes),
                  std::string("Saved Photo-0003.jpg (") + size + ")\r\n")
            << bytes;
}

// One line per picture, after "Photo Captured": written during the capture (PowerShot G5) or
// after it returned (EOS 20D, a capture session), and at once when the capture failed.
TEST_F(DocumentTest, EachPictureGetsOneSavedLineAfterPhotoCaptured) {
    for (const std::string camera : {"PowerShot G5", "EOS 20D"}) {
        SCOPED_TRACE(camera);
        TearDown();
        SetUp();
        CViewDoc& d = Connected(camera);
        d.SetCaptureFolder(dir.folder() + camera + "/");
        const std::string before = console.text();
        Rc().setHoldCaptures(true);
        ASSERT_TRUE(d.TakePicture());
        d.PhotoCaptured();
        Rc().deliverCaptures();
        const std::string saved = CViewDoc::SavedLine(
            "Photo-0000.jpg", ReadFile(dir.file(camera + "/Photo-0000.jpg")).size());
        EXPECT_EQ(console.text(), before + "Photo Captured\r\n" + saved);
    }
}

TEST_F(DocumentTest, AMissingCaptureFolderIsCreatedOrOneLineSaysWhy) {
    Connected("PowerShot G5");
    doc->SetCaptureFolder(dir.folder() + "shoot/day 1/");
    ASSERT_TRUE(doc->TakePicture());
    EXPECT_TRUE(Exists(dir.file("shoot/day 1/Photo-0000.jpg")));
    WriteFile(dir.file("plain"), "a file, not a folder");
    const std::string blocked = dir.file("plain") + "/shoot/";
    doc->SetCaptureFolder(blocked);
    doc->PhotoCaptured();
    const std::string before = console.text();
    EXPECT_FALSE(doc->TakePicture());
    EXPECT_EQ(console.text(),
              before + "Cannot create capture folder " + blocked + ": Not a directory\r\n");
    EXPECT_EQ(Cd().countCalls("CDRelease"), 1u);
}

TEST_F(DocumentTest, TheWrittenPathOfACaptureSessionPictureIsWhereItArrived) {
    CViewDoc& d = Connected("EOS 20D");
    WriteFile(dir.file("Photo-0000.jpg"), "x", 0444);   // passed over by the scan, kept
    std::string written;
    ASSERT_TRUE(d.TakePicture(&written));
    EXPECT_EQ(written, dir.file("Photo-0001.jpg"));
    EXPECT_TRUE(Exists(written));
    Rc().failOnce("TakeCapturedImage", sim::err::kFileWrite);
    ASSERT_TRUE(d.TakePicture(&written));
    EXPECT_EQ(written, "");   // no file
}

TEST_F(DocumentTest, ANameTooLongForTheFileSystemIsRefusedBeforeTheRelease) {
    Connected("PowerShot G5");
    doc->SetCaptureName(std::string(246, 'n'));   // 255 bytes with "-0000.jpg"
    ASSERT_TRUE(doc->TakePicture());
    EXPECT_TRUE(Exists(dir.file(std::string(246, 'n') + "-0000.jpg")));
    doc->SetCaptureName(std::string(247, 'n'));
    EXPECT_FALSE(doc->TakePicture());
    EXPECT_EQ(Cd().countCalls("CDRelease"), 1u);
    EXPECT_NE(console.text().find("Capture refused: the capture name is too long: with its number "
                                  "and extension it makes a file name longer than the 255 bytes "
                                  "the file system allows\r\n"),
              std::string::npos)
        << console.text();
}

TEST_F(DocumentTest, CaptureSessionPicturesThatNeverArriveAreNamedAndTheirNumbersFreed) {
    CViewDoc& d = Connected("EOS 20D");
    Rc().setHoldCaptures(true);
    Rc().failOnce("TakeCapturedImage", sim::err::kFileWrite);
    ASSERT_TRUE(d.TakePicture());
    d.PhotoCaptured();
    EXPECT_EQ(Rc().deliverCaptures(), 1u);   // the transfer fails
    EXPECT_EQ(d.GetCaptureFileName(), dir.folder() + "Photo-0000.jpg");
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(d.TakePicture());
        d.PhotoCaptured();
    }
    d.rcDriver().setPictureWait(std::chrono::milliseconds(20));   // held: they cannot arrive
    d.rcDriver().Disconnect();
    EXPECT_NE(console.text().find("Picture not received: Photo-0000.jpg\r\n"
                                  "Photo Captured\r\nPhoto Captured\r\n"
                                  "Picture not received: Photo-0000.jpg\r\n"
                                  "Picture not received: Photo-0001.jpg\r\n"),
              std::string::npos)
        << console.text();
    EXPECT_EQ(d.GetCaptureFileName(), dir.folder() + "Photo-0000.jpg");
}

TEST_F(DocumentTest, NamesAndFoldersWithControlCharactersAreRefusedWithAConsoleLine) {
    Connected("PowerShot G5");
    doc->SetCaptureName("Pho\nto");
    EXPECT_FALSE(doc->TakePicture());
    doc->SetCaptureName("Photo");
    doc->SetCaptureFolder(dir.folder() + "a\rb/");
    EXPECT_FALSE(doc->TakePicture());
    EXPECT_EQ(console.text(),
              "Capture refused: the capture name must not contain a control character or line "
              "break\r\n"
              "Capture refused: the capture folder must not contain a control character or line "
              "break\r\n");
}

// ---- Stitch ----

std::uint8_t Ramp(std::size_t i) { return static_cast<std::uint8_t>(i % 251); }

TEST_F(DocumentTest, LiveFrameIsKeptOnlyWhileStitchingWithoutStacking) {
    MakeDoc();
    doc->setOnFrame(&Probe::OnFrame);
    std::vector<std::uint8_t> frame = MakeUniformFrame(5);
    Relay(frame);
    EXPECT_TRUE(AllBytes(doc->liveFrame(), 0));   // no direction
    doc->PrepareStitchStrip(2);
    Relay(frame);
    EXPECT_TRUE(AllBytes(doc->liveFrame(), 5));
    doc->SetAdditiveFrames(1);
    std::vector<std::uint8_t> other = MakeUniformFrame(6);
    Relay(other);
    EXPECT_TRUE(AllBytes(doc->liveFrame(), 5));   // stacking: not refreshed
    EXPECT_EQ(Probe::frames, 3);
}

TEST_F(DocumentTest, CaptureInStitchModeKeepsTheShotAndCutsTheStripEvenWithoutCamera) {
    MakeDoc();
    doc->setOnFrame(&Probe::OnFrame);
    doc->PrepareStitchStrip(1);
    std::vector<std::uint8_t> frame = MakeFrame(&Ramp);
    Relay(frame);
    EXPECT_FALSE(doc->TakePicture());
    const FrameBuffers::Frame shot = doc->previousShot();
    EXPECT_TRUE(std::equal(shot.begin(), shot.end(), Pixels(frame)));
    std::vector<std::uint8_t> strip(FrameBuffers::kStripBytes);
    doc->CopyOverlapStrip(strip.data());
    EXPECT_EQ(strip[0], Ramp(720));
    EXPECT_EQ(strip[240], Ramp(960 + 720));
    EXPECT_EQ(strip[57599], Ramp(239 * 960 + 959));
    // Another direction re-cuts the same shot.
    doc->PrepareStitchStrip(4);
    doc->CopyOverlapStrip(strip.data());
    EXPECT_TRUE(std::equal(strip.begin(), strip.end(), Pixels(frame) + 153600));
    // 0 only stores the direction.
    doc->PrepareStitchStrip(0);
    EXPECT_EQ(doc->stitchDirection(), 0u);
    std::vector<std::uint8_t> same(FrameBuffers::kStripBytes);
    doc->CopyOverlapStrip(same.data());
    EXPECT_EQ(same, strip);
    doc->ClearStitch();
    EXPECT_TRUE(AllBytes(doc->previousShot(), 0));
    doc->CopyOverlapStrip(same.data());
    EXPECT_TRUE(std::all_of(same.begin(), same.end(), [](auto b) { return b == 0; }));
}

// ---- Stacking through the frame relay ----

TEST_F(DocumentTest, StackingRewritesTheSdkBufferBeforeTheReceiverSeesIt) {
    MakeDoc();
    doc->setOnFrame(&Probe::OnFrame);
    doc->SetAdditiveFrames(1);
    std::vector<std::uint8_t> a = MakeUniformFrame(100), b = MakeUniformFrame(100);
    Relay(a);
    Relay(b);
    EXPECT_TRUE(std::all_of(Pixels(b), Pixels(b) + FrameBuffers::kPixelBytes,
                            [](auto v) { return v == 200; }));
    std::lock_guard guard(Probe::lock);
    ASSERT_EQ(Probe::lastFramePixels.size(), FrameBuffers::kPixelBytes);
    EXPECT_EQ(Probe::lastFramePixels[1234], 200);
    EXPECT_EQ(b[0], 'B');   // the header is untouched
}

TEST_F(DocumentTest, MovingTheSliderFrom150To10Leaves11Frames) {
    MakeDoc();
    doc->setOnFrame(&Probe::OnFrame);
    Probe::keepPixels = false;
    doc->SetAdditiveFrames(150);
    std::vector<std::uint8_t> frame = MakeUniformFrame(1);
    for (int k = 0; k < 160; ++k) {
        std::fill(Pixels(frame), Pixels(frame) + FrameBuffers::kPixelBytes, 1);
        Relay(frame);
    }
    EXPECT_EQ(doc->stackedFrameCount(), 151u);
    EXPECT_EQ(Pixels(frame)[0], 151);
    doc->SetAdditiveFrames(10);
    std::fill(Pixels(frame), Pixels(frame) + FrameBuffers::kPixelBytes, 1);
    Relay(frame);
    EXPECT_EQ(doc->stackedFrameCount(), 11u);
    EXPECT_EQ(Pixels(frame)[0], 11);
    // Off and on again: the kept frames are still there.
    doc->SetAdditiveFrames(0);
    Relay(frame);
    EXPECT_EQ(doc->stackedFrameCount(), 11u);
}

TEST_F(DocumentTest, CalibrationStoresTheSumAtNAndClearsItAtZero) {
    MakeDoc();
    doc->setOnFrame(&Probe::OnFrame);
    doc->SetAdditiveFrames(1);
    std::vector<std::uint8_t> f = MakeUniformFrame(30);
    auto relay30 = [&] {
        std::fill(Pixels(f), Pixels(f) + FrameBuffers::kPixelBytes, 30);
        Relay(f);
        return Pixels(f)[777];
    };
    relay30();
    EXPECT_EQ(relay30(), 60);
    doc->CalibrateNoise();   // noise 60
    EXPECT_EQ(relay30(), 0);
    doc->SetAdditiveFrames(0);
    doc->CalibrateNoise();   // cleared
    doc->SetAdditiveFrames(1);
    EXPECT_EQ(relay30(), 60);
}

// ---- Histogram ----

TEST_F(DocumentTest, HistogramIsRecomputedOnlyAfterTheInterval) {
    MakeDoc();
    std::vector<std::uint8_t> white(FrameBuffers::kPixelBytes, 255),
        black(FrameBuffers::kPixelBytes, 0);
    std::uint64_t next = 0;
    EXPECT_FALSE(doc->UpdateHistogram(white.data(), 320, 240, 0, next));
    EXPECT_EQ(doc->histogram().peak, 0.0f);
    EXPECT_EQ(next, 0u);
    EXPECT_TRUE(doc->UpdateHistogram(white.data(), 320, 240, 1, next));
    EXPECT_EQ(next, 1001u);
    Histogram h = doc->histogram();
    EXPECT_EQ(h.bins[254], 76800.0f);
    EXPECT_EQ(h.bins[255], 0.0f);
    EXPECT_EQ(h.peak, 76800.0f);
    EXPECT_FALSE(doc->UpdateHistogram(black.data(), 320, 240, 1001, next));
    EXPECT_EQ(doc->histogram().bins[254], 76800.0f);
    EXPECT_EQ(next, 1001u);
    EXPECT_TRUE(doc->UpdateHistogram(black.data(), 320, 240, 1002, next));
    h = doc->histogram();
    EXPECT_EQ(h.bins[0], 76800.0f);
    EXPECT_EQ(h.bins[254], 0.0f);
    EXPECT_EQ(next, 2002u);
}

}   // namespace
