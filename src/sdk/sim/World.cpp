// The cameras of the default worlds, and fullCamera(), a camera offering every known value.
#include "sdk/sim/Simulator.h"

namespace sim {
namespace {

template <typename T>
std::vector<T> range(T first, T last) {
    std::vector<T> out;
    for (T v = first; v <= last; ++v) out.push_back(v);
    return out;
}

const std::vector<std::uint16_t> kAllAv = {
    8,  11, 13, 16, 19, 21, 24, 27, 29, 32, 35, 37, 40, 43, 45,  48,  51,  53,  56,  59,    61,
    64, 67, 69, 72, 75, 77, 80, 83, 85, 88, 91, 93, 96, 99, 101, 104, 107, 109, 112, 32766, 32767};
const std::vector<std::uint16_t> kAllTv = {
    4,   16,  19,  21,  24,  27,  29,  32,  35,  37,  40,  43,  45,  48,  51,
    53,  56,  59,  61,  64,  67,  69,  72,  75,  77,  80,  83,  85,  88,  91,
    93,  96,  99,  101, 104, 107, 109, 112, 115, 117, 120, 123, 125, 128, 131,
    133, 136, 139, 141, 144, 147, 149, 152, 155, 157, 160, 163, 165, 168};
const std::vector<std::uint16_t> kAllExposure = {0,  3,  4,  5,  8,  11, 12, 13, 16, 19, 20, 21, 24,
                                                 27, 28, 29, 32, 35, 36, 37, 40, 43, 44, 45, 48};
const std::vector<std::uint32_t> kAllIso = {0,  40, 43,  45,  48,  51,  53,  56,  59,  61, 64,
                                            67, 69, 72,  75,  77,  80,  83,  85,  88,  91, 93,
                                            96, 99, 101, 104, 107, 109, 112, 115, 117, 120};

std::vector<std::pair<std::uint16_t, std::string>> standardSizes() {
    return {{0, "Large"}, {1, "Medium"}, {2, "Small"}};
}
std::vector<std::pair<std::uint16_t, std::pair<int, int>>> standardPixels() {
    return {{0, {3072, 2048}}, {1, {2048, 1360}}, {2, {1536, 1024}}};
}

}   // namespace

CameraSpec fullCamera(const std::string& name) {
    CameraSpec c;
    c.name = name;
    c.firmwareText = "Firmware Version 1.1.1";
    c.imageSizes = standardSizes();
    c.sizePixels = standardPixels();
    c.formats = {{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0},   // Lossless only at Large
                 {1, 1}, {2, 1}, {3, 1}, {5, 1}, {1, 2}, {2, 2}, {3, 2}};
    c.shootingModes = range<std::uint32_t>(0, 7);
    for (std::uint32_t m = 101; m <= 123; ++m) c.shootingModes.push_back(m);
    c.av = kAllAv;
    c.tv = kAllTv;
    c.exposure = kAllExposure;
    c.wb = range<std::uint16_t>(0, 12);
    c.wb.push_back(14);   // 13 has no label
    c.wb.push_back(15);
    c.wb.push_back(16);
    c.afDistance = range<std::uint16_t>(0, 10);
    c.flash = range<std::uint16_t>(0, 6);
    c.relCamSettingIds = {sdk::kSettingMeter, sdk::kSettingIso, sdk::kSettingEffect};
    c.meter = range<std::uint32_t>(0, 5);
    c.iso = kAllIso;
    c.effect = range<std::uint32_t>(0, 6);
    c.effect.push_back(100);
    c.shootingMode = 1;    // Program
    c.avValue = 48;        // 5.6
    c.tvValue = 112;       // 1/125
    c.exposureComp = 24;   // 0
    c.wbValue = 0;
    c.afDistanceValue = 1;
    c.flashValue = 0;
    c.meterValue = 3;   // Evaluative
    c.isoValue = 72;    // 100
    c.effectValue = 0;
    c.quality = 3;   // Fine
    c.size = 0;      // Large
    c.captureSession = sdk::IsCaptureSessionModel(name);
    return c;
}

World defaultCdWorld() {
    World w;
    CameraSpec g5 = fullCamera("PowerShot G5");
    g5.owner = "Kestrel Lab";
    g5.battery = 6;
    g5.maxZoomPos = 8;
    w.cameras.push_back(g5);

    CameraSpec s70;
    s70.name = "PowerShot S70";
    s70.owner = "Kestrel Field Kit";
    s70.firmwareText = "Firmware Version 1.0.2";
    s70.battery = 4;
    s70.maxZoomPos = 11;
    s70.imageSizes = {{0, "Large"}, {1, "Medium 1"}, {3, "Medium 2"}, {2, "Small"}};
    s70.sizePixels = {{0, {3072, 2304}}, {1, {2592, 1944}}, {3, {1600, 1200}}, {2, {640, 480}}};
    s70.formats = {{2, 0}, {3, 0}, {5, 0}, {2, 1}, {3, 1}, {2, 3}, {3, 3}, {1, 2}, {2, 2}};
    s70.shootingModes = {0, 1, 2, 3, 4, 101, 105, 108, 110, 113, 114, 117, 118, 121, 123};
    s70.av = {24, 27, 29, 32, 35, 37, 40, 43, 45, 48, 51, 53, 56};
    s70.tv = {16, 24, 32, 40, 48, 56, 64, 72, 80, 88, 96, 104, 112, 120, 128, 136, 144};
    s70.exposure = {8, 11, 13, 16, 19, 21, 24, 27, 29, 32, 35, 37, 40};
    s70.wb = {0, 1, 2, 3, 4, 14, 6};
    s70.afDistance = {1, 3, 7, 10};
    s70.flash = {0, 1, 2, 3, 4};
    s70.relCamSettingIds = {sdk::kSettingMeter, sdk::kSettingIso};   // no effect setting
    s70.meter = {0, 1, 3};
    s70.iso = {0, 64, 72, 80, 88};
    s70.shootingMode = 0;
    s70.avValue = 32;
    s70.tvValue = 96;
    s70.exposureComp = 24;
    s70.afDistanceValue = 1;
    s70.meterValue = 3;
    s70.isoValue = 0;
    s70.quality = 3;
    s70.size = 0;
    w.cameras.push_back(s70);
    return w;
}

World defaultRcWorld() {
    World w;
    CameraSpec d10;
    d10.name = "EOS 10D";
    d10.firmwareText = "Firmware Version 2.0.0";
    d10.battery = 5;
    d10.hasZoom = false;
    d10.maxZoomPos = 0;
    d10.imageSizes = standardSizes();
    d10.sizePixels = standardPixels();
    d10.formats = {{4, 0}, {3, 0}, {2, 0}, {3, 1}, {2, 1}, {3, 2}, {2, 2}};
    d10.shootingModes = {0, 1, 2, 3, 4, 5, 7, 108, 110};
    d10.av = {16, 24, 32, 40, 48, 56, 64, 72, 80, 88, 32767};
    d10.tv = {4, 16, 24, 32, 40, 48, 56, 64, 72, 80, 88, 96, 104, 112, 120, 128, 136, 144, 152};
    d10.exposure = {8, 12, 16, 20, 24, 28, 32, 36, 40};
    d10.wb = {0, 1, 8, 2, 3, 4, 5, 6, 9};
    d10.afDistance = {0, 1};
    d10.flash = {0, 1, 2, 3};
    d10.relCamSettingIds = {sdk::kSettingMeter, sdk::kSettingIso, sdk::kSettingEffect};
    d10.meter = {3, 4, 0};
    d10.iso = {72, 80, 88, 96, 104, 112};
    d10.effect = {0, 1, 2, 3, 4, 5};
    d10.shootingMode = 1;
    d10.avValue = 48;
    d10.tvValue = 112;
    d10.exposureComp = 24;
    d10.wbValue = 0;
    d10.afDistanceValue = 1;
    d10.meterValue = 3;
    d10.isoValue = 72;
    d10.quality = 3;
    d10.size = 0;
    // Its lens drives focus over a scene with depth, so a focus stack can be tried without a
    // camera: the middle third sharp at first, near and far thirds blurred.
    d10.hasFocusDrive = true;
    d10.sceneDepth = true;
    d10.focusMoveMs = 40;
    w.cameras.push_back(d10);

    CameraSpec d20 = fullCamera("EOS 20D");
    d20.owner = "Kestrel Observatory";
    d20.firmwareText = "Firmware Version 1.1.1";
    d20.battery = 6;
    d20.hasZoom = false;
    d20.maxZoomPos = 0;
    d20.sizePixels = {{0, {3504, 2336}}, {1, {2544, 1696}}, {2, {1728, 1152}}};
    w.cameras.push_back(d20);
    return w;
}

}   // namespace sim
