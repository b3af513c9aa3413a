// The display labels of the SDK codes of every setting, shared by both drivers and by callers
// that translate codes themselves, plus the label/code look-ups over option lists.
#pragma once

#include "camera/Options.h"

#include <cstdint>
#include <string>
#include <vector>

namespace camera {

// Each table in code order; labels are unique within a table. A code not listed has no label.
const std::vector<SettingOption>& imageQualityLabels();
const std::vector<SettingOption>& shootingModeLabels();
const std::vector<SettingOption>& avLabels();
const std::vector<SettingOption>& tvLabels();
const std::vector<SettingOption>& exposureLabels();
const std::vector<SettingOption>& whiteBalanceLabels();
const std::vector<SettingOption>& afDistanceLabels();
const std::vector<SettingOption>& flashLabels();
const std::vector<SettingOption>& meterLabels();
const std::vector<SettingOption>& isoLabels();
const std::vector<SettingOption>& effectLabels();

// The label of code in table, empty when the code is not listed.
std::string LabelOf(const std::vector<SettingOption>& table, std::uint32_t code);

// The first option with exactly this label / this code, or null.
const SettingOption* FindLabel(const std::vector<SettingOption>& options, const std::string& label);
const SettingOption* FindCode(const std::vector<SettingOption>& options, std::uint32_t code);

}   // namespace camera
