// The display labels of the SDK codes of every setting the drivers list.
#include "camera/LabelTables.h"

namespace camera {

const std::vector<SettingOption>& imageQualityLabels() {
    static const std::vector<SettingOption> table{
        {1, "Economy"}, {2, "Normal"}, {3, "Fine"}, {4, "Lossless"}, {5, "Superfine"},
    };
    return table;
}

const std::vector<SettingOption>& shootingModeLabels() {
    static const std::vector<SettingOption> table{
        {0, "Auto"},
        {1, "Program"},
        {2, "TV"},
        {3, "AV"},
        {4, "Manual"},
        {5, "A Dep"},
        {6, "M Dep"},
        {7, "Bulb"},
        {101, "Manual 2"},
        {102, "Far Scene"},
        {103, "Fast Shutter"},
        {104, "Slow Shutter"},
        {105, "Night Scene"},
        {106, "Grayscale"},
        {107, "Sepia"},
        {108, "Portrait"},
        {109, "Spot"},
        {110, "Macro"},
        {111, "Black & White"},
        {112, "Pan Focus"},
        {113, "Vivid"},
        {114, "Neutral"},
        {115, "Flash Off"},
        {116, "Long Shutter"},
        {117, "Super Macro"},
        {118, "Foliage"},
        {119, "Indoor"},
        {120, "Fireworks"},
        {121, "Beach"},
        {122, "Underwater"},
        {123, "Snow"},
    };
    return table;
}

const std::vector<SettingOption>& avLabels() {
    static const std::vector<SettingOption> table{
        {8, "1.0"},    {11, "1.1"},   {13, "1.2"},   {16, "1.4"},   {19, "1.6"},    {21, "1.8"},
        {24, "2.0"},   {27, "2.2"},   {29, "2.5"},   {32, "2.8"},   {35, "3.2"},    {37, "3.5"},
        {40, "4.0"},   {43, "4.5"},   {45, "5.0"},   {48, "5.6"},   {51, "6.3"},    {53, "7.1"},
        {56, "8.0"},   {59, "9.0"},   {61, "10.0"},  {64, "11.0"},  {67, "13.0"},   {69, "14.0"},
        {72, "16.0"},  {75, "18.0"},  {77, "20.0"},  {80, "22.0"},  {83, "25.0"},   {85, "29.0"},
        {88, "32.0"},  {91, "36.0"},  {93, "40.0"},  {96, "45.0"},  {99, "51.0"},   {101, "57.0"},
        {104, "64.0"}, {107, "72.0"}, {109, "81.0"}, {112, "91.0"}, {32766, "Max"}, {32767, "Open"},
    };
    return table;
}

const std::vector<SettingOption>& tvLabels() {
    static const std::vector<SettingOption> table{
        {4, "Bulb"},     {16, "30"},       {19, "25"},       {21, "20"},       {24, "15"},
        {27, "13"},      {29, "10"},       {32, "8"},        {35, "6"},        {37, "5"},
        {40, "4"},       {43, "3.2"},      {45, "2.5"},      {48, "2"},        {51, "1.6"},
        {53, "1.3"},     {56, "1"},        {59, "0.8"},      {61, "0.6"},      {64, "0.5"},
        {67, "0.4"},     {69, "0.3"},      {72, "1/4"},      {75, "1/5"},      {77, "1/6"},
        {80, "1/8"},     {83, "1/10"},     {85, "1/13"},     {88, "1/15"},     {91, "1/20"},
        {93, "1/25"},    {96, "1/30"},     {99, "1/40"},     {101, "1/50"},    {104, "1/60"},
        {107, "1/80"},   {109, "1/100"},   {112, "1/125"},   {115, "1/160"},   {117, "1/200"},
        {120, "1/250"},  {123, "1/320"},   {125, "1/400"},   {128, "1/500"},   {131, "1/640"},
        {133, "1/800"},  {136, "1/1000"},  {139, "1/1250"},  {141, "1/1600"},  {144, "1/2000"},
        {147, "1/2500"}, {149, "1/3200"},  {152, "1/4000"},  {155, "1/5000"},  {157, "1/6400"},
        {160, "1/8000"}, {163, "1/10000"}, {165, "1/12800"}, {168, "1/16000"},
    };
    return table;
}

const std::vector<SettingOption>& exposureLabels() {
    static const std::vector<SettingOption> table{
        {0, "+3"},    {3, "+2.6"},  {4, "+2.5"},  {5, "+2.3"},  {8, "+2"},
        {11, "+1.6"}, {12, "+1.5"}, {13, "+1.3"}, {16, "+1"},   {19, "+0.6"},
        {20, "+0.5"}, {21, "+0.3"}, {24, "0"},    {27, "-0.3"}, {28, "-0.5"},
        {29, "-0.6"}, {32, "-1"},   {35, "-1.3"}, {36, "-1.5"}, {37, "-1.6"},
        {40, "-2"},   {43, "-2.3"}, {44, "-2.5"}, {45, "-2.6"}, {48, "-3"},
    };
    return table;
}

const std::vector<SettingOption>& whiteBalanceLabels() {
    static const std::vector<SettingOption> table{
        {0, "Auto"},        {1, "Day Light"},      {2, "Cloudy"},    {3, "Tungsten"},
        {4, "Fluorescent"}, {5, "Flash"},          {6, "Custom"},    {7, "Black & White"},
        {8, "Shade"},       {9, "Kelvin"},         {10, "PC Set 1"}, {11, "PC Set 2"},
        {12, "PC Set 3"},   {14, "Fluorescent H"}, {15, "Custom 1"}, {16, "Custom 2"},
    };
    return table;
}

const std::vector<SettingOption>& afDistanceLabels() {
    static const std::vector<SettingOption> table{
        {0, "Manual"},     {1, "Auto"},        {2, "Unknown"},   {3, "Close Up"},
        {4, "Very Close"}, {5, "Close"},       {6, "Middle"},    {7, "Far"},
        {8, "Pan Focus"},  {9, "Super Macro"}, {10, "Infinity"},
    };
    return table;
}

const std::vector<SettingOption>& flashLabels() {
    static const std::vector<SettingOption> table{
        {0, "Off"},       {1, "Auto"},           {2, "On"},           {3, "Red Eye"},
        {4, "Slow Sync"}, {5, "Auto + Red Eye"}, {6, "On + Red Eye"},
    };
    return table;
}

const std::vector<SettingOption>& meterLabels() {
    static const std::vector<SettingOption> table{
        {0, "Center Weight Avg"}, {1, "Spot"},    {2, "Average"},
        {3, "Evaluative"},        {4, "Partial"}, {5, "Center Weight Avg 2"},
    };
    return table;
}

const std::vector<SettingOption>& isoLabels() {
    static const std::vector<SettingOption> table{
        {0, "Auto"},   {40, "6"},     {43, "8"},     {45, "10"},    {48, "12"},    {51, "16"},
        {53, "20"},    {56, "25"},    {59, "32"},    {61, "40"},    {64, "50"},    {67, "64"},
        {69, "80"},    {72, "100"},   {75, "125"},   {77, "160"},   {80, "200"},   {83, "250"},
        {85, "320"},   {88, "400"},   {91, "500"},   {93, "640"},   {96, "800"},   {99, "1000"},
        {101, "1250"}, {104, "1600"}, {107, "2000"}, {109, "2500"}, {112, "3200"}, {115, "4000"},
        {117, "5000"}, {120, "6400"},
    };
    return table;
}

const std::vector<SettingOption>& effectLabels() {
    static const std::vector<SettingOption> table{
        {0, "Off"},   {1, "Vivid"},         {2, "Neutral"}, {3, "Low Sharpening"},
        {4, "Sepia"}, {5, "Black & White"}, {6, "Custom"},  {100, "My Color"},
    };
    return table;
}

std::string LabelOf(const std::vector<SettingOption>& table, std::uint32_t code) {
    for (const SettingOption& option : table) {
        if (option.code == code) return option.label;
    }
    return {};
}

const SettingOption* FindLabel(const std::vector<SettingOption>& options,
                               const std::string& label) {
    for (const SettingOption& option : options) {
        if (option.label == label) return &option;
    }
    return nullptr;
}

const SettingOption* FindCode(const std::vector<SettingOption>& options, std::uint32_t code) {
    for (const SettingOption& option : options) {
        if (option.code == code) return &option;
    }
    return nullptr;
}

}   // namespace camera
