// The client view's server against what a hostile network sends: each request refused or
// dropped, nothing outside the numbered pictures served, the capture folder left as it was.
#include "client/ClientServer.h"
#include "picture/Sidecar.h"
#include "sdk/sim/ImageFile.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace {

using testsupport::ReadFile;
using testsupport::WriteFile;

// A socket to the server from `from` (any 127.x address is this machine); -1 when refused.
int connectFrom(int port, const char* from) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{}, remote{};
    local.sin_family = remote.sin_family = AF_INET;
    ::inet_pton(AF_INET, from, &local.sin_addr);
    ::inet_pton(AF_INET, "127.0.0.1", &remote.sin_addr);
    remote.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        ::connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Reads until the server closes, `until` shows up, or nothing came for timeoutMs.
std::string readFrom(int fd, int timeoutMs, const std::string& until = {}) {
    std::string got;
    char buffer[65536];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0) break;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        got.append(buffer, static_cast<std::size_t>(n));
        if (!until.empty() && got.find(until) != std::string::npos) break;
    }
    return got;
}

std::string roundTrip(int port, const std::string& request, const char* from = "127.0.0.1") {
    const int fd = connectFrom(port, from);
    if (fd < 0) return {};
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string reply = readFrom(fd, 3000);
    ::close(fd);
    return reply;
}

int statusOf(const std::string& reply) {
    return reply.starts_with("HTTP/1.1 ") ? std::atoi(reply.c_str() + 9) : 0;
}

std::string get(const std::string& target) {
    return "GET " + target + " HTTP/1.1\r\nHost: kestrel\r\nConnection: close\r\n\r\n";
}

std::string jpegOf(int width, int height) {
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
    for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<std::uint8_t>(i * 7);
    const auto bytes = sim::jpegWithThumbnail(rgb.data(), width, height, 90);
    return {bytes.begin(), bytes.end()};
}

std::set<std::string> listing(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.insert(e.path().filename().string() + ":" +
                     (e.is_regular_file() ? ReadFile(e.path().string()) : "link"));
    return names;
}

class ClientServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(captures);
        WriteFile(root.file("secret.txt"), "SECRET outside the folder");
        WriteFile(captures + "/config.cfg", "SECRET settings");
        WriteFile(captures + "/Photo-0001.jpg", jpegOf(640, 480));
        WriteFile(captures + "/Photo-0002.jpg", jpegOf(2400, 1600));
        WriteFile(captures + "/Photo-0002.jpg.xmp", "SECRET sidecar");
        // A link planted at a picture's name, pointing out of the folder.
        std::filesystem::create_symlink(root.file("secret.txt"), captures + "/Photo-0003.jpg");
        options.address = "127.0.0.1";
        options.port = 0;
        options.key = "00112233445566778899aabbccddeeff";
        options.wrongKeyDelay = std::chrono::milliseconds(20);
        options.strikes = 3;
        options.idleSeconds = 1;
        ASSERT_EQ(server.Start(options), "");
        port = std::stoi(server.Urls().at(0).substr(std::string("http://127.0.0.1:").size()));
    }
    std::string keyed(const std::string& path) { return path + "?key=" + options.key; }

    testsupport::TempDir root;
    const std::string captures = root.file("captures");
    std::mutex notesLock;
    std::vector<std::string> notes;
    client::ClientServer server{[this] {
                                    return std::pair{captures + "/", std::string("Photo")};
                                },
                                [this](const std::string& line) {
                                    std::lock_guard lock(notesLock);
                                    notes.push_back(line);
                                }};
    client::ClientViewOptions options;
    int port = 0;
};

