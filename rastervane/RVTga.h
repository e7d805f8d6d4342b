// Truevision TGA files (the pack's own code).
//
// The reader takes colour-mapped (8-bit indices into a 15-, 16-, 24- or 32-bit map),
// true-colour (15, 16, 24, 32 bits) and grey (8 bits) images, uncompressed or RLE, in any of
// the four corner orders, and brings them to 24 bits; an alpha channel is ignored. The writer
// writes 1-, 4- and 8-bit DIBs colour-mapped and the others as 24-bit true colour, RLE when
// that makes the file smaller.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/MemBlock.h"
#include "rastervane/RVError.h"

namespace rv {

HLQMEM readtgafiledib(const std::string& fileName, const RVProgress& progress = {});
HLQMEM readtgastreamdib(std::span<const std::uint8_t> tga, const RVProgress& progress = {});
bool writetgafiledib(const std::string& fileName, HLQMEM dib, const RVProgress& progress = {});

// True when the 18 header bytes describe a TGA image this reader can take (TGA files have no
// signature; file information uses this as its last guess).
bool LooksLikeTga(std::span<const std::uint8_t> header);

}  // namespace rv
