// The drawing layer: device bitmaps, logical palettes, device contexts with their drawing
// calls, and metafiles, on cairo.
//
// Every object is addressed by a handle that is a sequence number looked up in one registry
// inside liblqplatform.so, never an address: a null, unknown, freed or wrongly typed handle is
// an error answer (null, 0, false) with kLqErrInvalidHandle in the last-error slot, never a
// crash. Whoever receives a bitmap, palette or metafile from a library frees it. Live objects
// are counted (lqGdiLiveObjects) so that tests catch leaks; stock objects are not counted.
//
// The screen this layer stands for is a 24-bit true-colour device. A memory context is
// compatible with the screen; it starts with a 1 x 1 monochrome stock bitmap, the black pen,
// the white brush and the system font selected, like any new context. An object that is
// selected into a context cannot be deleted (kLqErrBusy); select the previous one back first.
//
// Coordinates given to a context are logical; the mapping mode turns them into device pixels
// (kLqMapText: one to one; kLqMapAnisotropic: window origin and extent onto viewport origin
// and extent). Contexts on bitmaps round device coordinates to whole pixels and draw without
// anti-aliasing, as a device bitmap has it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Color.h"
#include "platform/Export.h"
#include "platform/MemBlock.h"

// The reason code for deleting or selecting an object that is in use by a context.
constexpr std::uint32_t kLqErrBusy = 170;

