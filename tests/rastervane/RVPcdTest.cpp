#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "rastervane/RVPcd.h"
#include "tests/rastervane/RVTestUtil.h"

namespace {

using rvtest::Rgb;
using Bytes = std::vector<std::uint8_t>;

using Plane = std::uint8_t (*)(int x, int y);

// An image pack holding all three base images: luma(x, y) at full resolution and the chroma
// planes c1(x, y), c2(x, y) at half resolution, in base-16 coordinates.
Bytes pcdPack(int orientation, Plane luma, Plane c1 = [](int, int) { return std::uint8_t(156); },
              Plane c2 = [](int, int) { return std::uint8_t(137); }) {
    Bytes pcd(0x30000 + 768 * 512 * 3 / 2, 0);
    std::memcpy(&pcd[0x800], "PCD_IPI", 7);
    pcd[0xE02] = std::uint8_t(orientation);
    const struct { int w, h; std::size_t offset; } bases[] = {{192, 128, 0x2000}, {384, 256, 0xB800}, {768, 512, 0x30000}};
    for (const auto& b : bases) {
        std::uint8_t* p = &pcd[b.offset];
        for (int pair = 0; pair < b.h / 2; ++pair) {
            for (int row = 0; row < 2; ++row)
                for (int x = 0; x < b.w; ++x) *p++ = luma(x * 192 / b.w, (pair * 2 + row) * 128 / b.h);
            for (int x = 0; x < b.w / 2; ++x) *p++ = c1(x * 2 * 192 / b.w, pair * 2 * 128 / b.h);
            for (int x = 0; x < b.w / 2; ++x) *p++ = c2(x * 2 * 192 / b.w, pair * 2 * 128 / b.h);
        }
    }
    return pcd;
}

TEST(RVPcd, NeutralChromaGivesScaledGrey) {
    const Bytes pcd = pcdPack(0, [](int, int) { return std::uint8_t(128); });
    for (auto [mode, w, h] : {std::tuple{rv::pcd_BASE16, 192, 128}, {rv::pcd_BASE4, 384, 256}, {rv::pcd_BASE, 768, 512}}) {
        lqp::MemOwner dib(rv::readpcdstreamdib(pcd, mode));
        ASSERT_TRUE(dib) << rv::RVLastErrorText();
        const Rgb rgb = rvtest::dibToRgb(dib.get());
        EXPECT_EQ(rgb.width, w);
        EXPECT_EQ(rgb.height, h);
        EXPECT_EQ(rgb.pixels, Bytes(std::size_t(w) * h * 3, 174));  // 1.3584 × 128
    }
}

TEST(RVPcd, OrientationTurnsTheImageUpright) {
    // A bright first column: after a quarter turn counter-clockwise it is the bottom row.
    const auto bright = [](int x, int) { return std::uint8_t(x == 0 ? 180 : 10); };
    struct Case { int orientation; int w, h; int x, y; };
    for (const Case& c : {Case{0, 192, 128, 0, 64}, Case{1, 128, 192, 64, 191}, Case{2, 192, 128, 191, 64}, Case{3, 128, 192, 64, 0}}) {
        SCOPED_TRACE(c.orientation);
        lqp::MemOwner dib(rv::readpcdstreamdib(pcdPack(c.orientation, bright), rv::pcd_BASE16));
        ASSERT_TRUE(dib);
        const Rgb rgb = rvtest::dibToRgb(dib.get());
        ASSERT_EQ(rgb.width, c.w);
        ASSERT_EQ(rgb.height, c.h);
        EXPECT_EQ(rgb.pixels[(std::size_t(c.y) * c.w + c.x) * 3], 245);  // 1.3584 × 180
        EXPECT_EQ(rgb.pixels[(std::size_t(c.h / 2) * c.w + c.w / 2) * 3], 14);
    }
}

// PhotoYCC to RGB: R = 1.3584 Y + 1.8215 (C2 − 137), G = 1.3584 Y − 0.194 × 2.2179 (C1 − 156)
// − 0.509 × 1.8215 (C2 − 137), B = 1.3584 Y + 2.2179 (C1 − 156), rounded and clipped; each
// chroma sample serves two by two pixels.
TEST(RVPcd, ChromaPlanesMapToTheirPixels) {
    const Plane luma = [](int x, int y) { return std::uint8_t(60 + (x + y) % 90); };
    const Plane c1 = [](int x, int y) { return std::uint8_t(x < 96 ? 180 : 120 + y % 7); };
    const Plane c2 = [](int x, int y) { return std::uint8_t(y < 64 ? 100 : 150 + x % 5); };
    lqp::MemOwner dib(rv::readpcdstreamdib(pcdPack(0, luma, c1, c2), rv::pcd_BASE16));
    ASSERT_TRUE(dib);
    const Rgb rgb = rvtest::dibToRgb(dib.get());
    auto clip = [](double v) { return std::uint8_t(std::clamp(std::lround(v), 0L, 255L)); };
    int mismatches = 0;
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 192; ++x) {
            const double l = 1.3584 * luma(x, y);
            const double a = 2.2179 * (c1(x & ~1, y & ~1) - 156), b = 1.8215 * (c2(x & ~1, y & ~1) - 137);
            const std::uint8_t* px = &rgb.pixels[(std::size_t(y) * 192 + x) * 3];
            const std::uint8_t expected[3] = {clip(l + b), clip(l - 0.194 * a - 0.509 * b), clip(l + a)};
            for (int c = 0; c < 3; ++c) mismatches += std::abs(px[c] - expected[c]) > 1;
        }
    EXPECT_EQ(mismatches, 0);
}

TEST(RVPcd, BadFilesFailWithAReason) {
    Bytes pcd = pcdPack(0, [](int, int) { return std::uint8_t(1); });
    const std::size_t before = lqMemLiveBlocks();
    EXPECT_EQ(rv::readpcdstreamdib({pcd.data(), 0x30000 + 1000}, rv::pcd_BASE), nullptr);
    EXPECT_EQ(rv::RVLastErrorCode(), rv::kRVErrRead);
    EXPECT_EQ(rv::readpcdstreamdib({pcd.data(), 0x800 + 3}, rv::pcd_BASE16), nullptr);
    EXPECT_EQ(rv::RVLastErrorCode(), rv::kRVErrFormat);
    EXPECT_EQ(rv::readpcdstreamdib(pcd, rv::TPCDMode(7)), nullptr);
    EXPECT_EQ(rv::RVLastErrorCode(), rv::kRVErrBadArgument);
    pcd[0x801] = 'X';
    EXPECT_EQ(rv::readpcdstreamdib(pcd, rv::pcd_BASE16), nullptr);
    EXPECT_EQ(rv::RVLastErrorCode(), rv::kRVErrFormat);
    EXPECT_EQ(lqMemLiveBlocks(), before);
}

}  // namespace
