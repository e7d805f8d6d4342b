#include "tifflib/TifEncode.h"

#include <algorithm>
#include <array>

#include "tifflib/FaxCodes.h"

namespace vellum {

namespace {

// Most-significant-bit-first bit output into a byte buffer.
class BitWriter {
public:
    void put(std::vector<std::uint8_t>& out, std::uint32_t code, int length) {
        acc_ = (acc_ << length) | (code & ((1ull << length) - 1));
        count_ += length;
        while (count_ >= 8) {
            count_ -= 8;
            out.push_back(std::uint8_t(acc_ >> count_));
        }
    }
    // Pads with 0-bits to the next byte boundary.
    void align(std::vector<std::uint8_t>& out) {
        if (count_) put(out, 0, 8 - count_);
    }
    int pending() const { return count_; }
private:
    std::uint64_t acc_ = 0;
    int count_ = 0;
};

class NoneEncoder : public RowEncoder {
public:
    void startStrip(std::vector<std::uint8_t>&) override {}
    void encodeRow(const std::uint8_t* row, std::size_t bytes, std::vector<std::uint8_t>& out) override {
        out.insert(out.end(), row, row + bytes);
    }
    void endStrip(std::vector<std::uint8_t>&) override {}
};

// PackBits, each row on its own: two or more equal bytes make a repeat run, everything else
// goes in literal runs; runs are at most 128 bytes.
class PackBitsEncoder : public RowEncoder {
public:
    void startStrip(std::vector<std::uint8_t>&) override {}
    void encodeRow(const std::uint8_t* row, std::size_t n, std::vector<std::uint8_t>& out) override {
        std::size_t i = 0, literal = 0;
        while (i < n) {
            if (i + 1 >= n || row[i + 1] != row[i]) {  // the common case in photos: no run here
                ++literal;
                ++i;
                if (literal == 128) {
                    flushLiteral(row + i - literal, literal, out);
                    literal = 0;
                }
                continue;
            }
            std::size_t run = 2;
            while (i + run < n && row[i + run] == row[i] && run < 128) ++run;
            flushLiteral(row + i - literal, literal, out);
            literal = 0;
            out.push_back(std::uint8_t(257 - run));
            out.push_back(row[i]);
            i += run;
        }
        flushLiteral(row + n - literal, literal, out);
    }
    void endStrip(std::vector<std::uint8_t>&) override {}
private:
    static void flushLiteral(const std::uint8_t* p, std::size_t n, std::vector<std::uint8_t>& out) {
        if (!n) return;
        out.push_back(std::uint8_t(n - 1));
        out.insert(out.end(), p, p + n);
    }
};

// TIFF LZW: 9..12-bit codes, Clear (256) at the start of every strip and whenever the table
// fills (next code 4095 at 12 bits), End of Information (257) at the strip's end. The string
// table is hashed: 8192 heads, 4096 entries chained.
class LzwEncoder : public RowEncoder {
public:
    void startStrip(std::vector<std::uint8_t>& out) override {
        bits_ = BitWriter();
        reset();
        bits_.put(out, kClear, width_);
        prefix_ = -1;
    }
    void encodeRow(const std::uint8_t* row, std::size_t n, std::vector<std::uint8_t>& out) override {
        for (std::size_t i = 0; i < n; ++i) add(row[i], out);
    }
    void endStrip(std::vector<std::uint8_t>& out) override {
        if (prefix_ >= 0) bits_.put(out, std::uint32_t(prefix_), width_);
        // The decoder widens one code early: account for the entry it adds for this code.
        if (prefix_ >= 0 && next_ + 1 >= limit_ && width_ < 12) ++width_;
        bits_.put(out, kEnd, width_);
        bits_.align(out);
        prefix_ = -1;
    }

private:
    static constexpr std::uint32_t kClear = 256, kEnd = 257;

    void reset() {
        heads_.fill(-1);
        next_ = 258;
        width_ = 9;
        limit_ = 512;
    }
    void add(std::uint8_t byte, std::vector<std::uint8_t>& out) {
        if (prefix_ < 0) {
            prefix_ = byte;
            return;
        }
        const std::uint32_t h = ((std::uint32_t(prefix_) << 8 | byte) * 2654435761u) >> 19;  // 13 bits
        for (int e = heads_[h]; e >= 0; e = link_[std::size_t(e)])
            if (entryPrefix_[std::size_t(e)] == prefix_ && suffix_[std::size_t(e)] == byte) {
                prefix_ = e;
                return;
            }
        bits_.put(out, std::uint32_t(prefix_), width_);
        entryPrefix_[std::size_t(next_)] = std::int16_t(prefix_);
        suffix_[std::size_t(next_)] = byte;
        link_[std::size_t(next_)] = heads_[h];
        heads_[h] = std::int16_t(next_);
        ++next_;
        prefix_ = byte;  // kept across a Clear below: this byte starts the next string
        if (next_ < limit_) return;
        if (width_ == 12) {
            bits_.put(out, kClear, width_);
            reset();
        } else {
            ++width_;
            limit_ = width_ == 12 ? 4095 : limit_ * 2;
        }
    }

