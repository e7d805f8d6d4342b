#include "tifflib/TifDecode.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "tifflib/FaxCodes.h"

namespace vellum {

namespace {

std::array<std::uint8_t, 256> makeReversal() {
    std::array<std::uint8_t, 256> t{};
    for (int i = 0; i < 256; ++i) {
        int r = 0;
        for (int b = 0; b < 8; ++b) r |= ((i >> b) & 1) << (7 - b);
        t[std::size_t(i)] = std::uint8_t(r);
    }
    return t;
}
const std::array<std::uint8_t, 256> kReversed = makeReversal();

}  // namespace

bool StripSource::refill() {
    const std::size_t got = io_.readAt(next_, buf_.data(), kChunk);
    if (got == 0) return false;
    bufAt_ = next_;
    if (reverse_)
        for (std::size_t i = 0; i < got; ++i) buf_[i] = kReversed[buf_[i]];
    next_ += got;
    pos_ = 0;
    end_ = got;
    return true;
}

std::size_t StripSource::read(std::uint8_t* dst, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        if (pos_ == end_ && !refill()) break;
        const std::size_t take = std::min(n - done, end_ - pos_);
        std::memcpy(dst + done, buf_.data() + pos_, take);
        pos_ += take;
        done += take;
    }
    return done;
}

namespace {

class NoneDecoder : public RowDecoder {
public:
    void startStrip() override {}
    bool decodeRow(StripSource& src, std::uint8_t* out, std::size_t bytes) override {
        return src.read(out, bytes) == bytes;
    }
};

// PackBits: runs may continue across rows, so a pending literal or repeat is carried.
class PackBitsDecoder : public RowDecoder {
public:
    void startStrip() override { literal_ = repeat_ = 0; }
    bool decodeRow(StripSource& src, std::uint8_t* out, std::size_t bytes) override {
        std::size_t done = 0;
        while (done < bytes) {
            if (literal_) {
                const std::size_t n = std::min(literal_, bytes - done);
                if (src.read(out + done, n) != n) return false;
                literal_ -= n;
                done += n;
            } else if (repeat_) {
                const std::size_t n = std::min(repeat_, bytes - done);
                std::memset(out + done, value_, n);
                repeat_ -= n;
                done += n;
            } else {
                done = wholeRuns(src, out, done, bytes);
                if (done == bytes) break;
                // A run that crosses the row's or the read-ahead's end: its header alone.
                const int h = src.next();
                if (h < 0) return false;
                if (h < 128) {
                    literal_ = std::size_t(h) + 1;
                } else if (h > 128) {
                    const int v = src.next();
                    if (v < 0) return false;
                    repeat_ = std::size_t(257 - h);
                    value_ = std::uint8_t(v);
                }
            }
        }
        return true;
    }
private:
    // Decodes the runs that lie wholly in the read-ahead bytes and in the row, in place, and
    // answers how far the row is done.
    static std::size_t wholeRuns(StripSource& src, std::uint8_t* out, std::size_t done, std::size_t bytes) {
        std::size_t available = 0;
        const std::uint8_t* p = src.ahead(available);
        std::size_t i = 0;
        while (done < bytes && i < available) {
            const unsigned h = p[i];
            if (h < 128) {
                const std::size_t n = h + 1;
                if (i + 1 + n > available || done + n > bytes) break;
                std::memcpy(out + done, p + i + 1, n);
                i += 1 + n;
                done += n;
            } else if (h > 128) {
                const std::size_t n = 257 - h;
                if (i + 2 > available || done + n > bytes) break;
                std::memset(out + done, p[i + 1], n);
                i += 2;
                done += n;
            } else {
                ++i;  // 128 is a no-op
            }
        }
        src.take(i);
        return done;
    }

    std::size_t literal_ = 0, repeat_ = 0;
    std::uint8_t value_ = 0;
};

// TIFF LZW: codes most significant bit first, 9 to 12 bits wide, the width growing one code
// early; 256 clears the table, 257 ends the strip. Every string since the last Clear is kept
// in one history buffer: a table entry is the previous string plus one byte, which stands
// right there in the history, so an entry is just a start and a length and a string is
// copied, not walked. Bytes that pass a row's end wait in the history for the next row.
class LzwDecoder : public RowDecoder {
public:
    void startStrip() override {
        used_ = taken_ = 0;  // what the last strip left over is not part of this one
        next_ = 258;
        width_ = 9;
        prev_ = -1;
        bits_ = 0;
        count_ = 0;
        ended_ = false;
    }

