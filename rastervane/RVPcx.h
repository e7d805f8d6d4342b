// ZSoft PCX files (the pack's own code).
//
// The reader takes 1-bit black-and-white, 1-bit planar (2 to 4 planes), 2- and 4-bit packed
// images with the header's 16-colour table, 8-bit images with the 256-colour table at the end
// of the file (grey without it), and 24-bit (3 planes) and 32-bit (4 planes, the fourth
// ignored) images, RLE-encoded or not, and brings them to 24 bits. The writer writes 24-bit
// images as three planes, 8-bit images with a 256-colour table, black-and-white 1-bit images
// as one plane and other 1- and 4-bit images as four 1-bit planes.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/MemBlock.h"
#include "rastervane/RVError.h"

namespace rv {

HLQMEM rdpcxfiledib(const std::string& fileName, const RVProgress& progress = {});
HLQMEM rdpcxstreamdib(std::span<const std::uint8_t> pcx, const RVProgress& progress = {});
bool wrpcxfiledib(const std::string& fileName, HLQMEM dib, const RVProgress& progress = {});

}  // namespace rv
