// Feeds arbitrary bytes to the BMP reader: it must answer a valid DIB or fail with a reason,
// never crash, overrun or leak.
#include <cstdint>
#include <cstdlib>

#include "rastervane/RVDib.h"
#include "rastervane/RVBmp.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An RLE file of a few bytes may declare an image of the pack's full size; filling such
    // images would slow the fuzzer down to a crawl without covering anything new.
    rv::RVSetImageLimit(1 << 22);
    HLQMEM dib = rv::rdbmpstreamdib({data, size});
    if (!dib) return 0;
    if (!rv::RVCheckDib(dib, nullptr)) std::abort();
    lqMemFree(dib);
    return 0;
}
