#include "document/CommandRunner.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace hook {
namespace {

using Clock = std::chrono::steady_clock;

std::string thousands(std::uint64_t n) {
    std::string digits = std::to_string(n);
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(i, ",");
    return digits;
}

// The process's environment without any KESTREL_ name of its own (a fact the command is told
// comes from this run, never from whoever started Kestrel), then the facts of extra.
std::vector<std::string> mergedEnvironment(const std::vector<std::string>& extra) {
    std::map<std::string, std::string> names;
    for (const std::string& entry : extra) names[entry.substr(0, entry.find('='))] = entry;
    std::vector<std::string> out;
    for (char** e = environ; e && *e; ++e) {
        const std::string entry(*e);
        const std::string name = entry.substr(0, entry.find('='));
        if (!names.count(name) && !name.starts_with("KESTREL_")) out.push_back(entry);
    }
    out.insert(out.end(), extra.begin(), extra.end());
    return out;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (std::string& s : strings) out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

// Console text: line breaks as "\r\n", other control characters as '?'.
std::string printable(const std::string& output) {
    std::string out;
    out.reserve(output.size() + 16);
    for (char c : output) {
        if (c == '\n') out += "\r\n";
        else if (c == '\r') continue;
        else if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7f) out += '?';
        else out += c;
    }
    if (!out.empty() && out.back() != '\n') out += "\r\n";
    return out;
}

}   // namespace

CommandRunner::CommandRunner(Report report) : report_(std::move(report)) {
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
    thread_ = std::thread([this] { work(); });
}

