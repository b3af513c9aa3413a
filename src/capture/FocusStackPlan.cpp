#include "capture/FocusStackPlan.h"

#include "sdk/sdk.h"

#include <algorithm>
#include <cstdlib>

int FocusStackPlan::units() const {
    return sdk::kFocusStepUnits[std::clamp(stepSize, 1, sdk::kMaxFocusStep)];
}

FocusStackPlan PlanFromMarks(int nearMark, int farMark, int here, int stepSize, int settleMs,
                             bool dryRun) {
    FocusStackPlan plan;
    plan.stepSize = std::clamp(stepSize, 1, sdk::kMaxFocusStep);
    plan.start = nearMark - here;
    plan.direction = farMark >= nearMark ? 1 : -1;
    plan.shots = std::max(2, std::abs(farMark - nearMark) / plan.units() + 1);
    plan.settleMs = settleMs;
    plan.dryRun = dryRun;
    return plan;
}

std::vector<int> StepsFor(int units) {
    std::vector<int> steps;
    const int sign = units < 0 ? -1 : 1;
    int left = std::abs(units);
    for (int size = sdk::kMaxFocusStep; size >= 1; --size)
        for (; left >= sdk::kFocusStepUnits[size]; left -= sdk::kFocusStepUnits[size])
            steps.push_back(sign * size);
    return steps;
}

namespace {

std::string Steps(int n) { return std::to_string(n) + (n == 1 ? " focus step" : " focus steps"); }

}   // namespace

std::string DescribePlan(int number, const FocusStackPlan& plan) {
    std::string text = "Focus stack " + std::to_string(number) +
                       (plan.dryRun ? " (dry run, no pictures): " : ": ") +
                       std::to_string(plan.shots) + " shots, step size " +
                       std::to_string(plan.stepSize) + " (" + Steps(plan.units()) +
                       " apart, towards " + (plan.direction > 0 ? "far" : "near") + "), the first ";
    if (plan.start == 0) text += "where the lens is";
    else
        text += std::to_string(std::abs(plan.start)) +
                (std::abs(plan.start) == 1 ? " step " : " steps ") +
                (plan.start < 0 ? "near" : "far") + " of where the lens is";
    text += "; the camera settles " + std::to_string(plan.settleMs) + " ms after each move";
    return text;
}
