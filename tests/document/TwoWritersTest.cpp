// Two documents' captures into one folder at once, while another program plants files and
// symlinks at the names they are about to use: every picture reported saved is whole under its
// own name, nothing that was there changes, nothing outside the folder is touched.
#include "document/CaptureNaming.h"
#include "sdk/sim/ImageFile.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

using namespace testsupport;

namespace {

namespace fs = std::filesystem;

bool Decodes(const std::string& bytes) {
    tjhandle tj = tjInitDecompress();
    int w = 0, h = 0, sub = 0, space = 0;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    bool ok = tjDecompressHeader3(tj, data, bytes.size(), &w, &h, &sub, &space) == 0;
    std::vector<unsigned char> rgb(static_cast<std::size_t>(w) * h * 3);
    ok = ok && tjDecompress2(tj, data, bytes.size(), rgb.data(), w, 0, h, TJPF_RGB, 0) == 0;
    tjDestroy(tj);
    return ok;
}

TEST(TwoWriters, RandomPlantsNeverCostAPictureOrAFile) {
    TempDir dir, outside;
    const std::string victim = outside.file("victim");
    WriteFile(victim, "outside");
    constexpr int kCaptures = 300;   // per document
    std::mutex lock;
    std::map<std::string, std::string> planted;   // path -> contents, or "->" + symlink target
    std::vector<std::string> saved;
    std::atomic<int> writersLeft{2};
    std::atomic<std::uint32_t> top{0};

    auto writer = [&] {
        CaptureNaming naming;   // each document numbers on its own
        sim::Shot shot;
        shot.width = 32;
        shot.height = 24;
        for (int i = 0; i < kCaptures; ++i) {
            const CapturePath target = naming.Claim(dir.folder(), "Photo", "jpg");
            ASSERT_EQ(target.status, CaptureNameStatus::Ok);
            std::string path;
            const sdk::Result r =
                sim::writeShot(shot, target.path.c_str(), nullptr, nullptr, &path);
            naming.Release(target.path);
            ASSERT_EQ(r, sdk::kOk);
            std::lock_guard guard(lock);
            saved.push_back(path);
            top = std::max<std::uint32_t>(top, static_cast<std::uint32_t>(saved.size()));
        }
        --writersLeft;
    };
    auto planter = [&] {
        std::mt19937 random(7);
        while (writersLeft > 0) {
            std::this_thread::yield();
            const std::uint32_t number = top + random() % 4;
            const std::string path = CaptureNaming::Format(dir.folder(), "Photo", number, "jpg");
            std::lock_guard guard(lock);
            if (random() % 2) {
                const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
                if (fd < 0) continue;
                const std::string text = "planted " + std::to_string(number);
                EXPECT_EQ(::write(fd, text.data(), text.size()), ssize_t(text.size()));
                ::close(fd);
                planted[path] = text;
            } else if (::symlink(victim.c_str(), path.c_str()) == 0) {
                planted[path] = "->" + victim;
            }
        }
    };
    std::thread a(writer), b(writer), c(planter);
    a.join();
    b.join();
    c.join();

    EXPECT_EQ(saved.size(), 2u * kCaptures);
    EXPECT_EQ(std::set<std::string>(saved.begin(), saved.end()).size(), saved.size());
    for (const std::string& path : saved) {
        ASSERT_EQ(planted.count(path), 0u) << path;
        ASSERT_FALSE(fs::is_symlink(path)) << path;
        ASSERT_TRUE(Decodes(ReadFile(path))) << path;
    }
    for (const auto& [path, what] : planted) {
        if (what.rfind("->", 0) == 0) EXPECT_EQ(fs::read_symlink(path).string(), what.substr(2));
        else EXPECT_EQ(ReadFile(path), what);
    }
    EXPECT_EQ(ReadFile(victim), "outside");
    EXPECT_EQ(static_cast<std::size_t>(
                  std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator())),
              saved.size() + planted.size());   // no temporary left
    EXPECT_GT(planted.size(), 0u);
}

}   // namespace
