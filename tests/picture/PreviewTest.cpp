// Thumbnails and whole pictures read from the files a camera leaves: the EXIF thumbnail the
// simulated cameras write, the scaled decoding of a JPEG without one, a file that is no
// picture and a truncated one; files planted to exhaust or freeze the reader (pictures claiming
// more pixels than any camera makes, huge sparse files, a fifo, a folder, a link to a device);
// and the capture folder's listing and pairs.
#include "picture/PictureList.h"
#include "picture/Preview.h"
#include "sdk/sim/ImageFile.h"
#include "support/JpegFixture.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

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
    const std::string plain = CompressJpeg(rgb.data(), 640, 480);
    std::string withGreenThumb;
    {
        // A camera's thumbnail may differ from its picture: the EXIF one must be the one read.
        const std::string thumb = CompressJpeg(green.data(), 160, 120, 75);
        const auto app1 = sim::exifThumbnailSegment(
            reinterpret_cast<const std::uint8_t*>(thumb.data()), thumb.size());
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

// A 16 x 16 JPEG whose frame header claims width x height.
std::string claiming(int width, int height, bool progressive) {
    std::vector<std::uint8_t> grey(16 * 16 * 3, 128);
    std::string out =
        CompressJpeg(grey.data(), 16, 16, 90, TJSAMP_420, progressive ? TJFLAG_PROGRESSIVE : 0);
    for (std::size_t i = 2; i + 9 < out.size(); ++i)
        if (out[i] == '\xff' && (out[i + 1] == '\xc0' || out[i + 1] == '\xc2')) {
            out[i + 5] = static_cast<char>(height >> 8);
            out[i + 6] = static_cast<char>(height & 0xff);
            out[i + 7] = static_cast<char>(width >> 8);
            out[i + 8] = static_cast<char>(width & 0xff);
            break;
        }
    return out;
}

TEST(Preview, PlantedFilesAreRefusedAtOnceWithTheReason) {
    const std::string huge =
        "the JPEG claims 65500 x 65500 pixels, more than Kestrel reads (200 "
        "million)";
    struct Case {
        const char* name;
        const char* error;   // both the thumbnail and the whole picture
    };
    const Case cases[] = {
        {"claims.jpg", huge.c_str()},
        {"progressive.jpg", huge.c_str()},
        {"sparse.crw", "the file is 2147.5 MB, more than Kestrel reads (1024 MiB)"},
        {"sparse.jpg", "the JPEG is 314.6 MB, more than Kestrel reads (256 MiB)"},
        {"fifo.jpg", "it is a fifo, not a regular file; it is not read"},
        {"folder.jpg", "it is a folder, not a regular file; it is not read"},
        {"zero.jpg", "it is a device, not a regular file; it is not read"},
    };
    TempDir dir;
    WriteFile(dir.file("claims.jpg"), claiming(65500, 65500, false));
    WriteFile(dir.file("progressive.jpg"), claiming(65500, 65500, true));
    WriteFile(dir.file("sparse.crw"), "II*");
    ASSERT_EQ(::truncate(dir.file("sparse.crw").c_str(), off_t{2} << 30), 0);
    WriteFile(dir.file("sparse.jpg"), "\xff\xd8\xff");
    ASSERT_EQ(::truncate(dir.file("sparse.jpg").c_str(), off_t{300} << 20), 0);
    ASSERT_EQ(::mkfifo(dir.file("fifo.jpg").c_str(), 0600), 0);
    ASSERT_EQ(::mkdir(dir.file("folder.jpg").c_str(), 0700), 0);
    ASSERT_EQ(::symlink("/dev/zero", dir.file("zero.jpg").c_str()), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(picture::ReadThumbnail(dir.file(c.name)).error, c.error);
        EXPECT_EQ(picture::ReadPicture(dir.file(c.name)).error, c.error);
    }
    // An embedded preview claiming too much is passed over for the picture itself.
    const std::string plain = CompressJpeg(halves().data(), 640, 480);
    const std::string thumb = claiming(65500, 65500, false);
    const auto app1 = sim::exifThumbnailSegment(reinterpret_cast<const std::uint8_t*>(thumb.data()),
                                                thumb.size());
    WriteFile(dir.file("thumb.jpg"), plain.substr(0, 2) + asText(app1) + plain.substr(2));
    const picture::Pixels p = picture::ReadThumbnail(dir.file("thumb.jpg"));
    ASSERT_TRUE(p.ok()) << p.error;
    EXPECT_EQ(p.width, 160);
    EXPECT_NEAR(p.rgb[(60 * 160 + 40) * 3], 230, 20);
}

// The layout overlay's file (a PNG or JPEG decoded elsewhere) is read with the same refusals.
TEST(Preview, OverlayBytesAreReadOnlyFromARegularFileWithinTheBound) {
    TempDir dir;
    WriteFile(dir.file("layout.png"), "\x89PNG....");
    ASSERT_EQ(::mkfifo(dir.file("fifo.png").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", dir.file("zero.png").c_str()), 0);
    WriteFile(dir.file("huge.png"), "\x89PNG");
    ASSERT_EQ(::truncate(dir.file("huge.png").c_str(), off_t{300} << 20), 0);
    WriteFile(dir.file("empty.png"), "");
    const std::pair<const char*, const char*> cases[] = {
        {"layout.png", ""},
        {"fifo.png", "it is a fifo, not a regular file; it is not read"},
        {"zero.png", "it is a device, not a regular file; it is not read"},
        {"huge.png", "the file is 314.6 MB, more than Kestrel reads (256 MiB)"},
        {"empty.png", "the file is empty"},
        {"missing.png", "cannot be opened: No such file or directory"},
    };
    for (const auto& [name, error] : cases) {
        SCOPED_TRACE(name);
        std::vector<std::uint8_t> bytes;
        std::string why;
        EXPECT_EQ(picture::ReadPictureBytes(dir.file(name), bytes, why), *error == '\0');
        EXPECT_EQ(why, error);
        EXPECT_EQ(bytes.size(), *error == '\0' ? 8u : 0u);
    }
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

namespace {

std::string jpegOf(int width, int height, std::uint8_t shade) {
    std::vector<std::uint8_t> rgb(std::size_t(width) * height * 3, shade);
    return CompressJpeg(rgb.data(), width, height);
}

// A TIFF-based RAW as cameras write them: IFD0 points at an embedded JPEG preview.
std::string rawWithPreview(const std::string& preview) {
    std::string out = "II*";
    const auto le16 = [&](unsigned v) { out += char(v & 0xff), out += char(v >> 8); };
    const auto le32 = [&](unsigned v) { le16(v & 0xffff), le16(v >> 16); };
    out += '\0';
    le32(8);
    le16(3);   // entries, by tag: Compression (JPEG), the preview's offset and length
    const unsigned data = 8 + 2 + 3 * 12 + 4;
    le16(0x0103), le16(3), le32(1), le32(6);
    le16(0x0201), le16(4), le32(1), le32(data);
    le16(0x0202), le16(4), le32(1), le32(unsigned(preview.size()));
    le32(0);
    return out + preview;
}

}   // namespace

// The large view: a JPEG decoded at the least scale that fills the view (turned sides for a
// portrait), a RAW's large embedded preview, else the JPEG of its pair; a RAW with only a
// thumbnail and a cut JPEG say why.
TEST(Preview, TheLargeViewChoosesItsPictureAndScale) {
    using LV = picture::LargeView;
    std::string portrait = asText(sim::jpegWithThumbnail(
        std::vector<std::uint8_t>(1600 * 1200 * 3, 90).data(), 1600, 1200, 90));
    ASSERT_TRUE(portrait[22] == 0x12 && portrait[23] == 0x01);   // IFD0's orientation entry
    portrait[30] = 6;
    const std::string big = jpegOf(1600, 1200, 200);
    struct Case {
        const char* name;
        std::string contents;
        int viewWidth, viewHeight;
        LV::Source source;
        int width, height, orientation;   // the pixels as stored; 0: an error
        const char* error;
    };
    const Case cases[] = {
        {"a.jpg", big, 320, 240, LV::Jpeg, 400, 300, 1, ""},
        {"b.jpg", big, 1000, 1000, LV::Jpeg, 1000, 750, 1, ""},     // 5/8
        {"c.jpg", big, 0, 0, LV::Jpeg, 1600, 1200, 1, ""},          // 100 %
        {"d.jpg", portrait, 320, 240, LV::Jpeg, 400, 300, 6, ""},   // 240 wide turned: 1/4
        {"e.jpg", big.substr(0, big.size() / 2), 320, 240, LV::None, 0, 0, 1,
         "the JPEG data is incomplete"},
        {"f.cr2", rawWithPreview(jpegOf(1200, 800, 120)), 320, 240, LV::EmbeddedPreview, 450, 300,
         1, ""},
        {"g.cr2", rawWithPreview(jpegOf(160, 120, 120)), 320, 240, LV::None, 0, 0, 1,
         "only a 160 x 120 thumbnail in the file"},
        {"h.cr2", rawWithPreview(jpegOf(160, 120, 120)), 320, 240, LV::PairJpeg, 400, 300, 1, ""},
        {"i.cr2", "KESTREL-RAW but cut short", 320, 240, LV::None, 0, 0, 1,
         "no preview in the file"},
    };
    TempDir dir;
    WriteFile(dir.file("h.jpg"), big);   // h.cr2's pair
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(dir.file(c.name), c.contents);
        const LV view = picture::ReadLargeView(dir.file(c.name), c.viewWidth, c.viewHeight);
        EXPECT_EQ(view.source, c.source);
        if (c.width == 0) {
            EXPECT_FALSE(view.pixels.ok());
            EXPECT_EQ(view.pixels.error.rfind(c.error, 0), 0u) << view.pixels.error;
            continue;
        }
        ASSERT_TRUE(view.pixels.ok()) << view.pixels.error;
        EXPECT_EQ(view.pixels.width, c.width);
        EXPECT_EQ(view.pixels.height, c.height);
        EXPECT_EQ(view.orientation, c.orientation);
        EXPECT_GT(view.fullWidth, c.width - 1);
    }
}
