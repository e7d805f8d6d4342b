// Mirroring and rotation: exact pixel permutations at every depth, ImageMagick's flip, flop
// and rotate, and the size and back colour of arbitrary angles.
#include <gtest/gtest.h>

#include <cmath>

#include "rastervane/effects/RVEffects.h"
#include "tests/effects/EffectsTestSupport.h"

namespace {

using namespace fxtest;

// Odd widths put the last pixel of 1- and 4-bit rows in the middle of a byte.
std::vector<Image> everyDepth() {
    return {noise(7, 5, 11), paletteNoise(13, 6, 1, 12), paletteNoise(7, 3, 4, 13), paletteNoise(5, 9, 8, 14)};
}

// The image turned counter-clockwise by quarter turns, pixel by pixel.
Image turned(const Image& in, int quarters) {
    Image out = in;
    for (int q = 0; q < ((quarters % 4) + 4) % 4; ++q) {
        Image next = out;
        std::swap(next.width, next.height);
        std::swap(next.ppmX, next.ppmY);
        for (int y = 0; y < next.height; ++y)
            for (int x = 0; x < next.width; ++x) next.pixels[std::size_t(y) * next.width + x] = out.at(out.width - 1 - y, x);
        out = next;
    }
    return out;
}

Image mirrored(const Image& in, bool horizontal, bool vertical) {
    Image out = in;
    for (int y = 0; y < in.height; ++y)
        for (int x = 0; x < in.width; ++x)
            out.pixels[std::size_t(y) * in.width + x] = in.at(horizontal ? in.width - 1 - x : x, vertical ? in.height - 1 - y : y);
    return out;
}

Image rotatedInPlace(const Image& input, double angle, lqp::ColorRef back = 0) {
    lqp::MemOwner dib(makeDib(input));
    EXPECT_EQ(rv::RVRotate(dib.get(), angle, back), 1) << rv::RVLastErrorText();
    return readDib(dib.get());
}

Image mirrorOf(const Image& input, bool horizontal, bool vertical) {
    lqp::MemOwner dib(makeDib(input));
    lqp::MemOwner out(rv::RVMirror(dib.get(), horizontal, vertical));
    EXPECT_TRUE(out);
    return out ? readDib(out.get()) : Image{};
}

TEST(Mirror, PermutesPixelsAtEveryDepth) {
    for (const Image& input : everyDepth()) {
        for (bool h : {false, true})
            for (bool v : {false, true}) {
                const Image once = mirrorOf(input, h, v);
                EXPECT_EQ(once, mirrored(input, h, v)) << input.bits << " bits, h " << h << " v " << v;
                EXPECT_EQ(mirrorOf(once, h, v), input) << "twice is the identity";
            }
    }
}

TEST(Mirror, MatchesImageMagickFlopAndFlip) {
    const Image input = noise(17, 6, 21);
    EXPECT_EQ(mirrorOf(input, true, false), magick(input, "-flop"));
    EXPECT_EQ(mirrorOf(input, false, true), magick(input, "-flip"));
}

TEST(Rotate, QuarterTurnsPermutePixelsAtEveryDepth) {
    struct Case { double angle; int quarters; };
    const Case cases[] = {{90, 1}, {180, 2}, {270, 3}, {-90, 3}, {-270, 1}, {450, 1}, {-180, 2}, {720, 0}, {0, 0}};
    for (const Image& input : everyDepth()) {
        for (const Case& c : cases) EXPECT_EQ(rotatedInPlace(input, c.angle), turned(input, c.quarters)) << input.bits << " bits, " << c.angle;
    }
}

TEST(Rotate, NoTurnLeavesTheBlockAsItWas) {
    lqp::MemOwner dib(makeDib(noise(6, 4, 3)));
    const auto before = blockBytes(dib.get());
    ASSERT_EQ(rv::RVRotate(dib.get(), 360, 0), 1);
    EXPECT_EQ(blockBytes(dib.get()), before);
}

TEST(Rotate, MatchesImageMagickRotate) {
    // ImageMagick turns clockwise for positive angles.
    const Image input = noise(9, 4, 22);
    EXPECT_EQ(rotatedInPlace(input, -90), magick(input, "-rotate 90"));
    EXPECT_EQ(rotatedInPlace(input, 90), magick(input, "-rotate 270"));
    EXPECT_EQ(rotatedInPlace(input, 180), magick(input, "-rotate 180"));
}

TEST(Rotate, ArbitraryAnglesTakeTheBoundingBoxAndFillWithTheBackColour) {
    struct Case { int width, height; double angle; int newWidth, newHeight; };
    const Case cases[] = {
        {10, 10, 45, 15, 15},    // 14.14
        {40, 20, 30, 45, 38},    // 44.64 x 37.32
        {40, 20, -30, 45, 38},
        {40, 20, 120, 38, 45},
        {101, 1, 0.5, 102, 2},   // 101.005 x 1.88
        {1, 1, 10, 2, 2},
    };
    const std::uint32_t fill = bgr(200, 30, 10);
    const lqp::ColorRef back = lqp::rgb(0, 0, 255);
    for (const Case& c : cases) {
        const Image out = rotatedInPlace(uniform(c.width, c.height, fill), c.angle, back);
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " by " << c.angle);
        ASSERT_EQ(out.width, c.newWidth);
        ASSERT_EQ(out.height, c.newHeight);
        EXPECT_EQ(out.bits, 24);
        if (c.width > 2 && c.height > 2) {
            EXPECT_EQ(out.at(0, 0), bgr(0, 0, 255));
            EXPECT_EQ(out.at(out.width - 1, out.height - 1), bgr(0, 0, 255));
            EXPECT_EQ(out.at(out.width / 2, out.height / 2), fill) << "inside, every sample is the same colour";
        }
    }
}

