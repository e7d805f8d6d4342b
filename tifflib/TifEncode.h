// Row encoders of the TIFF writer: none, CCITT modified Huffman, Group 3, Group 4, LZW and
// PackBits. Each appends to a growing byte buffer, so no row can overrun it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace vellum {

class RowEncoder {
public:
    virtual ~RowEncoder() = default;
    virtual void startStrip(std::vector<std::uint8_t>& out) = 0;
    // `row` is the file's row (RGB order for colour), `bytes` long; `width` pixels.
    virtual void encodeRow(const std::uint8_t* row, std::size_t bytes, std::vector<std::uint8_t>& out) = 0;
    // Completes the strip's data (pending codes, end codes, last byte).
    virtual void endStrip(std::vector<std::uint8_t>& out) = 0;
};

// Compression 1, 2, 3, 4, 5 or 32773; the CCITT encoders take 1-bit rows whose 1-bits are white.
std::unique_ptr<RowEncoder> makeRowEncoder(std::uint32_t compression, std::uint32_t width);

}  // namespace vellum
