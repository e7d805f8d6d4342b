// Fuzzes the TIFF stream reader: the input is copied into a memory block and read through
// getinfostream and readtiffiledibstream, every page in turn, with a stated length that is
// sometimes longer than the data.
#include <cstdint>
#include <cstring>

#include "tifflib/Vellum32.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    HLQMEM block = lqMemAlloc(size);
    if (!block) return 0;
    void* address = lqMemLock(block);
    if (size) std::memcpy(address, data, size);
    const std::uint32_t length = std::uint32_t(size % 7 == 0 ? size + 64 : size);
    std::int32_t w, h, reserved;
    short comp, pages = 0, bpp;
    getinfostream(address, length, 0, &w, &h, &comp, &reserved, &pages, &bpp);
    for (short page = 0; page < pages && page < 4; ++page) {
        HLQMEM dib = nullptr;
        if (readtiffiledibstream(address, length, 0, 0, page, &dib, 0, nullptr, 0, nullptr) == 1) lqMemFree(dib);
    }
    lqMemUnlock(block);
    lqMemFree(block);
    return 0;
}
