// Depth conversion and colour reduction (lqcolor).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "tests/support/TestSupport.h"
#include "tests/tifflib/DibUtil.h"
#include "tifflib/Color.h"

using lqtest::DibCopy;
using lqtest::makeDib;
using lqtest::Rgb;

namespace {

// Owns the blocks a test makes.
struct Blocks {
    std::vector<HLQMEM> all;
    HLQMEM operator()(HLQMEM h) { if (h) all.push_back(h); return h; }
    ~Blocks() { for (HLQMEM h : all) lqMemFree(h); }
};

std::uint32_t rgbOf(const Rgb& c) { return (std::uint32_t(c.r) << 16) | (c.g << 8) | c.b; }

TEST(ColorDepth, WideningKeepsColoursAndCounts) {
    Blocks keep;
    const std::vector<std::uint32_t> table = {0x102030, 0xA0B0C0};
    HLQMEM one = keep(makeDib(13, 5, 1, table, [](int x, int y) { return std::uint32_t((x + y) % 3 == 0); }));
    DibCopy four(keep(DIB1to4(one)));
    EXPECT_EQ(four.bits(), 4);
    EXPECT_EQ(four.header().clrUsed, 16u);
    EXPECT_EQ(four.header().clrImportant, 2u);
    EXPECT_EQ(four.entry(2), (Rgb{0, 0, 0}));
    DibCopy eight(keep(DIB1To8(one)));
    DibCopy rgb(keep(DIB1To24(one)));
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 13; ++x) {
            const std::uint32_t want = table[(x + y) % 3 == 0];
            EXPECT_EQ(four.index(x, y), std::uint32_t((x + y) % 3 == 0));
            EXPECT_EQ(rgbOf(eight.color(x, y)), want);
            EXPECT_EQ(rgbOf(rgb.color(x, y)), want);
        }
    // Each step checks its source depth; ImgIncreaseColors only goes up.
    EXPECT_EQ(DIB4To8(one), nullptr);
    EXPECT_EQ(ImgIncreaseColors(one, 1), nullptr);
    DibCopy up(keep(ImgIncreaseColors(one, 24)));
    EXPECT_EQ(up.color(0, 0), rgb.color(0, 0));
}

TEST(ColorDepth, ColorsInPalette) {
    Blocks keep;
    HLQMEM rgb = keep(makeDib(2, 2, 24, {}, [](int, int) { return 0u; }));
    HLQMEM pal = keep(makeDib(2, 2, 8, std::vector<std::uint32_t>(20, 0), [](int, int) { return 0u; }));
    HLQMEM tiny = keep(lqMemAlloc(12));
    lqp::MemLock a(rgb), b(pal), c(tiny);
    EXPECT_EQ(GetColorsInPalette(a.data()), 0);
    EXPECT_EQ(GetColorsInPalette(b.data()), 20);
    EXPECT_EQ(GetColorsInPalette(c.data()), 0);
    EXPECT_EQ(GetColorsInPalette(nullptr), 0);
}

TEST(ColorDepth, HostileHeadersAreRefused) {
    Blocks keep;
    HLQMEM good = keep(makeDib(8, 8, 24, {}, [](int x, int) { return std::uint32_t(x * 30); }));
    struct Case { const char* what; std::size_t offset; std::uint32_t value; };
    const Case cases[] = {
        {"negative width", 4, 0xFFFFFFF0u}, {"huge height", 8, 0x7FFFFFFFu}, {"bad depth", 14, 7},
        {"compressed", 16, 1}, {"too many colours", 32, 100000},
    };
    for (const Case& c : cases) {
        HLQMEM bad = keep(lqMemAlloc(lqMemSize(good)));
        {
            lqp::MemLock from(good), to(bad);
            std::memcpy(to.data(), from.data(), lqMemSize(good));
            if (c.offset == 14) lqp::putLe16(to.data() + 14, std::uint16_t(c.value));
            else lqp::putLe32(to.data() + c.offset, c.value);
        }
        EXPECT_EQ(DIB24To1(bad), nullptr) << c.what;
        EXPECT_EQ(ColorToGrayscale(bad), nullptr) << c.what;
        EXPECT_EQ(ReduceColorToColor(bad, 16, 0), nullptr) << c.what;
        EXPECT_EQ(DitherToBW(bad, 2), nullptr) << c.what;
        lqp::MemLock l(bad);
        EXPECT_EQ(ReduceDib(l.data(), 8, 0, 0, nullptr, 0, 0, nullptr), -1) << c.what;
    }
    EXPECT_EQ(DIB1To24(reinterpret_cast<HLQMEM>(std::uintptr_t(0xDEAD))), nullptr);
}

