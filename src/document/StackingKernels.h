// The per-byte loops of the stacking window, vectorised where the processor allows.
// Sums are 16-bit: a window of at most 151 frames sums to at most 151 x 255 = 38,505, and
// subtractions clamp at 0, so every value fits and each result equals the 32-bit arithmetic.
#pragma once

#include <cstddef>
#include <cstdint>

namespace stacking {

// sum[i] = max(0, sum[i] - leaving[i]).
void Subtract(std::uint16_t* sum, const std::uint8_t* leaving, std::size_t n);

// One frame joins the window: sum[i] += pixels[i]; keep[i] = pixels[i];
// pixels[i] = clip(sum[i] - noise[i], 0, 255).
void Add(std::uint16_t* sum, const std::uint16_t* noise, std::uint8_t* pixels, std::uint8_t* keep,
         std::size_t n);

// One frame leaves and one joins in a single pass, the newcomer taking the leaver's buffer:
// sum[i] = max(0, sum[i] - slot[i]) + pixels[i]; slot[i] = pixels[i];
// pixels[i] = clip(sum[i] - noise[i], 0, 255).
void Replace(std::uint16_t* sum, const std::uint16_t* noise, std::uint8_t* slot,
             std::uint8_t* pixels, std::size_t n);

}   // namespace stacking
