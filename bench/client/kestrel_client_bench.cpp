// The client view under a shoot: a server process (the client view over a temporary capture
// folder) while this one saves a picture there every --interval ms as the capture writer does (a
// temporary, then renamed to its name) and keeps --clients pages open, each on the event stream and
// fetching the thumbnail of each new picture as the page does. Reported: from the save (the
// rename, where Kestrel writes "Saved") to the event on each page, and to its thumbnail in the
// page's hands, p50/p95/max over every picture and page; and the server process's CPU over a run
// with no page open and over the run with the pages, so the CPU each page adds.
//   kestrel_client_bench [--pictures N] [--interval MS] [--clients C] [--width W] [--live L]
//   (defaults 50, 1000, 8, 6000: 6000 x 4000 JPEGs with their EXIF thumbnail, quality 90; 0)
// With --live, L more pages read the live stream while a camera thread in the server offers 30
// frames a second: the longest hand-over it took the camera thread and the frames each page got.
// The last line printed is one JSON object: {"pictures", "interval_ms", "clients",
// "event_ms_p50", "event_ms_p95", "event_ms_max", "thumb_ms_p50", "thumb_ms_p95",
// "thumb_ms_max", "lost", "server_cpu_pct_idle", "server_cpu_pct_clients",
// "cpu_pct_per_client", "live_pages", "offer_p99_us", "offer_max_us", "live_fps_per_page"}, CPU in percent of
// one core over the run.
#include "BenchPages.h"
#include "client/ClientServer.h"
#include "sdk/sim/ImageFile.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using benchpages::nowUs;
using Clock = std::chrono::steady_clock;   // CLOCK_MONOTONIC: one clock for both processes
const std::string kKey = "0123456789abcdef0123456789abcdef";

struct Options {
    int pictures = 50, intervalMs = 1000, clients = 8, width = 6000;
    int live = 0;   // more pages, on the live stream, while the camera offers 30 frames a second
};

std::string nameOf(int n) {
    char name[32];
    std::snprintf(name, sizeof name, "Photo-%04d.jpg", n);
    return name;
}

std::vector<std::uint8_t> pictureBytes(int width) {
    const int height = width * 2 / 3;
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
    for (std::size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = static_cast<std::uint8_t>((i * 7 + (i / 3 / width) * 3) & 0xff);
    return sim::jpegWithThumbnail(rgb.data(), width, height, 90);
}

// The server process: serves folder, tells the port on `out`; measures its CPU from a "g" on
// `go` to the end of `go` and tells it ("cpu US WALL_US").
[[noreturn]] void serve(const std::string& folder, int go, int out, bool live) {
    auto say = [out](const std::string& line) {
        if (::write(out, line.data(), line.size()) < 0) std::_Exit(3);
    };
    client::ClientServer server(
        [folder] {
            return std::pair{folder, std::string("Photo")};
        },
        nullptr);
    client::ClientViewOptions options;
    options.address = "127.0.0.1";
    options.port = 0;
    options.key = kKey;
    options.maxClients = 64;
    options.live = live;
    if (!server.Start(options).empty()) std::_Exit(2);
    // The camera: a frame each 33 ms, handed over as the document's frame tap does; how long
    // each hand-over took the camera thread.
    std::atomic<bool> streaming{live};
    std::int64_t offers = 0, offerMaxNs = 0, offerP99Ns = 0;
    std::vector<std::int64_t> took(100000);   // each hand-over's time, kept without allocating
    std::thread camera;
    if (live)
        camera = std::thread([&] {
            std::vector<std::uint8_t> frame(client::LiveFrames::kFrameBytes);
            const auto start = Clock::now();
            for (int i = 0; streaming.load() && offers < static_cast<std::int64_t>(took.size());
                 ++i) {
                std::fill(frame.begin(), frame.end(), static_cast<std::uint8_t>(i));
                const auto before = Clock::now();
                server.LiveView()->Offer(frame.data());
                took[offers++] = std::chrono::nanoseconds(Clock::now() - before).count();
                std::this_thread::sleep_until(start + std::chrono::microseconds(33333) * (i + 1));
            }
            std::sort(took.begin(), took.begin() + offers);
            if (offers > 0) {
                offerMaxNs = took[offers - 1];
                offerP99Ns = took[std::min<std::int64_t>(offers - 1, offers * 99 / 100)];
            }
        });
    const std::string url = server.Urls().front();
    const std::size_t colon = url.rfind(':');
    say("port " + url.substr(colon + 1, url.find('/', colon) - colon - 1) + "\n");
    char byte;
    if (::read(go, &byte, 1) != 1) std::_Exit(4);
    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    const auto start = Clock::now();
    while (::read(go, &byte, 1) == 1) {}
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    auto us = [](const timeval& t) { return std::int64_t{t.tv_sec} * 1000000 + t.tv_usec; };
    const std::int64_t cpu =
        us(after.ru_utime) - us(before.ru_utime) + us(after.ru_stime) - us(before.ru_stime);
    const std::int64_t wall =
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
    streaming.store(false);
    if (camera.joinable()) camera.join();
    say("cpu " + std::to_string(cpu) + " " + std::to_string(wall) + " " + std::to_string(offers) +
        " " + std::to_string(offerMaxNs) + " " + std::to_string(server.LiveView()->encoded()) +
        " " + std::to_string(offerP99Ns) + "\n");
    server.Stop();
    std::_Exit(0);
}

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * (v.size() - 1) + 0.5))];
}

