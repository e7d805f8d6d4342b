// Crop and resize: rectangles at the borders, refused rectangles and sizes, and the value of
// each merge mode on small fixtures.
#include <gtest/gtest.h>

#include <cstdlib>

#include "rastervane/effects/RVEffects.h"
#include "tests/effects/EffectsTestSupport.h"

namespace {

using namespace fxtest;

struct Rect {
    int left, top, right, bottom;  // right and bottom inclusive
};

Image copied(const Image& input, int width, int height, rv::BWCopyFlags flags, Rect r) {
    lqp::MemOwner src(makeDib(input));
    lqp::MemOwner out(rv::RVImageCopy(src.get(), width, height, flags, r.left, r.top, r.right, r.bottom));
    EXPECT_TRUE(out) << rv::RVLastErrorText();
    return out ? readDib(out.get()) : Image{};
}

Image cropOf(const Image& in, Rect r) {
    Image out = uniform(r.right - r.left + 1, r.bottom - r.top + 1, 0);
    out.bits = in.bits;
    out.palette = in.palette;
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) out.pixels[std::size_t(y) * out.width + x] = in.at(r.left + x, r.top + y);
    return out;
}

Image row(std::initializer_list<std::uint32_t> pixels, int bits = 24, std::vector<std::uint32_t> palette = {}) {
    Image im = uniform(int(pixels.size()), 1, 0);
    im.pixels = pixels;
    im.bits = bits;
    im.palette = std::move(palette);
    return im;
}

std::uint32_t grey(int v) { return bgr(std::uint8_t(v), std::uint8_t(v), std::uint8_t(v)); }

TEST(ImageCopy, CopyAtOwnSizeIsAnExactCropAtEveryDepth) {
    const Rect rects[] = {{0, 0, 6, 4}, {0, 0, 0, 0}, {6, 4, 6, 4}, {2, 1, 5, 3}, {0, 4, 6, 4}, {6, 0, 6, 4}};
    for (const Image& input : {noise(7, 5, 1), paletteNoise(7, 5, 1, 2), paletteNoise(7, 5, 4, 3), paletteNoise(7, 5, 8, 4)}) {
        for (const Rect& r : rects) {
            for (rv::BWCopyFlags flags : {0u, unsigned(rv::C_DEL), unsigned(rv::C_AND), unsigned(rv::C_ANTIALIAS256)}) {
                EXPECT_EQ(copied(input, r.right - r.left + 1, r.bottom - r.top + 1, flags, r), cropOf(input, r))
                    << input.bits << " bits, rect " << r.left << "," << r.top << "," << r.right << "," << r.bottom << " flags " << flags;
            }
        }
    }
}

TEST(ImageCopy, RectanglesPastTheImageAndEmptySizesAreRefused) {
    struct Case { Rect r; int width, height; int code; };
    const Case cases[] = {
        {{-1, 0, 3, 3}, 4, 4, rv::kRVErrBadArgument},  {{0, -1, 3, 3}, 4, 4, rv::kRVErrBadArgument},
        {{0, 0, 7, 4}, 8, 5, rv::kRVErrBadArgument},   {{0, 0, 6, 5}, 7, 6, rv::kRVErrBadArgument},
        {{3, 0, 2, 4}, 1, 1, rv::kRVErrBadArgument},   {{0, 3, 6, 2}, 1, 1, rv::kRVErrBadArgument},
        {{0, 0, 6, 4}, 0, 5, rv::kRVErrBadArgument},   {{0, 0, 6, 4}, 7, -1, rv::kRVErrBadArgument},
        {{0, 0, 6, 4}, 1 << 20, 1 << 20, rv::kRVErrTooLarge},
    };
    lqp::MemOwner src(makeDib(noise(7, 5, 1)));
    const auto before = blockBytes(src.get());
    for (const Case& c : cases) {
        EXPECT_EQ(rv::RVImageCopy(src.get(), c.width, c.height, rv::C_DEL, c.r.left, c.r.top, c.r.right, c.r.bottom), nullptr);
        EXPECT_EQ(rv::RVLastErrorCode(), c.code) << c.r.left << "," << c.r.top << "," << c.r.right << "," << c.r.bottom;
    }
    EXPECT_EQ(blockBytes(src.get()), before);
}

TEST(ImageCopy, NearestKeepsOnePixelAndScalesTheResolution) {
    Image in = uniform(2, 2, 0);
    in.pixels = {grey(1), grey(2), grey(3), grey(4)};
    Image big = copied(in, 4, 4, rv::C_DEL, {0, 0, 1, 1});
    EXPECT_EQ(big.pixels, (std::vector<std::uint32_t>{grey(1), grey(1), grey(2), grey(2), grey(1), grey(1), grey(2), grey(2),
                                                      grey(3), grey(3), grey(4), grey(4), grey(3), grey(3), grey(4), grey(4)}));
    EXPECT_EQ(big.ppmX, 2 * 2953);
    EXPECT_EQ(big.ppmY, 2 * 2953);
    // Shrinking keeps the pixel under each destination centre.
    EXPECT_EQ(copied(row({grey(10), grey(20), grey(30), grey(40)}), 2, 1, 0, {0, 0, 3, 0}).pixels,
              (std::vector<std::uint32_t>{grey(20), grey(40)}));
    const Image palette = paletteNoise(9, 4, 8, 5);
    const Image small = copied(palette, 3, 2, rv::C_DEL, {0, 0, 8, 3});
    EXPECT_EQ(small.bits, 8);
    EXPECT_EQ(small.palette, palette.palette);
}

