// The C interface of platform/Gdi.h: handle checks around the objects of platform/gdi/.
#include <cstring>

#include "platform/Dib.h"
#include "platform/GdiCairo.h"
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

bool refuse() {
    lqSetLastError(kLqErrInvalidParameter);
    return false;
}

// Replaces a context setting through `set` and answers its previous value; `fallback` for a
// bad handle or a value the context refused.
template <class T, class Set>
T exchange(HLQDC dc, T DcState::*field, T fallback, Set set) {
    auto c = dcOf(dc);
    if (!c) return fallback;
    const T previous = c->state().*field;
    return set(*c) ? previous : fallback;
}

bool setMapping(HLQDC dc, LqMetaFunction which, LqPoint DcState::*field, LqPoint value, LqPoint* previous) {
    auto c = dcOf(dc);
    if (!c) return false;
    const LqPoint old = c->state().*field;
    if (!c->setMapping(which, value)) return false;
    if (previous) *previous = old;
    return true;
}

template <class Draw>
bool draw(HLQDC dc, Draw d) {
    auto c = dcOf(dc);
    return c && d(*c);
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

HLQDC lqCreateSurfaceDC(cairo_surface_t* surface, bool antialias) {
    if (!surface || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        refuse();
        return nullptr;
    }
    return handleOf<HLQDC>(std::make_shared<DeviceContext>(DeviceContext::Device::Surface, surface, antialias));
}

HLQDC lqCreateMetafileDC() {
    return handleOf<HLQDC>(std::make_shared<DeviceContext>(DeviceContext::Device::Metafile));
}

HLQMETAFILE lqCloseMetafile(HLQDC dc) {
    auto c = dcOf(dc);
    if (!c) return nullptr;
    if (c->device() != DeviceContext::Device::Metafile) {
        refuse();
        return nullptr;
    }
    std::shared_ptr<Metafile> m = c->takeMetafile();
    unregisterObject(dc, Kind::Dc);
    return handleOf<HLQMETAFILE>(m);
}

bool lqPlayMetafile(HLQDC dc, HLQMETAFILE metafile) {
    auto c = dcOf(dc);
    auto m = find<Metafile>(metafile, Kind::Metafile);
    return c && m && c->play(*m);
}

bool lqEnumMetafile(HLQMETAFILE metafile, LqMetaEnumProc proc, void* user) {
    auto m = find<Metafile>(metafile, Kind::Metafile);
    if (!m) return false;
    if (!proc) return refuse();
    for (const Metafile::Record& r : m->records) {
        const std::string* text = r.text >= 0 ? &m->texts[std::size_t(r.text)] : nullptr;
        const LqMetaRecord record{r.function, r.count, m->words.data() + r.first, text ? text->data() : nullptr,
                                  text ? std::uint32_t(text->size()) : 0};
        if (!proc(&record, user)) return false;
    }
    return true;
}

bool lqDeleteMetafile(HLQMETAFILE metafile) { return unregisterObject(metafile, Kind::Metafile); }

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
    if (c->device() != DeviceContext::Device::Memory) {
        refuse();
        return nullptr;
    }
    if (c->bitmap() == b.get()) return bitmap;
    if (b->holders.load() > 0 && !b->stock) {  // already selected into another context
        lqSetLastError(kLqErrBusy);
        return nullptr;
    }
    return static_cast<HLQBITMAP>(c->selectBitmap(b)->handle);
}

HLQPALETTE lqSelectPalette(HLQDC dc, HLQPALETTE palette, bool /*forceBackground*/) {
    auto c = dcOf(dc);
    if (!c) return nullptr;
    std::shared_ptr<Palette> p;
    if (palette && !(p = find<Palette>(palette, Kind::Palette))) return nullptr;
    std::shared_ptr<Palette> previous = c->selectPalette(p);
    return previous ? static_cast<HLQPALETTE>(previous->handle) : nullptr;
}

std::uint32_t lqRealizePalette(HLQDC dc) {
    auto c = dcOf(dc);
    return c && c->palette() ? std::uint32_t(c->palette()->entries.size()) : 0;
}

int lqSetStretchBltMode(HLQDC dc, int mode) {
    return exchange(dc, &DcState::stretchMode, 0, [&](DeviceContext& c) {
        if (mode < kLqStretchBlackOnWhite || mode > kLqStretchHalftone) return refuse();
        c.setStretchMode(mode);
        return true;
    });
}

ColorRef lqSetBkColor(HLQDC dc, ColorRef color) {
    return exchange(dc, &DcState::bkColor, kLqColorInvalid, [&](DeviceContext& c) { return c.setBkColor(color); });
}

ColorRef lqSetTextColor(HLQDC dc, ColorRef color) {
    return exchange(dc, &DcState::textColor, kLqColorInvalid, [&](DeviceContext& c) { return c.setTextColor(color); });
}

int lqSetBkMode(HLQDC dc, int mode) {
    return exchange(dc, &DcState::bkMode, 0, [&](DeviceContext& c) { return c.setBkMode(mode); });
}

