// Small helpers of the tifflib tests: making DIB blocks and reading their pixels.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Dib.h"
#include "platform/MemBlock.h"

namespace lqtest {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

// A DIB block of the given depth; `pixel(x, y)` (y from the top of the image) answers an
// index for palette depths or 0xRRGGBB for 24 bits. `table` holds 0xRRGGBB entries.
HLQMEM makeDib(int width, int height, int bits, const std::vector<std::uint32_t>& table,
               const std::function<std::uint32_t(int, int)>& pixel);

// A copy of a DIB block's content for inspection.
class DibCopy {
public:
    explicit DibCopy(HLQMEM h);
    explicit DibCopy(std::vector<std::uint8_t> packed);
    const lqp::DibHeader& header() const { return h_; }
    int width() const { return h_.width; }
    int height() const { return h_.height; }
    int bits() const { return h_.bitCount; }
    // Index of the pixel at (x, y), y from the top (palette depths only).
    std::uint32_t index(int x, int y) const;
    // Colour at (x, y), y from the top, through the colour table for palette depths.
    Rgb color(int x, int y) const;
    Rgb entry(std::uint32_t i) const;
    const std::vector<std::uint8_t>& bytes() const { return data_; }
private:
    std::vector<std::uint8_t> data_;
    lqp::DibHeader h_{};
};

}  // namespace lqtest
