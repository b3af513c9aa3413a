// config.cfg: line rules of reading, the exact bytes written, and the replace-by-rename save.
#include "document/ConfigFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

struct LoadCase {
    const char* label;
    std::string contents;
    std::string folder;
    std::string name;
};

class ConfigLoad : public ::testing::TestWithParam<LoadCase> {};

TEST_P(ConfigLoad, ReadsTwoLines) {
    TempDir dir;
    const std::string path = dir.file("config.cfg");
    WriteFile(path, GetParam().contents);
    std::string folder = "unchanged", name = "unchanged";
    ASSERT_TRUE(config::Load(path, folder, name));
    EXPECT_EQ(folder, GetParam().folder);
    EXPECT_EQ(name, GetParam().name);
}

const std::string k254(254, 'f');
const std::string k255(255, 'f');

INSTANTIATE_TEST_SUITE_P(
    Lines, ConfigLoad,
    ::testing::Values(
        LoadCase{"LineFeed", "/shots/\nPhoto", "/shots/", "Photo"},
        LoadCase{"CarriageReturnLineFeed", "/shots/\r\nPhoto\r\n", "/shots/", "Photo"},
        LoadCase{"LineEndAfterName", "/shots/\nPhoto\n", "/shots/", "Photo"},
        LoadCase{"OneLineWithoutEnd", "/shots/", "/shots/", ""},
        LoadCase{"OneLineWithEnd", "/shots/\n", "/shots/", ""},
        LoadCase{"EmptyFile", "", "", ""},
        LoadCase{"EmptyFirstLine", "\nPhoto", "", "Photo"},
        LoadCase{"ThirdLineIgnored", "/a/\nb\nc", "/a/", "b"},
        LoadCase{"Folder254", k254 + "\nPhoto", k254, "Photo"},
        LoadCase{"Folder254CrLf", k254 + "\r\nPhoto", k254, "Photo"},
        LoadCase{"Folder255FailsTheStream", k255 + "\nPhoto", k254, ""},
        LoadCase{"Name255Cut", "/a/\n" + k255, "/a/", k254},
        LoadCase{"Name300Cut", "/a/\n" + std::string(300, 'n') + "\n", "/a/", std::string(254, 'n')},
        LoadCase{"LoneCarriageReturnKept", "/a\rb/\nPhoto", "/a\rb/", "Photo"}),
    [](const ::testing::TestParamInfo<LoadCase>& info) { return info.param.label; });

TEST(ConfigFile, MissingFileChangesNothing) {
    TempDir dir;
    std::string folder = "/keep/", name = "Keep";
    EXPECT_FALSE(config::Load(dir.file("config.cfg"), folder, name));
    EXPECT_EQ(folder, "/keep/");
    EXPECT_EQ(name, "Keep");
}

TEST(ConfigFile, WritesFolderLineFeedNameWithoutFinalLineEnd) {
    TempDir dir;
    const std::string path = dir.file("config.cfg");
    std::string error;
    ASSERT_TRUE(config::Save(path, "/home/me/Shots/", "Moon", error)) << error;
    EXPECT_EQ(ReadFile(path), "/home/me/Shots/\nMoon");
    EXPECT_FALSE(testsupport::Exists(path + ".tmp"));

    std::string folder, name;
    ASSERT_TRUE(config::Load(path, folder, name));
    EXPECT_EQ(folder, "/home/me/Shots/");
    EXPECT_EQ(name, "Moon");
}

TEST(ConfigFile, SaveReplacesTheFileInsteadOfRewritingIt) {
    TempDir dir;
    const std::string path = dir.file("config.cfg");
    const std::string link = dir.file("old.cfg");
    WriteFile(path, "/old/\nOld");
    ASSERT_EQ(::link(path.c_str(), link.c_str()), 0);
    std::string error;
    ASSERT_TRUE(config::Save(path, "/new/", "New", error)) << error;
    EXPECT_EQ(ReadFile(path), "/new/\nNew");
    // The old file was never opened for writing: a second name for it still shows it whole.
    EXPECT_EQ(ReadFile(link), "/old/\nOld");
}

TEST(ConfigFile, FailedSaveLeavesNoTemporaryFileAndSaysWhy) {
    TempDir dir;
    // A non-empty folder where the file should be: the rename over it fails.
    const std::string path = dir.file("config.cfg");
    ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
    WriteFile(path + "/inside", "x");
    std::string error;
    EXPECT_FALSE(config::Save(path, "/a/", "b", error));
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_FALSE(testsupport::Exists(path + ".tmp"));
    EXPECT_EQ(ReadFile(path + "/inside"), "x");

    error.clear();
    EXPECT_FALSE(config::Save(dir.file("missing/config.cfg"), "/a/", "b", error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
