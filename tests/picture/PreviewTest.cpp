// Thumbnails and whole pictures read from the files a camera leaves: the EXIF thumbnail the
// simulated cameras write, the scaled decoding of a JPEG without one, a file that is no
// picture and a truncated one; and the capture folder's listing and pairs.
#include "picture/PictureList.h"
#include "picture/Preview.h"
#include "sdk/sim/ImageFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>

using namespace testsupport;

namespace {

// 640 x 480: the left half red, the right half blue.
std::vector<std::uint8_t> halves() {
    std::vector<std::uint8_t> rgb(640 * 480 * 3);
    for (std::size_t i = 0; i < rgb.size(); i += 3) {
        const bool left = (i / 3) % 640 < 320;
        rgb[i] = left ? 230 : 10;
        rgb[i + 2] = left ? 10 : 230;
    }
    return rgb;
}

std::string asText(const std::vector<std::uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

std::string plainJpeg(const std::vector<std::uint8_t>& rgb) {
    tjhandle tj = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    tjCompress2(tj, rgb.data(), 640, 640 * 3, 480, TJPF_RGB, &jpeg, &size, TJSAMP_420, 90, 0);
    std::string out(reinterpret_cast<char*>(jpeg), size);
    tjFree(jpeg);
    tjDestroy(tj);
    return out;
}

TEST(Preview, ThumbnailsComeFromThePreviewTheFileCarriesOrAScaledDecode) {
    const std::vector<std::uint8_t> rgb = halves();
    const std::string withThumb = asText(sim::jpegWithThumbnail(rgb.data(), 640, 480, 90));
    // The thumbnail is marked so it can be told from a decode of the picture: solid green.
    std::vector<std::uint8_t> green(160 * 120 * 3, 0);
    for (std::size_t i = 1; i < green.size(); i += 3) green[i] = 200;
    struct Case {
        const char* name;
        std::string contents;
        int width, height;   // 0: an error
        const char* error;   // the start of the reason
        int red, green;      // at the thumbnail's left quarter, when read
    };
    const std::string plain = plainJpeg(rgb);
    std::string withGreenThumb;
    {
        // A camera's thumbnail may differ from its picture: the EXIF one must be the one read.
        tjhandle tj = tjInitCompress();
        unsigned char* thumb = nullptr;
        unsigned long size = 0;
        tjCompress2(tj, green.data(), 160, 160 * 3, 120, TJPF_RGB, &thumb, &size, TJSAMP_420, 75,
                    0);
        const auto app1 = sim::exifThumbnailSegment(thumb, size);
        tjFree(thumb);
        tjDestroy(tj);
        withGreenThumb = plain.substr(0, 2) + asText(app1) + plain.substr(2);
    }
    const Case cases[] = {
        {"sim.jpg", withThumb, 160, 120, "", 230, 0},
        {"green.jpg", withGreenThumb, 160, 120, "", 0, 200},
        {"plain.jpg", plain, 160, 120, "", 230, 0},   // the 1/4 scaled decode
        {"notes.jpg", "not a picture at all", 0, 0, "no preview in the file", 0, 0},
        {"empty.jpg", "", 0, 0, "the file is empty", 0, 0},
        {"cut.jpg", plain.substr(0, plain.size() / 2), 0, 0, "the JPEG data is incomplete", 0, 0},
        {"head.jpg", plain.substr(0, 100), 0, 0, "not a readable JPEG", 0, 0},
        {"missing.jpg", "-", 0, 0, "cannot be opened", 0, 0},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file(c.name);
        if (c.contents != "-") WriteFile(path, c.contents);
        const picture::Pixels p = picture::ReadThumbnail(path);
        if (c.width == 0) {
            EXPECT_FALSE(p.ok());
            EXPECT_EQ(p.error.rfind(c.error, 0), 0u) << p.error;
            continue;
        }
        ASSERT_TRUE(p.ok()) << p.error;
        EXPECT_EQ(p.width, c.width);
        EXPECT_EQ(p.height, c.height);
        ASSERT_EQ(p.rgb.size(), std::size_t(c.width) * c.height * 3);
        const std::size_t at = (60 * std::size_t(c.width) + 40) * 3;
        EXPECT_NEAR(p.rgb[at], c.red, 20);
        EXPECT_NEAR(p.rgb[at + 1], c.green, 20);
    }
    // The large view decodes the whole picture, not the thumbnail.
    WriteFile(dir.file("big.jpg"), withGreenThumb);
    const picture::Pixels whole = picture::ReadPicture(dir.file("big.jpg"));
    ASSERT_TRUE(whole.ok()) << whole.error;
    EXPECT_EQ(whole.width, 640);
    EXPECT_NEAR(whole.rgb[(240 * 640 + 600) * 3 + 2], 230, 20);
}

TEST(PictureList, NumberedPicturesNewestFirstAndPairsByStem) {
    TempDir dir;
    for (const char* name :
         {"Photo-0002.jpg", "photo-0010.JPG", "Photo-0003.jpg", "Photo-0003.crw",
          "Photo-0003.jpg.xmp", ".Photo-0004.jpg", "Other-0009.jpg", "Photo.txt"})
        WriteFile(dir.file(name), "x");
    std::vector<std::string> names;
    for (const auto& e : picture::ListPictures(dir.folder(), "Photo")) names.push_back(e.fileName);
    EXPECT_EQ(names, (std::vector<std::string>{"photo-0010.JPG", "Photo-0003.crw", "Photo-0003.jpg",
                                               "Photo-0002.jpg"}));
    EXPECT_EQ(picture::PairOf(dir.file("Photo-0003.jpg")),
              (std::vector<std::string>{dir.file("Photo-0003.jpg"), dir.file("Photo-0003.crw")}));
    EXPECT_EQ(picture::PairOf(dir.file("Photo-0002.jpg")),
              std::vector<std::string>{dir.file("Photo-0002.jpg")});
    EXPECT_TRUE(picture::ListPictures(dir.file("nowhere"), "Photo").empty());
}

}   // namespace
