// The C interface of platform/Gdi.h: handle checks around the objects of platform/gdi/.
#include <cstring>

#include "platform/Dib.h"
#include "platform/LastError.h"
#include "platform/gdi/Context.h"

using namespace lqp;
using namespace lqp::gdi;

namespace {

template <class H>
H handleOf(std::shared_ptr<Object> object) {
    return object ? static_cast<H>(registerObject(std::move(object))) : nullptr;
}

std::shared_ptr<DeviceContext> dcOf(HLQDC dc) { return find<DeviceContext>(dc, Kind::Dc); }

// A context argument that may be null for the screen: only a non-null bad handle fails.
bool screenOrValid(HLQDC dc) { return !dc || dcOf(dc); }

// The current value of a context setting, replaced by `value`; `fallback` for a bad handle.
template <class T>
T exchange(HLQDC dc, T DcState::*field, T value, T fallback) {
    auto c = dcOf(dc);
    if (!c) return fallback;
    T previous = c->state().*field;
    c->state().*field = value;
    return previous;
}

}  // namespace

HLQBITMAP lqCreateBitmap(std::int32_t width, std::int32_t height, int bitCount) {
    return handleOf<HLQBITMAP>(makeBitmap(width, height, bitCount));
}

HLQBITMAP lqCreateCompatibleBitmap(HLQDC dc, std::int32_t width, std::int32_t height) {
    if (!screenOrValid(dc)) return nullptr;
    return lqCreateBitmap(width, height, kLqScreenDepth);
}

HLQBITMAP lqCreateDIBitmap(HLQDC dc, const void* header) {
    if (!screenOrValid(dc)) return nullptr;
    if (!header) {
        lqSetLastError(kLqErrInvalidParameter);
        return nullptr;
    }
    const DibHeader h = readDibHeader(static_cast<const std::uint8_t*>(header));
    return lqCreateBitmap(h.width, h.height < 0 ? -std::int64_t(h.height) : h.height, kLqScreenDepth);
}

bool lqGetBitmapInfo(HLQBITMAP bitmap, LqBitmapInfo* info) {
    auto b = find<Bitmap>(bitmap, Kind::Bitmap);
    if (!b) return false;
    if (!info) {
        lqSetLastError(kLqErrInvalidParameter);
        return false;
    }
    *info = {b->width(), b->height(), std::uint16_t(b->bitCount)};
    return true;
}

bool lqDeleteBitmap(HLQBITMAP bitmap) { return unregisterObject(bitmap, Kind::Bitmap); }

HLQPALETTE lqCreatePalette(const LqPaletteEntry* entries, std::uint32_t count) {
    if (!entries || count < 1 || count > kLqMaxPaletteEntries) {
        lqSetLastError(kLqErrInvalidParameter);
        return nullptr;
    }
    auto p = std::make_shared<Palette>();
    p->entries.assign(entries, entries + count);
    return handleOf<HLQPALETTE>(p);
}

std::uint32_t lqGetPaletteEntries(HLQPALETTE palette, std::uint32_t first, std::uint32_t count, LqPaletteEntry* out) {
    auto p = find<Palette>(palette, Kind::Palette);
    if (!p) return 0;
    const std::uint32_t size = std::uint32_t(p->entries.size());
    if (!out) return size;
    if (first >= size) return 0;
    const std::uint32_t n = std::min(count, size - first);
    std::memcpy(out, p->entries.data() + first, n * sizeof(LqPaletteEntry));
    return n;
}

bool lqDeletePalette(HLQPALETTE palette) { return unregisterObject(palette, Kind::Palette); }

HLQDC lqCreateCompatibleDC(HLQDC dc) {
    if (!screenOrValid(dc)) return nullptr;
    return handleOf<HLQDC>(std::make_shared<DeviceContext>(DeviceContext::Device::Memory));
}

bool lqDeleteDC(HLQDC dc) { return unregisterObject(dc, Kind::Dc); }

int lqGetDeviceDepth(HLQDC dc) { return dcOf(dc) ? kLqScreenDepth : 0; }

HLQBITMAP lqSelectBitmap(HLQDC dc, HLQBITMAP bitmap) {
    auto c = dcOf(dc);
    auto b = find<Bitmap>(bitmap, Kind::Bitmap);
    if (!c || !b) return nullptr;
    if (c->bitmap() == b.get()) return bitmap;
    if (b->holders.load() > 0 && !b->stock) {  // already selected into another context
        lqSetLastError(kLqErrBusy);
        return nullptr;
    }
    return static_cast<HLQBITMAP>(c->selectBitmap(b)->handle);
}

HLQPALETTE lqSelectPalette(HLQDC dc, HLQPALETTE palette, bool /*forceBackground*/) {
    auto c = dcOf(dc);
    auto p = find<Palette>(palette, Kind::Palette);
    if (!c || !p) return nullptr;
    std::shared_ptr<Palette> previous = c->selectPalette(p);
    return previous ? static_cast<HLQPALETTE>(previous->handle) : nullptr;
}

std::uint32_t lqRealizePalette(HLQDC dc) {
    auto c = dcOf(dc);
    return c && c->palette() ? std::uint32_t(c->palette()->entries.size()) : 0;
}

int lqSetStretchBltMode(HLQDC dc, int mode) {
    if (mode < kLqStretchBlackOnWhite || mode > kLqStretchHalftone) {
        lqSetLastError(kLqErrInvalidParameter);
        return 0;
    }
    return exchange(dc, &DcState::stretchMode, mode, 0);
}

ColorRef lqSetBkColor(HLQDC dc, ColorRef color) { return exchange(dc, &DcState::bkColor, color, kLqColorInvalid); }
ColorRef lqSetTextColor(HLQDC dc, ColorRef color) { return exchange(dc, &DcState::textColor, color, kLqColorInvalid); }

int lqSetBkMode(HLQDC dc, int mode) {
    if (mode != kLqTransparent && mode != kLqOpaque) {
        lqSetLastError(kLqErrInvalidParameter);
        return 0;
    }
    return exchange(dc, &DcState::bkMode, mode, 0);
}

std::int32_t lqStretchDIBits(HLQDC dc, std::int32_t xDst, std::int32_t yDst, std::int32_t wDst, std::int32_t hDst,
                             std::int32_t xSrc, std::int32_t ySrc, std::int32_t wSrc, std::int32_t hSrc,
                             const void* dib, std::size_t dibSize, std::uint32_t rop) {
    auto c = dcOf(dc);
    if (!c) return 0;
    if (rop != kLqSrcCopy) {
        lqSetLastError(kLqErrInvalidParameter);
        return 0;
    }
    return stretchDib(*c, {xDst, yDst}, {wDst, hDst}, {xSrc, ySrc}, {wSrc, hSrc},
                      static_cast<const std::uint8_t*>(dib), dibSize);
}

std::int32_t lqGetDIBits(HLQDC dc, HLQBITMAP bitmap, std::uint32_t firstScan, std::uint32_t lines, void* dib,
                         std::size_t dibSize) {
    std::shared_ptr<DeviceContext> c;
    if (dc && !(c = dcOf(dc))) return 0;
    auto b = find<Bitmap>(bitmap, Kind::Bitmap);
    if (!b) return 0;
    return fetchDib(c.get(), *b, firstScan, lines, static_cast<std::uint8_t*>(dib), dibSize);
}

std::size_t lqGdiLiveObjects() { return liveObjects(); }
