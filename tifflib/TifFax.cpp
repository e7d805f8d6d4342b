// CCITT decoding: modified Huffman, Group 3 (one- and two-dimensional) and Group 4. Rows are
// decoded into changing elements (the positions where the colour changes), then rendered
// with white runs as 0-bits and black runs as 1-bits, as PhotometricInterpretation 0 reads.
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "tifflib/FaxCodes.h"
#include "tifflib/TifDecode.h"

namespace vellum {

namespace {

enum class Kind : std::uint8_t { Invalid, Terminating, MakeUp };

struct RunEntry {
    std::uint16_t run = 0;
    std::uint8_t length = 0;
    Kind kind = Kind::Invalid;
};

// Lookup by the next `bits` bits of the stream (12 for white, 13 for black).
template <int Bits>
struct RunTable {
    std::array<RunEntry, 1 << Bits> entries{};
    void add(const FaxCode& c, Kind kind) {
        const int shift = Bits - c.length;
        for (int i = 0; i < (1 << shift); ++i)
            entries[std::size_t((c.bits << shift) | i)] = {c.run, c.length, kind};
    }
    RunTable(const FaxCode* codes, int count) {
        for (int i = 0; i < count; ++i) add(codes[i], codes[i].run < 64 ? Kind::Terminating : Kind::MakeUp);
        for (int i = 0; i < kExtendedCodeCount; ++i) add(kExtendedCodes[i], Kind::MakeUp);
    }
};

const RunTable<12>& whiteTable() {
    static const RunTable<12> t(kWhiteCodes, kWhiteCodeCount);
    return t;
}
const RunTable<13>& blackTable() {
    static const RunTable<13> t(kBlackCodes, kBlackCodeCount);
    return t;
}

enum class Mode : std::uint8_t { Invalid, Pass, Horizontal, Vertical };
struct ModeEntry {
    Mode mode = Mode::Invalid;
    std::int8_t delta = 0;
    std::uint8_t length = 0;
};

std::array<ModeEntry, 128> makeModeTable() {
    std::array<ModeEntry, 128> t{};
    struct Code { int bits, length; Mode mode; int delta; };
    const Code codes[] = {
        {0b1, 1, Mode::Vertical, 0},        {0b011, 3, Mode::Vertical, 1},    {0b010, 3, Mode::Vertical, -1},
        {0b001, 3, Mode::Horizontal, 0},    {0b0001, 4, Mode::Pass, 0},       {0b000011, 6, Mode::Vertical, 2},
        {0b000010, 6, Mode::Vertical, -2},  {0b0000011, 7, Mode::Vertical, 3}, {0b0000010, 7, Mode::Vertical, -3},
    };
    for (const Code& c : codes)
        for (int i = 0; i < (1 << (7 - c.length)); ++i)
            t[std::size_t((c.bits << (7 - c.length)) | i)] = {c.mode, std::int8_t(c.delta), std::uint8_t(c.length)};
    return t;
}
const std::array<ModeEntry, 128> kModes = makeModeTable();

// Most-significant-bit-first reader over a strip; zeros past the end of the data.
class BitReader {
public:
    void start(StripSource& src) {
        src_ = &src;
        buf_ = 0;
        count_ = 0;
        end_ = false;
    }
    std::uint32_t peek(int n) {
        if (count_ < n) fill();
        return std::uint32_t(buf_ >> (64 - n));
    }
    void skip(int n) {
        if (count_ < n) fill();
        if (n >= count_) {
            buf_ = 0;
            count_ = 0;
        } else {
            buf_ <<= n;
            count_ -= n;
        }
    }
    void alignToByte() { skip(count_ & 7); }
    bool exhausted() {
        if (count_ == 0) fill();
        return count_ == 0;
    }
    // Skips zero bits up to and including the next 1-bit (an EOL, with any fill before it).
    void skipEol() {
        while (!exhausted()) {
            if (peek(1)) {
                skip(1);
                return;
            }
            skip(1);
        }
    }
private:
    void fill() {
        while (count_ <= 56 && !end_) {
            const int b = src_->next();
            if (b < 0) {
                end_ = true;
                break;
            }
            buf_ |= std::uint64_t(b) << (56 - count_);
            count_ += 8;
        }
    }
    StripSource* src_ = nullptr;
    std::uint64_t buf_ = 0;
    int count_ = 0;
    bool end_ = false;
};

// Sets bits [from, to) of a row (most significant bit first).
void setBits(std::uint8_t* row, std::uint32_t from, std::uint32_t to) {
    if (from >= to) return;
    std::uint32_t a = from >> 3, b = (to - 1) >> 3;
    const std::uint8_t first = std::uint8_t(0xFF >> (from & 7)), last = std::uint8_t(0xFF << (7 - ((to - 1) & 7)));
    if (a == b) {
        row[a] |= first & last;
        return;
    }
    row[a] |= first;
    if (b > a + 1) std::memset(row + a + 1, 0xFF, b - a - 1);
    row[b] |= last;
}

class FaxDecoder : public RowDecoder {
public:
    explicit FaxDecoder(const TiffHead& h)
        : width_(h.width), compression_(h.compression), twoD_(h.compression == 3 && (h.t4Options & 1)) {}
    void startStrip() override {
        started_ = false;
        ref_.assign(3, width_);  // the line above the first row is all white
    }
    bool decodeRow(StripSource& src, std::uint8_t* out, std::size_t bytes) override {
        if (!started_) {
            bits_.start(src);
            started_ = true;
        }
        cur_.clear();
        bool twoDRow = compression_ == 4;
        if (compression_ == 2) bits_.alignToByte();
        if (compression_ == 3) {
            if (bits_.peek(8) == 0) bits_.skipEol();
            if (twoD_) {
                twoDRow = bits_.peek(1) == 0;
                bits_.skip(1);
            }
        }
        if (twoDRow) decode2D();
        else decode1D();
        if (cur_.size() & 1) cur_.push_back(width_);
        std::memset(out, 0, bytes);
        for (std::size_t i = 0; i + 1 < cur_.size(); i += 2) setBits(out, cur_[i], cur_[i + 1]);
        ref_.assign(cur_.begin(), cur_.end());
        ref_.insert(ref_.end(), 3, width_);
        return true;
    }

private:
    // One run of a colour: make-up codes add up until a terminating code. -1 at an EOL, an
    // invalid code or the end of the data.
    int run(bool black) {
        int total = 0;
        for (;;) {
            if (bits_.peek(8) == 0) return -1;
            const RunEntry& e = black ? blackTable().entries[bits_.peek(13)] : whiteTable().entries[bits_.peek(12)];
            if (e.kind == Kind::Invalid) return -1;
            bits_.skip(e.length);
            total += e.run;
            if (e.kind == Kind::Terminating) return total;
            if (total > int(width_)) total = int(width_);
        }
    }
    void change(std::uint32_t at) { cur_.push_back(at); }
    std::uint32_t clampTo(std::int64_t v, std::uint32_t low) const {
        return std::uint32_t(std::clamp<std::int64_t>(v, low, width_));
    }

