#include "rastervane/RVPcx.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "rastervane/RVCodec.h"

namespace rv {

namespace {

constexpr std::size_t kHeaderSize = 128;
constexpr std::uint8_t kManufacturer = 0x0A;
constexpr std::uint8_t kPaletteMarker = 0x0C;
constexpr std::size_t kTrailingPaletteSize = 1 + 768;

bool fail(int code, const std::string& text) {
    RVSetLastError(code, "PCX: " + text);
    return false;
}

std::int32_t dpiToPelsPerMeter(int dpi) { return std::int32_t(std::lround(dpi / 0.0254)); }

// Reads the encoded scan lines one at a time. A run may continue into the next line, as some
// writers let it.
class LineDecoder {
public:
    LineDecoder(std::span<const std::uint8_t> data, bool rle) : r_(data), rle_(rle) {}
    bool next(std::uint8_t* out, std::size_t length) {
        for (std::size_t i = 0; i < length;) {
            if (runLength_ == 0) {
                const std::uint8_t b = r_.u8();
                if (!r_.ok()) return false;
                if (rle_ && b >= 0xC0) {
                    runLength_ = b & 0x3F;
                    runValue_ = r_.u8();
                    if (!r_.ok()) return false;
                    continue;
                }
                out[i++] = b;
                continue;
            }
            const std::size_t n = std::min<std::size_t>(runLength_, length - i);
            std::memset(out + i, runValue_, n);
            i += n;
            runLength_ -= n;
        }
        return true;
    }

private:
    ByteReader r_;
    bool rle_;
    std::size_t runLength_ = 0;
    std::uint8_t runValue_ = 0;
};

class PcxDecoder {
public:
    explicit PcxDecoder(std::span<const std::uint8_t> data) : data_(data) {}
    bool readHeader();
    bool decode(OutputDib& dib, const RVProgress& progress);

private:
    void lineToBgr(const std::uint8_t* line, std::uint8_t* out);

