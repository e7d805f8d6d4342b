// Reduction to 3..256 colours with a palette cut from the image's 15-bit histogram (or a fixed
// palette), with optional Floyd-Steinberg diffusion.
#include <algorithm>
#include <array>
#include <climits>
#include <numeric>
#include <vector>

#include "tifflib/Color.h"
#include "tifflib/ColorDib.h"
#include "tifflib/ColorTables.h"

using namespace lqcolor;

namespace {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
};

Rgb pixelAt(const DibIn& in, const std::uint8_t* row, int x) {
    if (in.bits() == 24) return {row[3 * x + 2], row[3 * x + 1], row[3 * x]};
    const std::uint8_t* e = in.entry(indexAt(row, in.bits(), x));
    return {e[2], e[1], e[0]};
}

int keyPart(int key, int axis) { return (key >> (10 - 5 * axis)) & 31; }

// A box of the median cut: the keys it holds (ascending on entry), bounds and population.
struct Box {
    std::vector<std::uint16_t> keys;
    std::uint32_t population = 0;
    std::array<int, 3> lo{}, hi{};
};

void measure(Box& box, const std::vector<std::uint16_t>& histogram) {
    box.population = 0;
    box.lo = {31, 31, 31};
    box.hi = {0, 0, 0};
    for (std::uint16_t k : box.keys) {
        box.population += histogram[k];
        for (int a = 0; a < 3; ++a) {
            box.lo[a] = std::min(box.lo[a], keyPart(k, a));
            box.hi[a] = std::max(box.hi[a], keyPart(k, a));
        }
    }
}

void insertByPopulation(std::vector<Box>& boxes, Box&& box) {
    auto at = std::find_if(boxes.begin(), boxes.end(), [&](const Box& b) { return b.population < box.population; });
    boxes.insert(at, std::move(box));
}

// Splits the box at the key where the running population first passes half of the box's.
std::pair<Box, Box> split(Box box, const std::vector<std::uint16_t>& histogram) {
    const int rr = box.hi[0] - box.lo[0], gr = box.hi[1] - box.lo[1], br = box.hi[2] - box.lo[2];
    const int axis = (rr >= gr && rr >= br) ? 0 : (gr >= br ? 1 : 2);
    std::stable_sort(box.keys.begin(), box.keys.end(),
                     [axis](std::uint16_t a, std::uint16_t b) { return keyPart(a, axis) < keyPart(b, axis); });
    std::size_t cut = 0;
    std::uint64_t sum = 0;
    while (cut < box.keys.size()) {
        sum += histogram[box.keys[cut++]];
        if (2 * sum > box.population) break;
    }
    if (cut == box.keys.size()) --cut;  // never leave the second box empty
    Box a, b;
    a.keys.assign(box.keys.begin(), box.keys.begin() + std::ptrdiff_t(cut));
    b.keys.assign(box.keys.begin() + std::ptrdiff_t(cut), box.keys.end());
    measure(a, histogram);
    measure(b, histogram);
    return {std::move(a), std::move(b)};
}

struct Palette {
    std::vector<Rgb> colors;
    std::vector<std::uint16_t> lookup = std::vector<std::uint16_t>(32768, kKeyUnset);
};

Palette histogramPalette(const DibIn& in, int wanted) {
    std::vector<std::uint16_t> histogram(32768, 0);
    for (int y = 0; y < in.height(); ++y)
        for (int x = 0; x < in.width(); ++x) {
            const Rgb c = pixelAt(in, in.row(y), x);
            std::uint16_t& cell = histogram[colorKey(c.r, c.g, c.b)];
            if (cell != 0xFFFF) ++cell;  // saturates
        }
    Box all;
    for (int k = 0; k < 32768; ++k)
        if (histogram[k]) all.keys.push_back(std::uint16_t(k));
    measure(all, histogram);
    const std::size_t target = std::min<std::size_t>(std::size_t(wanted), all.keys.size());
    std::vector<Box> boxes;
    boxes.push_back(std::move(all));
    while (boxes.size() < target) {
        auto it = std::find_if(boxes.begin(), boxes.end(), [](const Box& b) { return b.keys.size() > 1; });
        if (it == boxes.end()) break;
        Box chosen = std::move(*it);
        boxes.erase(it);
        auto [a, b] = split(std::move(chosen), histogram);
        insertByPopulation(boxes, std::move(a));
        insertByPopulation(boxes, std::move(b));
    }
    Palette p;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        const Box& box = boxes[i];
        std::array<std::uint64_t, 3> sum{};
        for (std::uint16_t k : box.keys)
            for (int a = 0; a < 3; ++a) sum[a] += std::uint64_t(keyPart(k, a)) * histogram[k];
        const std::uint64_t pop = std::max<std::uint64_t>(box.population, 1);
        p.colors.push_back({std::uint8_t((sum[0] / pop) << 3), std::uint8_t((sum[1] / pop) << 3),
                            std::uint8_t((sum[2] / pop) << 3)});
        for (int r = box.lo[0]; r <= box.hi[0]; ++r)
            for (int g = box.lo[1]; g <= box.hi[1]; ++g)
                for (int b = box.lo[2]; b <= box.hi[2]; ++b) p.lookup[(r << 10) | (g << 5) | b] = std::uint16_t(i);
    }
    return p;
}

