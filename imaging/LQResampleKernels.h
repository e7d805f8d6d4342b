// The inner loops of the resampler, compiled once for the baseline instruction set and, on
// x86-64, once more for AVX2 (LQResampleKernels.inc included by two sources with different
// flags). Both builds give the same bits: every sum is formed in the same order and nothing is
// contracted into fused operations.
#pragma once

#include <cstdint>

namespace lqresample {

// A pixel as four floats (blue, green, red, unused), so that one vector operation blends all
// channels of one tap.
typedef float Pixel4 __attribute__((vector_size(16)));

struct Kernels {
    // out[q] = pixel source[q] of the 24-bit row src, for q < count.
    void (*expandRow)(const std::uint8_t* src, const int* source, int count, Pixel4* out);
    // count destination pixels of one row: pixel i blends taps pixels of ext from first[i]
    // with weights[i × taps ...]; written as 3 bytes each, clamped and rounded.
    void (*blendColumns)(const Pixel4* ext, const int* first, const float* weights, int taps, int count,
                         std::uint8_t* out);
    // len bytes of one destination row: byte x blends byte x of taps rows with the weights.
    void (*blendRows)(const std::uint8_t* const* rows, const float* weights, int taps, std::uint8_t* out, int len);
};

extern const Kernels kBaselineKernels;
#if defined(__x86_64__)
extern const Kernels kAvx2Kernels;
#endif

}  // namespace lqresample
