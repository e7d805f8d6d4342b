// A parsed drawing drawn into a metafile of the platform layer: window (0, 0) to the output
// extent in anisotropic mapping, so that whoever plays it chooses the scale with a viewport.
#pragma once

#include "dxflib/DxfRender.h"
#include "platform/GdiMetafile.h"

namespace lqdxf {

// The metafile, or null with the reason in `error` (Cancelled when the progress callback
// stopped the drawing; nothing is handed back then).
HLQMETAFILE drawMetafile(const Drawing& d, const Progress& progress, DxfError& error);

// The 256 DXF colours as a logical palette.
HLQPALETTE makeColorPalette();

// The device bitmap of 800 x 600 pixels that the library makes of a metafile: the drawing
// stretched over the whole bitmap on black. Null when no bitmap could be made.
constexpr int kBitmapWidth = 800;
constexpr int kBitmapHeight = 600;
HLQBITMAP drawBitmap(const Drawing& d, HLQMETAFILE metafile, HLQPALETTE palette);

}  // namespace lqdxf
