// Widget names per camera family and the text matching of camera choices to labels.
#include "sdk/gphoto/Families.h"

#include "sdk/FileKind.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace gphoto {

namespace {

// The widget names of the listed settings, per family (the list's Eos and Compact columns).
#define KESTREL_EOS_NAMES(Key, Name, Title, ChangeText, Labels, Options, Eos, ...) \
    n.settings[static_cast<std::size_t>(Setting::Key)] = KESTREL_SETTING_BRACED Eos;
#define KESTREL_COMPACT_NAMES(Key, Name, Title, ChangeText, Labels, Options, Eos, Compact, ...) \
    n.settings[static_cast<std::size_t>(Setting::Key)] = KESTREL_SETTING_BRACED Compact;

FamilyNames eosNames() {
    FamilyNames n;
    KESTREL_LISTED_SETTINGS(KESTREL_EOS_NAMES)
    n.imageFormat = {"imageformat"};
    n.afLock = {"autofocusdrive"};
    n.owner = {"ownername", "artist"};
    n.firmware = {"deviceversion", "firmwareversion"};
    n.battery = {"batterylevel"};
    n.viewfinder = {"viewfinder"};
    return n;
}

FamilyNames compactNames() {
    FamilyNames n;
    KESTREL_LISTED_SETTINGS(KESTREL_COMPACT_NAMES)
    n.settings[static_cast<std::size_t>(Setting::Quality)] = {"imagequality"};
    n.imageSize = {"imagesize"};
    n.afLock = {"focuslock"};
    n.zoom = {"zoom"};
    n.owner = {"ownername"};
    n.firmware = {"firmwareversion", "deviceversion"};
    n.battery = {"batterylevel"};
    n.viewfinder = {"viewfinder"};
    return n;
}

#undef KESTREL_COMPACT_NAMES
#undef KESTREL_EOS_NAMES

// Camera words that name a label differently.
struct Alias {
    Setting setting;
    const char* camera;
    const char* label;
};
constexpr Alias kAliases[] = {
    {Setting::ShootingMode, "P", "Program"},
    {Setting::ShootingMode, "A_DEP", "A Dep"},
    {Setting::ShootingMode, "A-DEP", "A Dep"},
    {Setting::ShootingMode, "M", "Manual"},
    {Setting::ShootingMode, "Closeup", "Macro"},
    {Setting::WhiteBalance, "Daylight", "Day Light"},
    {Setting::WhiteBalance, "Shadow", "Shade"},
    {Setting::WhiteBalance, "Color Temperature", "Kelvin"},
    {Setting::Meter, "Center-weighted average", "Center Weight Avg"},
    {Setting::Meter, "Center Weighted Average", "Center Weight Avg"},
    {Setting::Effect, "Monochrome", "Black & White"},
    {Setting::Flash, "Red-eye", "Red Eye"},
    {Setting::Flash, "Slow synchro", "Slow Sync"},
};

// Lower case, without spaces, underscores and hyphens.
std::string folded(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == ' ' || c == '_' || c == '-') continue;
        out.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
    return out;
}

// A number as cameras write them: an optional sign and "f/" prefix, then a decimal ("-1.7"), a
// fraction ("-1/3") or a whole number and a fraction ("-1 2/3"). False for anything else,
// infinities and NaN included.
bool number(std::string text, double& value) {
    if (text.rfind("f/", 0) == 0) text.erase(0, 2);
    const char* p = text.c_str();
    double sign = 1;
    if (*p == '+' || *p == '-') sign = *p++ == '-' ? -1 : 1;
    if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
    char* end = nullptr;
    double whole = std::strtod(p, &end);
    double fraction = 0;
    if (*end == '/' || *end == ' ') {
        // "1/3": the number read was the numerator; "1 2/3": a fraction follows the whole.
        const bool mixed = *end == ' ';
        const char* q = mixed ? end + 1 : p;
        char* slash = nullptr;
        const double numerator = std::strtod(q, &slash);
        if (slash == q || *slash != '/' || !std::isdigit(static_cast<unsigned char>(slash[1])))
            return false;
        const double denominator = std::strtod(slash + 1, &end);
        if (denominator == 0) return false;
        fraction = numerator / denominator;
        if (!mixed) whole = 0;
    }
    if (*end != '\0') return false;
    value = sign * (whole + fraction);
    return std::isfinite(value);
}

// An exposure step: the nearest third or half, whichever is nearer ("+1.6" and "1 2/3" are
// both 5/3, "-0.7" is -2/3, "+0.5" is 1/2).
double exposureStep(double v) {
    const double third = std::round(v * 3) / 3;
    const double half = std::round(v * 2) / 2;
    return std::fabs(third - v) <= std::fabs(half - v) ? third : half;
}

bool numeric(Setting setting) { return setting == Setting::AV || setting == Setting::Exposure; }

}   // namespace

Family FamilyOf(const std::string& model) {
    return model.find("EOS") != std::string::npos ? Family::Eos : Family::Compact;
}

const FamilyNames& NamesOf(Family family) {
    static const FamilyNames eos = eosNames();
    static const FamilyNames compact = compactNames();
    return family == Family::Eos ? eos : compact;
}

bool MatchLabel(const Labels& labels, Setting setting, const std::string& cameraText,
                std::uint32_t& code) {
    std::string text = cameraText;
    for (const Alias& alias : kAliases)
        if (alias.setting == setting && folded(alias.camera) == folded(text)) text = alias.label;
    const LabelTable& table = labels.of(setting);
    double cameraValue = 0;
    const bool cameraNumber = numeric(setting) && number(text, cameraValue);
    for (const auto& [entryCode, label] : table) {
        double labelValue = 0;
        bool same = folded(label) == folded(text);
        if (cameraNumber && number(label, labelValue))
            same = setting == Setting::Exposure
                       ? std::fabs(exposureStep(labelValue) - exposureStep(cameraValue)) < 1e-6
                       : std::fabs(labelValue - cameraValue) < 0.02;
        if (same) {
            code = entryCode;
            return true;
        }
    }
    return false;
}

bool SplitImageFormat(const std::string& choice, std::string& size, std::string& quality) {
    const std::string f = folded(choice);
    const bool raw = sdk::NamesRaw(f);
    static const char* const kSizes[] = {"Large",   "Medium 1", "Medium 2", "Medium",
                                         "Small 1", "Small 2",  "Small 3",  "Small"};
    size.clear();
    for (const char* s : kSizes) {
        if (f.find(folded(s)) != std::string::npos) {
            size = s;
            break;
        }
    }
    if (raw && size.empty()) {
        size = "RAW";
        quality = "Lossless";
        return true;
    }
    if (size.empty()) return false;
    if (raw) size = "RAW + " + size;   // both files; the JPEG's quality below
    quality = f.find("normal") != std::string::npos ? "Normal" : "Fine";
    return true;
}

std::uint32_t BatteryPercent(const std::string& text) {
    const std::string f = folded(text);
    if (f == "full") return 100;
    if (f == "low") return 20;
    if (f == "empty") return 0;
    std::uint32_t value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) break;
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return value;
}

}   // namespace gphoto
