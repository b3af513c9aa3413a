// The pages a studio's clients keep open, for the stream benchmark: a child process, forked
// before this one starts any thread, that opens event pages (each fetching every new picture's
// thumbnail) and live-stream pages against the window's client view, so their CPU is not
// counted as the window's.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

class ClientLoad {
public:
    // Forks the page process; call before any thread exists. False when that failed.
    bool Fork();
    // The pages open against 127.0.0.1:port; pictures first..first + pictures - 1 are awaited.
    void Open(int port, const std::string& key, int first, int pictures, int eventPages,
              int livePages);
    // True once every page's stream has answered; `step` runs between looks (up to 10 s).
    bool WaitOpen(const std::function<void()>& step);

    struct Result {
        long liveFrames = 0;
        // [page][picture - first]: when the event came, when the thumbnail was in (steady us, 0:
        // never)
        std::vector<std::vector<std::int64_t>> event, thumb;
    };
    // Once the server has dropped the pages: what they got. Ends the page process.
    Result Finish(int eventPages, int pictures);
    // Ends an unused page process.
    void Cancel();

private:
    pid_t child_ = -1;
    int toChild_ = -1, fromChild_ = -1;
};
