#include "document/OverlayBlend.h"

#include <algorithm>
#include <cstring>

namespace overlay {

Rect Place(int sourceWidth, int sourceHeight, int viewWidth, int viewHeight, Fit fit,
           int offsetXPercent, int offsetYPercent) {
    if (sourceWidth <= 0 || sourceHeight <= 0 || viewWidth <= 0 || viewHeight <= 0) return {};
    // Scaled by the width when that side binds (fit: the wider picture; fill: the taller one).
    const std::int64_t byWidth = std::int64_t{viewWidth} * sourceHeight;    // height at the width
    const std::int64_t byHeight = std::int64_t{viewHeight} * sourceWidth;   // width at the height
    const bool widthBinds = fit == Fit::Fit ? byWidth <= byHeight : byWidth >= byHeight;
    Rect r;
    if (widthBinds) {
        r.width = viewWidth;
        r.height = static_cast<int>((byWidth + sourceWidth / 2) / sourceWidth);
    } else {
        r.height = viewHeight;
        r.width = static_cast<int>((byHeight + sourceHeight / 2) / sourceHeight);
    }
    r.width = std::max(r.width, 1);
    r.height = std::max(r.height, 1);
    offsetXPercent = std::clamp(offsetXPercent, -100, 100);
    offsetYPercent = std::clamp(offsetYPercent, -100, 100);
    r.x = (viewWidth - r.width) / 2 + viewWidth * offsetXPercent / 100;
    r.y = (viewHeight - r.height) / 2 + viewHeight * offsetYPercent / 100;
    return r;
}

void BuildLayer(const std::uint32_t* scaled, std::size_t scaledStrideWords, Rect rect,
                int opacityPercent, std::uint32_t* layer, int viewWidth, int viewHeight,
                std::size_t layerStrideWords) {
    const std::uint32_t opacity =
        static_cast<std::uint32_t>(std::clamp(opacityPercent, 0, 100) * 255 + 50) / 100;
    for (int y = 0; y < viewHeight; ++y) {
        std::uint32_t* row = layer + static_cast<std::size_t>(y) * layerStrideWords;
        std::memset(row, 0, static_cast<std::size_t>(viewWidth) * sizeof(std::uint32_t));
        const int sy = y - rect.y;
        if (sy < 0 || sy >= rect.height) continue;
        const std::uint32_t* src = scaled + static_cast<std::size_t>(sy) * scaledStrideWords;
        const int from = std::max(0, rect.x), to = std::min(viewWidth, rect.x + rect.width);
        for (int x = from; x < to; ++x) {
            const std::uint32_t p = src[x - rect.x];
            const std::uint32_t a = Div255((p >> 24) * opacity);
            const std::uint32_t r = Div255(((p >> 16) & 0xff) * a);
            const std::uint32_t g = Div255(((p >> 8) & 0xff) * a);
            const std::uint32_t b = Div255((p & 0xff) * a);
            row[x] = a << 24 | r << 16 | g << 8 | b;
        }
    }
}

void Blend(const std::uint32_t* frame, std::size_t frameStrideWords, const std::uint32_t* layer,
           std::size_t layerStrideWords, std::uint32_t* out, std::size_t outStrideWords, int width,
           int height) {
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* f = frame + static_cast<std::size_t>(y) * frameStrideWords;
        const std::uint32_t* l = layer + static_cast<std::size_t>(y) * layerStrideWords;
        std::uint32_t* o = out + static_cast<std::size_t>(y) * outStrideWords;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t over = l[x], under = f[x];
            const std::uint32_t keep = 255 - (over >> 24);
            const std::uint32_t r = ((over >> 16) & 0xff) + Div255(((under >> 16) & 0xff) * keep);
            const std::uint32_t g = ((over >> 8) & 0xff) + Div255(((under >> 8) & 0xff) * keep);
            const std::uint32_t b = (over & 0xff) + Div255((under & 0xff) * keep);
            o[x] = 0xff000000u | r << 16 | g << 8 | b;
        }
    }
}

}   // namespace overlay
