// Device bitmaps: reading pages into bitmaps with palettes, writing bitmaps as pages.
#include <gtest/gtest.h>

#include "platform/Gdi.h"
#include "platform/LastError.h"
#include "tests/support/TestSupport.h"
#include "tests/tifflib/DibUtil.h"
#include "tifflib/TifErrors.h"
#include "tifflib/Vellum32.h"

using lqtest::DibCopy;
using lqtest::makeDib;
using lqtest::Rgb;

namespace {

class TiffDdb : public testing::Test {
protected:
    void SetUp() override { gdiBefore_ = lqGdiLiveObjects(); }
    void TearDown() override { EXPECT_EQ(lqGdiLiveObjects(), gdiBefore_); }

    // Writes a DIB as an uncompressed TIFF and frees the DIB.
    std::string tiffOf(HLQMEM dib, const std::string& name) {
        const std::string path = dir_.file(name);
        EXPECT_EQ(writetiffiledib(path.c_str(), 1, short(DibCopy(dib).bits()), 0, dib, 0, nullptr, 0, nullptr), 1);
        lqMemFree(dib);
        return path;
    }
    // The bitmap's pixels at 24 bits.
    static DibCopy pixelsOf(HLQBITMAP bitmap) {
        LqBitmapInfo info{};
        EXPECT_TRUE(lqGetBitmapInfo(bitmap, &info));
        HLQMEM dib = lqp::createDib(info.width, info.height, 24);
        {
            lqp::MemLock lock(dib);
            HLQDC dc = lqCreateCompatibleDC(nullptr);
            EXPECT_EQ(lqGetDIBits(dc, bitmap, 0, std::uint32_t(info.height), lock.data(), lqMemSize(dib)), info.height);
            lqDeleteDC(dc);
        }
        DibCopy copy(dib);
        lqMemFree(dib);
        return copy;
    }

    lqtest::TempDir dir_;
    std::size_t gdiBefore_ = 0;
};

std::uint32_t colourAt(int x, int y) { return std::uint32_t((x * 5 & 255) << 16 | (y * 3 & 255) << 8 | ((x ^ y) & 255)); }

TEST_F(TiffDdb, ReadIntoBitmaps) {
    const std::string rgb = tiffOf(makeDib(50, 30, 24, {}, colourAt), "rgb.tif");
    HLQBITMAP bitmap = nullptr;
    HLQPALETTE palette = reinterpret_cast<HLQPALETTE>(1);
    ASSERT_EQ(readtiffile(rgb.c_str(), 0, 0, 0, 100, &bitmap, &palette, 0, nullptr, 0, nullptr), 1);
    EXPECT_EQ(palette, nullptr);
    const DibCopy px = pixelsOf(bitmap);
    ASSERT_EQ(px.width(), 50);
    ASSERT_EQ(px.height(), 30);
    int differ = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 50; ++x) {
            const std::uint32_t c = colourAt(x, y);
            differ += !(px.color(x, y) == Rgb{std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c)});
        }
    EXPECT_EQ(differ, 0);
    lqDeleteBitmap(bitmap);

    // A palette image brings its palette; a black-and-white page a monochrome bitmap.
    std::vector<std::uint32_t> table;
    for (int i = 0; i < 256; ++i) table.push_back(std::uint32_t(i << 16 | (255 - i)));
    const std::string pal = tiffOf(makeDib(20, 10, 8, table, [](int x, int) { return std::uint32_t(x * 10); }), "pal.tif");
    ASSERT_EQ(readtiffile(pal.c_str(), 0, 0, 0, 100, &bitmap, &palette, 0, nullptr, 0, nullptr), 1);
    ASSERT_NE(palette, nullptr);
    LqPaletteEntry entries[256];
    EXPECT_EQ(GetPalette(palette, entries), 256);
    EXPECT_EQ(entries[3].red, 3);
    EXPECT_EQ(entries[3].blue, 252);
    EXPECT_EQ(pixelsOf(bitmap).color(5, 2), (Rgb{50, 0, 205}));
    lqDeleteBitmap(bitmap);
    lqDeletePalette(palette);
    EXPECT_EQ(GetPalette(nullptr, entries), 0);

    const std::string bw = tiffOf(makeDib(33, 9, 1, {0, 0xFFFFFF}, [](int x, int) { return std::uint32_t(x % 3 == 0); }), "bw.tif");
    ASSERT_EQ(readtiffile(bw.c_str(), 0, 0, 0, 100, &bitmap, &palette, 0, nullptr, 0, nullptr), 1);
    LqBitmapInfo info{};
    ASSERT_TRUE(lqGetBitmapInfo(bitmap, &info));
    EXPECT_EQ(info.bitCount, 1);
    const DibCopy mono = pixelsOf(bitmap);
    for (int x = 0; x < 33; ++x) EXPECT_EQ(mono.color(x, 4).r, x % 3 == 0 ? 255 : 0) << x;
    lqDeleteBitmap(bitmap);
    lqDeletePalette(palette);
}

