// Released pictures and what is already in the capture folder: nothing at the picture's name is
// replaced or followed, and a process killed while writing leaves no picture-named file.
#include "support/SimTestSupport.h"

#include "sdk/sim/ImageFile.h"

#include <csignal>
#include <fstream>
#include <iterator>

#include <sys/wait.h>

namespace testsupport {
namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::string> visibleNames(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name[0] != '.') names.push_back(name);
    }
    return names;
}

TEST(SimFileSafety, WhatIsAtThePicturesNameIsNeverReplacedOrFollowed) {
    const fs::path outside = freshFolder("outside");
    const fs::path victim = outside / "victim.txt";
    std::ofstream(victim) << "outside";
    enum Planted { File, Symlink, DanglingSymlink, Directory };
    for (const Planted planted : {File, Symlink, DanglingSymlink, Directory}) {
        SCOPED_TRACE(static_cast<int>(planted));
        const fs::path folder = freshFolder("planted");
        const fs::path name = folder / "Photo-0007.jpg";
        switch (planted) {
            case File: std::ofstream(name) << "someone else's"; break;
            case Symlink: fs::create_symlink(victim, name); break;
            case DanglingSymlink: fs::create_symlink(outside / "absent.jpg", name); break;
            case Directory: fs::create_directory(name); break;
        }
        sim::Shot shot;
        shot.width = 32;
        shot.height = 24;
        EXPECT_EQ(sim::writeShot(shot, name.c_str(), nullptr, nullptr), sdk::kOk);
        EXPECT_EQ(readAll(victim), "outside");
        EXPECT_FALSE(fs::exists(outside / "absent.jpg"));
        if (planted == File) {
            EXPECT_EQ(readAll(name), "someone else's");
        }
        if (planted == Symlink || planted == DanglingSymlink) {
            EXPECT_TRUE(fs::is_symlink(name));
        }
        const std::string picture = readAll(folder / "Photo-0008.jpg");
        ASSERT_GT(picture.size(), 100u);
        EXPECT_EQ(picture.substr(0, 2), "\xFF\xD8");
    }
}

sdk::Result killAtQuarter(std::uint32_t value, std::uint32_t, void*) {
    if (value == 25) ::raise(SIGKILL);   // rendered, nothing written yet
    return 0;
}

TEST(SimFileSafety, AProcessKilledWhileWritingLeavesNoPictureNamedFile) {
    const fs::path folder = freshFolder("killed");
    const std::string path = (folder / "Photo-0000.jpg").string();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        sim::Shot shot;
        shot.width = 32;
        shot.height = 24;
        sim::writeShot(shot, path.c_str(), &killAtQuarter, nullptr);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(visibleNames(folder).empty());
}

}   // namespace
}   // namespace testsupport
