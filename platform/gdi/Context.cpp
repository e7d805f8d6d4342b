#include "platform/gdi/Context.h"

namespace lqp::gdi {

namespace {

template <class T>
Held<T> holdStock(int which, Kind kind) {
    return Held<T>(find<T>(stockHandle(which), kind));
}

}  // namespace

DeviceContext::DeviceContext(Device d) : Object(Kind::Dc), device_(d) {
    state_.pen = holdStock<Pen>(kLqBlackPen, Kind::Pen);
    state_.brush = holdStock<Brush>(kLqWhiteBrush, Kind::Brush);
    state_.font = holdStock<Font>(kLqSystemFont, Kind::Font);
    bitmap_ = holdStock<Bitmap>(kStockBitmap, Kind::Bitmap);
}

DeviceContext::~DeviceContext() = default;

std::shared_ptr<Bitmap> DeviceContext::selectBitmap(std::shared_ptr<Bitmap> b) {
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

}  // namespace lqp::gdi
