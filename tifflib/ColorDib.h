// Access to the packed DIBs that the colour conversions read and make.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/Dib.h"
#include "platform/MemBlock.h"

namespace lqcolor {

// A locked, validated, uncompressed DIB of 1, 4, 8 or 24 bits. ok() is false for a null or
// bad handle, an invalid header or a depth the conversions do not handle.
class DibIn {
public:
    explicit DibIn(HLQMEM h);
    ~DibIn();
    DibIn(const DibIn&) = delete;
    DibIn& operator=(const DibIn&) = delete;
    bool ok() const { return bits_ != nullptr; }
    const lqp::DibHeader& header() const { return h_; }
    int width() const { return h_.width; }
    int height() const { return h_.height; }
    int bits() const { return h_.bitCount; }
    std::uint32_t colors() const { return colors_; }
    // Colour-table entry i as blue, green, red, reserved; black past the table's end.
    const std::uint8_t* entry(std::uint32_t i) const;
    // Row in memory order (0 is the bottom row of the image).
    const std::uint8_t* row(int y) const { return bits_ + std::uint64_t(y) * rowSize_; }
    std::uint64_t rowSize() const { return rowSize_; }

private:
    HLQMEM handle_ = nullptr;
    std::uint8_t* base_ = nullptr;
    lqp::DibHeader h_{};
    std::uint32_t colors_ = 0;
    const std::uint8_t* table_ = nullptr;
    const std::uint8_t* bits_ = nullptr;
    std::uint64_t rowSize_ = 0;
};

// A new DIB being filled: header written, colour table of `tableEntries` entries zeroed.
class DibOut {
public:
    DibOut(int width, int height, int bits, std::uint32_t tableEntries);
    bool ok() const { return bits_ != nullptr; }
    std::uint8_t* table() { return lock_->data() + lqp::kDibHeaderSize; }
    void setEntry(std::uint32_t i, std::uint8_t r, std::uint8_t g, std::uint8_t b);
    std::uint8_t* row(int y) { return bits_ + std::uint64_t(y) * rowSize_; }
    std::uint64_t rowSize() const { return rowSize_; }
    // Header fields callers adjust: clrUsed, clrImportant, resolution.
    lqp::DibHeader& header() { return h_; }
    void copyResolution(const lqp::DibHeader& from);
    // Writes the header and hands the block over.
    HLQMEM release();

private:
    lqp::MemOwner block_;
    std::optional<lqp::MemLock> lock_;
    lqp::DibHeader h_{};
    std::uint8_t* bits_ = nullptr;
    std::uint64_t rowSize_ = 0;
};

// Pixel i of a 1-, 4- or 8-bit row.
inline std::uint32_t indexAt(const std::uint8_t* row, int bits, int x) {
    switch (bits) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4: return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
    default: return row[x];
    }
}
inline void setIndex(std::uint8_t* row, int bits, int x, std::uint32_t v) {
    switch (bits) {
    case 1:
        if (v & 1) row[x >> 3] |= std::uint8_t(0x80 >> (x & 7));
        else row[x >> 3] &= std::uint8_t(~(0x80 >> (x & 7)));
        break;
    case 4:
        if (x & 1) row[x >> 1] = std::uint8_t((row[x >> 1] & 0xF0) | (v & 0x0F));
        else row[x >> 1] = std::uint8_t((row[x >> 1] & 0x0F) | (v << 4));
        break;
    default: row[x] = std::uint8_t(v);
    }
}

}  // namespace lqcolor
