// The image pack's effect operations on packed DIBs held in movable memory blocks.
//
// Inputs may be 1, 4, 8 or 24 bits per pixel, uncompressed; every input is validated first, so
// a null, freed or malformed block is an error answer, never a crash. The operations that
// answer a handle give a new block that the caller owns (null on failure); the input is never
// changed. RVInvert and RVRotate change the caller's block in place and answer 1, or an error
// code <= 0 with the block unchanged. Failures leave their code and text in the pack's
// last-error slot (RVError.h). Formulas and the handling of each depth: docs/effects.md.
#pragma once

#include "platform/Color.h"
#include "platform/MemBlock.h"
#include "rastervane/RVError.h"

namespace rv {

// How RVImageCopy merges the source pixels that fall on one destination pixel. A set of these
// bits; when several are given the first of C_ANTIALIAS256, C_ANTIALIAS, C_AND, C_OR counts,
// and no bit at all means C_DEL.
enum TBWImageFlags : unsigned {
    C_DEL = 1u << 0,           // keep the nearest pixel
    C_AND = 1u << 1,           // bitwise AND of the merged pixels (keeps black lines)
    C_OR = 1u << 2,            // bitwise OR of the merged pixels (keeps white lines)
    C_ANTIALIAS = 1u << 3,     // area average (bilinear when enlarging); 1-bit: 16 levels
    C_ANTIALIAS256 = 1u << 4,  // the same; 1-bit: 256 levels
};
using BWCopyFlags = unsigned;

// Dithering of RVReduceColors.
enum TSortDither { RV_BAYER, RV_BURKES, RV_FLOYD, RV_GRAYSCALE };

// A rectangle in top-down pixel coordinates with exclusive right and bottom.
struct RVRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool isEmpty() const { return right <= left || bottom <= top; }
};

// Colour factors (1..255, 10 keeps the channel), contrast and brightness (-255..255, 0 keeps
// the image); values outside the ranges are clamped.
HLQMEM Enhance(HLQMEM dib, const RVProgress& progress, int blue, int green, int red, int contrast,
               int brightness);
// Sharpens (amount 1..9) or softens (-9..-1) by an unsharp mask; 0 copies. Clamped to -9..9.
HLQMEM Better(HLQMEM dib, const RVProgress& progress, int amount);
// Gamma correction with gamma = value / 10 (value 1..100, 10 keeps the image).
HLQMEM RVGamma(HLQMEM dib, int value);
// Adds value (-255..255) to every channel.
HLQMEM RVBrightness(HLQMEM dib, int value);
// Rotates by `angle` degrees, counter-clockwise for positive angles; quarter turns are exact.
// Corners not covered by the image get `backColor`. The block is replaced in place and may be
// reallocated: a caller holding a lock must take the address again afterwards.
int RVRotate(HLQMEM dib, double angle, lqp::ColorRef backColor);
// Horizontal exchanges left and right, vertical exchanges top and bottom.
HLQMEM RVMirror(HLQMEM dib, bool horizontal, bool vertical);
// Inverts every colour in place (the colour table of palette images).
int RVInvert(HLQMEM dib);
// Grey (luma) version of the area; an empty area means the whole image. An area reaching past
// the image is refused.
HLQMEM GrayArea(HLQMEM dib, const RVProgress& progress, RVRect area);
// Copies the source rectangle (top-down, right and bottom inclusive) into a new image of
// newWidth x newHeight pixels. A rectangle reaching past the image is refused.
HLQMEM RVImageCopy(HLQMEM dib, int newWidth, int newHeight, BWCopyFlags flags, int left, int top,
                   int right, int bottom);
// Reduces the image to at most `colors` colours (2..256) with the given dithering.
HLQMEM RVReduceColors(HLQMEM dib, int colors, TSortDither mode);

}  // namespace rv
