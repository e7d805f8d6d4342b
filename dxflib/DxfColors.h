// The 256 colours of the DXF colour index.
#pragma once

#include "platform/Color.h"

namespace lqdxf {

// The colour of index 0-255 (other indexes answer white).
lqp::ColorRef colorOfIndex(int index);

}  // namespace lqdxf
