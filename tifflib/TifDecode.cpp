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
    std::size_t literal_ = 0, repeat_ = 0;
    std::uint8_t value_ = 0;
};

// TIFF LZW: codes most significant bit first, 9 to 12 bits wide, the width growing one code
// early; 256 clears the table, 257 ends the strip. Bytes of a string that pass the row's end
// are held back for the next row.
class LzwDecoder : public RowDecoder {
public:
    LzwDecoder() {
        for (int i = 0; i < 256; ++i) {
            suffix_[i] = first_[i] = std::uint8_t(i);
            length_[i] = 1;
        }
    }
    void startStrip() override {
        reset();
        bits_ = 0;
        count_ = 0;
        ended_ = false;
        heldLen_ = heldPos_ = 0;
    }
    bool decodeRow(StripSource& src, std::uint8_t* out, std::size_t bytes) override {
        std::size_t done = std::min(bytes, heldLen_ - heldPos_);
        std::memcpy(out, held_.data() + heldPos_, done);
        heldPos_ += done;
        while (done < bytes) {
            if (ended_) return false;
            const int code = readCode(src);
            if (code < 0 || code == 257) {
                ended_ = true;
                continue;
            }
            if (code == 256) {
                reset();
                continue;
            }
            done += emit(code, out + done, bytes - done);
        }
        return true;
    }

private:
    static constexpr int kMaxCodes = 4096;

    void reset() {
        next_ = 258;
        width_ = 9;
        prev_ = -1;
    }
    int readCode(StripSource& src) {
        while (count_ < width_) {
            const int b = src.next();
            if (b < 0) return -1;
            bits_ = (bits_ << 8) | std::uint32_t(b);
            count_ += 8;
        }
        count_ -= width_;
        return int((bits_ >> count_) & ((1u << width_) - 1));
    }
    // Writes the string of `code` (adding the new table entry); answers the bytes placed in
    // `out` (at most `room`), holding the rest back.
    std::size_t emit(int code, std::uint8_t* out, std::size_t room) {
        int string = code;
        std::uint8_t tail = 0;
        bool kwkwk = false;
        if (code >= next_) {
            if (code > next_ || prev_ < 0) return 0;  // not a code the table can have: skipped
            string = prev_;
            tail = first_[prev_];
            kwkwk = true;
        }
        const std::size_t len = std::size_t(length_[string]) + (kwkwk ? 1 : 0);
        std::uint8_t* dst = out;
        if (len > room) {
            dst = held_.data();
            heldLen_ = len;
            heldPos_ = room;
        }
        if (kwkwk) dst[len - 1] = tail;
        for (std::size_t i = length_[string], c = std::size_t(string); i-- > 0; c = prefix_[c]) dst[i] = suffix_[c];
        if (prev_ >= 0 && next_ < kMaxCodes) {
            prefix_[next_] = std::uint16_t(prev_);
            suffix_[next_] = first_[kwkwk ? prev_ : code];  // first byte of this string
            first_[next_] = first_[prev_];
            length_[next_] = std::uint16_t(length_[prev_] + 1);
            ++next_;
            if (next_ == (1 << width_) - 1 && width_ < 12) ++width_;
        }
        prev_ = code;
        if (len > room) {
            std::memcpy(out, dst, room);
            return room;
        }
        return len;
    }

    std::array<std::uint16_t, kMaxCodes> prefix_{};
    std::array<std::uint8_t, kMaxCodes> suffix_{}, first_{};
    std::array<std::uint16_t, kMaxCodes> length_{};
    std::array<std::uint8_t, kMaxCodes + 1> held_{};
    std::size_t heldLen_ = 0, heldPos_ = 0;
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