CommandRunner::~CommandRunner() {
    {
        std::lock_guard guard(lock_);
        stopping_ = true;
        jobs_.clear();
    }
    ready_.notify_all();
    if (wake_[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(wake_[1], &byte, 1);
    }
    thread_.join();
    for (int fd : wake_)
        if (fd >= 0) ::close(fd);
}

void CommandRunner::Configure(std::vector<std::string> words, Options options) {
    std::lock_guard guard(lock_);
    words_ = std::move(words);
    options_ = options;
}

bool CommandRunner::Post(CommandEvent event) {
    std::string refused;
    {
        std::lock_guard guard(lock_);
        if (words_.empty() || stopping_) return false;
        const bool picture = event.action == "download";
        if (picture && waitingPictures_ >= options_.queueLimit) {
            refused = "Command not run for " + event.file + ": " +
                      std::to_string(options_.queueLimit) +
                      " pictures are waiting for it already\r\n";
        } else {
            if (picture) ++waitingPictures_;
            jobs_.push_back(Job{std::move(event), words_, options_});
        }
    }
    if (!refused.empty()) {
        report_(refused);
        return false;
    }
    ready_.notify_one();
    return true;
}

std::uint64_t CommandRunner::finished() const {
    std::lock_guard guard(lock_);
    return finished_;
}

std::size_t CommandRunner::waiting() const {
    std::lock_guard guard(lock_);
    return waitingPictures_;
}

bool CommandRunner::WaitIdle(std::chrono::milliseconds wait) const {
    std::unique_lock guard(lock_);
    return idle_.wait_for(guard, wait, [this] { return jobs_.empty() && !busy_; });
}

void CommandRunner::work() {
    for (;;) {
        Job job;
        {
            std::unique_lock guard(lock_);
            ready_.wait(guard, [this] { return stopping_ || !jobs_.empty(); });
            if (stopping_) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
            busy_ = true;
            if (job.event.action == "download") --waitingPictures_;
        }
        const Outcome outcome = Run(CommandArguments(job.words, job.event),
                                    CommandEnvironment(job.event), job.options, &wake_[0]);
        std::string subject = job.event.file;
        if (job.event.action == "start") subject = "the session's start";
        if (job.event.action == "stop") subject = "the session's end";
        if (const std::size_t slash = subject.rfind('/'); slash != std::string::npos)
            subject = subject.substr(slash + 1);
        {
            std::lock_guard guard(lock_);
            if (stopping_) return;
            ++finished_;
        }
        report_(ReportText(subject, outcome, job.options));
        {
            std::lock_guard guard(lock_);
            busy_ = false;
        }
        idle_.notify_all();
    }
}

CommandRunner::Outcome CommandRunner::Run(const std::vector<std::string>& words,
                                          const std::vector<std::string>& environment,
                                          const Options& options, const int* stopFd) {
    Outcome outcome;
    if (words.empty() || words.front().empty()) {
        outcome.startError = "no program named";
        return outcome;
    }
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        outcome.startError = std::string("no pipe: ") + std::strerror(errno);
        return outcome;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, out[1], 2);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigfillset(&defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(
        &attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::vector<std::string> argv = words;
    std::vector<std::string> envp = mergedEnvironment(environment);
    std::vector<char*> argvPointers = pointers(argv), envpPointers = pointers(envp);
    pid_t pid = -1;
    const int spawned = ::posix_spawnp(&pid, argv.front().c_str(), &actions, &attributes,
                                       argvPointers.data(), envpPointers.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(out[1]);
    if (spawned != 0) {
        ::close(out[0]);
        outcome.startError = words.front() + ": " + std::strerror(spawned);
        return outcome;
    }
    outcome.started = true;
    ::fcntl(out[0], F_SETFL, O_NONBLOCK);
    // -1 on an old kernel: the exit is then polled for.
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));

    int readFd = out[0];
    auto deadline = Clock::now() + options.limit;
    bool terminated = false, killed = false, exited = false;
    int status = 0;
    char buffer[16384];
    const auto readSome = [&] {
        for (;;) {
            const ssize_t n = ::read(readFd, buffer, sizeof buffer);
            if (n > 0) {
                const std::size_t keep = std::min<std::size_t>(
                    static_cast<std::size_t>(n),
                    options.outputLimit - std::min(options.outputLimit, outcome.output.size()));
                outcome.output.append(buffer, keep);
                outcome.dropped += static_cast<std::uint64_t>(n) - keep;
                continue;
            }
            if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
                ::close(readFd);
                readFd = -1;
            }
            if (n < 0 && errno == EINTR) continue;
            return;
        }
    };
    const auto killGroup = [&](int signal) { ::kill(-pid, signal); };
    while (!exited) {
        pollfd fds[3];
        int count = 0, readAt = -1, pidAt = -1, stopAt = -1;
        if (readFd >= 0) fds[readAt = count++] = {readFd, POLLIN, 0};
        if (pidfd >= 0) fds[pidAt = count++] = {pidfd, POLLIN, 0};
        if (stopFd && *stopFd >= 0) fds[stopAt = count++] = {*stopFd, POLLIN, 0};
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        int timeout = static_cast<int>(std::clamp<long long>(left, 0, 1000));
        if (pidfd < 0) timeout = std::min(timeout, 20);   // no pidfd: the exit is polled for
        if (killed) timeout = 1000;
        const int ready = ::poll(fds, static_cast<nfds_t>(count), timeout);
        if (ready < 0 && errno != EINTR) break;
        if (readAt >= 0 && (fds[readAt].revents & (POLLIN | POLLHUP | POLLERR))) readSome();
        if (stopAt >= 0 && (fds[stopAt].revents & POLLIN)) {
            killGroup(SIGKILL);
            killed = true;
        }
        if (pidAt < 0 || (fds[pidAt].revents & POLLIN) || killed) {
            const pid_t done = ::waitpid(pid, &status, killed ? 0 : WNOHANG);
            if (done == pid) exited = true;
            if (done < 0 && errno != EINTR) break;
        }
        if (exited) break;
        if (Clock::now() >= deadline && !terminated) {
            killGroup(SIGTERM);
            terminated = outcome.timedOut = true;
            deadline = Clock::now() + options.grace;
        } else if (Clock::now() >= deadline && terminated && !killed) {
            killGroup(SIGKILL);
            killed = true;
        }
    }
    if (!exited) ::waitpid(pid, &status, 0);
    // What is left in the pipe; a child's own children that keep it open are not waited for.
    if (readFd >= 0) readSome();
    if (readFd >= 0) ::close(readFd);
    if (pidfd >= 0) ::close(pidfd);
    if (WIFEXITED(status)) outcome.exitStatus = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
    return outcome;
}

std::string CommandRunner::ReportText(const std::string& subject, const Outcome& outcome,
                                      const Options& options) {
    if (!outcome.started)
        return "Command not started for " + subject + ": " + outcome.startError + "\r\n";
    std::string text;
    if (!outcome.output.empty() || outcome.dropped > 0) {
        text += "Command output for " + subject + ":\r\n" + printable(outcome.output);
        if (outcome.dropped > 0)
            text += "(" + thousands(outcome.dropped) + " more bytes of output not shown)\r\n";
    }
    if (outcome.timedOut) {
        const auto ms = options.limit.count();
        const std::string limit =
            ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
        text += "Command for " + subject + " stopped after its time limit (" + limit + ")\r\n";
    } else if (outcome.signal != 0) {
        text += "Command for " + subject + " ended by signal " + std::to_string(outcome.signal) +
                "\r\n";
    } else {
        text += "Command for " + subject + " ended: exit status " +
                std::to_string(outcome.exitStatus) + "\r\n";
    }
    return text;
}

}   // namespace hook