TEST(ColorGrey, ToneTableAndGreyConversions) {
    const std::uint8_t* t = lqcolor::toneTable();
    for (int i = 1; i < 256; ++i) EXPECT_LE(t[i - 1], t[i]) << i;
    EXPECT_EQ(t[0], 1);
    EXPECT_EQ(t[76], 37);
    EXPECT_EQ(t[215], 253);
    EXPECT_EQ(t[216], 254);
    Blocks keep;
    DibCopy fromRgb(keep(ColorToGrayscale(keep(makeDib(1, 1, 24, {}, [](int, int) { return 0xFF0000u; })))));
    EXPECT_EQ(fromRgb.bits(), 8);
    EXPECT_EQ(fromRgb.color(0, 0), (Rgb{76, 76, 76}));
    DibCopy fromPal(keep(ColorToGrayscale(keep(makeDib(1, 1, 8, {0xFF0000}, [](int, int) { return 0u; })))));
    EXPECT_EQ(fromPal.color(0, 0), (Rgb{37, 37, 37}));
    EXPECT_EQ(ColorToGrayscale(keep(makeDib(1, 1, 1, {0, 0xFFFFFF}, [](int, int) { return 0u; }))), nullptr);
}

// A flat grey that the tone table turns into `toned`.
HLQMEM flatGrey(int size, std::uint8_t level) {
    const std::uint32_t v = level * 0x010101u;
    return makeDib(size, size, 24, {}, [v](int, int) { return v; });
}

int whiteCount(const DibCopy& d) {
    int n = 0;
    for (int y = 0; y < d.height(); ++y)
        for (int x = 0; x < d.width(); ++x) n += d.index(x, y) == 1;
    return n;
}

TEST(ColorBlackWhite, DitherToBWModes) {
    Blocks keep;
    const std::uint8_t* t = lqcolor::toneTable();
    int level = 0;
    while (t[level] < 126) ++level;
    ASSERT_EQ(t[level], 126);  // a grey just below the middle
    HLQMEM grey = keep(flatGrey(64, std::uint8_t(level)));
    EXPECT_EQ(whiteCount(DibCopy(keep(DitherToBW(grey, 0)))), 0);
    // Ordered: the matrix holds 0..63 once, so each 8 x 8 cell has grey / 4 white pixels.
    DibCopy ordered(keep(DitherToBW(grey, kReduceOrdered)));
    EXPECT_EQ(whiteCount(ordered), 64 * (126 / 4));
    EXPECT_EQ(ordered.index(0, 0), 1u);  // M[0] = 0 < 31
    EXPECT_EQ(ordered.index(0, 1), 0u);  // M[1] = 32
    // Diffusion keeps the mean brightness.
    for (short flags : {kReduceBurkes, kReduceFloyd}) {
        const double share = whiteCount(DibCopy(keep(DitherToBW(grey, flags)))) / 4096.0;
        EXPECT_NEAR(share, 126 / 255.0, 0.03) << flags;
    }
    EXPECT_EQ(ImgReduceColors(keep(DIB24To1(grey)), 2, 0), nullptr);
}

TEST(ColorBlackWhite, ErrorDiffusionTo1) {
    Blocks keep;
    EXPECT_EQ(whiteCount(DibCopy(keep(DIB24To1(keep(flatGrey(16, 255)))))), 256);
    EXPECT_EQ(whiteCount(DibCopy(keep(DIB24To1(keep(flatGrey(16, 0)))))), 0);
    DibCopy half(keep(DIB24To1(keep(flatGrey(64, 128)))));
    EXPECT_EQ(half.header().clrUsed, 2u);
    EXPECT_EQ(half.entry(1), (Rgb{255, 255, 255}));
    EXPECT_NEAR(whiteCount(half) / 4096.0, 0.5, 0.05);
    HLQMEM pal = keep(makeDib(16, 16, 8, {0x000000, 0xFFFFFF}, [](int x, int) { return std::uint32_t(x & 1); }));
    DibCopy stripes(keep(DIB8To1(pal)));
    for (int x = 0; x < 16; ++x) EXPECT_EQ(stripes.index(x, 3), std::uint32_t(x & 1));
}

