#include "rastervane/RVTga.h"

#include <cstring>
#include <vector>

#include "rastervane/RVCodec.h"

namespace rv {

namespace {

constexpr std::size_t kHeaderSize = 18;
enum ImageType : std::uint8_t { kMapped = 1, kTrueColor = 2, kGray = 3, kRle = 8 };
constexpr std::uint8_t kRightToLeft = 0x10;
constexpr std::uint8_t kTopDown = 0x20;

bool fail(int code, const std::string& text) {
    RVSetLastError(code, "TGA: " + text);
    return false;
}

struct Header {
    std::uint8_t idLength = 0;
    std::uint8_t mapType = 0;
    std::uint8_t imageType = 0;
    std::uint16_t mapFirst = 0;
    std::uint16_t mapLength = 0;
    std::uint8_t mapEntryBits = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint8_t pixelBits = 0;
    std::uint8_t descriptor = 0;
};

Header parseHeader(std::span<const std::uint8_t> bytes) {
    ByteReader r(bytes);
    Header h;
    h.idLength = r.u8();
    h.mapType = r.u8();
    h.imageType = r.u8();
    h.mapFirst = r.le16();
    h.mapLength = r.le16();
    h.mapEntryBits = r.u8();
    r.skip(4);  // origin
    h.width = r.le16();
    h.height = r.le16();
    h.pixelBits = r.u8();
    h.descriptor = r.u8();
    return h;
}

bool validEntryBits(int bits) { return bits == 15 || bits == 16 || bits == 24 || bits == 32; }

// Why the header cannot be read, or empty when it can.
std::string headerProblem(const Header& h) {
    const int base = h.imageType & ~kRle;
    if (h.imageType != base && h.imageType != (base | kRle)) return "unknown image type";
    if (base != kMapped && base != kTrueColor && base != kGray) return "unsupported image type " + std::to_string(h.imageType);
    if (h.mapType > 1) return "unknown colour map type";
    if (h.mapType == 1 && !validEntryBits(h.mapEntryBits)) return "unsupported colour map entry size";
    if (base == kMapped && (h.mapType != 1 || h.pixelBits != 8)) return "colour-mapped image without an 8-bit map";
    if (base == kTrueColor && !validEntryBits(h.pixelBits)) return "unsupported pixel size";
    if (base == kGray && h.pixelBits != 8) return "unsupported grey depth";
    if (h.width == 0 || h.height == 0) return "width or height is 0";
    return {};
}

// One pixel of 15/16, 24 or 32 bits as blue, green, red.
void pixelToBgr(const std::uint8_t* p, int bits, std::uint8_t* out) {
    if (bits <= 16) {
        const std::uint32_t v = lqp::getLe16(p);
        out[0] = MaskedComponent(v, 0x001F);
        out[1] = MaskedComponent(v, 0x03E0);
        out[2] = MaskedComponent(v, 0x7C00);
    } else {
        std::memcpy(out, p, 3);
    }
}

class TgaDecoder {
public:
    explicit TgaDecoder(std::span<const std::uint8_t> data) : data_(data) {}
    bool readHeader();
    bool decode(OutputDib& dib, const RVProgress& progress);

private:
    bool readPixels(ByteReader& r, std::vector<std::uint8_t>& pixels);

