// Device bitmaps, palettes, memory contexts, the stretch call and the fetch call.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "platform/Dib.h"
#include "platform/Gdi.h"
#include "platform/LastError.h"
#include "tests/platform/GdiTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

using lqp::ColorRef;
using lqp::rgb;
using lqtest::PackedDib;

TEST(GdiHandles, BadFreedAndWrongKindHandlesAreErrorsNotCrashes) {
    lqtest::GdiLeakCheck leaks;
    HLQBITMAP b = lqCreateBitmap(4, 4, 24);
    ASSERT_NE(b, nullptr);
    HLQPALETTE wrongKind = reinterpret_cast<HLQPALETTE>(b);
    lqSetLastError(0);
    EXPECT_EQ(lqGetPaletteEntries(wrongKind, 0, 0, nullptr), 0u);
    EXPECT_EQ(lqGetLastError(), kLqErrInvalidHandle);
    EXPECT_TRUE(lqDeleteBitmap(b));
    lqSetLastError(0);
    LqBitmapInfo info{};
    EXPECT_FALSE(lqGetBitmapInfo(b, &info));
    EXPECT_EQ(lqGetLastError(), kLqErrInvalidHandle);
    EXPECT_FALSE(lqDeleteBitmap(b));
    EXPECT_FALSE(lqDeleteBitmap(reinterpret_cast<HLQBITMAP>(std::uintptr_t(0xDEADBEEF))));
    EXPECT_EQ(lqSelectBitmap(nullptr, nullptr), nullptr);
    EXPECT_EQ(lqCreateCompatibleDC(reinterpret_cast<HLQDC>(std::uintptr_t(12345678))), nullptr);
    EXPECT_EQ(lqStretchDIBits(nullptr, 0, 0, 1, 1, 0, 0, 1, 1, nullptr, 0, kLqSrcCopy), 0);
}

TEST(GdiHandles, SelectedObjectsCannotBeDeletedOrSharedAndLiveObjectsAreCounted) {
    const std::size_t before = lqGdiLiveObjects();
    HLQDC dc = lqCreateCompatibleDC(nullptr);
    HLQDC other = lqCreateCompatibleDC(dc);
    HLQBITMAP b = lqCreateCompatibleBitmap(dc, 8, 8);
    const LqPaletteEntry entries[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    HLQPALETTE pal = lqCreatePalette(entries, 2);
    ASSERT_TRUE(dc && other && b && pal);
    EXPECT_EQ(lqGdiLiveObjects(), before + 4);

    HLQBITMAP stock = lqSelectBitmap(dc, b);
    ASSERT_NE(stock, nullptr);
    LqBitmapInfo info{};
    ASSERT_TRUE(lqGetBitmapInfo(stock, &info));
    EXPECT_EQ(info.width, 1);
    EXPECT_EQ(info.bitCount, 1);
    EXPECT_EQ(lqSelectBitmap(other, b), nullptr);  // one context at a time
    EXPECT_EQ(lqGetLastError(), kLqErrBusy);
    EXPECT_EQ(lqSelectPalette(dc, pal, false), nullptr);  // no palette before
    EXPECT_EQ(lqRealizePalette(dc), 2u);

    EXPECT_FALSE(lqDeleteBitmap(b));
    EXPECT_EQ(lqGetLastError(), kLqErrBusy);
    EXPECT_FALSE(lqDeletePalette(pal));
    EXPECT_EQ(lqSelectBitmap(dc, stock), b);
    EXPECT_TRUE(lqDeleteBitmap(b));
    EXPECT_TRUE(lqDeleteBitmap(stock));  // stock objects stay
    EXPECT_TRUE(lqGetBitmapInfo(stock, &info));

    EXPECT_TRUE(lqDeleteDC(dc));  // frees the palette's selection
    EXPECT_TRUE(lqDeletePalette(pal));
    EXPECT_TRUE(lqDeleteDC(other));
    EXPECT_EQ(lqGdiLiveObjects(), before);
}

TEST(GdiBitmaps, SizeAndDepthLimits) {
    lqtest::GdiLeakCheck leaks;
    struct Case { std::int32_t w, h; int bits; bool ok; };
    const Case cases[] = {{1, 1, 1, true},         {32767, 1, 24, true}, {0, 5, 24, false}, {5, -1, 24, false},
                          {32768, 1, 24, false},   {4, 4, 8, false},     {4, 4, 32, false}, {1, 32767, 1, true}};
    for (const Case& c : cases) {
        HLQBITMAP b = lqCreateBitmap(c.w, c.h, c.bits);
        EXPECT_EQ(b != nullptr, c.ok) << c.w << "x" << c.h << "x" << c.bits;
        if (!b) {
            EXPECT_EQ(lqGetLastError(), kLqErrInvalidParameter);
            continue;
        }
        LqBitmapInfo info{};
        ASSERT_TRUE(lqGetBitmapInfo(b, &info));
        EXPECT_EQ(info.width, c.w);
        EXPECT_EQ(info.height, c.h);
        EXPECT_EQ(info.bitCount, c.bits);
        lqDeleteBitmap(b);
    }
    // From a DIB header: the header's size, the device's depth.
    PackedDib header(300, 200, 8);
    HLQBITMAP b = lqCreateDIBitmap(nullptr, header.data());
    LqBitmapInfo info{};
    ASSERT_TRUE(lqGetBitmapInfo(b, &info));
    EXPECT_EQ(info.width, 300);
    EXPECT_EQ(info.height, 200);
    EXPECT_EQ(info.bitCount, kLqScreenDepth);
    lqDeleteBitmap(b);
    EXPECT_EQ(lqGetDeviceDepth(nullptr), 0);
}

TEST(GdiStretch, OneToOneRoundTripKeepsEveryDepthAndTheRowOrder) {
    lqtest::GdiLeakCheck leaks;
    std::mt19937 rng(7);
    for (int bits : {1, 4, 8, 24, 32}) {
        PackedDib src(13, 7, bits);
        src.randomize(rng);
        lqtest::MemoryBitmap target(13, 7, 24);
        EXPECT_EQ(lqStretchDIBits(target.dc, 0, 0, 13, 7, 0, 0, 13, 7, src.data(), src.size(), kLqSrcCopy), 7);
        PackedDib out(13, 7, 24);
        ASSERT_EQ(lqGetDIBits(nullptr, target.bitmap, 0, 7, out.data(), out.size()), 7);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 13; ++x) ASSERT_EQ(out.color(x, y), src.color(x, y)) << bits << " bits at " << x << "," << y;
    }
}

