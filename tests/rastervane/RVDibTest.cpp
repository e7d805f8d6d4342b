#include <gtest/gtest.h>

#include <QImage>
#include <array>
#include <cstring>

#include "platform/Dib.h"
#include "rastervane/RVDib.h"
#include "rastervane/RVError.h"
#include "tests/rastervane/RVTestUtil.h"

namespace {

using rv::RVTDib;

std::uint8_t* lockNew(int w, int h, int bits) { return static_cast<std::uint8_t*>(lqMemLock(lqp::createDib(w, h, bits))); }

TEST(RVTDib, AttachTakesOverTheBlockAndFreesThePreviousOne) {
    const std::size_t before = lqMemLiveBlocks();
    {
        RVTDib dib;
        std::uint8_t* first = lockNew(5, 3, 24);
        ASSERT_TRUE(dib.AttachDib(first));
        EXPECT_EQ(dib.Header(), first);
        EXPECT_EQ(dib.Info().width, 5);
        EXPECT_EQ(lqMemLockCount(dib.Handle()), 1);
        EXPECT_EQ(dib.PixelData(), first + 40);
        EXPECT_EQ(dib.Row(0), first + 40 + 2 * 16);  // top row is the last one in memory
        EXPECT_EQ(dib.Row(2), first + 40);
        EXPECT_EQ(dib.Row(3), nullptr);

        ASSERT_TRUE(dib.AttachDib(lockNew(2, 2, 8)));
        EXPECT_EQ(lqMemLiveBlocks(), before + 1);
        EXPECT_EQ(dib.ColorCount(), 256u);
        EXPECT_EQ(dib.PixelData(), dib.Header() + 40 + 1024);

        // Attaching the attached block again keeps one lock, and takes the header and
        // address of a block that was changed and moved in place.
        ASSERT_TRUE(dib.AttachDib(static_cast<std::uint8_t*>(lqMemLock(dib.Handle()))));
        EXPECT_EQ(lqMemLockCount(dib.Handle()), 1);
        HLQMEM same = dib.Handle();
        ASSERT_TRUE(lqMemReAlloc(same, 40 + 1024 + 4 * 3));
        auto* moved = static_cast<std::uint8_t*>(lqMemLock(same));
        lqp::putLe32(moved + 4, 3);  // 3 × 3 rows of 4 bytes instead of 2 × 2
        lqp::putLe32(moved + 8, 3);
        ASSERT_TRUE(dib.AttachDib(moved));
        EXPECT_EQ(dib.Header(), moved);
        EXPECT_EQ(dib.Info().width, 3);
        EXPECT_EQ(dib.Handle(), same);
        EXPECT_EQ(lqMemLockCount(same), 1);

        ASSERT_TRUE(dib.AttachDib(nullptr));
        EXPECT_FALSE(dib.HasPixels());
        EXPECT_EQ(lqMemLiveBlocks(), before);
        dib.AttachDib(lockNew(1, 1, 1));
    }
    EXPECT_EQ(lqMemLiveBlocks(), before);
}

TEST(RVTDib, InvalidDibIsFreedAndThePreviousPixelsStay) {
    RVTDib dib;
    ASSERT_TRUE(dib.AttachDib(lockNew(4, 4, 24)));
    const HLQMEM kept = dib.Handle();
    const std::size_t before = lqMemLiveBlocks();

    std::uint8_t* bad = lockNew(4, 4, 24);
    lqp::putLe32(bad + 8, 100000);  // rows past the end of the block
    EXPECT_FALSE(dib.AttachDib(bad));
    EXPECT_EQ(rv::RVLastErrorCode(), rv::kRVErrBadDib);
    EXPECT_EQ(lqMemLiveBlocks(), before);
    EXPECT_EQ(dib.Handle(), kept);

    std::uint8_t notABlock[64] = {};
    EXPECT_FALSE(dib.AttachDib(notABlock));
    EXPECT_EQ(dib.Handle(), kept);
}

TEST(RVTDib, CreateDibSetsResolutionAndCopiesThePalette) {
    const QList<QRgb> palette = {qRgb(10, 20, 30), qRgb(200, 100, 50)};
    lqp::MemOwner h(RVTDib::CreateDib(3, 2, 4, &palette));
    ASSERT_TRUE(h);
    RVTDib dib;
    ASSERT_TRUE(dib.AttachDib(static_cast<std::uint8_t*>(lqMemLock(h.release()))));
    EXPECT_EQ(dib.Info().xPelsPerMeter, 2953);
    EXPECT_EQ(dib.Info().yPelsPerMeter, 2953);
    ASSERT_EQ(dib.Palette().size(), 16);
    EXPECT_EQ(dib.Palette()[0], qRgb(10, 20, 30));
    EXPECT_EQ(dib.Palette()[1], qRgb(200, 100, 50));
    EXPECT_EQ(dib.Palette()[15], qRgb(0, 0, 0));

    lqp::MemOwner gray(RVTDib::CreateDib(2, 2, 8));
    lqp::MemLock g(gray.get());
    EXPECT_EQ(g.data()[40 + 4 * 200], 200);  // default table: grey ramp

    struct Bad { int w, h, bits, code; };
    for (const Bad& b : {Bad{0, 5, 24, rv::kRVErrBadArgument}, Bad{5, -1, 24, rv::kRVErrBadArgument},
                         Bad{5, 5, 16, rv::kRVErrBadArgument}, Bad{100000, 100000, 24, rv::kRVErrTooLarge}}) {
        EXPECT_EQ(RVTDib::CreateDib(b.w, b.h, b.bits), nullptr) << b.w << "x" << b.h;
        EXPECT_EQ(rv::RVLastErrorCode(), b.code);
    }
    rv::RVSetImageLimit(100);
    EXPECT_EQ(RVTDib::CreateDib(11, 10, 24), nullptr);
    EXPECT_EQ(rv::RVLastErrorCode(), rv::kRVErrTooLarge);
    lqp::MemOwner fits(RVTDib::CreateDib(10, 10, 24));
    EXPECT_TRUE(fits);
    rv::RVSetImageLimit(std::uint64_t(1) << 40);  // never above the pack's own limit
    EXPECT_EQ(rv::RVImageLimit(), rv::kRVMaxPixels);
}

TEST(RVTDib, DuplicateCopiesEveryByte) {
    lqp::MemOwner src(rvtest::makeDib(rvtest::pattern(7, 5), 8));
    lqp::MemOwner copy(RVTDib::DuplicateDib(src.get()));
    ASSERT_TRUE(copy);
    ASSERT_EQ(lqMemSize(copy.get()), lqMemSize(src.get()));
    lqp::MemLock a(src.get()), b(copy.get());
    EXPECT_EQ(0, std::memcmp(a.data(), b.data(), lqMemSize(src.get())));
    EXPECT_EQ(RVTDib::DuplicateDib(nullptr), nullptr);
    EXPECT_EQ(rv::RVLastErrorCode(), rv::kRVErrBadDib);
}

TEST(RVTDib, DeviceBitmapBecomesA24BitDib) {
    QImage image(3, 2, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgb(255, 0, 0));
    image.setPixel(1, 0, qRgb(0, 255, 0));
    image.setPixel(2, 0, qRgb(0, 0, 255));
    image.setPixel(0, 1, qRgb(1, 2, 3));
    image.setPixel(1, 1, qRgb(250, 251, 252));
    image.setPixel(2, 1, qRgb(128, 64, 32));
    image.setDotsPerMeterX(11811);
    image.setDotsPerMeterY(5906);
    lqp::MemOwner dib(RVTDib::DdbtoDib(image));
    ASSERT_TRUE(dib);
    const rvtest::Rgb rgb = rvtest::dibToRgb(dib.get());
    const std::vector<std::uint8_t> expected = {255, 0, 0, 0, 255, 0, 0, 0, 255, 1, 2, 3, 250, 251, 252, 128, 64, 32};
    EXPECT_EQ(rgb.pixels, expected);
    lqp::MemLock lock(dib.get());
    const lqp::DibHeader info = lqp::readDibHeader(lock.data());
    EXPECT_EQ(info.bitCount, 24);
    EXPECT_EQ(info.xPelsPerMeter, 11811);
    EXPECT_EQ(info.yPelsPerMeter, 5906);
    EXPECT_EQ(RVTDib::DdbtoDib(QImage()), nullptr);
}

}  // namespace

