// The boxes of entities and blocks, the drawing's extents, and the scale of its output.
#include <algorithm>
#include <new>

#include "dxflib/DxfParser.h"

namespace lqdxf {

namespace {

// The arc's inner box: its end points, widened to every axis point the arc passes.
Box arcBox(const Entity& e) {
    Box box;
    box.add(e.p[1]);
    box.add(e.p[2]);
    double from = std::fmod(e.startAngle, 360.0), to = std::fmod(e.endAngle, 360.0);
    if (from < 0) from += 360;
    if (to < 0) to += 360;
    if (to < from) to += 360;
    const double r = std::fabs(e.radius);
    const Point axis[4] = {{e.p[0].x + r, e.p[0].y}, {e.p[0].x, e.p[0].y + r}, {e.p[0].x - r, e.p[0].y},
                           {e.p[0].x, e.p[0].y - r}};
    for (int k = 0; k < 8; ++k)
        if (from < 90.0 * k && 90.0 * k < to) box.add(axis[k % 4]);
    return box;
}

}  // namespace

EntityBoxes boxesOf(const Entity& e, const Drawing& d) {
    EntityBoxes b;
    switch (e.kind) {
    case EntityKind::Point: b.outer.add(e.p[0]); break;
    case EntityKind::Line:
        b.outer.add(e.p[0]);
        b.outer.add(e.p[1]);
        break;
    case EntityKind::Circle:
    case EntityKind::Arc: {
        const double r = std::fabs(e.radius);
        b.outer.add(Point{e.p[0].x - r, e.p[0].y - r});
        b.outer.add(Point{e.p[0].x + r, e.p[0].y + r});
        if (e.kind == EntityKind::Arc) return {b.outer, arcBox(e)};
        break;
    }
    case EntityKind::Trace:
    case EntityKind::Face:
    case EntityKind::Solid:
        for (const Point& p : e.p) b.outer.add(p);
        break;
    case EntityKind::Polyline:
        for (std::uint32_t i = 0; i < e.count; ++i) b.outer.add(d.vertices[e.first + i]);
        break;
    case EntityKind::Insert: {
        if (e.block < 0) return b;
        const Block& block = d.blocks[std::size_t(e.block)];
        return {e.placement.apply(block.outer), e.placement.apply(block.inner)};
    }
    case EntityKind::Text: {
        const double n = double(d.texts[e.first].size());
        b.outer = e.placement.apply(Box{0, 0, n, 1});
        break;
    }
    }
    b.inner = b.outer;
    return b;
}

namespace {

// Resolves the boxes of blocks depth first, refusing cycles and deep nesting, and counts the
// entities each INSERT will draw.
class BlockBoxes {
public:
    explicit BlockBoxes(Drawing& d) : d_(d), state_(d.blocks.size(), State::New) {}

    DxfError sum(const Segmented<Entity>& list, Box& outer, Box& inner, std::uint64_t& drawn, int depth) {
        for (const Entity& e : list) {
            std::uint64_t n = 1;
            if (e.kind == EntityKind::Insert) {
                if (e.block < 0) continue;  // a missing block contributes nothing
                if (DxfError err = block(e.block, e.line, depth + 1); err.reason != Reason::None) return err;
                n = d_.blocks[std::size_t(e.block)].drawn;
            }
            const EntityBoxes b = boxesOf(e, d_);
            outer.add(b.outer);
            inner.add(b.inner);
            drawn += n;
            if (drawn > kMaxDrawnEntities) return {Reason::TooComplex, e.line};
        }
        return {};
    }

private:
    enum class State { New, Open, Done };

    DxfError block(int index, std::uint32_t line, int depth) {
        State& s = state_[std::size_t(index)];
        if (s == State::Done) return {};
        if (s == State::Open) return {Reason::BlockCycle, line};
        if (depth > kMaxBlockNesting) return {Reason::NestingTooDeep, line};
        s = State::Open;
        Block& b = d_.blocks[std::size_t(index)];
        if (DxfError err = sum(b.entities, b.outer, b.inner, b.drawn, depth); err.reason != Reason::None) return err;
        state_[std::size_t(index)] = State::Done;
        return {};
    }

    Drawing& d_;
    std::vector<State> state_;
};

// Scale s: the whole part of 32000 over the larger rounded-up extent (plus one), so that
// every coordinate fits a 16-bit metafile record; below 1 the real value is kept, so that
// drawings larger than 32000 units still draw. Margin ceil(s / 16).
void scaleAndExtent(Drawing& d) {
    const double raw = std::min(32000 / std::ceil(d.outer.width() + 1), 32000 / std::ceil(d.outer.height() + 1));
    d.scale = raw >= 1 ? std::floor(raw) : raw;
    const double margin = std::ceil(d.scale / 16);
    d.width = std::int32_t(d.inner.width() * d.scale + margin);
    d.height = std::int32_t(d.inner.height() * d.scale + margin);
}

}  // namespace

Transform Drawing::view() const { return {scale, 0, 0, -scale, -inner.x0 * scale, inner.y1 * scale}; }

std::int32_t Drawing::pixelsPerMeter() const { return std::int32_t(scale * 100 * 0.39370078740157477); }

DxfError readDrawing(Input& in, Drawing& d) {
    try {
        if (DxfError err = parseSections(in, d); err.reason != Reason::None) return err;
        if (DxfError err = BlockBoxes(d).sum(d.entities, d.outer, d.inner, d.drawn, 0); err.reason != Reason::None)
            return err;
    } catch (const std::bad_alloc&) {
        return {Reason::OutOfMemory, 0};
    }
    if (d.inner.empty()) return {Reason::EndOfData, 0};
    if (!std::isfinite(d.outer.width()) || !std::isfinite(d.outer.height())) return {Reason::TooLarge, 0};
    scaleAndExtent(d);
    return {};
}

}  // namespace lqdxf