TEST(GdiStretch, SourceRectangleCountsFromTheBottomRow) {
    lqtest::GdiLeakCheck leaks;
    PackedDib src(4, 4, 24);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) src.setColor(x, y, rgb(std::uint8_t(x * 60), std::uint8_t(y * 60), 9));
    lqtest::MemoryBitmap target(2, 2, 24);
    // Stored rows 0 and 1 are the bottom two rows of the picture (y 3 and 2 from the top).
    ASSERT_EQ(lqStretchDIBits(target.dc, 0, 0, 2, 2, 1, 0, 2, 2, src.data(), src.size(), kLqSrcCopy), 2);
    PackedDib out(2, 2, 24);
    ASSERT_EQ(lqGetDIBits(nullptr, target.bitmap, 0, 2, out.data(), out.size()), 2);
    EXPECT_EQ(out.color(0, 0), src.color(1, 2));
    EXPECT_EQ(out.color(1, 1), src.color(2, 3));
}

TEST(GdiStretch, ShrinkingFollowsTheStretchMode) {
    lqtest::GdiLeakCheck leaks;
    // White picture, every fourth column black: shrunk to a quarter of its width.
    PackedDib src(16, 2, 24);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 16; ++x) src.setColor(x, y, x % 4 == 1 ? rgb(0, 0, 0) : rgb(255, 255, 255));
    struct Case { int mode; ColorRef expected; };
    const Case cases[] = {{kLqStretchBlackOnWhite, rgb(0, 0, 0)},
                          {kLqStretchWhiteOnBlack, rgb(255, 255, 255)},
                          {kLqStretchHalftone, rgb(191, 191, 191)}};
    for (const Case& c : cases) {
        lqtest::MemoryBitmap target(4, 2, 24);
        lqSetStretchBltMode(target.dc, c.mode);
        ASSERT_EQ(lqStretchDIBits(target.dc, 0, 0, 4, 2, 0, 0, 16, 2, src.data(), src.size(), kLqSrcCopy), 2);
        PackedDib out(4, 2, 24);
        lqGetDIBits(nullptr, target.bitmap, 0, 2, out.data(), out.size());
        for (int x = 0; x < 4; ++x) EXPECT_EQ(out.color(x, 0), c.expected) << "mode " << c.mode;
    }
}

