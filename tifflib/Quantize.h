// Two-pass median-cut quantizer for 24-bit DIBs (the IJG design): a 5/6/5-bit histogram, boxes
// split at the midpoint of their longest scaled axis, and a second pass that maps every pixel
// to the nearest palette colour, optionally with serpentine Floyd-Steinberg diffusion.
#pragma once

#include <cstdint>
#include <vector>

#include "tifflib/Color.h"

namespace lqcolor {

struct QuantizeRequest {
    int colors = 256;                       // palette size wanted (16 or 256)
    bool dither = false;
    std::vector<std::uint8_t> palette;      // given palette as r, g, b triples; empty: build one
    int outBits = 8;                        // 4 or 8
    std::uint32_t clrImportant = 0;
    std::int32_t user = 0;
    LqProgressProc progress = nullptr;
};

// Quantizes a 24-bit DIB. On success *out is a new block and the answer is 1; otherwise a
// negative code (kColorNot24Bit, kColorOutOfMemory, kColorQuantizeFailed on cancel).
short quantize(HLQMEM dib24, const QuantizeRequest& request, HLQMEM* out);

}  // namespace lqcolor
