#include "rastervane/RVBmp.h"

#include <cstring>
#include <vector>

#include "rastervane/RVCodec.h"

namespace rv {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kBiAlphaBitfields = 6;

bool fail(int code, const std::string& text) {
    RVSetLastError(code, "BMP: " + text);
    return false;
}

class BmpDecoder {
public:
    explicit BmpDecoder(std::span<const std::uint8_t> data) : data_(data) {}

    bool readHeader();
    bool decode(OutputDib& dib, const RVProgress& progress);

private:
    bool readColorTable(ByteReader& r, std::uint32_t entrySize);
    bool decodeUncompressed(OutputDib& dib, RowProgress& report);
    bool decodeRle(OutputDib& dib, RowProgress& report);
    bool rleToIndices(std::vector<std::uint8_t>& indices);
    void pixelsToBgr(const std::uint8_t* row, std::uint8_t* out) const;

    std::span<const std::uint8_t> data_;
    std::uint32_t pixelOffset_ = 0;
    std::int64_t width_ = 0;
    std::int64_t height_ = 0;     // always positive; topDown_ tells the row order
    bool topDown_ = false;
    int bits_ = 0;
    std::uint32_t compression_ = lqp::kBiRgb;
    std::int32_t xPelsPerMeter_ = 0;
    std::int32_t yPelsPerMeter_ = 0;
    std::uint32_t masks_[3] = {0, 0, 0};
    ColorTable colors_;
    std::vector<std::uint8_t> indices_;
};

bool BmpDecoder::readHeader() {
    ByteReader r(data_);
    const auto magic = r.bytes(2);
    if (magic.empty() || magic[0] != 'B' || magic[1] != 'M') return fail(kRVErrFormat, "not a bitmap file");
    r.skip(8);
    pixelOffset_ = r.le32();
    const std::uint32_t infoSize = r.le32();
    if (!r.ok()) return fail(kRVErrRead, "file ends inside its header");
    std::uint32_t clrUsed = 0;
    int planes = 0;
    if (infoSize == kCoreHeaderSize) {
        width_ = r.le16();
        height_ = r.le16();
        planes = r.le16();
        bits_ = r.le16();
    } else if (infoSize >= lqp::kDibHeaderSize && infoSize <= 124) {
        width_ = std::int32_t(r.le32());
        height_ = std::int32_t(r.le32());
        planes = r.le16();
        bits_ = r.le16();
        compression_ = r.le32();
        r.skip(4);
        xPelsPerMeter_ = std::int32_t(r.le32());
        yPelsPerMeter_ = std::int32_t(r.le32());
        clrUsed = r.le32();
        r.skip(4);
        // Version 4 and 5 headers carry the masks themselves; an info header is followed by them.
        if (compression_ == lqp::kBiBitfields || compression_ == kBiAlphaBitfields) {
            if (infoSize >= 52) r.seek(kFileHeaderSize + lqp::kDibHeaderSize);
            for (auto& m : masks_) m = r.le32();
            if (infoSize == lqp::kDibHeaderSize && compression_ == kBiAlphaBitfields) r.skip(4);
        }
    } else {
        return fail(kRVErrUnsupported, "unknown header size " + std::to_string(infoSize));
    }
    if (!r.ok()) return fail(kRVErrRead, "file ends inside its header");
    if (height_ < 0) {
        height_ = -height_;
        topDown_ = true;
    }
    if (planes != 1) return fail(kRVErrFormat, "plane count is not 1");
    if (width_ <= 0 || height_ <= 0) return fail(kRVErrFormat, "width or height is not positive");

    const bool rle = compression_ == lqp::kBiRle8 || compression_ == lqp::kBiRle4;
    const bool bitfields = compression_ == lqp::kBiBitfields || compression_ == kBiAlphaBitfields;
    const bool supported = (compression_ == lqp::kBiRgb && (bits_ == 1 || bits_ == 4 || bits_ == 8 || bits_ == 16 || bits_ == 24 || bits_ == 32)) ||
                           (compression_ == lqp::kBiRle8 && bits_ == 8) || (compression_ == lqp::kBiRle4 && bits_ == 4) ||
                           (bitfields && (bits_ == 16 || bits_ == 32) && infoSize != 64);
    if (!supported)
        return fail(kRVErrUnsupported, std::to_string(bits_) + " bits with compression " + std::to_string(compression_));
    if (rle && topDown_) return fail(kRVErrFormat, "compressed bitmaps cannot be top-down");
    if (compression_ == lqp::kBiRgb && bits_ == 16) masks_[0] = 0x7C00, masks_[1] = 0x03E0, masks_[2] = 0x001F;
    if (compression_ == lqp::kBiRgb && bits_ == 32) masks_[0] = 0xFF0000, masks_[1] = 0xFF00, masks_[2] = 0xFF;

    if (bits_ <= 8) {
        const std::uint32_t maxColors = 1u << bits_;
        if (clrUsed > maxColors) clrUsed = maxColors;
        if (clrUsed == 0) clrUsed = maxColors;
        const std::uint32_t entrySize = infoSize == kCoreHeaderSize ? 3 : 4;
        r.seek(kFileHeaderSize + infoSize);
        for (std::uint32_t i = 0; i < clrUsed && r.ok(); ++i) {
            const auto e = r.bytes(entrySize);
            if (!e.empty()) colors_.set(i, e[2], e[1], e[0]);
        }
        if (!r.ok()) return fail(kRVErrRead, "file ends inside the colour table");
    }
    if (pixelOffset_ >= data_.size()) return fail(kRVErrRead, "pixel data lies past the end of the file");
    return true;
}

void BmpDecoder::pixelsToBgr(const std::uint8_t* row, std::uint8_t* out) const {
    const int w = int(width_);
    switch (bits_) {
    case 24:
        std::memcpy(out, row, std::size_t(w) * 3);
        return;
    case 16: case 32:
        for (int x = 0; x < w; ++x, out += 3) {
            const std::uint32_t v = bits_ == 16 ? lqp::getLe16(row + 2 * x) : lqp::getLe32(row + 4 * x);
            out[0] = MaskedComponent(v, masks_[2]);
            out[1] = MaskedComponent(v, masks_[1]);
            out[2] = MaskedComponent(v, masks_[0]);
        }
        return;
    default:
        colors_.toBgr(row, w, out);  // rows of indices, one byte each
    }
}

bool BmpDecoder::decodeUncompressed(OutputDib& dib, RowProgress& report) {
    const std::uint64_t rowSize = lqp::dibRowSize(width_, bits_);
    const std::uint64_t available = data_.size() - pixelOffset_;
    // The last row need not carry its padding.
    const std::uint64_t needed = rowSize * std::uint64_t(height_ - 1) + (std::uint64_t(width_) * std::uint64_t(bits_) + 7) / 8;
    if (needed > available) return fail(kRVErrRead, "file ends inside the pixel data");
    std::vector<std::uint8_t> indices(bits_ <= 8 ? std::size_t(width_) : 0);
    for (int i = 0; i < int(height_); ++i) {
        const std::uint8_t* src = data_.data() + pixelOffset_ + std::size_t(i) * rowSize;
        const int y = topDown_ ? i : int(height_) - 1 - i;
        if (bits_ <= 8) {
            UnpackIndices(src, bits_, int(width_), indices.data());
            src = indices.data();
        }
        pixelsToBgr(src, dib.row(y));
        if (!report.row(i + 1)) return false;
    }
    return true;
}

// Expands RLE8 / RLE4 data into one index byte per pixel, rows bottom-up. Runs and absolute
// stretches are clipped at the right edge; deltas and early ends of line leave index 0.
bool BmpDecoder::rleToIndices(std::vector<std::uint8_t>& indices) {
    const std::size_t w = std::size_t(width_), h = std::size_t(height_);
    indices.assign(w * h, 0);
    ByteReader r(data_.subspan(pixelOffset_));
    const bool four = compression_ == lqp::kBiRle4;
    std::size_t x = 0, y = 0;
    auto put = [&](std::uint8_t index) {
        if (x < w && y < h) indices[y * w + x] = index;
        ++x;
    };
    while (y < h) {
        const std::uint8_t count = r.u8();
        const std::uint8_t value = r.u8();
        if (!r.ok()) return fail(kRVErrRead, "compressed data ends early");
        if (count > 0) {
            for (int i = 0; i < count; ++i) put(four ? std::uint8_t(i % 2 ? value & 15 : value >> 4) : value);
        } else if (value == 0) {
            x = 0, ++y;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            x += r.u8();
            y += r.u8();
        } else {
            const std::size_t bytes = four ? (value + 1) / 2 : value;
            const auto run = r.bytes(bytes);
            if (run.empty()) return fail(kRVErrRead, "compressed data ends early");
            if ((bytes & 1) && r.remaining() > 0) r.skip(1);  // absolute runs are padded to 16 bits
            for (int i = 0; i < value; ++i) put(four ? std::uint8_t(i % 2 ? run[i / 2] & 15 : run[i / 2] >> 4) : run[i]);
        }
        if (x > w + 255) x = w + 255;  // keep the column bounded however long the row is
    }
    return true;
}

bool BmpDecoder::decodeRle(OutputDib& dib, RowProgress& report) {
    if (!rleToIndices(indices_)) return false;
    const std::size_t w = std::size_t(width_);
    for (int i = 0; i < int(height_); ++i) {
        colors_.toBgr(&indices_[std::size_t(i) * w], int(w), dib.row(int(height_) - 1 - i));
        if (!report.row(i + 1)) return false;
    }
    return true;
}

bool BmpDecoder::decode(OutputDib& dib, const RVProgress& progress) {
    if (!dib.create(width_, height_)) return false;
    if (xPelsPerMeter_ > 0 && yPelsPerMeter_ > 0) dib.setResolution(xPelsPerMeter_, yPelsPerMeter_);
    RowProgress report(progress, int(height_));
    const bool rle = compression_ == lqp::kBiRle8 || compression_ == lqp::kBiRle4;
    return rle ? decodeRle(dib, report) : decodeUncompressed(dib, report);
}

}  // namespace

