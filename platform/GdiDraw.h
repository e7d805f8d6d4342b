// Drawing through a device context: mapping, pens, brushes, fonts, lines, shapes and text.
//
// Coordinates are logical and pass through the mapping mode. Pens of width 0 or 1 draw one
// device pixel wide at any scale; wider pens scale with the x axis of the mapping. Filled
// shapes are filled with the brush and outlined with the pen. Arcs run counter-clockwise as
// seen on the device (y down) from the radial through the start point to the radial through
// the end point; coinciding radials give the whole ellipse. Texts are bytes in Windows-1252
// (the code page of the system's stored files).
//
// Calls on a metafile context record the call instead of drawing it (platform/GdiMetafile.h).
#pragma once

#include "platform/Gdi.h"

extern "C" {

LQP_API int lqSetMapMode(HLQDC dc, int mode);  // answers the previous mode, 0 on failure
// Each answers false for a bad handle or an extent of 0; `previous` may be null.
LQP_API bool lqSetWindowOrg(HLQDC dc, std::int32_t x, std::int32_t y, LqPoint* previous);
LQP_API bool lqSetWindowExt(HLQDC dc, std::int32_t x, std::int32_t y, LqPoint* previous);
LQP_API bool lqSetViewportOrg(HLQDC dc, std::int32_t x, std::int32_t y, LqPoint* previous);
LQP_API bool lqSetViewportExt(HLQDC dc, std::int32_t x, std::int32_t y, LqPoint* previous);
LQP_API std::uint32_t lqSetTextAlign(HLQDC dc, std::uint32_t align);  // previous alignment

LQP_API HLQGDIOBJ lqGetStockObject(int which);
LQP_API HLQGDIOBJ lqCreatePen(int style, std::int32_t width, lqp::ColorRef color);
LQP_API HLQGDIOBJ lqCreateSolidBrush(lqp::ColorRef color);
LQP_API HLQGDIOBJ lqCreateFontIndirect(const LqLogFont* font);
// Selects a pen, brush or font and answers the one of the same kind selected before.
LQP_API HLQGDIOBJ lqSelectObject(HLQDC dc, HLQGDIOBJ object);
LQP_API bool lqDeleteObject(HLQGDIOBJ object);

LQP_API bool lqMoveTo(HLQDC dc, std::int32_t x, std::int32_t y, LqPoint* previous);
LQP_API bool lqLineTo(HLQDC dc, std::int32_t x, std::int32_t y);
LQP_API bool lqPolyline(HLQDC dc, const LqPoint* points, std::uint32_t count);  // count >= 2
LQP_API bool lqPolygon(HLQDC dc, const LqPoint* points, std::uint32_t count);   // count >= 2
LQP_API bool lqRectangle(HLQDC dc, std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom);
// The ellipse inside the bounding box, whose right and bottom edges are not part of it.
LQP_API bool lqEllipse(HLQDC dc, std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom);
LQP_API bool lqArc(HLQDC dc, std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
                   std::int32_t xStart, std::int32_t yStart, std::int32_t xEnd, std::int32_t yEnd);
// Answers the colour set, kLqColorInvalid on failure.
LQP_API lqp::ColorRef lqSetPixel(HLQDC dc, std::int32_t x, std::int32_t y, lqp::ColorRef color);
// Writes `length` bytes of text at the reference point, placed by the text alignment, in the
// selected font and the text colour; an opaque background mode fills the text cell first.
LQP_API bool lqTextOut(HLQDC dc, std::int32_t x, std::int32_t y, const char* text, std::int32_t length);

}  // extern "C"
