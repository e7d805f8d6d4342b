// Feeds arbitrary bytes to the TGA reader: it must answer a valid DIB or fail with a reason,
// never crash, overrun or leak.
#include <cstdint>
#include <cstdlib>

#include "rastervane/RVDib.h"
#include "rastervane/RVTga.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    HLQMEM dib = rv::readtgastreamdib({data, size});
    if (!dib) return 0;
    if (!rv::RVCheckDib(dib, nullptr)) std::abort();
    lqMemFree(dib);
    return 0;
}