TEST_F(ClientServerTest, HostileRequestsAreRefusedAndNothingOutsideThePicturesIsServed) {
    const std::set<std::string> before = listing(captures);
    const std::string big(1 << 20, 'a');
    const struct {
        const char* what;
        std::string request;
        int status;   // 0: dropped without an answer
    } table[] = {
        {"no key", get("/pictures"), 401},
        {"no key, a picture", get("/original/1"), 401},
        {"wrong key", get("/original/1?key=00112233445566778899aabbccddeefe"), 401},
        {"key in another letter case", get("/pictures?key=00112233445566778899AABBCCDDEEFF"), 401},
        {"a path up", get(keyed("/../secret.txt")), 404},
        {"a path up, encoded", get(keyed("/original/%2e%2e/%2e%2e/secret.txt")), 404},
        {"a path after the number", get(keyed("/original/1/../../secret.txt")), 404},
        {"the sidecar", get(keyed("/original/2.xmp")), 404},
        {"the settings", get(keyed("/config.cfg")), 404},
        {"a link planted at a picture's name", get(keyed("/original/3")), 404},
        {"a link planted, as a thumbnail", get(keyed("/thumb/3")), 404},
        {"a 1 MB header", "GET " + keyed("/pictures") + " HTTP/1.1\r\nX: " + big + "\r\n\r\n", 431},
        {"a body",
         "POST " + keyed("/pick/1") + "&on=1" +
             " HTTP/1.1\r\nContent-Length: 5\r\nConnection: close\r\n\r\nhello",
         413},
        {"another method", "DELETE " + keyed("/thumb/1") + " HTTP/1.1\r\nConnection: close\r\n\r\n",
         405},
        {"a pick by GET", get(keyed("/pick/1") + "&on=1"), 405},
    };
    for (const auto& row : table) {
        // Wrong keys come from an address of their own, so the others are never shut out.
        const std::string reply = roundTrip(port, row.request, "127.0.0.2");
        EXPECT_EQ(statusOf(reply), row.status) << row.what << "\n" << reply.substr(0, 200);
        EXPECT_EQ(reply.find("SECRET"), std::string::npos) << row.what;
    }
    // What is served is the picture itself, by number.
    const std::string original = roundTrip(port, get(keyed("/original/2")));
    EXPECT_EQ(statusOf(original), 200);
    EXPECT_TRUE(original.ends_with(ReadFile(captures + "/Photo-0002.jpg")));
    const std::string list = roundTrip(port, get(keyed("/pictures")));
    EXPECT_NE(list.find("\"name\":\"Photo-0002.jpg\""), std::string::npos);
    EXPECT_LT(list.find("Photo-0002.jpg"), list.find("Photo-0001.jpg"));   // newest first
    EXPECT_EQ(list.find("Photo-0003"), std::string::npos);
    EXPECT_EQ(listing(captures), before);
}

TEST_F(ClientServerTest, SizesAreMadeHereNotTheOriginal) {
    const std::string thumb = roundTrip(port, get(keyed("/thumb/2")));
    const std::string large = roundTrip(port, get(keyed("/large/2") + "&w=1000"));
    ASSERT_EQ(statusOf(thumb), 200);
    ASSERT_EQ(statusOf(large), 200);
    const std::size_t originalSize = ReadFile(captures + "/Photo-0002.jpg").size();
    EXPECT_LT(thumb.size(), large.size());
    EXPECT_LT(large.size(), originalSize);
    EXPECT_NE(thumb.find("Content-Type: image/jpeg"), std::string::npos);
}

TEST_F(ClientServerTest, RepeatedWrongKeysShutTheAddressOut) {
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(statusOf(roundTrip(port, get("/pictures?key=wrong"), "127.0.0.3")), 401);
    EXPECT_EQ(statusOf(roundTrip(port, get(keyed("/pictures")), "127.0.0.3")), 0);
    EXPECT_EQ(statusOf(roundTrip(port, get(keyed("/pictures")), "127.0.0.1")), 200);
}

