#include "dxflib/DxfRender.h"

#include <algorithm>
#include <cmath>

namespace lqdxf {

namespace {

// An output coordinate: truncated, and kept within the 16-bit range of a metafile record.
std::int32_t whole(double v) { return std::isnan(v) ? 0 : std::int32_t(std::clamp(v, -32768.0, 32767.0)); }
IPoint whole(Point p) { return {whole(p.x), whole(p.y)}; }

class Renderer {
public:
    Renderer(const Drawing& d, Backend& out, const Progress& progress)
        : d_(d), out_(out), progress_(progress), step_(std::max<std::uint64_t>(1, d.groups / 20)) {}

    bool run() {
        entities(d_.entities, d_.view());
        if (!cancelled_ && progress_) progress_(100);
        return !cancelled_;
    }

private:
    void entities(const Segmented<Entity>& list, const Transform& t) {
        for (const Entity& e : list) {
            if (cancelled_) return;
            if (e.kind == EntityKind::Insert) {
                if (e.block < 0) continue;
                inserts_.push_back({e.color, e.lineType});
                entities(d_.blocks[std::size_t(e.block)].entities, e.placement.then(t));
                inserts_.pop_back();
            } else {
                out_.style(resolveColor(d_, e, inserts_), resolveDotted(d_, e, inserts_));
                draw(e, t);
            }
            tick();
        }
    }

    void tick() {
        if (++count_ % step_ != 0 || !progress_) return;
        percent_ = std::min(100, percent_ + 5);
        if (!progress_(percent_)) cancelled_ = true;
    }

    void draw(const Entity& e, const Transform& t) {
        switch (e.kind) {
        case EntityKind::Point: out_.point(whole(t.apply(e.p[0]))); break;
        case EntityKind::Line: out_.line(whole(t.apply(e.p[0])), whole(t.apply(e.p[1]))); break;
        case EntityKind::Polyline: polyline(e, t); break;
        case EntityKind::Circle:
        case EntityKind::Arc: circle(e, t); break;
        case EntityKind::Trace:
        case EntityKind::Face:
        case EntityKind::Solid: corners(e, t); break;
        case EntityKind::Text: text(e, t); break;
        case EntityKind::Insert: break;
        }
    }

    void polyline(const Entity& e, const Transform& t) {
        points_.clear();
        for (std::uint32_t i = 0; i < e.count; ++i) points_.push_back(whole(t.apply(d_.vertices[e.first + i])));
        if (e.closed) points_.push_back(points_.front());
        if (points_.size() == 1) points_.push_back(points_.front());
        out_.polyline(points_);
    }

    // The bounding square of the circle, one more to the right and bottom.
    void circle(const Entity& e, const Transform& t) {
        const Point c = t.apply(e.p[0]);
        const double r = std::fabs(e.radius) * t.xAxisLength();
        const IPoint topLeft{whole(c.x - r), whole(c.y - r)};
        const IPoint bottomRight{whole(c.x + r) + 1, whole(c.y + r) + 1};
        if (e.kind == EntityKind::Circle) return out_.ellipse(topLeft, bottomRight);
        // The output arc runs counter-clockwise; a mirroring transform turns the drawing's
        // counter-clockwise arc around.
        const IPoint s = whole(t.apply(e.p[1])), f = whole(t.apply(e.p[2]));
        if (t.determinant() <= 0) out_.arc(topLeft, bottomRight, s, f);
        else out_.arc(topLeft, bottomRight, f, s);
    }

    // TRACE and SOLID corners go 1, 2, 4, 3 around their outline; those of 3DFACE go in order.
    void corners(const Entity& e, const Transform& t) {
        IPoint p[4];
        for (int i = 0; i < 4; ++i) p[i] = whole(t.apply(e.p[i]));
        const bool zigzag = e.kind != EntityKind::Face;
        points_.assign({p[0], p[1], zigzag ? p[3] : p[2], zigzag ? p[2] : p[3]});
        if (p[2] == p[3]) points_.pop_back();
        out_.polygon(points_, e.kind == EntityKind::Solid);
    }

    void text(const Entity& e, const Transform& t) {
        const Transform m = e.placement.then(t);
        const double xAxis = m.xAxisLength();
        if (!(xAxis > 0) || !std::isfinite(xAxis)) return;
        TextStyle s;
        s.cellHeight = std::clamp(whole(std::fabs(m.determinant()) / xAxis), 1, 32767);
        s.averageWidth = std::clamp(whole(xAxis), 1, 32767);
        // The x axis's direction on the output, where y grows downwards.
        const double degrees = std::atan2(-m.b, m.a) * 180 / M_PI;
        s.escapement = (int(std::lround(degrees * 10)) % 3600 + 3600) % 3600;
        out_.text(whole(Point{m.tx, m.ty}), s, d_.texts[e.first]);
    }

    const Drawing& d_;
    Backend& out_;
    const Progress& progress_;
    const std::uint64_t step_;
    std::uint64_t count_ = 0;
    int percent_ = 0;
    bool cancelled_ = false;
    std::vector<Enclosing> inserts_;
    std::vector<IPoint> points_;
};

}  // namespace

int resolveColor(const Drawing& d, const Entity& e, std::span<const Enclosing> inserts) {
    int c = e.color;
    if (c == kColorByBlock) {
        c = 7;
        for (auto it = inserts.rbegin(); it != inserts.rend(); ++it)
            if (it->color != kColorByBlock) {
                c = it->color;
                break;
            }
    }
    if (c == kColorUnset || c == kColorByLayer) c = e.layer >= 0 ? d.layers[std::size_t(e.layer)].color : 7;
    if (c < 0) c = -c;  // a layer switched off still draws in its colour
    return c <= 255 ? c : 7;
}

bool resolveDotted(const Drawing& d, const Entity& e, std::span<const Enclosing> inserts) {
    int t = e.lineType;
    if (t == kLineTypeByBlock)
        for (auto it = inserts.rbegin(); it != inserts.rend(); ++it)
            if (it->lineType != kLineTypeByBlock) {
                t = it->lineType;
                break;
            }
    if (t == kLineTypeUnset) t = e.layer >= 0 ? d.layers[std::size_t(e.layer)].lineType : kLineTypeNotFound;
    return t >= 0 && std::size_t(t) < d.lineTypes.size() && d.lineTypes[std::size_t(t)].dashCount > 1;
}

bool render(const Drawing& d, Backend& out, const Progress& progress) { return Renderer(d, out, progress).run(); }

}  // namespace lqdxf
