// The top layer: drawing a parsed drawing through a narrow back end. The front end walks the
// entities and the blocks they insert, resolves colours and line types, transforms to output
// coordinates (y down, whole units within the 16-bit range) and reports progress.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "dxflib/DxfDrawing.h"

namespace lqdxf {

struct IPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool operator==(const IPoint&) const = default;
};

// A font by its cell height and average character width in output units, and the writing
// direction in tenths of a degree, counter-clockwise as seen on the output.
struct TextStyle {
    std::int32_t cellHeight = 1;
    std::int32_t averageWidth = 1;
    std::int32_t escapement = 0;
};

class Backend {
public:
    virtual ~Backend() = default;
    // The colour index (0-255) and line style of what follows.
    virtual void style(int colorIndex, bool dotted) = 0;
    virtual void point(IPoint p) = 0;
    virtual void line(IPoint from, IPoint to) = 0;
    virtual void polyline(std::span<const IPoint> points) = 0;
    // Outlines within the box; its right and bottom edges are outside.
    virtual void ellipse(IPoint topLeft, IPoint bottomRight) = 0;
    // Counter-clockwise as seen on the output, from the radial through `start` to the one through `end`.
    virtual void arc(IPoint topLeft, IPoint bottomRight, IPoint start, IPoint end) = 0;
    virtual void polygon(std::span<const IPoint> points, bool filled) = 0;
    // Text in Windows-1252, the bottom of its cell at `at`.
    virtual void text(IPoint at, const TextStyle& style, std::string_view text) = 0;
};

// Called with the percentage done; answers false to cancel.
using Progress = std::function<bool(int percent)>;

// Draws the drawing; false when the progress callback cancelled.
bool render(const Drawing& d, Backend& out, const Progress& progress);

// The colour index and dotted flag an entity draws with inside the given INSERTs (innermost
// last): BYBLOCK from the nearest INSERT that sets one, BYLAYER from the entity's layer.
struct Enclosing {
    int color;
    int lineType;
};
int resolveColor(const Drawing& d, const Entity& e, std::span<const Enclosing> inserts);
bool resolveDotted(const Drawing& d, const Entity& e, std::span<const Enclosing> inserts);

}  // namespace lqdxf
