#include "client/AccessKey.h"

#include <sys/random.h>

#include <cerrno>

namespace client {

std::string NewAccessKey() {
    unsigned char bytes[16];
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = ::getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return {};
        got += static_cast<std::size_t>(n);
    }
    static const char digits[] = "0123456789abcdef";
    std::string key;
    for (const unsigned char b : bytes) {
        key += digits[b >> 4];
        key += digits[b & 15];
    }
    return key;
}

bool SameKey(std::string_view given, std::string_view key) {
    unsigned difference = given.size() == key.size() ? 0u : 1u;
    for (std::size_t i = 0; i < given.size(); ++i) {
        const unsigned char k = key.empty() ? 0 : static_cast<unsigned char>(key[i % key.size()]);
        difference |= static_cast<unsigned char>(given[i]) ^ k;
    }
    return difference == 0 && !key.empty();
}

void WrongKeyGuard::Wrong(const std::string& address, Clock::time_point now) {
    std::lock_guard lock(lock_);
    // Old records go, so a scan of many addresses cannot grow the table without bound.
    for (auto at = records_.begin(); at != records_.end();)
        at = now - at->second.last > window_ + banned_ ? records_.erase(at) : std::next(at);
    Record& r = records_[address];
    if (r.count == 0 || now - r.first > window_) {
        if (r.count < strikes_) r = Record{0, now, now};
    }
    ++r.count;
    r.last = now;
}

bool WrongKeyGuard::Refused(const std::string& address, Clock::time_point now) const {
    std::lock_guard lock(lock_);
    const auto at = records_.find(address);
    return at != records_.end() && at->second.count >= strikes_ && now - at->second.last < banned_;
}

}   // namespace client