TEST(Rotate, PositiveAnglesTurnCounterClockwise) {
    // A red mark right of the centre of a white square moves up for +45 and down for -45.
    Image input = uniform(21, 21, bgr(255, 255, 255));
    for (int y = 9; y <= 11; ++y)
        for (int x = 16; x <= 19; ++x) input.pixels[std::size_t(y) * 21 + x] = bgr(255, 0, 0);
    const Image up = rotatedInPlace(input, 45, lqp::rgb(255, 255, 255));
    const Image down = rotatedInPlace(input, -45, lqp::rgb(255, 255, 255));
    ASSERT_EQ(up.width, 30);
    // The mark's centre (7.5, 0) from the image centre lands at (15 + 5.3, 15 -/+ 5.3).
    EXPECT_EQ(up.at(20, 9), bgr(255, 0, 0));
    EXPECT_EQ(up.at(20, 20), bgr(255, 255, 255));
    EXPECT_EQ(down.at(20, 20), bgr(255, 0, 0));
    EXPECT_EQ(down.at(20, 9), bgr(255, 255, 255));
}

TEST(Rotate, PaletteImagesTurnedByOtherAnglesBecome24Bits) {
    Image input = paletteNoise(8, 8, 4, 30);
    input.pixels.assign(input.pixels.size(), 3);
    const Image out = rotatedInPlace(input, 10, lqp::rgb(1, 2, 3));
    EXPECT_EQ(out.bits, 24);
    EXPECT_EQ(out.at(out.width / 2, out.height / 2), input.palette[3]);
    EXPECT_EQ(out.at(0, 0), bgr(1, 2, 3));
}

TEST(Rotate, BadAngleLeavesTheBlockUnchanged) {
    lqp::MemOwner dib(makeDib(noise(6, 4, 3)));
    const auto before = blockBytes(dib.get());
    for (double angle : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
        EXPECT_EQ(rv::RVRotate(dib.get(), angle, 0), rv::kRVErrBadArgument);
        EXPECT_EQ(blockBytes(dib.get()), before);
    }
}

}  // namespace