    BitWriter bits_;
    std::array<std::int16_t, 8192> heads_{};
    std::array<std::int16_t, 4096> entryPrefix_{}, link_{};
    std::array<std::uint8_t, 4096> suffix_{};
    int prefix_ = -1;
    int next_ = 258, width_ = 9, limit_ = 512;
};

// Position of the first pixel at or after `x` whose bit differs from `white`, or `width`.
std::uint32_t nextChange(const std::uint8_t* row, std::uint32_t x, std::uint32_t width, bool white) {
    const std::uint64_t flip = white ? ~0ull : 0;
    while (x < width) {
        // Eight bytes from the one holding x, most significant first, bits before x masked off.
        const std::uint32_t byte = x >> 3;
        std::uint64_t word = 0;
        const std::uint32_t bytes = std::min<std::uint32_t>(8, (width + 7) / 8 - byte);
        for (std::uint32_t i = 0; i < bytes; ++i) word |= std::uint64_t(row[byte + i]) << (56 - 8 * i);
        word ^= flip;
        word &= ~0ull >> (x & 7);
        if (bytes < 8) word &= ~0ull << (64 - 8 * bytes);
        if (word) return std::min(width, byte * 8 + std::uint32_t(__builtin_clzll(word)));
        x = (byte + bytes) * 8;
    }
    return width;
}

// Changing elements of a 1-bit row (1 = white): positions where the colour differs from the
// pixel before, starting from white; followed by `width` twice.
void changesOf(const std::uint8_t* row, std::uint32_t width, std::vector<std::uint32_t>& out) {
    out.clear();
    bool white = true;
    for (std::uint32_t x = nextChange(row, 0, width, true); x < width; x = nextChange(row, x, width, white)) {
        out.push_back(x);
        white = !white;
    }
    out.push_back(width);
    out.push_back(width);
}

class FaxEncoder : public RowEncoder {
public:
    FaxEncoder(std::uint32_t compression, std::uint32_t width) : compression_(compression), width_(width) {
        cur_.reserve(width + 3);
        ref_.reserve(width + 3);
    }
    void startStrip(std::vector<std::uint8_t>&) override {
        bits_ = BitWriter();
        ref_.assign(2, width_);  // all white above the first row
    }
    void encodeRow(const std::uint8_t* row, std::size_t, std::vector<std::uint8_t>& out) override {
        changesOf(row, width_, cur_);
        if (compression_ == 3) eol(out);
        if (compression_ == 4) encode2D(out);
        else encode1D(out);
        if (compression_ == 2) bits_.align(out);
        cur_.swap(ref_);
    }
    void endStrip(std::vector<std::uint8_t>& out) override {
        if (compression_ == 3) {
            bits_.align(out);
            out.insert(out.end(), {0x00, 0x10, 0x01, 0x00, 0x10, 0x01, 0x00, 0x10, 0x01});  // six EOLs
        }
        bits_.align(out);
    }

private:
    // An EOL that ends on a byte boundary: fill bits, then 000000000001.
    void eol(std::vector<std::uint8_t>& out) {
        const int fill = (8 - (bits_.pending() + 12) % 8) % 8;
        bits_.put(out, 0, fill + 11);
        bits_.put(out, 1, 1);
    }
    void run(bool black, std::uint32_t length, std::vector<std::uint8_t>& out) {
        while (length > 1728) {
            const FaxCode& c = faxCode(black, 1728);
            bits_.put(out, c.bits, c.length);
            length -= 1728;
        }
        if (length >= 64) {
            const FaxCode& c = faxCode(black, int(length / 64 * 64));
            bits_.put(out, c.bits, c.length);
            length %= 64;
        }
        const FaxCode& t = faxCode(black, int(length));
        bits_.put(out, t.bits, t.length);
    }
    void encode1D(std::vector<std::uint8_t>& out) {
        std::uint32_t pos = 0;
        bool black = false;
        for (std::uint32_t change : cur_) {
            if (pos >= width_) break;
            run(black, change - pos, out);
            pos = change;
            black = !black;
        }
    }
    void encode2D(std::vector<std::uint8_t>& out) {
        std::int64_t a0 = -1;
        bool black = false;
        std::size_t ai = 0, bi = 0;
        while (a0 < std::int64_t(width_)) {
            while (std::int64_t(cur_[ai]) <= a0 && ai + 2 < cur_.size()) ++ai;
            while (std::int64_t(ref_[bi]) <= a0 && bi + 2 < ref_.size()) ++bi;
            const std::size_t b1i = bi + (((bi & 1) != 0) != black ? 1 : 0);
            const std::uint32_t a1 = cur_[ai], b1 = ref_[std::min(b1i, ref_.size() - 1)],
                                b2 = ref_[std::min(b1i + 1, ref_.size() - 1)];
            if (b2 < a1) {
                bits_.put(out, 0b0001, 4);
                a0 = b2;
            } else if (std::int64_t(a1) - b1 >= -3 && std::int64_t(a1) - b1 <= 3) {
                static const std::uint8_t codes[7][2] = {{0b0000010, 7}, {0b000010, 6}, {0b010, 3}, {0b1, 1},
                                                          {0b011, 3},     {0b000011, 6}, {0b0000011, 7}};
                const auto& c = codes[std::int64_t(a1) - b1 + 3];
                bits_.put(out, c[0], c[1]);
                a0 = a1;
                black = !black;
            } else {
                const std::uint32_t a2 = cur_[std::min(ai + 1, cur_.size() - 1)];
                bits_.put(out, 0b001, 3);
                run(black, a1 - std::uint32_t(std::max<std::int64_t>(a0, 0)), out);
                run(!black, a2 - a1, out);
                a0 = a2;
            }
        }
    }

    std::uint32_t compression_, width_;
    BitWriter bits_;
    std::vector<std::uint32_t> cur_, ref_;
};

}  // namespace

std::unique_ptr<RowEncoder> makeRowEncoder(std::uint32_t compression, std::uint32_t width) {
    switch (compression) {
    case 1: return std::make_unique<NoneEncoder>();
    case 5: return std::make_unique<LzwEncoder>();
    case 32773: return std::make_unique<PackBitsEncoder>();
    default: return std::make_unique<FaxEncoder>(compression, width);
    }
}

}  // namespace vellum
