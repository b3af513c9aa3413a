#include "capture/BracketPlan.h"

#include <cmath>
#include <cstdlib>

namespace bracket {
namespace {

// A decimal number filling text whole ("30", "0.8", "+1.6", "-2"); none for anything else.
std::optional<double> decimal(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

}   // namespace

std::optional<double> ShutterStops(const std::string& label) {
    double seconds = 0;
    if (const std::size_t slash = label.find('/'); slash != std::string::npos) {
        const auto top = decimal(label.substr(0, slash)), bottom = decimal(label.substr(slash + 1));
        if (!top || !bottom || *bottom <= 0) return std::nullopt;
        seconds = *top / *bottom;
    } else if (const auto value = decimal(label)) {
        seconds = *value;
    } else {
        return std::nullopt;
    }
    if (seconds <= 0) return std::nullopt;
    return std::log2(seconds);
}

std::optional<double> CompensationStops(const std::string& label) {
    const auto value = decimal(label);
    if (!value) return std::nullopt;
    // Labels round thirds to one decimal ("+1.6", "-0.3"): the nearer of a third and a half.
    const double thirds = std::round(*value * 3) / 3, halves = std::round(*value * 2) / 2;
    return std::fabs(thirds - *value) <= std::fabs(halves - *value) ? thirds : halves;
}

bool ByShutterTime(const std::string& shootingMode) {
    return shootingMode == "Manual" || shootingMode == "Manual 2";
}

Plan MakePlan(int shots, int stepThirds, camera::Setting setting, const std::string& base,
              const std::vector<std::string>& offered) {
    Plan plan;
    plan.setting = setting;
    plan.base = base;
    const bool shutter = setting == camera::Setting::TV;
    auto stops = [shutter](const std::string& label) {
        return shutter ? ShutterStops(label) : CompensationStops(label);
    };
    if (!ValidShots(shots)) {
        plan.error = "a bracket takes 3, 5, 7 or 9 shots";
        return plan;
    }
    if (stepThirds < kMinStepThirds || stepThirds > kMaxStepThirds) {
        plan.error = "the step is 1/3 to 3 EV";
        return plan;
    }
    const auto baseStops = stops(base);
    if (!baseStops) {
        plan.error = base.empty() ? std::string("the camera does not say its ") +
                                        camera::InfoOf(setting).name
                                  : std::string("the ") + camera::InfoOf(setting).name + " " +
                                        base + " has no exposure to bracket around";
        return plan;
    }
    std::vector<std::pair<double, std::string>> choices;
    for (const std::string& label : offered)
        if (const auto s = stops(label)) choices.emplace_back(*s - *baseStops, label);
    if (choices.size() < 2) {
        plan.error = std::string("the camera offers no other ") + camera::InfoOf(setting).name;
        return plan;
    }
    for (int i = 0; i < shots; ++i) {
        Shot shot;
        shot.wantedThirds = (i - (shots - 1) / 2) * stepThirds;
        const double wanted = shot.wantedThirds / 3.0;
        double best = 0;
        shot.label = base;
        for (const auto& [offset, label] : choices)
            if (std::fabs(offset - wanted) < std::fabs(best - wanted) - 1e-9) {
                best = offset;
                shot.label = label;
            }
        shot.thirds = static_cast<int>(std::lround(best * 3));
        shot.reached = std::fabs(best - wanted) < 1.0 / 6;
        plan.shots.push_back(shot);
    }
    return plan;
}

}   // namespace bracket
