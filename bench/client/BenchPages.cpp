#include "BenchPages.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

namespace benchpages {

std::int64_t nowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int connectTo(int port, int machine) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    timeval wait{10, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    // Each page from a machine of its own (127.0.4.N), as the server counts machines.
    sockaddr_in from{};
    from.sin_family = AF_INET;
    from.sin_addr.s_addr =
        htonl((127u << 24) | (4u << 8) | static_cast<unsigned>(1 + machine % 250));
    if (::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0) {
        ::close(fd);
        return -1;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool sendAll(int fd, const std::string& text) {
    return ::send(fd, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
}

long fetch(int port, const std::string& target, int machine) {
    const int fd = connectTo(port, machine);
    if (fd < 0) return -1;
    long total = 0;
    if (sendAll(fd, "GET " + target + " HTTP/1.1\r\nHost: b\r\nConnection: close\r\n\r\n")) {
        char buffer[16384];
        for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) total += n;
    }
    ::close(fd);
    return total;
}

void eventPage(int port, const std::string& key, int page, int pictures, Seen& seen,
               std::atomic<int>& open, int first) {
    const int fd = connectTo(port, page);
    if (fd < 0 || !sendAll(fd, "GET /events?key=" + key + " HTTP/1.1\r\nHost: b\r\n\r\n")) {
        if (fd >= 0) ::close(fd);
        ++open;
        return;
    }
    std::string got;
    bool counted = false;
    int last = -1;   // the highest index announced
    char buffer[8192];
    while (last < pictures - 1) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        got.append(buffer, n);
        if (!counted && got.find("retry:") != std::string::npos) ++open, counted = true;
        for (std::size_t end; (end = got.find("\n\n")) != std::string::npos;) {
            const std::string event = got.substr(0, end);
            got.erase(0, end + 2);
            if (event.find("event: picture") == std::string::npos) continue;
            const std::size_t at = event.find("\"n\":");
            if (at == std::string::npos) continue;
            const int number = std::atoi(event.c_str() + at + 4), index = number - first;
            if (index < 0 || index >= pictures) continue;
            const std::int64_t when = nowUs();
            {
                const std::lock_guard hold(seen.lock);
                if (seen.event[page][index] != 0) continue;
                seen.event[page][index] = when;
            }
            if (fetch(port, "/thumb/" + std::to_string(number) + "?key=" + key, page) > 1000) {
                const std::lock_guard hold(seen.lock);
                seen.thumb[page][index] = nowUs();
            }
            last = std::max(last, index);
        }
    }
    if (!counted) ++open;
    ::close(fd);
}

void livePage(int port, const std::string& key, std::atomic<int>& open, std::atomic<long>& frames) {
    static std::atomic<int> machines{100};   // live pages are machines of their own too
    const int fd = connectTo(port, machines++);
    if (fd < 0 || !sendAll(fd, "GET /live?key=" + key + " HTTP/1.1\r\nHost: b\r\n\r\n")) {
        if (fd >= 0) ::close(fd);
        ++open;
        return;
    }
    ++open;
    std::string tail;
    char buffer[32768];
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) {
        tail.append(buffer, n);
        for (std::size_t at; (at = tail.find("--frame\r\n")) != std::string::npos;) {
            ++frames;
            tail.erase(0, at + 9);
        }
        if (tail.size() > 16) tail.erase(0, tail.size() - 16);
    }
    ::close(fd);
}

}   // namespace benchpages