    std::span<const std::uint8_t> data_;
    Header h_;
    std::size_t pixelOffset_ = 0;
    ColorTable colors_;
};

bool TgaDecoder::readHeader() {
    if (data_.size() < kHeaderSize) return fail(kRVErrRead, "file ends inside its header");
    h_ = parseHeader(data_.first(kHeaderSize));
    if (const std::string problem = headerProblem(h_); !problem.empty()) return fail(kRVErrUnsupported, problem);
    ByteReader r(data_);
    r.seek(kHeaderSize + h_.idLength);
    if (h_.mapType == 1) {
        const std::size_t entryBytes = (h_.mapEntryBits + 7) / 8;
        for (std::size_t i = 0; i < h_.mapLength; ++i) {
            const auto e = r.bytes(entryBytes);
            if (e.empty()) return fail(kRVErrRead, "file ends inside the colour map");
            std::uint8_t bgr[3];
            pixelToBgr(e.data(), h_.mapEntryBits, bgr);
            colors_.set(h_.mapFirst + i, bgr[2], bgr[1], bgr[0]);
        }
    } else if ((h_.imageType & ~kRle) == kGray) {
        for (std::size_t i = 0; i < 256; ++i) colors_.set(i, std::uint8_t(i), std::uint8_t(i), std::uint8_t(i));
    }
    if (!r.ok()) return fail(kRVErrRead, "file ends inside its header");
    pixelOffset_ = r.position();
    return true;
}

// Fills `pixels` with width × height pixels of the file's size, decoding RLE packets (which
// may run on from one row into the next).
bool TgaDecoder::readPixels(ByteReader& r, std::vector<std::uint8_t>& pixels) {
    const std::size_t bpp = (h_.pixelBits + 7) / 8;
    const std::size_t total = std::size_t(h_.width) * h_.height * bpp;
    if (!(h_.imageType & kRle)) {
        const auto raw = r.bytes(total);
        if (raw.empty()) return fail(kRVErrRead, "file ends inside the pixel data");
        pixels.assign(raw.begin(), raw.end());
        return true;
    }
    // A packet of at most 128 pixels takes at least 1 + bpp bytes: refuse files that are too
    // short before allocating.
    if (r.remaining() < (total / bpp + 127) / 128 * (1 + bpp)) return fail(kRVErrRead, "file ends inside the pixel data");
    pixels.resize(total);
    for (std::size_t pos = 0; pos < total;) {
        const std::uint8_t packet = r.u8();
        const std::size_t count = std::min<std::size_t>((packet & 0x7F) + 1, (total - pos) / bpp);
        if (packet & 0x80) {
            const auto value = r.bytes(bpp);
            if (value.empty()) return fail(kRVErrRead, "file ends inside the pixel data");
            for (std::size_t i = 0; i < count; ++i, pos += bpp) std::memcpy(&pixels[pos], value.data(), bpp);
        } else {
            const auto run = r.bytes(count * bpp);
            if (run.empty()) return fail(kRVErrRead, "file ends inside the pixel data");
            std::memcpy(&pixels[pos], run.data(), count * bpp);
            pos += count * bpp;
        }
    }
    return true;
}

bool TgaDecoder::decode(OutputDib& dib, const RVProgress& progress) {
    if (!dib.create(h_.width, h_.height)) return false;
    ByteReader r(data_);
    r.seek(pixelOffset_);
    std::vector<std::uint8_t> pixels;
    if (!readPixels(r, pixels)) return false;
    const std::size_t bpp = (h_.pixelBits + 7) / 8;
    const bool indexed = (h_.imageType & ~kRle) != kTrueColor;
    const int w = h_.width;
    RowProgress report(progress, h_.height);
    for (int i = 0; i < h_.height; ++i) {
        const std::uint8_t* src = &pixels[std::size_t(i) * std::size_t(w) * bpp];
        std::uint8_t* out = dib.row((h_.descriptor & kTopDown) ? i : h_.height - 1 - i);
        for (int x = 0; x < w; ++x) {
            const int column = (h_.descriptor & kRightToLeft) ? w - 1 - x : x;
            std::uint8_t* px = out + 3 * column;
            if (indexed) std::memcpy(px, colors_.bgr(src[x]), 3);
            else pixelToBgr(src + std::size_t(x) * bpp, h_.pixelBits, px);
        }
        if (!report.row(i + 1)) return false;
    }
    return true;
}

// ---- writing ----

// Encodes one row of pixels; packets never run on into the next row, as TGA 2.0 asks.
void encodeRleRow(const std::uint8_t* raw, std::size_t n, std::size_t bpp, std::vector<std::uint8_t>& out) {
    auto same = [&](std::size_t a, std::size_t b) { return std::memcmp(&raw[a * bpp], &raw[b * bpp], bpp) == 0; };
    for (std::size_t i = 0; i < n;) {
        std::size_t run = 1;
        while (i + run < n && run < 128 && same(i, i + run)) ++run;
        if (run > 1) {
            out.push_back(std::uint8_t(0x80 | (run - 1)));
            out.insert(out.end(), &raw[i * bpp], &raw[i * bpp] + bpp);
            i += run;
            continue;
        }
        std::size_t literal = 1;
        while (i + literal < n && literal < 128 && !(i + literal + 1 < n && same(i + literal, i + literal + 1))) ++literal;
        out.push_back(std::uint8_t(literal - 1));
        out.insert(out.end(), &raw[i * bpp], &raw[(i + literal) * bpp]);
        i += literal;
    }
}

}  // namespace

bool LooksLikeTga(std::span<const std::uint8_t> header) {
    return header.size() >= kHeaderSize && headerProblem(parseHeader(header)).empty();
}

HLQMEM readtgastreamdib(std::span<const std::uint8_t> tga, const RVProgress& progress) {
    return Decode<TgaDecoder>("Loading TGA image", tga, progress);
}

HLQMEM readtgafiledib(const std::string& fileName, const RVProgress& progress) {
    return ReadFileWith(fileName, [&](std::span<const std::uint8_t> data) { return readtgastreamdib(data, progress); });
}

bool writetgafiledib(const std::string& fileName, HLQMEM dib, const RVProgress& progress) {
    RVSetOperation("Saving TGA image");
    InputDib in;
    if (!in.open(dib) || !RVReport(progress, 0)) return false;
    if (in.width() > 0xFFFF || in.height() > 0xFFFF) return fail(kRVErrTooLarge, "images above 65535 pixels cannot be stored");
    const bool mapped = in.bits() <= 8;
    const std::size_t bpp = mapped ? 1 : 3;
    const std::size_t colors = in.colorTable().size() / 4;

    // Rows bottom-up, as the DIB holds them and as a TGA stores them by default.
    std::vector<std::uint8_t> raw(std::size_t(in.width()) * std::size_t(in.height()) * bpp);
    RowProgress report(progress, in.height());
    for (int i = 0; i < in.height(); ++i) {
        std::uint8_t* dst = &raw[std::size_t(i) * std::size_t(in.width()) * bpp];
        const int y = in.height() - 1 - i;
        if (mapped) UnpackIndices(in.row(y), in.bits(), in.width(), dst);
        else in.rowToBgr(y, dst);
        if (!report.row(i + 1)) return false;
    }
    std::vector<std::uint8_t> rle;
    const std::size_t rowBytes = std::size_t(in.width()) * bpp;
    for (int i = 0; i < in.height(); ++i) encodeRleRow(&raw[std::size_t(i) * rowBytes], std::size_t(in.width()), bpp, rle);
    const bool useRle = rle.size() < raw.size();

    std::vector<std::uint8_t> out(kHeaderSize, 0);
    out[1] = mapped ? 1 : 0;
    out[2] = std::uint8_t((mapped ? kMapped : kTrueColor) | (useRle ? kRle : 0));
    if (mapped) {
        lqp::putLe16(&out[5], std::uint16_t(colors));
        out[7] = 24;
    }
    lqp::putLe16(&out[12], std::uint16_t(in.width()));
    lqp::putLe16(&out[14], std::uint16_t(in.height()));
    out[16] = std::uint8_t(mapped ? 8 : 24);
    for (std::size_t i = 0; i < colors; ++i) out.insert(out.end(), &in.colorTable()[i * 4], &in.colorTable()[i * 4] + 3);
    const std::vector<std::uint8_t>& body = useRle ? rle : raw;
    out.insert(out.end(), body.begin(), body.end());
    return WriteWholeFile(fileName, out) && RVReport(progress, 100);
}

}  // namespace rv
