// Mirroring and rotation. Mirrors and quarter turns move whole pixels and keep every depth;
// other angles map each destination pixel back into the source and sample it bilinearly.
#include <cmath>
#include <cstring>

#include "rastervane/effects/EffectDib.h"
#include "rastervane/effects/RVEffects.h"

namespace rv {

namespace {

HLQMEM mirror(const fx::LockedDib& src, bool horizontal, bool vertical) {
    fx::ResultDib out(src, src.width(), src.height(), src.bits());
    if (!out.valid()) return nullptr;
    const fx::LockedDib& dst = out.dib();
    const int w = src.width(), h = src.height();
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* s = src.row(vertical ? h - 1 - y : y);
        std::uint8_t* d = dst.row(y);
        if (!horizontal) std::memcpy(d, s, src.stride());
        else
            for (int x = 0; x < w; ++x) fx::copyPixel(src.bits(), d, x, s, w - 1 - x);
    }
    return out.release();
}

// Counter-clockwise quarter turns (1, 2 or 3). For each destination row the source pixel of
// its first column and the source step per column, in picture order.
HLQMEM quarterTurns(const fx::LockedDib& src, int turns) {
    const int w = src.width(), h = src.height();
    const bool swap = turns != 2;
    fx::ResultDib out(src, swap ? h : w, swap ? w : h, src.bits());
    if (!out.valid()) return nullptr;
    const fx::LockedDib& dst = out.dib();
    for (int y = 0; y < dst.height(); ++y) {
        int sx, sy, stepX = 0, stepY = 0;
        switch (turns) {
        case 1: sx = w - 1 - y; sy = 0; stepY = 1; break;
        case 2: sx = w - 1; sy = h - 1 - y; stepX = -1; break;
        default: sx = y; sy = h - 1; stepY = -1; break;
        }
        std::uint8_t* d = dst.topRow(y);
        if (stepY == 0) {
            const std::uint8_t* s = src.topRow(sy);
            for (int x = 0; x < dst.width(); ++x, sx += stepX) fx::copyPixel(src.bits(), d, x, s, sx);
        } else {
            for (int x = 0; x < dst.width(); ++x, sy += stepY) fx::copyPixel(src.bits(), d, x, src.topRow(sy), sx);
        }
    }
    return out.release();
}

// Bilinear rotation of a 24-bit image about its centre onto the bounding box of the turned
// image. Source coordinates are walked in 32.32 fixed point; sample weights have 8 bits.
class BilinearRotation {
public:
    BilinearRotation(const fx::LockedDib& src, double degrees, lqp::ColorRef back)
        : src_(src), back_{lqp::blueOf(back), lqp::greenOf(back), lqp::redOf(back)} {
        const double rad = degrees * (M_PI / 180.0);
        cos_ = std::cos(rad);
        sin_ = std::sin(rad);
        // The tolerance keeps float noise from adding a column at angles near a quarter turn.
        width_ = std::ceil(src.width() * std::fabs(cos_) + src.height() * std::fabs(sin_) - 1e-6);
        height_ = std::ceil(src.width() * std::fabs(sin_) + src.height() * std::fabs(cos_) - 1e-6);
    }

    HLQMEM run() const {
        if (width_ > 1 << 30 || height_ > 1 << 30) return fx::fail(kRVErrTooLarge, "The resulting image is too large");
        fx::ResultDib out(src_, int(width_), int(height_), 24);
        if (!out.valid()) return nullptr;
        for (int y = 0; y < out.dib().height(); ++y) rotateRow(y, out.dib().topRow(y));
        return out.release();
    }

private:
    static std::int64_t fixed(double v) { return std::llround(v * 4294967296.0); }

