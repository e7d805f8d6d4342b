// Feeds arbitrary bytes to the raw video frame reader (with and without its gamma step): it
// must answer a valid DIB or fail with a reason, never crash, overrun or leak. Frames are
// 786 432 bytes, so run it with -max_len=800000.
#include <cstdint>
#include <cstdlib>

#include "imaging/LQDib.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int gamma = size > 0 && data[size - 1] % 2 ? 25 : 10;
    HLQMEM dib = TLQDib::ReadCVP({data, size}, gamma);
    if (!dib) return 0;
    if (!rv::RVCheckDib(dib, nullptr)) std::abort();
    lqMemFree(dib);
    return 0;
}
