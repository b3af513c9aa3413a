#include "ClientLoad.h"

#include "BenchPages.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

// The page process: waits for "open PORT KEY FIRST PICTURES EVENTPAGES LIVEPAGES", says "opened"
// once every stream answered, and when the pages have ended writes what they saw.
[[noreturn]] void pages(int in, int out) {
    FILE* from = ::fdopen(in, "r");
    FILE* to = ::fdopen(out, "w");
    char key[128] = {};
    int port = 0, first = 0, pictures = 0, eventPages = 0, livePages = 0;
    if (std::fscanf(from, "open %d %127s %d %d %d %d", &port, key, &first, &pictures, &eventPages,
                    &livePages) != 6)
        std::_Exit(0);
    benchpages::Seen seen;
    seen.size(eventPages, pictures);
    std::atomic<int> open{0};
    std::atomic<long> frames{0};
    std::vector<std::thread> threads;
    const std::string keyText = key;
    for (int p = 0; p < eventPages; ++p)
        threads.emplace_back(benchpages::eventPage, port, keyText, p, pictures, std::ref(seen),
                             std::ref(open), first);
    for (int p = 0; p < livePages; ++p)
        threads.emplace_back(benchpages::livePage, port, keyText, std::ref(open), std::ref(frames));
    while (open.load() < eventPages + livePages)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    std::fprintf(to, "opened\n");
    std::fflush(to);
    for (std::thread& t : threads) t.join();
    std::fprintf(to, "live %ld\n", frames.load());
    for (int p = 0; p < eventPages; ++p)
        for (int n = 0; n < pictures; ++n)
            std::fprintf(to, "seen %d %d %lld %lld\n", p, n,
                         static_cast<long long>(seen.event[p][n]),
                         static_cast<long long>(seen.thumb[p][n]));
    std::fprintf(to, "end\n");
    std::fflush(to);
    std::_Exit(0);
}

}   // namespace

bool ClientLoad::Fork() {
    int down[2], up[2];
    if (::pipe(down) != 0 || ::pipe(up) != 0) return false;
    child_ = ::fork();
    if (child_ < 0) return false;
    if (child_ == 0) {
        ::close(down[1]);
        ::close(up[0]);
        pages(down[0], up[1]);
    }
    ::close(down[0]);
    ::close(up[1]);
    toChild_ = down[1];
    fromChild_ = up[0];
    return true;
}

void ClientLoad::Open(int port, const std::string& key, int first, int pictures, int eventPages,
                      int livePages) {
    const std::string line = "open " + std::to_string(port) + " " + key + " " +
                             std::to_string(first) + " " + std::to_string(pictures) + " " +
                             std::to_string(eventPages) + " " + std::to_string(livePages) + "\n";
    if (::write(toChild_, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
        std::fprintf(stderr, "the page process is gone\n");
}

bool ClientLoad::WaitOpen(const std::function<void()>& step) {
    std::string got;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < until) {
        pollfd look{fromChild_, POLLIN, 0};
        if (::poll(&look, 1, 10) == 1) {
            char c;
            if (::read(fromChild_, &c, 1) != 1) return false;
            if (c == '\n') return got == "opened";
            got += c;
        }
        step();
    }
    return false;
}

ClientLoad::Result ClientLoad::Finish(int eventPages, int pictures) {
    Result result;
    result.event.assign(eventPages, std::vector<std::int64_t>(pictures, 0));
    result.thumb = result.event;
    FILE* from = ::fdopen(fromChild_, "r");
    char line[160];
    while (from && std::fgets(line, sizeof line, from)) {
        int p = 0, n = 0;
        long long event = 0, thumb = 0;
        if (std::sscanf(line, "seen %d %d %lld %lld", &p, &n, &event, &thumb) == 4) {
            if (p >= 0 && p < eventPages && n >= 0 && n < pictures) {
                result.event[p][n] = event;
                result.thumb[p][n] = thumb;
            }
        } else if (std::sscanf(line, "live %ld", &result.liveFrames) == 1) {
        } else if (std::string(line) == "end\n") {
            break;
        }
    }
    if (from) std::fclose(from);
    fromChild_ = -1;
    Cancel();
    return result;
}

void ClientLoad::Cancel() {
    if (toChild_ >= 0) ::close(toChild_);
    if (fromChild_ >= 0) ::close(fromChild_);
    toChild_ = fromChild_ = -1;
    if (child_ > 0) {
        int status = 0;
        ::waitpid(child_, &status, 0);
    }
    child_ = -1;
}
