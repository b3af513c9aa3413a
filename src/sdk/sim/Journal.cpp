// The journal of calls and the injected failures.
#include "sdk/sim/Journal.h"

#include <algorithm>
#include <cstdio>

namespace sim {

namespace {
constexpr std::size_t kJournalLimit = 200000;   // oldest calls are dropped beyond this
}

sdk::Result Journal::Start(const char* call, std::string args, std::uint64_t& sequence) {
    std::lock_guard lock(lock_);
    sequence = nextSequence_++;
    sdk::Result r = sdk::kOk;
    const std::string name(call);
    if (auto once = failOnce_.find(name); once != failOnce_.end() && !once->second.empty()) {
        r = once->second.front();
        once->second.pop_front();
    } else if (auto always = failAlways_.find(name); always != failAlways_.end()) {
        r = always->second;
    }
    if (!on_) return r;
    entries_.emplace_back(sequence, Call{prefix_ + name, std::move(args), r});
    if (entries_.size() > kJournalLimit) entries_.pop_front();
    return r;
}

sdk::Result Journal::Finish(std::uint64_t sequence, sdk::Result result) {
    std::lock_guard lock(lock_);
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
        if (it->first == sequence) {
            it->second.result = result;
            break;
        }
        if (it->first < sequence) break;
    }
    return result;
}

void Journal::FailOnce(const std::string& call, sdk::Result code) {
    std::lock_guard lock(lock_);
    failOnce_[call].push_back(code);
}

void Journal::FailAlways(const std::string& call, sdk::Result code) {
    std::lock_guard lock(lock_);
    failAlways_[call] = code;
}

void Journal::ClearFailures() {
    std::lock_guard lock(lock_);
    failOnce_.clear();
    failAlways_.clear();
}

void Journal::SetOn(bool on) {
    std::lock_guard lock(lock_);
    on_ = on;
    if (!on) entries_.clear();
}

std::vector<Call> Journal::Calls() const {
    std::lock_guard lock(lock_);
    std::vector<Call> calls;
    calls.reserve(entries_.size());
    for (const auto& entry : entries_) calls.push_back(entry.second);
    return calls;
}

std::size_t Journal::Count(const std::string& callWithPrefix) const {
    std::lock_guard lock(lock_);
    return static_cast<std::size_t>(
        std::count_if(entries_.begin(), entries_.end(),
                      [&](const auto& entry) { return entry.second.name == callWithPrefix; }));
}

void Journal::Clear() {
    std::lock_guard lock(lock_);
    entries_.clear();
}

std::string argumentList(std::initializer_list<std::string> parts) {
    std::string out;
    for (const std::string& part : parts) {
        if (!out.empty()) out += ", ";
        out += part;
    }
    return out;
}

std::string decimalText(std::uint64_t value) { return std::to_string(value); }

std::string hexText(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

std::string pointerText(const void* pointer) { return pointer ? "ptr" : "0"; }
std::string callbackText(bool set) { return set ? "fn" : "0"; }
std::string quotedText(const char* text) { return text ? "\"" + std::string(text) + "\"" : "0"; }

}   // namespace sim
