// Times the whole-image resampler on a 24-bit BMP file: the file is read into a packed DIB
// first, so that only the resampling is timed. Prints one line:
//   <best processor seconds> <best wall seconds> <destination megapixels per processor second>
// Processor time is the measure that stays fair on a busy machine.
//   resample-bench IN.bmp WIDTH HEIGHT FILTER [THREADS [REPEATS]]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <vector>

#include "imaging/LQResample.h"
#include "platform/Dib.h"
#include "platform/MemBlock.h"

namespace {

constexpr std::size_t kBmpFileHeader = 14;   // a BMP file is this header and a packed DIB

HLQMEM readBmpAsDib(const char* path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (bytes.size() <= kBmpFileHeader || bytes[0] != 'B' || bytes[1] != 'M') return nullptr;
    HLQMEM dib = lqMemAlloc(bytes.size() - kBmpFileHeader);
    if (!dib) return nullptr;
    lqp::MemLock lock(dib);
    std::memcpy(lock.data(), bytes.data() + kBmpFileHeader, bytes.size() - kBmpFileHeader);
    return dib;
}

double processorSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s IN.bmp WIDTH HEIGHT FILTER [THREADS [REPEATS]]\n", argv[0]);
        return 2;
    }
    const int width = std::atoi(argv[2]), height = std::atoi(argv[3]);
    const TLQResampleFilter* filter = ResampleFilter(std::atoi(argv[4]));
    const int threads = argc > 5 ? std::atoi(argv[5]) : 1;
    const int repeats = argc > 6 ? std::max(1, std::atoi(argv[6])) : 3;
    lqp::MemOwner src(readBmpAsDib(argv[1]));
    lqp::MemOwner dst(lqp::createDib(width, height, 24));
    if (!src || !dst || !filter) {
        std::fprintf(stderr, "cannot read %s as a 24-bit BMP, or bad size or filter\n", argv[1]);
        return 1;
    }
    double bestProcessor = 1e30, bestWall = 1e30;
    for (int r = 0; r < repeats; ++r) {
        const double processorStart = processorSeconds();
        const auto wallStart = std::chrono::steady_clock::now();
        if (!ResampleDib(src.get(), dst.get(), filter->Function, filter->Support, threads)) {
            std::fprintf(stderr, "resampling failed\n");
            return 1;
        }
        bestWall = std::min(bestWall, std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count());
        bestProcessor = std::min(bestProcessor, processorSeconds() - processorStart);
    }
    std::printf("%.4f %.4f %.2f\n", bestProcessor, bestWall, double(width) * height / bestProcessor / 1e6);
    return 0;
}
