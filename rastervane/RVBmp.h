// Windows and OS/2 bitmap files (the pack's own code).
//
// The reader takes 1-, 4-, 8-, 16-, 24- and 32-bit files, uncompressed, RLE8, RLE4 and with
// bit-field masks, stored bottom-up or top-down, with core (OS/2 1.x), info and V4/V5
// headers, and brings them to 24 bits. Pixels that an RLE file skips get colour 0 of its
// table. The writer writes the DIB as it is, at its own depth.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/MemBlock.h"
#include "rastervane/RVError.h"

namespace rv {

HLQMEM rdbmpfiledib(const std::string& fileName, const RVProgress& progress = {});
HLQMEM rdbmpstreamdib(std::span<const std::uint8_t> bmp, const RVProgress& progress = {});
bool wrbmpfiledib(const std::string& fileName, HLQMEM dib, const RVProgress& progress = {});
// The DIB as the bytes of a BMP file (used for the clipboard).
bool wrbmpstreamdib(std::vector<std::uint8_t>& bmp, HLQMEM dib);

}  // namespace rv
