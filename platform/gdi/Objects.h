// The drawing objects behind the handles of platform/Gdi.h and the registry that hands the
// handles out.
#pragma once

#include <cairo.h>

#include <atomic>
#include <bit>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/Gdi.h"

static_assert(std::endian::native == std::endian::little,
              "bitmap pixels are read as little-endian cairo words");

namespace lqp::gdi {

enum class Kind { Bitmap, Palette, Metafile, Dc, Pen, Brush, Font };

struct Object {
    explicit Object(Kind k) : kind(k) {}
    virtual ~Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    const Kind kind;
    void* handle = nullptr;  // set when registered
    bool stock = false;
    // How many context states hold the object; a held object cannot be deleted.
    std::atomic<int> holders{0};
};

// A device bitmap: a cairo image surface, RGB24 for the screen depth and A1 for monochrome.
struct Bitmap : Object {
    Bitmap(cairo_surface_t* s, int bits);
    ~Bitmap() override;
    int width() const { return cairo_image_surface_get_width(surface); }
    int height() const { return cairo_image_surface_get_height(surface); }
    int stride() const { return cairo_image_surface_get_stride(surface); }
    std::uint8_t* row(int y) const { return cairo_image_surface_get_data(surface) + std::ptrdiff_t(y) * stride(); }
    // Direct pixel access, between cairo_surface_flush and cairo_surface_mark_dirty.
    ColorRef pixel(int x, int y) const;
    void setPixel(int x, int y, ColorRef c);

    cairo_surface_t* const surface;
    const int bitCount;  // 1 or 24
};

struct Palette : Object {
    Palette() : Object(Kind::Palette) {}
    std::vector<LqPaletteEntry> entries;
};

struct Pen : Object {
    Pen(int s, int w, ColorRef c) : Object(Kind::Pen), style(s), width(w), color(c) {}
    const int style;
    const int width;
    const ColorRef color;
};

struct Brush : Object {
    Brush(bool n, ColorRef c) : Object(Kind::Brush), null(n), color(c) {}
    const bool null;
    const ColorRef color;
};

struct Font : Object {
    explicit Font(const LqLogFont& f) : Object(Kind::Font), logFont(f) {}
    const LqLogFont logFont;
};

// Colours as cairo stores them in RGB24: 0x00RRGGBB.
inline std::uint32_t toPixel(ColorRef c) { return (std::uint32_t(redOf(c)) << 16) | (std::uint32_t(greenOf(c)) << 8) | blueOf(c); }
inline ColorRef fromPixel(std::uint32_t p) { return rgb(std::uint8_t(p >> 16), std::uint8_t(p >> 8), std::uint8_t(p)); }
// Monochrome devices take each colour's nearest of black and white.
inline bool isLight(ColorRef c) { return 77u * redOf(c) + 151u * greenOf(c) + 28u * blueOf(c) >= 128u * 256u; }

// A1 surfaces hold the first pixel of a word in its lowest bit (little-endian host).
inline ColorRef Bitmap::pixel(int x, int y) const {
    const std::uint8_t* r = row(y);
    if (bitCount == 1) return (r[x >> 3] >> (x & 7)) & 1 ? rgb(255, 255, 255) : rgb(0, 0, 0);
    return fromPixel(reinterpret_cast<const std::uint32_t*>(r)[x]);
}

inline void Bitmap::setPixel(int x, int y, ColorRef c) {
    std::uint8_t* r = row(y);
    if (bitCount == 1) {
        const std::uint8_t bit = std::uint8_t(1u << (x & 7));
        r[x >> 3] = isLight(c) ? std::uint8_t(r[x >> 3] | bit) : std::uint8_t(r[x >> 3] & ~bit);
    } else {
        reinterpret_cast<std::uint32_t*>(r)[x] = toPixel(c);
    }
}

// Shares an object and counts itself among its holders while it lives.
template <class T>
class Held {
public:
    Held() = default;
    explicit Held(std::shared_ptr<T> p) : p_(std::move(p)) { if (p_) ++p_->holders; }
    Held(const Held& o) : Held(o.p_) {}
    Held& operator=(const Held& o) {
        if (this != &o) { Held tmp(o); std::swap(p_, tmp.p_); }
        return *this;
    }
    ~Held() { if (p_) --p_->holders; }
    T* operator->() const { return p_.get(); }
    T& operator*() const { return *p_; }
    T* get() const { return p_.get(); }
    const std::shared_ptr<T>& shared() const { return p_; }
    explicit operator bool() const { return bool(p_); }
private:
    std::shared_ptr<T> p_;
};

// Handles are sequence numbers; the registry maps them to objects of one kind each.
void* registerObject(std::shared_ptr<Object> object);
std::shared_ptr<Object> findObject(const void* handle, Kind kind);
// Removes a registered object; refused (kLqErrBusy) while a context holds it. Deleting a
// stock object is accepted and does nothing.
bool unregisterObject(const void* handle, Kind kind);
std::size_t liveObjects();
// The handle of a stock object, registered once per process.
void* stockHandle(int which);
// The stock object a new memory context holds as its bitmap.
constexpr int kStockBitmap = -1;

template <class T>
std::shared_ptr<T> find(const void* handle, Kind kind) {
    return std::static_pointer_cast<T>(findObject(handle, kind));
}

// A new bitmap of 1 or 24 bits, or null with the reason in the last-error slot.
std::shared_ptr<Bitmap> makeBitmap(std::int32_t width, std::int32_t height, int bitCount);

}  // namespace lqp::gdi
