// Pixels between packed DIBs and device bitmaps: the stretch call and the fetch call.
#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <vector>

#include "platform/Dib.h"
#include "platform/LastError.h"
#include "platform/gdi/Context.h"

namespace lqp::gdi {

namespace {

bool transferableDepth(int bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 24 || bits == 32; }

std::int32_t fail(std::uint32_t code) {
    lqSetLastError(code);
    return 0;
}

// Decodes the rows of a validated packed DIB into colours.
class DibRows {
public:
    DibRows(const std::uint8_t* dib, const DibHeader& h)
        : pixels_(dib + dibPixelOffset(h)), rowSize_(dibRowSize(h)), bits_(h.bitCount) {
        const std::uint8_t* t = dib + h.size;
        const std::uint32_t n = dibColorCount(h);
        if (bits_ <= 8) table_.assign(std::size_t(1) << bits_, rgb(0, 0, 0));  // indices past the table: black
        for (std::uint32_t i = 0; i < n && i < table_.size(); ++i) table_[i] = rgb(t[4 * i + 2], t[4 * i + 1], t[4 * i]);
    }

    // Columns [x0, x0 + out.size()) of stored row r (0 = bottom).
    void decode(std::int32_t r, std::int32_t x0, std::vector<ColorRef>& out) const {
        const std::uint8_t* p = pixels_ + std::uint64_t(r) * rowSize_;
        for (std::size_t i = 0; i < out.size(); ++i) {
            const std::uint32_t x = std::uint32_t(x0) + std::uint32_t(i);
            switch (bits_) {
            case 1: out[i] = table_[(p[x >> 3] >> (7 - (x & 7))) & 1]; break;
            case 4: out[i] = table_[(p[x >> 1] >> ((x & 1) ? 0 : 4)) & 15]; break;
            case 8: out[i] = table_[p[x]]; break;
            case 24: out[i] = rgb(p[3 * x + 2], p[3 * x + 1], p[3 * x]); break;
            default: out[i] = rgb(p[4 * x + 2], p[4 * x + 1], p[4 * x]); break;
            }
        }
    }

private:
    const std::uint8_t* pixels_;
    std::uint64_t rowSize_;
    int bits_;
    std::vector<ColorRef> table_;
};

// A device coordinate rounded to a whole pixel, kept far inside the 64-bit range.
std::int64_t devicePixel(double v) { return std::llround(std::clamp(v, -1e12, 1e12)); }

// The source pixels [first, last) that make up one destination pixel along one axis.
struct Span {
    std::int32_t first;
    std::int32_t last;
};

// Maps destination pixels [lo, hi) of the device range from d0 to d1 onto `n` source pixels.
// A shrinking axis gathers every source pixel under the destination pixel when `gather` is
// set; otherwise each destination pixel takes the source pixel under its centre.
std::vector<Span> spans(std::int64_t d0, std::int64_t d1, std::int64_t lo, std::int64_t hi, std::int32_t n,
                        bool gather) {
    std::vector<Span> out;
    out.reserve(std::size_t(std::max<std::int64_t>(0, hi - lo)));
    const double extent = double(d1 - d0);
    const bool shrink = gather && std::fabs(extent) < n;
    for (std::int64_t d = lo; d < hi; ++d) {
        auto at = [&](double offset) { return (double(d) + offset - double(d0)) / extent * n; };
        if (shrink) {
            const double a = std::min(at(0), at(1)), b = std::max(at(0), at(1));
            const std::int32_t first = std::clamp(std::int32_t(std::floor(a)), 0, n - 1);
            const std::int32_t last = std::clamp(std::int32_t(std::ceil(b)), first + 1, n);
            out.push_back({first, last});
        } else {
            const std::int32_t s = std::clamp(std::int32_t(std::floor(at(0.5))), 0, n - 1);
            out.push_back({s, s + 1});
        }
    }
    return out;
}

// Combines the source pixels of one destination pixel under a stretch mode.
class Gather {
public:
    explicit Gather(int mode) : mode_(mode) { reset(); }
    void reset() {
        acc_ = mode_ == kLqStretchBlackOnWhite ? 0xFFFFFFu : 0;
        r_ = g_ = b_ = n_ = 0;
    }
    void add(ColorRef c) {
        if (mode_ == kLqStretchBlackOnWhite) acc_ &= c;
        else if (mode_ == kLqStretchHalftone) { r_ += redOf(c); g_ += greenOf(c); b_ += blueOf(c); ++n_; }
        else acc_ |= c;
    }
    ColorRef result() const {
        if (mode_ != kLqStretchHalftone) return acc_;
        return rgb(std::uint8_t((r_ + n_ / 2) / n_), std::uint8_t((g_ + n_ / 2) / n_), std::uint8_t((b_ + n_ / 2) / n_));
    }
private:
    int mode_;
    ColorRef acc_ = 0;
    std::uint64_t r_ = 0, g_ = 0, b_ = 0, n_ = 0;
};

}  // namespace

std::int32_t stretchDib(DeviceContext& dc, const LqPoint& dst0, const LqPoint& dstSize, const LqPoint& src0,
                        const LqPoint& srcSize, const std::uint8_t* dib, std::size_t dibSize) {
    DibHeader h;
    if (validateDib(dib, dibSize, &h) != DibCheck::Ok || !transferableDepth(h.bitCount) || h.compression != kBiRgb)
        return fail(kLqErrInvalidParameter);
    if (src0.x < 0 || src0.y < 0 || srcSize.x < 1 || srcSize.y < 1 ||
        std::int64_t(src0.x) + srcSize.x > h.width || std::int64_t(src0.y) + srcSize.y > h.height)
        return fail(kLqErrInvalidParameter);
    Bitmap& target = *dc.bitmap();

    const std::int64_t x0 = devicePixel(dc.deviceX(dst0.x));
    const std::int64_t x1 = devicePixel(dc.deviceX(double(dst0.x) + dstSize.x));
    const std::int64_t y0 = devicePixel(dc.deviceY(dst0.y));
    const std::int64_t y1 = devicePixel(dc.deviceY(double(dst0.y) + dstSize.y));
    const std::int64_t left = std::max<std::int64_t>(0, std::min(x0, x1));
    const std::int64_t right = std::min<std::int64_t>(target.width(), std::max(x0, x1));
    const std::int64_t top = std::max<std::int64_t>(0, std::min(y0, y1));
    const std::int64_t bottom = std::min<std::int64_t>(target.height(), std::max(y0, y1));
    if (left >= right || top >= bottom) return srcSize.y;

    const int mode = dc.state().stretchMode;
    const bool gather = mode != kLqStretchColorOnColor;
    const std::vector<Span> cols = spans(x0, x1, left, right, srcSize.x, gather);
    const std::vector<Span> rows = spans(y0, y1, top, bottom, srcSize.y, gather);  // counted from the top

    const DibRows source(dib, h);
    std::vector<ColorRef> line(std::size_t(srcSize.x));
    std::vector<Gather> acc(cols.size(), Gather(mode));
    cairo_surface_flush(target.surface);
    for (std::size_t ry = 0; ry < rows.size(); ++ry) {
        for (Gather& g : acc) g.reset();
        for (std::int32_t t = rows[ry].first; t < rows[ry].last; ++t) {
            source.decode(src0.y + srcSize.y - 1 - t, src0.x, line);
            for (std::size_t cx = 0; cx < cols.size(); ++cx)
                for (std::int32_t s = cols[cx].first; s < cols[cx].last; ++s) acc[cx].add(line[std::size_t(s)]);
        }
        for (std::size_t cx = 0; cx < cols.size(); ++cx)
            target.setPixel(int(left + std::int64_t(cx)), int(top + std::int64_t(ry)), acc[cx].result());
    }
    cairo_surface_mark_dirty(target.surface);
    return srcSize.y;
}

namespace {

// The 16 standard colours of the screen's default palette.
constexpr ColorRef kStandardColors[16] = {
    rgb(0, 0, 0),       rgb(128, 0, 0),   rgb(0, 128, 0),   rgb(128, 128, 0),
    rgb(0, 0, 128),     rgb(128, 0, 128), rgb(0, 128, 128), rgb(192, 192, 192),
    rgb(128, 128, 128), rgb(255, 0, 0),   rgb(0, 255, 0),   rgb(255, 255, 0),
    rgb(0, 0, 255),     rgb(255, 0, 255), rgb(0, 255, 255), rgb(255, 255, 255)};

std::vector<ColorRef> colorTable(const DeviceContext* dc, int bits, std::uint32_t count) {
    std::vector<ColorRef> table(count, rgb(0, 0, 0));
    const Palette* palette = dc ? dc->palette() : nullptr;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (palette) {
            if (i < palette->entries.size()) {
                const LqPaletteEntry& e = palette->entries[i];
                table[i] = rgb(e.red, e.green, e.blue);
            }
        } else if (bits == 1) {
            table[i] = i == 0 ? rgb(0, 0, 0) : rgb(255, 255, 255);
        } else if (i < 16) {
            table[i] = kStandardColors[i];
        }
    }
    return table;
}

// Index of the nearest table entry, remembered per colour.
class NearestIndex {
public:
    explicit NearestIndex(const std::vector<ColorRef>& table) : table_(table) {}
    std::uint8_t operator()(ColorRef c) {
        auto [it, added] = cache_.try_emplace(c, 0);
        if (added) {
            std::uint32_t best = ~0u;
            for (std::size_t i = 0; i < table_.size(); ++i) {
                const int dr = redOf(c) - redOf(table_[i]), dg = greenOf(c) - greenOf(table_[i]),
                          db = blueOf(c) - blueOf(table_[i]);
                const std::uint32_t d = std::uint32_t(dr * dr + dg * dg + db * db);
                if (d < best) { best = d; it->second = std::uint8_t(i); }
            }
        }
        return it->second;
    }
private:
    const std::vector<ColorRef>& table_;
    std::unordered_map<ColorRef, std::uint8_t> cache_;
};

}  // namespace

