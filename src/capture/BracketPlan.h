// An exposure bracket worked out from what the camera offers: N shots (3, 5, 7 or 9) a step
// apart (1/3 to 3 stops, in thirds) around the current exposure, by shutter time in manual
// mode and by exposure compensation otherwise, each shot at the label nearest its exposure.
// Pure: no camera, no threads.
#pragma once

#include "camera/Setting.h"

#include <optional>
#include <string>
#include <vector>

namespace bracket {

constexpr int kMinStepThirds = 1, kMaxStepThirds = 9;
constexpr bool ValidShots(int shots) {
    return shots == 3 || shots == 5 || shots == 7 || shots == 9;
}

// The exposure a label stands for, in stops: a shutter time's log2 of its seconds ("1/125",
// "0.8", "30"; longer is more), an exposure compensation's value ("+1.6" is 5/3, "-0.5" a half).
// None for a label without one ("Bulb").
std::optional<double> ShutterStops(const std::string& label);
std::optional<double> CompensationStops(const std::string& label);

// By shutter time when the shooting mode is a manual one ("Manual", "Manual 2").
bool ByShutterTime(const std::string& shootingMode);

struct Shot {
    int wantedThirds = 0;   // its offset from the current exposure, as planned
    int thirds = 0;         // the offset of the label taken, to the nearest third
    std::string label;      // what the setting is set to for it
    bool reached = true;    // the label is within a sixth of a stop of what was planned
};

struct Plan {
    camera::Setting setting = camera::Setting::Exposure;
    std::string base;          // the label the camera held: set back at the end
    std::vector<Shot> shots;   // darkest first
    std::string error;         // why there is no plan (then shots is empty)
};

// The plan for shots shots stepThirds apart around base, from the labels offered.
Plan MakePlan(int shots, int stepThirds, camera::Setting setting, const std::string& base,
              const std::vector<std::string>& offered);

}   // namespace bracket
