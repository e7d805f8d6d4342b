// The quantizer and depth-change entry points: ReduceDib, ReduceDib2, ConvertDib, ConvertDib2,
// and the depth change the TIFF reader and writer use.
#include <cstring>

#include "platform/MessageSink.h"
#include "tifflib/Color.h"
#include "tifflib/ColorDib.h"
#include "tifflib/ColorTables.h"
#include "tifflib/Quantize.h"

using namespace lqcolor;

namespace {

const char* failureText(short code) {
    switch (code) {
    case kColorOutOfMemory: return "Not enough memory to convert the image.";
    case kColorNoWorkTables: return "Not enough memory for the colour tables.";
    case kColorFetchFailed: return "The bitmap's pixels could not be read.";
    case kColorQuantizeFailed: return "The colours could not be reduced.";
    case kColorNot24Bit: return "Only 24-bit images can be reduced this way.";
    default: return "The image could not be converted.";
    }
}

// How a target depth is quantized: 8 bits -> 256 colours, 0 -> the 16 fixed colours with
// dithering, anything else -> 16 colours.
QuantizeRequest requestFor(int depth, bool dither, short paletteCount, const std::uint8_t* palette,
                           std::int32_t user, LqProgressProc progress) {
    QuantizeRequest r;
    r.colors = depth == 8 ? 256 : 16;
    r.outBits = depth == 8 ? 8 : 4;
    r.dither = dither || depth == 0;
    r.user = user;
    r.progress = progress;
    r.clrImportant = paletteCount > 0 ? std::uint32_t(paletteCount) : 0;
    if (paletteCount > 0 && palette) {
        for (int i = 0; i < paletteCount && i < r.colors; ++i) r.palette.insert(r.palette.end(), palette + 4 * i, palette + 4 * i + 3);
    } else if (depth == 0) {
        for (std::uint32_t c : kFixedPalette16) r.palette.insert(r.palette.end(), {std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c)});
    }
    return r;
}

// Reduces or widens `src` (of depth s) to depth t. Answers 1 with *out null when nothing is
// to be done, 1 with a new block, or a failure code.
short convert(HLQMEM src, int t, const QuantizeRequest& request, HLQMEM* out) {
    *out = nullptr;
    DibIn in(src);
    if (!in.ok()) return -1;
    const int s = in.bits();
    if (s == t && request.palette.empty() && request.clrImportant == 0) return 1;
    if (s == 1 || t == 24 || (s == 4 && t > 4)) return 1;
    if (t == 1) {
        *out = s == 24 ? DIB24To1(src) : (s == 8 ? DIB8To1(src) : DIB4To1(src));
        return *out ? 1 : kColorOutOfMemory;
    }
    if (s == 24) return quantize(src, request, out);
    lqp::MemOwner wide(s == 8 ? DIB8To24(src) : DIB4To24(src));
    if (!wide) return kColorOutOfMemory;
    return quantize(wide.get(), request, out);
}

// Puts the DIB of `result` into the caller's block `target` (same handle, new content).
short replaceContent(HLQMEM target, HLQMEM result) {
    lqp::MemOwner owned(result);
    const std::size_t size = lqMemSize(result);
    if (!lqMemReAlloc(target, size)) return kColorOutOfMemory;
    lqp::MemLock from(result), to(target);
    std::memcpy(to.data(), from.data(), size);
    return 1;
}

// `wrongDepth` is the answer for a DIB whose depth is not `sourceBits`.
short convertInPlace(void* lockedDib, int sourceBits, int targetBits, const QuantizeRequest& request,
                     short showErrors, short wrongDepth) {
    HLQMEM h = lockedDib ? lqMemHandleOf(lockedDib) : nullptr;
    short code = -1;
    if (h) {
        DibIn in(h);
        if (in.ok() && in.bits() != sourceBits) code = wrongDepth;
        if (in.ok() && in.bits() == sourceBits) {
            HLQMEM result = nullptr;
            code = convert(h, targetBits, request, &result);
            if (code == 1 && result) code = replaceContent(h, result);
        }
    }
    if (code != 1) reportFailure(code, showErrors);
    return code;
}

}  // namespace

namespace lqcolor {

void reportFailure(short code, short showErrors) {
    if (showErrors == 1) lqp::showMessage(failureText(code), "Error", lqp::MsgIcon::Error);
}

HLQMEM changeDepth(HLQMEM dib, int wantedBits) {
    DibIn in(dib);
    if (!in.ok()) return nullptr;
    const int bits = in.bits();
    if (wantedBits <= 0) {
        if (bits == 24) return ColorToGrayscale(dib);
        lqp::MemOwner eight(bits == 8 ? nullptr : ImgIncreaseColors(dib, 8));
        if (bits == 1) return eight.release();
        return ColorToGrayscale(eight ? eight.get() : dib);
    }
    if (wantedBits > bits) return ImgIncreaseColors(dib, short(wantedBits));
    if (wantedBits == 1) return ImgReduceColors(dib, 2, kReduceOrdered);
    return ReduceColorToColor(dib, short(wantedBits >= 8 ? 256 : 16), 0);
}

}  // namespace lqcolor

extern "C" {

short ReduceDib(void* lockedDib, short depth, short dither, short paletteCount, const std::uint8_t* palette,
                short showErrors, std::int32_t user, LqProgressProc progress) {
    const QuantizeRequest r = requestFor(depth, dither != 0, paletteCount, palette, user, progress);
    return convertInPlace(lockedDib, 24, depth == 8 ? 8 : 4, r, showErrors, kColorNot24Bit);
}

short ReduceDib2(void* lockedDib, short, short depth, short dither, short showErrors, std::int32_t user,
                 LqProgressProc progress) {
    const QuantizeRequest r = requestFor(depth, dither != 0, 0, nullptr, user, progress);
    return convertInPlace(lockedDib, 24, depth == 8 ? 8 : 4, r, showErrors, kColorNot24Bit);
}

short ConvertDib(void* lockedDib, short sourceBits, short targetBits, short dither, short paletteCount,
                 const std::uint8_t* palette, short showErrors, std::int32_t user, LqProgressProc progress) {
    const QuantizeRequest r = requestFor(targetBits, dither != 0, paletteCount, palette, user, progress);
    return convertInPlace(lockedDib, sourceBits, targetBits, r, showErrors, -1);
}

short ConvertDib2(HLQMEM dib, HLQMEM* out, short sourceBits, short targetBits, short dither, short showErrors,
                  std::int32_t user, LqProgressProc progress) {
    if (!out) return -1;
    *out = nullptr;
    short code = -1;
    {
        DibIn in(dib);
        if (in.ok() && in.bits() == sourceBits)
            code = convert(dib, targetBits, requestFor(targetBits, dither != 0, 0, nullptr, user, progress), out);
    }
    if (code != 1) reportFailure(code, showErrors);
    return code;
}

}  // extern "C"
