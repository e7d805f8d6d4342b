// Operations that change each colour on its own: colour factors with contrast and brightness,
// brightness, gamma, grey and invert. Each builds one 256-entry table per channel, then maps
// the pixels of a 24-bit image or the colour table of a palette image through it.
#include <algorithm>
#include <array>
#include <cmath>

#include "rastervane/effects/EffectDib.h"
#include "rastervane/effects/RVEffects.h"

namespace rv {

namespace {

using Lut = std::array<std::uint8_t, 256>;

struct ChannelLuts {
    Lut blue, green, red;
};

std::uint8_t clampByte(long v) { return std::uint8_t(std::clamp(v, 0L, 255L)); }
long roundHalfUp(double v) { return long(std::floor(v + 0.5)); }

// a = v * factor / 10 + brightness, then contrast around 128 with the slope
// 259 (c + 255) / (255 (259 - c)); each step rounded half up and clamped to 0..255.
Lut enhanceLut(int factor, int contrast, int brightness) {
    const double slope = 259.0 * (contrast + 255) / (255.0 * (259 - contrast));
    Lut lut;
    for (int v = 0; v < 256; ++v) {
        const long scaled = clampByte((long(v) * factor + 5) / 10 + brightness);
        lut[v] = clampByte(roundHalfUp(slope * double(scaled - 128) + 128.0));
    }
    return lut;
}

ChannelLuts sameForAll(const Lut& lut) { return {lut, lut, lut}; }

// A copy of the image with every colour mapped through the tables.
HLQMEM mapColors(const fx::LockedDib& src, const ChannelLuts& luts, const RVProgress& progress) {
    fx::ProgressSteps steps(progress, src.height());
    if (!steps.begin()) return nullptr;
    fx::ResultDib out = fx::copyOf(src);
    if (!out.valid()) return nullptr;
    const fx::LockedDib& dst = out.dib();
    if (src.bits() <= 8) {
        std::uint8_t* entry = dst.colorTable();
        for (std::uint32_t i = 0; i < dst.colorCount(); ++i, entry += 4) {
            entry[0] = luts.blue[entry[0]];
            entry[1] = luts.green[entry[1]];
            entry[2] = luts.red[entry[2]];
        }
    } else {
        for (int y = 0; y < dst.height(); ++y) {
            std::uint8_t* p = dst.row(y);
            for (std::uint8_t* end = p + 3 * std::size_t(dst.width()); p != end; p += 3) {
                p[0] = luts.blue[p[0]];
                p[1] = luts.green[p[1]];
                p[2] = luts.red[p[2]];
            }
            if (!steps.step(y + 1)) return nullptr;
        }
    }
    if (!steps.end()) return nullptr;
    return out.release();
}

// Luma of Rec. 601 in 16-bit fixed point: the three weights sum to 65536.
struct LumaTables {
    std::array<std::uint32_t, 256> r, g, b;
    LumaTables() {
        for (std::uint32_t v = 0; v < 256; ++v) {
            r[v] = 19595 * v;
            g[v] = 38470 * v;
            b[v] = 7471 * v + 32768;  // carries the rounding
        }
    }
    std::uint8_t operator()(const std::uint8_t* bgr) const { return std::uint8_t((b[bgr[0]] + g[bgr[1]] + r[bgr[2]]) >> 16); }
};

void grayPalette(const fx::LockedDib& dib) {
    const LumaTables luma;
    std::uint8_t* entry = dib.colorTable();
    for (std::uint32_t i = 0; i < dib.colorCount(); ++i, entry += 4) entry[0] = entry[1] = entry[2] = luma(entry);
}

bool grayRows(const fx::LockedDib& dib, const RVRect& area, fx::ProgressSteps& steps) {
    const LumaTables luma;
    for (int y = area.top; y < area.bottom; ++y) {
        std::uint8_t* p = dib.topRow(y) + 3 * std::size_t(area.left);
        for (std::uint8_t* end = p + 3 * std::size_t(area.right - area.left); p != end; p += 3) p[0] = p[1] = p[2] = luma(p);
        if (!steps.step(y - area.top + 1)) return false;
    }
    return true;
}

HLQMEM grayCopy(const fx::LockedDib& src, const RVRect& area, const RVProgress& progress) {
    fx::ProgressSteps steps(progress, area.bottom - area.top);
    if (!steps.begin()) return nullptr;
    fx::ResultDib out = fx::copyOf(src);
    if (!out.valid()) return nullptr;
    if (src.bits() <= 8) grayPalette(out.dib());
    else if (!grayRows(out.dib(), area, steps)) return nullptr;
    if (!steps.end()) return nullptr;
    return out.release();
}

}  // namespace

HLQMEM Enhance(HLQMEM dib, const RVProgress& progress, int blue, int green, int red, int contrast, int brightness) {
    return fx::runOperation("Enhancing Image", [&]() -> HLQMEM {
        const fx::LockedDib src(dib);
        if (!src.valid()) return nullptr;
        contrast = std::clamp(contrast, -255, 255);
        brightness = std::clamp(brightness, -255, 255);
        const auto lut = [&](int factor) { return enhanceLut(std::clamp(factor, 1, 255), contrast, brightness); };
        return mapColors(src, {lut(blue), lut(green), lut(red)}, progress);
    });
}

HLQMEM RVBrightness(HLQMEM dib, int value) {
    return fx::runOperation("Brightening Image", [&]() -> HLQMEM {
        const fx::LockedDib src(dib);
        if (!src.valid()) return nullptr;
        value = std::clamp(value, -255, 255);
        Lut lut;
        for (int v = 0; v < 256; ++v) lut[v] = clampByte(v + value);
        return mapColors(src, sameForAll(lut), {});
    });
}

HLQMEM RVGamma(HLQMEM dib, int value) {
    return fx::runOperation("Gamma Correcting Image", [&]() -> HLQMEM {
        const fx::LockedDib src(dib);
        if (!src.valid()) return nullptr;
        const double exponent = 10.0 / std::clamp(value, 1, 100);
        Lut lut;
        for (int v = 0; v < 256; ++v) lut[v] = clampByte(roundHalfUp(255.0 * std::pow(v / 255.0, exponent)));
        return mapColors(src, sameForAll(lut), {});
    });
}

int RVInvert(HLQMEM dib) {
    return fx::runOperation("Inverting Image", [&]() -> int {
        const fx::LockedDib img(dib);
        if (!img.valid()) return RVLastErrorCode();
        if (img.bits() <= 8) {
            std::uint8_t* entry = img.colorTable();
            for (std::uint32_t i = 0; i < img.colorCount(); ++i, entry += 4) {
                entry[0] = std::uint8_t(~entry[0]);
                entry[1] = std::uint8_t(~entry[1]);
                entry[2] = std::uint8_t(~entry[2]);
            }
            return 1;
        }
        const std::size_t bytes = 3 * std::size_t(img.width());
        for (int y = 0; y < img.height(); ++y) {
            std::uint8_t* p = img.row(y);
            for (std::size_t i = 0; i < bytes; ++i) p[i] = std::uint8_t(~p[i]);
        }
        return 1;
    });
}

HLQMEM GrayArea(HLQMEM dib, const RVProgress& progress, RVRect area) {
    return fx::runOperation("Converting Image to Grayscale", [&]() -> HLQMEM {
        const fx::LockedDib src(dib);
        if (!src.valid()) return nullptr;
        if (area.isEmpty()) {
            area = {0, 0, src.width(), src.height()};
            if (src.bits() <= 8) return grayCopy(src, area, progress);
        } else if (area.left < 0 || area.top < 0 || area.right > src.width() || area.bottom > src.height()) {
            return fx::fail(kRVErrBadArgument, "The area reaches past the image");
        }
        return fx::on24Bits(src, [&](const fx::LockedDib& wide) { return grayCopy(wide, area, progress); });
    });
}

}  // namespace rv
