// A focus stack's plan: where the first shot is (in the lens's smallest focus steps from where
// the run begins), the step size between shots and how many shots; made from the photographer's
// Near and Far marks or given directly. Pure functions, no camera.
#pragma once

#include <string>
#include <vector>

struct FocusStackPlan {
    int start = 0;         // smallest steps from the lens's place to the first shot (<0: near)
    int stepSize = 1;      // 1..3 (sdk::kFocusStepUnits)
    int direction = 1;     // +1: each shot farther than the one before; -1: nearer
    int shots = 2;         // 1 and more
    int settleMs = 500;    // after each move, before the release
    bool dryRun = false;   // moves through the steps without releasing

    // The smallest steps between two shots.
    int units() const;
    // The lens's travel from the first shot to the last, in smallest steps.
    int span() const { return units() * (shots - 1); }
};

// The plan from the marks (positions counted in smallest steps, the lens now at `here`): the
// first shot at Near, then shots `stepSize` apart towards Far, as many as fit up to Far (Far
// itself when it falls on a step; at least two).
FocusStackPlan PlanFromMarks(int nearMark, int farMark, int here, int stepSize, int settleMs,
                             bool dryRun);

// The steps (each -3..-1 or 1..3) that move the lens by `units` smallest steps, the largest
// first.
std::vector<int> StepsFor(int units);

// The plan as the console says it: "Focus stack 3: 20 shots, step size 2 (4 focus steps
// apart), the first 12 steps near of here; the camera settles 500 ms after each move".
std::string DescribePlan(int number, const FocusStackPlan& plan);
