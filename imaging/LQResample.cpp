#include "imaging/LQResample.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <optional>
#include <system_error>
#include <thread>

#include "imaging/LQResampleKernels.h"
#include "platform/Dib.h"

namespace {

// ---- Filters ---------------------------------------------------------------------------------

float boxFilter(float x) { return (x > -0.5f && x <= 0.5f) ? 1.0f : 0.0f; }

float triangleFilter(float x) {
    const float a = std::fabs(x);
    return a < 1.0f ? 1.0f - a : 0.0f;
}

float hermiteFilter(float x) {
    const float a = std::fabs(x);
    return a < 1.0f ? (2.0f * a - 3.0f) * (a * a) + 1.0f : 0.0f;
}

float bellFilter(float x) {
    const float a = std::fabs(x);
    if (a < 0.5f) return 0.75f - a * a;
    if (a < 1.5f) {
        const float t = a - 1.5f;
        return 0.5f * (t * t);
    }
    return 0.0f;
}

float bSplineFilter(float x) {
    const float a = std::fabs(x);
    if (a < 1.0f) return 0.5f * (a * a * a) - a * a + 2.0f / 3.0f;
    if (a < 2.0f) {
        const float t = 2.0f - a;
        return (t * t * t) / 6.0f;
    }
    return 0.0f;
}

float sinc(float x) {
    if (x == 0.0f) return 1.0f;
    const float px = x * 3.14159265358979323846f;
    return std::sin(px) / px;
}

float lanczos3Filter(float x) { return std::fabs(x) < 3.0f ? sinc(x) * sinc(x / 3.0f) : 0.0f; }

float mitchellFilter(float x) {
    const float a = std::fabs(x);
    const float a2 = a * a;
    const float a3 = a2 * a;
    if (a < 1.0f) return (7.0f * a3 - 12.0f * a2 + 16.0f / 3.0f) / 6.0f;
    if (a < 2.0f) return (-(7.0f / 3.0f) * a3 + 12.0f * a2 - 20.0f * a + 32.0f / 3.0f) / 6.0f;
    return 0.0f;
}

const TLQResampleFilter kFilters[kResampleFilterCount] = {
    {"Box", boxFilter, 0.5f},           {"Triangle", triangleFilter, 1.0f},
    {"Hermite", hermiteFilter, 1.0f},   {"Bell", bellFilter, 1.5f},
    {"B-Spline", bSplineFilter, 2.0f},  {"Lanczos3", lanczos3Filter, 3.0f},
    {"Mitchell", mitchellFilter, 2.0f},
};

// ---- Contributors ----------------------------------------------------------------------------

// Position of a tap in the source after reflection at the image border; a source smaller than
// the filter can reflect a tap past the opposite border, so it is clamped as well.
int reflectIntoImage(int j, int n) {
    if (j < 0) j = -j;
    else if (j >= n) j = 2 * n - 1 - j;
    return std::clamp(j, 0, n - 1);
}

// Centre of destination index i in source coordinates relative to the span. A single
// destination pixel takes the centre of the span.
float sourceCentre(int i, int destExtent, int extent) {
    if (destExtent == 1) return float(extent - 1) * 0.5f;
    const float scale = extent == 1 ? float(destExtent) / float(extent)
                                    : float(destExtent - 1) / float(extent - 1);
    return float(i) / scale;
}

// ---- Pixels ----------------------------------------------------------------------------------

// One 24-bit packed DIB seen as top-down rows.
struct Pixels {
    std::uint8_t* bits = nullptr;
    int width = 0;
    int height = 0;
    std::size_t stride = 0;
    std::uint8_t* row(int topDown) const { return bits + std::size_t(height - 1 - topDown) * stride; }
};

std::optional<Pixels> pixelsOf24BitDib(std::uint8_t* block, std::size_t size) {
    lqp::DibHeader h;
    if (!block || lqp::validateDib(block, size, &h) != lqp::DibCheck::Ok) return std::nullopt;
    if (h.bitCount != 24 || h.compression != lqp::kBiRgb) return std::nullopt;
    return Pixels{block + lqp::dibPixelOffset(h), h.width, h.height, std::size_t(lqp::dibRowSize(h))};
}

// ---- Kernels --------------------------------------------------------------------------------

using lqresample::Pixel4;

const lqresample::Kernels& kernels() {
#if defined(__x86_64__)
    static const lqresample::Kernels& chosen = [] () -> const lqresample::Kernels& {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") ? lqresample::kAvx2Kernels : lqresample::kBaselineKernels;
    }();
    return chosen;
#else
    return lqresample::kBaselineKernels;
#endif
}

// ---- The two passes --------------------------------------------------------------------------

struct Job {
    Pixels src;
    Pixels dst;
    TLQContributors horizontal;
    TLQContributors vertical;
    int firstRow = 0;                      // first source row the vertical pass reads
    int rowCount = 0;                      // number of source rows it reads
    std::unique_ptr<std::uint8_t[]> work;  // rowCount rows of dst.width × 3 bytes
    std::size_t workStride = 0;
};

void horizontalPass(Job& job, int from, int to, Pixel4* ext) {
    const lqresample::Kernels& k = kernels();
    const TLQContributors& h = job.horizontal;
    for (int r = from; r < to; ++r) {
        k.expandRow(job.src.row(job.firstRow + r), h.Source.data(), int(h.Source.size()), ext);
        k.blendColumns(ext, h.First.data(), h.Weights.data(), h.Taps, int(h.First.size()),
                       job.work.get() + std::size_t(r) * job.workStride);
    }
}

void verticalPass(const Job& job, int from, int to) {
    const TLQContributors& v = job.vertical;
    std::vector<const std::uint8_t*> rows(std::size_t(v.Taps));
    for (int i = from; i < to; ++i) {
        const int taps = v.Count[i];
        for (int k = 0; k < taps; ++k)
            rows[k] = job.work.get() + std::size_t(v.Source[v.First[i] + k] - job.firstRow) * job.workStride;
        kernels().blendRows(rows.data(), v.Weights.data() + std::size_t(i) * v.Taps, taps, job.dst.row(i),
                            job.dst.width * 3);
    }
}

// Runs part(from, to, share) over [0, count) in one or two shares; the second share runs on a
// helper thread, or after the first when no thread can be started.
template <class Part>
void runInShares(int count, int shares, Part part) {
    if (shares < 2 || count < 2) {
        part(0, count, 0);
        return;
    }
    const int half = count / 2;
    std::thread helper;
    try {
        helper = std::thread([&part, half, count] { part(half, count, 1); });
    } catch (const std::system_error&) {
        part(half, count, 1);
    }
    part(0, half, 0);
    if (helper.joinable()) helper.join();
}

int automaticThreads(const Pixels& dst) {
    constexpr long long kWorthSharing = 1000000;   // destination pixels
    if (static_cast<long long>(dst.width) * dst.height < kWorthSharing) return 1;
    return int(std::min(2u, std::max(1u, std::thread::hardware_concurrency())));
}

bool rectangleInside(int left, int top, int width, int height, const Pixels& src) {
    return left >= 0 && top >= 0 && width >= 1 && height >= 1 && left <= src.width - width &&
           top <= src.height - height;
}

}  // namespace

