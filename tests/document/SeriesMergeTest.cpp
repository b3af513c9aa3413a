// Merging a series with stand-ins for align_image_stack and enfuse on PATH (scripts that log
// their arguments and write what the real tools would): the arguments each kind gets, the
// merged picture's name beside the series (never over a file that is there), a tool that fails,
// a Cancel that kills the tool under way, and the tools missing.
#include "document/SeriesMerge.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <unistd.h>

using namespace testsupport;
using namespace std::chrono_literals;

namespace {

const char* const kAlign = R"sh(#!/bin/sh
echo "$@" >> "$MERGE_LOG"
if [ -n "$FAKE_ALIGN_FAIL" ]; then echo "reading pictures"; echo "error: no control points"; exit 1; fi
shift; shift; prefix="$1"; shift
n=0
for f in "$@"; do cp "$f" "$(printf '%s%04d.tif' "$prefix" $n)"; n=$((n+1)); done
)sh";

const char* const kEnfuse = R"sh(#!/bin/sh
echo "$@" >> "$MERGE_LOG"
if [ -n "$FAKE_ENFUSE_HANG" ]; then echo $$ > "$FAKE_ENFUSE_HANG"; exec sleep 30; fi
out="$2"
echo fused > "$out"
)sh";

}   // namespace

// Outside the anonymous namespace: the tests derive from it, and a one-file build of the test
// program reads this file as a header.
class SeriesMergeTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(tools.file("align_image_stack"), kAlign, 0755);
        WriteFile(tools.file("enfuse"), kEnfuse, 0755);
        const char* path = std::getenv("PATH");
        oldPath = path ? path : "";
        ::setenv("PATH", (tools.path() + ":" + oldPath).c_str(), 1);
        ::setenv("MERGE_LOG", tools.file("log").c_str(), 1);
        for (int i = 1; i <= 3; ++i) {
            files.push_back(series.file("Photo-000" + std::to_string(i) + ".jpg"));
            WriteFile(files.back(), "picture " + std::to_string(i));
        }
    }
    void TearDown() override {
        ::setenv("PATH", oldPath.c_str(), 1);
        ::unsetenv("FAKE_ALIGN_FAIL");
        ::unsetenv("FAKE_ENFUSE_HANG");
    }
    // What is left in the series' folder besides the series itself.
    std::vector<std::string> Extra() {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(series.path())) {
            const std::string name = e.path().filename().string();
            if (name.rfind("Photo-", 0) != 0) out.push_back(name);
        }
        std::sort(out.begin(), out.end());
        return out;
    }
    std::vector<std::string> LogLines() {
        std::vector<std::string> out;
        std::string text = Exists(tools.file("log")) ? ReadFile(tools.file("log")) : "";
        for (std::size_t at; (at = text.find('\n')) != std::string::npos; text.erase(0, at + 1))
            out.push_back(text.substr(0, at));
        return out;
    }

    TempDir tools, series;
    std::string oldPath;
    std::vector<std::string> files;
};