TEST(ColorReduce, HistogramPaletteWithFewKeys) {
    Blocks keep;
    const std::uint32_t colors[5] = {0xF80000, 0x00F800, 0x0000F8, 0x808080, 0x101010};
    HLQMEM src = keep(makeDib(20, 10, 24, {}, [&](int x, int y) { return colors[(x + 2 * y) % 5]; }));
    DibCopy out(keep(ReduceColorToColor(src, 16, 0)));
    ASSERT_EQ(out.bits(), 4);
    EXPECT_EQ(out.header().clrImportant, 5u);
    for (std::uint32_t i = 5; i < 16; ++i) EXPECT_EQ(out.entry(i), (Rgb{0, 0, 0}));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) EXPECT_EQ(rgbOf(out.color(x, y)), colors[(x + 2 * y) % 5]);
    // With diffusion the exact colours stay exact; grey asks for the grey conversion.
    DibCopy fs(keep(ReduceColorToColor(src, 16, kReduceFloyd)));
    EXPECT_EQ(rgbOf(fs.color(7, 3)), colors[(7 + 6) % 5]);
    EXPECT_EQ(DibCopy(keep(ReduceColorToColor(src, 16, kReduceGrey))).bits(), 8);
    // A 4-bit source with fewer colours than asked for is refused.
    HLQMEM four = keep(makeDib(4, 4, 4, {0, 0xFFFFFF}, [](int x, int) { return std::uint32_t(x & 1); }));
    EXPECT_EQ(ReduceColorToColor(four, 16, 0), nullptr);
}

TEST(ColorReduce, FixedPaletteAndMedianCutOnGradient) {
    Blocks keep;
    HLQMEM src = keep(makeDib(64, 64, 24, {}, [](int x, int y) { return std::uint32_t((x * 4) << 16 | (y * 4) << 8 | 0x40); }));
    // Colours of the fixed palette map onto themselves.
    const std::uint32_t exact[4] = {0xC00000, 0x00FF00, 0x8C6F13, 0xFFFBF0};
    HLQMEM few = keep(makeDib(4, 1, 24, {}, [&](int x, int) { return exact[x]; }));
    DibCopy fixed(keep(ReduceColorToColor(few, 256, kReduceFixedPalette)));
    EXPECT_EQ(fixed.entry(1), (Rgb{0xC0, 0, 0}));
    for (int x = 0; x < 4; ++x) EXPECT_EQ(rgbOf(fixed.color(x, 0)), exact[x]);
    DibCopy fixed16(keep(ReduceColorToColor(few, 16, kReduceFixedPalette)));
    EXPECT_EQ(fixed16.bits(), 4);
    EXPECT_EQ(rgbOf(fixed16.color(1, 0)), 0x00FF00u);
    DibCopy cut(keep(ReduceColorToColor(src, 256, 0)));
    ASSERT_EQ(cut.bits(), 8);
    long err = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const Rgb c = cut.color(x, y);
            err += std::abs(c.r - x * 4) + std::abs(c.g - y * 4) + std::abs(c.b - 0x40);
        }
    // 256 boxes over a 1024-key ramp stay close (box colours are truncated to 5 bits a channel)
    EXPECT_LT(err / 4096.0, 16.0);
}