namespace {

// Pixel access reads every depth: palette indices, 24 bits, plain 32 bits and 16-bit fields.
TEST(RVTDib, PixelAtEveryDepth) {
    std::uint8_t bgr[3];
    RVTDib dib;
    for (int bits : {1, 4, 8, 24}) {
        SCOPED_TRACE(bits);
        rvtest::Rgb shown;
        ASSERT_TRUE(dib.AttachDib(static_cast<std::uint8_t*>(lqMemLock(rvtest::makeDib(rvtest::pattern(11, 5), bits, &shown)))));
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 11; ++x) {
                ASSERT_GE(dib.PixelAt(x, y, bgr), 0);
                const std::uint8_t* want = &shown.pixels[(std::size_t(y) * 11 + x) * 3];
                ASSERT_EQ((std::array<int, 3>{bgr[2], bgr[1], bgr[0]}), (std::array<int, 3>{want[0], want[1], want[2]}));
            }
        EXPECT_EQ(dib.PixelAt(11, 0, bgr), -1);
        EXPECT_EQ(dib.PixelAt(0, 5, bgr), -1);
    }
    // 32 bits: blue, green, red, unused.
    std::uint8_t* p32 = lockNew(2, 1, 32);
    const std::uint8_t px32[8] = {1, 2, 3, 99, 40, 50, 60, 99};
    std::memcpy(p32 + 40, px32, 8);
    ASSERT_TRUE(dib.AttachDib(p32));
    EXPECT_EQ(dib.PixelAt(1, 0, bgr), 0);
    EXPECT_EQ((std::array<int, 3>{bgr[0], bgr[1], bgr[2]}), (std::array<int, 3>{40, 50, 60}));
    // 16 bits with 5-6-5 fields: white and pure green.
    HLQMEM h16 = lqMemAlloc(40 + 12 + 4);
    auto* p16 = static_cast<std::uint8_t*>(lqMemLock(h16));
    lqp::DibHeader info;
    info.width = 2, info.height = 1, info.bitCount = 16, info.compression = lqp::kBiBitfields;
    lqp::writeDibHeader(p16, info);
    lqp::putLe32(p16 + 40, 0xF800), lqp::putLe32(p16 + 44, 0x07E0), lqp::putLe32(p16 + 48, 0x001F);
    lqp::putLe16(p16 + 52, 0xFFFF), lqp::putLe16(p16 + 54, 0x07E0);
    ASSERT_TRUE(dib.AttachDib(p16));
    dib.PixelAt(0, 0, bgr);
    EXPECT_EQ((std::array<int, 3>{bgr[0], bgr[1], bgr[2]}), (std::array<int, 3>{255, 255, 255}));
    dib.PixelAt(1, 0, bgr);
    EXPECT_EQ((std::array<int, 3>{bgr[0], bgr[1], bgr[2]}), (std::array<int, 3>{0, 255, 0}));
}

}  // namespace
