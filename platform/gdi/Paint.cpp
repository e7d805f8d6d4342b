// Painting the drawing calls with cairo on a bitmap or a surface.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/LastError.h"
#include "platform/gdi/Context.h"

namespace lqp::gdi {

double clampDevice(double v) {
    constexpr double kFar = 1 << 22;  // cairo's 24.8 fixed-point numbers wrap beyond 2^23
    return std::isnan(v) ? 0.0 : std::clamp(v, -kFar, kFar);
}

cairo_t* DeviceContext::canvas() {
    if (!cr_) {
        cairo_surface_t* target = device_ == Device::Memory ? bitmap_->surface : surface_;
        if (!target) return nullptr;
        cr_ = cairo_create(target);
        if (pixelExact_) cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
    }
    cairo_new_path(cr_);
    return cr_;
}

// A cairo context that went into an error state stays there: drop it so that the next call
// starts afresh, and report the failure.
bool DeviceContext::finish(cairo_t* cr) {
    if (cairo_status(cr) == CAIRO_STATUS_SUCCESS) return true;
    cairo_destroy(cr_);
    cr_ = nullptr;
    lqSetLastError(kLqErrInvalidParameter);
    return false;
}

DevicePoint DeviceContext::toDevice(double x, double y) const {
    const double dx = clampDevice(deviceX(x)), dy = clampDevice(deviceY(y));
    if (!pixelExact_) return {dx, dy};
    return {std::floor(dx) + 0.5, std::floor(dy) + 0.5};  // the centre of the pixel holding the point
}

Box DeviceContext::deviceBox(LqPoint a, LqPoint b) const {
    double x0 = clampDevice(deviceX(a.x)), x1 = clampDevice(deviceX(b.x));
    double y0 = clampDevice(deviceY(a.y)), y1 = clampDevice(deviceY(b.y));
    if (x0 > x1) std::swap(x0, x1);
    if (y0 > y1) std::swap(y0, y1);
    if (!pixelExact_) return {x0, y0, x1, y1};
    // Edges fall on pixel boundaries; the outline runs through the centres of the pixels just
    // inside, leaving out the right and bottom edges.
    const double l = std::round(x0) + 0.5, t = std::round(y0) + 0.5;
    return {l, t, std::max(l, std::round(x1) - 0.5), std::max(t, std::round(y1) - 0.5)};
}

double DeviceContext::scaleX() const {
    const DcState& s = state_;
    return s.mapMode == kLqMapText ? 1.0 : std::fabs(double(s.viewportExt.x) / s.windowExt.x);
}

double DeviceContext::scaleY() const {
    const DcState& s = state_;
    return s.mapMode == kLqMapText ? 1.0 : std::fabs(double(s.viewportExt.y) / s.windowExt.y);
}

// Monochrome bitmaps hold one bit of alpha per pixel: light colours set it, dark ones clear it.
void DeviceContext::setSource(cairo_t* cr, ColorRef c) const {
    if (device_ == Device::Memory && bitmap_->bitCount == 1) {
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_rgba(cr, 0, 0, 0, isLight(c) ? 1 : 0);
        return;
    }
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_set_source_rgb(cr, redOf(c) / 255.0, greenOf(c) / 255.0, blueOf(c) / 255.0);
}

bool DeviceContext::strokePath(cairo_t* cr) {
    const Pen& pen = *state_.pen;
    if (pen.style == kLqPenNull) {
        cairo_new_path(cr);
        return finish(cr);
    }
    double width = std::max(1.0, pen.width * scaleX());
    if (pixelExact_) width = std::round(width);
    cairo_set_line_width(cr, width);
    const bool thin = width <= 1;
    cairo_set_line_cap(cr, thin ? CAIRO_LINE_CAP_BUTT : CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, thin ? CAIRO_LINE_JOIN_MITER : CAIRO_LINE_JOIN_ROUND);
    // Styled pens: dashes in device pixels; only one pixel wide pens are styled.
    static const double dash[] = {18, 6}, dot[] = {3, 3}, dashDot[] = {9, 6, 3, 6}, dashDotDot[] = {9, 3, 3, 3, 3, 3};
    const double* pattern = nullptr;
    int n = 0;
    if (thin) {
        switch (pen.style) {
        case kLqPenDash: pattern = dash; n = 2; break;
        case kLqPenDot: pattern = dot; n = 2; break;
        case kLqPenDashDot: pattern = dashDot; n = 4; break;
        case kLqPenDashDotDot: pattern = dashDotDot; n = 6; break;
        default: break;
        }
    }
    if (pattern && state_.bkMode == kLqOpaque) {  // the gaps take the background colour
        cairo_set_dash(cr, nullptr, 0, 0);
        setSource(cr, state_.bkColor);
        cairo_stroke_preserve(cr);
    }
    cairo_set_dash(cr, pattern, n, 0);
    setSource(cr, pen.color);
    cairo_stroke(cr);
    return finish(cr);
}

bool DeviceContext::fillAndStroke(cairo_t* cr) {
    const Brush& brush = *state_.brush;
    if (!brush.null) {
        setSource(cr, brush.color);
        cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
        cairo_fill_preserve(cr);
    }
    return strokePath(cr);
}

void DeviceContext::ellipsePath(cairo_t* cr, const Box& box, const DevicePoint* arcEnds) {
    const double cx = (box.x0 + box.x1) / 2, cy = (box.y0 + box.y1) / 2;
    const double rx = (box.x1 - box.x0) / 2, ry = (box.y1 - box.y0) / 2;
    if (rx < 0.25 || ry < 0.25) {  // flat: the box's diagonal is all there is to see
        cairo_move_to(cr, box.x0, box.y0);
        cairo_line_to(cr, box.x1, box.y1);
        return;
    }
    double from = 0, to = 2 * std::numbers::pi;
    if (arcEnds) {
        from = std::atan2((arcEnds[0].y - cy) / ry, (arcEnds[0].x - cx) / rx);
        to = std::atan2((arcEnds[1].y - cy) / ry, (arcEnds[1].x - cx) / rx);
        if (from == to) to = from - 2 * std::numbers::pi;
    }
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_scale(cr, rx, ry);
    cairo_new_sub_path(cr);
    // Counter-clockwise as seen with y growing downwards: decreasing cairo angles.
    if (arcEnds) {
        cairo_arc_negative(cr, 0, 0, 1, from, to);
    } else {
        cairo_arc(cr, 0, 0, 1, from, to);
        cairo_close_path(cr);
    }
    cairo_restore(cr);
}

}  // namespace lqp::gdi
