// Reading the sections of a drawing into the model; readDrawing (DxfDrawing.h) adds the
// extents and the scale.
#pragma once

#include "dxflib/DxfDrawing.h"

namespace lqdxf {

// Fills `d` with the header variables, tables, blocks and entities, INSERTs resolved to blocks.
DxfError parseSections(Input& in, Drawing& d);

}  // namespace lqdxf
