// The simulated lens's focus drive: DriveFocus steps the focus position between the lens's
// ends, busy while the lens moves, and the blur each third of a scene with depth gets from it.
#include "sdk/sim/Engine.h"

#include <algorithm>
#include <cstdlib>

namespace sim {

bool Engine::lensMoving(const Camera& camera) {
    return camera.model.focusMoveMs > 0 && std::chrono::steady_clock::now() < camera.lensStill;
}

scene::Focus Engine::focusOf(const Camera& camera) {
    scene::Focus focus;
    const CameraSpec& s = camera.model;
    if (!s.sceneDepth) return focus;
    const int depths[3] = {s.depthNear, s.depthMiddle, s.depthFar};
    const int scale = std::max(1, s.focusBlurScale);
    for (int k = 0; k < 3; ++k)
        focus.radius[k] = std::min(scene::kMaxBlur, std::abs(depths[k] - s.focusPos) / scale);
    return focus;
}

sdk::Result Engine::driveFocus(sdk::Handle s, std::int32_t step) {
    Lock lock(mutex_);
    CallScope call(journal_, "DriveFocus",
                   argumentList({decimalText(s), std::to_string(static_cast<long>(step))}));
    if (call.failure()) return call.failure();
    Camera* cam = nullptr;
    if (sdk::Result r = cameras_.Lookup(s, cam)) return call(r);
    CameraSpec& m = cam->model;
    if (!m.hasFocusDrive) return call(err::kNotSupported);
    if (step == 0 || step < -sdk::kMaxFocusStep || step > sdk::kMaxFocusStep)
        return call(err::kInvalidParameter);
    if (!cam->viewfinderRunning) return call(err::kInvalidFnCall);   // live view only
    if (lensMoving(*cam)) return call(err::kDeviceBusy);
    const int units = sdk::kFocusStepUnits[std::abs(step)];
    const int wanted = m.focusPos + (step < 0 ? -units : units);
    const int reached = std::clamp(wanted, m.focusMin, m.focusMax);
    const bool moved = reached != m.focusPos;
    m.focusPos = reached;
    if (moved && m.focusMoveMs > 0)
        cam->lensStill =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(m.focusMoveMs);
    return call(reached == wanted ? sdk::kOk : err::kFocusAtLimit);
}

}   // namespace sim