    // Codes are decoded until the history holds the row, then the row is copied out once.
    // The state lives in locals here: stores through byte pointers would otherwise make the
    // compiler reload every member after each byte.
    bool decodeRow(StripSource& src, std::uint8_t* out, std::size_t bytes) override {
        std::size_t used = used_;
        const std::size_t want = taken_ + bytes;
        int next = next_, width = width_, prev = prev_, count = count_;
        std::uint32_t bits = bits_;
        std::size_t prevStart = prevStart_, prevLength = prevLength_;
        std::uint8_t* h = history_.data();
        while (used < want && !ended_) {
            while (count < width) {
                const int b = src.next();
                if (b < 0) break;
                bits = (bits << 8) | std::uint32_t(b);
                count += 8;
            }
            if (count < width) {
                ended_ = true;
                break;
            }
            count -= width;
            const int code = int((bits >> count) & ((1u << width) - 1));
            if (code == kEnd) {
                ended_ = true;
            } else if (code == kClear) {
                // Bytes still waiting for a row move to the front: the history starts again.
                if (used > taken_) std::memmove(h, h + taken_, used - taken_);
                used -= taken_;
                taken_ = 0;
                next = 258;
                width = 9;
                prev = -1;
            } else {
                std::size_t length;
                if (code < 256) length = 1;
                else if (code < next) length = length_[std::size_t(code)];
                else if (code == next && prev >= 0) length = prevLength + 1;
                else continue;  // not a code the table can have yet: skipped
                if (used + length + kSlack > history_.size()) {
                    history_.resize(std::max(history_.size() * 2, used + length + kSlack + 65536));
                    h = history_.data();
                }
                std::uint8_t* dst = h + used;
                if (code < 256) {
                    *dst = std::uint8_t(code);
                } else if (code < next) {
                    copyString(dst, h + start_[std::size_t(code)], length);
                } else {  // the string being defined: the previous one and its first byte
                    copyString(dst, h + prevStart, prevLength);
                    dst[prevLength] = h[prevStart];
                }
                if (prev >= 0 && next < kMaxCodes) {
                    start_[std::size_t(next)] = std::uint32_t(prevStart);
                    length_[std::size_t(next)] = std::uint32_t(prevLength + 1);
                    ++next;
                    if (next == (1 << width) - 1 && width < 12) ++width;
                }
                prev = code;
                prevStart = used;
                prevLength = length;
                used += length;
            }
        }
        used_ = used;
        next_ = next;
        width_ = width;
        prev_ = prev;
        count_ = count;
        bits_ = bits;
        prevStart_ = prevStart;
        prevLength_ = prevLength;
        if (used_ - taken_ < bytes) return false;
        std::memcpy(out, h + taken_, bytes);
        taken_ += bytes;
        return true;
    }

private:
    static constexpr int kClear = 256, kEnd = 257, kMaxCodes = 4096;
    // Strings are copied eight bytes at a time and may write this far past their end.
    static constexpr std::size_t kSlack = 16;

    // The string's own bytes stand before `dst`; the eight-byte steps may read and write a few
    // bytes past them (into the slack), each step through a register.
    static void copyString(std::uint8_t* dst, const std::uint8_t* src, std::size_t n) {
        for (std::size_t i = 0; i < n; i += 8) {
            std::uint64_t word;
            std::memcpy(&word, src + i, 8);
            std::memcpy(dst + i, &word, 8);
        }
    }

    std::vector<std::uint8_t> history_;
    std::size_t used_ = 0, taken_ = 0;
    std::array<std::uint32_t, kMaxCodes> start_{}, length_{};
    std::size_t prevStart_ = 0, prevLength_ = 0;
    int next_ = 258, width_ = 9, prev_ = -1;
    std::uint32_t bits_ = 0;
    int count_ = 0;
    bool ended_ = false;
};

}  // namespace

std::unique_ptr<RowDecoder> makeFaxDecoder(const TiffHead& head);

std::unique_ptr<RowDecoder> makeRowDecoder(const TiffHead& head) {
    switch (head.compression) {
    case 1: return std::make_unique<NoneDecoder>();
    case 5: return std::make_unique<LzwDecoder>();
    case 32773: return std::make_unique<PackBitsDecoder>();
    default: return makeFaxDecoder(head);
    }
}

}  // namespace vellum
