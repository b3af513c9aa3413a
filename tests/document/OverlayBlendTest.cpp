// The layout overlay's place (fit, fill, offset), its layer (opacity, premultiplied, cut at the
// view's edges) and its blend over a frame, against pixel values worked out by hand.
#include "document/OverlayBlend.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using overlay::Fit;
using overlay::Rect;

TEST(OverlayBlend, PlacesFitFillAndOffset) {
    struct Case {
        const char* name;
        int sw, sh;
        Fit fit;
        int dx, dy;
        Rect expected;
    };
    const Case cases[] = {
        {"wide picture fitted", 200, 50, Fit::Fit, 0, 0, {0, 20, 80, 20}},
        {"wide picture filling", 200, 50, Fit::Fill, 0, 0, {-80, 0, 240, 60}},
        {"tall picture fitted", 30, 60, Fit::Fit, 0, 0, {25, 0, 30, 60}},
        {"tall picture filling", 30, 60, Fit::Fill, 0, 0, {0, -50, 80, 160}},
        {"same shape", 4, 3, Fit::Fill, 0, 0, {0, 0, 80, 60}},
        {"moved right and up", 4, 3, Fit::Fit, 25, -10, {20, -6, 80, 60}},
        {"offset held at 100", 4, 3, Fit::Fit, 300, 0, {80, 0, 80, 60}},
        {"empty picture", 0, 3, Fit::Fit, 0, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(overlay::Place(c.sw, c.sh, 80, 60, c.fit, c.dx, c.dy), c.expected);
    }
}

TEST(OverlayBlend, LayerAndBlendMatchTheReference) {
    // A 3 x 2 picture at (1, -1) over a 4 x 2 view: its top row is above the view, its second
    // row lands on the view's first. Straight alpha in; opacity 50 % (128 of 255).
    const std::vector<std::uint32_t> picture = {
        0xffffffffu, 0xffffffffu, 0xffffffffu,   // above the view
        0xffff0000u, 0x8000ff00u, 0x000000ffu,   // opaque red, half green, clear blue
    };
    constexpr int w = 4, h = 2, stride = 6;   // padded rows, as QImage pads them
    std::vector<std::uint32_t> layer(stride * h, 0xdeadbeefu);
    overlay::BuildLayer(picture.data(), 3, {1, -1, 3, 2}, 50, layer.data(), w, h, stride);
    // Red at alpha 128 premultiplied: 0x80800000; green's alpha 128 * 128 / 255 = 64, its
    // colour 255 * 64 / 255 = 64.
    const std::vector<std::uint32_t> expectedLayer = {
        0, 0x80800000u, 0x40004000u, 0, 0xdeadbeefu, 0xdeadbeefu,   // padding kept
        0, 0,           0,           0, 0xdeadbeefu, 0xdeadbeefu};
    EXPECT_EQ(layer, expectedLayer);

    // A grey frame (100, 150, 200) under it, blended in place.
    std::vector<std::uint32_t> frame(stride * h, 0xff6496c8u);
    overlay::Blend(frame.data(), stride, layer.data(), stride, frame.data(), stride, w, h);
    // Under red (keep 127): 128 + 49.8, 74.7, 99.6 rounded. Under green (keep 191): 74.9,
    // 64 + 112.4, 149.8 rounded. Elsewhere the frame as it was.
    const std::uint32_t grey = 0xff6496c8u;
    const std::vector<std::uint32_t> expectedFrame = {
        grey, 0xffb24b64u, 0xff4bb096u, grey, grey, grey,   // the padding is not written
        grey, grey,        grey,        grey, grey, grey};
    EXPECT_EQ(frame, expectedFrame);

    // Full opacity over white: the picture itself where opaque; zero opacity: the frame.
    for (int opacity : {0, 100}) {
        SCOPED_TRACE(opacity);
        std::vector<std::uint32_t> l(4), out(4), f(4, 0xffffffffu);
        overlay::BuildLayer(picture.data() + 3, 3, {0, 0, 3, 1}, opacity, l.data(), 4, 1, 4);
        overlay::Blend(f.data(), 4, l.data(), 4, out.data(), 4, 4, 1);
        EXPECT_EQ(out[0], opacity ? 0xffff0000u : 0xffffffffu);
        EXPECT_EQ(out[1], opacity ? 0xff7fff7fu : 0xffffffffu);   // half green over white
        EXPECT_EQ(out[2], 0xffffffffu);
    }
}

}   // namespace
