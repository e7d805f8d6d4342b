// Colour reduction: the dithering each mode asks of lqcolor, the colour counts and depths of
// the results, and images that already have few enough colours.
#include <gtest/gtest.h>

#include <set>

#include "rastervane/effects/RVEffects.h"
#include "tests/effects/EffectsTestSupport.h"
#include "tifflib/Color.h"

namespace {

using namespace fxtest;

Image reduced(const Image& input, int colors, rv::TSortDither mode) {
    lqp::MemOwner src(makeDib(input));
    const auto before = blockBytes(src.get());
    lqp::MemOwner out(rv::RVReduceColors(src.get(), colors, mode));
    EXPECT_TRUE(out) << rv::RVLastErrorText();
    EXPECT_EQ(blockBytes(src.get()), before);
    return out ? readDib(out.get()) : Image{};
}

std::set<std::uint32_t> distinctColors(const Image& im) {
    const Image colours = toColors(im);
    return {colours.pixels.begin(), colours.pixels.end()};
}

// Smooth colour ramps, so that dithering has something to do.
Image ramps(int width, int height) {
    Image im = uniform(width, height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            im.pixels[std::size_t(y) * width + x] = bgr(std::uint8_t(255 * x / (width - 1)), std::uint8_t(255 * y / (height - 1)), 90);
    return im;
}

TEST(ReduceColors, TwoColoursDitherAsTheModeSays) {
    struct Case { rv::TSortDither mode; short flags; };
    const Case cases[] = {{rv::RV_BAYER, kReduceOrdered}, {rv::RV_BURKES, kReduceBurkes}, {rv::RV_FLOYD, kReduceFloyd}, {rv::RV_GRAYSCALE, 0}};
    const Image input = ramps(40, 24);
    std::set<std::vector<std::uint32_t>> different;
    for (const Case& c : cases) {
        const Image ours = reduced(input, 2, c.mode);
        lqp::MemOwner src(makeDib(input));
        lqp::MemOwner direct(DitherToBW(src.get(), c.flags));
        ASSERT_TRUE(direct);
        EXPECT_EQ(ours, readDib(direct.get())) << "mode " << c.mode;
        EXPECT_EQ(ours.bits, 1);
        different.insert(ours.pixels);
    }
    EXPECT_EQ(different.size(), 4u) << "every mode dithers differently";
}

TEST(ReduceColors, FewDistinctColoursSurviveExactly) {
    // Colours on the 5-bit grid of the median cut come through unchanged.
    Image input = uniform(10, 6, 0);
    const std::uint32_t five[] = {bgr(0, 0, 0), bgr(248, 0, 0), bgr(0, 128, 64), bgr(200, 200, 200), bgr(16, 32, 240)};
    for (std::size_t i = 0; i < input.pixels.size(); ++i) input.pixels[i] = five[(i * 7) % 5];
    for (rv::TSortDither mode : {rv::RV_BAYER, rv::RV_FLOYD}) {
        const Image out = reduced(input, 16, mode);
        EXPECT_EQ(out.bits, 4);
        EXPECT_EQ(toColors(out).pixels, input.pixels) << "mode " << mode;
    }
    EXPECT_EQ(reduced(input, 236, rv::RV_BAYER).bits, 8);
}

TEST(ReduceColors, ResultsHoldAtMostTheCountAndDiffusionChangesThePixels) {
    const Image input = ramps(64, 48);
    for (int colors : {3, 16, 17, 236}) {
        const Image plain = reduced(input, colors, rv::RV_BAYER);
        const Image diffused = reduced(input, colors, rv::RV_FLOYD);
        EXPECT_EQ(plain.bits, colors <= 16 ? 4 : 8);
        EXPECT_LE(distinctColors(plain).size(), std::size_t(colors));
        EXPECT_LE(distinctColors(diffused).size(), std::size_t(colors));
        EXPECT_NE(plain.pixels, diffused.pixels) << colors;
        EXPECT_EQ(reduced(input, colors, rv::RV_BURKES), diffused) << "colour images diffuse the same for both";
    }
}

TEST(ReduceColors, GreyscaleGivesAtMostTheCountOfGreys) {
    for (int colors : {4, 16, 100, 256}) {
        const Image out = reduced(noise(30, 20, 5), colors, rv::RV_GRAYSCALE);
        const std::set<std::uint32_t> greys = distinctColors(out);
        EXPECT_LE(greys.size(), std::size_t(colors));
        for (std::uint32_t c : greys) EXPECT_TRUE(red(c) == green(c) && green(c) == blue(c)) << std::hex << c;
    }
    const Image palette = paletteNoise(9, 5, 4, 6);
    const Image greyPalette = reduced(palette, 236, rv::RV_GRAYSCALE);
    EXPECT_EQ(greyPalette.pixels, palette.pixels) << "a short colour table is greyed in place";
    for (std::uint32_t c : distinctColors(greyPalette)) EXPECT_TRUE(red(c) == green(c) && green(c) == blue(c));
}

TEST(ReduceColors, ImagesWithFewEnoughColoursAreCopied) {
    for (const Image& input : {paletteNoise(9, 5, 1, 1), paletteNoise(9, 5, 4, 2)}) {
        for (rv::TSortDither mode : {rv::RV_BAYER, rv::RV_FLOYD}) EXPECT_EQ(reduced(input, 16, mode), input);
    }
    EXPECT_EQ(reduced(paletteNoise(9, 5, 1, 3), 2, rv::RV_GRAYSCALE).bits, 1);
}

TEST(ReduceColors, CountsOutsideTwoTo256AreRefused) {
    lqp::MemOwner src(makeDib(noise(5, 5, 1)));
    for (int colors : {-1, 0, 1, 257, 100000}) {
        EXPECT_EQ(rv::RVReduceColors(src.get(), colors, rv::RV_FLOYD), nullptr);
        EXPECT_EQ(rv::RVLastErrorCode(), rv::kRVErrBadArgument) << colors;
    }
}

}  // namespace