const TLQResampleFilter* ResampleFilter(int index) {
    return index >= 1 && index <= kResampleFilterCount ? &kFilters[index - 1] : nullptr;
}

TLQContributors BuildContributors(int destExtent, int start, int extent, int imageExtent,
                                  TLQFilterFunction filter, float support) {
    // Weights of each destination index over the taps within the filter's support, without
    // the zero weights at either end.
    std::vector<int> firstTap(static_cast<std::size_t>(destExtent));
    std::vector<std::vector<float>> lists(static_cast<std::size_t>(destExtent));
    int taps = 1;
    for (int i = 0; i < destExtent; ++i) {
        const float centre = sourceCentre(i, destExtent, extent);
        const int lo = int(std::floor(centre - support));
        const int hi = int(std::ceil(centre + support));
        std::vector<float>& w = lists[std::size_t(i)];
        firstTap[std::size_t(i)] = lo;
        for (int j = lo; j <= hi; ++j) {
            const float weight = filter(centre - float(j));
            if (w.empty() && weight == 0.0f) ++firstTap[std::size_t(i)];
            else w.push_back(weight);
        }
        while (!w.empty() && w.back() == 0.0f) w.pop_back();
        if (w.empty()) firstTap[std::size_t(i)] = int(std::lround(centre));
        taps = std::max(taps, int(w.size()));
    }

    TLQContributors c;
    c.Taps = taps;
    const int lowest = *std::min_element(firstTap.begin(), firstTap.end());
    const int highest = *std::max_element(firstTap.begin(), firstTap.end()) + taps - 1;
    for (int j = lowest; j <= highest; ++j) c.Source.push_back(reflectIntoImage(start + j, imageExtent));
    c.Weights.assign(std::size_t(destExtent) * std::size_t(taps), 0.0f);
    for (int i = 0; i < destExtent; ++i) {
        const std::vector<float>& w = lists[std::size_t(i)];
        c.First.push_back(firstTap[std::size_t(i)] - lowest);
        c.Count.push_back(int(w.size()));
        std::copy(w.begin(), w.end(), c.Weights.begin() + std::ptrdiff_t(i) * taps);
    }
    return c;
}

bool ResampleDibRect(HLQMEM source, int left, int top, int width, int height, HLQMEM dest,
                     TLQFilterFunction filter, float support, int threads) {
    if (!filter || !(support > 0.0f) || source == dest) return false;
    lqp::MemLock srcLock(source);
    lqp::MemLock dstLock(dest);
    const std::optional<Pixels> src = pixelsOf24BitDib(srcLock.data(), lqMemSize(source));
    const std::optional<Pixels> dst = pixelsOf24BitDib(dstLock.data(), lqMemSize(dest));
    if (!src || !dst) return false;
    if (width == 0) width = src->width - left;
    if (height == 0) height = src->height - top;
    if (!rectangleInside(left, top, width, height, *src)) return false;
    if (threads <= 0) threads = automaticThreads(*dst);

    try {
        Job job;
        job.src = *src;
        job.dst = *dst;
        job.horizontal = BuildContributors(dst->width, left, width, src->width, filter, support);
        job.vertical = BuildContributors(dst->height, top, height, src->height, filter, support);
        const auto [lo, hi] = std::minmax_element(job.vertical.Source.begin(), job.vertical.Source.end());
        job.firstRow = *lo;
        job.rowCount = *hi - *lo + 1;
        job.workStride = std::size_t(dst->width) * 3;
        job.work.reset(new std::uint8_t[job.workStride * std::size_t(job.rowCount)]);

        const int shares = std::min(threads, 2);
        std::vector<std::vector<Pixel4>> ext(std::size_t(shares), std::vector<Pixel4>(job.horizontal.Source.size()));
        runInShares(job.rowCount, shares, [&](int from, int to, int share) {
            horizontalPass(job, from, to, ext[std::size_t(share)].data());
        });
        runInShares(dst->height, shares, [&](int from, int to, int) { verticalPass(job, from, to); });
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    return true;
}

bool ResampleDib(HLQMEM source, HLQMEM dest, TLQFilterFunction filter, float support, int threads) {
    return ResampleDibRect(source, 0, 0, 0, 0, dest, filter, support, threads);
}
