// Crop and resize. Along each axis every destination pixel stands for a span of source pixels:
// the nearest pixel keeps one of them, AND/OR fold the whole span, and the anti-aliased copy
// weights them (area coverage when shrinking, bilinear when enlarging) in a separable pass.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "rastervane/effects/EffectDib.h"
#include "rastervane/effects/RVEffects.h"

namespace rv {

namespace {

// The source rectangle in picture order, right and bottom exclusive.
struct Region {
    int left, top, width, height;
};

enum class Merge { Nearest, And, Or, Average };

Merge mergeOf(BWCopyFlags flags) {
    if (flags & (C_ANTIALIAS256 | C_ANTIALIAS)) return Merge::Average;
    if (flags & C_AND) return Merge::And;
    if (flags & C_OR) return Merge::Or;
    return Merge::Nearest;
}

// Source index under the centre of each destination index.
std::vector<int> nearestMap(int first, int srcLen, int dstLen) {
    std::vector<int> map(static_cast<std::size_t>(dstLen));
    for (int i = 0; i < dstLen; ++i) map[i] = first + int((2 * std::int64_t(i) + 1) * srcLen / (2 * std::int64_t(dstLen)));
    return map;
}

// Source span [begin, end) that each destination index stands for; at least one pixel.
struct Span {
    int begin, end;
};
std::vector<Span> spanMap(int first, int srcLen, int dstLen) {
    std::vector<Span> spans(static_cast<std::size_t>(dstLen));
    for (int i = 0; i < dstLen; ++i) {
        const int b = int(std::int64_t(i) * srcLen / dstLen);
        const int e = int((std::int64_t(i) + 1) * srcLen / dstLen);
        spans[i] = {first + b, first + std::max(e, b + 1)};
    }
    return spans;
}

// Scales the resolution with the copy so that the physical size stays that of the rectangle.
void scaleResolution(const fx::LockedDib& src, const Region& r, fx::LockedDib& dst) {
    const auto scaled = [](std::int32_t ppm, int to, int from) {
        const double v = std::nearbyint(double(ppm) * to / from);
        return std::int32_t(std::clamp(v, 0.0, double(std::numeric_limits<std::int32_t>::max())));
    };
    dst.setResolution(scaled(src.header().xPelsPerMeter, dst.width(), r.width),
                      scaled(src.header().yPelsPerMeter, dst.height(), r.height));
}

HLQMEM nearestCopy(const fx::LockedDib& src, const Region& r, int width, int height) {
    fx::ResultDib out(src, width, height, src.bits());
    if (!out.valid()) return nullptr;
    fx::LockedDib& dst = out.dib();
    const std::vector<int> xs = nearestMap(r.left, r.width, width), ys = nearestMap(r.top, r.height, height);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* d = dst.topRow(y);
        if (y > 0 && ys[y] == ys[y - 1]) {
            std::memcpy(d, dst.topRow(y - 1), dst.stride());
            continue;
        }
        const std::uint8_t* s = src.topRow(ys[y]);
        for (int x = 0; x < width; ++x) fx::copyPixel(src.bits(), d, x, s, xs[x]);
    }
    scaleResolution(src, r, dst);
    return out.release();
}

// Bitwise AND or OR of every pixel value in each span (1-bit indices or 24-bit colours).
HLQMEM mergedCopy(const fx::LockedDib& src, const Region& r, int width, int height, Merge merge) {
    fx::ResultDib out(src, width, height, src.bits());
    if (!out.valid()) return nullptr;
    fx::LockedDib& dst = out.dib();
    const std::vector<Span> xs = spanMap(r.left, r.width, width), ys = spanMap(r.top, r.height, height);
    const int bits = src.bits();
    for (int y = 0; y < height; ++y) {
        std::uint8_t* d = dst.topRow(y);
        for (int x = 0; x < width; ++x) {
            std::uint32_t v = merge == Merge::And ? 0xFFFFFFu : 0u;
            for (int sy = ys[y].begin; sy < ys[y].end; ++sy) {
                const std::uint8_t* s = src.topRow(sy);
                for (int sx = xs[x].begin; sx < xs[x].end; ++sx)
                    v = merge == Merge::And ? v & fx::pixelValue(s, sx, bits) : v | fx::pixelValue(s, sx, bits);
            }
            fx::setPixelValue(d, x, bits, v);
        }
    }
    scaleResolution(src, r, dst);
    return out.release();
}

// The weights of the source pixels that make up each destination pixel along one axis, in
// 14-bit fixed point; the weights of one destination pixel sum to exactly 1 << 14.
class AxisWeights {
public:
    static constexpr int kOne = 1 << 14;

