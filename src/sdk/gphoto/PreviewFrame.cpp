// Preview JPEG to viewfinder frame.
#include "sdk/gphoto/PreviewFrame.h"

#include "sdk/FrameHeader.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cstring>

namespace gphoto {

PreviewFrame::PreviewFrame() : decoder_(tjInitDecompress()), columns_(sdk::kFrameWidth) {}

PreviewFrame::~PreviewFrame() {
    if (decoder_ != nullptr) tjDestroy(static_cast<tjhandle>(decoder_));
}

PreviewFrame::Outcome PreviewFrame::Convert(const unsigned char* jpeg, std::size_t size,
                                            std::uint8_t* frame) {
    lastWidth_ = lastHeight_ = 0;
    if (decoder_ == nullptr || jpeg == nullptr || size == 0) return Outcome::Undecodable;
    auto* tj = static_cast<tjhandle>(decoder_);
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    if (tjDecompressHeader3(tj, jpeg, static_cast<unsigned long>(size), &width, &height,
                            &subsampling, &colorspace) != 0 ||
        width <= 0 || height <= 0)
        return Outcome::Undecodable;
    lastWidth_ = width;
    lastHeight_ = height;
    if (width > kMaxSide || height > kMaxSide) return Outcome::TooLarge;

    // The box the picture fills, keeping its aspect.
    constexpr int W = sdk::kFrameWidth, H = sdk::kFrameHeight;
    int boxW = W, boxH = static_cast<int>(static_cast<long>(W) * height / width);
    if (boxH > H) {
        boxH = H;
        boxW = static_cast<int>(static_cast<long>(H) * width / height);
    }
    boxW = std::max(1, boxW);
    boxH = std::max(1, boxH);

    // The smallest scaling factor whose output still covers the box; only 1/2, 1/4 and 1/8
    // (libjpeg-turbo's fast reduced transforms: 3/8 is slower than 1/2).
    int factors = 0;
    tjscalingfactor* list = tjGetScalingFactors(&factors);
    int sw = width, sh = height;
    for (int i = 0; i < factors; ++i) {
        if (list[i].num != 1 || (list[i].denom != 2 && list[i].denom != 4 && list[i].denom != 8))
            continue;
        const int w = TJSCALED(width, list[i]);
        const int h = TJSCALED(height, list[i]);
        if (w >= boxW && h >= boxH && static_cast<long>(w) * h < static_cast<long>(sw) * sh) {
            sw = w;
            sh = h;
        }
    }
    const std::size_t need = static_cast<std::size_t>(sw) * sh * 3;
    if (scratch_.size() < need) scratch_.resize(need);
    if (tjDecompress2(tj, jpeg, static_cast<unsigned long>(size), scratch_.data(), sw, sw * 3, sh,
                      TJPF_BGR, TJFLAG_BOTTOMUP | TJFLAG_FASTDCT | TJFLAG_FASTUPSAMPLE) != 0 &&
        tjGetErrorCode(tj) == TJERR_FATAL)
        return Outcome::Undecodable;

    sdk::WriteFrameHeader(frame);
    std::uint8_t* pixels = frame + sdk::kFrameHeaderBytes;
    const int left = (W - boxW) / 2;
    const int top = (H - boxH) / 2;   // in picture rows, from the top
    for (int x = 0; x < boxW; ++x) columns_[static_cast<std::size_t>(x)] = x * sw / boxW * 3;
    constexpr std::size_t kRow = static_cast<std::size_t>(W) * 3;
    for (int row = 0; row < H; ++row) {   // storage rows, bottom-up
        std::uint8_t* out = pixels + static_cast<std::size_t>(row) * kRow;
        const int y = H - 1 - row;   // picture row
        if (y < top || y >= top + boxH) {
            std::memset(out, 0, kRow);
            continue;
        }
        const int sy = (y - top) * sh / boxH;   // scaled picture row from the top
        const std::uint8_t* in = scratch_.data() + static_cast<std::size_t>(sh - 1 - sy) * sw * 3;
        std::memset(out, 0, static_cast<std::size_t>(left) * 3);
        std::uint8_t* o = out + static_cast<std::size_t>(left) * 3;
        for (int x = 0; x < boxW; ++x, o += 3) {
            const std::uint8_t* p = in + columns_[static_cast<std::size_t>(x)];
            o[0] = p[0];
            o[1] = p[1];
            o[2] = p[2];
        }
        std::memset(o, 0, static_cast<std::size_t>(W - left - boxW) * 3);
    }
    return Outcome::Converted;
}

}   // namespace gphoto
