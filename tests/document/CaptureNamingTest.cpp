// Capture file numbering over real folders: which files count, how numbers are read, the
// boundaries of the zero padding, and that an existing or reserved path is never handed out.
#include "document/CaptureNaming.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

struct NumberCase {
    const char* label;
    std::vector<std::string> files;   // created writable in the folder
    std::string expected;             // file name of the next capture
};

class NextName : public ::testing::TestWithParam<NumberCase> {};

TEST_P(NextName, FollowsTheHighestCountedNumber) {
    TempDir dir;
    for (const std::string& f : GetParam().files) WriteFile(dir.file(f), "x");
    CaptureNaming naming;
    const CapturePath next = naming.Next(dir.folder(), "Photo", "jpg");
    ASSERT_EQ(next.status, CaptureNameStatus::Ok);
    EXPECT_EQ(next.path, dir.folder() + GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Folder, NextName,
    ::testing::Values(
        NumberCase{"Empty", {}, "Photo-0000.jpg"},
        NumberCase{"First", {"Photo-0000.jpg"}, "Photo-0001.jpg"},
        NumberCase{"Nine", {"Photo-0009.jpg"}, "Photo-0010.jpg"},
        NumberCase{"NinetyNine", {"Photo-0099.jpg"}, "Photo-0100.jpg"},
        NumberCase{"NineHundredNinetyNine", {"Photo-0999.jpg"}, "Photo-1000.jpg"},
        NumberCase{"NineThousand", {"Photo-9999.jpg"}, "Photo-10000.jpg"},
        NumberCase{"GapsNotFilled", {"Photo-0000.jpg", "Photo-0007.jpg"}, "Photo-0008.jpg"},
        NumberCase{"BareNameCountsAsZero", {"Photo.jpg"}, "Photo-0001.jpg"},
        NumberCase{"LongerNameReadsAsZero", {"Photograph-0042.jpg"}, "Photo-0001.jpg"},
        NumberCase{"CaseInsensitive", {"PHOTO-0005.JPG"}, "Photo-0006.jpg"},
        NumberCase{"OtherExtension", {"Photo-0005.crw", "Photo-0006.jpeg"}, "Photo-0000.jpg"},
        NumberCase{"NegativeIgnored", {"Photo2-0005.jpg"}, "Photo-0000.jpg"},
        NumberCase{"MinusZeroIsZero", {"Photo--0.jpg"}, "Photo-0001.jpg"},
        NumberCase{"TooLargeIgnored", {"Photo-4294967296.jpg", "Photo-0003.jpg"}, "Photo-0004.jpg"},
        NumberCase{"HugeIgnored", {"Photo-99999999999999999999.jpg"}, "Photo-0000.jpg"},
        NumberCase{"LargestBelowLimit", {"Photo-4294967294.jpg"}, "Photo-4294967295.jpg"},
        NumberCase{"AtoiLeadingBlanksAndSign", {"Photo- +12.jpg"}, "Photo-0013.jpg"},
        NumberCase{"AtoiStopsAtNonDigit", {"Photo-12b34.jpg"}, "Photo-0013.jpg"},
        NumberCase{"OtherPrefixIgnored", {"Moon-0050.jpg", "xPhoto-0050.jpg"}, "Photo-0000.jpg"}),
    [](const ::testing::TestParamInfo<NumberCase>& info) { return info.param.label; });

TEST(CaptureNaming, NoNumberLeftAfterTheLargest) {
    TempDir dir;
    WriteFile(dir.file("Photo-4294967295.jpg"), "x");
    CaptureNaming naming;
    const CapturePath next = naming.Next(dir.folder(), "Photo", "jpg");
    EXPECT_EQ(next.status, CaptureNameStatus::Exhausted);
    EXPECT_EQ(next.path, "");
}

TEST(CaptureNaming, FilesThatDoNotCountAreSkippedButNeverOverwritten) {
    TempDir dir;
    WriteFile(dir.file("Photo-0000.jpg"), "read-only", 0444);
    WriteFile(dir.file("Photo-0005.jpg"), "read-only", 0444);
    ASSERT_EQ(::mkdir(dir.file("Photo-0001.jpg").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(dir.file("Photo-0009.jpg").c_str(), 0755), 0);
    CaptureNaming naming;
    // None of them raises the number; 0000 and 0001 exist, so the first free name is 0002.
    EXPECT_EQ(naming.Next(dir.folder(), "Photo", "jpg").path, dir.folder() + "Photo-0002.jpg");
}

TEST(CaptureNaming, HiddenFilesDoNotCount) {
    TempDir dir;
    WriteFile(dir.file(".shot-0007.jpg"), "x");
    CaptureNaming naming;
    EXPECT_EQ(naming.Next(dir.folder(), ".shot", "jpg").path, dir.folder() + ".shot-0000.jpg");
    EXPECT_FALSE(CaptureNaming::Counts(dir.file(".shot-0007.jpg"), ".shot-0007.jpg"));
}

TEST(CaptureNaming, WritableFilesCountReadOnlyOnesDoNot) {
    TempDir dir;
    WriteFile(dir.file("a.jpg"), "x", 0644);
    WriteFile(dir.file("b.jpg"), "x", 0444);
    EXPECT_TRUE(CaptureNaming::Counts(dir.file("a.jpg"), "a.jpg"));
    EXPECT_FALSE(CaptureNaming::Counts(dir.file("b.jpg"), "b.jpg"));
    EXPECT_FALSE(CaptureNaming::Counts(dir.path(), "dir"));
}

TEST(CaptureNaming, ClaimedPathsAreNotHandedOutTwice) {
    TempDir dir;
    CaptureNaming naming;
    const CapturePath first = naming.Claim(dir.folder(), "Photo", "jpg");
    const CapturePath second = naming.Claim(dir.folder(), "Photo", "jpg");
    EXPECT_EQ(first.path, dir.folder() + "Photo-0000.jpg");
    EXPECT_EQ(second.path, dir.folder() + "Photo-0001.jpg");
    EXPECT_EQ(naming.Next(dir.folder(), "Photo", "jpg").path, dir.folder() + "Photo-0002.jpg");
    // Reservations count like files: above the highest, not just skipped.
    naming.Release(first.path);
    EXPECT_EQ(naming.Next(dir.folder(), "Photo", "jpg").path, dir.folder() + "Photo-0002.jpg");
    naming.Release(second.path);
    EXPECT_EQ(naming.Next(dir.folder(), "Photo", "jpg").path, dir.folder() + "Photo-0000.jpg");
    EXPECT_EQ(naming.reservedCount(), 0u);
}

TEST(CaptureNaming, AReservationEndsWhenItsFileArrives) {
    TempDir dir;
    CaptureNaming naming;
    const CapturePath first = naming.Claim(dir.folder(), "Photo", "jpg");
    WriteFile(first.path, "arrived", 0444);   // even a file the scan passes over
    EXPECT_EQ(naming.Next(dir.folder(), "Photo", "jpg").path, dir.folder() + "Photo-0001.jpg");
    EXPECT_FALSE(naming.IsReserved(first.path));
    EXPECT_EQ(naming.reservedCount(), 0u);
}

TEST(CaptureNaming, ReservationsOfAnotherFolderOrNameDoNotCount) {
    TempDir dir, other;
    CaptureNaming naming;
    naming.Claim(other.folder(), "Photo", "jpg");
    naming.Claim(dir.folder(), "Moon", "jpg");
    naming.Claim(dir.folder(), "Photo", "crw");
    EXPECT_EQ(naming.Next(dir.folder(), "Photo", "jpg").path, dir.folder() + "Photo-0000.jpg");
}

TEST(CaptureNaming, FolderWithoutSeparatorJoinsItsLastComponent) {
    TempDir dir;
    WriteFile(dir.file("shotsPhoto-0004.jpg"), "x");   // reads as 0: "o-0004.jpg"
    CaptureNaming naming;
    EXPECT_EQ(naming.Next(dir.path() + "/shots", "Photo", "jpg").path,
              dir.path() + "/shotsPhoto-0001.jpg");
}

TEST(CaptureNaming, LongPathsAreNotCut) {
    TempDir dir;
    std::string folder = dir.folder();
    for (int i = 0; i < 3; ++i) {
        folder += std::string(120, 'd') + "/";
        ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    }
    const std::string name(150, 'n');
    CaptureNaming naming;
    const CapturePath next = naming.Next(folder, name, "jpg");
    ASSERT_EQ(next.status, CaptureNameStatus::Ok);
    EXPECT_EQ(next.path, folder + name + "-0000.jpg");
    EXPECT_GT(next.path.size(), 255u);
}

TEST(CaptureNaming, NamesThatLeaveTheFolderAreRefused) {
    TempDir dir;
    CaptureNaming naming;
    for (const char* bad : {"a/b", "/Photo", ".", "..", "../x"}) {
        EXPECT_FALSE(CaptureNaming::IsSafeName(bad)) << bad;
        EXPECT_EQ(naming.Claim(dir.folder(), bad, "jpg").status, CaptureNameStatus::BadName) << bad;
    }
    EXPECT_EQ(naming.reservedCount(), 0u);
    for (const char* good : {"...", "..a", "a.", "Photo"})
        EXPECT_TRUE(CaptureNaming::IsSafeName(good));
    EXPECT_EQ(naming.Next("", "Photo", "jpg").status, CaptureNameStatus::Empty);
    EXPECT_EQ(naming.Next(dir.folder(), "", "jpg").status, CaptureNameStatus::Empty);
}

TEST(CaptureNaming, MissingFolderStartsAtZero) {
    TempDir dir;
    CaptureNaming naming;
    EXPECT_EQ(naming.Next(dir.folder() + "missing/", "Photo", "jpg").path,
              dir.folder() + "missing/Photo-0000.jpg");
}

}   // namespace
