// Runs the command after each picture on a thread of its own, one run after another, so that
// neither a capture nor the window ever waits for it. Each run is started with posix_spawnp (no
// shell) in a process group of its own, stdin from /dev/null, stdout and stderr into one pipe;
// past its time limit the group gets SIGTERM, and SIGKILL a grace period later. Every run ends
// in exactly one report: its first output bytes, how many more were dropped, and how it ended.
//
// Threads: Post, Configure and the destructor are for any one owning thread and never wait for
// a run (the destructor stops the one under way with SIGKILL and joins); only WaitIdle waits,
// for as long as it is told. The report is called on the runner's thread with no lock held.
#pragma once

#include "document/PictureCommand.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace hook {

class CommandRunner {
public:
    struct Options {
        std::chrono::milliseconds limit{CommandSettings::kDefaultLimitSeconds * 1000};
        std::chrono::milliseconds grace{1000};   // between SIGTERM and SIGKILL
        std::size_t queueLimit = 64;             // picture runs waiting at most
        std::size_t outputLimit = 4096;          // output bytes kept of each run
    };
    // One console text a run ("\r\n" after each line).
    using Report = std::function<void(const std::string& text)>;

    explicit CommandRunner(Report report);
    ~CommandRunner();
    CommandRunner(const CommandRunner&) = delete;
    CommandRunner& operator=(const CommandRunner&) = delete;

    // The program and its arguments for the runs posted from now on (empty: none are queued).
    void Configure(std::vector<std::string> words, Options options);
    // Queues a run for event. A "download" run is refused, with one report, while queueLimit
    // of them wait already; "start" and "stop" are always queued. False when not queued.
    bool Post(CommandEvent event);

    // Runs ended so far (counted just before their report is made).
    std::uint64_t finished() const;
    // Picture runs queued and not yet taken by the thread.
    std::size_t waiting() const;
    // Waits at most `wait` for every run queued so far to end and make its report (for a close
    // that lets a last run finish before the destructor stops it). True when they all have.
    bool WaitIdle(std::chrono::milliseconds wait) const;

    // What a run came to, for the report.
    struct Outcome {
        std::string output;          // the first outputLimit bytes
        std::uint64_t dropped = 0;   // output bytes beyond them
        bool started = false;
        std::string startError;   // why it did not start
        bool timedOut = false;    // stopped at its limit
        int exitStatus = -1;      // when it exited
        int signal = 0;           // when a signal ended it
    };
    // Runs words with the environment added to this process's own, in the calling thread;
    // stop (may be null) is polled to end a run early with SIGKILL.
    static Outcome Run(const std::vector<std::string>& words,
                       const std::vector<std::string>& environment, const Options& options,
                       const int* stopFd = nullptr);
    // The report's text for a run about subject ("Photo-0003.jpg", "the session's start").
    static std::string ReportText(const std::string& subject, const Outcome& outcome,
                                  const Options& options);

private:
    struct Job {
        CommandEvent event;
        std::vector<std::string> words;
        Options options;
    };
    void work();

    Report report_;
    mutable std::mutex lock_;   // guards everything below but the thread
    std::condition_variable ready_;
    mutable std::condition_variable idle_;   // a run reported with nothing queued
    std::deque<Job> jobs_;
    std::vector<std::string> words_;
    Options options_;
    std::size_t waitingPictures_ = 0;
    std::uint64_t finished_ = 0;
    bool busy_ = false;   // a run taken and not yet reported
    bool stopping_ = false;
    int wake_[2] = {-1, -1};   // a byte in wake_[1] ends a run under way (the destructor's)
    std::thread thread_;
};

}   // namespace hook
