// The journal of one simulated world: every SDK call with its arguments and result, and the
// failures tests inject by call name. Also the texts the journal writes arguments in.
//
// Threads: every function may be called from any thread; the journal's own lock is taken
// last (callers may hold the engine's lock, never the other way round).
#pragma once

#include "sdk/sim/Simulator.h"

#include <cstdint>
#include <deque>
#include <initializer_list>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

class Journal {
public:
    explicit Journal(const char* prefix) : prefix_(prefix) {}

    // Records the call (unless the journal is off) and applies an injected failure: non-zero
    // means the call returns that code at once. sequence identifies the entry for Finish.
    sdk::Result Start(const char* call, std::string args, std::uint64_t& sequence);
    // Records the result of the call begun with sequence, and returns it.
    sdk::Result Finish(std::uint64_t sequence, sdk::Result result);

    void FailOnce(const std::string& call, sdk::Result code);
    void FailAlways(const std::string& call, sdk::Result code);
    void ClearFailures();

    void SetOn(bool on);   // off: nothing is kept (the program's choice: it would only grow)
    std::vector<Call> Calls() const;
    std::size_t Count(const std::string& callWithPrefix) const;
    void Clear();

private:
    const char* const prefix_;
    mutable std::mutex lock_;   // guards everything below
    std::map<std::string, std::deque<sdk::Result>> failOnce_;
    std::map<std::string, sdk::Result> failAlways_;
    std::deque<std::pair<std::uint64_t, Call>> entries_;   // (sequence number, call)
    bool on_ = true;
    std::uint64_t nextSequence_ = 1;
};

// One SDK call in progress: journals it on construction; operator() records the result and
// returns it.
class CallScope {
public:
    CallScope(Journal& journal, const char* call, std::string args) : journal_(journal) {
        failure_ = journal.Start(call, std::move(args), sequence_);
    }
    sdk::Result failure() const { return failure_; }
    sdk::Result operator()(sdk::Result result) { return journal_.Finish(sequence_, result); }

private:
    Journal& journal_;
    std::uint64_t sequence_ = 0;
    sdk::Result failure_ = sdk::kOk;
};

// Argument texts of the journal (see sim::Call).
std::string argumentList(std::initializer_list<std::string> parts);
std::string decimalText(std::uint64_t value);
std::string hexText(std::uint32_t value);
std::string pointerText(const void* pointer);   // "ptr" or "0"
std::string callbackText(bool set);             // "fn" or "0"
std::string quotedText(const char* text);       // "\"text\"" or "0"

}   // namespace sim
