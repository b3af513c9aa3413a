// Pairing: the files of one number pair only when one release saved them (written within
// picture::kPairSeconds of each other); an unrelated RAW that took an earlier JPEG's number
// stays alone, so a rating or a Delete acts only on the file chosen.
#include "picture/PictureList.h"

#include "document/NameTemplate.h"
#include "document/NamingFile.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <utime.h>

#include <algorithm>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

namespace {

using testsupport::TempDir;

void WrittenAt(const std::string& path, std::time_t when) {
    const utimbuf times{when, when};
    ASSERT_EQ(::utime(path.c_str(), &times), 0) << path;
}

// A file of the listing tests: its name and how many seconds before now it was written.
struct AgedFile {
    const char* name;
    long age;
};

void WriteAgedFiles(const TempDir& dir, const std::vector<AgedFile>& files, std::time_t now) {
    for (const AgedFile& file : files) {
        testsupport::WriteFile(dir.file(file.name), "x");
        WrittenAt(dir.file(file.name), now - file.age);
    }
}

TEST(PictureList, PairsOnlyTheFilesOfOneRelease) {
    const std::time_t now = std::time(nullptr);
    struct Row {
        const char* what;
        long jpegAge, rawAge;   // seconds before now each file was written
        bool paired;
    };
    const Row rows[] = {
        {"one release", 0, 0, true},
        {"a slow RAW after its JPEG", 0, picture::kPairSeconds, true},
        {"a RAW-only picture after an old JPEG", 3600, 0, false},
        {"just over the bound", picture::kPairSeconds + 1, 0, false},
        {"a JPEG-only picture after an old RAW", 0, 600, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TempDir dir;
        const std::string jpeg = dir.file("Photo-0000.jpg"), raw = dir.file("Photo-0000.cr2");
        testsupport::WriteFile(jpeg, "jpeg");
        testsupport::WriteFile(raw, "raw");
        WrittenAt(jpeg, now - row.jpegAge);
        WrittenAt(raw, now - row.rawAge);
        const std::vector<std::string> alone{raw}, both{raw, jpeg};
        EXPECT_EQ(picture::PairOf(raw), row.paired ? both : alone);
        EXPECT_EQ(picture::PairOf(jpeg).size(), row.paired ? 2u : 1u);
    }
}

// The Review strip's pictures: a JPEG and the RAW files of its release are one, at the JPEG's
// place; a RAW alone, a JPEG alone, a RAW of another release and a pair's TIFF stay their own.
TEST(PictureList, FoldsEachJpegWithTheRawOfItsRelease) {
    using Folded = std::vector<std::pair<std::string, std::vector<std::string>>>;
    struct Row {
        const char* what;
        std::vector<AgedFile> files;
        Folded expected;   // each picture's leading file and its RAW files, newest first
    };
    const Row rows[] = {
        {"a pair, a RAW alone, a JPEG alone",
         {{"Photo-0003.crw", 0},
          {"Photo-0003.jpg", 0},
          {"Photo-0002.cr2", 0},
          {"Photo-0001.jpg", 0}},
         {{"Photo-0003.jpg", {"Photo-0003.crw"}}, {"Photo-0002.cr2", {}}, {"Photo-0001.jpg", {}}}},
        {"the extension's case, two RAW files of one release",
         {{"Photo-0007.CR2", 5}, {"Photo-0007.dng", 0}, {"Photo-0007.JPG", 0}},
         {{"Photo-0007.JPG", {"Photo-0007.CR2", "Photo-0007.dng"}}}},
        {"a slow RAW is still the release's; one written later is another picture",
         {{"Photo-0005.jpg", 3600},
          {"Photo-0005.cr2", 0},
          {"Photo-0004.jpg", picture::kPairSeconds},
          {"Photo-0004.cr2", 0}},
         {{"Photo-0005.cr2", {}}, {"Photo-0005.jpg", {}}, {"Photo-0004.jpg", {"Photo-0004.cr2"}}}},
        {"only RAW files fold into a JPEG",
         {{"Photo-0006.jpg", 0}, {"Photo-0006.tif", 0}, {"Photo-0006.cr2", 0}},
         {{"Photo-0006.jpg", {"Photo-0006.cr2"}}, {"Photo-0006.tif", {}}}},
    };
    const std::time_t now = std::time(nullptr);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TempDir dir;
        WriteAgedFiles(dir, row.files, now);
        const std::vector<picture::PictureEntry> entries =
            picture::ListPictures(dir.folder(), "Photo", NameTemplate::kDefault, "");
        Folded folded;
        for (const picture::FoldedPicture& p : picture::FoldPairs(entries)) {
            folded.push_back({p.lead.fileName, {}});
            for (const std::string& raw : p.others)
                folded.back().second.push_back(raw.substr(raw.rfind('/') + 1));
        }
        EXPECT_EQ(folded, row.expected);
        // A pair folded here is what a rating or a Delete of its JPEG takes.
        for (const picture::FoldedPicture& p : picture::FoldPairs(entries)) {
            const std::vector<std::string> pair = picture::PairOf(p.lead.path);
            for (const std::string& raw : p.others)
                EXPECT_NE(std::find(pair.begin(), pair.end(), raw), pair.end()) << raw;
        }
    }
}

// Which files are pictures, and their numbers, for the default names and for templates: the
// number in the name where it tells pictures apart, else the place in time (1 the oldest).
TEST(PictureList, ListsWhatTheTemplateCouldHaveMadeNumbered) {
    using Listed = std::vector<std::pair<std::string, std::uint32_t>>;
    struct Row {
        const char* what;
        const char* nameTemplate;
        std::vector<AgedFile> files;
        Listed expected;   // newest first
    };
    const Row rows[] = {
        {"the default names, as ever",
         NameTemplate::kDefault,
         {{"Photo-0000.jpg", 50},
          {"Photo-0002.jpg", 40},
          {"Photo-0002.cr2", 40},
          {"Photo-0002.jpg.xmp", 1},
          {"Photo-0002.xmp", 1},
          {"notes.txt", 1},
          {"Moon-0001.jpg", 1},
          {".Photo-0009.jpg", 1},
          {"Photo-sequence.csv", 1},
          {"Smith_0004.jpg", 1}},
         {{"Photo-0002.cr2", 2}, {"Photo-0002.jpg", 2}, {"Photo-0000.jpg", 0}}},
        {"a template of the job: the number in the name",
         "{job}_{number}",
         {{"Smith_0001.jpg", 50},
          {"Smith_0003.jpg", 40},
          {"Smith_0003.CR2", 40},
          {"Smith_0003.jpg.xmp", 1},
          {"Jones_0004.jpg", 1},
          {"Smith_0005.txt", 1},
          {"Smith_00x6.jpg", 1},
          {"Smith_012.jpg", 1},
          {"Smith_0007_edit.jpg", 1},
          {"Smith_0008", 1}},
         {{"Smith_0003.CR2", 3}, {"Smith_0003.jpg", 3}, {"Smith_0001.jpg", 1}}},
        {"a template with the date: numbered again each day, so by time",
         "{job}_{date:yyyyMMdd}_{number:3}",
         {{"Smith_20261208_000.jpg", 90},
          {"Smith_20261208_001.jpg", 80},
          {"Smith_20261209_000.jpg", 70},
          {"Smith_20261209_000.cr2", 69},
          {"Smith_2026120_002.jpg", 1},
          {"Smith_20261209_001-2.jpg", 1},
          {"Smith_20261209_000.xmp", 1}},
         {{"Smith_20261209_000.cr2", 3},
          {"Smith_20261209_000.jpg", 3},
          {"Smith_20261208_001.jpg", 2},
          {"Smith_20261208_000.jpg", 1}}},
        {"two cameras numbered apart, the same time told by the number",
         "{camera}-{number}",
         {{"EOS 20D-0001.jpg", 30},
          {"Cd One-0001.jpg", 20},
          {"Cd One-0000.jpg", 20},
          {"-0005.tif", 10}},
         {{"-0005.tif", 4},
          {"Cd One-0001.jpg", 3},
          {"Cd One-0000.jpg", 2},
          {"EOS 20D-0001.jpg", 1}}},
        {"the capture name's pictures from before the template, by time",
         "{job}_{number}",
         {{"Photo-0000.jpg", 30}, {"Photo-0001.jpg", 20}, {"Smith_0000.jpg", 10}},
         {{"Smith_0000.jpg", 3}, {"Photo-0001.jpg", 2}, {"Photo-0000.jpg", 1}}},
        {"a template that cannot be used lists the capture name's",
         "{nmae}-{number}",
         {{"Photo-0004.jpg", 10}, {"Smith_0005.jpg", 10}},
         {{"Photo-0004.jpg", 4}}},
    };
    const std::time_t now = std::time(nullptr);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TempDir dir;
        WriteAgedFiles(dir, row.files, now);
        Listed listed;
        for (const picture::PictureEntry& e :
             picture::ListPictures(dir.folder(), "Photo", row.nameTemplate, "Smith")) {
            listed.emplace_back(e.fileName, e.number);
            EXPECT_EQ(e.path, dir.folder() + e.fileName);
        }
        EXPECT_EQ(listed, row.expected);
        // The listing the strip and the client view ask for follows the published naming.
        NamingSettings naming;
        naming.nameTemplate = row.nameTemplate;
        naming.job = "Smith";
        PublishNaming(naming);
        EXPECT_EQ(picture::ListPictures(dir.folder(), "Photo").size(), row.expected.size());
        PublishNaming(NamingSettings{});
    }
}

}   // namespace
