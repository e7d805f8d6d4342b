// Metafiles: recorded drawing calls that can be played into any context.
//
// A metafile context records every drawing call of platform/GdiDraw.h with its logical
// coordinates as 16-bit values, the form a metafile record has; a call whose values do not fit
// 16 bits is refused (kLqErrInvalidParameter) and not recorded. Pens, brushes and fonts are
// recorded by value when they are selected. Mapping calls are recorded too: playing sets the
// metafile's window on the target, while the target's viewport decides the scale.
//
// Playing saves the target's drawing state and restores it afterwards.
#pragma once

#include "platform/GdiDraw.h"

extern "C" {

// The functions of the records, and their 16-bit parameters.
enum LqMetaFunction : std::uint16_t {
    kLqMetaSetMapMode = 1,      // mode
    kLqMetaSetWindowOrg,        // x, y
    kLqMetaSetWindowExt,        // x, y
    kLqMetaSetViewportOrg,      // x, y
    kLqMetaSetViewportExt,      // x, y
    kLqMetaSetTextColor,        // colour low word, high word
    kLqMetaSetBkColor,          // colour low word, high word
    kLqMetaSetBkMode,           // mode
    kLqMetaSetTextAlign,        // alignment
    kLqMetaSelectPen,           // style, width, colour low, colour high
    kLqMetaSelectBrush,         // null flag, colour low, colour high
    kLqMetaSelectFont,          // the LqLogFont fields in order up to the face name; text: face name
    kLqMetaMoveTo,              // x, y
    kLqMetaLineTo,              // x, y
    kLqMetaPolyline,            // x0, y0, x1, y1, ...
    kLqMetaPolygon,             // x0, y0, x1, y1, ...
    kLqMetaRectangle,           // left, top, right, bottom
    kLqMetaEllipse,             // left, top, right, bottom
    kLqMetaArc,                 // left, top, right, bottom, x start, y start, x end, y end
    kLqMetaSetPixel,            // x, y, colour low, colour high
    kLqMetaTextOut,             // x, y; text: the bytes
};

struct LqMetaRecord {
    std::uint16_t function;
    std::uint32_t count;            // number of parameters
    const std::int16_t* params;
    const char* text;               // null when the record has no text
    std::uint32_t textLength;
};

// Answers false to stop the enumeration.
typedef bool (*LqMetaEnumProc)(const LqMetaRecord* record, void* user);

// A context that records into a new metafile.
LQP_API HLQDC lqCreateMetafileDC();
// Ends the recording, deletes the context and answers the metafile.
LQP_API HLQMETAFILE lqCloseMetafile(HLQDC dc);
LQP_API bool lqPlayMetafile(HLQDC dc, HLQMETAFILE metafile);
// Calls `proc` for each record in order; false for a bad handle or when `proc` stopped.
LQP_API bool lqEnumMetafile(HLQMETAFILE metafile, LqMetaEnumProc proc, void* user);
LQP_API bool lqDeleteMetafile(HLQMETAFILE metafile);

}  // extern "C"
