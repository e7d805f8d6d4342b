// A device context: the drawing state and the device it draws on.
#pragma once

#include <memory>

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

class DeviceContext : public Object {
public:
    enum class Device { Memory };

    explicit DeviceContext(Device d);
    ~DeviceContext() override;

    Device device() const { return device_; }
    DcState& state() { return state_; }

    // The memory context's bitmap; answers the previous one.
    std::shared_ptr<Bitmap> selectBitmap(std::shared_ptr<Bitmap> b);
    Bitmap* bitmap() const { return bitmap_.get(); }
    std::shared_ptr<Palette> selectPalette(std::shared_ptr<Palette> p);
    Palette* palette() const { return palette_.get(); }

    // Logical to device coordinates under the mapping mode (not rounded).
    double deviceX(double x) const;
    double deviceY(double y) const;

private:
    const Device device_;
    DcState state_;
    Held<Bitmap> bitmap_;
    Held<Palette> palette_;
};

// The stretch and fetch calls of platform/Gdi.h on resolved objects.
std::int32_t stretchDib(DeviceContext& dc, const LqPoint& dst0, const LqPoint& dstSize, const LqPoint& src0,
                        const LqPoint& srcSize, const std::uint8_t* dib, std::size_t dibSize);
std::int32_t fetchDib(const DeviceContext* dc, const Bitmap& bitmap, std::uint32_t firstScan, std::uint32_t lines,
                      std::uint8_t* dib, std::size_t dibSize);

}  // namespace lqp::gdi