TEST_F(ClientServerTest, AtMostSixteenMachinesOfEightConnectionsAndAStalledOneIsDropped) {
    // With an idle time longer than the test, an admitted connection stays open, so a slot never
    // frees and lets a later one in: the limits are on machines and connections at once.
    server.Stop();
    options.idleSeconds = 60;
    ASSERT_EQ(server.Start(options), "");
    port = std::stoi(server.Urls().at(0).substr(std::string("http://127.0.0.1:").size()));
    // 200 connections from 25 machines, 8 each (a page's stream and its pictures side by side).
    std::vector<int> open;
    std::vector<int> machineOf;
    for (int m = 0; m < 25; ++m)
        for (int c = 0; c < 8; ++c) {
            const std::string from = "127.0.1." + std::to_string(10 + m);
            open.push_back(connectFrom(port, from.c_str()));
            machineOf.push_back(m);
        }
    // A ninth connection of an admitted machine is refused.
    open.push_back(connectFrom(port, "127.0.1.10"));
    machineOf.push_back(0);
    // Those past the limits are closed unanswered; wait until every socket is either closed by
    // the server or one of the admitted.
    std::vector<bool> closed(open.size(), false);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (std::size_t stillOpen = open.size(); std::chrono::steady_clock::now() < deadline;) {
        stillOpen = 0;
        for (std::size_t i = 0; i < open.size(); ++i) {
            if (open[i] < 0 || closed[i]) continue;
            pollfd p{open[i], POLLIN, 0};
            char byte;
            if (::poll(&p, 1, 0) > 0 && ::recv(open[i], &byte, 1, MSG_DONTWAIT) <= 0)
                closed[i] = true;
            else ++stillOpen;
        }
        if (stillOpen <= 16 * 8 && server.Clients() == stillOpen) break;
        std::this_thread::yield();
    }
    EXPECT_LE(server.Machines(), 16u);
    EXPECT_GE(server.Machines(), 2u);
    std::map<int, int> perMachine;
    for (std::size_t i = 0; i < open.size(); ++i)
        if (open[i] >= 0 && !closed[i]) ++perMachine[machineOf[i]];
    for (const auto& [machine, count] : perMachine) EXPECT_LE(count, 8) << machine;
    EXPECT_LE(perMachine.size(), 16u);
    // Each still open asks for the page and is answered.
    const std::string request = get(keyed("/pictures"));
    int answered = 0;
    for (std::size_t i = 0; i < open.size(); ++i) {
        if (open[i] < 0) continue;
        if (!closed[i]) {
            ::send(open[i], request.data(), request.size(), MSG_NOSIGNAL);
            if (statusOf(readFrom(open[i], 3000, "\r\n")) == 200) ++answered;
        }
        ::close(open[i]);
    }
    // Sixteen machines with eight connections each are all answered (a limit on connections
    // alone left a page's pictures unanswered behind the others' event streams).
    EXPECT_GE(answered, 16 * 8 / 2);
    EXPECT_LE(answered, 16 * 8);
    server.Stop();
    options.idleSeconds = 1;
    ASSERT_EQ(server.Start(options), "");
    port = std::stoi(server.Urls().at(0).substr(std::string("http://127.0.0.1:").size()));
    // A client that asks for a large file and then hardly reads is dropped after the idle time.
    WriteFile(captures + "/Photo-0004.jpg", std::string(8 << 20, 'x'));
    const int slow = connectFrom(port, "127.0.0.5");
    const int small = 4096;
    ::setsockopt(slow, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    const std::string ask = get(keyed("/original/4"));
    ::send(slow, ask.data(), ask.size(), MSG_NOSIGNAL);
    // One byte a second: the server's writes stall and it drops the connection after the idle
    // time, whatever the kernel still holds for the socket.
    char byte;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 50 && server.Clients() > 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (i % 10 == 9) [[maybe_unused]]
            const ssize_t n = ::recv(slow, &byte, 1, MSG_DONTWAIT);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
    EXPECT_EQ(server.Clients(), 0u);
    ::close(slow);
    // Still answering everyone else.
    EXPECT_EQ(statusOf(roundTrip(port, get(keyed("/pictures")))), 200);
}

TEST_F(ClientServerTest, OpenPagesHearOfCapturesAndPicks) {
    const int events = connectFrom(port, "127.0.0.1");
    const std::string ask = get(keyed("/events"));
    ::send(events, ask.data(), ask.size(), MSG_NOSIGNAL);
    ASSERT_NE(readFrom(events, 3000, "retry:").find("text/event-stream"), std::string::npos);
    // A capture arrives as the capture writer leaves it: moved to its name whole.
    WriteFile(captures + "/.Photo-0005.tmp", jpegOf(320, 240));
    std::filesystem::rename(captures + "/.Photo-0005.tmp", captures + "/Photo-0005.jpg");
    EXPECT_NE(readFrom(events, 3000, "Photo-0005.jpg").find("event: picture"), std::string::npos);

    const std::string pick =
        "POST " + keyed("/pick/1") + "&on=1 HTTP/1.1\r\nConnection: close\r\n\r\n";
    EXPECT_EQ(statusOf(roundTrip(port, pick)), 200);
    EXPECT_TRUE(picture::ReadClientPick(captures + "/Photo-0001.jpg"));
    EXPECT_EQ(picture::ReadRating(captures + "/Photo-0001.jpg"), std::nullopt);
    EXPECT_NE(readFrom(events, 3000, "\"pick\":true").find("\"n\":1,"), std::string::npos);
    {
        std::lock_guard lock(notesLock);
        EXPECT_EQ(notes, std::vector<std::string>{"Client picked Photo-0001.jpg\r\n"});
    }
    server.SetPicks(false);
    EXPECT_EQ(statusOf(roundTrip(port, pick)), 403);
    // Stop ends the open stream too.
    server.Stop();
    readFrom(events, 3000);
    pollfd p{events, POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 0), 1);
    EXPECT_EQ(::recv(events, &p, 1, MSG_DONTWAIT), 0);
    ::close(events);
    EXPECT_EQ(connectFrom(port, "127.0.0.1"), -1);
}

