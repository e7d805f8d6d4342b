// Depth widening, black-and-white reduction and grey conversion of packed DIBs.
#include <algorithm>
#include <vector>

#include "tifflib/Color.h"
#include "tifflib/ColorDib.h"
#include "tifflib/ColorTables.h"

using namespace lqcolor;

namespace {

// Repacks every pixel index of a 1/4/8-bit DIB into a deeper DIB: palette targets keep the
// indices and copy the colour table (the other entries black), 24 bits takes the colours.
HLQMEM widen(const DibIn& in, int target) {
    if (!in.ok() || in.bits() == 24 || target <= in.bits()) return nullptr;
    const std::uint32_t entries = target == 24 ? 0 : 1u << target;
    DibOut out(in.width(), in.height(), target, entries);
    if (!out.ok()) return nullptr;
    for (std::uint32_t i = 0; i < std::min(entries, in.colors()); ++i)
        std::copy_n(in.entry(i), 4, out.table() + 4 * i);
    out.header().clrImportant = entries ? in.colors() : 0;
    out.copyResolution(in.header());
    for (int y = 0; y < in.height(); ++y) {
        const std::uint8_t* src = in.row(y);
        std::uint8_t* dst = out.row(y);
        for (int x = 0; x < in.width(); ++x) {
            const std::uint32_t v = indexAt(src, in.bits(), x);
            if (target == 24) std::copy_n(in.entry(v), 3, dst + 3 * x);
            else setIndex(dst, target, x, v);
        }
    }
    return out.release();
}

HLQMEM widenFrom(HLQMEM h, int source, int target) {
    DibIn in(h);
    if (!in.ok() || in.bits() != source) return nullptr;
    return widen(in, target);
}

// Threshold with error diffusion over the DIB's memory rows: 3/8 right, 3/8 down, 1/4
// down-right; bit 1 is white.
HLQMEM errorDiffuseTo1(const DibIn& in) {
    if (!in.ok() || in.bits() != 24) return nullptr;
    DibOut out(in.width(), in.height(), 1, 2);
    if (!out.ok()) return nullptr;
    out.setEntry(1, 255, 255, 255);
    out.header().clrImportant = 2;
    out.copyResolution(in.header());
    const int w = in.width(), n = 3 * w;
    std::vector<int> cur(in.row(0), in.row(0) + n), next(n);
    auto clamp = [](int v) { return v < 0 ? 0 : (v > 254 ? 255 : v); };
    for (int y = 0; y < in.height(); ++y) {
        const bool last = y + 1 == in.height();
        if (!last) next.assign(in.row(y + 1), in.row(y + 1) + n);
        std::uint8_t* dst = out.row(y);
        for (int x = 0; x < w; ++x) {
            int* p = &cur[3 * x];
            const bool white = 28 * p[0] + 151 * p[1] + 77 * p[2] >= 32768;
            if (white) dst[x >> 3] |= std::uint8_t(0x80 >> (x & 7));
            for (int c = 0; c < 3; ++c) {
                const int e = p[c] - (white ? 255 : 0);
                if (x + 1 < w) p[3 + c] = clamp(p[3 + c] + 3 * e / 8);
                if (last) continue;
                next[3 * x + c] = clamp(next[3 * x + c] + 3 * e / 8);
                if (x + 1 < w) next[3 * x + 3 + c] = clamp(next[3 * x + 3 + c] + e / 4);
            }
        }
        cur.swap(next);
    }
    return out.release();
}

HLQMEM to1Through24(HLQMEM h, int source) {
    DibIn in(h);
    if (!in.ok() || in.bits() != source) return nullptr;
    lqp::MemOwner wide(widen(in, 24));
    if (!wide) return nullptr;
    return errorDiffuseTo1(DibIn(wide.get()));
}

// Grey of a pixel (x counted from the left) of any supported depth, through the tone table.
std::uint8_t greyAt(const DibIn& in, const std::uint8_t* row, int x) {
    if (in.bits() == 24) return toneGrey(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
    const std::uint8_t* e = in.entry(indexAt(row, in.bits(), x));
    return toneGrey(e[2], e[1], e[0]);
}

// Error rows of the diffusing dithers: two rows with 2 spare cells on each side.
class ErrorRows {
public:
    explicit ErrorRows(int width) : a_(width + 6), b_(width + 6) {}
    int& cur(int x) { return a_[x + 2]; }
    int& next(int x) { return b_[x + 2]; }
    void advance() {
        a_.swap(b_);
        std::fill(b_.begin(), b_.end(), 0);
    }
private:
    std::vector<int> a_, b_;
};

std::uint8_t clamp255(int v) { return std::uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v)); }

}  // namespace