TEST(GdiStretch, ColorOnColorMatchesPillowNearestResize) {
    lqtest::GdiLeakCheck leaks;
    lqtest::TempDir dir;
    std::mt19937 rng(11);
    PackedDib src(37, 23, 24);
    src.randomize(rng);
    lqtest::writeFile(dir.file("src.bmp"), src.bmpFile());
    const struct { int w, h; } sizes[] = {{50, 17}, {11, 40}, {74, 46}};
    for (auto s : sizes) {
        const std::string script = "from PIL import Image\n"
                                   "im = Image.open('" + dir.file("src.bmp") + "').convert('RGB')\n"
                                   "im.resize((" + std::to_string(s.w) + "," + std::to_string(s.h) +
                                   "), Image.NEAREST).save('" + dir.file("out.bmp") + "')\n";
        const auto r = lqtest::runPython(script);
        ASSERT_EQ(r.exitCode, 0) << r.output;
        const PackedDib expected = PackedDib::fromBmpFile(lqtest::readFile(dir.file("out.bmp")));

        lqtest::MemoryBitmap target(s.w, s.h, 24);
        lqSetStretchBltMode(target.dc, kLqStretchColorOnColor);
        ASSERT_EQ(lqStretchDIBits(target.dc, 0, 0, s.w, s.h, 0, 0, 37, 23, src.data(), src.size(), kLqSrcCopy), 23);
        PackedDib out(s.w, s.h, 24);
        lqGetDIBits(nullptr, target.bitmap, 0, std::uint32_t(s.h), out.data(), out.size());
        int differences = 0;
        for (int y = 0; y < s.h; ++y)
            for (int x = 0; x < s.w; ++x) differences += out.color(x, y) != expected.color(x, y);
        EXPECT_EQ(differences, 0) << s.w << "x" << s.h;
    }
}

TEST(GdiStretch, MonochromeTargetsTakeTheNearestOfBlackAndWhite) {
    lqtest::GdiLeakCheck leaks;
    std::mt19937 rng(3);
    PackedDib src(21, 5, 1);
    src.randomize(rng);
    src.setTable({rgb(255, 255, 255), rgb(0, 0, 0)});  // index 0 white: the bits must invert
    lqtest::MemoryBitmap target(21, 5, 1);
    ASSERT_EQ(lqStretchDIBits(target.dc, 0, 0, 21, 5, 0, 0, 21, 5, src.data(), src.size(), kLqSrcCopy), 5);
    PackedDib out(21, 5, 1);
    ASSERT_EQ(lqGetDIBits(nullptr, target.bitmap, 0, 5, out.data(), out.size()), 5);
    EXPECT_EQ(out.tableEntry(0), rgb(0, 0, 0));
    EXPECT_EQ(out.tableEntry(1), rgb(255, 255, 255));
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 21; ++x) {
            ASSERT_EQ(out.color(x, y), src.color(x, y));
            ASSERT_NE(out.index(x, y), src.index(x, y));
        }
    // Greys go to their nearer end.
    PackedDib grey(2, 1, 24);
    grey.setColor(0, 0, rgb(100, 100, 100));
    grey.setColor(1, 0, rgb(160, 160, 160));
    lqtest::MemoryBitmap mono(2, 1, 1);
    lqStretchDIBits(mono.dc, 0, 0, 2, 1, 0, 0, 2, 1, grey.data(), grey.size(), kLqSrcCopy);
    PackedDib greyOut(2, 1, 24);
    lqGetDIBits(nullptr, mono.bitmap, 0, 1, greyOut.data(), greyOut.size());
    EXPECT_EQ(greyOut.color(0, 0), rgb(0, 0, 0));
    EXPECT_EQ(greyOut.color(1, 0), rgb(255, 255, 255));
}