TEST_F(TiffDdb, LargePagesShrinkInsteadOfFailing) {
    const std::string big = tiffOf(makeDib(3000, 1000, 24, {}, colourAt), "big.tif");
    HLQBITMAP bitmap = nullptr;
    HLQPALETTE palette = nullptr;
    LqBitmapInfo info{};
    ASSERT_EQ(readtiffile(big.c_str(), 0, 0, 0, 100, &bitmap, &palette, 0, nullptr, 0, nullptr), 1);
    ASSERT_TRUE(lqGetBitmapInfo(bitmap, &info));
    EXPECT_LT(info.width, 3000);
    EXPECT_LE(double(info.width) * info.height * 3, 8000000.0);
    EXPECT_GT(double(info.width) * info.height * 3, 7000000.0);
    lqDeleteBitmap(bitmap);
    // The stream form and a scale of 50 %.
    const auto bytes = lqtest::readFile(big);
    lqtest::LockedStream s(bytes);
    ASSERT_EQ(readtiffilestream(s.address(), s.length(), 0, 0, 0, 50, &bitmap, &palette, 0, nullptr, 0, nullptr), 1);
    ASSERT_TRUE(lqGetBitmapInfo(bitmap, &info));
    EXPECT_EQ(info.width, 1500);
    EXPECT_EQ(info.height, 500);
    lqDeleteBitmap(bitmap);
}

short cancelFirst(std::int32_t, std::int32_t) { return 0; }

TEST_F(TiffDdb, CancelLeavesNothing) {
    const std::string rgb = tiffOf(makeDib(64, 64, 24, {}, colourAt), "rgb.tif");
    const std::size_t blocks = lqMemLiveBlocks();
    HLQBITMAP bitmap = reinterpret_cast<HLQBITMAP>(1);
    HLQPALETTE palette = reinterpret_cast<HLQPALETTE>(1);
    EXPECT_EQ(readtiffile(rgb.c_str(), 0, 0, 0, 100, &bitmap, &palette, 0, cancelFirst, 0, nullptr), -1);
    EXPECT_EQ(bitmap, nullptr);
    EXPECT_EQ(palette, nullptr);
    EXPECT_EQ(lqMemLiveBlocks(), blocks);
}

TEST_F(TiffDdb, WriteBitmaps) {
    const std::string src = tiffOf(makeDib(40, 20, 24, {}, colourAt), "src.tif");
    HLQBITMAP bitmap = nullptr;
    HLQPALETTE palette = nullptr;
    ASSERT_EQ(readtiffile(src.c_str(), 0, 0, 0, 100, &bitmap, &palette, 0, nullptr, 0, nullptr), 1);
    const std::string out = dir_.file("out.tif");
    ASSERT_EQ(writetiffile(out.c_str(), 5, 24, 0, bitmap, nullptr, 0, nullptr, 0, nullptr), 1);
    const auto pillow = lqtest::pillowPages(out);
    ASSERT_EQ(pillow.size(), 1u);
    HLQMEM back = nullptr;
    ASSERT_EQ(readtiffiledib(src.c_str(), 0, 0, 0, &back, 0, nullptr, 0, nullptr), 1);
    EXPECT_EQ(lqtest::countDifferences(DibCopy(back), pillow[0]), 0);
    lqMemFree(back);
    // Inserted in front as a Group 4 page, then into a stream.
    ASSERT_EQ(writetiffilepage(out.c_str(), 4, 1, 0, bitmap, nullptr, 0, nullptr, 0, nullptr), 1);
    std::int32_t w, h, reserved;
    short comp = 0, pages = 0, bpp = 0;
    ASSERT_EQ(getinfo(out.c_str(), 0, &w, &h, &comp, &reserved, &pages, &bpp), 1);
    EXPECT_EQ(pages, 2);
    EXPECT_EQ(comp, 4);
    EXPECT_EQ(bpp, 1);
    lqtest::LockedStream s;
    ASSERT_EQ(writetiffilestream(s.addressRef(), s.lengthRef(), 32773 - 65536, 8, 0, bitmap, nullptr, 0, nullptr, 0, nullptr), 1);
    ASSERT_EQ(getinfostream(s.address(), s.length(), 0, &w, &h, &comp, &reserved, &pages, &bpp), 1);
    EXPECT_EQ(bpp, 8);
    EXPECT_EQ(std::uint16_t(comp), 32773);
    lqDeleteBitmap(bitmap);
    // A handle that is no bitmap: the fetch fails.
    EXPECT_EQ(writetiffile(out.c_str(), 1, 24, 0, reinterpret_cast<HLQBITMAP>(12345), nullptr, 0, nullptr, 0, nullptr), -100);
}

}  // namespace
