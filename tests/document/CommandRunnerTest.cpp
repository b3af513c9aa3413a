// The command after each picture: the words and environment a run gets, how its end, its
// output and its time limit are reported, a missing program, a full queue; the command line's
// splitting and the settings file.
#include "document/CommandRunner.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <sstream>
#include <thread>

using namespace std::chrono_literals;
using hook::CommandEvent;
using hook::CommandRunner;

namespace {

// Collects the runner's reports; waits for a count of them (no sleeps).
struct Reports {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::string> texts;
    CommandRunner::Report sink() {
        return [this](const std::string& text) {
            {
                std::lock_guard guard(lock);
                texts.push_back(text);
            }
            changed.notify_all();
        };
    }
    std::vector<std::string> waitFor(std::size_t count) {
        std::unique_lock guard(lock);
        EXPECT_TRUE(changed.wait_for(guard, 20s, [&] { return texts.size() >= count; }));
        return texts;
    }
};

CommandEvent picture(const std::string& number) {
    return {"download", "/shots/Photo-" + number + ".jpg", "/shots/", number, "EOS 20D", "Job"};
}

std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> out;
    std::string error;
    EXPECT_TRUE(hook::SplitCommand(line, out, error)) << error;
    return out;
}

TEST(CommandRunner, GivesTheWordsAndTheFactsExactly) {
    Reports reports;
    CommandRunner runner(reports.sink());
    CommandRunner::Options options;
    options.outputLimit = 1 << 20;   // the whole environment
    runner.Configure(words("sh -c 'printf \"<%s>\" \"$@\"; echo; env' sh {action} "
                           "x{file}y '{number} {camera}' {session}{folder} {other}"),
                     options);
    ASSERT_TRUE(runner.Post(picture("0003")));
    const std::string text = reports.waitFor(1).at(0);
    std::istringstream lines(text);
    std::string line, args;
    std::vector<std::string> kestrel;
    std::getline(lines, line);
    EXPECT_EQ(line, "Command output for Photo-0003.jpg:\r");
    std::getline(lines, args);
    EXPECT_EQ(args, "<download><x/shots/Photo-0003.jpgy><0003 EOS 20D><Job/shots/><{other}>\r");
    while (std::getline(lines, line))
        if (line.rfind("KESTREL_", 0) == 0) kestrel.push_back(line);
    std::sort(kestrel.begin(), kestrel.end());
    EXPECT_EQ(kestrel, (std::vector<std::string>{
                           "KESTREL_ACTION=download\r", "KESTREL_CAMERA=EOS 20D\r",
                           "KESTREL_FILE=/shots/Photo-0003.jpg\r", "KESTREL_FOLDER=/shots/\r",
                           "KESTREL_NUMBER=0003\r", "KESTREL_SESSION=Job\r"}));
    EXPECT_NE(text.find("\r\nCommand for Photo-0003.jpg ended: exit status 0\r\n"),
              std::string::npos);
}