    AxisWeights(int srcLen, int dstLen) {
        if (dstLen < srcLen) areaWeights(srcLen, dstLen);
        else bilinearWeights(srcLen, dstLen);
    }
    int first(int i) const { return first_[i]; }
    int count(int i) const { return offset_[i + 1] - offset_[i]; }
    const int* weights(int i) const { return weights_.data() + offset_[i]; }
    int maxCount() const { return maxCount_; }

private:
    // Destination pixel i covers [i s, (i + 1) s) with s = srcLen / dstLen; each source pixel
    // weighs with its overlap.
    void areaWeights(int srcLen, int dstLen) {
        const double scale = double(srcLen) / dstLen;
        for (int i = 0; i < dstLen; ++i) {
            const double a = i * scale, b = (i + 1) * scale;
            const int j0 = int(a), j1 = std::min(srcLen, int(std::ceil(b)));
            std::vector<double> w;
            for (int j = j0; j < j1; ++j) w.push_back((std::min(b, j + 1.0) - std::max(a, double(j))) / scale);
            add(j0, w);
        }
    }
    // Destination centres mapped onto source centres, the two neighbours weighted linearly;
    // positions past the first or last centre take the edge pixel.
    void bilinearWeights(int srcLen, int dstLen) {
        for (int i = 0; i < dstLen; ++i) {
            const double u = std::clamp((i + 0.5) * srcLen / dstLen - 0.5, 0.0, double(srcLen - 1));
            const int j0 = std::min(int(u), srcLen - 1);
            const double f = u - j0;
            if (j0 + 1 < srcLen) add(j0, {1.0 - f, f});
            else add(j0, {1.0});
        }
    }
    void add(int first, const std::vector<double>& w) {
        first_.push_back(first);
        const std::size_t start = weights_.size();
        int sum = 0;
        for (double v : w) {
            weights_.push_back(int(std::lround(v * kOne)));
            sum += weights_.back();
        }
        *std::max_element(weights_.begin() + std::ptrdiff_t(start), weights_.end()) += kOne - sum;  // rounding left-over
        offset_.push_back(int(weights_.size()));
        maxCount_ = std::max(maxCount_, int(w.size()));
    }

    std::vector<int> first_, offset_{0}, weights_;
    int maxCount_ = 0;
};

// Separable resampling of rows of `channels` bytes per pixel. Source rows come from a fetch
// function (row index within the region); the horizontal results of the rows still needed are
// kept in a small ring with 7 fractional bits.
class AreaResampler {
public:
    AreaResampler(const Region& r, int width, int height, int channels)
        : xs_(r.width, width), ys_(r.height, height), channels_(channels),
          rowLen_(std::size_t(width) * std::size_t(channels)),
          ring_(std::size_t(ys_.maxCount()) * rowLen_), ringRow_(std::size_t(ys_.maxCount()), -1) {}

    template <class Fetch>
    void row(int y, Fetch&& fetch, std::uint8_t* out) {
        std::vector<const std::uint16_t*> rows(std::size_t(ys_.count(y)));
        for (int k = 0; k < ys_.count(y); ++k) rows[k] = horizontal(ys_.first(y) + k, fetch);
        const int* w = ys_.weights(y);
        for (std::size_t i = 0; i < rowLen_; ++i) {
            int sum = 1 << 20;
            for (std::size_t k = 0; k < rows.size(); ++k) sum += w[k] * rows[k][i];
            out[i] = std::uint8_t(sum >> 21);
        }
    }

private:
    template <class Fetch>
    const std::uint16_t* horizontal(int srcRow, Fetch&& fetch) {
        const std::size_t slot = std::size_t(srcRow) % ringRow_.size();
        std::uint16_t* h = ring_.data() + slot * rowLen_;
        if (ringRow_[slot] == srcRow) return h;
        ringRow_[slot] = srcRow;
        const std::uint8_t* s = fetch(srcRow);
        const std::size_t dstWidth = rowLen_ / std::size_t(channels_);
        for (std::size_t x = 0; x < dstWidth; ++x) {
            const int* w = xs_.weights(int(x));
            const std::uint8_t* p = s + std::size_t(xs_.first(int(x))) * std::size_t(channels_);
            for (int c = 0; c < channels_; ++c) {
                int sum = 64;
                for (int k = 0; k < xs_.count(int(x)); ++k) sum += w[k] * p[k * channels_ + c];
                h[x * std::size_t(channels_) + std::size_t(c)] = std::uint16_t(sum >> 7);
            }
        }
        return h;
    }

