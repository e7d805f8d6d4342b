// DIB depth conversion and colour reduction (library `lqcolor`), compiled into both format
// libraries and used by the image component pack.
//
// Every DIB here is a packed DIB in a movable memory block (platform/Dib.h). Functions that
// answer a DIB answer a new block that the caller frees, or null; inputs are left alone unless
// a function says otherwise. Input headers are validated before any pixel is touched.
//
// Linking: the C exports below live in a static library. A shared library that re-exports them
// must link it whole (CMake: $<LINK_LIBRARY:WHOLE_ARCHIVE,lqcolor>) and list the names in its
// version script.
#pragma once

#include <cstdint>

#include "platform/Export.h"
#include "platform/Gdi.h"
#include "platform/MemBlock.h"

// Progress callback shared by the format libraries: (percent, user value); 0 asks to cancel.
using LqProgressProc = short (*)(std::int32_t percent, std::int32_t user);

// Result codes of the quantizer and the device-bitmap conversions.
constexpr short kColorOutOfMemory = -86;
constexpr short kColorNoWorkTables = -91;
constexpr short kColorFetchFailed = -100;
constexpr short kColorQuantizeFailed = -102;
constexpr short kColorNot24Bit = -103;

// Flags of ImgReduceColors, DitherToBW and ReduceColorToColor.
constexpr short kReduceOrdered = 1;         // black and white: 8 x 8 ordered dither
constexpr short kReduceBurkes = 2;          // black and white: Burkes; colour: Floyd-Steinberg
constexpr short kReduceFloyd = 4;           // Floyd-Steinberg
constexpr short kReduceGrey = 8;            // colour: grey instead of a palette
constexpr short kReduceFixedPalette = 16;   // colour: the fixed 16- or 256-colour palette

extern "C" {
LQ_EXPORT short LQ_STDCALL GetColorsInPalette(const void* dibHeader);
LQ_EXPORT HLQMEM LQ_STDCALL DIB1to4(HLQMEM dib);
LQ_EXPORT HLQMEM LQ_STDCALL DIB4To8(HLQMEM dib);
LQ_EXPORT HLQMEM LQ_STDCALL DIB8To24(HLQMEM dib);
LQ_EXPORT HLQMEM LQ_STDCALL DIB1To24(HLQMEM dib);
LQ_EXPORT HLQMEM LQ_STDCALL DIB4To24(HLQMEM dib);
LQ_EXPORT HLQMEM LQ_STDCALL DIB1To8(HLQMEM dib);
LQ_EXPORT HLQMEM LQ_STDCALL DIB24To1(HLQMEM dib);
LQ_EXPORT HLQMEM LQ_STDCALL DIB8To1(HLQMEM dib);
LQ_EXPORT HLQMEM LQ_STDCALL DIB4To1(HLQMEM dib);
LQ_EXPORT HLQMEM LQ_STDCALL ImgIncreaseColors(HLQMEM dib, short bits);
LQ_EXPORT HLQMEM LQ_STDCALL ImgReduceColors(HLQMEM dib, short colors, short flags);
LQ_EXPORT HLQMEM LQ_STDCALL DitherToBW(HLQMEM dib, short flags);
LQ_EXPORT HLQMEM LQ_STDCALL ReduceColorToColor(HLQMEM dib, short colors, short flags);
LQ_EXPORT HLQMEM LQ_STDCALL ColorToGrayscale(HLQMEM dib);
// Copies a logical palette's entries (at most 256) into `entries`; answers how many, or 0 for
// a null, empty or unreadable palette or one of more than 256 entries.
LQ_EXPORT short LQ_STDCALL GetPalette(HLQPALETTE palette, LqPaletteEntry* entries);

// The quantizer entry points. `lockedDib` is the address a lock of a 24-bit DIB block answered;
// on success the block's content is replaced by the reduced DIB (same handle; lock it again for
// the new address, the old one may be stale). On failure the block is unchanged.
// `palette` holds `paletteCount` entries of 4 bytes (red, green, blue, unused).
LQ_EXPORT short LQ_STDCALL ReduceDib(void* lockedDib, short depth, short dither, short paletteCount,
                                     const std::uint8_t* palette, short showErrors, std::int32_t user,
                                     LqProgressProc progress);
LQ_EXPORT short LQ_STDCALL ReduceDib2(void* lockedDib, short ignored, short depth, short dither,
                                      short showErrors, std::int32_t user, LqProgressProc progress);
// As ReduceDib for any source depth: widens or reduces as needed; 1 when nothing is to be done.
LQ_EXPORT short LQ_STDCALL ConvertDib(void* lockedDib, short sourceBits, short targetBits, short dither,
                                      short paletteCount, const std::uint8_t* palette, short showErrors,
                                      std::int32_t user, LqProgressProc progress);
// As ConvertDib, leaving the source alone: *out receives a new block, or null when nothing was
// to be done (result 1) or on failure.
LQ_EXPORT short LQ_STDCALL ConvertDib2(HLQMEM dib, HLQMEM* out, short sourceBits, short targetBits,
                                       short dither, short showErrors, std::int32_t user,
                                       LqProgressProc progress);
}

namespace lqcolor {

// Grey value of a colour through the tone table: T[(30 R + 59 G + 11 B) / 100].
std::uint8_t toneGrey(std::uint8_t r, std::uint8_t g, std::uint8_t b);
// The 256-entry tone table.
const std::uint8_t* toneTable();

// The depth change used by the TIFF reader and writer: a wanted depth above 0 widens, or
// reduces with ordered dither (1 bit) or a palette built from the image (4 and 8 bits); 0 or
// less makes 8-bit grey. Answers a new block, or null when the conversion failed.
HLQMEM changeDepth(HLQMEM dib, int wantedBits);

// Shows a failure code in a box titled "Error" when showErrors is 1.
void reportFailure(short code, short showErrors);

}  // namespace lqcolor
