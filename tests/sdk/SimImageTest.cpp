// What the simulated cameras produce: viewfinder frames (layout, determinism, exposure) and
// released files (JPEG at the selected size and quality, raw for Lossless, progress, errors).
#include "support/SimTestSupport.h"

#include "sdk/sim/ImageFile.h"

#include <turbojpeg.h>

#include <fstream>
#include <iterator>
#include <memory>

using namespace testsupport;
using sim::Simulator;

namespace {

class SimImage : public SimTest {
protected:
    sdk::Handle openSmall(sim::CameraSpec model = SmallCamera("Small")) {
        sim::World w;
        w.cameras.push_back(std::move(model));
        Simulator::cd().setWorld(w);
        const sdk::Handle s = openCamera(api(), w.cameras[0].name);
        EXPECT_EQ(api().EnterReleaseControl(s, nullptr, nullptr), sdk::kOk);
        return s;
    }
    const sdk::Api& api() { return Simulator::cd().api(); }
};

std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

double meanPixel(const std::vector<std::uint8_t>& frame) {
    double sum = 0;
    for (std::size_t i = sdk::kFrameHeaderBytes; i < frame.size(); ++i) sum += frame[i];
    return sum / sdk::kFramePixelBytes;
}

std::vector<std::uint8_t> frame(std::uint64_t index, double brightness) {
    std::vector<std::uint8_t> f(sdk::kFrameBytes);
    Simulator::renderFrame(f.data(), index, brightness);
    return f;
}

TEST_F(SimImage, FrameIsABottomUp24BitBitmap) {
    const auto f = frame(0, 1.0);
    EXPECT_EQ(f[0], 'B');
    EXPECT_EQ(f[1], 'M');
    EXPECT_EQ(le32(&f[2]), 230454u);
    EXPECT_EQ(le32(&f[10]), 54u);
    EXPECT_EQ(le32(&f[14]), 40u);
    EXPECT_EQ(static_cast<std::int32_t>(le32(&f[18])), 320);
    EXPECT_EQ(static_cast<std::int32_t>(le32(&f[22])), 240);
    EXPECT_EQ(f[26] | f[27] << 8, 1);
    EXPECT_EQ(f[28] | f[29] << 8, 24);
    EXPECT_EQ(le32(&f[30]), 0u);
    // Bottom-up: the first stored row is ground, the last one night sky, which is darker.
    double bottom = 0, top = 0;
    for (int i = 0; i < 960; ++i) {
        bottom += f[54 + i];
        top += f[54 + 239 * 960 + i];
    }
    EXPECT_GT(bottom, top);
}

TEST_F(SimImage, FramesAreDeterministicNoisyAndDrift) {
    EXPECT_EQ(frame(7, 1.0), frame(7, 1.0));
    const auto a = frame(8, 1.0), b = frame(9, 1.0);   // same scene position, other noise
    EXPECT_NE(a, b);
    double diff = 0;
    for (std::size_t i = 54; i < a.size(); ++i) diff += std::abs(int(a[i]) - int(b[i]));
    EXPECT_LT(diff / sdk::kFramePixelBytes, 8.0) << "noise, not a different picture";
    // After 40 frames the scene has moved 20 pixels: row content shifted, not equal.
    const auto later = frame(48, 1.0);
    double moved = 0;
    for (std::size_t i = 54; i < a.size(); ++i) moved += std::abs(int(a[i]) - int(later[i]));
    EXPECT_GT(moved, diff);
}

TEST_F(SimImage, HotPixelsStayInDarkFrames) {
    const auto dark = frame(0, 1.0 / 64), darkLater = frame(200, 1.0 / 64);
    int hot = 0;
    for (std::size_t i = 54; i < dark.size(); ++i)
        if (dark[i] >= 200 && darkLater[i] >= 200) ++hot;
    EXPECT_GE(hot, 20);
    EXPECT_LT(hot, 400);
}

TEST_F(SimImage, ManualViewfinderBrightnessFollowsExposure) {
    Simulator& sim = Simulator::cd();
    sim.setManualViewfinder(true);
    const sdk::Api& a = sim.api();
    const sdk::Handle s = openCamera(a, "PowerShot G5");
    struct Sink {
        std::vector<std::vector<std::uint8_t>> frames;
        std::thread::id thread;
    } sink;
    auto cb = [](void* buf, std::uint32_t size, std::uint32_t format, void* ctx) -> sdk::Result {
        auto* k = static_cast<Sink*>(ctx);
        EXPECT_EQ(size, sdk::kFrameBytes);
        EXPECT_EQ(format, 1u);
        auto* p = static_cast<std::uint8_t*>(buf);
        k->frames.emplace_back(p, p + size);
        k->thread = std::this_thread::get_id();
        return 0;
    };
    EXPECT_FALSE(sim.pushFrame()) << "no viewfinder yet";
    ASSERT_EQ(a.StartViewfinder(s, 1, cb, &sink), sdk::kOk);
    ASSERT_TRUE(sim.pushFrame());
    EXPECT_TRUE(sink.thread == std::this_thread::get_id())
        << "manual frames come on the pushing thread";
    ASSERT_EQ(a.SetAvValue(s, 32), sdk::kOk);   // 5.6 -> 2.8: two stops brighter
    ASSERT_TRUE(sim.pushFrame());
    ASSERT_EQ(a.SetTvValue(s, 136), sdk::kOk);       // 1/125 -> 1/1000: three stops darker
    ASSERT_EQ(a.SetExposureComp(s, 48), sdk::kOk);   // -3
    ASSERT_TRUE(sim.pushFrame());
    ASSERT_EQ(sink.frames.size(), 3u);
    const double normal = meanPixel(sink.frames[0]), bright = meanPixel(sink.frames[1]),
                 dark = meanPixel(sink.frames[2]);
    EXPECT_GT(bright, normal * 1.5);
    EXPECT_LT(dark, normal / 2);
    EXPECT_EQ(sim.state("PowerShot G5")->framesDelivered, 3u);

    // The same pushes after a reset give the same frames.
    EXPECT_EQ(sink.frames[0], frame(0, 1.0));
    ASSERT_EQ(a.TermViewfinder(s), sdk::kOk);
    EXPECT_FALSE(sim.pushFrame());
}

// JPEG at each size's pixel dimensions; the quality changes the file.
TEST_F(SimImage, ReleaseWritesAJpegOfTheSelectedSize) {
    const sdk::Handle s = openSmall();
    const struct {
        std::uint16_t quality, size;
        int width, height;
    } cases[] = {{3, 0, 64, 48}, {1, 1, 48, 32}, {5, 1, 48, 32}, {2, 2, 32, 24}};
    std::size_t economyBytes = 0, superfineBytes = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "quality " << c.quality << " size " << c.size);
        ASSERT_EQ(api().SetImageFormatAttribute(s, c.quality, c.size), sdk::kOk);
        std::uint32_t count = 0;
        ASSERT_EQ(api().Release(s, 1, nullptr, nullptr, 0, &count), sdk::kOk);
        ASSERT_EQ(count, 1u);
        const std::string path = tempPath("release.jpg");
        const sdk::StorageMedium medium{0, path.c_str()};
        sdk::ImageInfo info;
        ASSERT_EQ(api().GetReleasedData(s, nullptr, nullptr, 0, &info, &medium), sdk::kOk);
        auto bytes = readFile(path);
        ASSERT_GT(bytes.size(), 100u);
        tjhandle tj = tjInitDecompress();
        int w = 0, h = 0, sub = 0, cs = 0;
        EXPECT_EQ(tjDecompressHeader3(tj, bytes.data(), bytes.size(), &w, &h, &sub, &cs), 0);
        tjDestroy(tj);
        EXPECT_EQ(w, c.width);
        EXPECT_EQ(h, c.height);
        if (c.quality == 1) economyBytes = bytes.size();
        if (c.quality == 5) superfineBytes = bytes.size();
        // One release, one item: a second fetch has nothing left.
        EXPECT_EQ(api().GetReleasedData(s, nullptr, nullptr, 0, &info, &medium),
                  sim::err::kInvalidFnCall);
    }
    EXPECT_LT(economyBytes, superfineBytes);
}

