// Fixed tables of the colour conversions: tone curve, ordered-dither matrix and the two fixed
// palettes with their 15-bit lookup tables.
#pragma once

#include <cstdint>

namespace lqcolor {

// 8 x 8 ordered-dither thresholds 0..63, indexed (x mod 8) * 8 + (y mod 8).
extern const std::uint8_t kDitherMatrix[64];
// Fixed palettes as 0xRRGGBB.
extern const std::uint32_t kFixedPalette16[16];
extern const std::uint32_t kFixedPalette256[256];

// 15-bit colour key: 5 bits each of red, green and blue.
inline std::uint16_t colorKey(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return std::uint16_t(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
}
constexpr std::uint16_t kKeyUnset = 0xFFFF;

// Palette index of every 15-bit key for the fixed 16- or 256-colour palette (nearest colour
// to the key's cell centre); built once on first use.
const std::uint16_t* fixedPaletteLookup(int colors);

}  // namespace lqcolor
