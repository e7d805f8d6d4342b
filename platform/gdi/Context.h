// A device context: the drawing state and the device it draws on (a bitmap, a cairo surface,
// or a metafile being recorded).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/GdiMetafile.h"
#include "platform/gdi/Objects.h"

namespace lqp::gdi {

// The part of a context that a metafile's playback saves and restores.
struct DcState {
    Held<Pen> pen;
    Held<Brush> brush;
    Held<Font> font;
    ColorRef textColor = rgb(0, 0, 0);
    ColorRef bkColor = rgb(255, 255, 255);
    int bkMode = kLqOpaque;
    std::uint32_t textAlign = kLqAlignLeft | kLqAlignTop;
    int mapMode = kLqMapText;
    LqPoint windowOrg{0, 0};
    LqPoint windowExt{1, 1};
    LqPoint viewportOrg{0, 0};
    LqPoint viewportExt{1, 1};
    LqPoint position{0, 0};
    int stretchMode = kLqStretchBlackOnWhite;
};

// Recorded calls: each record names its parameters in `words` and its text in `texts`.
struct Metafile : Object {
    struct Record {
        LqMetaFunction function;
        std::size_t first;   // index of the first parameter in `words`
        std::uint32_t count;
        int text;            // index in `texts`, -1 without text
    };
    Metafile() : Object(Kind::Metafile) {}
    std::vector<Record> records;
    std::vector<std::int16_t> words;
    std::vector<std::string> texts;
};

// A point and a box in device space.
struct DevicePoint {
    double x;
    double y;
};
struct Box {
    double x0, y0, x1, y1;
};

class DeviceContext : public Object {
public:
    enum class Device { Memory, Surface, Metafile };

    DeviceContext(Device d, cairo_surface_t* surface = nullptr, bool antialias = false);
    ~DeviceContext() override;

    Device device() const { return device_; }
    const DcState& state() const { return state_; }
    void setStretchMode(int mode) { state_.stretchMode = mode; }

    // The memory context's bitmap; answers the previous one.
    std::shared_ptr<Bitmap> selectBitmap(std::shared_ptr<Bitmap> b);
    Bitmap* bitmap() const { return bitmap_.get(); }
    std::shared_ptr<Palette> selectPalette(std::shared_ptr<Palette> p);
    Palette* palette() const { return palette_.get(); }

    // Settings; each answers false when a metafile cannot record the values.
    bool setMapMode(int mode);
    bool setMapping(LqMetaFunction which, LqPoint value);  // window / viewport origin / extent
    bool setTextColor(ColorRef c);
    bool setBkColor(ColorRef c);
    bool setBkMode(int mode);
    bool setTextAlign(std::uint32_t align);
    // Tools; each answers the previous tool of its kind, null when it cannot be recorded.
    std::shared_ptr<Object> selectTool(std::shared_ptr<Object> tool);

    bool moveTo(LqPoint p);
    bool lineTo(LqPoint p);
    bool polyline(const LqPoint* points, std::uint32_t count, bool closed);
    bool rectangle(LqPoint a, LqPoint b);
    bool ellipse(LqPoint a, LqPoint b);
    bool arc(LqPoint a, LqPoint b, LqPoint start, LqPoint end);
    bool setPixel(LqPoint p, ColorRef c);
    bool textOut(LqPoint p, std::string_view text);

    // The recorded calls of a metafile context, which stops recording.
    std::shared_ptr<Metafile> takeMetafile();
    bool play(const Metafile& m);

    // Logical to device coordinates under the mapping mode (not rounded).
    double deviceX(double x) const;
    double deviceY(double y) const;

private:
    // Appends a record when this is a metafile context; false when a value exceeds 16 bits.
    bool record(LqMetaFunction f, std::initializer_list<std::int64_t> params, const std::string* text = nullptr);
    bool recordPoints(LqMetaFunction f, const LqPoint* points, std::uint32_t count);
    bool recording() const { return device_ == Device::Metafile; }
    void replay(const Metafile& m, const Metafile::Record& r);

    // Painting on the bitmap or surface (platform/gdi/Paint.cpp, Text.cpp).
    cairo_t* canvas();
    bool finish(cairo_t* cr);
    // On bitmaps a point becomes the centre of the pixel that holds it, and a box's edges
    // become pixel boundaries with the right and bottom ones left out.
    DevicePoint toDevice(double x, double y) const;
    Box deviceBox(LqPoint a, LqPoint b) const;
    double scaleX() const;
    double scaleY() const;
    void setSource(cairo_t* cr, ColorRef c) const;
    bool strokePath(cairo_t* cr);
    bool fillAndStroke(cairo_t* cr);
    // The ellipse in the box, or with `arcEnds` the arc between the radials through them.
    static void ellipsePath(cairo_t* cr, const Box& box, const DevicePoint* arcEnds);
    bool paintText(cairo_t* cr, LqPoint p, std::string_view text);

    const Device device_;
    DcState state_;
    Held<Bitmap> bitmap_;
    Held<Palette> palette_;
    cairo_surface_t* surface_ = nullptr;  // surface contexts: the referenced surface
    cairo_t* cr_ = nullptr;               // made on demand for the current bitmap or surface
    bool pixelExact_ = true;
    std::shared_ptr<Metafile> metafile_;  // metafile contexts: the recording
};

// A device coordinate kept well inside the range cairo's fixed-point numbers can hold.
double clampDevice(double v);

// The stretch and fetch calls of platform/Gdi.h on resolved objects.
std::int32_t stretchDib(DeviceContext& dc, const LqPoint& dst0, const LqPoint& dstSize, const LqPoint& src0,
                        const LqPoint& srcSize, const std::uint8_t* dib, std::size_t dibSize);
std::int32_t fetchDib(const DeviceContext* dc, const Bitmap& bitmap, std::uint32_t firstScan, std::uint32_t lines,
                      std::uint8_t* dib, std::size_t dibSize);

}  // namespace lqp::gdi