TEST(ImageCopy, AndOrFoldTheMergedPixels) {
    const std::vector<std::uint32_t> bw = {0x000000, 0xFFFFFF};
    struct Case { rv::BWCopyFlags flags; Image input; std::vector<std::uint32_t> expected; };
    const Case cases[] = {
        {rv::C_AND, row({1, 0, 1, 1, 0, 0}, 1, bw), {0, 1, 0}},
        {rv::C_OR, row({1, 0, 1, 1, 0, 0}, 1, bw), {1, 1, 0}},
        {rv::C_AND | rv::C_OR, row({1, 0, 1, 1, 0, 0}, 1, bw), {0, 1, 0}},  // AND counts first
        {rv::C_AND, row({0x0F0F0F, 0x3C3C3C, 0xFFFFFF}), {0x0C0C0C}},
        {rv::C_OR, row({0x0F0F0F, 0x3C3C3C, 0x000000}), {0x3F3F3F}},
    };
    for (const Case& c : cases) {
        const Image out = copied(c.input, int(c.expected.size()), 1, c.flags, {0, 0, c.input.width - 1, 0});
        EXPECT_EQ(out.bits, c.input.bits);
        EXPECT_EQ(out.pixels, c.expected) << "flags " << c.flags;
    }
}

TEST(ImageCopy, AntialiasAveragesWhenShrinkingAndInterpolatesWhenEnlarging) {
    struct Case { Image input; int width; std::vector<std::uint32_t> expected; };
    const Case cases[] = {
        {row({grey(0), grey(90), grey(180)}), 2, {grey(30), grey(150)}},            // spans of 1.5 pixels
        {row({grey(10), grey(21)}), 1, {grey(16)}},                                  // 15.5 rounds up
        {row({grey(0), grey(100)}), 4, {grey(0), grey(25), grey(75), grey(100)}},    // centres at -0.25 .. 1.25
        {row({bgr(255, 0, 0), bgr(0, 0, 255)}), 1, {bgr(128, 0, 128)}},
    };
    for (const Case& c : cases) {
        for (rv::BWCopyFlags flags : {unsigned(rv::C_ANTIALIAS), unsigned(rv::C_ANTIALIAS256), rv::C_ANTIALIAS | rv::C_DEL}) {
            const Image out = copied(c.input, c.width, 1, flags, {0, 0, c.input.width - 1, 0});
            EXPECT_EQ(out.pixels, c.expected) << c.input.width << " to " << c.width;
        }
    }
}

TEST(ImageCopy, AntialiasShrinkMatchesImageMagickScale) {
    const Image input = noise(40, 30, 8);
    const Image ours = copied(input, 20, 15, rv::C_ANTIALIAS, {0, 0, 39, 29});
    const Image peer = magick(input, "-scale 50%");
    ASSERT_EQ(peer.pixels.size(), ours.pixels.size());
    for (std::size_t i = 0; i < ours.pixels.size(); ++i)
        for (auto part : {red, green, blue}) ASSERT_LE(std::abs(part(ours.pixels[i]) - part(peer.pixels[i])), 1) << i;
}

TEST(ImageCopy, AntialiasedBlackAndWhiteBecomesShadesBetweenItsTwoColours) {
    // Left half colour 1, right half colour 0: one pixel of half coverage.
    Image in = uniform(4, 4, 0);
    in.bits = 1;
    in.palette = {bgr(0, 0, 100), bgr(200, 255, 0)};
    for (int y = 0; y < 4; ++y) in.pixels[std::size_t(y) * 4] = in.pixels[std::size_t(y) * 4 + 1] = 1;
    struct Case { rv::BWCopyFlags flags; int bits; std::uint32_t index; };
    for (const Case& c : {Case{rv::C_ANTIALIAS, 4, 8}, Case{rv::C_ANTIALIAS256, 8, 128}}) {
        const Image out = copied(in, 1, 1, c.flags, {0, 0, 3, 3});
        ASSERT_EQ(out.bits, c.bits);
        EXPECT_EQ(out.pixels[0], c.index);
        EXPECT_EQ(out.palette.front(), in.palette[0]);
        EXPECT_EQ(out.palette.back(), in.palette[1]);
        EXPECT_EQ(out.ppmX, 738);  // 2953 / 4 = 738.25
    }
}

TEST(ImageCopy, PaletteImagesAveragedBecome24Bits) {
    const Image input = paletteNoise(6, 4, 4, 9);
    const Image out = copied(input, 3, 2, rv::C_ANTIALIAS, {0, 0, 5, 3});
    EXPECT_EQ(out.bits, 24);
    EXPECT_EQ(out, copied(toColors(input), 3, 2, rv::C_ANTIALIAS, {0, 0, 5, 3}));
}

}  // namespace
