// Times every effect on one 24-megapixel 24-bit image and the same operation in ImageMagick (one
// thread, one run, read from its memory-mapped cache format, the time of reading alone taken off),
// and prints both with their ratio. Times are processor seconds (user and system, page faults
// included), which a busy machine disturbs far less than wall-clock time. Not a test: run it
// through bench/effects/run.
//   effects_bench [WIDTH HEIGHT]
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "platform/MemBlock.h"
#include "rastervane/effects/RVEffects.h"
#include "tests/effects/EffectsTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec * 1e-9;
}

double childSeconds() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

double magickSeconds(const std::string& cache, const std::string& options) {
    const std::string command = "MAGICK_THREAD_LIMIT=1 convert " + cache + " " + options + " null: 2>/dev/null";
    const double before = childSeconds();
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
    return childSeconds() - before;
}

struct Entry {
    const char* name;
    std::function<void(HLQMEM)> run;  // frees what it makes
    const char* magick;               // the peer's options, or null where it would only page to disk
};

}  // namespace

int main(int argc, char** argv) {
    const int width = argc > 2 ? std::atoi(argv[1]) : 6000, height = argc > 2 ? std::atoi(argv[2]) : 4000;
    lqp::MemOwner dib(fxtest::makeDib(fxtest::noise(width, height, 1)));
    lqtest::TempDir dir;
    fxtest::writeBmp(dib.get(), dir.file("in.bmp"));
    const std::string cache = lqtest::shellQuote(dir.file("in.mpc"));
    if (std::system(("convert " + lqtest::shellQuote(dir.file("in.bmp")) + " " + cache).c_str()) != 0) return 1;
    const double load = magickSeconds(cache, "");

    const auto free = [](HLQMEM h) { lqMemFree(h); };
    const Entry entries[] = {
        {"RVInvert", [](HLQMEM d) { rv::RVInvert(d); }, "-negate"},
        {"RVBrightness 20", [&](HLQMEM d) { free(rv::RVBrightness(d, 20)); }, "-evaluate add 7.8%"},
        {"RVGamma 20", [&](HLQMEM d) { free(rv::RVGamma(d, 20)); }, "-gamma 2"},
        {"Enhance", [&](HLQMEM d) { free(rv::Enhance(d, {}, 12, 10, 9, 30, 10)); }, "-brightness-contrast 4x12"},
        {"GrayArea", [&](HLQMEM d) { free(rv::GrayArea(d, {}, {})); }, "-grayscale Rec601Luma"},
        {"Better 5", [&](HLQMEM d) { free(rv::Better(d, {}, 5)); }, "-unsharp 0x1+1.25+0"},
        {"RVMirror h", [&](HLQMEM d) { free(rv::RVMirror(d, true, false)); }, "-flop"},
        {"RVMirror v", [&](HLQMEM d) { free(rv::RVMirror(d, false, true)); }, "-flip"},
        {"RVRotate 90", [](HLQMEM d) { rv::RVRotate(d, 90, 0); }, "-rotate 270"},
        {"RVRotate 30", [](HLQMEM d) { rv::RVRotate(d, 30, 0); }, "-rotate -30"},
        {"RVImageCopy 50% aa", [&](HLQMEM d) { free(rv::RVImageCopy(d, width / 2, height / 2, rv::C_ANTIALIAS, 0, 0, width - 1, height - 1)); }, "-scale 50%"},
        {"RVImageCopy 150% aa", [&](HLQMEM d) { free(rv::RVImageCopy(d, width * 3 / 2, height * 3 / 2, rv::C_ANTIALIAS, 0, 0, width - 1, height - 1)); }, nullptr},
        {"RVImageCopy 50% del", [&](HLQMEM d) { free(rv::RVImageCopy(d, width / 2, height / 2, rv::C_DEL, 0, 0, width - 1, height - 1)); }, "-sample 50%"},
    };
    std::printf("%d x %d pixels, 24 bits; processor seconds, Lumquil best of 3; ImageMagick one thread,\n"
                "one run, %.3f s of reading taken off\n", width, height, load);
    std::printf("%-22s %10s %12s %8s\n", "operation", "Lumquil s", "ImageMagick s", "ratio");
    for (const Entry& e : entries) {
        // Some operations work in place: each run gets a fresh copy, made outside the timing.
        double ours = 1e30;
        for (int i = 0; i < 3; ++i) {
            lqp::MemOwner copy(rv::RVImageCopy(dib.get(), width, height, rv::C_DEL, 0, 0, width - 1, height - 1));
            const double t0 = threadSeconds();
            e.run(copy.get());
            ours = std::min(ours, threadSeconds() - t0);
        }
        if (!e.magick) {
            std::printf("%-22s %10.3f %12s %8s\n", e.name, ours, "-", "-");
            continue;
        }
        const double peer = magickSeconds(cache, e.magick) - load;
        std::printf("%-22s %10.3f %12.3f %8.2f\n", e.name, ours, peer, ours / peer);
    }
    return 0;
}
