// PNG files, on libpng.
//
// The reader brings every PNG to 24 bits: palette and grey images are expanded, 16-bit
// samples keep their high byte, and images with an alpha channel or a transparent colour are
// composited over white (the paper they are printed on). The writer writes 1-, 4- and 8-bit
// DIBs as palette PNGs of the same depth and everything else as 8-bit RGB; the pixel density
// travels in both directions.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/MemBlock.h"
#include "rastervane/RVError.h"

namespace rv {

HLQMEM rdpngfiledib(const std::string& fileName, const RVProgress& progress = {});
HLQMEM rdpngstreamdib(std::span<const std::uint8_t> png, const RVProgress& progress = {});
bool wrpngfiledib(const std::string& fileName, HLQMEM dib, bool interlaced, const RVProgress& progress = {});

}  // namespace rv
