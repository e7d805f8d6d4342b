// Colour factors, contrast, brightness, gamma, grey and invert: exact values on small
// fixtures, the palette paths against the 24-bit paths, and ImageMagick where it computes the
// same thing.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>

#include "rastervane/effects/RVEffects.h"
#include "tests/effects/EffectsTestSupport.h"

namespace {

using namespace fxtest;

constexpr std::array<int, 9> kLevels = {0, 1, 64, 100, 127, 128, 129, 200, 255};

// One row of grey pixels, one per level.
Image greyRamp() {
    Image im = uniform(int(kLevels.size()), 1, 0);
    for (std::size_t i = 0; i < kLevels.size(); ++i) im.pixels[i] = bgr(kLevels[i], kLevels[i], kLevels[i]);
    return im;
}

// Runs an operation that answers a new block and reads the result.
template <class Op>
Image applied(const Image& input, Op op) {
    lqp::MemOwner src(makeDib(input));
    lqp::MemOwner out(op(src.get()));
    EXPECT_TRUE(out) << rv::RVLastErrorText();
    EXPECT_EQ(blockBytes(src.get()), blockBytes(lqp::MemOwner(makeDib(input)).get())) << "input changed";
    return out ? readDib(out.get()) : Image{};
}

std::array<int, 9> channel(const Image& im, std::uint8_t (*part)(std::uint32_t)) {
    std::array<int, 9> v{};
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = part(im.pixels[i]);
    return v;
}

TEST(Enhance, FactorsContrastAndBrightnessFollowTheirFormula) {
    struct Case { int factor, contrast, brightness; std::array<int, 9> expected; };
    const Case cases[] = {
        {10, 0, 0, {0, 1, 64, 100, 127, 128, 129, 200, 255}},
        {20, 0, 0, {0, 2, 128, 200, 254, 255, 255, 255, 255}},
        {5, 0, 0, {0, 1, 32, 50, 64, 64, 65, 100, 128}},
        {1, 0, 0, {0, 0, 6, 10, 13, 13, 13, 20, 26}},
        {0, 0, 0, {0, 0, 6, 10, 13, 13, 13, 20, 26}},              // clamped to 1
        {255, 0, 0, {0, 26, 255, 255, 255, 255, 255, 255, 255}},
        {300, 0, 0, {0, 26, 255, 255, 255, 255, 255, 255, 255}},   // clamped to 255
        {10, 0, 50, {50, 51, 114, 150, 177, 178, 179, 250, 255}},
        {10, 0, -255, {0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {10, 0, -999, {0, 0, 0, 0, 0, 0, 0, 0, 0}},                 // clamped to -255
        {10, 255, 0, {0, 0, 0, 0, 0, 128, 255, 255, 255}},
        {10, 999, 0, {0, 0, 0, 0, 0, 128, 255, 255, 255}},          // clamped to 255
        {10, -255, 0, {128, 128, 128, 128, 128, 128, 128, 128, 128}},
        {10, 100, 0, {0, 0, 0, 65, 126, 128, 130, 255, 255}},
        {10, -100, 0, {72, 72, 100, 116, 128, 128, 128, 160, 184}},
        {15, 40, -20, {0, 0, 57, 131, 187, 188, 191, 255, 255}},
    };
    for (const Case& c : cases) {
        const Image out = applied(greyRamp(), [&](HLQMEM dib) {
            return rv::Enhance(dib, {}, c.factor, c.factor, c.factor, c.contrast, c.brightness);
        });
        SCOPED_TRACE(testing::Message() << "factor " << c.factor << " contrast " << c.contrast << " brightness " << c.brightness);
        EXPECT_EQ(channel(out, red), c.expected);
        EXPECT_EQ(channel(out, green), c.expected);
        EXPECT_EQ(channel(out, blue), c.expected);
    }
}

TEST(Enhance, EachFactorScalesItsOwnChannel) {
    const Image out = applied(greyRamp(), [](HLQMEM dib) { return rv::Enhance(dib, {}, 10, 5, 20, 0, 0); });
    EXPECT_EQ(channel(out, red), (std::array<int, 9>{0, 2, 128, 200, 254, 255, 255, 255, 255}));
    EXPECT_EQ(channel(out, green), (std::array<int, 9>{0, 1, 32, 50, 64, 64, 65, 100, 128}));
    EXPECT_EQ(channel(out, blue), (std::array<int, 9>{0, 1, 64, 100, 127, 128, 129, 200, 255}));
}

TEST(Enhance, NeutralValuesKeepEveryPixel) {
    const Image input = noise(37, 11, 1);
    EXPECT_EQ(applied(input, [](HLQMEM dib) { return rv::Enhance(dib, {}, 10, 10, 10, 0, 0); }), input);
}

TEST(Brightness, AddsTheClampedValue) {
    struct Case { int value; std::array<int, 9> expected; };
    const Case cases[] = {
        {0, {0, 1, 64, 100, 127, 128, 129, 200, 255}},
        {50, {50, 51, 114, 150, 177, 178, 179, 250, 255}},
        {-100, {0, 0, 0, 0, 27, 28, 29, 100, 155}},
        {255, {255, 255, 255, 255, 255, 255, 255, 255, 255}},
        {-300, {0, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        const Image out = applied(greyRamp(), [&](HLQMEM dib) { return rv::RVBrightness(dib, c.value); });
        EXPECT_EQ(channel(out, green), c.expected) << "value " << c.value;
        EXPECT_EQ(channel(out, red), channel(out, blue));
    }
}

TEST(Gamma, FollowsThePowerCurve) {
    struct Case { int value; std::array<int, 5> levels, expected; };
    const Case cases[] = {
        {10, {0, 1, 64, 128, 255}, {0, 1, 64, 128, 255}},
        {20, {0, 1, 64, 128, 255}, {0, 16, 128, 181, 255}},
        {30, {0, 1, 64, 128, 255}, {0, 40, 161, 203, 255}},
        {1, {0, 1, 64, 128, 255}, {0, 0, 0, 0, 255}},
        {-5, {0, 1, 64, 128, 255}, {0, 0, 0, 0, 255}},  // clamped to 1
    };
    for (const Case& c : cases) {
        Image in = uniform(5, 1, 0);
        for (int i = 0; i < 5; ++i) in.pixels[i] = bgr(c.levels[i], c.levels[i], c.levels[i]);
        const Image out = applied(in, [&](HLQMEM dib) { return rv::RVGamma(dib, c.value); });
        for (int i = 0; i < 5; ++i) EXPECT_EQ(red(out.pixels[i]), c.expected[i]) << "value " << c.value << " level " << c.levels[i];
    }
}

TEST(Gamma, MatchesImageMagickWithinOneLevel) {
    Image ramp = uniform(256, 1, 0);
    for (int v = 0; v < 256; ++v) ramp.pixels[v] = bgr(v, 255 - v, v / 2);
    for (int value : {15, 22, 50}) {
        const Image ours = applied(ramp, [&](HLQMEM dib) { return rv::RVGamma(dib, value); });
        const Image peer = magick(ramp, "-gamma " + std::to_string(value / 10.0));
        ASSERT_EQ(peer.pixels.size(), ours.pixels.size());
        for (std::size_t i = 0; i < ours.pixels.size(); ++i)
            for (auto part : {red, green, blue})
                ASSERT_LE(std::abs(part(ours.pixels[i]) - part(peer.pixels[i])), 1) << "gamma " << value << " pixel " << i;
    }
}

TEST(PointOps, PaletteImagesChangeOnlyTheirColourTable) {
    const Image input = paletteNoise(13, 5, 8, 7);
    const auto enhance = [](HLQMEM dib) { return rv::Enhance(dib, {}, 12, 30, 7, 40, -10); };
    const auto gamma = [](HLQMEM dib) { return rv::RVGamma(dib, 25); };
    const auto bright = [](HLQMEM dib) { return rv::RVBrightness(dib, -70); };
    const auto gray = [](HLQMEM dib) { return rv::GrayArea(dib, {}, {}); };
    for (const auto& op : std::initializer_list<HLQMEM (*)(HLQMEM)>{enhance, gamma, bright, gray}) {
        const Image out = applied(input, op);
        EXPECT_EQ(out.bits, 8);
        EXPECT_EQ(out.pixels, input.pixels);
        EXPECT_EQ(toColors(out), applied(toColors(input), op));
    }
}

TEST(GrayArea, WholeImageUsesRec601Luma) {
    Image in = uniform(5, 1, 0);
    in.pixels = {bgr(255, 0, 0), bgr(0, 255, 0), bgr(0, 0, 255), bgr(255, 255, 255), bgr(10, 200, 30)};
    const Image out = applied(in, [](HLQMEM dib) { return rv::GrayArea(dib, {}, {}); });
    const std::array<int, 5> expected = {76, 150, 29, 255, 124};  // (19595 R + 38470 G + 7471 B + 32768) >> 16
    for (int i = 0; i < 5; ++i) EXPECT_EQ(out.pixels[i], bgr(expected[i], expected[i], expected[i])) << i;
}

TEST(GrayArea, MatchesImageMagickRec601Luma) {
    const Image input = noise(40, 30, 3);
    const Image ours = applied(input, [](HLQMEM dib) { return rv::GrayArea(dib, {}, {}); });
    const Image peer = magick(input, "-grayscale Rec601Luma -type TrueColor");
    ASSERT_EQ(peer.pixels.size(), ours.pixels.size());
    for (std::size_t i = 0; i < ours.pixels.size(); ++i)
        ASSERT_LE(std::abs(red(ours.pixels[i]) - red(peer.pixels[i])), 1) << "pixel " << i;
}

TEST(GrayArea, AreaChangesOnlyItsPixels) {
    struct Case { rv::RVRect area; };
    const Case cases[] = {{{2, 1, 5, 3}}, {{0, 0, 1, 1}}, {{6, 3, 7, 4}}, {{0, 0, 7, 4}}};
    const Image colours = noise(7, 4, 5);
    const Image palette = paletteNoise(7, 4, 4, 5);
    for (const Image& input : {colours, palette}) {
        const Image grey = applied(toColors(input), [](HLQMEM dib) { return rv::GrayArea(dib, {}, {}); });
        for (const Case& c : cases) {
            const Image out = applied(input, [&](HLQMEM dib) { return rv::GrayArea(dib, {}, c.area); });
            ASSERT_EQ(out.bits, 24);
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 7; ++x) {
                    const bool inside = x >= c.area.left && x < c.area.right && y >= c.area.top && y < c.area.bottom;
                    EXPECT_EQ(out.at(x, y), inside ? grey.at(x, y) : toColors(input).at(x, y)) << x << "," << y;
                }
        }
    }
}

TEST(GrayArea, AreaPastTheImageIsRefused) {
    lqp::MemOwner src(makeDib(noise(7, 4, 5)));
    for (const rv::RVRect area : {rv::RVRect{-1, 0, 3, 3}, rv::RVRect{0, -1, 3, 3}, rv::RVRect{5, 0, 8, 2}, rv::RVRect{0, 2, 3, 5}}) {
        EXPECT_EQ(rv::GrayArea(src.get(), {}, area), nullptr);
        EXPECT_EQ(rv::RVLastErrorCode(), rv::kRVErrBadArgument);
    }
}

TEST(Invert, InvertsInPlaceAndTwiceRestores) {
    for (const Image& input : {noise(9, 4, 2), paletteNoise(9, 4, 1, 2), paletteNoise(9, 4, 4, 3)}) {
        lqp::MemOwner dib(makeDib(input));
        const std::vector<std::uint8_t> before = blockBytes(dib.get());
        ASSERT_EQ(rv::RVInvert(dib.get()), 1);
        EXPECT_EQ(rv::RVCurrentOperation(), "Inverting Image");
        const Image once = readDib(dib.get());
        if (input.bits <= 8) {
            EXPECT_EQ(once.pixels, input.pixels) << "palette images keep their indices";
        }
        const Image colours = toColors(once), original = toColors(input);
        for (std::size_t i = 0; i < once.pixels.size(); ++i) EXPECT_EQ(colours.pixels[i], ~original.pixels[i] & 0xFFFFFFu);
        ASSERT_EQ(rv::RVInvert(dib.get()), 1);
        EXPECT_EQ(blockBytes(dib.get()), before);
    }
}

TEST(Invert, MatchesImageMagickNegate) {
    const Image input = noise(23, 7, 9);
    lqp::MemOwner dib(makeDib(input));
    ASSERT_EQ(rv::RVInvert(dib.get()), 1);
    EXPECT_EQ(readDib(dib.get()), magick(input, "-negate"));
}

}  // namespace
