// Small helpers of the tifflib tests: making DIB blocks and reading their pixels.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Dib.h"
#include "platform/MemBlock.h"
#include "tests/support/TestSupport.h"

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

// A TIFF file image held in a locked memory block, as the stream exports take it. Writers may
// replace the address; the block is found from it when the stream is freed.
class LockedStream {
public:
    explicit LockedStream(const std::vector<std::uint8_t>& bytes);
    LockedStream() = default;  // no block: a writer allocates one
    ~LockedStream();
    LockedStream(const LockedStream&) = delete;
    LockedStream& operator=(const LockedStream&) = delete;
    void* address() const { return address_; }
    void** addressRef() { return &address_; }
    std::uint32_t length() const { return length_; }
    std::uint32_t* lengthRef() { return &length_; }
    std::vector<std::uint8_t> bytes() const;
private:
    void* address_ = nullptr;
    std::uint32_t length_ = 0;
};

// Every page of a TIFF file as Pillow decodes it (raw RGB, top row first); empty on failure.
std::vector<std::vector<std::uint8_t>> pillowPages(const std::string& path);
// Number of pixels where the DIB's colours differ from raw RGB.
int countDifferences(const DibCopy& dib, const std::vector<std::uint8_t>& rgb);

}  // namespace lqtest
