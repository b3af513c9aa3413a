// Pairing: the files of one number pair only when one release saved them (written within
// picture::kPairSeconds of each other); an unrelated RAW that took an earlier JPEG's number
// stays alone, so a rating or a Delete acts only on the file chosen.
#include "picture/PictureList.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <utime.h>

#include <ctime>

namespace {

using testsupport::TempDir;

void WrittenAt(const std::string& path, std::time_t when) {
    const utimbuf times{when, when};
    ASSERT_EQ(::utime(path.c_str(), &times), 0) << path;
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

}   // namespace
