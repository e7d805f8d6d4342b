// Row decoders of the TIFF reader: strip byte source and one decoder per compression.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "tifflib/TifDirectory.h"
#include "tifflib/TifIo.h"

namespace vellum {

// Sequential bytes of one strip, read from the file in chunks and bounded by the data's end.
// With FillOrder 2 every byte is bit-reversed as it is read.
class StripSource {
public:
    StripSource(TifIo& io, bool reverseBits) : io_(io), reverse_(reverseBits), buf_(kChunk) {}
    // Moves to a strip. Strips usually follow each other, so a strip that starts inside the
    // bytes already read is served from them.
    void start(std::uint64_t offset) {
        if (offset >= bufAt_ && offset < bufAt_ + end_) {
            pos_ = std::size_t(offset - bufAt_);
            return;
        }
        next_ = offset;
        pos_ = end_ = 0;
    }
    // The next byte, or -1 at the end of the data.
    int next() {
        if (pos_ == end_ && !refill()) return -1;
        return buf_[pos_++];
    }
    // Copies up to n bytes; answers how many were there.
    std::size_t read(std::uint8_t* dst, std::size_t n);
    // The bytes read ahead and not yet taken (refilled when none are left; empty at the end of
    // the data), so that a decoder can work on them in place; take() consumes n of them.
    const std::uint8_t* ahead(std::size_t& available) {
        if (pos_ == end_) refill();
        available = end_ - pos_;
        return buf_.data() + pos_;
    }
    void take(std::size_t n) { pos_ += n; }

private:
    static constexpr std::size_t kChunk = 65536;
    bool refill();
    TifIo& io_;
    bool reverse_;
    std::vector<std::uint8_t> buf_;
    std::size_t pos_ = 0, end_ = 0;
    std::uint64_t next_ = 0;   // file offset of the next chunk
    std::uint64_t bufAt_ = 0;  // file offset of buf_[0]
};

class RowDecoder {
public:
    virtual ~RowDecoder() = default;
    // Called at the start of every strip: the decoder forgets what it carried.
    virtual void startStrip() = 0;
    // Decodes the next `bytes` bytes of image row into `out`. False when the data ends early
    // or is corrupt beyond repair.
    virtual bool decodeRow(StripSource& src, std::uint8_t* out, std::size_t bytes) = 0;
};

// The decoder for the page's compression; `width` is the plane's width in pixels.
std::unique_ptr<RowDecoder> makeRowDecoder(const TiffHead& head);

}  // namespace vellum