std::int32_t lqStretchDIBits(HLQDC dc, std::int32_t xDst, std::int32_t yDst, std::int32_t wDst, std::int32_t hDst,
                             std::int32_t xSrc, std::int32_t ySrc, std::int32_t wSrc, std::int32_t hSrc,
                             const void* dib, std::size_t dibSize, std::uint32_t rop) {
    auto c = dcOf(dc);
    if (!c) return 0;
    if (rop != kLqSrcCopy || c->device() != DeviceContext::Device::Memory) return refuse();
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

int lqSetMapMode(HLQDC dc, int mode) {
    return exchange(dc, &DcState::mapMode, 0, [&](DeviceContext& c) { return c.setMapMode(mode); });
}

bool lqSetWindowOrg(HLQDC dc, std::int32_t x, std::int32_t y, LqPoint* previous) {
    return setMapping(dc, kLqMetaSetWindowOrg, &DcState::windowOrg, {x, y}, previous);
}

bool lqSetWindowExt(HLQDC dc, std::int32_t x, std::int32_t y, LqPoint* previous) {
    return setMapping(dc, kLqMetaSetWindowExt, &DcState::windowExt, {x, y}, previous);
}

bool lqSetViewportOrg(HLQDC dc, std::int32_t x, std::int32_t y, LqPoint* previous) {
    return setMapping(dc, kLqMetaSetViewportOrg, &DcState::viewportOrg, {x, y}, previous);
}

bool lqSetViewportExt(HLQDC dc, std::int32_t x, std::int32_t y, LqPoint* previous) {
    return setMapping(dc, kLqMetaSetViewportExt, &DcState::viewportExt, {x, y}, previous);
}

std::uint32_t lqSetTextAlign(HLQDC dc, std::uint32_t align) {
    return exchange(dc, &DcState::textAlign, 0u, [&](DeviceContext& c) { return c.setTextAlign(align); });
}

HLQGDIOBJ lqGetStockObject(int which) { return which >= 0 ? static_cast<HLQGDIOBJ>(stockHandle(which)) : nullptr; }

HLQGDIOBJ lqCreatePen(int style, std::int32_t width, ColorRef color) {
    if (style < kLqPenSolid || style > kLqPenNull || width < 0) {
        refuse();
        return nullptr;
    }
    return handleOf<HLQGDIOBJ>(std::make_shared<Pen>(style, width, color));
}

HLQGDIOBJ lqCreateSolidBrush(ColorRef color) { return handleOf<HLQGDIOBJ>(std::make_shared<Brush>(false, color)); }

HLQGDIOBJ lqCreateFontIndirect(const LqLogFont* font) {
    if (!font) {
        refuse();
        return nullptr;
    }
    return handleOf<HLQGDIOBJ>(std::make_shared<Font>(*font));
}

namespace {

// A pen, brush or font behind a handle.
std::shared_ptr<Object> toolOf(HLQGDIOBJ object) {
    for (Kind k : {Kind::Pen, Kind::Brush, Kind::Font})
        if (auto o = findObject(object, k)) return o;
    return nullptr;  // the last search left kLqErrInvalidHandle
}

}  // namespace

HLQGDIOBJ lqSelectObject(HLQDC dc, HLQGDIOBJ object) {
    auto c = dcOf(dc);
    auto tool = toolOf(object);
    if (!c || !tool) return nullptr;
    auto previous = c->selectTool(tool);
    return previous ? static_cast<HLQGDIOBJ>(previous->handle) : nullptr;
}

bool lqDeleteObject(HLQGDIOBJ object) {
    auto tool = toolOf(object);
    return tool && unregisterObject(object, tool->kind);
}

bool lqMoveTo(HLQDC dc, std::int32_t x, std::int32_t y, LqPoint* previous) {
    return draw(dc, [&](DeviceContext& c) {
        const LqPoint old = c.state().position;
        if (!c.moveTo({x, y})) return false;
        if (previous) *previous = old;
        return true;
    });
}

bool lqLineTo(HLQDC dc, std::int32_t x, std::int32_t y) {
    return draw(dc, [&](DeviceContext& c) { return c.lineTo({x, y}); });
}

bool lqPolyline(HLQDC dc, const LqPoint* points, std::uint32_t count) {
    return draw(dc, [&](DeviceContext& c) { return points && count >= 2 ? c.polyline(points, count, false) : refuse(); });
}

bool lqPolygon(HLQDC dc, const LqPoint* points, std::uint32_t count) {
    return draw(dc, [&](DeviceContext& c) { return points && count >= 2 ? c.polyline(points, count, true) : refuse(); });
}

bool lqRectangle(HLQDC dc, std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
    return draw(dc, [&](DeviceContext& c) { return c.rectangle({left, top}, {right, bottom}); });
}

bool lqEllipse(HLQDC dc, std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
    return draw(dc, [&](DeviceContext& c) { return c.ellipse({left, top}, {right, bottom}); });
}

bool lqArc(HLQDC dc, std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
           std::int32_t xStart, std::int32_t yStart, std::int32_t xEnd, std::int32_t yEnd) {
    return draw(dc, [&](DeviceContext& c) {
        return c.arc({left, top}, {right, bottom}, {xStart, yStart}, {xEnd, yEnd});
    });
}

ColorRef lqSetPixel(HLQDC dc, std::int32_t x, std::int32_t y, ColorRef color) {
    return draw(dc, [&](DeviceContext& c) { return c.setPixel({x, y}, color); }) ? color : kLqColorInvalid;
}

bool lqTextOut(HLQDC dc, std::int32_t x, std::int32_t y, const char* text, std::int32_t length) {
    return draw(dc, [&](DeviceContext& c) {
        return (text || length == 0) && length >= 0 ? c.textOut({x, y}, std::string_view(text ? text : "", std::size_t(length))) : refuse();
    });
}

std::size_t lqGdiLiveObjects() { return liveObjects(); }
