// Decodes a TIFF page with libVellum32.so N times; prints the best CPU time in seconds.
#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>

#include "tifflib/Vellum32.h"

// CPU time of this process: the machine is shared, so wall time says little.
static double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const int runs = std::atoi(argv[2]);
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        const double start = cpuSeconds();
        HLQMEM dib = nullptr;
        if (readtiffiledib(argv[1], 0, 0, 0, &dib, 0, nullptr, 0, nullptr) != 1) return 1;
        lqMemFree(dib);
        best = std::min(best, cpuSeconds() - start);
    }
    std::printf("%.6f\n", best);
    return 0;
}
