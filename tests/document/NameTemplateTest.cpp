// The name template: every token, widths, parse errors, unsafe parts refused with the token
// that made them, the default matching the capture name's own numbering, and the number rule
// over real folders.
#include "document/CaptureNaming.h"
#include "document/NameTemplate.h"
#include "document/NamingFile.h"
#include "document/Sessions.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

NameContext Context() {
    NameContext c;
    c.name = "Photo";
    c.when.tm_year = 2026 - 1900;
    c.when.tm_mon = 11;   // December
    c.when.tm_mday = 9;
    c.when.tm_hour = 7;
    c.when.tm_min = 5;
    c.when.tm_sec = 3;
    c.camera = "EOS 20D";
    c.series = "Focus stack 3: 7 of 20";
    c.cameraFile = "IMG_0412.CR2";
    c.job = "Smith";
    return c;
}

// The file name of number 7 (extension "jpg"), or the reason it is refused.
std::string Seven(const std::string& text, const NameContext& context = Context()) {
    const NameTemplate t(text);
    NamePattern pattern;
    std::string why;
    if (!t.Render(context, pattern, why)) return "refused: " + why;
    return CaptureNaming::Format("", pattern, 7, "jpg");
}

TEST(NameTemplate, EveryTokenAndWidth) {
    struct Case {
        const char* text;
        const char* expected;
    } cases[] = {
        {"{name}-{number}", "Photo-0007.jpg"},
        {"{number}", "0007.jpg"},
        {"{name}_{number:1}", "Photo_7.jpg"},
        {"{name}_{number:3}", "Photo_007.jpg"},
        {"{number:10}", "0000000007.jpg"},
        {"{date}_{number}", "2026-12-09_0007.jpg"},
        {"{date:yyyyMMdd}{number:2}", "2026120907.jpg"},
        {"{date:yy.MM.dd}-{number}", "26.12.09-0007.jpg"},
        {"{time}-{number}", "07-05-03-0007.jpg"},
        {"{time:HHmmss}-{number}", "070503-0007.jpg"},
        {"{date:yyyy-MM-dd HH.mm.ss}-{number}", "2026-12-09 07.05.03-0007.jpg"},
        {"{camera}-{number}", "EOS 20D-0007.jpg"},
        {"{series} {number}", "Focus stack 3: 7 of 20 0007.jpg"},
        {"{camfile}-{number}", "IMG_0412-0007.jpg"},
        {"{number}-{camnum}", "0007-0412.jpg"},
        {"{job}-{name}-{number}", "Smith-Photo-0007.jpg"},
        {"{{x}}-{number}", "{x}-0007.jpg"},
        {"a{number}b", "a0007b.jpg"},
    };
    for (const Case& c : cases) EXPECT_EQ(Seven(c.text), c.expected) << c.text;
}

TEST(NameTemplate, TemplatesThatCannotBeUsedSayWhy) {
    struct Case {
        const char* text;
        const char* why;
    } cases[] = {
        {"{name}", "it has no {number}, so every picture would get the same name"},
        {"{number}{number}", "{number} may appear only once"},
        {"{nmae}-{number}", "unknown token {nmae}"},
        {"{Name}-{number}", "unknown token {Name}"},
        {"{name-{number}", "unknown token {name-{number}"},
        {"{name}-{number", "a '{' without its '}' (write {{ for a brace)"},
        {"name}-{number}", "a '}' without its '{' (write }} for a brace)"},
        {"{number:0}", "the width in {number:0} must be a number from 1 to 10"},
        {"{number:11}", "the width in {number:11} must be a number from 1 to 10"},
        {"{number:x}", "the width in {number:x} must be a number from 1 to 10"},
        {"{number:99999999999999999999}",
         "the width in {number:99999999999999999999} must be a number from 1 to 10"},
        {"{number:}", "the width in {number:} must be a number from 1 to 10"},
        {"{date:}{number}", "{date:} needs a format after its ':'"},
        {"{job:x}{number}", "{job:x} takes nothing after a ':'"},
        {"", "it has no {number}, so every picture would get the same name"},
    };
    for (const Case& c : cases) {
        const NameTemplate t(c.text);
        EXPECT_FALSE(t.ok()) << c.text;
        EXPECT_EQ(t.error(), c.why) << c.text;
        EXPECT_EQ(Seven(c.text),
                  std::string("refused: the name template cannot be used: ") + c.why);
    }
}

