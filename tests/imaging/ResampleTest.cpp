// The resampler against a straightforward double-precision model of it, and the properties
// that matter for printing: nearest neighbour, two-pixel blends on reduction, clamping and
// corner alignment. Printer tiles are tested on the image object (ScaledCopyTest.cpp).
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <utility>
#include <vector>

#include "imaging/LQResample.h"
#include "imaging/LQResampleKernels.h"
#include "platform/Dib.h"
#include "platform/MemBlock.h"
#include "tests/imaging/ResampleImages.h"

namespace {

using lqtest::Image;

// ---- Double-precision model ------------------------------------------------------------------

double modelFilter(int index, double x) {
    const double a = std::fabs(x);
    const auto sinc = [](double v) { return v == 0 ? 1.0 : std::sin(std::numbers::pi * v) / (std::numbers::pi * v); };
    switch (index) {
    case 1: return x > -0.5 && x <= 0.5 ? 1 : 0;
    case 2: return a < 1 ? 1 - a : 0;
    case 3: return a < 1 ? (2 * a - 3) * a * a + 1 : 0;
    case 4: return a < 0.5 ? 0.75 - a * a : a < 1.5 ? 0.5 * (a - 1.5) * (a - 1.5) : 0;
    case 5: return a < 1 ? 0.5 * a * a * a - a * a + 2.0 / 3 : a < 2 ? (2 - a) * (2 - a) * (2 - a) / 6 : 0;
    case 6: return a < 3 ? sinc(x) * sinc(x / 3) : 0;
    case 7:
        return a < 1   ? (7 * a * a * a - 12 * a * a + 16.0 / 3) / 6
               : a < 2 ? (-(7.0 / 3) * a * a * a + 12 * a * a - 20 * a + 32.0 / 3) / 6
                       : 0;
    }
    return 0;
}

const double kModelSupport[] = {0, 0.5, 1, 1, 1.5, 2, 3, 2};

using Taps = std::vector<std::pair<int, double>>;   // (source index, weight)

// Contributors as the resampler is meant to find them: corner-aligned centres (computed in
// single precision, as the resampler must, so that both agree on ties of the box filter), the
// window widened by 1/scale when reducing (where the plain-distance weights make the extra taps
// zero), reflection at the image border, clamped.
std::vector<Taps> modelContributors(int m, int start, int n, int image, int filter) {
    const double support = kModelSupport[filter];
    const float scale = n == 1 ? float(m) / float(n) : float(m - 1) / float(n - 1);
    std::vector<Taps> lists(static_cast<std::size_t>(m));
    for (int i = 0; i < m; ++i) {
        const double centre = m == 1 ? float(n - 1) * 0.5f : float(i) / scale;
        const double window = m == 1 || scale >= 1 ? support : support / scale;
        for (int j = int(std::floor(centre - window)); j <= int(std::ceil(centre + window)); ++j) {
            const double w = modelFilter(filter, centre - j);
            if (w == 0) continue;
            int k = start + j;
            if (k < 0) k = -k;
            else if (k >= image) k = 2 * image - 1 - k;
            lists[std::size_t(i)].emplace_back(std::clamp(k, 0, image - 1), w);
        }
    }
    return lists;
}

double clampChannel(double sum) { return std::clamp(sum, 0.0, 255.0); }

// The model keeps the intermediate row unrounded (only clamped). The resampler rounds it to
// bytes, which moves a result by at most half the sum of the vertical weights' magnitudes,
// below 1 for every filter; so after the final rounding both agree within ±1 whatever the
// ties, while any wrong tap or weight shows as a large difference on random images.
Image modelResample(const Image& src, int left, int top, int width, int height, int dw, int dh, int filter) {
    const std::vector<Taps> hx = modelContributors(dw, left, width, src.width, filter);
    const std::vector<Taps> vy = modelContributors(dh, top, height, src.height, filter);
    std::vector<double> work(std::size_t(dw) * std::size_t(src.height) * 3);
    const auto workAt = [&](int x, int y, int c) -> double& { return work[(std::size_t(y) * std::size_t(dw) + std::size_t(x)) * 3 + std::size_t(c)]; };
    for (int y = 0; y < src.height; ++y)
        for (int x = 0; x < dw; ++x)
            for (int c = 0; c < 3; ++c) {
                double sum = 0;
                for (const auto& [j, w] : hx[std::size_t(x)]) sum += w * src.at(j, y, c);
                workAt(x, y, c) = clampChannel(sum);
            }
    Image out(dw, dh);
    for (int y = 0; y < dh; ++y)
        for (int x = 0; x < dw; ++x)
            for (int c = 0; c < 3; ++c) {
                double sum = 0;
                for (const auto& [j, w] : vy[std::size_t(y)]) sum += w * workAt(x, j, c);
                out.at(x, y, c) = std::uint8_t(std::nearbyint(clampChannel(sum)));
            }
    return out;
}

// ---- Running the resampler -------------------------------------------------------------------

struct Rect {
    int left = 0, top = 0, width = 0, height = 0;
};

Image resample(const Image& src, Rect r, int dw, int dh, int filter, int threads = 1) {
    lqp::MemOwner s(lqtest::dibFromImage(src));
    lqp::MemOwner d(lqp::createDib(dw, dh, 24));
    const TLQResampleFilter* f = ResampleFilter(filter);
    EXPECT_TRUE(ResampleDibRect(s.get(), r.left, r.top, r.width, r.height, d.get(), f->Function, f->Support, threads));
    return lqtest::imageFromDib(d.get());
}

Image resample(const Image& src, int dw, int dh, int filter) { return resample(src, Rect{}, dw, dh, filter); }

// ---- Tests -----------------------------------------------------------------------------------

TEST(ResampleFilters, TableHoldsTheSevenFilters) {
    const char* names[] = {"Box", "Triangle", "Hermite", "Bell", "B-Spline", "Lanczos3", "Mitchell"};
    EXPECT_EQ(nullptr, ResampleFilter(0));
    EXPECT_EQ(nullptr, ResampleFilter(8));
    for (int i = 1; i <= kResampleFilterCount; ++i) {
        const TLQResampleFilter* f = ResampleFilter(i);
        ASSERT_NE(nullptr, f);
        EXPECT_STREQ(names[i - 1], f->Name);
        EXPECT_EQ(float(kModelSupport[i]), f->Support);
        for (float x = -3.5f; x <= 3.5f; x += 0.0625f)
            EXPECT_NEAR(modelFilter(i, x), f->Function(x), 2e-6) << f->Name << " at " << x;
    }
}

TEST(Resample, AgreesWithDoublePrecisionModel) {
    std::mt19937 rng(20240521);
    std::uniform_int_distribution<int> extent(1, 40);
    std::uniform_int_distribution<int> destExtent(1, 90);
    for (int filter = 1; filter <= kResampleFilterCount; ++filter) {
        for (int round = 0; round < 30; ++round) {
            const Image src = lqtest::randomImage(extent(rng), extent(rng), rng);
            Rect r;
            if (round % 2) {   // a rectangle somewhere inside the image
                r.left = std::uniform_int_distribution<int>(0, src.width - 1)(rng);
                r.top = std::uniform_int_distribution<int>(0, src.height - 1)(rng);
                r.width = std::uniform_int_distribution<int>(1, src.width - r.left)(rng);
                r.height = std::uniform_int_distribution<int>(1, src.height - r.top)(rng);
            }
            const int dw = destExtent(rng), dh = destExtent(rng);
            const Image expected = modelResample(src, r.left, r.top, r.width ? r.width : src.width,
                                                 r.height ? r.height : src.height, dw, dh, filter);
            EXPECT_LE(lqtest::maxChannelDifference(expected, resample(src, r, dw, dh, filter)), 1)
                << ResampleFilter(filter)->Name << ": " << src.width << "x" << src.height << " rect " << r.left << ","
                << r.top << "," << r.width << "," << r.height << " -> " << dw << "x" << dh;
        }
    }
}

TEST(Resample, TinySourcesAndSinglePixelDestinations) {
    // Sources smaller than the filter reflect past the far border and must stay inside the
    // image; a destination extent of 1 takes the centre of the source.
    std::mt19937 rng(7);
    const std::pair<int, int> sizes[] = {{1, 1}, {1, 9}, {2, 2}, {3, 1}, {9, 1}, {1, 3}, {6, 5}};
    for (int filter = 1; filter <= kResampleFilterCount; ++filter)
        for (const auto& [sw, sh] : sizes)
            for (const auto& [dw, dh] : sizes) {
                const Image src = lqtest::randomImage(sw, sh, rng);
                EXPECT_LE(lqtest::maxChannelDifference(modelResample(src, 0, 0, sw, sh, dw, dh, filter),
                                                       resample(src, dw, dh, filter)), 1)
                    << filter << ": " << sw << "x" << sh << " -> " << dw << "x" << dh;
            }
    Image column(1, 5);
    for (int y = 0; y < 5; ++y) column.at(0, y, 0) = column.at(0, y, 1) = column.at(0, y, 2) = std::uint8_t(y * 50);
    EXPECT_EQ(100, resample(column, 1, 1, 1).at(0, 0, 0));   // the middle row of five
}

TEST(Resample, BoxCopiesTheNearestSourcePixel) {
    // Every column and row of the source has its own value, so each destination pixel names
    // the source pixel it came from.
    const std::pair<int, int> scales[] = {{37, 100}, {100, 37}, {251, 256}, {256, 251}, {13, 13}, {5, 2}};
    for (const auto& [n, m] : scales) {
        Image src(n, n);
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) src.at(x, y, 0) = std::uint8_t(x), src.at(x, y, 1) = std::uint8_t(y);
        const Image out = resample(src, m, m, 1);
        const double step = m == 1 ? 0 : double(n - 1) / (m - 1);
        for (int i = 0; i < m; ++i) {
            EXPECT_LE(std::fabs(out.at(i, 0, 0) - i * step), 0.5 + 1e-4) << n << " -> " << m << " column " << i;
            EXPECT_LE(std::fabs(out.at(0, i, 1) - i * step), 0.5 + 1e-4) << n << " -> " << m << " row " << i;
        }
    }
}