    AxisWeights xs_, ys_;
    int channels_;
    std::size_t rowLen_;
    std::vector<std::uint16_t> ring_;
    std::vector<int> ringRow_;
};

HLQMEM averagedCopy24(const fx::LockedDib& src, const Region& r, int width, int height) {
    fx::ResultDib out(src, width, height, 24);
    if (!out.valid()) return nullptr;
    AreaResampler resampler(r, width, height, 3);
    const auto fetch = [&](int row) { return src.topRow(r.top + row) + 3 * std::size_t(r.left); };
    for (int y = 0; y < height; ++y) resampler.row(y, fetch, out.dib().topRow(y));
    scaleResolution(src, r, out.dib());
    return out.release();
}

// A 1-bit image averaged into `levels` shades (16 or 256) that run from colour 0 to colour 1.
HLQMEM averagedCopy1(const fx::LockedDib& src, const Region& r, int width, int height, int levels) {
    fx::ResultDib out(src, width, height, levels == 16 ? 4 : 8, std::uint32_t(levels));
    if (!out.valid()) return nullptr;
    fx::LockedDib& dst = out.dib();
    std::uint8_t ends[2][3] = {};
    for (std::uint32_t i = 0; i < std::min(2u, src.colorCount()); ++i) std::memcpy(ends[i], src.colorTable() + 4 * i, 3);
    for (int k = 0; k < levels; ++k)
        for (int c = 0; c < 3; ++c)
            dst.colorTable()[4 * k + c] = std::uint8_t((ends[0][c] * (levels - 1 - k) + ends[1][c] * k + (levels - 1) / 2) / (levels - 1));
    std::uint8_t level[256];
    for (int v = 0; v < 256; ++v) level[v] = std::uint8_t((v * (levels - 1) + 127) / 255);

    std::vector<std::uint8_t> unpacked(std::size_t(r.width));  // 0 or 255 per pixel
    const auto fetch = [&](int row) {
        const std::uint8_t* s = src.topRow(r.top + row);
        for (int x = 0; x < r.width; ++x) unpacked[x] = fx::pixelValue(s, r.left + x, 1) ? 255 : 0;
        return unpacked.data();
    };
    AreaResampler resampler(r, width, height, 1);
    std::vector<std::uint8_t> shades(static_cast<std::size_t>(width));
    for (int y = 0; y < height; ++y) {
        resampler.row(y, fetch, shades.data());
        std::uint8_t* d = dst.topRow(y);
        for (int x = 0; x < width; ++x) fx::setPixelValue(d, x, dst.bits(), level[shades[x]]);
    }
    scaleResolution(src, r, dst);
    return out.release();
}

HLQMEM copyRegion(const fx::LockedDib& src, const Region& r, int width, int height, BWCopyFlags flags) {
    const Merge merge = mergeOf(flags);
    if (merge == Merge::Nearest || (width == r.width && height == r.height)) return nearestCopy(src, r, width, height);
    if (src.bits() == 1) {
        if (merge != Merge::Average) return mergedCopy(src, r, width, height, merge);
        return averagedCopy1(src, r, width, height, (flags & C_ANTIALIAS256) ? 256 : 16);
    }
    return fx::on24Bits(src, [&](const fx::LockedDib& wide) {
        return merge == Merge::Average ? averagedCopy24(wide, r, width, height) : mergedCopy(wide, r, width, height, merge);
    });
}

}  // namespace

HLQMEM RVImageCopy(HLQMEM dib, int newWidth, int newHeight, BWCopyFlags flags, int left, int top, int right, int bottom) {
    return fx::runOperation("Copying Image", [&]() -> HLQMEM {
        const fx::LockedDib src(dib);
        if (!src.valid()) return nullptr;
        if (left < 0 || top < 0 || right < left || bottom < top || right >= src.width() || bottom >= src.height())
            return fx::fail(kRVErrBadArgument, "The source rectangle reaches past the image");
        if (newWidth <= 0 || newHeight <= 0) return fx::fail(kRVErrBadArgument, "The new image size must be positive");
        const Region r{left, top, right - left + 1, bottom - top + 1};
        return copyRegion(src, r, newWidth, newHeight, flags);
    });
}

}  // namespace rv
