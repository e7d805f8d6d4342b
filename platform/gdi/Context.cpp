#include "platform/gdi/Context.h"

#include <cstring>

#include "platform/LastError.h"

namespace lqp::gdi {

namespace {

template <class T>
Held<T> holdStock(int which, Kind kind) {
    return Held<T>(find<T>(stockHandle(which), kind));
}

bool refuse() {
    lqSetLastError(kLqErrInvalidParameter);
    return false;
}

std::int64_t lowWord(ColorRef c) { return std::int16_t(c & 0xFFFF); }
std::int64_t highWord(ColorRef c) { return std::int16_t(c >> 16); }

}  // namespace

DeviceContext::DeviceContext(Device d, cairo_surface_t* surface, bool antialias)
    : Object(Kind::Dc), device_(d), pixelExact_(!antialias) {
    state_.pen = holdStock<Pen>(kLqBlackPen, Kind::Pen);
    state_.brush = holdStock<Brush>(kLqWhiteBrush, Kind::Brush);
    state_.font = holdStock<Font>(kLqSystemFont, Kind::Font);
    if (d == Device::Memory) bitmap_ = holdStock<Bitmap>(kStockBitmap, Kind::Bitmap);
    if (d == Device::Surface) surface_ = cairo_surface_reference(surface);
    if (d == Device::Metafile) metafile_ = std::make_shared<Metafile>();
}

DeviceContext::~DeviceContext() {
    if (cr_) cairo_destroy(cr_);
    if (surface_) cairo_surface_destroy(surface_);
}

std::shared_ptr<Bitmap> DeviceContext::selectBitmap(std::shared_ptr<Bitmap> b) {
    if (cr_) cairo_destroy(cr_);
    cr_ = nullptr;
    std::shared_ptr<Bitmap> previous = bitmap_.shared();
    bitmap_ = Held<Bitmap>(std::move(b));
    return previous;
}

std::shared_ptr<Palette> DeviceContext::selectPalette(std::shared_ptr<Palette> p) {
    std::shared_ptr<Palette> previous = palette_.shared();
    palette_ = Held<Palette>(std::move(p));
    return previous;
}

double DeviceContext::deviceX(double x) const {
    const DcState& s = state_;
    if (s.mapMode == kLqMapText) return x;
    return (x - s.windowOrg.x) * s.viewportExt.x / s.windowExt.x + s.viewportOrg.x;
}

double DeviceContext::deviceY(double y) const {
    const DcState& s = state_;
    if (s.mapMode == kLqMapText) return y;
    return (y - s.windowOrg.y) * s.viewportExt.y / s.windowExt.y + s.viewportOrg.y;
}

bool DeviceContext::setMapMode(int mode) {
    if (mode != kLqMapText && mode != kLqMapAnisotropic) return refuse();
    if (!record(kLqMetaSetMapMode, {mode})) return false;
    state_.mapMode = mode;
    return true;
}

bool DeviceContext::setMapping(LqMetaFunction which, LqPoint v) {
    const bool extent = which == kLqMetaSetWindowExt || which == kLqMetaSetViewportExt;
    if (extent && (v.x == 0 || v.y == 0)) return refuse();
    if (!record(which, {v.x, v.y})) return false;
    switch (which) {
    case kLqMetaSetWindowOrg: state_.windowOrg = v; break;
    case kLqMetaSetWindowExt: state_.windowExt = v; break;
    case kLqMetaSetViewportOrg: state_.viewportOrg = v; break;
    default: state_.viewportExt = v; break;
    }
    return true;
}

bool DeviceContext::setTextColor(ColorRef c) {
    if (!record(kLqMetaSetTextColor, {lowWord(c), highWord(c)})) return false;
    state_.textColor = c;
    return true;
}

bool DeviceContext::setBkColor(ColorRef c) {
    if (!record(kLqMetaSetBkColor, {lowWord(c), highWord(c)})) return false;
    state_.bkColor = c;
    return true;
}

bool DeviceContext::setBkMode(int mode) {
    if (mode != kLqTransparent && mode != kLqOpaque) return refuse();
    if (!record(kLqMetaSetBkMode, {mode})) return false;
    state_.bkMode = mode;
    return true;
}

bool DeviceContext::setTextAlign(std::uint32_t align) {
    if (!record(kLqMetaSetTextAlign, {align})) return false;
    state_.textAlign = align;
    return true;
}

std::shared_ptr<Object> DeviceContext::selectTool(std::shared_ptr<Object> tool) {
    switch (tool->kind) {
    case Kind::Pen: {
        auto pen = std::static_pointer_cast<Pen>(tool);
        if (!record(kLqMetaSelectPen, {pen->style, pen->width, lowWord(pen->color), highWord(pen->color)})) return nullptr;
        std::shared_ptr<Object> previous = state_.pen.shared();
        state_.pen = Held<Pen>(pen);
        return previous;
    }
    case Kind::Brush: {
        auto brush = std::static_pointer_cast<Brush>(tool);
        if (!record(kLqMetaSelectBrush, {brush->null, lowWord(brush->color), highWord(brush->color)})) return nullptr;
        std::shared_ptr<Object> previous = state_.brush.shared();
        state_.brush = Held<Brush>(brush);
        return previous;
    }
    default: {
        auto font = std::static_pointer_cast<Font>(tool);
        const LqLogFont& f = font->logFont;
        const std::string face(f.faceName, strnlen(f.faceName, sizeof f.faceName));
        if (!record(kLqMetaSelectFont,
                    {f.height, f.width, f.escapement, f.orientation, f.weight, f.italic, f.underline, f.strikeOut,
                     f.charSet, f.outPrecision, f.clipPrecision, f.quality, f.pitchAndFamily},
                    &face))
            return nullptr;
        std::shared_ptr<Object> previous = state_.font.shared();
        state_.font = Held<Font>(font);
        return previous;
    }
    }
}

bool DeviceContext::moveTo(LqPoint p) {
    if (!record(kLqMetaMoveTo, {p.x, p.y})) return false;
    state_.position = p;
    return true;
}

bool DeviceContext::lineTo(LqPoint p) {
    if (recording()) {
        if (!record(kLqMetaLineTo, {p.x, p.y})) return false;
        state_.position = p;
        return true;
    }
    cairo_t* cr = canvas();
    if (!cr) return false;
    const DevicePoint a = toDevice(state_.position.x, state_.position.y), b = toDevice(p.x, p.y);
    cairo_move_to(cr, a.x, a.y);
    cairo_line_to(cr, b.x, b.y);
    state_.position = p;
    return strokePath(cr);
}

bool DeviceContext::polyline(const LqPoint* points, std::uint32_t count, bool closed) {
    if (recording()) return recordPoints(closed ? kLqMetaPolygon : kLqMetaPolyline, points, count);
    cairo_t* cr = canvas();
    if (!cr) return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        const DevicePoint d = toDevice(points[i].x, points[i].y);
        cairo_line_to(cr, d.x, d.y);
    }
    if (!closed) return strokePath(cr);
    cairo_close_path(cr);
    return fillAndStroke(cr);
}

