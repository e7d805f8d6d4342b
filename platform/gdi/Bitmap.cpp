#include "platform/LastError.h"
#include "platform/gdi/Objects.h"

namespace lqp::gdi {

Bitmap::Bitmap(cairo_surface_t* s, int bits) : Object(Kind::Bitmap), surface(s), bitCount(bits) {}

Bitmap::~Bitmap() { cairo_surface_destroy(surface); }

std::shared_ptr<Bitmap> makeBitmap(std::int32_t width, std::int32_t height, int bitCount) {
    if (width < 1 || height < 1 || std::uint32_t(width) > kLqMaxBitmapSide ||
        std::uint32_t(height) > kLqMaxBitmapSide || (bitCount != 1 && bitCount != 24)) {
        lqSetLastError(kLqErrInvalidParameter);
        return nullptr;
    }
    cairo_surface_t* s =
        cairo_image_surface_create(bitCount == 1 ? CAIRO_FORMAT_A1 : CAIRO_FORMAT_RGB24, width, height);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        lqSetLastError(kLqErrOutOfMemory);
        return nullptr;
    }
    return std::make_shared<Bitmap>(s, bitCount);
}

}  // namespace lqp::gdi