TEST(Resample, TriangleReductionBlendsTheTwoNearestPixels) {
    // 1000 → 100: each result is the linear blend of the two source pixels around its centre,
    // not an average over the ten pixels it stands for.
    std::mt19937 rng(1000);
    Image src(1000, 1);
    for (std::uint8_t& b : src.bgr) b = std::uint8_t(rng());
    const Image out = resample(src, 100, 1, 2);
    for (int i = 0; i < 100; ++i) {
        const double centre = i * 999.0 / 99.0;
        const int j = std::min(int(centre), 998);
        const double f = centre - j;
        for (int c = 0; c < 3; ++c) {
            const double blend = (1 - f) * src.at(j, 0, c) + f * src.at(j + 1, 0, c);
            EXPECT_NEAR(blend, out.at(i, 0, c), 0.51 + 1e-3) << "pixel " << i << " channel " << c;
        }
    }
}

TEST(Resample, LanczosOvershootIsClampedNotWrapped) {
    Image src(8, 1);
    for (int x = 4; x < 8; ++x) src.at(x, 0, 0) = src.at(x, 0, 1) = src.at(x, 0, 2) = 255;
    const int m = 36;
    const Image out = resample(src, m, 1, 6);
    const TLQResampleFilter* f = ResampleFilter(6);
    const TLQContributors c = BuildContributors(m, 0, 8, 8, f->Function, f->Support);
    int below = 0, above = 0;
    for (int i = 0; i < m; ++i) {
        double sum = 0;
        for (int k = 0; k < c.Taps; ++k) sum += c.Weights[std::size_t(i * c.Taps + k)] * src.at(c.Source[std::size_t(c.First[i] + k)], 0, 0);
        if (sum < -0.5) {
            ++below;
            EXPECT_EQ(0, out.at(i, 0, 0)) << i;
        }
        if (sum > 255.5) {
            ++above;
            EXPECT_EQ(255, out.at(i, 0, 0)) << i;
        }
    }
    EXPECT_GT(below, 0);
    EXPECT_GT(above, 0);
}

