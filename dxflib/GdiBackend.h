// The back end that draws through a device context of the platform layer (a metafile context
// in the library). Pens and brushes are cached per colour and line style and selected only
// when they change; lines that continue where the pen stands are drawn without a move.
#pragma once

#include <vector>

#include "dxflib/DxfRender.h"
#include "platform/GdiDraw.h"

namespace lqdxf {

class GdiBackend : public Backend {
public:
    // Sets the context up for drawing: text aligned at the bottom of its cell, transparent
    // background, no brush.
    explicit GdiBackend(HLQDC dc);
    // Selects the stock black pen and brush and deletes the cached pens and brushes.
    ~GdiBackend() override;
    GdiBackend(const GdiBackend&) = delete;
    GdiBackend& operator=(const GdiBackend&) = delete;

    void style(int colorIndex, bool dotted) override;
    void point(IPoint p) override;
    void line(IPoint from, IPoint to) override;
    void polyline(std::span<const IPoint> points) override;
    void ellipse(IPoint topLeft, IPoint bottomRight) override;
    void arc(IPoint topLeft, IPoint bottomRight, IPoint start, IPoint end) override;
    void polygon(std::span<const IPoint> points, bool filled) override;
    void text(IPoint at, const TextStyle& style, std::string_view text) override;

private:
    struct Pen {
        int color;
        bool dotted;
        HLQGDIOBJ pen;
        HLQGDIOBJ brush;
    };
    void useBrush(bool filled);
    const Pen& current() const { return cache_.front(); }

    HLQDC dc_;
    std::vector<Pen> cache_;  // most recently used first
    bool penSelected_ = false;
    bool brushSelected_ = false;
    bool textColorSet_ = false;
    IPoint position_;
    bool positionKnown_ = false;
    std::vector<LqPoint> points_;
};

}  // namespace lqdxf