std::int32_t fetchDib(const DeviceContext* dc, const Bitmap& bitmap, std::uint32_t firstScan, std::uint32_t lines,
                      std::uint8_t* dib, std::size_t dibSize) {
    if (!dib || dibSize < kDibHeaderSize) return fail(kLqErrInvalidParameter);
    DibHeader h = readDibHeader(dib);
    if (h.size < kDibHeaderSize || h.planes != 1 || !transferableDepth(h.bitCount) || h.compression != kBiRgb ||
        h.width != bitmap.width() || h.height != bitmap.height() ||
        (h.bitCount <= 8 && h.clrUsed > (1u << h.bitCount)) || (h.bitCount > 8 && h.clrUsed > 256) ||
        dibTotalSize(h) > dibSize || firstScan >= std::uint32_t(h.height))
        return fail(kLqErrInvalidParameter);

    const std::uint32_t count = h.bitCount <= 8 ? dibColorCount(h) : 0;
    const std::vector<ColorRef> table = colorTable(dc, h.bitCount, count);
    std::uint8_t* t = dib + h.size;
    for (std::uint32_t i = 0; i < count; ++i) {
        t[4 * i] = blueOf(table[i]);
        t[4 * i + 1] = greenOf(table[i]);
        t[4 * i + 2] = redOf(table[i]);
        t[4 * i + 3] = 0;
    }

    const std::uint64_t rowSize = dibRowSize(h);
    const std::uint32_t n = std::min(lines, std::uint32_t(h.height) - firstScan);
    NearestIndex nearest(table);
    cairo_surface_flush(bitmap.surface);
    for (std::uint32_t s = firstScan; s < firstScan + n; ++s) {
        std::uint8_t* out = dib + dibPixelOffset(h) + rowSize * s;
        std::fill(out, out + rowSize, std::uint8_t(0));
        const int y = h.height - 1 - int(s);
        for (int x = 0; x < h.width; ++x) {
            const ColorRef c = bitmap.pixel(x, y);
            switch (h.bitCount) {
            case 1: out[x >> 3] |= std::uint8_t(nearest(c) << (7 - (x & 7))); break;
            case 4: out[x >> 1] |= std::uint8_t(nearest(c) << ((x & 1) ? 0 : 4)); break;
            case 8: out[x] = nearest(c); break;
            default: {
                std::uint8_t* p = out + x * (h.bitCount / 8);
                p[0] = blueOf(c);
                p[1] = greenOf(c);
                p[2] = redOf(c);
            }
            }
        }
    }
    h.sizeImage = std::uint32_t(rowSize * std::uint64_t(h.height));
    writeDibHeader(dib, h);
    return std::int32_t(n);
}

}  // namespace lqp::gdi
