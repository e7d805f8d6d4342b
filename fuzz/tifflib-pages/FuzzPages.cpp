// Fuzzes the page and tag operations on fuzzed TIFF streams: tags listed, read and written,
// pages swapped, moved and deleted, a page appended and inserted, and the stream packed.
// Page and tag numbers come from the input's length, so the file itself stays intact. Streams
// that declare pages of more than a megapixel skip the operations that decode every page:
// those spend their time allocating, which the reader fuzz targets already cover.
#include <cstdint>
#include <cstring>

#include "platform/Dib.h"
#include "tifflib/Vellum32.h"

namespace {

void ignoreTag(std::int32_t, std::int32_t, std::int32_t, const void*, std::int32_t) {}

bool smallPages(const void* address, std::uint32_t length) {
    short pages = 0;
    for (short p = 0; p == 0 || p < pages; ++p) {
        std::int32_t w = 0, h = 0, reserved;
        short comp, bpp;
        if (getinfostream(address, length, p, &w, &h, &comp, &reserved, &pages, &bpp) == 1 &&
            std::int64_t(w) * h > (1 << 20))
            return false;
        if (pages > 16) return false;
    }
    return true;
}

void exercise(void*& address, std::uint32_t& length, std::size_t size) {
    const short a = short(size % 3), b = short(size / 3 % 3);
    static const short kTags[] = {254, 256, 282, 305, 306, 315};
    const short tag = kTags[size % 6];
    returntagsstream(address, length, a, 0, ignoreTag);
    short count;
    std::int32_t value;
    void* text = nullptr;
    if (readtagstream(address, length, a, tag, &count, &value, &text) == 1 && text) {
        HLQMEM h = lqMemHandleOf(text);
        lqMemUnlock(h);
        lqMemFree(h);
    }
    const bool small = smallPages(address, length);
    writetagstream(address, length, a, tag, 77);
    writetagstringstream(address, length, a, tag, "fuzzed text");
    swappagesstream(address, length, a, b);
    movepagestream(address, length, a, b);
    deletepagestream(address, length, b);
    if (!small) return;
    HLQMEM dib = lqp::createDib(9, 3, size % 2 ? 1 : 24);
    const short compression = short(size % 7);
    writetiffiledibstream(&address, &length, compression, size % 2 ? 1 : 24, 1, dib, 0, nullptr, 0, nullptr);
    writetiffiledibpagestream(&address, &length, compression, 8, a, dib, 0, nullptr, 0, nullptr);
    lqMemFree(dib);
    packtiffstream(&address, &length, 0, nullptr);
    HLQMEM page = nullptr;
    if (readtiffiledibstream(address, length, 0, 0, 0, &page, 0, nullptr, 0, nullptr) == 1) lqMemFree(page);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    HLQMEM block = lqMemAlloc(size);
    if (!block) return 0;
    void* address = lqMemLock(block);
    if (size) std::memcpy(address, data, size);
    std::uint32_t length = std::uint32_t(size);
    exercise(address, length, size);
    HLQMEM h = lqMemHandleOf(address);  // the writers may have handed back another block
    lqMemUnlock(h);
    lqMemFree(h);
    return 0;
}