TEST_F(SeriesMergeTest, EachKindIsFusedIntoANewPictureBesideTheSeries) {
    struct Case {
        merge::Kind kind;
        int series;
        std::string options;   // enfuse's, after its output
        std::string name;
    };
    const Case cases[] = {
        {merge::Kind::Bracket, 5, "", "Bracket 5 merged.tif"},
        {merge::Kind::FocusStack, 3,
         "--exposure-weight=0 --saturation-weight=0 --contrast-weight=1 --hard-mask ",
         "Focus stack 3 merged.tif"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ::unlink(tools.file("log").c_str());
        merge::SeriesMerge merge;
        std::vector<std::string> steps;
        const auto result =
            merge.Run(c.kind, c.series, files, [&](int step, int total, const std::string& what) {
                steps.push_back(std::to_string(step) + "/" + std::to_string(total) + " " + what);
            });
        EXPECT_EQ(result.error, "");
        EXPECT_EQ(result.path, series.file(c.name));
        EXPECT_EQ(ReadFile(result.path), "fused\n");
        EXPECT_EQ(steps,
                  (std::vector<std::string>{"1/2 Aligning 3 pictures", "2/2 Fusing 3 pictures"}));
        const auto log = LogLines();
        ASSERT_EQ(log.size(), 2u);
        // The work folder is hidden beside the series, named in both runs alike.
        const std::string align = log[0];
        ASSERT_EQ(align.rfind("-m -a " + series.path() + "/.kestrel-merge-", 0), 0u) << align;
        const std::string work = align.substr(6, align.find("/aligned_ ") - 6);
        EXPECT_EQ(align,
                  "-m -a " + work + "/aligned_ " + files[0] + " " + files[1] + " " + files[2]);
        EXPECT_EQ(log[1], "-o " + work + "/fused.tif " + c.options + work + "/aligned_0000.tif " +
                              work + "/aligned_0001.tif " + work + "/aligned_0002.tif");
        EXPECT_FALSE(Exists(work));   // cleaned away
    }
    EXPECT_EQ(Extra(),
              (std::vector<std::string>{"Bracket 5 merged.tif", "Focus stack 3 merged.tif"}));
}

TEST_F(SeriesMergeTest, AMergedPictureNeverReplacesAFile) {
    WriteFile(series.file("Bracket 5 merged.tif"), "mine");
    WriteFile(series.file("Bracket 5 merged (2).tif"), "mine too");
    merge::SeriesMerge merge;
    const auto result = merge.Run(merge::Kind::Bracket, 5, files);
    EXPECT_EQ(result.path, series.file("Bracket 5 merged (3).tif"));
    EXPECT_EQ(ReadFile(series.file("Bracket 5 merged.tif")), "mine");
    EXPECT_EQ(ReadFile(series.file("Bracket 5 merged (2).tif")), "mine too");
}

TEST_F(SeriesMergeTest, AFailingToolIsReportedAndLeavesNothing) {
    ::setenv("FAKE_ALIGN_FAIL", "1", 1);
    merge::SeriesMerge merge;
    const auto result = merge.Run(merge::Kind::Bracket, 1, files);
    EXPECT_EQ(result.path, "");
    EXPECT_EQ(result.error, "align_image_stack exited with status 1: error: no control points");
    EXPECT_TRUE(Extra().empty());
    EXPECT_EQ(merge.Run(merge::Kind::Bracket, 1, {files[0]}).error,
              "a series of at least two pictures is merged");
}

TEST_F(SeriesMergeTest, CancelKillsTheToolUnderWay) {
    const std::string pidFile = tools.file("enfuse.pid");
    ::setenv("FAKE_ENFUSE_HANG", pidFile.c_str(), 1);
    merge::SeriesMerge merge;
    std::thread canceller;
    const auto start = std::chrono::steady_clock::now();
    const auto result =
        merge.Run(merge::Kind::Bracket, 1, files, [&](int step, int, const std::string&) {
            if (step != 2) return;
            canceller = std::thread([&] {
                // Once enfuse runs (it writes its pid), Cancel.
                for (int i = 0; i < 2000 && !Exists(pidFile); ++i) std::this_thread::sleep_for(5ms);
                merge.Cancel();
            });
        });
    canceller.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_EQ(result.error, "cancelled");
    EXPECT_EQ(result.path, "");
    ASSERT_TRUE(Exists(pidFile));
    const pid_t pid = std::atoi(ReadFile(pidFile).c_str());
    EXPECT_NE(::kill(pid, 0), 0);   // gone (and reaped)
    EXPECT_TRUE(Extra().empty());
}

TEST_F(SeriesMergeTest, WithoutTheToolsTheMergeSaysWhatToInstall) {
    TempDir empty;
    EXPECT_FALSE(merge::FindTools(empty.path()).ok());
    EXPECT_TRUE(merge::FindTools(tools.path()).ok());
    WriteFile(empty.file("enfuse"), kEnfuse, 0644);   // not executable: not a tool
    EXPECT_EQ(merge::FindTools(empty.path()).enfuse, "");
    ::setenv("PATH", empty.path().c_str(), 1);
    merge::SeriesMerge merge;
    EXPECT_EQ(merge.Run(merge::Kind::Bracket, 1, files).error,
              "Install enblend-enfuse and hugin-tools to merge");
}