TEST(NameTemplate, UnsafePartsAreRefusedNamingTheirToken) {
    struct Case {
        const char* text;
        void (*set)(NameContext&);
        const char* why;
    } cases[] = {
        {"{job}-{number}", [](NameContext& c) { c.job = "a/b"; },
         "in the name template, {job} puts a '/' in the file name"},
        {"{number}-{camera}", [](NameContext& c) { c.camera = "EOS\n20D"; },
         "in the name template, {camera} puts a control character in the file name"},
        {"{series}{number}", [](NameContext& c) { c.series = "x\x7f"; },
         "in the name template, {series} puts a control character in the file name"},
        {"{name}{number}", [](NameContext& c) { c.name = ".."; },
         "in the name template, {name} is \"..\", which names a folder"},
        {"{job}{number}", [](NameContext& c) { c.job = "."; },
         "in the name template, {job} is \".\", which names a folder"},
        {"{date:yyyy/MM}{number}", [](NameContext&) {},
         "in the name template, {date:yyyy/MM} puts a '/' in the file name"},
        {"x/{number}", [](NameContext&) {},
         "in the name template, the template's own text puts a '/' in the file name"},
        {"{number}\t", [](NameContext&) {},
         "in the name template, the template's own text puts a control character in the file "
         "name"},
        {"{camfile}{number}", [](NameContext& c) { c.cameraFile = "DCIM/100/.."; },
         "in the name template, {camfile} is \".\", which names a folder"},
    };
    for (const Case& c : cases) {
        NameContext context = Context();
        c.set(context);
        EXPECT_EQ(Seven(c.text, context), std::string("refused: ") + c.why) << c.text;
    }
}

TEST(NameTemplate, EmptyAndOddValuesAtTheEdges) {
    struct Case {
        const char* text;
        void (*set)(NameContext&);
        const char* expected;
    } cases[] = {
        // Not known (a release from Kestrel): the camera's own name gives nothing.
        {"{camfile}{number}", [](NameContext& c) { c.cameraFile.clear(); }, "0007.jpg"},
        {"{camnum}-{number}", [](NameContext& c) { c.cameraFile = "MVI.MOV"; }, "-0007.jpg"},
        {"{camnum}-{number}", [](NameContext& c) { c.cameraFile = "DSC9_X.NEF"; }, "9-0007.jpg"},
        {"{camfile}{number}", [](NameContext& c) { c.cameraFile = ".hidden"; }, ".hidden0007.jpg"},
        {"{series}{number}", [](NameContext& c) { c.series.clear(); }, "0007.jpg"},
        {"{name}..{number}", [](NameContext&) {}, "Photo..0007.jpg"},   // a name, not a folder
        {"{job}{number}", [](NameContext& c) { c.job = "Ünïcode €"; }, "Ünïcode €0007.jpg"},
        {"{date:yyyyyy}{number}", [](NameContext&) {},
         "202626"
         "0007.jpg"},
        {"{date:M d H}{number}", [](NameContext&) {}, "M d H0007.jpg"},   // single letters stay
        {"{date:yyyy}{number}", [](NameContext& c) { c.when.tm_year = 99999 - 1900; },
         "999990007.jpg"},
    };
    for (const Case& c : cases) {
        NameContext context = Context();
        c.set(context);
        EXPECT_EQ(Seven(c.text, context), c.expected) << c.text;
    }
}

TEST(NameTemplate, TheDefaultIsTheCaptureNamesOwnPattern) {
    const NameTemplate t;
    ASSERT_TRUE(t.ok());
    EXPECT_TRUE(t.isDefault());
    NamePattern pattern;
    std::string why;
    ASSERT_TRUE(t.Render(Context(), pattern, why));
    const NamePattern own = CaptureNaming::DefaultPattern("Photo");
    EXPECT_EQ(pattern.prefix, own.prefix);
    EXPECT_EQ(pattern.suffix, own.suffix);
    EXPECT_EQ(pattern.width, own.width);
    EXPECT_EQ(pattern.anySeparator, own.anySeparator);
    EXPECT_EQ(CaptureNaming::Format("/p/", pattern, 3, "jpg"), "/p/Photo-0003.jpg");
}

