// The client view's access key: 128 random bits from the system's random source, as 32 hex
// digits, compared in constant time; and the bookkeeping that slows and then shuts out an
// address that keeps guessing it. Any thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace client {

// 32 lowercase hex digits from getrandom(2); empty when the system has no randomness to give.
std::string NewAccessKey();

// Whether given equals key, in a time that depends only on the lengths.
bool SameKey(std::string_view given, std::string_view key);

// Counts wrong keys per address: after `strikes` within `window`, the address is refused until
// `banned` has passed since its last wrong key.
class WrongKeyGuard {
public:
    using Clock = std::chrono::steady_clock;
    WrongKeyGuard(int strikes = 5, Clock::duration window = std::chrono::minutes(1),
                  Clock::duration banned = std::chrono::minutes(1))
        : strikes_(strikes), window_(window), banned_(banned) {}
    void Wrong(const std::string& address, Clock::time_point now = Clock::now());
    bool Refused(const std::string& address, Clock::time_point now = Clock::now()) const;

private:
    struct Record {
        int count = 0;
        Clock::time_point first, last;
    };
    const int strikes_;
    const Clock::duration window_, banned_;
    mutable std::mutex lock_;   // guards records_
    std::map<std::string, Record> records_;
};

}   // namespace client
