#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/Dib.h"

namespace {

using lqp::DibCheck;
using lqp::DibHeader;

TEST(Dib, HeaderIsWrittenFieldByFieldLittleEndian) {
    DibHeader h;
    h.width = 0x01020304;
    h.height = -2;
    h.bitCount = 24;
    h.sizeImage = 0xA0B0C0D0;
    h.xPelsPerMeter = 11811;
    h.clrUsed = 7;
    std::uint8_t bytes[40] = {};
    lqp::writeDibHeader(bytes, h);
    const std::uint8_t expected[40] = {40, 0, 0, 0, 4, 3, 2, 1, 0xFE, 0xFF, 0xFF, 0xFF, 1, 0, 24, 0,
                                       0, 0, 0, 0, 0xD0, 0xC0, 0xB0, 0xA0, 0x23, 0x2E, 0, 0, 0, 0, 0, 0,
                                       7, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(bytes, expected, 40));
    EXPECT_EQ(lqp::readDibHeader(bytes), h);
}

TEST(Dib, SizesFollowDepthAndPadding) {
    struct Case { int width, bits; std::uint64_t row; std::uint32_t colors; };
    const Case cases[] = {
        {1, 1, 4, 2}, {32, 1, 4, 2}, {33, 1, 8, 2}, {7, 4, 4, 16}, {9, 4, 8, 16},
        {3, 8, 4, 256}, {5, 8, 8, 256}, {1, 24, 4, 0}, {3, 24, 12, 0}, {5, 24, 16, 0}, {3, 32, 12, 0}, {3, 16, 8, 0},
    };
    for (const Case& c : cases) {
        DibHeader h;
        h.width = c.width;
        h.height = 3;
        h.bitCount = std::uint16_t(c.bits);
        EXPECT_EQ(lqp::dibRowSize(h), c.row) << c.width << "x" << c.bits;
        EXPECT_EQ(lqp::dibColorCount(h), c.colors);
        EXPECT_EQ(lqp::dibPixelOffset(h), 40 + 4ull * c.colors);
        EXPECT_EQ(lqp::dibTotalSize(h), 40 + 4ull * c.colors + 3 * c.row);
    }
    DibHeader used;
    used.bitCount = 8;
    used.clrUsed = 12;
    EXPECT_EQ(lqp::dibColorTableSize(used), 48u);
    // Huge widths do not overflow the 64-bit arithmetic.
    EXPECT_EQ(lqp::dibRowSize(0x7FFFFFFF, 32), 0x7FFFFFFFull * 4);
}

std::vector<std::uint8_t> packed(DibHeader h, std::size_t extra = 0) {
    std::vector<std::uint8_t> b(std::size_t(lqp::dibTotalSize(h)) + extra);
    lqp::writeDibHeader(b.data(), h);
    return b;
}

TEST(Dib, ValidationRejectsEveryInconsistentHeader) {
    DibHeader good;
    good.width = 10;
    good.height = 5;
    good.bitCount = 8;
    auto bytes = packed(good);
    DibHeader out;
    ASSERT_EQ(lqp::validateDib(bytes.data(), bytes.size(), &out), DibCheck::Ok);
    EXPECT_EQ(out, good);
    EXPECT_EQ(lqp::validateDib(bytes.data(), bytes.size() - 1), DibCheck::Truncated);
    EXPECT_EQ(lqp::validateDib(bytes.data(), 39), DibCheck::TooSmall);
    EXPECT_EQ(lqp::validateDib(nullptr, 100), DibCheck::TooSmall);

    struct Case { const char* what; void (*mutate)(DibHeader&); DibCheck expected; };
    const Case cases[] = {
        {"header size 12", [](DibHeader& h) { h.size = 12; }, DibCheck::BadHeaderSize},
        {"header size past block", [](DibHeader& h) { h.size = 0x7FFFFFFF; }, DibCheck::BadHeaderSize},
        {"planes 2", [](DibHeader& h) { h.planes = 2; }, DibCheck::BadPlanes},
        {"12 bits", [](DibHeader& h) { h.bitCount = 12; }, DibCheck::BadBitCount},
        {"RLE8", [](DibHeader& h) { h.compression = lqp::kBiRle8; }, DibCheck::BadCompression},
        {"bitfields on 8 bits", [](DibHeader& h) { h.compression = lqp::kBiBitfields; }, DibCheck::BadCompression},
        {"width 0", [](DibHeader& h) { h.width = 0; }, DibCheck::BadDimensions},
        {"negative height", [](DibHeader& h) { h.height = -5; }, DibCheck::BadDimensions},
        {"257 colours", [](DibHeader& h) { h.clrUsed = 257; }, DibCheck::BadColorCount},
        {"3 colours on 1 bit", [](DibHeader& h) { h.bitCount = 1; h.clrUsed = 3; }, DibCheck::BadColorCount},
        {"huge width", [](DibHeader& h) { h.width = 0x7FFFFFFF; }, DibCheck::Truncated},
        {"huge height", [](DibHeader& h) { h.height = 0x7FFFFFFF; h.bitCount = 32; }, DibCheck::Truncated},
    };
    for (const Case& c : cases) {
        DibHeader h = good;
        c.mutate(h);
        auto b = bytes;
        lqp::writeDibHeader(b.data(), h);
        EXPECT_EQ(lqp::validateDib(b.data(), b.size()), c.expected) << c.what;
    }
}

TEST(Dib, CreatedDibIsValidWithGreyRamp) {
    for (int bits : {1, 4, 8, 24}) {
        HLQMEM h = lqp::createDib(13, 7, bits);
        ASSERT_NE(h, nullptr);
        lqp::MemLock lock(h);
        DibHeader hdr;
        ASSERT_EQ(lqp::validateDib(lock.data(), lqMemSize(h), &hdr), DibCheck::Ok) << bits;
        EXPECT_EQ(lqMemSize(h), lqp::dibTotalSize(hdr));
        EXPECT_EQ(hdr.sizeImage, lqp::dibRowSize(hdr) * 7);
        if (bits <= 8) {
            const std::uint32_t last = (1u << bits) - 1;
            EXPECT_EQ(lock.data()[40 + last * 4], 255);
            EXPECT_EQ(lock.data()[40], 0);
        }
        lqMemFree(h);
    }
    EXPECT_EQ(lqp::createDib(0, 5, 8), nullptr);
    EXPECT_EQ(lqp::createDib(5, 5, 7), nullptr);
    EXPECT_EQ(lqp::createDib(0x7FFFFFFF, 0x7FFFFFFF, 24), nullptr);
}

}  // namespace
