// The layout overlay's pixel work, Qt-free: where a picture goes over the view (fit or fill, an
// offset), the premultiplied layer made from it once per option or view size, and the blend of
// that layer over each shown frame (no allocation). Pixels are 0xAARRGGBB words.
#pragma once

#include <cstddef>
#include <cstdint>

namespace overlay {

enum class Fit { Fit, Fill };   // the whole picture inside the view / the view covered

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const Rect&) const = default;
};

// Where a sourceWidth x sourceHeight picture goes over a viewWidth x viewHeight view: scaled
// with its aspect kept to fit inside it or to fill it, centred, then moved by offsetX and
// offsetY percent of the view's width and height (-100..100). Empty for an empty picture.
Rect Place(int sourceWidth, int sourceHeight, int viewWidth, int viewHeight, Fit fit,
           int offsetXPercent, int offsetYPercent);

// v / 255 rounded to the nearest integer, exact for v up to 255 * 255.
constexpr std::uint32_t Div255(std::uint32_t v) { return (v + 128 + ((v + 128) >> 8)) >> 8; }

// Writes the view-sized layer: scaled (the picture already at rect's size, straight alpha) at
// rect, its alpha times opacityPercent (0..100), the colours premultiplied; 0 (transparent)
// where the picture is not. Parts of rect outside the view are cut off.
void BuildLayer(const std::uint32_t* scaled, std::size_t scaledStrideWords, Rect rect,
                int opacityPercent, std::uint32_t* layer, int viewWidth, int viewHeight,
                std::size_t layerStrideWords);

// out = layer + frame * (255 - layer alpha) / 255 in each channel, opaque; frame and out may
// be the same buffer. width x height pixels, each buffer with its own row stride.
void Blend(const std::uint32_t* frame, std::size_t frameStrideWords, const std::uint32_t* layer,
           std::size_t layerStrideWords, std::uint32_t* out, std::size_t outStrideWords, int width,
           int height);

}   // namespace overlay