extern "C" {

struct LqDcTag;
struct LqBitmapTag;
struct LqPaletteTag;
struct LqMetafileTag;
struct LqGdiObjTag;
using HLQDC = LqDcTag*;
using HLQBITMAP = LqBitmapTag*;
using HLQPALETTE = LqPaletteTag*;
using HLQMETAFILE = LqMetafileTag*;
using HLQGDIOBJ = LqGdiObjTag*;  // a drawing tool: pen, brush or font

struct LqPoint {
    std::int32_t x;
    std::int32_t y;
};

struct LqPaletteEntry {
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;
    std::uint8_t flags;
};

struct LqBitmapInfo {
    std::int32_t width;
    std::int32_t height;
    std::uint16_t bitCount;  // 1 (monochrome) or 24 (screen depth)
};

// A logical font. Height > 0 is the character cell height, < 0 the character (em) height,
// 0 a default of 12 pixels; width is the average character width (0: the face's own
// proportion); escapement is the text direction in tenths of a degree, counter-clockwise.
struct LqLogFont {
    std::int32_t height;
    std::int32_t width;
    std::int32_t escapement;
    std::int32_t orientation;
    std::int32_t weight;  // 400 normal, 700 bold
    std::uint8_t italic;
    std::uint8_t underline;
    std::uint8_t strikeOut;
    std::uint8_t charSet;
    std::uint8_t outPrecision;
    std::uint8_t clipPrecision;
    std::uint8_t quality;
    std::uint8_t pitchAndFamily;
    char faceName[32];
};

constexpr int kLqScreenDepth = 24;
constexpr std::uint32_t kLqMaxBitmapSide = 32767;
constexpr std::uint32_t kLqMaxPaletteEntries = 65535;

// Stretch modes: how rows and columns are dropped when a picture is shrunk.
constexpr int kLqStretchBlackOnWhite = 1;  // AND of the dropped pixels (keeps black)
constexpr int kLqStretchWhiteOnBlack = 2;  // OR of the dropped pixels (keeps white)
constexpr int kLqStretchColorOnColor = 3;  // dropped pixels are deleted
constexpr int kLqStretchHalftone = 4;      // average of the dropped pixels
constexpr std::uint32_t kLqSrcCopy = 0x00CC0020;

// Background modes, mapping modes and text alignment.
constexpr int kLqTransparent = 1;
constexpr int kLqOpaque = 2;
constexpr int kLqMapText = 1;
constexpr int kLqMapAnisotropic = 8;
constexpr std::uint32_t kLqAlignLeft = 0;
constexpr std::uint32_t kLqAlignRight = 2;
constexpr std::uint32_t kLqAlignCenter = 6;
constexpr std::uint32_t kLqAlignTop = 0;
constexpr std::uint32_t kLqAlignBottom = 8;
constexpr std::uint32_t kLqAlignBaseline = 24;

// Pen styles.
constexpr int kLqPenSolid = 0;
constexpr int kLqPenDash = 1;
constexpr int kLqPenDot = 2;
constexpr int kLqPenDashDot = 3;
constexpr int kLqPenDashDotDot = 4;
constexpr int kLqPenNull = 5;

// Stock objects.
constexpr int kLqWhiteBrush = 0;
constexpr int kLqBlackBrush = 4;
constexpr int kLqNullBrush = 5;
constexpr int kLqWhitePen = 6;
constexpr int kLqBlackPen = 7;
constexpr int kLqNullPen = 8;
constexpr int kLqSystemFont = 13;

// ---- Bitmaps -------------------------------------------------------------------------------

// A bitmap of 1 (monochrome) or 24 bits, 1 to kLqMaxBitmapSide pixels each way, cleared to
// black. Null with kLqErrInvalidParameter or kLqErrOutOfMemory.
LQP_API HLQBITMAP lqCreateBitmap(std::int32_t width, std::int32_t height, int bitCount);
// A bitmap of the device depth of `dc` (null: the screen), i.e. 24 bits.
LQP_API HLQBITMAP lqCreateCompatibleBitmap(HLQDC dc, std::int32_t width, std::int32_t height);
// A bitmap of the device depth of `dc` (null: the screen) with the width and height of the
// 40-byte DIB header at `header`; the depth of the header does not matter.
LQP_API HLQBITMAP lqCreateDIBitmap(HLQDC dc, const void* header);
LQP_API bool lqGetBitmapInfo(HLQBITMAP bitmap, LqBitmapInfo* info);
LQP_API bool lqDeleteBitmap(HLQBITMAP bitmap);

// ---- Palettes ------------------------------------------------------------------------------

// A logical palette of 1 to kLqMaxPaletteEntries entries.
LQP_API HLQPALETTE lqCreatePalette(const LqPaletteEntry* entries, std::uint32_t count);
// Copies up to `count` entries from `first` on into `out` and answers how many were copied;
// with `out` null answers the number of entries of the palette. 0 for a bad handle.
LQP_API std::uint32_t lqGetPaletteEntries(HLQPALETTE palette, std::uint32_t first, std::uint32_t count,
                                          LqPaletteEntry* out);
LQP_API bool lqDeletePalette(HLQPALETTE palette);

// ---- Contexts ------------------------------------------------------------------------------

// A memory context compatible with `dc` (null: the screen).
LQP_API HLQDC lqCreateCompatibleDC(HLQDC dc);
// Deletes a memory, surface or metafile context; the objects selected into it become free.
LQP_API bool lqDeleteDC(HLQDC dc);
// Bits per pixel of the context's device: 24 (monochrome bitmaps selected into a memory
// context do not change the device). 0 for a bad handle.
LQP_API int lqGetDeviceDepth(HLQDC dc);

// Selects a bitmap into a memory context and answers the one selected before. A bitmap can be
// selected into one context at a time.
LQP_API HLQBITMAP lqSelectBitmap(HLQDC dc, HLQBITMAP bitmap);
// Selects a palette (null: none) and answers the previous one (null when there was none). The
// palette supplies the colour table when pixels are fetched at 8 bits or less (lqGetDIBits).
LQP_API HLQPALETTE lqSelectPalette(HLQDC dc, HLQPALETTE palette, bool forceBackground);
// Realises the selected palette; answers the number of its entries (0 without a palette).
LQP_API std::uint32_t lqRealizePalette(HLQDC dc);

// Each setter answers the previous value (0 / kLqColorInvalid for a bad handle).
constexpr lqp::ColorRef kLqColorInvalid = 0xFFFFFFFF;
LQP_API int lqSetStretchBltMode(HLQDC dc, int mode);
LQP_API lqp::ColorRef lqSetBkColor(HLQDC dc, lqp::ColorRef color);
LQP_API lqp::ColorRef lqSetTextColor(HLQDC dc, lqp::ColorRef color);
LQP_API int lqSetBkMode(HLQDC dc, int mode);

// Draws the packed DIB of `dibSize` bytes at `dib` (1, 4, 8, 24 or 32 bits, uncompressed)
// into the bitmap selected into `dc`: the source rectangle (xSrc, ySrc, wSrc, hSrc) in DIB
// pixels, ySrc counted from the bottom row as the rows are stored, scaled onto the logical
// destination rectangle. Only kLqSrcCopy is supported. Monochrome targets take each colour's
// nearest of black and white. Answers the number of scan lines drawn (hSrc), 0 on failure.
LQP_API std::int32_t lqStretchDIBits(HLQDC dc, std::int32_t xDst, std::int32_t yDst, std::int32_t wDst,
                                     std::int32_t hDst, std::int32_t xSrc, std::int32_t ySrc, std::int32_t wSrc,
                                     std::int32_t hSrc, const void* dib, std::size_t dibSize, std::uint32_t rop);

// Fetches scan lines [firstScan, firstScan + lines) (0 = bottom row) of `bitmap` into the
// packed DIB of `dibSize` bytes at `dib`, whose header the caller filled with the bitmap's
// width and height and the wanted depth (1, 4, 8, 24 or 32, uncompressed). The colour table is
// written too: for 8 bits or less it is the palette selected into `dc` (null: none) or, without
// one, black and white for 1 bit and the 16 standard colours (rest black) otherwise; each pixel
// becomes its nearest entry. Answers the number of lines fetched, 0 on failure.
LQP_API std::int32_t lqGetDIBits(HLQDC dc, HLQBITMAP bitmap, std::uint32_t firstScan, std::uint32_t lines,
                                 void* dib, std::size_t dibSize);

// Number of live bitmaps, palettes, metafiles, contexts, pens, brushes and fonts.
LQP_API std::size_t lqGdiLiveObjects();

}  // extern "C"