TEST(Resample, CornersAlignWithTheSourceCorners) {
    // The first and last destination pixels sit exactly on the first and last source pixels;
    // filters that are 1 at distance 0 and 0 at the other integers reproduce them.
    std::mt19937 rng(3);
    const std::pair<int, int> scales[] = {{17, 64}, {64, 17}, {300, 7}, {7, 300}, {2, 3}};
    for (int filter : {1, 2, 3, 6})
        for (const auto& [n, m] : scales) {
            const Image src = lqtest::randomImage(n, n, rng);
            const Image out = resample(src, m, m, filter);
            for (int c = 0; c < 3; ++c) {
                EXPECT_EQ(src.at(0, 0, c), out.at(0, 0, c)) << filter << ": " << n << " -> " << m;
                EXPECT_EQ(src.at(n - 1, 0, c), out.at(m - 1, 0, c)) << filter << ": " << n << " -> " << m;
                EXPECT_EQ(src.at(0, n - 1, c), out.at(0, m - 1, c)) << filter << ": " << n << " -> " << m;
                EXPECT_EQ(src.at(n - 1, n - 1, c), out.at(m - 1, m - 1, c)) << filter << ": " << n << " -> " << m;
            }
        }
}

TEST(Resample, TwoThreadsGiveTheSameImageAsOne) {
    std::mt19937 rng(11);
    const Image src = lqtest::randomImage(700, 500, rng);
    for (int filter : {2, 6, 7})
        EXPECT_EQ(resample(src, Rect{}, 1310, 930, filter, 1), resample(src, Rect{}, 1310, 930, filter, 2)) << filter;
}

