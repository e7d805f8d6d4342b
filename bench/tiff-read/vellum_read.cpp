// Decodes a TIFF page with libVellum32.so N times; prints the best time in seconds.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "tifflib/Vellum32.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const int runs = std::atoi(argv[2]);
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        HLQMEM dib = nullptr;
        if (readtiffiledib(argv[1], 0, 0, 0, &dib, 0, nullptr, 0, nullptr) != 1) return 1;
        lqMemFree(dib);
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::printf("%.6f\n", best);
    return 0;
}