    void rotateRow(int y, std::uint8_t* d) const {
        const double dy = y + 0.5 - height_ / 2;
        const double dx = 0.5 - width_ / 2;
        // Source position of the pixel centre, in source pixel-centre coordinates.
        std::int64_t u = fixed(src_.width() / 2.0 + dx * cos_ - dy * sin_ - 0.5);
        std::int64_t v = fixed(src_.height() / 2.0 + dx * sin_ + dy * cos_ - 0.5);
        const std::int64_t du = fixed(cos_), dv = fixed(sin_);
        for (int x = 0; x < int(width_); ++x, u += du, v += dv, d += 3) sample(u, v, d);
    }

    void sample(std::int64_t u, std::int64_t v, std::uint8_t* d) const {
        const std::int64_t x0 = u >> 32, y0 = v >> 32;
        const int fx = int((u >> 24) & 255), fy = int((v >> 24) & 255);
        if (x0 < -1 || y0 < -1 || x0 >= src_.width() || y0 >= src_.height()) {
            std::memcpy(d, back_, 3);
            return;
        }
        const std::uint8_t* p00 = at(x0, y0);
        const std::uint8_t* p01 = at(x0 + 1, y0);
        const std::uint8_t* p10 = at(x0, y0 + 1);
        const std::uint8_t* p11 = at(x0 + 1, y0 + 1);
        for (int c = 0; c < 3; ++c) {
            const int top = p00[c] * (256 - fx) + p01[c] * fx;
            const int bottom = p10[c] * (256 - fx) + p11[c] * fx;
            d[c] = std::uint8_t((top * (256 - fy) + bottom * fy + 32768) >> 16);
        }
    }

    // The source pixel, or the back colour outside the image.
    const std::uint8_t* at(std::int64_t x, std::int64_t y) const {
        if (x < 0 || y < 0 || x >= src_.width() || y >= src_.height()) return back_;
        return src_.topRow(int(y)) + 3 * std::size_t(x);
    }

    const fx::LockedDib& src_;
    const std::uint8_t back_[3];
    double cos_ = 1, sin_ = 0, width_ = 0, height_ = 0;
};

// Puts the content of `from` into the caller's block `dib`, which keeps its handle. On failure
// the block is unchanged.
int replaceContent(HLQMEM dib, HLQMEM from) {
    const std::size_t size = lqMemSize(from);
    if (!lqMemReAlloc(dib, size)) {
        fx::fail(kRVErrNoMemory, "Can't allocate memory");
        return kRVErrNoMemory;
    }
    const lqp::MemLock to(dib), source(from);
    std::memcpy(to.data(), source.data(), size);
    return 1;
}

}  // namespace

HLQMEM RVMirror(HLQMEM dib, bool horizontal, bool vertical) {
    return fx::runOperation("Mirroring Image", [&]() -> HLQMEM {
        const fx::LockedDib src(dib);
        return src.valid() ? mirror(src, horizontal, vertical) : nullptr;
    });
}

int RVRotate(HLQMEM dib, double angle, lqp::ColorRef backColor) {
    return fx::runOperation("Rotating Image", [&]() -> int {
        if (!std::isfinite(angle)) {
            fx::fail(kRVErrBadArgument, "The rotation angle is not a number");
            return kRVErrBadArgument;
        }
        double degrees = std::fmod(angle, 360.0);
        if (degrees < 0) degrees += 360.0;
        const double quarters = std::nearbyint(degrees / 90.0);
        const bool exact = std::fabs(degrees - 90.0 * quarters) < 1e-9;
        lqp::MemOwner rotated;
        {
            const fx::LockedDib src(dib);
            if (!src.valid()) return RVLastErrorCode();
            if (exact && int(quarters) % 4 == 0) return 1;
            rotated.reset(exact ? quarterTurns(src, int(quarters) % 4)
                                : fx::on24Bits(src, [&](const fx::LockedDib& wide) {
                                      return BilinearRotation(wide, degrees, backColor).run();
                                  }));
        }
        return rotated ? replaceContent(dib, rotated.get()) : RVLastErrorCode();
    });
}

}  // namespace rv