TEST(CommandRunner, ReportsFailuresAndBoundsTheOutput) {
    struct Case {
        const char* name;
        const char* command;
        std::string report;
    };
    const Case cases[] = {
        {"exits 1", "sh -c 'echo oops >&2; exit 1'",
         "Command output for Photo-0001.jpg:\r\noops\r\n"
         "Command for Photo-0001.jpg ended: exit status 1\r\n"},
        {"a megabyte", "sh -c 'head -c 1048576 /dev/zero | tr \"\\0\" a'",
         "Command output for Photo-0001.jpg:\r\n" + std::string(4096, 'a') +
             "\r\n(1,044,480 more bytes of output not shown)\r\n"
             "Command for Photo-0001.jpg ended: exit status 0\r\n"},
        {"control characters", "printf 'a\\033b\\r\\nc'",
         "Command output for Photo-0001.jpg:\r\na?b\r\nc\r\n"
         "Command for Photo-0001.jpg ended: exit status 0\r\n"},
        {"a missing program", "/nonexistent/kestrel-nothing {file}",
         "Command not started for Photo-0001.jpg: /nonexistent/kestrel-nothing: No such file or "
         "directory\r\n"},
        {"killed by a signal", "sh -c 'kill -9 $$'",
         "Command for Photo-0001.jpg ended by signal 9\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reports reports;
        CommandRunner runner(reports.sink());
        runner.Configure(words(c.command), {});
        ASSERT_TRUE(runner.Post(picture("0001")));
        EXPECT_EQ(reports.waitFor(1).at(0), c.report);
    }
}

TEST(CommandRunner, StopsARunPastItsLimitAndGoesOnWithTheNext) {
    Reports reports;
    CommandRunner runner(reports.sink());
    CommandRunner::Options options;
    options.limit = 300ms;
    options.grace = 200ms;
    // The first picture's run hangs and ignores SIGTERM (so does its sleeping child, in the
    // same process group): SIGKILL ends both. The second's run is quick.
    runner.Configure(words("sh -c 'if [ $KESTREL_NUMBER = 0001 ]; then trap \"\" TERM; sleep 30; "
                           "fi; echo ran $KESTREL_NUMBER'"),
                     options);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(runner.Post(picture("0001")));
    ASSERT_TRUE(runner.Post(picture("0002")));
    const auto texts = reports.waitFor(2);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_EQ(texts.at(0), "Command for Photo-0001.jpg stopped after its time limit (300 ms)\r\n");
    EXPECT_EQ(texts.at(1),
              "Command output for Photo-0002.jpg:\r\nran 0002\r\n"
              "Command for Photo-0002.jpg ended: exit status 0\r\n");
    EXPECT_EQ(runner.finished(), 2u);
}

// WaitIdle comes back once every run queued so far has made its report, or at its bound while
// one still runs (which the destructor then ends).
TEST(CommandRunner, WaitsForTheQueuedRunsToReportWithinABound) {
    Reports reports;
    CommandRunner runner(reports.sink());
    EXPECT_TRUE(runner.WaitIdle(0ms));   // nothing queued
    runner.Configure(words("sh -c 'echo $KESTREL_ACTION'"), {});
    ASSERT_TRUE(runner.Post(picture("0001")));
    ASSERT_TRUE(runner.Post(picture("0002")));
    ASSERT_TRUE(runner.Post({"stop", "", "/shots/", "", "", "Job"}));
    ASSERT_TRUE(runner.WaitIdle(20s));
    {
        std::lock_guard guard(reports.lock);   // all three made before it came back
        ASSERT_EQ(reports.texts.size(), 3u);
        EXPECT_EQ(reports.texts[2],
                  "Command output for the session's end:\r\nstop\r\n"
                  "Command for the session's end ended: exit status 0\r\n");
    }
    runner.Configure(words("sleep 30"), {});
    ASSERT_TRUE(runner.Post(picture("0003")));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(runner.WaitIdle(100ms));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_EQ(runner.finished(), 3u);
}

TEST(CommandRunner, RefusesPicturesBeyondTheQueueAndClosesWithoutWaiting) {
    Reports reports;
    const auto start = std::chrono::steady_clock::now();
    {
        CommandRunner runner(reports.sink());
        CommandRunner::Options options;
        options.queueLimit = 1;
        runner.Configure(words("sleep 30"), options);
        ASSERT_TRUE(runner.Post(picture("0001")));
        while (runner.waiting() != 0) std::this_thread::yield();   // the thread took it
        ASSERT_TRUE(runner.Post(picture("0002")));                 // waits behind it
        EXPECT_FALSE(runner.Post(picture("0003")));
        EXPECT_TRUE(runner.Post({"stop", "", "/shots/", "", "", "Job"}));   // never refused
        const auto texts = reports.waitFor(1);
        EXPECT_EQ(texts.back(),
                  "Command not run for /shots/Photo-0003.jpg: 1 pictures are "
                  "waiting for it already\r\n");
    }   // the run under way is killed, the queued ones are forgotten
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    // Nothing is posted when no command is set.
    CommandRunner idle(reports.sink());
    EXPECT_FALSE(idle.Post(picture("0004")));
}

TEST(PictureCommand, SplitsLikeAShellWithoutExpanding) {
    struct Case {
        const char* line;
        std::vector<std::string> words;
        const char* error;   // "" when split
    };
    const Case cases[] = {
        {"  cp  -n\t{file} /media/backup/ ", {"cp", "-n", "{file}", "/media/backup/"}, ""},
        {"a 'b c' \"d \\\" \\\\ \\e\" f\\ g $HOME *",
         {"a", "b c", "d \" \\ \\e", "f g", "$HOME", "*"},
         ""},
        {"x''y \"\"", {"xy", ""}, ""},
        {"a 'b", {}, "a single quote (') is not closed"},
        {"a \"b", {}, "a double quote (\") is not closed"},
        {"a\\", {}, "the command ends in a backslash"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        std::vector<std::string> out;
        std::string error;
        EXPECT_EQ(hook::SplitCommand(c.line, out, error), *c.error == '\0');
        EXPECT_EQ(error, c.error);
        if (*c.error == '\0') {
            EXPECT_EQ(out, c.words);
        }
    }
    EXPECT_EQ(hook::PictureNumber("/a/Photo-0042.jpg"), "0042");
    EXPECT_EQ(hook::PictureNumber("/a/Job_12_3.CR2"), "3");
    EXPECT_EQ(hook::PictureNumber("/a2/Photo.jpg"), "");
}

TEST(PictureCommand, SettingsSurviveASaveAndRefuseBadValues) {
    testsupport::TempDir dir;
    const std::string path = hook::CommandSettings::PathBeside(dir.path() + "/config.cfg");
    EXPECT_EQ(path, dir.path() + "/command.cfg");
    std::string error = "x";
    EXPECT_EQ(hook::CommandSettings::Load(path, &error), hook::CommandSettings{});
    EXPECT_EQ(error, "");
    hook::CommandSettings settings{"cp -n {file} '/media/backup disk/'\nrm -rf /", true, 5};
    ASSERT_TRUE(settings.Save(path, error)) << error;
    const auto back = hook::CommandSettings::Load(path);
    EXPECT_EQ(back.command, "cp -n {file} '/media/backup disk/' rm -rf /");   // one line
    EXPECT_TRUE(back.sessions);
    EXPECT_EQ(back.limitSeconds, 5);
    testsupport::WriteFile(path, "limit_seconds=0\nsessions=2\nlimit_seconds=9x\n");
    EXPECT_EQ(hook::CommandSettings::Load(path), hook::CommandSettings{});
}

}   // namespace
