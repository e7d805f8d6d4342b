// Plumbing shared by the effect operations: validated access to a DIB in a locked block, new
// result blocks, widening palette images to 24 bits, progress steps and error answers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>

#include "platform/Dib.h"
#include "platform/MemBlock.h"
#include "rastervane/RVError.h"

namespace rv::fx {

// Sets the last error; answers null so that `return fail(...)` ends a handle-answering operation.
std::nullptr_t fail(int code, std::string text);

// A packed DIB in a locked block, checked to be uncompressed with 1, 4, 8 or 24 bits per pixel
// and to hold every row its header promises. An invalid one has set the last error.
class LockedDib {
public:
    explicit LockedDib(HLQMEM h);
    ~LockedDib();
    LockedDib(const LockedDib&) = delete;
    LockedDib& operator=(const LockedDib&) = delete;

    bool valid() const { return pixels_ != nullptr; }
    const lqp::DibHeader& header() const { return h_; }
    // Pixels per metre, written into the block's header.
    void setResolution(std::int32_t x, std::int32_t y);
    int width() const { return h_.width; }
    int height() const { return h_.height; }
    int bits() const { return h_.bitCount; }
    std::uint32_t colorCount() const { return lqp::dibColorCount(h_); }
    std::uint8_t* colorTable() const { return table_; }  // 4-byte entries: blue, green, red, 0
    std::size_t stride() const { return stride_; }
    // Rows in memory order (bottom row first) and in picture order (top row first).
    std::uint8_t* row(int memRow) const { return pixels_ + std::size_t(memRow) * stride_; }
    std::uint8_t* topRow(int y) const { return row(h_.height - 1 - y); }

private:
    HLQMEM handle_ = nullptr;
    std::uint8_t* base_ = nullptr;
    std::uint8_t* table_ = nullptr;
    std::uint8_t* pixels_ = nullptr;
    std::size_t stride_ = 0;
    lqp::DibHeader h_;
};

// A result block being built: allocated zero-filled and locked; freed on destruction unless
// release() hands it over.
class ResultDib {
public:
    // Geometry and depth of the new DIB; resolution, colour count and table from `like`
    // when it has the same depth, else a table of `colors` entries for the caller to fill.
    ResultDib(const LockedDib& like, int width, int height, int bits, std::uint32_t colors = 0);
    bool valid() const { return dib_ && dib_->valid(); }
    const LockedDib& dib() const { return *dib_; }
    LockedDib& dib() { return *dib_; }
    HLQMEM release();

private:
    lqp::MemOwner mem_;
    std::unique_ptr<LockedDib> dib_;
};

// The 24-bit copy of a palette DIB; pixel indices past the colour table read as black.
ResultDib widenTo24(const LockedDib& src);
// A copy of the DIB (any depth) in a new block.
ResultDib copyOf(const LockedDib& src);

// Runs f(const LockedDib&) on the DIB when it has 24 bits, else on its widened copy.
template <class F>
HLQMEM on24Bits(const LockedDib& src, F&& f) {
    if (src.bits() == 24) return f(src);
    ResultDib wide = widenTo24(src);
    if (!wide.valid()) return nullptr;
    return f(wide.dib());
}

// Pixel x of a row as one integer: the palette index for 1, 4 and 8 bits, else
// blue | green << 8 | red << 16.
inline std::uint32_t pixelValue(const std::uint8_t* row, int x, int bits) {
    switch (bits) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case 4: return (x & 1) ? row[x >> 1] & 0x0Fu : row[x >> 1] >> 4u;
    case 8: return row[x];
    default: {
        const std::uint8_t* p = row + 3 * std::size_t(x);
        return p[0] | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16);
    }
    }
}
inline void setPixelValue(std::uint8_t* row, int x, int bits, std::uint32_t v) {
    switch (bits) {
    case 1: {
        const unsigned bit = 0x80u >> (x & 7);
        row[x >> 3] = std::uint8_t(v ? row[x >> 3] | bit : row[x >> 3] & ~bit);
        break;
    }
    case 4:
        row[x >> 1] = std::uint8_t((x & 1) ? (row[x >> 1] & 0xF0u) | (v & 0x0Fu) : (row[x >> 1] & 0x0Fu) | (v << 4));
        break;
    case 8: row[x] = std::uint8_t(v); break;
    default: {
        std::uint8_t* p = row + 3 * std::size_t(x);
        p[0] = std::uint8_t(v);
        p[1] = std::uint8_t(v >> 8);
        p[2] = std::uint8_t(v >> 16);
    }
    }
}

// Copies pixel sx of a source row to pixel dx of a destination row of the same depth.
inline void copyPixel(int bits, std::uint8_t* dstRow, int dx, const std::uint8_t* srcRow, int sx) {
    setPixelValue(dstRow, dx, bits, pixelValue(srcRow, sx, bits));
}

// Reports the progress of `total` units of work (rows, as a rule) through a callback that may
// be empty. Every report that is answered with "cancel" sets kRVErrCancelled.
class ProgressSteps {
public:
    ProgressSteps(const RVProgress& progress, long long total) : progress_(progress), total_(total) {}
    bool begin() { return report(0); }
    bool step(long long done);
    bool end() { return report(100); }

private:
    bool report(int percent);
    const RVProgress& progress_;
    long long total_;
    int last_ = 0;
};

// Names the operation in the thread's operation text, then runs the body, turning an
// allocation failure into kRVErrNoMemory.
template <class F>
auto runOperation(const char* name, F&& body) -> decltype(body()) {
    RVSetOperation(name);
    try {
        return body();
    } catch (const std::bad_alloc&) {
        RVSetLastError(kRVErrNoMemory, "Can't allocate memory");
        if constexpr (std::is_same_v<decltype(body()), int>) return kRVErrNoMemory;
        else return nullptr;
    }
}

}  // namespace rv::fx