    std::span<const std::uint8_t> data_;
    int bits_ = 0;
    int planes_ = 0;
    std::size_t bytesPerLine_ = 0;
    std::int64_t width_ = 0;
    std::int64_t height_ = 0;
    int dpiX_ = 0, dpiY_ = 0;
    bool rle_ = true;
    ColorTable colors_;
    std::vector<std::uint8_t> indices_;
};

bool PcxDecoder::readHeader() {
    if (data_.size() < kHeaderSize) return fail(kRVErrRead, "file ends inside its header");
    ByteReader r(data_);
    const std::uint8_t manufacturer = r.u8();
    const std::uint8_t version = r.u8();
    const std::uint8_t encoding = r.u8();
    bits_ = r.u8();
    const int xMin = r.le16(), yMin = r.le16(), xMax = r.le16(), yMax = r.le16();
    dpiX_ = r.le16();
    dpiY_ = r.le16();
    const auto headerPalette = r.bytes(48);
    r.skip(1);
    planes_ = r.u8();
    bytesPerLine_ = r.le16();
    if (manufacturer != kManufacturer || encoding > 1) return fail(kRVErrFormat, "not a PCX file");
    rle_ = encoding == 1;
    if (xMax < xMin || yMax < yMin) return fail(kRVErrFormat, "invalid image window");
    width_ = xMax - xMin + 1;
    height_ = yMax - yMin + 1;

    const bool planar = bits_ == 1 && planes_ >= 1 && planes_ <= 4;
    const bool packed = planes_ == 1 && (bits_ == 2 || bits_ == 4 || bits_ == 8);
    const bool rgb = bits_ == 8 && (planes_ == 3 || planes_ == 4);
    if (!planar && !packed && !rgb)
        return fail(kRVErrUnsupported, std::to_string(bits_) + " bits in " + std::to_string(planes_) + " planes");
    if (bytesPerLine_ * 8 < std::size_t(width_) * std::size_t(bits_))
        return fail(kRVErrFormat, "bytes per line too small for the width");

    if (bits_ == 1 && planes_ == 1) {
        colors_.set(1, 255, 255, 255);
    } else if (bits_ * planes_ <= 4) {
        for (std::size_t i = 0; i < 16; ++i) colors_.set(i, headerPalette[i * 3], headerPalette[i * 3 + 1], headerPalette[i * 3 + 2]);
    } else if (packed) {
        // Version 5 files carry 256 colours after the image; without them the image is grey.
        const std::size_t end = data_.size();
        const bool trailing = version >= 5 && end >= kHeaderSize + kTrailingPaletteSize && data_[end - kTrailingPaletteSize] == kPaletteMarker;
        for (std::size_t i = 0; i < 256; ++i) {
            if (trailing) {
                const std::uint8_t* p = &data_[end - 768 + i * 3];
                colors_.set(i, p[0], p[1], p[2]);
            } else {
                colors_.set(i, std::uint8_t(i), std::uint8_t(i), std::uint8_t(i));
            }
        }
    }
    return true;
}

void PcxDecoder::lineToBgr(const std::uint8_t* line, std::uint8_t* out) {
    const int w = int(width_);
    if (bits_ == 8 && planes_ >= 3) {
        const std::uint8_t* red = line;
        const std::uint8_t* green = line + bytesPerLine_;
        const std::uint8_t* blue = line + 2 * bytesPerLine_;
        for (int x = 0; x < w; ++x, out += 3) out[0] = blue[x], out[1] = green[x], out[2] = red[x];
        return;
    }
    if (planes_ == 1) {
        UnpackIndices(line, bits_, w, indices_.data());
    } else {
        // Bit x of plane p is bit p of the colour index.
        for (int x = 0; x < w; ++x) {
            std::uint8_t index = 0;
            for (int p = 0; p < planes_; ++p)
                index |= std::uint8_t(((line[std::size_t(p) * bytesPerLine_ + std::size_t(x / 8)] >> (7 - x % 8)) & 1) << p);
            indices_[std::size_t(x)] = index;
        }
    }
    colors_.toBgr(indices_.data(), w, out);
}

bool PcxDecoder::decode(OutputDib& dib, const RVProgress& progress) {
    const std::size_t lineSize = bytesPerLine_ * std::size_t(planes_);
    // An RLE byte pair makes at most 63 bytes, so a file too short for its size is refused
    // before the image is allocated.
    const std::uint64_t encoded = data_.size() - kHeaderSize;
    const std::uint64_t bound = rle_ ? encoded * 63 / 2 + 63 : encoded;
    if (std::uint64_t(lineSize) * std::uint64_t(height_) > bound) return fail(kRVErrRead, "file ends inside the pixel data");
    if (!dib.create(width_, height_)) return false;
    if (dpiX_ > 0 && dpiY_ > 0) dib.setResolution(dpiToPelsPerMeter(dpiX_), dpiToPelsPerMeter(dpiY_));
    indices_.resize(std::size_t(width_));
    std::vector<std::uint8_t> line(lineSize);
    LineDecoder lines(data_.subspan(kHeaderSize), rle_);
    RowProgress report(progress, int(height_));
    for (int y = 0; y < int(height_); ++y) {
        if (!lines.next(line.data(), lineSize)) return fail(kRVErrRead, "file ends inside the pixel data");
        lineToBgr(line.data(), dib.row(y));
        if (!report.row(y + 1)) return false;
    }
    return true;
}

// ---- writing ----

void encodeLine(const std::uint8_t* line, std::size_t length, std::vector<std::uint8_t>& out) {
    for (std::size_t i = 0; i < length;) {
        std::size_t run = 1;
        while (i + run < length && run < 63 && line[i + run] == line[i]) ++run;
        if (run > 1 || line[i] >= 0xC0) out.push_back(std::uint8_t(0xC0 | run));
        out.push_back(line[i]);
        i += run;
    }
}

// A two-colour table of black, then white (blue, green, red, reserved entries).
bool isBlackWhite(std::span<const std::uint8_t> table) {
    return table.size() == 8 && table[0] == 0 && table[1] == 0 && table[2] == 0 && table[4] == 255 && table[5] == 255 && table[6] == 255;
}

}  // namespace

HLQMEM rdpcxstreamdib(std::span<const std::uint8_t> pcx, const RVProgress& progress) {
    return Decode<PcxDecoder>("Loading PCX image", pcx, progress);
}

HLQMEM rdpcxfiledib(const std::string& fileName, const RVProgress& progress) {
    return ReadFileWith(fileName, [&](std::span<const std::uint8_t> data) { return rdpcxstreamdib(data, progress); });
}

bool wrpcxfiledib(const std::string& fileName, HLQMEM dib, const RVProgress& progress) {
    RVSetOperation("Saving PCX image");
    InputDib in;
    if (!in.open(dib) || !RVReport(progress, 0)) return false;
    if (in.width() > 0xFFFF || in.height() > 0xFFFF) return fail(kRVErrTooLarge, "images above 65535 pixels cannot be stored");
    const bool mono = in.bits() == 1 && isBlackWhite(in.colorTable());
    const bool planar16 = !mono && in.bits() <= 4;
    const bool indexed8 = in.bits() == 8;
    const int bits = mono || planar16 ? 1 : 8;
    const int planes = mono ? 1 : planar16 ? 4 : indexed8 ? 1 : 3;
    const std::size_t bytesPerLine = ((std::size_t(in.width()) * std::size_t(bits) + 15) / 16) * 2;  // even, as required

    std::vector<std::uint8_t> out(kHeaderSize, 0);
    out[0] = kManufacturer;
    out[1] = 5;
    out[2] = 1;
    out[3] = std::uint8_t(bits);
    lqp::putLe16(&out[8], std::uint16_t(in.width() - 1));
    lqp::putLe16(&out[10], std::uint16_t(in.height() - 1));
    lqp::putLe16(&out[12], std::uint16_t(std::clamp<long>(std::lround(in.info().xPelsPerMeter * 0.0254), 0, 0xFFFF)));
    lqp::putLe16(&out[14], std::uint16_t(std::clamp<long>(std::lround(in.info().yPelsPerMeter * 0.0254), 0, 0xFFFF)));
    const auto table = in.colorTable();
    if (in.bits() <= 4)
        for (std::size_t i = 0; i < table.size() / 4 && i < 16; ++i)
            out[16 + i * 3] = table[i * 4 + 2], out[17 + i * 3] = table[i * 4 + 1], out[18 + i * 3] = table[i * 4];
    out[65] = std::uint8_t(planes);
    lqp::putLe16(&out[66], std::uint16_t(bytesPerLine));
    lqp::putLe16(&out[68], 1);  // colour

    std::vector<std::uint8_t> line(bytesPerLine * std::size_t(planes));
    std::vector<std::uint8_t> pixels(std::size_t(in.width()) * 3);
    std::vector<std::uint8_t> indices(std::size_t(in.width()));
    RowProgress report(progress, in.height());
    for (int y = 0; y < in.height(); ++y) {
        std::fill(line.begin(), line.end(), 0);
        if (mono || indexed8) {
            std::memcpy(line.data(), in.row(y), (std::size_t(in.width()) * std::size_t(bits) + 7) / 8);
        } else if (planar16) {
            UnpackIndices(in.row(y), in.bits(), in.width(), indices.data());
            for (int x = 0; x < in.width(); ++x)
                for (int p = 0; p < 4; ++p)
                    if (indices[std::size_t(x)] >> p & 1) line[std::size_t(p) * bytesPerLine + std::size_t(x / 8)] |= std::uint8_t(0x80 >> (x % 8));
        } else {
            in.rowToBgr(y, pixels.data());
            for (int x = 0; x < in.width(); ++x)
                for (int c = 0; c < 3; ++c) line[std::size_t(c) * bytesPerLine + std::size_t(x)] = pixels[std::size_t(x) * 3 + 2 - std::size_t(c)];
        }
        for (int p = 0; p < planes; ++p) encodeLine(&line[std::size_t(p) * bytesPerLine], bytesPerLine, out);
        if (!report.row(y + 1)) return false;
    }
    if (indexed8) {
        out.push_back(kPaletteMarker);
        for (std::size_t i = 0; i < 256; ++i) {
            const bool present = i < table.size() / 4;
            out.push_back(present ? table[i * 4 + 2] : 0);
            out.push_back(present ? table[i * 4 + 1] : 0);
            out.push_back(present ? table[i * 4] : 0);
        }
    }
    return WriteWholeFile(fileName, out) && RVReport(progress, 100);
}

}  // namespace rv
