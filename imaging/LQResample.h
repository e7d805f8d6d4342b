// Resampling of 24-bit packed DIBs with seven reconstruction filters.
//
// Both resamplers are separable: a horizontal pass turns every needed source row into a row of
// the destination width (rounded and clamped to bytes, as a 24-bit work bitmap holds it), then a
// vertical pass blends work rows into destination rows. Scaling is corner-aligned: destination
// index 0 sits on source index 0 and the last destination index on the last source index.
// Filter weights are taken at the plain distance from the pixel centre in both directions, also
// when reducing, and are not normalised. All filter arithmetic is single precision.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/MemBlock.h"

using TLQFilterFunction = float (*)(float x);

struct TLQResampleFilter {
    const char* Name;            // "Box", "Triangle", ...
    TLQFilterFunction Function;
    float Support;               // f(x) = 0 for |x| >= Support (the box keeps x = 0.5)
};

constexpr int kResampleFilterCount = 7;
constexpr int kDefaultResampleFilter = 4;   // Bell

// The filter of index 1..7; null for 0 (no resampling) and any other index.
const TLQResampleFilter* ResampleFilter(int index);

// Contributors of every destination index in one direction: destination index i blends
// Weights[i * Taps + k] × source pixel Source[First[i] + k] for k < Taps. Lists shorter than
// Taps are padded with zero weights at their end, so that every list has the same length.
struct TLQContributors {
    int Taps = 0;
    std::vector<int> First;       // index into Source of each destination index's first tap
    std::vector<int> Count;       // taps up to the last non-zero weight of each destination index
    std::vector<float> Weights;   // Taps per destination index
    std::vector<int> Source;      // the source pixel each tap position reads (reflected, in range)
};

// Contributors for `destExtent` destination pixels from the source span [start, start + extent)
// of an image `imageExtent` pixels long. Taps that fall outside the image are reflected at its
// border and clamped into it. The arguments must satisfy destExtent >= 1, extent >= 1 and
// 0 <= start, start + extent <= imageExtent.
TLQContributors BuildContributors(int destExtent, int start, int extent, int imageExtent,
                                  TLQFilterFunction filter, float support);

// Rectangle resampler: the source rectangle (left, top, width, height; top-down; a width or
// height of 0 means the rest of the image from left or top) of `source` into the whole of
// `dest`. Both blocks must hold valid 24-bit packed DIBs; the rectangle must lie inside the
// source image. `threads`: 1 runs on the calling thread alone, 2 or more adds one helper thread,
// 0 lets the resampler decide (two threads for large results on a machine that has them).
// False, with `dest` untouched, on any invalid argument or when memory runs out.
bool ResampleDibRect(HLQMEM source, int left, int top, int width, int height, HLQMEM dest,
                     TLQFilterFunction filter, float support, int threads = 1);

// Whole-image resampler: all of `source` into all of `dest` (which has the wanted size).
bool ResampleDib(HLQMEM source, HLQMEM dest, TLQFilterFunction filter, float support, int threads = 0);
