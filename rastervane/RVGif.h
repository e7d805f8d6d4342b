// GIF files, written with giflib. Images of 8 bits or fewer keep their colour table; others
// are reduced to 256 colours by the median cut of the colour library (lqcolor) with
// Floyd-Steinberg error diffusion.
#pragma once

#include <string>

#include "platform/MemBlock.h"
#include "rastervane/RVError.h"

namespace rv {

bool wrgiffiledib(const std::string& fileName, HLQMEM dib, const RVProgress& progress = {});

}  // namespace rv