TEST(GdiFetch, PaletteOfTheContextIsTheColourTableAndPixelsTakeTheNearestEntry) {
    lqtest::GdiLeakCheck leaks;
    PackedDib src(3, 1, 24);
    src.setColor(0, 0, rgb(250, 5, 5));
    src.setColor(1, 0, rgb(0, 0, 200));
    src.setColor(2, 0, rgb(10, 240, 20));
    lqtest::MemoryBitmap target(3, 1, 24);
    lqStretchDIBits(target.dc, 0, 0, 3, 1, 0, 0, 3, 1, src.data(), src.size(), kLqSrcCopy);

    const LqPaletteEntry entries[4] = {{0, 0, 0, 0}, {255, 0, 0, 0}, {0, 255, 0, 0}, {0, 0, 255, 0}};
    HLQPALETTE pal = lqCreatePalette(entries, 4);
    HLQDC screen = lqCreateCompatibleDC(nullptr);
    lqSelectPalette(screen, pal, false);
    lqRealizePalette(screen);
    PackedDib out(3, 1, 8);
    ASSERT_EQ(lqGetDIBits(screen, target.bitmap, 0, 1, out.data(), out.size()), 1);
    EXPECT_EQ(out.tableEntry(1), rgb(255, 0, 0));
    EXPECT_EQ(out.tableEntry(4), rgb(0, 0, 0));  // past the palette: black
    EXPECT_EQ(out.index(0, 0), 1);
    EXPECT_EQ(out.index(1, 0), 3);
    EXPECT_EQ(out.index(2, 0), 2);
    EXPECT_EQ(lqSelectPalette(screen, nullptr, false), pal);  // back to no palette
    EXPECT_TRUE(lqDeletePalette(pal));
    lqDeleteDC(screen);

    // Without a palette: the 16 standard colours.
    PackedDib four(3, 1, 4);
    ASSERT_EQ(lqGetDIBits(nullptr, target.bitmap, 0, 1, four.data(), four.size()), 1);
    EXPECT_EQ(four.tableEntry(9), rgb(255, 0, 0));
    EXPECT_EQ(four.color(0, 0), rgb(255, 0, 0));
    EXPECT_EQ(four.color(2, 0), rgb(0, 255, 0));
}

TEST(GdiTransfer, HostileArgumentsFailAndLeaveTheBitmapAlone) {
    lqtest::GdiLeakCheck leaks;
    lqtest::MemoryBitmap target(4, 4, 24);
    PackedDib src(4, 4, 8);
    auto stretch = [&](const std::vector<std::uint8_t>& dib, std::int32_t xs, std::int32_t ys, std::int32_t ws,
                       std::int32_t hs, std::uint32_t rop = kLqSrcCopy) {
        return lqStretchDIBits(target.dc, 0, 0, 4, 4, xs, ys, ws, hs, dib.data(), dib.size(), rop);
    };
    std::vector<std::uint8_t> truncated(src.bytes().begin(), src.bytes().end() - 1);
    std::vector<std::uint8_t> rle = src.bytes();
    rle[16] = 1;
    std::vector<std::uint8_t> tooManyColors = src.bytes();
    tooManyColors[32] = 1;
    tooManyColors[33] = 1;  // 257 colours
    EXPECT_EQ(stretch(truncated, 0, 0, 4, 4), 0);
    EXPECT_EQ(stretch(rle, 0, 0, 4, 4), 0);
    EXPECT_EQ(stretch(tooManyColors, 0, 0, 4, 4), 0);
    EXPECT_EQ(stretch(src.bytes(), 1, 0, 4, 4), 0);
    EXPECT_EQ(stretch(src.bytes(), 0, -1, 4, 4), 0);
    EXPECT_EQ(stretch(src.bytes(), 0, 0, 0, 4), 0);
    EXPECT_EQ(stretch(src.bytes(), 0, 0, 4, 4, 0x00EE0086), 0);
    EXPECT_EQ(lqStretchDIBits(target.dc, 0, 0, 4, 4, 0, 0, 4, 4, nullptr, 0, kLqSrcCopy), 0);
    // Destinations far outside the bitmap are clipped, not written.
    EXPECT_EQ(lqStretchDIBits(target.dc, -2000000000, 2000000000, 2000000000, 100, 0, 0, 4, 4, src.data(),
                              src.size(), kLqSrcCopy), 4);

    PackedDib out(4, 4, 24);
    std::vector<std::uint8_t> small(out.size() - 1);
    std::copy(out.bytes().begin(), out.bytes().begin() + 40, small.begin());
    EXPECT_EQ(lqGetDIBits(nullptr, target.bitmap, 0, 4, small.data(), small.size()), 0);
    PackedDib wrongWidth(5, 4, 24);
    EXPECT_EQ(lqGetDIBits(nullptr, target.bitmap, 0, 4, wrongWidth.data(), wrongWidth.size()), 0);
    EXPECT_EQ(lqGetDIBits(nullptr, target.bitmap, 4, 1, out.data(), out.size()), 0);
    EXPECT_EQ(lqGetDIBits(nullptr, target.bitmap, 3, 10, out.data(), out.size()), 1);  // clipped to the top
    ASSERT_EQ(lqGetDIBits(nullptr, target.bitmap, 0, 4, out.data(), out.size()), 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(out.color(x, y), rgb(0, 0, 0));
}

}  // namespace
