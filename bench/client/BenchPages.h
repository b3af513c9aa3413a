// The client view's pages as the benchmarks play them over loopback: a page on the event stream
// that fetches each new picture's thumbnail as the page's script does, and a page on the live
// stream that counts its frames. Plain sockets, no Qt.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace benchpages {

std::int64_t nowUs();   // the steady clock (CLOCK_MONOTONIC: one clock for every process)

// A socket from machine (127.0.4.N) with a 10 s receive timeout; -1 when refused.
int connectTo(int port, int machine = 0);
bool sendAll(int fd, const std::string& text);
// One GET answered whole (the connection closed after it); its body's size, -1 on failure.
long fetch(int port, const std::string& target, int machine = 0);

struct Seen {
    std::mutex lock;
    // [page][picture - first]: when the event came, when the thumbnail was in (us, 0: never)
    std::vector<std::vector<std::int64_t>> event, thumb;
    void size(int pages, int pictures) {
        event.assign(pages, std::vector<std::int64_t>(pictures, 0));
        thumb = event;
    }
};

// Reads the event stream until pictures first..first + pictures - 1 were announced or the stream
// ends; for each new picture fetches its thumbnail. `open` counts up once the stream answered (or
// failed). Seen is indexed by number - first.
void eventPage(int port, const std::string& key, int page, int pictures, Seen& seen,
               std::atomic<int>& open, int first = 1);
// Counts the frames of the live stream until the server ends it.
void livePage(int port, const std::string& key, std::atomic<int>& open, std::atomic<long>& frames);

}   // namespace benchpages
