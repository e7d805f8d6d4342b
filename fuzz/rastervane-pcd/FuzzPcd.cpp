// Feeds arbitrary bytes to the Photo-CD reader at each of its resolutions: it must answer a
// valid DIB or fail with a reason, never crash, overrun or leak.
#include <cstdint>
#include <cstdlib>

#include "rastervane/RVDib.h"
#include "rastervane/RVPcd.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (rv::TPCDMode mode : {rv::pcd_BASE16, rv::pcd_BASE4, rv::pcd_BASE}) {
        HLQMEM dib = rv::readpcdstreamdib({data, size}, mode);
        if (!dib) continue;
        if (!rv::RVCheckDib(dib, nullptr)) std::abort();
        lqMemFree(dib);
    }
    return 0;
}