    void decode1D() {
        std::uint32_t pos = 0;
        bool black = false;
        while (pos < width_) {
            const int r = run(black);
            if (r < 0) break;
            pos = clampTo(std::int64_t(pos) + r, pos);
            change(pos);
            black = !black;
        }
    }

    void decode2D() {
        std::int64_t a0 = -1;
        bool black = false;
        std::size_t first = 0;  // first reference element right of a0
        while (a0 < std::int64_t(width_)) {
            const ModeEntry m = kModes[bits_.peek(7)];
            if (m.mode == Mode::Invalid) break;
            bits_.skip(m.length);
            while (std::int64_t(ref_[first]) <= a0 && first + 3 < ref_.size()) ++first;
            const std::size_t b1i = first + (((first & 1) != 0) != black ? 1 : 0);
            const std::uint32_t b1 = ref_[b1i], b2 = ref_[b1i + 1];
            const std::uint32_t start = std::uint32_t(std::max<std::int64_t>(a0, 0));
            if (m.mode == Mode::Pass) {
                a0 = b2;
            } else if (m.mode == Mode::Horizontal) {
                const int r1 = run(black);
                const int r2 = r1 < 0 ? -1 : run(!black);
                if (r2 < 0) break;
                const std::uint32_t a1 = clampTo(std::int64_t(start) + r1, start);
                const std::uint32_t a2 = clampTo(std::int64_t(a1) + r2, a1);
                change(a1);
                change(a2);
                a0 = a2;
            } else {
                const std::uint32_t a1 = clampTo(std::int64_t(b1) + m.delta, start);
                change(a1);
                a0 = a1;
                black = !black;
            }
        }
    }

    std::uint32_t width_;
    std::uint32_t compression_;
    bool twoD_;
    bool started_ = false;
    BitReader bits_;
    std::vector<std::uint32_t> cur_, ref_;
};

}  // namespace

std::unique_ptr<RowDecoder> makeFaxDecoder(const TiffHead& head) { return std::make_unique<FaxDecoder>(head); }

}  // namespace vellum
