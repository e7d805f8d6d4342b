// The device-bitmap exports of Vellum32: reading a page into a device bitmap with its logical
// palette, and writing a device bitmap (fetched as a DIB) as a page.
#include <cstring>

#include "platform/Dib.h"
#include "platform/Gdi.h"
#include "platform/LastError.h"
#include "tifflib/Color.h"
#include "tifflib/TifErrors.h"
#include "tifflib/Vellum32.h"
#include "tifflib/ttif.h"

namespace {

using namespace vellum;

// Device bitmaps are made within this many bytes; larger pictures are shrunk to fit.
constexpr double kBitmapBudget = 8000000.0;

struct PaletteInfo {
    HLQPALETTE palette = nullptr;
    bool blackWhite = true;   // every entry pure black or pure white
};

PaletteInfo paletteOf(const std::uint8_t* dib, std::uint32_t colors) {
    PaletteInfo p;
    if (colors == 0) return p;
    std::vector<LqPaletteEntry> entries(colors);
    for (std::uint32_t i = 0; i < colors; ++i) {
        const std::uint8_t* e = dib + lqp::kDibHeaderSize + 4 * i;
        entries[i] = {e[2], e[1], e[0], 0};
        const std::uint32_t rgb = e[0] | e[1] << 8 | e[2] << 16;
        if (rgb != 0 && rgb != 0xFFFFFF) p.blackWhite = false;
    }
    p.palette = lqCreatePalette(entries.data(), colors);
    return p;
}

// Stretches the DIB into a new bitmap at factor f; null when the bitmap cannot be made or
// the stretch drew too few lines.
HLQBITMAP stretchedBitmap(HLQDC dc, const std::uint8_t* dib, std::size_t size, const lqp::DibHeader& h, double f,
                          bool monochrome) {
    const std::int32_t w = std::int32_t(h.width * f), ht = std::int32_t(h.height * f);
    if (w < 1 || ht < 1) return nullptr;
    lqp::DibHeader sized = h;
    sized.width = w;
    sized.height = ht;
    std::uint8_t header[lqp::kDibHeaderSize];
    lqp::writeDibHeader(header, sized);
    HLQBITMAP bitmap = monochrome ? lqCreateBitmap(w, ht, 1) : lqCreateDIBitmap(nullptr, header);
    if (!bitmap) return nullptr;
    HLQBITMAP previous = lqSelectBitmap(dc, bitmap);
    if (monochrome) {
        lqSetBkColor(dc, lqp::rgb(0, 0, 0));
        lqSetTextColor(dc, lqp::rgb(0, 255, 0));
        lqSetBkMode(dc, kLqOpaque);
    }
    const std::int32_t lines = lqStretchDIBits(dc, 0, 0, w, ht, 0, 0, h.width, h.height, dib, size, kLqSrcCopy);
    lqSelectBitmap(dc, previous);
    if (lines < h.height - 1) {
        lqDeleteBitmap(bitmap);
        return nullptr;
    }
    return bitmap;
}

// ImgGetDDB: a device bitmap (and, for palette images, a logical palette) from a DIB, shrunk
// in 5 % steps while it does not fit the budget. Frees the DIB.
short imgGetDdb(HLQMEM dibBlock, int scalePercent, HLQBITMAP* bitmap, HLQPALETTE* palette) {
    lqp::MemOwner owned(dibBlock);
    lqp::MemLock lock(dibBlock);
    const lqp::DibHeader h = lqp::readDibHeader(lock.data());
    const std::uint32_t colors = std::uint32_t(GetColorsInPalette(lock.data()));
    PaletteInfo pal = paletteOf(lock.data(), colors);
    const double perPixel = colors == 2 ? 0.125 : colors == 16 ? 0.5 : colors == 256 ? 1.0 : 3.0;
    const double scale = scalePercent / 100.0;
    const double estimate = double(h.width) * h.height * perPixel * scale;
    double f = estimate > kBitmapBudget ? kBitmapBudget / estimate : scale;
    HLQDC dc = lqCreateCompatibleDC(nullptr);
    lqSetStretchBltMode(dc, colors == 2 ? kLqStretchBlackOnWhite : kLqStretchColorOnColor);
    if (pal.palette) {
        lqSelectPalette(dc, pal.palette, false);
        lqRealizePalette(dc);
    }
    HLQBITMAP made = nullptr;
    for (; f > 0 && !made; f -= 0.05) {
        if (std::int64_t(h.width * f) * std::int64_t(h.height * f) * perPixel > kBitmapBudget) continue;
        made = stretchedBitmap(dc, lock.data(), lqMemSize(dibBlock), h, f, colors == 2 && pal.blackWhite);
    }
    lqDeleteDC(dc);
    if (!made) {
        if (pal.palette) lqDeletePalette(pal.palette);
        return fail(kErrMemory);
    }
    *bitmap = made;
    *palette = pal.palette;
    return 1;
}

short readDdb(TTIF& t, short bits, short convert, short page, short scale, HLQBITMAP* bitmap, HLQPALETTE* palette,
              short showErrors) {
    if (!bitmap || !palette) return fail(kLqErrInvalidParameter);
    *bitmap = nullptr;
    *palette = nullptr;
    HLQMEM dib = nullptr;
    if (readDib(t, bits, convert, page, &dib, showErrors) != 1) return -1;
    return imgGetDdb(dib, scale > 0 ? scale : 100, bitmap, palette);
}

// The DIB depth a device bitmap is fetched at, by the bitmap's depth.
int dibDepthFor(int bitmapDepth) {
    switch (bitmapDepth) {
    case 0: case 4: return 4;
    case 8: return 8;
    case 16: case 24: case 32: return 24;
    default: return 1;
    }
}

// A DIB holding the bitmap's pixels (through the palette when one is given), or a failure
// code: kColorOutOfMemory, kColorFetchFailed.
short bitmapToDib(HLQBITMAP bitmap, HLQPALETTE palette, short showErrors, lqp::MemOwner& out) {
    LqBitmapInfo info{};
    short code = kColorFetchFailed;
    if (lqGetBitmapInfo(bitmap, &info)) {
        const int depth = dibDepthFor(info.bitCount);
        out.reset(lqp::createDib(info.width, info.height, depth));
        code = out ? 1 : kColorOutOfMemory;
    }
    if (code == 1) {
        HLQDC dc = lqCreateCompatibleDC(nullptr);
        if (palette) {
            lqSelectPalette(dc, palette, false);
            lqRealizePalette(dc);
        }
        lqp::MemLock lock(out.get());
        if (lqGetDIBits(dc, bitmap, 0, std::uint32_t(info.height), lock.data(), lqMemSize(out.get())) != info.height)
            code = kColorFetchFailed;
        if (palette) lqSelectPalette(dc, nullptr, false);
        lqDeleteDC(dc);
    }
    if (code != 1) {
        out.reset();
        lqcolor::reportFailure(code, showErrors);
    }
    return code;
}

short writeDdb(const Destination& d, short compression, short bits, Placing placing, int page, HLQBITMAP bitmap,
               HLQPALETTE palette, std::int32_t user, LqProgressProc progress, short showErrors) {
    lqp::MemOwner dib;
    const short code = bitmapToDib(bitmap, palette, showErrors, dib);
    if (code != 1) return code;
    return writeDib(d, compression, bits, placing, page, dib.get(), user, progress, showErrors);
}

}  // namespace

