// Sharpening and softening by an unsharp mask: out = in + k (in - blur), where blur is the
// 3 x 3 binomial filter (1 2 1 / 2 4 2 / 1 2 1) / 16 with the edge pixels repeated. Positive
// amounts sharpen with k = amount / 4; negative amounts soften with k = amount / 9, so -9 gives
// the blurred image itself.
#include <algorithm>
#include <cmath>
#include <vector>

#include "rastervane/effects/EffectDib.h"
#include "rastervane/effects/RVEffects.h"

namespace rv {

namespace {

// k in 8-bit fixed point.
int maskWeight(int amount) { return amount > 0 ? 64 * amount : int(std::lround(amount * 256.0 / 9.0)); }

// p[x-1] + 2 p[x] + p[x+1] for every channel byte of a 24-bit row, the edge pixels repeated.
void horizontalSums(const std::uint8_t* s, int width, std::uint16_t* out) {
    const int n = 3 * width;
    if (width == 1) {
        for (int i = 0; i < 3; ++i) out[i] = std::uint16_t(4 * s[i]);
        return;
    }
    for (int i = 0; i < 3; ++i) {
        out[i] = std::uint16_t(3 * s[i] + s[i + 3]);
        out[n - 3 + i] = std::uint16_t(3 * s[n - 3 + i] + s[n - 6 + i]);
    }
    for (int i = 3; i < n - 3; ++i) out[i] = std::uint16_t(s[i - 3] + 2 * s[i] + s[i + 3]);
}

void maskRow(const std::uint8_t* in, const std::uint16_t* above, const std::uint16_t* mid, const std::uint16_t* below,
             int bytes, int weight, std::uint8_t* out) {
    for (int i = 0; i < bytes; ++i) {
        const int blur16 = above[i] + 2 * mid[i] + below[i];  // 16 x the blurred value
        const int v = in[i] + ((weight * (16 * in[i] - blur16) + 2048) >> 12);
        out[i] = std::uint8_t(std::clamp(v, 0, 255));
    }
}

HLQMEM unsharpMask(const fx::LockedDib& src, int weight, const RVProgress& progress) {
    fx::ProgressSteps steps(progress, src.height());
    if (!steps.begin()) return nullptr;
    fx::ResultDib out(src, src.width(), src.height(), 24);
    if (!out.valid()) return nullptr;
    const int w = src.width(), h = src.height(), bytes = 3 * w;
    // Horizontal sums of three consecutive rows; row r lives in slot r % 3.
    std::vector<std::uint16_t> sums(3 * std::size_t(bytes));
    const auto slot = [&](int r) { return sums.data() + std::size_t(r % 3) * std::size_t(bytes); };
    horizontalSums(src.row(0), w, slot(0));
    int ready = 0;
    for (int y = 0; y < h; ++y) {
        const int below = std::min(y + 1, h - 1);
        for (; ready < below; ++ready) horizontalSums(src.row(ready + 1), w, slot(ready + 1));
        maskRow(src.row(y), slot(std::max(y - 1, 0)), slot(y), slot(below), bytes, weight, out.dib().row(y));
        if (!steps.step(y + 1)) return nullptr;
    }
    if (!steps.end()) return nullptr;
    return out.release();
}

}  // namespace

HLQMEM Better(HLQMEM dib, const RVProgress& progress, int amount) {
    return fx::runOperation("Sharpening Image", [&]() -> HLQMEM {
        const fx::LockedDib src(dib);
        if (!src.valid()) return nullptr;
        amount = std::clamp(amount, -9, 9);
        if (amount == 0) {
            fx::ProgressSteps steps(progress, 1);
            if (!steps.begin()) return nullptr;
            fx::ResultDib copy = fx::copyOf(src);
            return copy.valid() && steps.end() ? copy.release() : nullptr;
        }
        return fx::on24Bits(src, [&](const fx::LockedDib& wide) { return unsharpMask(wide, maskWeight(amount), progress); });
    });
}

}  // namespace rv