// The next name over real folders, for a template: the highest number among the names it makes
// with everything else equal, plus one.
TEST(NameTemplate, TheNumberFollowsTheHighestNameMadeWithEverythingElseEqual) {
    struct Case {
        const char* text;
        std::vector<std::string> files;
        const char* expected;
    } cases[] = {
        {"{name}-{number}",
         {"Photo-0002.jpg", "Photo_0007.jpg", "photo-0005.JPG"},
         "Photo-0008.jpg"},
        {"{job}_{number:3}_{date:yyyyMMdd}",
         {"Smith_004_20261209.jpg", "Smith_009_20261208.jpg", "Jones_010_20261209.jpg",
          "Smith_005_20261209.crw"},
         "Smith_005_20261209.jpg"},
        {"{number}_{job}",
         {"0041_Smith.jpg", "0042_Smithy.jpg", "x0050_Smith.jpg"},
         "0042_Smith.jpg"},
        {"{date:yyyyMMdd}{number}", {"202612080009.jpg", "202612090003.jpg"}, "202612090004.jpg"},
        {"{job}-{number}-{camera}",
         {"Smith-0001-EOS 20D.jpg", "Smith-0008-EOS 5D.jpg"},
         "Smith-0002-EOS 20D.jpg"},
        {"{job}{number:2}", {"Smith99.jpg"}, "Smith100.jpg"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        for (const std::string& f : c.files) WriteFile(dir.file(f), "x");
        NamePattern pattern;
        std::string why;
        ASSERT_TRUE(NameTemplate(c.text).Render(Context(), pattern, why)) << why;
        CaptureNaming naming;
        const CapturePath first = naming.Claim(dir.folder(), pattern, "jpg");
        ASSERT_EQ(first.status, CaptureNameStatus::Ok) << c.text;
        EXPECT_EQ(first.path, dir.folder() + c.expected) << c.text;
        // Claimed: the next one moves on; and a file of that name never gets reused.
        const CapturePath second = naming.Next(dir.folder(), pattern, "jpg");
        EXPECT_NE(second.path, first.path);
        WriteFile(second.path, "taken meanwhile", 0444);   // not counted, yet never overwritten
        naming.Release(first.path);
        const CapturePath third = naming.Next(dir.folder(), pattern, "jpg");
        EXPECT_EQ(third.path, first.path) << c.text;
        WriteFile(first.path, "x");
        EXPECT_NE(naming.Next(dir.folder(), pattern, "jpg").path, second.path) << c.text;
    }
}

TEST(NameTemplate, ANameOverTheFileSystemsLengthNamesTheLongestPart) {
    TempDir dir;
    NameContext context = Context();
    context.job = std::string(240, 'j');
    NamePattern pattern;
    std::string why;
    ASSERT_TRUE(NameTemplate("{name}-{job}-{number}").Render(context, pattern, why));
    CaptureNaming naming;
    CapturePath next = naming.Next(dir.folder(), pattern, "jpg");
    EXPECT_EQ(next.status, CaptureNameStatus::Ok);   // 5 + 1 + 240 + 1 + 4 + 4 = 255 bytes
    context.job += "j";
    ASSERT_TRUE(NameTemplate("{name}-{job}-{number}").Render(context, pattern, why));
    next = naming.Next(dir.folder(), pattern, "jpg");
    EXPECT_EQ(next.status, CaptureNameStatus::TooLong);
    EXPECT_EQ(next.nameMax, 255u);
    EXPECT_EQ(next.longestPart, "{job}");
}

// Reading names back: whether the template could have made a name with this capture name and
// job, and the number in it; every name it makes reads back with its number.
TEST(NameTemplate, ReadsItsOwnNamesBackWithTheirNumber) {
    struct Case {
        const char* text;
        const char* stem;
        std::optional<std::uint32_t> number;
    } cases[] = {
        {"{name}-{number}", "Photo-0003", 3},
        {"{name}-{number}", "photo-0003", 3},             // ASCII case aside, as before
        {"{name}-{number}", "Photo-003", std::nullopt},   // fewer digits than the width
        {"{name}-{number}", "Photo-12345", 12345},        // more is fine
        {"{name}-{number}", "Photo-0003x", std::nullopt},
        {"{name}-{number}", "Moon-0003", std::nullopt},   // another capture name
        {"{job}_{number:2}", "Smith_07", 7},
        {"{job}_{number:2}", "Jones_07", std::nullopt},   // another job
        {"{job}_{date:yyyyMMdd}_{number:3}", "Smith_20261208_012", 12},
        {"{job}_{date:yyyyMMdd}_{number:3}", "Smith_2026128_012", std::nullopt},
        {"{date}_{time}_{number}", "2026-12-09_07-05-03_0001", 1},
        {"{date}_{time}_{number}", "2026-12-09_07:05:03_0001", std::nullopt},
        {"{camera} {number}", "EOS 5D Mark II 0042", 42},
        {"{camera} {number}", " 0042", 42},        // no camera: empty
        {"{camera}{number}", "Cd 10042", 10042},   // the number takes all it can
        {"{series}-{number}", "Focus stack 3: 7 of 20-0001", 1},
        {"{camfile}_{camnum}_{number}", "IMG_0412_0412_0001", 1},
        {"{number}_{camnum}", "0001_", 1},
        {"{number}_{camnum}", "0001_x", std::nullopt},
        {"{{{name}}}{number}", "{Photo}0009", 9},
        {"{name}.{number}", "Photo.0009", 9},
        {"{name}-{number}", "Photo-99999999999", std::nullopt},   // beyond 32 bits
        {"{name}-{number}", "Photo-4294967296", std::nullopt},
        {"{number}{camnum}", "42949672950412", 4294967295u},   // the rest is {camnum}
        {"{nmae}-{number}", "Photo-0003", std::nullopt},       // cannot be used
    };
    for (const Case& c : cases)
        EXPECT_EQ(NameTemplate(c.text).NumberIn(c.stem, "Photo", "Smith"), c.number)
            << c.text << " / " << c.stem;
    for (const char* text : {"{name}-{number}", "{job}_{date:yyyyMMdd}_{number:3}",
                             "{camera}{series}_{camfile}_{camnum}_{number:1}{time:HH.mm}",
                             "{date:dd-MM-yy}{number:10}"}) {
        NamePattern pattern;
        std::string why;
        ASSERT_TRUE(NameTemplate(text).Render(Context(), pattern, why)) << why;
        for (const std::uint32_t n : {0u, 7u, 12345u, 4294967295u}) {
            const std::string file = CaptureNaming::Format("", pattern, n, "jpg");
            EXPECT_EQ(
                NameTemplate(text).NumberIn(file.substr(0, file.size() - 4), "Photo", "Smith"), n)
                << text << " / " << file;
        }
    }
    EXPECT_FALSE(NameTemplate("{name}-{job}_{number}").hasVaryingTokens());
    EXPECT_TRUE(NameTemplate("{name}-{date}_{number}").hasVaryingTokens());
    EXPECT_TRUE(NameTemplate("{camnum}{number}").hasVaryingTokens());
}

TEST(NamingFile, KeepsEverythingAndLeavesBadLinesOut) {
    TempDir dir;
    NamingSettings settings;
    settings.nameTemplate = "{job}_{number}";
    settings.job = "Smith = wedding";
    settings.sessionRoot = dir.path();
    for (int i = 0; i < 10; ++i) settings.AddRecent("/s/" + std::to_string(i));
    settings.AddRecent("/s/3");
    ASSERT_EQ(settings.recentSessions.size(), NamingSettings::kRecentSessions);
    EXPECT_EQ(settings.recentSessions.front(), "/s/3");
    std::string error;
    const std::string path = NamingSettings::PathBeside(dir.file("config.cfg"));
    EXPECT_EQ(path, dir.file("naming.cfg"));
    ASSERT_TRUE(settings.Save(path, error)) << error;
    NamingSettings read;
    ASSERT_TRUE(NamingSettings::Load(path, read, error));
    EXPECT_EQ(read, settings);
    WriteFile(path, "template=\r\njob=a\x01\nsession=/x\r\nsession=/x\nnoise\n");
    ASSERT_TRUE(NamingSettings::Load(path, read, error));
    EXPECT_EQ(read.nameTemplate, NameTemplate::kDefault);
    EXPECT_EQ(read.job, "");
    EXPECT_EQ(read.recentSessions, std::vector<std::string>{"/x"});
}

TEST(Sessions, CreatesTheDatedFolderUnderTheRootAndRefusesUnsafeNames) {
    TempDir dir;
    const std::string root = dir.file("jobs/2026");   // its parents are made too
    std::string folder, error;
    ASSERT_TRUE(sessions::Create(root, "Smith wedding", Context().when, folder, error)) << error;
    EXPECT_EQ(folder, root + "/2026-12-09 Smith wedding/");
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    WriteFile(folder + "Photo-0000.jpg", "kept");
    ASSERT_TRUE(sessions::Create(root + "/", "Smith wedding", Context().when, folder, error));
    EXPECT_EQ(folder, root + "/2026-12-09 Smith wedding/");   // opened again, as it was
    EXPECT_TRUE(testsupport::Exists(folder + "Photo-0000.jpg"));
    EXPECT_EQ(sessions::TitleOf(folder), "2026-12-09 Smith wedding");
    struct Case {
        std::string root, name, error;
    } cases[] = {
        {root, "", "the session has no name"},
        {"", "x", "no folder for sessions was chosen"},
        {root, "a/b", "the session's name \"a/b\" must not contain '/' or be \".\" or \"..\""},
        {root, "..", "the session's name \"..\" must not contain '/' or be \".\" or \"..\""},
        {root, "a\nb", "the session's name or folder holds a control character"},
        {dir.file("jobs/2026/2026-12-09 Smith wedding/Photo-0000.jpg"), "x",
         "cannot create " + dir.file("jobs/2026/2026-12-09 Smith wedding/Photo-0000.jpg") +
             "/2026-12-09 x: Not a directory"},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(sessions::Create(c.root, c.name, Context().when, folder, error)) << c.name;
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(folder, "");
    }
}

}   // namespace
