// Loads a JPEG file into TLQDib N times; prints the best wall-clock time and the best
// processor time (user + system) of one load, in seconds.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "imaging/LQDib.h"

namespace {
double processorSeconds() {
    timespec t {};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const int runs = std::atoi(argv[2]);
    double bestWall = 1e9, bestCpu = 1e9;
    for (int i = 0; i < runs; ++i) {
        TLQDib dib;
        const double cpu = processorSeconds();
        const auto start = std::chrono::steady_clock::now();
        if (!dib.LoadFromFile(QString::fromLocal8Bit(argv[1]))) return 1;
        bestWall = std::min(bestWall, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        bestCpu = std::min(bestCpu, processorSeconds() - cpu);
    }
    std::printf("%.6f %.6f\n", bestWall, bestCpu);
    return 0;
}
