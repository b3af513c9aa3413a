// Simulator: the public face of a world; each control is the engine's.
#include "sdk/sim/Simulator.h"

#include "sdk/FrameHeader.h"
#include "sdk/sim/Engine.h"
#include "sdk/sim/Scene.h"

#include <algorithm>

namespace sim {

struct Simulator::Impl {
    Engine& engine;
};

namespace {
std::chrono::nanoseconds seconds(double s) {
    return std::chrono::nanoseconds(static_cast<std::int64_t>(std::max(0.0, s) * 1e9));
}
}   // namespace

Simulator& Simulator::cd() {
    static Simulator* const instance = new Simulator(false);   // outlives every static user
    return *instance;
}

Simulator& Simulator::rc() {
    static Simulator* const instance = new Simulator(true);
    return *instance;
}

Simulator::Simulator(bool rc) : impl_(new Impl{rc ? Engine::Rc() : Engine::Cd()}) {}

Simulator::~Simulator() = default;

const sdk::Api& Simulator::api() const { return impl_->engine.api(); }

void Simulator::reset() { impl_->engine.Reset(); }
void Simulator::setWorld(World world) { impl_->engine.SetWorld(std::move(world)); }

void Simulator::failOnce(const std::string& call, sdk::Result code) {
    impl_->engine.journal().FailOnce(call, code);
}
void Simulator::failAlways(const std::string& call, sdk::Result code) {
    impl_->engine.journal().FailAlways(call, code);
}
void Simulator::clearFailures() { impl_->engine.journal().ClearFailures(); }

void Simulator::setJournal(bool on) { impl_->engine.journal().SetOn(on); }
std::vector<Call> Simulator::journal() const { return impl_->engine.journal().Calls(); }
void Simulator::clearJournal() { impl_->engine.journal().Clear(); }
std::size_t Simulator::countCalls(const std::string& callWithPrefix) const {
    return impl_->engine.journal().Count(callWithPrefix);
}

void Simulator::removeCamera(const std::string& name) { impl_->engine.RemoveCamera(name); }
void Simulator::setFrameRate(double fps) { impl_->engine.SetFrameRate(fps); }
void Simulator::setManualViewfinder(bool manual) { impl_->engine.SetManualViewfinder(manual); }
bool Simulator::pushFrame() { return impl_->engine.PushFrame(); }
void Simulator::setHoldCaptures(bool hold) { impl_->engine.SetHoldCaptures(hold); }
std::size_t Simulator::deliverCaptures() { return impl_->engine.DeliverCaptures(); }

void Simulator::setBattery(const std::string& name, std::uint32_t level) {
    impl_->engine.SetBattery(name, level);
}

std::optional<CameraState> Simulator::state(const std::string& name) const {
    return impl_->engine.State(name);
}

bool Simulator::waitForFrames(const std::string& name, std::uint32_t count, double timeoutSeconds) {
    return impl_->engine.WaitForFrames(name, count, seconds(timeoutSeconds));
}

bool Simulator::waitForEvents(double timeoutSeconds) {
    return impl_->engine.WaitForEvents(seconds(timeoutSeconds));
}

std::size_t Simulator::openEnumerations() const { return impl_->engine.OpenListings(); }
int Simulator::sdkStarts() const { return impl_->engine.SdkStarts(); }

void Simulator::renderFrame(std::uint8_t* frame, std::uint64_t frameIndex, double brightness) {
    sdk::WriteFrameHeader(frame);
    scene::renderFramePixels(frame + sdk::kFrameHeaderBytes, frameIndex, brightness);
}

void Simulator::unplug(const std::string& name) { impl_->engine.UnplugCamera(name); }
void Simulator::replug(const std::string& name) { impl_->engine.ReplugCamera(name); }
void Simulator::plugIn(CameraSpec model) { impl_->engine.PlugInCamera(std::move(model)); }

}   // namespace sim
