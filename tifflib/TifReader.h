// Decoding one TIFF page into a packed DIB, and the page information getinfo reports.
#pragma once

#include <cstdint>

#include "platform/MemBlock.h"
#include "tifflib/Color.h"
#include "tifflib/TifIo.h"

namespace vellum {

struct Progress {
    LqProgressProc callback = nullptr;
    std::int32_t user = 0;
    // Answers false when the callback asks to stop.
    bool report(int percent) const { return !callback || callback(percent, user) != 0; }
};

struct DecodeResult {
    HLQMEM dib = nullptr;      // the caller owns it
    std::uint32_t error = 0;   // reason code when dib is null
};

// Decodes page `page` (pages counted without reduced-resolution and deleted images).
// A decoded 32-bit page comes back as 24 bits.
DecodeResult decodePage(TifIo& io, int page, const Progress& progress);

struct PageInfo {
    std::uint32_t width = 0, height = 0, compression = 0, bitsPerPixel = 0;
    int pages = 0;
};
struct InfoResult {
    PageInfo info;
    std::uint32_t error = 0;
};
InfoResult readPageInfo(TifIo& io, int page);

}  // namespace vellum
