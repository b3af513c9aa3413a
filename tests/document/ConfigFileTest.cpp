// config.cfg: line rules of reading, the exact bytes written, and the replace-by-rename save.
#include "document/ConfigFile.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

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
    ::testing::Values(LoadCase{"LineFeed", "/shots/\nPhoto", "/shots/", "Photo"},
                      LoadCase{"CarriageReturnLineFeed", "/shots/\r\nPhoto\r\n", "/shots/",
                               "Photo"},
                      LoadCase{"LineEndAfterName", "/shots/\nPhoto\n", "/shots/", "Photo"},
                      LoadCase{"OneLineWithoutEnd", "/shots/", "/shots/", ""},
                      LoadCase{"OneLineWithEnd", "/shots/\n", "/shots/", ""},
                      LoadCase{"EmptyFile", "", "", ""},
                      LoadCase{"EmptyFirstLine", "\nPhoto", "", "Photo"},
                      LoadCase{"ThirdLineIgnored", "/a/\nb\nc", "/a/", "b"},
                      LoadCase{"Folder254", k254 + "\nPhoto", k254, "Photo"},
                      LoadCase{"Folder254CrLf", k254 + "\r\nPhoto", k254, "Photo"},
                      LoadCase{"Folder255Whole", k255 + "\nPhoto", k255, "Photo"},
                      LoadCase{"Folder4096Whole", std::string(4096, 'f') + "\r\nPhoto",
                               std::string(4096, 'f'), "Photo"},
                      LoadCase{"Name255Whole", "/a/\n" + k255, "/a/", k255},
                      LoadCase{"Name300Whole", "/a/\n" + std::string(300, 'n') + "\n", "/a/",
                               std::string(300, 'n')},
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

std::size_t Entries(const TempDir& dir) {
    std::size_t n = 0;
    for (auto it = std::filesystem::directory_iterator(dir.path());
         it != std::filesystem::directory_iterator(); ++it)
        ++n;
    return n;
}

TEST(ConfigFile, SaveKeepsModeAndSymlinkAndNeverFollowsAPlantedTemporary) {
    TempDir dir;
    const std::string path = dir.file("config.cfg");
    const std::string real = dir.file("real.cfg");
    const std::string victim = dir.file("victim");
    WriteFile(real, "/old/\nOld", 0600);
    ASSERT_EQ(::symlink("real.cfg", path.c_str()), 0);
    WriteFile(victim, "untouched");
    ASSERT_EQ(::symlink(victim.c_str(), (path + ".tmp").c_str()), 0);
    ASSERT_EQ(::symlink(victim.c_str(), (real + ".tmp").c_str()), 0);
    const std::string folder = "/" + std::string(4000, 'f') + "/";
    std::string error;
    ASSERT_TRUE(config::Save(path, folder, "New", error)) << error;
    struct stat st {};
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(ReadFile(victim), "untouched");
    std::string readFolder, readName;
    ASSERT_TRUE(config::Load(path, readFolder, readName));
    EXPECT_EQ(readFolder, folder);
    EXPECT_EQ(readName, "New");
    EXPECT_EQ(Entries(dir), 5u);   // no temporary left
}

TEST(ConfigFile, ReadOnlyFilesAndValuesWithLineBreaksAreNotSaved) {
    TempDir dir;
    const std::string path = dir.file("config.cfg");
    WriteFile(path, "/old/\nOld", 0444);
    std::string error;
    EXPECT_FALSE(config::Save(path, "/new/", "New", error));
    EXPECT_NE(error.find("read-only"), std::string::npos) << error;
    EXPECT_EQ(ReadFile(path), "/old/\nOld");
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    for (const auto& [folder, name] :
         {std::pair<std::string, std::string>{"/a\nb/", "Photo"}, {"/a/", "Pho\r"}}) {
        error.clear();
        EXPECT_FALSE(config::Save(path, folder, name, error));
        EXPECT_NE(error.find("line break"), std::string::npos) << error;
        EXPECT_EQ(ReadFile(path), "/old/\nOld");
    }
    EXPECT_EQ(Entries(dir), 1u);
}

}   // namespace
