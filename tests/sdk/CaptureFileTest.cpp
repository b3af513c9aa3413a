// The capture-file writer: the name it reports, the numbers it moves on to, what it discards,
// the mode it creates with, and the leftovers it removes.
#include "support/SimTestSupport.h"

#include "sdk/CaptureFile.h"

#include <fstream>
#include <iterator>

#include <sys/stat.h>
#include <sys/wait.h>

namespace testsupport {
namespace {

namespace fs = std::filesystem;

std::size_t entries(const fs::path& folder) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

int writeAndCommit(const std::string& path, const std::string& text, std::string& saved) {
    sdk::CaptureFile file;
    if (int e = file.open(path)) return e;
    if (int e = file.write(text.data(), text.size())) return e;
    return file.commit(saved);
}

TEST(CaptureFile, ATakenNameMovesOnToTheNextFreeNumberAndSaysWhichItGot) {
    const fs::path folder = freshFolder("numbers");
    std::ofstream(folder / "Photo-0009.jpg") << "x";
    fs::create_directory(folder / "Photo-0010.jpg");
    struct Case {
        std::string asked, saved;
        int error;
    } cases[] = {
        {"Photo-0008.jpg", "Photo-0008.jpg", 0},
        {"Photo-0009.jpg", "Photo-0011.jpg", 0},   // 0009 and 0010 taken
        {"Photo-0009.jpg", "Photo-0012.jpg", 0},
        {"Photo-9999.jpg", "Photo-9999.jpg", 0},
        {"Photo-9999.jpg", "Photo-10000.jpg", 0},   // four digits at least, more when needed
        {"notes.txt", "notes.txt", 0},
        {"notes.txt", "", EEXIST},   // outside the pattern: no other name
        {"Photo-4294967295.jpg", "Photo-4294967295.jpg", 0},
        {"Photo-4294967295.jpg", "", EEXIST},   // no number after the largest
    };
    for (const Case& c : cases) {
        std::string saved;
        EXPECT_EQ(writeAndCommit((folder / c.asked).string(), c.asked, saved), c.error) << c.asked;
        if (c.error == 0) {
            EXPECT_EQ(saved, (folder / c.saved).string());
        }
    }
    std::size_t hidden = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        hidden += entry.path().filename().string()[0] == '.';
    EXPECT_EQ(hidden, 0u);   // failed commits took their temporaries with them
}

TEST(CaptureFile, UncommittedFilesAreDiscardedAndTheModeComesFromTheUmask) {
    const fs::path folder = freshFolder("discard");
    {
        sdk::CaptureFile file;
        ASSERT_EQ(file.open((folder / "Photo-0000.jpg").string()), 0);
        ASSERT_GE(file.fd(), 0);
        EXPECT_EQ(entries(folder), 1u);
    }
    EXPECT_EQ(entries(folder), 0u);
    const mode_t old = ::umask(027);
    std::string saved;
    EXPECT_EQ(writeAndCommit((folder / "Photo-0000.jpg").string(), "x", saved), 0);
    ::umask(old);
    struct stat st {};
    ASSERT_EQ(::stat(saved.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(writeAndCommit((folder / "absent/Photo-0000.jpg").string(), "x", saved), ENOENT);
}

TEST(CaptureFile, LeftoversOfEndedProcessesAreRemovedOthersKept) {
    const fs::path folder = freshFolder("leftovers");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        sdk::CaptureFile* file = new sdk::CaptureFile;   // never destroyed: a crash
        ::_exit(file->open((folder / "Photo-0000.jpg").string()));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    sdk::CaptureFile mine;   // this process still runs: its temporary stays
    ASSERT_EQ(mine.open((folder / "Photo-0001.jpg").string()), 0);
    const std::string own = std::string(sdk::CaptureFile::kTempPrefix) + "x-1.part";
    std::ofstream(folder / own) << "not ours";
    std::ofstream(folder / ".hidden") << "user's";
    EXPECT_EQ(entries(folder), 4u);
    EXPECT_EQ(sdk::CaptureFile::RemoveLeftovers(folder.string()), 1);
    EXPECT_EQ(entries(folder), 3u);
    EXPECT_EQ(sdk::CaptureFile::RemoveLeftovers(folder.string() + "/"), 0);
}

TEST(CaptureFile, TemporaryNamesCannotBePlantedInAdvance) {
    const fs::path folder = freshFolder("planted");
    const std::string own = sdk::CaptureFile::kTempPrefix + std::to_string(::getpid()) + "-";
    for (int n = 0; n < 1000; ++n)
        fs::create_directory(folder / (own + std::to_string(n) + ".part"));
    std::string saved;
    EXPECT_EQ(writeAndCommit((folder / "Photo-0000.jpg").string(), "picture", saved), 0);
    EXPECT_EQ(saved, (folder / "Photo-0000.jpg").string());
}

}   // namespace
}   // namespace testsupport
