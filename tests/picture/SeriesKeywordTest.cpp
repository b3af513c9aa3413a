// Series keywords: made and parsed back (and the look-alikes that are not), written into
// dc:subject beside what another program keeps there and read back both by Kestrel and by the
// exiv2 tool; the next series number of a folder.
#include "picture/SeriesKeyword.h"
#include "picture/Sidecar.h"
#include "support/TestSupport.h"
#include "support/XmpFixture.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace testsupport;
using picture::SeriesKind;

TEST(SeriesKeyword, TextsAreMadeAndParsedBack) {
    struct Case {
        std::string text;
        std::optional<picture::SeriesKeyword> parsed;
    };
    using K = picture::SeriesKeyword;
    const Case cases[] = {
        {"Focus stack 3: 7 of 20", K{SeriesKind::FocusStack, 3, 7, 20, 0}},
        {"Focus stack 1: 1 of 1", K{SeriesKind::FocusStack, 1, 1, 1, 0}},
        {"Bracket 5: -2 EV", K{SeriesKind::Bracket, 5, 0, 0, -6}},
        {"Bracket 5: +1 1/3 EV", K{SeriesKind::Bracket, 5, 0, 0, 4}},
        {"Bracket 12: -2/3 EV", K{SeriesKind::Bracket, 12, 0, 0, -2}},
        {"Bracket 1: 0 EV", K{SeriesKind::Bracket, 1, 0, 0, 0}},
        {"Bracket 1: +3 EV", K{SeriesKind::Bracket, 1, 0, 0, 9}},
        // Look-alikes: not a series keyword.
        {"Focus stack 3: 21 of 20", std::nullopt},
        {"Focus stack 0: 1 of 2", std::nullopt},
        {"Focus stack 3: 0 of 2", std::nullopt},
        {"Focus stack 03: 1 of 2", std::nullopt},
        {"Focus stack 3: 7 of 20 ", std::nullopt},
        {"focus stack 3: 7 of 20", std::nullopt},
        {"Bracket 5: 2 EV", std::nullopt},
        {"Bracket 5: -0 EV", std::nullopt},
        {"Bracket 5: +0 1/3 EV", std::nullopt},
        {"Bracket 5: -2 1/2 EV", std::nullopt},
        {"Bracket 5: -2EV", std::nullopt},
        {"Bracket 5: -2 EV!", std::nullopt},
        {"Bracket: -2 EV", std::nullopt},
        {"Bracket 9999999: 0 EV", std::nullopt},
        {"harbour", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(picture::ParseSeriesKeyword(c.text), c.parsed);
        if (!c.parsed) continue;
        const K& k = *c.parsed;
        EXPECT_EQ(k.kind == SeriesKind::FocusStack
                      ? picture::FocusStackKeyword(k.series, k.index, k.total)
                      : picture::BracketKeyword(k.series, k.evThirds),
                  c.text);
    }
    for (int thirds = -27; thirds <= 27; ++thirds) {   // every offset of a 9-shot 3 EV bracket
        const auto back = picture::ParseSeriesKeyword(picture::BracketKeyword(2, thirds));
        ASSERT_TRUE(back) << thirds;
        EXPECT_EQ(back->evThirds, thirds);
    }
}

TEST(SeriesKeyword, KeywordJoinsWhatAnotherProgramKeptAndReadsBack) {
    TempDir dir;
    const std::string photo = dir.file("Photo-0007.jpg");
    WriteFile(photo, "jpeg");
    WriteFile(photo + ".xmp", kDarktableSidecar);
    EXPECT_EQ(picture::WriteSeriesKeyword(photo, "Bracket 5: -2 EV"), "");
    EXPECT_EQ(picture::WriteSeriesKeyword(photo, "Bracket 5: -2 EV"), "");   // kept once
    EXPECT_EQ(picture::ReadKeywords(photo),
              (std::vector<std::string>{"harbour", "boats, at dusk", "Bracket 5: -2 EV"}));
    EXPECT_EQ(picture::ReadRating(photo), 2);
    const std::string text = ReadFile(photo + ".xmp");
    EXPECT_NE(text.find("Red"), std::string::npos) << text;
    EXPECT_NE(text.find("xmp_version"), std::string::npos) << text;
    EXPECT_EQ(picture::SeriesOf(picture::ReadKeywords(photo)),
              (picture::SeriesKeyword{SeriesKind::Bracket, 5, 0, 0, -6}));
    // A rating set afterwards keeps the keywords.
    EXPECT_EQ(picture::WriteRating({photo}, 4), "");
    EXPECT_EQ(picture::ReadKeywords(photo).size(), 3u);

    // A picture without a sidecar gets one holding the keyword alone.
    const std::string fresh = dir.file("Photo-0008.jpg");
    WriteFile(fresh, "jpeg");
    EXPECT_EQ(picture::WriteSeriesKeyword(fresh, "Focus stack 3: 7 of 20"), "");
    EXPECT_EQ(picture::ReadKeywords(fresh), std::vector<std::string>{"Focus stack 3: 7 of 20"});
    EXPECT_EQ(picture::ReadRating(fresh), std::nullopt);

    if (!HaveExiv2Tool()) GTEST_SKIP() << "the exiv2 tool is not installed";
    const std::string tool = Exiv2ToolReading(photo + ".xmp");
    EXPECT_NE(tool.find("Xmp.dc.subject"), std::string::npos) << tool;
    EXPECT_NE(tool.find("XmpBag      3"), std::string::npos) << tool;
    EXPECT_NE(tool.find("Bracket 5: -2 EV"), std::string::npos) << tool;
    EXPECT_NE(tool.find("harbour"), std::string::npos) << tool;
    EXPECT_NE(tool.find("Xmp.xmp.Rating"), std::string::npos) << tool;
    EXPECT_NE(tool.find("Xmp.xmp.Label"), std::string::npos) << tool;
    const std::string freshTool = Exiv2ToolReading(fresh + ".xmp");
    EXPECT_NE(freshTool.find("Focus stack 3: 7 of 20"), std::string::npos) << freshTool;
}

TEST(SeriesKeyword, RefusedSidecarsAndEmptyKeywordsChangeNothing) {
    TempDir dir;
    const std::string photo = dir.file("Photo-0001.jpg");
    const std::string damaged = std::string(kDarktableSidecar).substr(0, 400);
    WriteFile(photo + ".xmp", damaged);
    EXPECT_EQ(picture::WriteSeriesKeyword(photo, "Bracket 1: 0 EV"),
              "Photo-0001.jpg.xmp does not parse as XMP; it is left as it was");
    EXPECT_EQ(ReadFile(photo + ".xmp"), damaged);
    std::string error;
    EXPECT_TRUE(picture::ReadKeywords(photo, error).empty());
    EXPECT_EQ(error, "Photo-0001.jpg.xmp does not parse as XMP; it is left as it was");
    EXPECT_EQ(picture::WriteSeriesKeyword(dir.file("Photo-0002.jpg"), " "), "the keyword is empty");
    EXPECT_FALSE(Exists(dir.file("Photo-0002.jpg.xmp")));
}

TEST(SeriesKeyword, NextSeriesNumberIsOnePastTheFoldersHighestOfItsKind) {
    TempDir dir;
    EXPECT_EQ(picture::NextSeriesNumber(dir.path(), SeriesKind::Bracket), 1);
    WriteFile(dir.file("Photo-0001.jpg"), "jpeg");
    WriteFile(dir.file("Photo-0002.jpg"), "jpeg");
    WriteFile(dir.file("Photo-0003.cr2"), "raw");
    ASSERT_EQ(picture::WriteSeriesKeyword(dir.file("Photo-0001.jpg"), "Bracket 4: -1 EV"), "");
    ASSERT_EQ(picture::WriteSeriesKeyword(dir.file("Photo-0002.jpg"), "Focus stack 9: 1 of 2"), "");
    // digiKam's sidecar without the extension counts too.
    WriteFile(dir.file("Photo-0003.xmp"), kDarktableSidecar);
    ASSERT_EQ(picture::WriteSeriesKeyword(dir.file("Photo-0003.cr2"), "Bracket 6: 0 EV"), "");
    ASSERT_TRUE(Exists(dir.file("Photo-0003.xmp")));
    EXPECT_EQ(picture::NextSeriesNumber(dir.path(), SeriesKind::Bracket), 7);
    EXPECT_EQ(picture::NextSeriesNumber(dir.path() + "/", SeriesKind::FocusStack), 10);
}
