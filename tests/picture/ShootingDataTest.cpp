// The shooting data under the large view: the exposure and aperture texts over the fractions
// cameras write, and the line read back from files whose EXIF libexiv2 wrote (all of it, some of
// it, none, no EXIF at all, a damaged file, a fifo that is never waited on).
#include "picture/ShootingData.h"
#include "sdk/sim/ImageFile.h"
#include "support/ExifFixture.h"
#include "support/JpegFixture.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>

#include <sys/stat.h>

using namespace testsupport;

namespace {

void writeShootingFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A JPEG with no EXIF at all, as an editor's export may be.
std::string exiflessJpeg() {
    std::vector<std::uint8_t> rgb(64 * 48 * 3, 128);
    return CompressJpeg(rgb.data(), 64, 48);
}

// As the simulated cameras write them: with an EXIF block holding a thumbnail.
std::string simulatedCameraJpeg() {
    std::vector<std::uint8_t> rgb(320 * 240 * 3, 90);
    const std::vector<std::uint8_t> jpeg = sim::jpegWithThumbnail(rgb.data(), 320, 240, 90);
    return {jpeg.begin(), jpeg.end()};
}

}   // namespace

TEST(ShootingText, FractionsAsCamerasWriteThem) {
    struct Case {
        std::int64_t n, d;
        const char* exposure;
        const char* aperture;
    } const cases[] = {
        {1, 125, "1/125 s", "f/0"},
        {10, 1250, "1/125 s", "f/0"},
        {1, 3, "1/3 s", "f/0.3"},
        {2, 3, "1/2 s", "f/0.7"},
        {1, 1, "1 s", "f/1"},
        {25, 10, "2.5 s", "f/2.5"},
        {30, 1, "30 s", "f/30"},
        {56, 10, "5.6 s", "f/5.6"},
        {14, 10, "1.4 s", "f/1.4"},
        {8, 1, "8 s", "f/8"},
        {0, 1, "", ""},
        {1, 0, "", ""},
        {-1, 125, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.n) + "/" + std::to_string(c.d));
        EXPECT_EQ(picture::ExposureText(c.n, c.d), c.exposure);
        EXPECT_EQ(picture::ApertureText(c.n, c.d), c.aperture);
    }
}

TEST(ShootingData, TheLineOfEachFileIsItsOwn) {
    TempDir dir;
    struct Case {
        const char* name;
        std::string bytes;
        ExifFacts facts;
        bool write;
        const char* line;
    } const cases[] = {
        {"Photo-0001.jpg",
         simulatedCameraJpeg(),
         {{1, 125}, {56, 10}, 400, "EF50mm f/1.8 STM"},
         true,
         "Photo-0001.jpg   1/125 s   f/5.6   ISO 400   EF50mm f/1.8 STM"},
        {"Photo-0002.jpg",
         simulatedCameraJpeg(),
         {{30, 1}, {8, 1}, 100, ""},
         true,
         "Photo-0002.jpg   30 s   f/8   ISO 100"},
        {"Photo-0003.jpg",
         exiflessJpeg(),
         {{0, 0}, {0, 0}, 3200, ""},
         true,
         "Photo-0003.jpg   ISO 3200"},
        // A camera's EXIF without the shooting facts, and none at all.
        {"Photo-0004.jpg", simulatedCameraJpeg(), {}, false, "Photo-0004.jpg   no shooting data"},
        {"Photo-0005.jpg", exiflessJpeg(), {}, false, "Photo-0005.jpg   no shooting data"},
        {"Photo-0006.jpg",
         "\xff\xd8\xff\xe1 not an EXIF block at all",
         {},
         false,
         "Photo-0006.jpg   no shooting data"},
        {"Photo-0007.cr2", "II*\0garbage", {}, false, "Photo-0007.cr2   no shooting data"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file(c.name);
        writeShootingFile(path, c.bytes);
        if (c.write) WriteExif(path, c.facts);
        EXPECT_EQ(picture::ShootingLine(c.name, picture::ReadShootingData(path)), c.line);
    }
    // Read again in another order: nothing of one file is left for the next.
    EXPECT_EQ(picture::ReadShootingData(dir.file("Photo-0005.jpg")).any(), false);
    EXPECT_EQ(picture::ReadShootingData(dir.file("Photo-0001.jpg")).lens, "EF50mm f/1.8 STM");
    EXPECT_EQ(picture::ReadShootingData(dir.file("missing.jpg")).any(), false);
}

TEST(ShootingData, AFifoIsNotWaitedOn) {
    TempDir dir;
    const std::string fifo = dir.file("Photo-0009.jpg");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(picture::ReadShootingData(fifo).any());
}
