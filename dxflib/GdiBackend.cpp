#include "dxflib/GdiBackend.h"

#include <algorithm>
#include <cstring>

#include "dxflib/DxfColors.h"

namespace lqdxf {

GdiBackend::GdiBackend(HLQDC dc) : dc_(dc) {
    lqSetTextAlign(dc_, kLqAlignBottom);
    lqSetBkMode(dc_, kLqTransparent);
    lqSelectObject(dc_, lqGetStockObject(kLqNullBrush));
}

GdiBackend::~GdiBackend() {
    lqSelectObject(dc_, lqGetStockObject(kLqBlackPen));
    lqSelectObject(dc_, lqGetStockObject(kLqBlackBrush));
    for (const Pen& p : cache_) {
        lqDeleteObject(p.pen);
        lqDeleteObject(p.brush);
    }
}

void GdiBackend::style(int colorIndex, bool dotted) {
    auto it = std::find_if(cache_.begin(), cache_.end(),
                           [&](const Pen& p) { return p.color == colorIndex && p.dotted == dotted; });
    if (it == cache_.begin() && penSelected_) return;
    if (it == cache_.end()) {
        const lqp::ColorRef c = colorOfIndex(colorIndex);
        cache_.insert(cache_.begin(), {colorIndex, dotted, lqCreatePen(dotted ? kLqPenDot : kLqPenSolid, 1, c),
                                       lqCreateSolidBrush(c)});
    } else {
        std::rotate(cache_.begin(), it, it + 1);
    }
    lqSelectObject(dc_, current().pen);
    penSelected_ = true;
    if (brushSelected_) useBrush(false);  // the brush of the previous entry is no longer wanted
    textColorSet_ = false;
}

void GdiBackend::useBrush(bool filled) {
    if (filled == brushSelected_) return;
    lqSelectObject(dc_, filled ? current().brush : lqGetStockObject(kLqNullBrush));
    brushSelected_ = filled;
}

void GdiBackend::point(IPoint p) { lqSetPixel(dc_, p.x, p.y, colorOfIndex(current().color)); }

void GdiBackend::line(IPoint from, IPoint to) {
    // A line that ends where the pen stands is drawn backwards from there.
    if (positionKnown_ && to == position_) std::swap(from, to);
    if (!positionKnown_ || from != position_) lqMoveTo(dc_, from.x, from.y, nullptr);
    lqLineTo(dc_, to.x, to.y);
    position_ = to;
    positionKnown_ = true;
}

void GdiBackend::polyline(std::span<const IPoint> points) {
    points_.clear();
    for (IPoint p : points) points_.push_back({p.x, p.y});
    lqPolyline(dc_, points_.data(), std::uint32_t(points_.size()));
}

void GdiBackend::ellipse(IPoint topLeft, IPoint bottomRight) {
    useBrush(false);
    lqEllipse(dc_, topLeft.x, topLeft.y, bottomRight.x, bottomRight.y);
}

void GdiBackend::arc(IPoint topLeft, IPoint bottomRight, IPoint start, IPoint end) {
    lqArc(dc_, topLeft.x, topLeft.y, bottomRight.x, bottomRight.y, start.x, start.y, end.x, end.y);
}

void GdiBackend::polygon(std::span<const IPoint> points, bool filled) {
    useBrush(filled);
    points_.clear();
    for (IPoint p : points) points_.push_back({p.x, p.y});
    lqPolygon(dc_, points_.data(), std::uint32_t(points_.size()));
}

void GdiBackend::text(IPoint at, const TextStyle& style, std::string_view text) {
    if (!textColorSet_) {
        lqSetTextColor(dc_, colorOfIndex(current().color));
        textColorSet_ = true;
    }
    LqLogFont f{};
    f.height = style.cellHeight;
    f.width = style.averageWidth;
    f.escapement = style.escapement;
    f.orientation = style.escapement;
    f.weight = 400;
    f.charSet = 0;          // ANSI
    f.outPrecision = 7;     // TrueType
    f.quality = 1;          // draft
    f.pitchAndFamily = 0x20;  // Swiss
    std::strcpy(f.faceName, "Arial");
    HLQGDIOBJ font = lqCreateFontIndirect(&f);
    HLQGDIOBJ previous = lqSelectObject(dc_, font);
    lqTextOut(dc_, at.x, at.y, text.data(), std::int32_t(std::min<std::size_t>(text.size(), INT32_MAX)));
    lqSelectObject(dc_, previous);
    lqDeleteObject(font);
}

}  // namespace lqdxf
