// Kodak Photo CD image packs (the pack's own code): the three base resolutions, stored as
// PhotoYCC with chroma at half resolution, converted to 24-bit RGB and turned upright by the
// orientation the file records.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/MemBlock.h"
#include "rastervane/RVError.h"

namespace rv {

// The resolution read from a Photo CD file: 192 × 128, 384 × 256 or 768 × 512.
enum TPCDMode { pcd_BASE16, pcd_BASE4, pcd_BASE };

HLQMEM readpcdfiledib(const std::string& fileName, TPCDMode mode, const RVProgress& progress = {});
HLQMEM readpcdstreamdib(std::span<const std::uint8_t> pcd, TPCDMode mode, const RVProgress& progress = {});

// True when the data carries the Photo CD image pack signature.
bool LooksLikePcd(std::span<const std::uint8_t> data);

}  // namespace rv