extern "C" {

short GetColorsInPalette(const void* dibHeader) {
    if (!dibHeader) return 0;
    if (HLQMEM h = lqMemHandleOf(dibHeader); h && lqMemSize(h) < lqp::kDibHeaderSize) return 0;
    const lqp::DibHeader hdr = lqp::readDibHeader(static_cast<const std::uint8_t*>(dibHeader));
    return short(std::min<std::uint32_t>(lqp::dibColorCount(hdr), 0x7FFF));
}

HLQMEM DIB1to4(HLQMEM dib) { return widenFrom(dib, 1, 4); }
HLQMEM DIB4To8(HLQMEM dib) { return widenFrom(dib, 4, 8); }
HLQMEM DIB8To24(HLQMEM dib) { return widenFrom(dib, 8, 24); }
HLQMEM DIB1To24(HLQMEM dib) { return widenFrom(dib, 1, 24); }
HLQMEM DIB4To24(HLQMEM dib) { return widenFrom(dib, 4, 24); }
HLQMEM DIB1To8(HLQMEM dib) { return widenFrom(dib, 1, 8); }
HLQMEM DIB24To1(HLQMEM dib) { return errorDiffuseTo1(DibIn(dib)); }
HLQMEM DIB8To1(HLQMEM dib) { return to1Through24(dib, 8); }
HLQMEM DIB4To1(HLQMEM dib) { return to1Through24(dib, 4); }

HLQMEM ImgIncreaseColors(HLQMEM dib, short bits) {
    DibIn in(dib);
    if (!in.ok() || (bits != 1 && bits != 4 && bits != 8 && bits != 24)) return nullptr;
    const double perPixel = bits == 1 ? 0.125 : bits == 4 ? 0.5 : bits == 8 ? 1.0 : 3.0;
    if (double(in.width()) * in.height() * perPixel > 16000000.0) return nullptr;
    return widen(in, bits);
}

HLQMEM DitherToBW(HLQMEM dib, short flags) {
    DibIn in(dib);
    if (!in.ok() || in.bits() == 1) return nullptr;
    const int w = in.width(), h = in.height();
    DibOut out(w, h, 1, 2);
    if (!out.ok()) return nullptr;
    out.setEntry(1, 255, 255, 255);
    out.table()[7] = 0xFF;  // white is written as 0xFFFFFFFF
    out.copyResolution(in.header());
    ErrorRows err(w);
    const bool ordered = flags & kReduceOrdered, burkes = !ordered && (flags & kReduceBurkes),
               floyd = !ordered && !burkes && (flags & kReduceFloyd);
    for (int y = 0; y < h; ++y) {  // y counts from the top of the image
        const std::uint8_t* src = in.row(h - 1 - y);
        std::uint8_t* dst = out.row(h - 1 - y);
        for (int x = 0; x < w; ++x) {
            const int grey = greyAt(in, src, x);
            bool white;
            if (ordered) {
                white = kDitherMatrix[(x & 7) * 8 + (y & 7)] < grey / 4;
            } else if (burkes || floyd) {
                const int a = clamp255(grey + err.cur(x) / (burkes ? 32 : 16));
                white = a >= 128;
                const int e = white ? a - 255 : a;
                if (burkes) {
                    err.cur(x + 1) += 8 * e; err.cur(x + 2) += 4 * e;
                    err.next(x - 2) += 2 * e; err.next(x - 1) += 4 * e; err.next(x) += 8 * e;
                    err.next(x + 1) += 4 * e; err.next(x + 2) += 2 * e;
                } else {
                    err.cur(x + 1) += 7 * e;
                    err.next(x - 1) += 3 * e; err.next(x) += 5 * e; err.next(x + 1) += e;
                }
            } else {
                white = grey >= 128;
            }
            if (white) dst[x >> 3] |= std::uint8_t(0x80 >> (x & 7));
        }
        err.advance();
    }
    return out.release();
}

short GetPalette(HLQPALETTE palette, LqPaletteEntry* entries) {
    const std::uint32_t n = palette ? lqGetPaletteEntries(palette, 0, 0, nullptr) : 0;
    if (n == 0 || n > 256 || !entries) return 0;
    return short(lqGetPaletteEntries(palette, 0, n, entries));
}

HLQMEM ColorToGrayscale(HLQMEM dib) {
    DibIn in(dib);
    if (!in.ok() || in.bits() == 1) return nullptr;
    if (in.bits() == 24) {
        DibOut out(in.width(), in.height(), 8, 256);
        if (!out.ok()) return nullptr;
        for (int i = 0; i < 256; ++i) out.setEntry(i, std::uint8_t(i), std::uint8_t(i), std::uint8_t(i));
        out.copyResolution(in.header());
        for (int y = 0; y < in.height(); ++y) {
            const std::uint8_t* s = in.row(y);
            std::uint8_t* d = out.row(y);
            for (int x = 0; x < in.width(); ++x, s += 3) d[x] = std::uint8_t((11 * s[0] + 59 * s[1] + 30 * s[2]) / 100);
        }
        return out.release();
    }
    DibOut out(in.width(), in.height(), in.bits(), in.colors());
    if (!out.ok()) return nullptr;
    for (std::uint32_t i = 0; i < in.colors(); ++i) {
        const std::uint8_t* e = in.entry(i);
        const std::uint8_t g = toneGrey(e[2], e[1], e[0]);
        out.setEntry(i, g, g, g);
    }
    out.header().clrImportant = in.header().clrImportant;
    out.copyResolution(in.header());
    for (int y = 0; y < in.height(); ++y) std::copy_n(in.row(y), in.rowSize(), out.row(y));
    return out.release();
}

}  // extern "C"
