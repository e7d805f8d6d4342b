// Writes a BMP's image as TIFF with libVellum32.so N times; prints the best CPU time in seconds.
//   vellum_write IN.bmp OUT.tif COMPRESSION RUNS
#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "tifflib/Vellum32.h"

// CPU time of this process: the machine is shared, so wall time says little.
static double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

int main(int argc, char** argv) {
    if (argc != 5) return 2;
    std::ifstream f(argv[1], std::ios::binary);
    const std::vector<char> bmp{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
    if (bmp.size() < 54) return 1;
    HLQMEM dib = lqMemAlloc(bmp.size() - 14);
    std::memcpy(lqMemLock(dib), bmp.data() + 14, bmp.size() - 14);
    lqMemUnlock(dib);
    const short compression = short(std::atoi(argv[3]));
    const int bits = std::uint8_t(bmp[28]);
    double best = 1e9;
    for (int i = 0; i < std::atoi(argv[4]); ++i) {
        const double start = cpuSeconds();
        if (writetiffiledib(argv[2], compression, short(bits), 0, dib, 0, nullptr, 0, nullptr) != 1) return 1;
        best = std::min(best, cpuSeconds() - start);
    }
    lqMemFree(dib);
    std::printf("%.6f\n", best);
    return 0;
}