bool DeviceContext::rectangle(LqPoint a, LqPoint b) {
    if (recording()) return record(kLqMetaRectangle, {a.x, a.y, b.x, b.y});
    cairo_t* cr = canvas();
    if (!cr) return false;
    const Box box = deviceBox(a, b);
    cairo_rectangle(cr, box.x0, box.y0, box.x1 - box.x0, box.y1 - box.y0);
    return fillAndStroke(cr);
}

bool DeviceContext::ellipse(LqPoint a, LqPoint b) {
    if (recording()) return record(kLqMetaEllipse, {a.x, a.y, b.x, b.y});
    cairo_t* cr = canvas();
    if (!cr) return false;
    ellipsePath(cr, deviceBox(a, b), nullptr);
    return fillAndStroke(cr);
}

bool DeviceContext::arc(LqPoint a, LqPoint b, LqPoint start, LqPoint end) {
    if (recording()) return record(kLqMetaArc, {a.x, a.y, b.x, b.y, start.x, start.y, end.x, end.y});
    cairo_t* cr = canvas();
    if (!cr) return false;
    const DevicePoint s = toDevice(start.x, start.y), e = toDevice(end.x, end.y);
    const DevicePoint ends[2] = {s, e};
    ellipsePath(cr, deviceBox(a, b), ends);
    return strokePath(cr);
}

bool DeviceContext::setPixel(LqPoint p, ColorRef c) {
    if (recording()) return record(kLqMetaSetPixel, {p.x, p.y, lowWord(c), highWord(c)});
    cairo_t* cr = canvas();
    if (!cr) return false;
    const DevicePoint d = toDevice(p.x, p.y);
    cairo_rectangle(cr, d.x - 0.5, d.y - 0.5, 1, 1);
    setSource(cr, c);
    cairo_fill(cr);
    return finish(cr);
}

bool DeviceContext::textOut(LqPoint p, std::string_view text) {
    if (recording()) {
        const std::string t(text);
        return record(kLqMetaTextOut, {p.x, p.y}, &t);
    }
    cairo_t* cr = canvas();
    return cr && paintText(cr, p, text);
}

}  // namespace lqp::gdi
