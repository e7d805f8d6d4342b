// The middle layer: a parsed drawing (header, line types, layers, blocks, entities) with its
// extents and the scale of its output.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "dxflib/DxfError.h"
#include "dxflib/DxfInput.h"
#include "dxflib/DxfNames.h"
#include "dxflib/DxfSegmented.h"

namespace lqdxf {

struct Point {
    double x = 0;
    double y = 0;
    bool operator==(const Point&) const = default;
};

// An axis-aligned box; empty until a point is added.
struct Box {
    double x0 = std::numeric_limits<double>::infinity();
    double y0 = std::numeric_limits<double>::infinity();
    double x1 = -std::numeric_limits<double>::infinity();
    double y1 = -std::numeric_limits<double>::infinity();

    void add(Point p) {
        x0 = std::fmin(x0, p.x);
        y0 = std::fmin(y0, p.y);
        x1 = std::fmax(x1, p.x);
        y1 = std::fmax(y1, p.y);
    }
    void add(const Box& b) {
        if (b.empty()) return;
        add(Point{b.x0, b.y0});
        add(Point{b.x1, b.y1});
    }
    bool empty() const { return !(x0 <= x1 && y0 <= y1); }
    double width() const { return x1 - x0; }
    double height() const { return y1 - y0; }
};

// A 2-D affine transform: (x, y) -> (a x + c y + tx, b x + d y + ty).
struct Transform {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    Point apply(Point p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
    // This transform first, then `outer`.
    Transform then(const Transform& outer) const {
        return {outer.a * a + outer.c * b, outer.b * a + outer.d * b, outer.a * c + outer.c * d,
                outer.b * c + outer.d * d, outer.a * tx + outer.c * ty + outer.tx, outer.b * tx + outer.d * ty + outer.ty};
    }
    double determinant() const { return a * d - b * c; }
    double xAxisLength() const { return std::hypot(a, b); }
    // The box's four corners transformed and bounded again.
    Box apply(const Box& box) const {
        Box out;
        if (box.empty()) return out;
        for (Point p : {Point{box.x0, box.y0}, Point{box.x1, box.y0}, Point{box.x0, box.y1}, Point{box.x1, box.y1}})
            out.add(apply(p));
        return out;
    }
    // Scale, then rotate counter-clockwise by `degrees`, then move to `at`.
    static Transform placement(Point at, double sx, double sy, double degrees);
};

constexpr int kNoLayer = -1;
constexpr int kLineTypeByBlock = -1;
constexpr int kLineTypeUnset = -2;
constexpr int kLineTypeNotFound = -3;
constexpr int kColorByBlock = 0;
constexpr int kColorByLayer = 256;
constexpr int kColorUnset = -257;

enum class EntityKind : std::uint8_t { Point, Line, Polyline, Circle, Arc, Trace, Face, Solid, Insert, Text };

struct Entity {
    EntityKind kind = EntityKind::Point;
    bool closed = false;            // POLYLINE: the last vertex joins the first
    int layer = kNoLayer;
    int lineType = kLineTypeUnset;  // an index into Drawing::lineTypes, or one of kLineType*
    int color = kColorUnset;        // group 62 as read
    // POINT: p[0]; LINE: p[0] to p[1]; CIRCLE, ARC: centre p[0], ARC start and end points p[1],
    // p[2]; TRACE, 3DFACE, SOLID: the corners as read; INSERT, TEXT: unused (see `placement`).
    Point p[4];
    double radius = 0;
    double startAngle = 0;          // ARC, in degrees, exchanged when $ANGDIR is clockwise
    double endAngle = 0;
    std::uint32_t first = 0;        // POLYLINE: first vertex in Drawing::vertices; TEXT: Drawing::texts
    std::uint32_t count = 0;        // POLYLINE: number of vertices
    int block = -1;                 // INSERT: index in Drawing::blocks, -1 when the block is missing
    int blockName = 0;              // INSERT: the name id of group 2
    std::uint32_t line = 0;         // INSERT: where it was read, for errors
    Transform placement;            // INSERT, TEXT: block or text space to drawing space
};

struct LineType {
    int name = 0;
    int dashCount = 0;  // group 73
    double patternLength = 0;
    double dashes[4] = {};
};

struct Layer {
    int name = 0;
    int color = 7;
    int lineType = kLineTypeByBlock;
};

struct Block {
    int name = 0;
    int layer = kNoLayer;
    Point base;
    Segmented<Entity> entities;
    Box outer;  // of the entities in block space, once resolved
    Box inner;
    std::uint64_t drawn = 0;  // entities drawn for one INSERT of the block, nested ones expanded
};

// Limits that keep hostile drawings from exhausting the stack, the memory or the time.
constexpr int kMaxBlockNesting = 64;
constexpr std::uint64_t kMaxDrawnEntities = 4'000'000;

struct Drawing {
    bool binary = false;
    bool clockwiseAngles = false;  // $ANGDIR = 1
    bool utf8Texts = false;        // $ACADVER AC1021 (2007) and later store texts as UTF-8
    NameTable names;
    std::vector<LineType> lineTypes;
    std::vector<Layer> layers;
    std::vector<Block> blocks;
    Segmented<Entity> entities;
    Segmented<Point> vertices;
    std::vector<std::string> texts;  // Windows-1252

    Box outer;             // union of the entities' outer boxes: sets the scale
    Box inner;             // union of the inner boxes: sets placement and output size
    double scale = 0;      // output units per drawing unit
    std::int32_t width = 0;   // output extent
    std::int32_t height = 0;
    std::uint64_t groups = 0;  // groups read, for progress
    std::uint64_t drawn = 0;   // entities drawn, blocks expanded

    // The view transform: drawing units to output units, y growing downwards.
    Transform view() const;
    // Number of pixels per metre of the drawing header (a drawing unit taken as an inch).
    std::int32_t pixelsPerMeter() const;
};

// Reads a whole drawing, resolves its blocks and computes extents and scale. On failure the
// error tells why and where; the drawing is then unusable.
DxfError readDrawing(Input& in, Drawing& out);

// The two boxes of an entity, in the space of the list that holds it: the outer box sets the
// scale, the inner one placement and output size. They differ for an ARC (outer: its circle)
// and follow the block's boxes for an INSERT (corners transformed).
struct EntityBoxes {
    Box outer;
    Box inner;
};
EntityBoxes boxesOf(const Entity& e, const Drawing& d);

}  // namespace lqdxf