struct Run {
    std::vector<double> eventMs, thumbMs;
    int lost = 0;
    double cpuPct = 0, seconds = 0;
    long offers = 0, encoded = 0, liveFrames = 0;
    double offerMaxUs = 0, offerP99Us = 0;
};

// One run: a server process over a folder this one saves the pictures into, with `clients`
// pages here.
Run run(const Options& o, int clients, int live, const std::vector<std::uint8_t>& jpeg) {
    const std::string folder = std::filesystem::temp_directory_path().string() +
                               "/kestrel-client-bench-" + std::to_string(::getpid()) + "-" +
                               std::to_string(clients) + "/";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    int toServer[2], fromServer[2];
    if (::pipe(toServer) != 0 || ::pipe(fromServer) != 0) std::exit(1);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(toServer[1]);
        ::close(fromServer[0]);
        serve(folder, toServer[0], fromServer[1], live > 0);
    }
    ::close(toServer[0]);
    ::close(fromServer[1]);
    FILE* lines = ::fdopen(fromServer[0], "r");
    char line[256];
    int port = 0;
    if (std::fgets(line, sizeof line, lines)) std::sscanf(line, "port %d", &port);
    benchpages::Seen seen;
    seen.size(clients, o.pictures);
    std::atomic<int> open{0};
    std::vector<std::thread> pages;
    for (int c = 0; c < clients; ++c)
        pages.emplace_back(benchpages::eventPage, port, kKey, c, o.pictures, std::ref(seen),
                           std::ref(open), 1);
    std::atomic<long> liveFrames{0};
    for (int c = 0; c < live; ++c)
        pages.emplace_back(benchpages::livePage, port, kKey, std::ref(open), std::ref(liveFrames));
    while (open.load() < clients + live) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (::write(toServer[1], "g", 1) != 1) std::exit(1);

    // Saved as the capture writer saves: a temporary, then renamed to its name ("Saved").
    std::vector<std::int64_t> saved(o.pictures, 0);
    const auto start = Clock::now();
    for (int n = 1; n <= o.pictures; ++n) {
        std::this_thread::sleep_until(start + std::chrono::milliseconds(o.intervalMs) * (n - 1));
        const std::string temporary = folder + ".Photo.tmp", name = folder + nameOf(n);
        std::ofstream(temporary, std::ios::binary)
            .write(reinterpret_cast<const char*>(jpeg.data()),
                   static_cast<std::streamsize>(jpeg.size()));
        std::filesystem::rename(temporary, name);
        saved[n - 1] = nowUs();
    }
    // The last picture's pages have their thumbnails well within an interval.
    std::this_thread::sleep_for(std::chrono::milliseconds(std::max(o.intervalMs, 500)));
    ::close(toServer[1]);
    Run result;
    long long cpu = 0, wall = 0, offers = 0, offerMaxNs = 0, encoded = 0, offerP99Ns = 0;
    if (std::fgets(line, sizeof line, lines) &&
        std::sscanf(line, "cpu %lld %lld %lld %lld %lld %lld", &cpu, &wall, &offers, &offerMaxNs,
                    &encoded, &offerP99Ns) == 6) {
        result.offerP99Us = static_cast<double>(offerP99Ns) / 1000.0;
        result.cpuPct = 100.0 * static_cast<double>(cpu) / static_cast<double>(wall);
        result.seconds = static_cast<double>(wall) / 1e6;
        result.offers = static_cast<long>(offers);
        result.offerMaxUs = static_cast<double>(offerMaxNs) / 1000.0;
        result.encoded = static_cast<long>(encoded);
    }
    std::fclose(lines);
    int status = 0;
    ::waitpid(child, &status, 0);
    // The server is gone: pages still waiting see their stream end.
    for (std::thread& t : pages) t.join();
    result.liveFrames = liveFrames.load();
    for (int c = 0; c < clients; ++c)
        for (int n = 0; n < o.pictures; ++n) {
            if (seen.event[c][n] == 0 || seen.thumb[c][n] == 0) {
                ++result.lost;
                continue;
            }
            result.eventMs.push_back((seen.event[c][n] - saved[n]) / 1000.0);
            result.thumbMs.push_back((seen.thumb[c][n] - saved[n]) / 1000.0);
        }
    std::filesystem::remove_all(folder);
    return result;
}

}   // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        const int value = std::atoi(argv[i + 1]);
        if (flag == "--pictures") o.pictures = std::max(1, value);
        else if (flag == "--interval") o.intervalMs = std::max(10, value);
        else if (flag == "--clients") o.clients = std::max(0, value);
        else if (flag == "--width") o.width = std::max(320, value);
        else if (flag == "--live") o.live = std::max(0, value);
    }
    const std::vector<std::uint8_t> jpeg = pictureBytes(o.width);
    std::printf("%d pictures of %d x %d (%zu bytes), one each %d ms, %d pages\n", o.pictures,
                o.width, o.width * 2 / 3, jpeg.size(), o.intervalMs, o.clients);
    const Run idle = run(o, 0, 0, jpeg);
    std::printf("no page open: server CPU %.2f %% of a core\n", idle.cpuPct);
    const Run busy = run(o, o.clients, o.live, jpeg);
    // With live pages, the camera thread's hand-overs and the encoder count in the busy run.
    const double perClient = o.clients + o.live > 0 ? (busy.cpuPct - idle.cpuPct) /
                                                          static_cast<double>(o.clients + o.live)
                                                    : 0;
    std::printf("saved -> event on the page: p50 %.1f ms, p95 %.1f ms, max %.1f ms\n",
                percentile(busy.eventMs, 0.5), percentile(busy.eventMs, 0.95),
                percentile(busy.eventMs, 1));
    std::printf("saved -> thumbnail in the page: p50 %.1f ms, p95 %.1f ms, max %.1f ms\n",
                percentile(busy.thumbMs, 0.5), percentile(busy.thumbMs, 0.95),
                percentile(busy.thumbMs, 1));
    std::printf("%d pages: server CPU %.2f %% of a core, %.2f %% a page; %d lost\n", o.clients,
                busy.cpuPct, perClient, busy.lost);
    if (o.live > 0)
        std::printf(
            "live view: %ld frames offered at 30 fps, hand-over p99 %.1f us, max %.1f us; "
            "%ld JPEGs made (%.1f a second); %d live pages got %.1f frames a second each\n",
            busy.offers, busy.offerP99Us, busy.offerMaxUs, busy.encoded,
            static_cast<double>(busy.encoded) / busy.seconds, o.live,
            static_cast<double>(busy.liveFrames) / o.live / busy.seconds);
    std::printf(
        "{\"pictures\":%d,\"interval_ms\":%d,\"clients\":%d,\"event_ms_p50\":%.1f,"
        "\"event_ms_p95\":%.1f,\"event_ms_max\":%.1f,\"thumb_ms_p50\":%.1f,"
        "\"thumb_ms_p95\":%.1f,\"thumb_ms_max\":%.1f,\"lost\":%d,"
        "\"server_cpu_pct_idle\":%.2f,\"server_cpu_pct_clients\":%.2f,"
        "\"cpu_pct_per_client\":%.2f,\"live_pages\":%d,\"offer_p99_us\":%.1f,\"offer_max_us\":%.1f,"
        "\"live_fps_per_page\":%.1f}\n",
        o.pictures, o.intervalMs, o.clients, percentile(busy.eventMs, 0.5),
        percentile(busy.eventMs, 0.95), percentile(busy.eventMs, 1), percentile(busy.thumbMs, 0.5),
        percentile(busy.thumbMs, 0.95), percentile(busy.thumbMs, 1), busy.lost, idle.cpuPct,
        busy.cpuPct, perClient, o.live, busy.offerP99Us, busy.offerMaxUs,
        o.live > 0 ? static_cast<double>(busy.liveFrames) / o.live / busy.seconds : 0.0);
    return busy.lost == 0 ? 0 : 1;
}
