#include "tifflib/Quantize.h"

#include <algorithm>
#include <array>
#include <climits>

#include "tifflib/ColorDib.h"

namespace lqcolor {

namespace {

// Histogram cells: 5 bits of red, 6 of green, 5 of blue. Distances weigh red 2, green 3,
// blue 1 (the scale of each axis in colour space).
constexpr int kR = 32, kG = 64, kB = 32;
constexpr int kShiftR = 3, kShiftG = 2, kShiftB = 3;
constexpr int kScaleR = 2, kScaleG = 3, kScaleB = 1;

class Histogram {
public:
    Histogram() : cells_(std::size_t(kR) * kG * kB, 0) {}
    std::uint32_t& at(int r, int g, int b) { return cells_[(std::size_t(r) * kG + g) * kB + b]; }
    void add(int r, int g, int b) {
        std::uint32_t& c = at(r >> kShiftR, g >> kShiftG, b >> kShiftB);
        if (c != UINT32_MAX) ++c;
    }
private:
    std::vector<std::uint32_t> cells_;
};

struct Box {
    int r0, r1, g0, g1, b0, b1;
    long long volume = 0;
    long cellsUsed = 0;  // populated cells inside the box
};

// Shrinks the box to its populated cells and recomputes its volume and used-cell count.
void update(Box& b, Histogram& h) {
    auto anyIn = [&](int r0, int r1, int g0, int g1, int bb0, int bb1) {
        for (int r = r0; r <= r1; ++r)
            for (int g = g0; g <= g1; ++g)
                for (int bl = bb0; bl <= bb1; ++bl)
                    if (h.at(r, g, bl)) return true;
        return false;
    };
    while (b.r0 < b.r1 && !anyIn(b.r0, b.r0, b.g0, b.g1, b.b0, b.b1)) ++b.r0;
    while (b.r1 > b.r0 && !anyIn(b.r1, b.r1, b.g0, b.g1, b.b0, b.b1)) --b.r1;
    while (b.g0 < b.g1 && !anyIn(b.r0, b.r1, b.g0, b.g0, b.b0, b.b1)) ++b.g0;
    while (b.g1 > b.g0 && !anyIn(b.r0, b.r1, b.g1, b.g1, b.b0, b.b1)) --b.g1;
    while (b.b0 < b.b1 && !anyIn(b.r0, b.r1, b.g0, b.g1, b.b0, b.b0)) ++b.b0;
    while (b.b1 > b.b0 && !anyIn(b.r0, b.r1, b.g0, b.g1, b.b1, b.b1)) --b.b1;
    const long long dr = ((b.r1 - b.r0) << kShiftR) * kScaleR, dg = ((b.g1 - b.g0) << kShiftG) * kScaleG,
                    db = ((b.b1 - b.b0) << kShiftB) * kScaleB;
    b.volume = dr * dr + dg * dg + db * db;
    b.cellsUsed = 0;
    for (int r = b.r0; r <= b.r1; ++r)
        for (int g = b.g0; g <= b.g1; ++g)
            for (int bl = b.b0; bl <= b.b1; ++bl)
                if (h.at(r, g, bl)) ++b.cellsUsed;
}

std::vector<std::array<std::uint8_t, 3>> medianCut(Histogram& h, int wanted) {
    std::vector<Box> boxes{{0, kR - 1, 0, kG - 1, 0, kB - 1}};
    update(boxes[0], h);
    while (int(boxes.size()) < wanted) {
        Box* pick = nullptr;
        if (int(boxes.size()) * 2 <= wanted) {
            long most = 0;
            for (Box& b : boxes)
                if (b.cellsUsed > most && b.volume > 0) { most = b.cellsUsed; pick = &b; }
        } else {
            long long most = 0;
            for (Box& b : boxes)
                if (b.volume > most) { most = b.volume; pick = &b; }
        }
        if (!pick) break;  // no box can be split any more
        Box second = *pick;
        const int lr = ((pick->r1 - pick->r0) << kShiftR) * kScaleR, lg = ((pick->g1 - pick->g0) << kShiftG) * kScaleG,
                  lb = ((pick->b1 - pick->b0) << kShiftB) * kScaleB;
        int axis = 1, longest = lg;  // green wins ties, then red; blue only when strictly longest
        if (lr > longest) { longest = lr; axis = 0; }
        if (lb > longest) axis = 2;
        if (axis == 0) { const int m = (pick->r0 + pick->r1) / 2; pick->r1 = m; second.r0 = m + 1; }
        if (axis == 1) { const int m = (pick->g0 + pick->g1) / 2; pick->g1 = m; second.g0 = m + 1; }
        if (axis == 2) { const int m = (pick->b0 + pick->b1) / 2; pick->b1 = m; second.b0 = m + 1; }
        update(*pick, h);
        update(second, h);
        boxes.push_back(second);
    }
    std::vector<std::array<std::uint8_t, 3>> colors;
    for (const Box& b : boxes) {
        long long total = 0, sr = 0, sg = 0, sb = 0;
        for (int r = b.r0; r <= b.r1; ++r)
            for (int g = b.g0; g <= b.g1; ++g)
                for (int bl = b.b0; bl <= b.b1; ++bl) {
                    const long long n = h.at(r, g, bl);
                    if (!n) continue;
                    total += n;
                    sr += ((r << kShiftR) + 4) * n;
                    sg += ((g << kShiftG) + 2) * n;
                    sb += ((bl << kShiftB) + 4) * n;
                }
        if (total == 0) total = 1;
        colors.push_back({std::uint8_t((sr + total / 2) / total), std::uint8_t((sg + total / 2) / total),
                          std::uint8_t((sb + total / 2) / total)});
    }
    return colors;
}

// Inverse colour map over the histogram cells, filled on demand in blocks of 4 x 8 x 4 cells
// with the nearest palette entry to each cell's centre (first entry wins a tie).
class InverseMap {
public:
    explicit InverseMap(const std::vector<std::array<std::uint8_t, 3>>& colors)
        : colors_(colors), map_(std::size_t(kR) * kG * kB, -1) {}
    int at(int r, int g, int b) {
        int& slot = map_[(std::size_t(r >> kShiftR) * kG + (g >> kShiftG)) * kB + (b >> kShiftB)];
        if (slot < 0) fillBlock(r >> kShiftR, g >> kShiftG, b >> kShiftB);
        return slot;
    }
private:
    void fillBlock(int cr, int cg, int cb) {
        cr &= ~3; cg &= ~7; cb &= ~3;
        for (int r = cr; r < cr + 4; ++r)
            for (int g = cg; g < cg + 8; ++g)
                for (int b = cb; b < cb + 4; ++b) {
                    const int x = (r << kShiftR) + 4, y = (g << kShiftG) + 2, z = (b << kShiftB) + 4;
                    long best = LONG_MAX;
                    int bestIndex = 0;
                    for (std::size_t i = 0; i < colors_.size(); ++i) {
                        const long dr = (x - colors_[i][0]) * kScaleR, dg = (y - colors_[i][1]) * kScaleG,
                                   db = (z - colors_[i][2]) * kScaleB;
                        const long d = dr * dr + dg * dg + db * db;
                        if (d < best) { best = d; bestIndex = int(i); }
                    }
                    map_[(std::size_t(r) * kG + g) * kB + b] = bestIndex;
                }
    }
    const std::vector<std::array<std::uint8_t, 3>>& colors_;
    std::vector<int> map_;
};

// Error limit of the diffusion: errors up to 16 pass, the slope halves up to 48, then holds.
int limitError(int e) {
    const int a = e < 0 ? -e : e;
    const int v = a < 16 ? a : (a < 48 ? 16 + (a - 16) / 2 : 32);
    return e < 0 ? -v : v;
}

class Progress {
public:
    Progress(const QuantizeRequest& r, int height) : r_(r), height_(height), step_(std::max(1, 3 * height / 25)) {}
    // `done` rows of pass `pass` (0 or 1 for the histogram pass, 2 for mapping).
    bool report(int pass, int row) {
        if (!r_.progress || row % step_ != 0) return true;
        return r_.progress(std::int32_t((row + pass * std::int64_t(height_)) * 100 / (3 * std::int64_t(height_))),
                           r_.user) != 0;
    }
private:
    const QuantizeRequest& r_;
    int height_, step_;
};

void putIndex(std::uint8_t* row, int bits, int x, int v) { setIndex(row, bits, x, std::uint32_t(v)); }

bool mapPlain(const DibIn& in, InverseMap& inv, DibOut& out, int bits, Progress& progress) {
    for (int y = 0; y < in.height(); ++y) {
        if (!progress.report(2, y)) return false;
        const std::uint8_t* s = in.row(y);
        std::uint8_t* d = out.row(y);
        for (int x = 0; x < in.width(); ++x, s += 3) putIndex(d, bits, x, inv.at(s[2], s[1], s[0]));
    }
    return true;
}

// Serpentine Floyd-Steinberg: even rows left to right, odd rows right to left.
bool mapDithered(const DibIn& in, InverseMap& inv, const std::vector<std::array<std::uint8_t, 3>>& colors,
                 DibOut& out, int bits, Progress& progress) {
    const int w = in.width();
    std::vector<int> errors(std::size_t(w + 2) * 3, 0);
    for (int y = 0; y < in.height(); ++y) {
        if (!progress.report(2, y)) return false;
        const bool odd = y & 1;
        const int dir = odd ? -1 : 1;
        int col = odd ? w - 1 : 0;
        int* err = &errors[std::size_t(odd ? w + 1 : 0) * 3];
        int cur[3] = {0, 0, 0}, below[3] = {0, 0, 0}, belowPrev[3] = {0, 0, 0};
        const std::uint8_t* s = in.row(y);
        std::uint8_t* d = out.row(y);
        for (int n = 0; n < w; ++n, col += dir, err += 3 * dir) {
            const std::uint8_t px[3] = {s[3 * col + 2], s[3 * col + 1], s[3 * col]};
            int v[3];
            for (int c = 0; c < 3; ++c) {
                v[c] = limitError((cur[c] + err[3 * dir + c] + 8) >> 4) + px[c];
                v[c] = std::clamp(v[c], 0, 255);
            }
            const int index = inv.at(v[0], v[1], v[2]);
            putIndex(d, bits, col, index);
            for (int c = 0; c < 3; ++c) {
                const int e = v[c] - colors[std::size_t(index)][std::size_t(c)];
                err[c] = belowPrev[c] + 3 * e;
                belowPrev[c] = below[c] + 5 * e;
                below[c] = e;
                cur[c] = 7 * e;
            }
        }
        for (int c = 0; c < 3; ++c) err[c] = belowPrev[c];
    }
    return true;
}

}  // namespace

short quantize(HLQMEM dib24, const QuantizeRequest& request, HLQMEM* out) {
    *out = nullptr;
    DibIn in(dib24);
    if (!in.ok()) return -1;
    if (in.bits() != 24) return kColorNot24Bit;
    Progress progress(request, in.height());
    std::vector<std::array<std::uint8_t, 3>> colors;
    if (request.palette.empty()) {
        Histogram hist;
        for (int y = 0; y < in.height(); ++y) {
            if (!progress.report(1, y)) return kColorQuantizeFailed;
            const std::uint8_t* s = in.row(y);
            for (int x = 0; x < in.width(); ++x, s += 3) hist.add(s[2], s[1], s[0]);
        }
        colors = medianCut(hist, request.colors);
    } else {
        for (std::size_t i = 0; i + 2 < request.palette.size() && int(colors.size()) < request.colors; i += 3)
            colors.push_back({request.palette[i], request.palette[i + 1], request.palette[i + 2]});
    }
    DibOut dst(in.width(), in.height(), request.outBits, std::uint32_t(colors.size()));
    if (!dst.ok()) return kColorOutOfMemory;
    for (std::size_t i = 0; i < colors.size(); ++i) dst.setEntry(std::uint32_t(i), colors[i][0], colors[i][1], colors[i][2]);
    dst.header().clrImportant = request.clrImportant;
    dst.copyResolution(in.header());
    InverseMap inv(colors);
    const bool done = request.dither ? mapDithered(in, inv, colors, dst, request.outBits, progress)
                                     : mapPlain(in, inv, dst, request.outBits, progress);
    if (!done) return kColorQuantizeFailed;
    *out = dst.release();
    return 1;
}

}  // namespace lqcolor
