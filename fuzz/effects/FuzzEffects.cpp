// Every effect on an arbitrary block: the first 8 bytes choose the parameters, the rest is
// handed over as a packed DIB. Whatever the header says, an operation must answer an error or
// a valid DIB, and free everything it made.
#include <cstdint>
#include <cstring>

#include "platform/Dib.h"
#include "platform/MemBlock.h"
#include "rastervane/effects/RVEffects.h"

namespace {

void discard(HLQMEM h) {
    if (h) lqMemFree(h);
}

// Pixels of the DIB when its header is valid, else 0.
std::int64_t pixelCount(HLQMEM block) {
    lqp::MemLock lock(block);
    lqp::DibHeader h;
    if (!lock || lqp::validateDib(lock.data(), lqMemSize(block), &h) != lqp::DibCheck::Ok) return 0;
    return std::int64_t(h.width) * h.height;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 8) return 0;
    const std::uint8_t* p = data;
    HLQMEM block = lqMemAlloc(size - 8);
    if (!block) return 0;
    if (size > 8) std::memcpy(lqp::MemLock(block).data(), data + 8, size - 8);
    // Keeps results small: enlarging copies and free rotations only of small images.
    const bool small = pixelCount(block) <= 4096;
    const rv::RVProgress cancelLate = [&](int percent) { return percent < p[7]; };

    discard(rv::Enhance(block, cancelLate, p[0], p[1], p[2], std::int8_t(p[3]) * 2, std::int8_t(p[4]) * 2));
    discard(rv::Better(block, cancelLate, std::int8_t(p[0]) % 12));
    discard(rv::RVGamma(block, p[1]));
    discard(rv::RVBrightness(block, std::int8_t(p[2])));
    discard(rv::RVMirror(block, p[3] & 1, p[3] & 2));
    discard(rv::GrayArea(block, cancelLate, {p[0] % 8, p[1] % 8, p[2] % 16, p[3] % 16}));
    discard(rv::RVImageCopy(block, small ? 1 + p[4] % 40 : 1 + p[4] % 4, small ? 1 + p[5] % 40 : 1 + p[5] % 4,
                            p[6] & 31, p[0] % 4, p[1] % 4, p[2] % 16, p[3] % 16));
    discard(rv::RVReduceColors(block, 2 + p[5] % 255, rv::TSortDither(p[6] % 4)));
    rv::RVInvert(block);
    rv::RVRotate(block, small ? p[5] * 7.5 : 90.0 * (p[5] % 4), p[4] * 0x10101u);
    lqMemFree(block);
    return 0;
}