Palette fixedPalette(int wanted) {
    Palette p;
    const bool small = wanted <= 16;
    const std::uint32_t* colors = small ? kFixedPalette16 : kFixedPalette256;
    for (int i = 0; i < (small ? 16 : 256); ++i)
        p.colors.push_back({std::uint8_t(colors[i] >> 16), std::uint8_t(colors[i] >> 8), std::uint8_t(colors[i])});
    const std::uint16_t* lookup = fixedPaletteLookup(wanted);
    p.lookup.assign(lookup, lookup + 32768);
    return p;
}

// Nearest palette colour by squared distance: the palette sorted by red, the search starting
// at the first entry whose red is not below the colour's and walking out both ways until the
// red difference alone is no better than the best distance.
class NearestColor {
public:
    explicit NearestColor(const std::vector<Rgb>& colors) : colors_(colors), order_(colors.size()) {
        std::iota(order_.begin(), order_.end(), 0);
        std::stable_sort(order_.begin(), order_.end(), [&](int a, int b) { return colors_[a].r < colors_[b].r; });
        std::size_t j = 0;
        for (int red = 0; red < 256; ++red) {
            while (j < order_.size() && colors_[order_[j]].r < red) ++j;
            start_[red] = int(j);
        }
    }
    int find(const Rgb& c) const {
        int best = INT_MAX, bestIndex = 0;
        const int n = int(order_.size());
        auto tryAt = [&](int pos) {
            const Rgb& p = colors_[order_[pos]];
            const int dr = int(p.r) - c.r;
            if (dr * dr >= best) return false;
            const int dg = int(p.g) - c.g, db = int(p.b) - c.b;
            const int d = dr * dr + dg * dg + db * db;
            if (d < best) {
                best = d;
                bestIndex = order_[pos];
            }
            return true;
        };
        for (int up = start_[c.r]; up < n && tryAt(up); ++up) {}
        for (int down = start_[c.r] - 1; down >= 0 && tryAt(down); --down) {}
        return bestIndex;
    }
private:
    const std::vector<Rgb>& colors_;
    std::vector<int> order_;
    std::array<int, 256> start_{};
};

// Maps the image onto the palette, rows from the top down, optionally with Floyd-Steinberg.
void mapPixels(const DibIn& in, Palette& pal, bool diffuse, DibOut& out, int outBits) {
    const int w = in.width(), h = in.height();
    NearestColor nearest(pal.colors);
    std::vector<int> cur(3 * (w + 2)), next(3 * (w + 2));
    auto clamp = [](int v) { return std::uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v)); };
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* src = in.row(h - 1 - y);
        std::uint8_t* dst = out.row(h - 1 - y);
        for (int x = 0; x < w; ++x) {
            Rgb c = pixelAt(in, src, x);
            if (diffuse) {
                int* e = &cur[3 * (x + 1)];
                c = {clamp(c.r + e[0] / 16), clamp(c.g + e[1] / 16), clamp(c.b + e[2] / 16)};
            }
            std::uint16_t& slot = pal.lookup[colorKey(c.r, c.g, c.b)];
            if (slot == kKeyUnset) slot = std::uint16_t(nearest.find(c));
            setIndex(dst, outBits, x, slot);
            if (!diffuse) continue;
            const Rgb& got = pal.colors[slot];
            const int err[3] = {c.r - got.r, c.g - got.g, c.b - got.b};
            for (int k = 0; k < 3; ++k) {
                cur[3 * (x + 2) + k] += 7 * err[k];
                next[3 * x + k] += 3 * err[k];
                next[3 * (x + 1) + k] += 5 * err[k];
                next[3 * (x + 2) + k] += err[k];
            }
        }
        cur.swap(next);
        std::fill(next.begin(), next.end(), 0);
    }
}

}  // namespace

extern "C" {

HLQMEM ReduceColorToColor(HLQMEM dib, short colors, short flags) {
    if (flags & kReduceGrey) return ColorToGrayscale(dib);
    DibIn in(dib);
    if (!in.ok() || colors < 2 || colors > 256) return nullptr;
    if (in.bits() <= 7 && in.colors() < std::uint32_t(colors)) return nullptr;
    Palette pal = (flags & kReduceFixedPalette) ? fixedPalette(colors) : histogramPalette(in, colors);
    const int outBits = colors <= 16 ? 4 : 8;
    DibOut out(in.width(), in.height(), outBits, 1u << outBits);
    if (!out.ok()) return nullptr;
    for (std::size_t i = 0; i < pal.colors.size() && i < (1u << outBits); ++i)
        out.setEntry(std::uint32_t(i), pal.colors[i].r, pal.colors[i].g, pal.colors[i].b);
    out.header().clrImportant = std::uint32_t(pal.colors.size());
    out.copyResolution(in.header());
    mapPixels(in, pal, flags & (kReduceBurkes | kReduceFloyd), out, outBits);
    return out.release();
}

HLQMEM ImgReduceColors(HLQMEM dib, short colors, short flags) {
    if (colors == 2) {
        DibIn in(dib);
        if (!in.ok() || in.bits() == 1) return nullptr;
        return DitherToBW(dib, flags);
    }
    if (colors < 3 || colors > 256) return nullptr;
    return ReduceColorToColor(dib, colors, flags);
}

}  // extern "C"