TEST_F(SimImage, LosslessWritesTheRawFile) {
    const sdk::Handle s = openSmall();
    ASSERT_EQ(api().SetImageFormatAttribute(s, 4, 0), sdk::kOk);
    std::uint32_t count = 0;
    ASSERT_EQ(api().Release(s, 1, nullptr, nullptr, 0, &count), sdk::kOk);
    const std::string path = tempPath("release.crw");
    const sdk::StorageMedium medium{0, path.c_str()};
    sdk::ImageInfo info;
    ASSERT_EQ(api().GetReleasedData(s, nullptr, nullptr, 0, &info, &medium), sdk::kOk);
    const auto bytes = readFile(path);
    ASSERT_GE(bytes.size(), sim::kRawHeaderBytes);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data())), "KESTREL-RAW");
    EXPECT_EQ(le32(&bytes[16]), 64u);
    EXPECT_EQ(le32(&bytes[20]), 48u);
    const std::uint32_t sw = le32(&bytes[24]), sh = le32(&bytes[28]);
    EXPECT_EQ(bytes.size(), sim::kRawHeaderBytes + sw * sh * 2);
}

TEST_F(SimImage, ProgressRisesToHundredOnlyWithOption3) {
    sim::CameraSpec model = SmallCamera("Small");
    model.releaseItems = 2;
    const sdk::Handle s = openSmall(model);
    struct Log {
        std::vector<std::uint32_t> values;
        std::uint32_t lastStatus = 0;
    } log;
    auto progress = [](std::uint32_t v, std::uint32_t status, void* ctx) -> sdk::Result {
        auto* l = static_cast<Log*>(ctx);
        l->values.push_back(v);
        l->lastStatus = status;
        return 0;
    };
    std::uint32_t count = 0;
    ASSERT_EQ(api().Release(s, 1, progress, &log, 3, &count), sdk::kOk);
    ASSERT_EQ(count, 2u);
    const std::string path = tempPath("progress-0000.jpg");   // the second item gets 0001
    const sdk::StorageMedium medium{0, path.c_str()};
    sdk::ImageInfo info;
    ASSERT_EQ(api().GetReleasedData(s, progress, &log, 3, &info, &medium), sdk::kOk);
    EXPECT_EQ(log.values, (std::vector<std::uint32_t>{0, 25, 50, 75, 100}));
    EXPECT_EQ(log.lastStatus, 1u);
    log.values.clear();
    ASSERT_EQ(api().GetReleasedData(s, progress, &log, 0, &info, &medium), sdk::kOk);
    EXPECT_TRUE(log.values.empty()) << "option 0 reports no progress";
}

TEST_F(SimImage, UnwritablePathIsAnSdkErrorAndTheItemStays) {
    const sdk::Handle s = openSmall();
    std::uint32_t count = 0;
    ASSERT_EQ(api().Release(s, 1, nullptr, nullptr, 0, &count), sdk::kOk);
    sdk::ImageInfo info;
    const sdk::StorageMedium bad{0, "/nonexistent-kestrel-dir/a.jpg"};
    EXPECT_EQ(api().GetReleasedData(s, nullptr, nullptr, 0, &info, &bad), sim::err::kFileOpen);
    const sdk::StorageMedium noPath{0, nullptr};
    EXPECT_EQ(api().GetReleasedData(s, nullptr, nullptr, 0, &info, &noPath),
              sim::err::kInvalidPointer);
    const std::string path = tempPath("retry.jpg");
    const sdk::StorageMedium good{0, path.c_str()};
    EXPECT_EQ(api().GetReleasedData(s, nullptr, nullptr, 0, &info, &good), sdk::kOk);
    EXPECT_TRUE(std::filesystem::exists(path));
}

}   // namespace
