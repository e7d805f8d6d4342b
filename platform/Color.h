// The platform's colour value: a 32-bit integer with red in the low byte, then green, then
// blue; the high byte is 0 for a plain RGB value. Stored files and the library interface use
// this form; Qt colours are converted at the edge (platform/qt/QtColor.h).
#pragma once

#include <cstdint>

namespace lqp {

using ColorRef = std::uint32_t;

constexpr ColorRef rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return ColorRef(r) | (ColorRef(g) << 8) | (ColorRef(b) << 16);
}
constexpr std::uint8_t redOf(ColorRef c) { return std::uint8_t(c); }
constexpr std::uint8_t greenOf(ColorRef c) { return std::uint8_t(c >> 8); }
constexpr std::uint8_t blueOf(ColorRef c) { return std::uint8_t(c >> 16); }

}  // namespace lqp