#if defined(__x86_64__)
TEST(Resample, Avx2KernelsGiveTheSameBytesAsTheBaseline) {
    if (!__builtin_cpu_supports("avx2")) GTEST_SKIP() << "no AVX2 on this processor";
    using lqresample::Kernels;
    std::mt19937 rng(2);
    std::uniform_real_distribution<float> weight(-0.3f, 1.2f);
    std::vector<std::vector<std::uint8_t>> rows(9, std::vector<std::uint8_t>(1001));
    for (auto& r : rows)
        for (std::uint8_t& b : r) b = std::uint8_t(rng());
    std::vector<const std::uint8_t*> rowPointers;
    for (const auto& r : rows) rowPointers.push_back(r.data());
    std::vector<lqresample::Pixel4> ext(1001 / 3 + 9);
    std::vector<int> source(ext.size());
    for (std::size_t q = 0; q < source.size(); ++q) source[q] = int(rng() % 333);
    for (int taps = 0; taps <= 9; ++taps) {
        std::vector<float> w(std::size_t(taps) * 333);
        for (float& f : w) f = weight(rng);
        std::vector<int> first(333);
        for (int& f : first) f = int(rng() % 9);
        const auto rowBytes = [&](const Kernels& k) {
            std::vector<std::uint8_t> out(1001);
            k.blendRows(rowPointers.data(), w.data(), taps, out.data(), 1001);
            return out;
        };
        const auto columnBytes = [&](const Kernels& k) {
            std::vector<std::uint8_t> out(333 * 3);
            k.expandRow(rows[0].data(), source.data(), int(source.size()), ext.data());
            k.blendColumns(ext.data(), first.data(), w.data(), taps, 333, out.data());
            return out;
        };
        EXPECT_EQ(rowBytes(lqresample::kBaselineKernels), rowBytes(lqresample::kAvx2Kernels)) << taps << " taps";
        EXPECT_EQ(columnBytes(lqresample::kBaselineKernels), columnBytes(lqresample::kAvx2Kernels)) << taps << " taps";
    }
}
#endif

TEST(Resample, RejectsInvalidInputAndLeavesTheDestination) {
    std::mt19937 rng(5);
    lqp::MemOwner src(lqtest::dibFromImage(lqtest::randomImage(20, 10, rng)));
    lqp::MemOwner gray(lqp::createDib(20, 10, 8));
    lqp::MemOwner dst(lqtest::dibFromImage(lqtest::randomImage(8, 8, rng)));
    const Image before = lqtest::imageFromDib(dst.get());
    const TLQResampleFilter* f = ResampleFilter(4);
    struct Case {
        const char* what;
        HLQMEM source;
        Rect r;
        TLQFilterFunction filter;
    };
    const Case cases[] = {
        {"8-bit source", gray.get(), {}, f->Function},
        {"freed handle", HLQMEM(nullptr), {}, f->Function},
        {"no filter", src.get(), {}, nullptr},
        {"negative left", src.get(), {-1, 0, 5, 5}, f->Function},
        {"negative top", src.get(), {0, -2, 5, 5}, f->Function},
        {"past the right edge", src.get(), {16, 0, 5, 5}, f->Function},
        {"past the bottom edge", src.get(), {0, 6, 5, 5}, f->Function},
        {"negative width", src.get(), {0, 0, -3, 5}, f->Function},
        {"left beyond the image", src.get(), {20, 0, 0, 0}, f->Function},
        {"source is destination", dst.get(), {}, f->Function},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(ResampleDibRect(c.source, c.r.left, c.r.top, c.r.width, c.r.height, dst.get(), c.filter, f->Support))
            << c.what;
        EXPECT_EQ(before, lqtest::imageFromDib(dst.get())) << c.what;
    }
    lqp::MemOwner grayDest(lqp::createDib(8, 8, 8));
    EXPECT_FALSE(ResampleDib(src.get(), grayDest.get(), f->Function, f->Support));
    // A block too short for the rows its header promises.
    lqp::MemOwner cut(lqtest::dibFromImage(lqtest::randomImage(20, 10, rng)));
    ASSERT_NE(nullptr, lqMemReAlloc(cut.get(), lqMemSize(cut.get()) - 1));
    EXPECT_FALSE(ResampleDib(cut.get(), dst.get(), f->Function, f->Support));
    EXPECT_EQ(before, lqtest::imageFromDib(dst.get()));
}

}  // namespace
