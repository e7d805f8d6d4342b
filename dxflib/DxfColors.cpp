#include "dxflib/DxfColors.h"

#include <array>

namespace lqdxf {

namespace {

// Indexes 10-249: 24 hues 15 degrees apart, each at five brightness levels, full and pale.
lqp::ColorRef hueColor(int index) {
    static constexpr int kLevels[5] = {255, 165, 127, 76, 38};
    const int hue = (index - 10) / 10 * 15;
    const int level = kLevels[(index - 10) % 10 / 2];
    const bool pale = (index - 10) % 2 == 1;
    // The largest component is at the level, the smallest at 0, the middle one follows the hue.
    int r = 0, g = 0, b = 0;
    if (hue < 60) { r = level; g = level * hue / 60; }
    else if (hue < 120) { g = level; r = level * (120 - hue) / 60; }
    else if (hue < 180) { g = level; b = level * (hue - 120) / 60; }
    else if (hue < 240) { b = level; g = level * (240 - hue) / 60; }
    else if (hue < 300) { b = level; r = level * (hue - 240) / 60; }
    else { r = level; b = level * (360 - hue) / 60; }
    if (pale) {
        r += (level - r) / 2;
        g += (level - g) / 2;
        b += (level - b) / 2;
    }
    return lqp::rgb(std::uint8_t(r), std::uint8_t(g), std::uint8_t(b));
}

std::array<lqp::ColorRef, 256> makePalette() {
    std::array<lqp::ColorRef, 256> p{};
    static constexpr lqp::ColorRef kFirst[10] = {
        lqp::rgb(0, 0, 0),     lqp::rgb(255, 0, 0),   lqp::rgb(255, 255, 0),   lqp::rgb(0, 255, 0),
        lqp::rgb(0, 255, 255), lqp::rgb(0, 0, 255),   lqp::rgb(255, 0, 255),   lqp::rgb(255, 255, 255),
        lqp::rgb(255, 255, 255), lqp::rgb(255, 255, 255)};
    static constexpr std::uint8_t kGreys[6] = {0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFF};
    for (int i = 0; i < 10; ++i) p[std::size_t(i)] = kFirst[i];
    for (int i = 10; i < 250; ++i) p[std::size_t(i)] = hueColor(i);
    for (int i = 0; i < 6; ++i) p[std::size_t(250 + i)] = lqp::rgb(kGreys[i], kGreys[i], kGreys[i]);
    return p;
}

}  // namespace

lqp::ColorRef colorOfIndex(int index) {
    static const std::array<lqp::ColorRef, 256> kPalette = makePalette();
    return index >= 0 && index < 256 ? kPalette[std::size_t(index)] : lqp::rgb(255, 255, 255);
}

}  // namespace lqdxf
