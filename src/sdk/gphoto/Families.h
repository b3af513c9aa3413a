// Which libgphoto2 widget carries each setting on a camera family (EOS bodies and compacts name
// them differently), and how a camera's choice text is matched to a label of the label tables.
// Pure functions and constant tables; no libgphoto2 call.
#pragma once

#include "sdk/SettingList.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace gphoto {

// The settings the drivers read and set, those with a list of their own (sdk/SettingList.h)
// and the quality of a compact's separate size and quality; the order of the label tables in
// Labels.
#define KESTREL_GPHOTO_KEY(Key, ...) Key,
enum class Setting { KESTREL_LISTED_SETTINGS(KESTREL_GPHOTO_KEY) Quality, Count };
#undef KESTREL_GPHOTO_KEY
constexpr std::size_t kSettingCount = static_cast<std::size_t>(Setting::Count);

// Code and label of one entry of a label table.
using LabelTable = std::vector<std::pair<std::uint32_t, std::string>>;
// The label tables, indexed by Setting (given by the program; this layer has none of its own).
struct Labels {
    LabelTable tables[kSettingCount];
    const LabelTable& of(Setting s) const { return tables[static_cast<std::size_t>(s)]; }
};

enum class Family { Eos, Compact };

// The widget names of one family: for each setting the candidates, first present one wins.
struct FamilyNames {
    std::vector<std::string> settings[kSettingCount];
    std::vector<std::string> imageFormat;   // one widget for size and quality (EOS)
    std::vector<std::string> imageSize;     // separate size widget (compacts)
    std::vector<std::string> afLock;        // RADIO/TOGGLE that locks focus
    std::vector<std::string> zoom;          // RANGE widget moving the lens
    std::vector<std::string> owner, firmware, battery, viewfinder;
};

Family FamilyOf(const std::string& model);
const FamilyNames& NamesOf(Family family);

// The code of the label that the camera's text stands for in this setting, or false.
bool MatchLabel(const Labels& labels, Setting setting, const std::string& cameraText,
                std::uint32_t& code);

// An EOS image format choice split into size and quality texts: "Large Fine JPEG" ->
// ("Large", "Fine"); "RAW + Large Fine JPEG" -> ("RAW + Large", "Fine"); "RAW" -> ("RAW",
// "Lossless"). False for a choice with neither a size nor RAW.
bool SplitImageFormat(const std::string& choice, std::string& size, std::string& quality);

// Leading number of a text ("75%" -> 75, "Full" -> 100, "Low" -> 20); 0 when none.
std::uint32_t BatteryPercent(const std::string& text);
// The battery level on the drivers' scale of 0 to 6 (the info pane shows level / 6).
inline std::uint32_t BatteryLevel(const std::string& text) {
    const std::uint32_t percent = BatteryPercent(text) > 100 ? 100 : BatteryPercent(text);
    return (percent * 6 + 50) / 100;
}

}   // namespace gphoto