// The live view: refused while off; switched on, each page gets a multipart stream of JPEG
// frames, at most eight at once (the ninth is told so); switched off, the open streams end.
TEST_F(ClientServerTest, TheLiveStreamIsRefusedWhenOffAndHoldsAtMostEightPages) {
    const std::string off = roundTrip(port, get(keyed("/live")));
    EXPECT_EQ(statusOf(off), 403);
    EXPECT_NE(off.find("The live view is off."), std::string::npos);
    EXPECT_NE(roundTrip(port, get(keyed("/pictures"))).find("\"live\":false"), std::string::npos);

    server.SetLive(true);
    const std::vector<std::uint8_t> frame(client::LiveFrames::kFrameBytes, 128);
    server.LiveView()->Offer(frame.data());
    std::vector<int> pages;
    for (unsigned i = 0; i < client::kMaxLiveStreams; ++i) {
        // Each page from a machine of its own: one machine holds at most 8 connections.
        const std::string from = "127.0.2." + std::to_string(10 + i);
        const int fd = connectFrom(port, from.c_str());
        ASSERT_GE(fd, 0);
        const std::string ask = get(keyed("/live"));
        ::send(fd, ask.data(), ask.size(), MSG_NOSIGNAL);
        const std::string got = readFrom(fd, 3000, "\xff\xd9");   // a whole JPEG
        EXPECT_EQ(statusOf(got), 200) << i;
        EXPECT_NE(got.find("multipart/x-mixed-replace; boundary=frame"), std::string::npos);
        const std::size_t part =
            got.find("--frame\r\nContent-Type: image/jpeg\r\nContent-Length: ");
        ASSERT_NE(part, std::string::npos) << got.substr(0, 300);
        EXPECT_NE(got.find("\r\n\r\n\xff\xd8", part), std::string::npos);   // the JPEG begins
        pages.push_back(fd);
    }
    EXPECT_EQ(server.LiveStreams(), client::kMaxLiveStreams);
    const std::string ninth = roundTrip(port, get(keyed("/live")));
    EXPECT_EQ(statusOf(ninth), 503);
    EXPECT_NE(ninth.find("At most 8 live streams at once."), std::string::npos);

    server.SetLive(false);
    for (const int fd : pages) {
        readFrom(fd, 3000);   // the rest of the stream, to its end
        EXPECT_EQ(::recv(fd, const_cast<std::uint8_t*>(frame.data()), 1, MSG_DONTWAIT), 0);
        ::close(fd);
    }
    for (int i = 0; i < 300 && server.LiveStreams() != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(server.LiveStreams(), 0u);
}

}   // namespace