extern "C" {

short readtiffile(const char* fileName, short bits, short convert, short page, short scale, HLQBITMAP* bitmap,
                  HLQPALETTE* palette, std::int32_t user, LqProgressProc progress, short showErrors, const char*) {
    TTIF t(user, progress);
    if (bitmap) *bitmap = nullptr;
    if (palette) *palette = nullptr;
    if (!t.attachFile(fileName)) return -1;
    return readDdb(t, bits, convert, page, scale, bitmap, palette, showErrors);
}

short readtiffilestream(const void* stream, std::uint32_t length, short bits, short convert, short page, short scale,
                        HLQBITMAP* bitmap, HLQPALETTE* palette, std::int32_t user, LqProgressProc progress,
                        short showErrors, const char*) {
    TTIF t(user, progress);
    if (bitmap) *bitmap = nullptr;
    if (palette) *palette = nullptr;
    if (!t.attachStream(stream, length)) return -1;
    return readDdb(t, bits, convert, page, scale, bitmap, palette, showErrors);
}

short writetiffile(const char* fileName, short compression, short bits, short append, HLQBITMAP bitmap,
                   HLQPALETTE palette, std::int32_t user, LqProgressProc progress, short showErrors, const char*) {
    return writeDdb({fileName}, compression, bits, append ? Placing::Append : Placing::New, 0, bitmap, palette, user,
                    progress, showErrors);
}
short writetiffilepage(const char* fileName, short compression, short bits, short page, HLQBITMAP bitmap,
                       HLQPALETTE palette, std::int32_t user, LqProgressProc progress, short showErrors, const char*) {
    return writeDdb({fileName}, compression, bits, Placing::Insert, page, bitmap, palette, user, progress, showErrors);
}
short writetiffilepagereplace(const char* fileName, short compression, short bits, short page, HLQBITMAP bitmap,
                              HLQPALETTE palette, std::int32_t user, LqProgressProc progress, short showErrors,
                              const char*) {
    return writeDdb({fileName}, compression, bits, Placing::Replace, page, bitmap, palette, user, progress, showErrors);
}
short writetiffilestream(void** stream, std::uint32_t* length, short compression, short bits, short append,
                         HLQBITMAP bitmap, HLQPALETTE palette, std::int32_t user, LqProgressProc progress,
                         short showErrors, const char*) {
    if (!stream || !length) return fail(kLqErrInvalidParameter);
    return writeDdb({nullptr, stream, length}, compression, bits, append ? Placing::Append : Placing::New, 0, bitmap,
                    palette, user, progress, showErrors);
}
short writetiffilepagestream(void** stream, std::uint32_t* length, short compression, short bits, short page,
                             HLQBITMAP bitmap, HLQPALETTE palette, std::int32_t user, LqProgressProc progress,
                             short showErrors, const char*) {
    if (!stream || !length) return fail(kLqErrInvalidParameter);
    return writeDdb({nullptr, stream, length}, compression, bits, Placing::Insert, page, bitmap, palette, user, progress,
                    showErrors);
}
short writetiffilepagereplacestream(void** stream, std::uint32_t* length, short compression, short bits, short page,
                                    HLQBITMAP bitmap, HLQPALETTE palette, std::int32_t user, LqProgressProc progress,
                                    short showErrors, const char*) {
    if (!stream || !length) return fail(kLqErrInvalidParameter);
    return writeDdb({nullptr, stream, length}, compression, bits, Placing::Replace, page, bitmap, palette, user,
                    progress, showErrors);
}

}  // extern "C"
