// The bracket's plan from the labels a camera offers: offsets around the current exposure, the
// nearest label for each, the shots that cannot be reached, and the plans refused.
#include "camera/LabelTables.h"
#include "capture/BracketPlan.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

std::vector<std::string> Labels(const std::vector<camera::SettingOption>& table) {
    std::vector<std::string> out;
    for (const auto& o : table) out.push_back(o.label);
    return out;
}

}   // namespace

TEST(BracketPlan, LabelsStandForTheirExposure) {
    EXPECT_DOUBLE_EQ(*bracket::ShutterStops("1"), 0);
    EXPECT_DOUBLE_EQ(*bracket::ShutterStops("1/4"), -2);
    EXPECT_DOUBLE_EQ(*bracket::ShutterStops("30"), std::log2(30.0));
    EXPECT_DOUBLE_EQ(*bracket::ShutterStops("0.5"), -1);
    EXPECT_FALSE(bracket::ShutterStops("Bulb"));
    EXPECT_FALSE(bracket::ShutterStops("1/0"));
    EXPECT_FALSE(bracket::ShutterStops(""));
    EXPECT_DOUBLE_EQ(*bracket::CompensationStops("+1.6"), 5.0 / 3);
    EXPECT_DOUBLE_EQ(*bracket::CompensationStops("-0.3"), -1.0 / 3);
    EXPECT_DOUBLE_EQ(*bracket::CompensationStops("+2.5"), 2.5);
    EXPECT_DOUBLE_EQ(*bracket::CompensationStops("0"), 0);
    EXPECT_FALSE(bracket::CompensationStops("+1.6 EV"));
    EXPECT_TRUE(bracket::ByShutterTime("Manual"));
    EXPECT_FALSE(bracket::ByShutterTime("Program"));
    EXPECT_FALSE(bracket::ByShutterTime(""));
}

TEST(BracketPlan, EachShotTakesTheNearestLabelOnOffer) {
    using camera::Setting;
    const auto tv = Labels(camera::tvLabels()), exposure = Labels(camera::exposureLabels());
    const std::vector<std::string> few{"-1", "0", "+1"};
    struct Case {
        const char* name;
        int shots, step;
        Setting setting;
        std::string base;
        std::vector<std::string> offered;
        std::vector<std::string> labels;   // darkest first
        std::vector<int> thirds;
        std::vector<bool> reached;
        std::string error;
    };
    const Case cases[] = {
        {"compensation, 5 at 1 EV",
         5,
         3,
         Setting::Exposure,
         "0",
         exposure,
         {"-2", "-1", "0", "+1", "+2"},
         {-6, -3, 0, 3, 6},
         {true, true, true, true, true},
         ""},
        {"compensation, thirds",
         3,
         1,
         Setting::Exposure,
         "+1",
         exposure,
         {"+0.6", "+1", "+1.3"},
         {-1, 0, 1},
         {true, true, true},
         ""},
        {"shutter, 3 at 2/3 EV",
         3,
         2,
         Setting::TV,
         "1/125",
         tv,
         {"1/200", "1/125", "1/80"},
         {-2, 0, 2},
         {true, true, true},
         ""},
        {"shutter, 9 at 3 EV",
         9,
         9,
         Setting::TV,
         "1/125",
         tv,
         {"1/16000", "1/16000", "1/8000", "1/1000", "1/125", "1/15", "0.5", "4", "30"},
         {-21, -21, -18, -9, 0, 9, 18, 27, 36},
         {false, false, true, true, true, true, true, true, true},
         ""},
        {"beyond the camera's range",
         3,
         6,
         Setting::Exposure,
         "0",
         few,
         {"-1", "0", "+1"},
         {-3, 0, 3},
         {false, true, false},
         ""},
        {"4 shots",
         4,
         3,
         Setting::Exposure,
         "0",
         exposure,
         {},
         {},
         {},
         "a bracket takes 3, 5, 7 or 9 shots"},
        {"step 0", 3, 0, Setting::Exposure, "0", exposure, {}, {}, {}, "the step is 1/3 to 3 EV"},
        {"step 10 thirds",
         3,
         10,
         Setting::Exposure,
         "0",
         exposure,
         {},
         {},
         {},
         "the step is 1/3 to 3 EV"},
        {"bulb",
         3,
         3,
         Setting::TV,
         "Bulb",
         tv,
         {},
         {},
         {},
         "the TV Bulb has no exposure to bracket around"},
        {"nothing else on offer",
         3,
         3,
         Setting::Exposure,
         "0",
         {"0", "Auto"},
         {},
         {},
         {},
         "the camera offers no other Exposure"},
        {"unknown",
         3,
         3,
         Setting::Exposure,
         "",
         exposure,
         {},
         {},
         {},
         "the camera does not say its Exposure"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const bracket::Plan plan = bracket::MakePlan(c.shots, c.step, c.setting, c.base, c.offered);
        EXPECT_EQ(plan.error, c.error);
        EXPECT_EQ(plan.base, c.base);
        std::vector<std::string> labels;
        std::vector<int> thirds;
        std::vector<bool> reached;
        for (const auto& s : plan.shots) {
            labels.push_back(s.label);
            thirds.push_back(s.thirds);
            reached.push_back(s.reached);
        }
        EXPECT_EQ(labels, c.labels);
        EXPECT_EQ(thirds, c.thirds);
        EXPECT_EQ(reached, c.reached);
    }
}