// djpeg's two-pass quantizer is the same algorithm: on an image of fewer than 65,536 pixels
// the palette and the indices must match, without and with Floyd-Steinberg dithering.
class QuantizerVsDjpeg : public testing::Test {
protected:
    void SetUp() override {
        jpeg_ = dir_.file("in.jpg");
        auto r = lqtest::runPython(
            "from PIL import Image, ImageDraw\n"
            "im = Image.new('RGB', (230, 170))\n"
            "px = im.load()\n"
            "for y in range(170):\n"
            "  for x in range(230):\n"
            "    px[x, y] = (x, (x * y) % 256, (255 - y + x // 3) % 256)\n"
            "d = ImageDraw.Draw(im)\n"
            "d.ellipse((40, 30, 150, 140), fill=(250, 200, 20))\n"
            "d.rectangle((160, 10, 220, 90), fill=(10, 60, 200))\n"
            "im.save('" + jpeg_ + "', quality=90)\n");
        ASSERT_EQ(r.exitCode, 0) << r.output;
        ASSERT_EQ(lqtest::run("djpeg -ppm -outfile " + dir_.file("in.ppm") + " " + jpeg_).exitCode, 0);
    }
    // The decoded pixels as a 24-bit DIB; `flipped` puts the top image row first in memory.
    HLQMEM source(bool flipped) {
        const auto ppm = lqtest::readFile(dir_.file("in.ppm"));
        std::size_t pos = 0;
        int fields[3], n = 0;
        pos = 2;
        while (n < 3) {
            while (!std::isdigit(ppm[pos])) ++pos;
            int v = 0;
            while (std::isdigit(ppm[pos])) v = v * 10 + (ppm[pos++] - '0');
            fields[n++] = v;
        }
        ++pos;
        const int w = fields[0], h = fields[1];
        return makeDib(w, h, 24, {}, [&, w, h](int x, int y) {
            const std::size_t at = pos + 3 * (std::size_t(flipped ? h - 1 - y : y) * w + x);
            return std::uint32_t(ppm[at] << 16 | ppm[at + 1] << 8 | ppm[at + 2]);
        });
    }
    DibCopy djpeg(const std::string& options) {
        const std::string bmp = dir_.file("q.bmp");
        EXPECT_EQ(lqtest::run("djpeg " + options + " -bmp -outfile " + bmp + " " + jpeg_).exitCode, 0);
        auto bytes = lqtest::readFile(bmp);
        return DibCopy(std::vector<std::uint8_t>(bytes.begin() + 14, bytes.end()));
    }
    lqtest::TempDir dir_;
    std::string jpeg_;
};

TEST_F(QuantizerVsDjpeg, SameResult) {
    struct Case { const char* options; short depth; bool dither; int colors; };
    const Case cases[] = {
        {"-colors 256 -dither none", 8, false, 256},
        {"-colors 256 -dither fs", 8, true, 256},
        {"-colors 16 -dither none", 4, false, 16},
    };
    for (const Case& c : cases) {
        const DibCopy ref = djpeg(c.options);
        HLQMEM dib = source(c.dither);
        {
            lqp::MemLock l(dib);
            ASSERT_EQ(ReduceDib2(l.data(), 0, c.depth, c.dither, 0, 0, nullptr), 1) << c.options;
        }
        DibCopy ours(dib);
        lqMemFree(dib);
        ASSERT_EQ(ours.bits(), c.depth);
        ASSERT_EQ(ours.header().clrUsed, std::uint32_t(c.colors));
        for (int i = 0; i < c.colors; ++i) ASSERT_EQ(ours.entry(i), ref.entry(i)) << c.options << " entry " << i;
        int differ = 0;
        for (int y = 0; y < ours.height(); ++y)
            for (int x = 0; x < ours.width(); ++x)
                differ += ours.index(x, c.dither ? ours.height() - 1 - y : y) != ref.index(x, y);
        EXPECT_EQ(differ, 0) << c.options;
    }
}

TEST(ColorQuantize, CancelFailsAndLeavesTheBlock) {
    Blocks keep;
    HLQMEM dib = keep(makeDib(40, 40, 24, {}, [](int x, int y) { return std::uint32_t(x * 6 << 16 | y * 6); }));
    const std::vector<std::uint8_t> before = DibCopy(dib).bytes();
    lqp::MemLock l(dib);
    const auto cancel = [](std::int32_t, std::int32_t) -> short { return 0; };
    EXPECT_EQ(ReduceDib(l.data(), 8, 1, 0, nullptr, 0, 0, cancel), kColorQuantizeFailed);
    EXPECT_EQ(DibCopy(dib).bytes(), before);
    // A given palette is used as it is.
    const std::uint8_t palette[8] = {255, 0, 0, 0, 0, 0, 255, 0};
    ASSERT_EQ(ReduceDib(l.data(), 8, 0, 2, palette, 0, 0, nullptr), 1);
    DibCopy out(dib);
    EXPECT_EQ(out.header().clrUsed, 2u);
    EXPECT_EQ(out.entry(0), (Rgb{255, 0, 0}));
    EXPECT_EQ(out.entry(1), (Rgb{0, 0, 255}));
    // Only 24-bit sources are quantized.
    lqp::MemLock again(dib);
    EXPECT_EQ(ReduceDib(again.data(), 8, 0, 0, nullptr, 0, 0, nullptr), kColorNot24Bit);
}

}  // namespace
