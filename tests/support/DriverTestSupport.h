// Test support for the driver tests: a log sink, a spying SDK table over the simulator that
// records the arguments the drivers pass, and a fixture that resets both simulated SDKs.
#pragma once

#include "camera/CanonRCSDK.h"
#include "camera/CanonSDK.h"
#include "sdk/sim/Simulator.h"
#include "support/TestSupport.h"
#include "support/Worlds.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

using Entry = std::pair<std::string, std::string>;   // step, error text

// The model the driver tests open: every setting and both drivers' calls.
inline constexpr const char* kCamera = "PowerShot G5";

// Collects what a driver logs; safe to feed from several threads.
class LogSink {
public:
    camera::LogCallback callback();
    std::vector<Entry> entries() const;
    std::vector<std::string> steps() const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
};

// One recorded call of the spying table.
struct SpyCall {
    std::string call;                // name with prefix, e.g. "CDRelease"
    std::uint32_t option = 0;        // option, kind, format, output, lock value, size in
    std::uint32_t extra = 0;         // second value (flash second, setting id, major version)
    bool hasCallback = false;        // a progress/event/frame callback was passed
    const void* context = nullptr;   // callback context, or event data pointer
    std::string path;                // storage medium path
    std::vector<std::uint8_t> bytes;
};

// The simulator's table with argument-recording wrappers around the calls whose arguments
// the tests check; every call is still carried out by the simulator.
const sdk::Api& spyApi(sim::Simulator& simulator);
std::vector<SpyCall> spyCalls(const std::string& callWithPrefix);
void clearSpy();
// Waits (up to 120 s) until count calls of callWithPrefix have returned; false on timeout.
bool waitForReturns(const std::string& callWithPrefix, std::size_t count);

// Only the journal's call names, in order.
std::vector<std::string> callNames(const sim::Simulator& simulator);

class DriverTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Drivers over the spying tables of the simulated SDKs, logging into log.
    std::unique_ptr<camera::CanonSDK> makeCd();
    std::unique_ptr<camera::CanonRCSDK> makeRc();

    sim::Simulator& cd = sim::Simulator::cd();
    sim::Simulator& rc = sim::Simulator::rc();
    LogSink log;
};

constexpr sdk::Result kFailure = 0x0C000081;   // component, "Device Busy"

}   // namespace testsupport