HLQMEM rdbmpstreamdib(std::span<const std::uint8_t> bmp, const RVProgress& progress) {
    return Decode<BmpDecoder>("Loading BMP image", bmp, progress);
}

HLQMEM rdbmpfiledib(const std::string& fileName, const RVProgress& progress) {
    return ReadFileWith(fileName, [&](std::span<const std::uint8_t> data) { return rdbmpstreamdib(data, progress); });
}

bool wrbmpstreamdib(std::vector<std::uint8_t>& bmp, HLQMEM dib) {
    InputDib in;
    if (!in.open(dib)) return false;
    lqp::DibHeader info = in.info();
    info.sizeImage = std::uint32_t(in.rowSize() * std::size_t(info.height));
    const std::uint64_t dibSize = lqp::dibTotalSize(info);
    const std::uint64_t total = kFileHeaderSize + dibSize;
    if (total > 0xFFFFFFFFu) return fail(kRVErrTooLarge, "image too large for a bitmap file");
    std::vector<std::uint8_t> out(static_cast<std::size_t>(total));
    out[0] = 'B';
    out[1] = 'M';
    lqp::putLe32(&out[2], std::uint32_t(total));
    lqp::putLe32(&out[10], std::uint32_t(kFileHeaderSize + lqp::dibPixelOffset(info)));
    std::memcpy(&out[kFileHeaderSize], in.data(), std::size_t(dibSize));
    lqp::writeDibHeader(&out[kFileHeaderSize], info);
    bmp.swap(out);
    return true;
}

bool wrbmpfiledib(const std::string& fileName, HLQMEM dib, const RVProgress& progress) {
    RVSetOperation("Saving BMP image");
    std::vector<std::uint8_t> bytes;
    return RVReport(progress, 0) && wrbmpstreamdib(bytes, dib) && WriteWholeFile(fileName, bytes) && RVReport(progress, 100);
}

}  // namespace rv
