// JPEG files and JPEG file images in memory, on libjpeg-turbo.
//
// Readers answer a new 24-bit DIB (blue, green, red; greyscale and CMYK images are converted)
// with the resolution the file carries, or null with the pack's last error. Writers encode a
// DIB of any depth: 24-bit DIBs and 8-bit DIBs with a grey ramp are written as they are,
// other depths through their colour table. A failing writer leaves an existing file as it was.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/MemBlock.h"
#include "rastervane/RVError.h"

namespace rv {

HLQMEM rdjpgfiledib(const std::string& fileName, const RVProgress& progress = {});
// Decodes a complete JPEG file image held in memory.
HLQMEM rdjpgstreamdib(std::span<const std::uint8_t> jpeg, const RVProgress& progress = {});

// quality 1..100; smoothing 0..100 (0 = none).
bool wrjpgfiledib(const std::string& fileName, HLQMEM dib, int quality, int smoothing, const RVProgress& progress = {});
// Encodes the DIB as a complete JPEG file image into `jpeg` (replacing what it held).
bool wrjpgstreamdib(std::vector<std::uint8_t>& jpeg, HLQMEM dib, int quality, int smoothing, const RVProgress& progress = {});

}  // namespace rv
