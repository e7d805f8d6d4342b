#include "tifflib/TifReader.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/Dib.h"
#include "tifflib/TifDecode.h"
#include "tifflib/TifDirectory.h"
#include "tifflib/TifErrors.h"

namespace vellum {

namespace {

// Decoded pixel data may not exceed this (rows of the DIB, plus two spare rows).
constexpr std::uint64_t kMaxPixelBytes = 80000000;

struct OpenPage {
    std::optional<TifFile> file;
    TiffHead head;
    std::uint32_t error = 0;
    int pages = 0;
};

OpenPage openPage(TifIo& io, int page) {
    OpenPage p;
    p.file = TifFile::open(io);
    if (!p.file) {
        p.error = kErrRead;
        return p;
    }
    const std::vector<std::uint64_t> pages = p.file->pages();
    p.pages = int(pages.size());
    if (page < 0 || page >= p.pages) {
        p.error = kErrNoPage;
        return p;
    }
    ParsedHead parsed = parseHead(*p.file, pages[std::size_t(page)]);
    if (!parsed.head) p.error = parsed.error;
    else p.head = std::move(*parsed.head);
    return p;
}

int dibBitsFor(std::uint32_t p) { return p == 1 ? 1 : p <= 4 ? 4 : p <= 8 ? 8 : 24; }

// Turns the file's rows (one interleaved row at a time, already fixed up) into DIB rows.
class RowUnpacker {
public:
    RowUnpacker(const TiffHead& h, bool bigEndian) : h_(h), big_(bigEndian) {}

    void writeTable(std::uint8_t* table, int dibBits) const {
        auto put = [&](std::uint32_t i, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
            table[4 * i] = b; table[4 * i + 1] = g; table[4 * i + 2] = r; table[4 * i + 3] = 0;
        };
        if (dibBits == 1) put(1, 255, 255, 255);
        if (dibBits > 8 || dibBits == 1) return;
        const std::uint32_t entries = 1u << dibBits;
        const bool single = h_.samples == 1;
        const std::uint32_t levels = single ? 1u << h_.bitsPerSample : entries;
        const bool useMap = !h_.colorMap.empty() && single && (dibBits == 8 || h_.photometric == 3);
        for (std::uint32_t i = 0; i < std::min(entries, levels); ++i) {
            if (useMap) {
                put(i, std::uint8_t(h_.colorMap[i] >> 8), std::uint8_t(h_.colorMap[levels + i] >> 8),
                    std::uint8_t(h_.colorMap[2 * levels + i] >> 8));
            } else {
                const auto v = std::uint8_t(i * 255 / (levels - 1));
                put(i, v, v, v);
            }
        }
    }

    void unpack(const std::uint8_t* src, std::uint8_t* dst, int dibBits) const {
        const std::uint32_t bps = h_.bitsPerSample, spp = h_.samples;
        if (dibBits == 1 || (dibBits == 4 && bps == 4 && spp == 1) || (dibBits == 8 && bps == 8 && spp == 1)) {
            std::memcpy(dst, src, h_.bytesPerRow);
        } else if (dibBits <= 8) {
            if (spp == 1) unpackIndices(src, dst, dibBits);
        } else if (bps == 8 || bps == 16) {
            unpackColour(src, dst);
        }
    }

private:
    // Single samples of 2, 3, 5, 6 or 7 bits, widened into 4- or 8-bit indices.
    void unpackIndices(const std::uint8_t* src, std::uint8_t* dst, int dibBits) const {
        const std::uint32_t bps = h_.bitsPerSample;
        for (std::uint32_t x = 0; x < h_.width; ++x) {
            std::uint32_t v = 0;
            const std::uint64_t bit = std::uint64_t(x) * bps;
            for (std::uint32_t k = 0; k < bps; ++k) v = (v << 1) | ((src[(bit + k) >> 3] >> (7 - ((bit + k) & 7))) & 1);
            if (dibBits == 8) dst[x] = std::uint8_t(v);
            else dst[x >> 1] |= std::uint8_t((x & 1) ? v : v << 4);
        }
    }
    // 8- or 16-bit samples into blue, green, red: grey (with or without alpha), RGB (extra
    // samples dropped) or CMYK (PhotometricInterpretation 5 only).
    void unpackColour(const std::uint8_t* src, std::uint8_t* dst) const {
        const std::uint32_t spp = h_.samples;
        const int step = h_.bitsPerSample == 16 ? 2 : 1;
        const int high = (step == 2 && !big_) ? 1 : 0;
        const bool cmyk = h_.photometric == 5 && spp >= 4;
        if (step == 1 && spp == 3) {  // the common case, kept tight
            for (std::uint32_t x = 0; x < h_.width; ++x, src += 3, dst += 3) {
                dst[0] = src[2];
                dst[1] = src[1];
                dst[2] = src[0];
            }
            return;
        }
        for (std::uint32_t x = 0; x < h_.width; ++x, dst += 3) {
            const std::uint8_t* px = src + std::uint64_t(x) * spp * step + high;
            auto sample = [&](int i) { return int(px[i * step]); };
            if (cmyk) {
                const int k = 255 - sample(3);
                dst[2] = std::uint8_t(k * (255 - sample(0)) / 255);
                dst[1] = std::uint8_t(k * (255 - sample(1)) / 255);
                dst[0] = std::uint8_t(k * (255 - sample(2)) / 255);
            } else if (spp >= 3) {
                dst[2] = std::uint8_t(sample(0));
                dst[1] = std::uint8_t(sample(1));
                dst[0] = std::uint8_t(sample(2));
            } else {
                dst[0] = dst[1] = dst[2] = std::uint8_t(sample(0));
            }
        }
    }

    const TiffHead& h_;
    bool big_;
};

// Undoes horizontal differencing on a whole interleaved row (8- or 16-bit samples).
void undoPredictor(std::uint8_t* row, const TiffHead& h, bool big) {
    const std::size_t spp = h.samples;
    if (h.bitsPerSample == 8) {
        for (std::size_t i = spp; i < h.bytesPerRow; ++i) row[i] = std::uint8_t(row[i] + row[i - spp]);
    } else if (h.bitsPerSample == 16) {
        const std::size_t words = h.bytesPerRow / 2;
        auto get = [&](std::size_t i) { return big ? (row[2 * i] << 8 | row[2 * i + 1]) : (row[2 * i] | row[2 * i + 1] << 8); };
        for (std::size_t i = spp; i < words; ++i) {
            const auto v = std::uint16_t(get(i) + get(i - spp));
            row[2 * i + (big ? 0 : 1)] = std::uint8_t(v >> 8);
            row[2 * i + (big ? 1 : 0)] = std::uint8_t(v);
        }
    }
}

// Horizontal differencing undone and RGB turned into blue, green, red in one pass.
void unpackPredictedRgb(const std::uint8_t* src, std::uint8_t* dst, std::uint32_t width) {
    std::uint8_t r = 0, g = 0, b = 0;
    for (std::uint32_t x = 0; x < width; ++x, src += 3, dst += 3) {
        r = std::uint8_t(r + src[0]);
        g = std::uint8_t(g + src[1]);
        b = std::uint8_t(b + src[2]);
        dst[0] = b;
        dst[1] = g;
        dst[2] = r;
    }
}

class PageDecoder {
public:
    PageDecoder(TifIo& io, const TiffHead& h, bool big) : io_(io), h_(h), big_(big), unpacker_(h, big) {}

    std::uint32_t decode(std::uint8_t* dibBits, std::uint64_t dibRow, int dibBitCount, const Progress& progress) {
        const std::uint32_t planes = h_.planes;
        const std::uint64_t planeRow = planes == 1 ? h_.bytesPerRow : (std::uint64_t(h_.width) * h_.bitsPerSample + 7) / 8;
        if (planes > 1 && h_.bitsPerSample != 8 && h_.bitsPerSample != 16) return kErrBitsPerSample;
        std::vector<std::uint8_t> row(h_.bytesPerRow), planeBuf(planes > 1 ? planeRow : 0);
        for (std::uint32_t p = 0; p < planes; ++p) {
            sources_.emplace_back(io_, h_.fillOrder == 2);
            decoders_.push_back(makeRowDecoder(h_));
        }
        const std::uint32_t step = std::max<std::uint32_t>(1, h_.height / 50);
        const bool predicted = h_.predictor == 2 && (h_.compression == 5 || h_.compression == 32773);
        for (std::uint32_t y = 0; y < h_.height; ++y) {
            if (y % h_.rowsPerStrip == 0) startStrip(y / h_.rowsPerStrip);
            for (std::uint32_t p = 0; p < planes; ++p) {
                std::uint8_t* target = planes == 1 ? row.data() : planeBuf.data();
                if (!decoders_[p]->decodeRow(sources_[p], target, planeRow)) return kErrRead;
                if (planes > 1) interleave(planeBuf.data(), row.data(), p);
            }
            std::uint8_t* dibRowAt = dibBits + std::uint64_t(h_.height - 1 - y) * dibRow;
            if (predicted && h_.bitsPerSample == 8 && h_.samples == 3 && h_.photometric == 2) {
                unpackPredictedRgb(row.data(), dibRowAt, h_.width);  // the common case in one pass
            } else {
                if (predicted) undoPredictor(row.data(), h_, big_);
                if (h_.photometric == 0)
                    for (std::uint8_t& b : row) b = std::uint8_t(~b);
                unpacker_.unpack(row.data(), dibRowAt, dibBitCount);
            }
            if ((y + 1) % step == 0 && !progress.report(int(std::uint64_t(y + 1) * 100 / h_.height))) return kErrCancelled;
        }
        return progress.report(100) ? 0 : kErrCancelled;
    }

private:
    void startStrip(std::uint32_t strip) {
        for (std::uint32_t p = 0; p < h_.planes; ++p) {
            sources_[p].start(h_.stripOffsets[std::size_t(p) * h_.strips + strip]);
            decoders_[p]->startStrip();
        }
    }
    void interleave(const std::uint8_t* plane, std::uint8_t* row, std::uint32_t p) const {
        const std::uint32_t size = h_.bitsPerSample / 8, stride = size * h_.samples;
        for (std::uint32_t x = 0; x < h_.width; ++x) std::memcpy(row + std::uint64_t(x) * stride + p * size, plane + std::uint64_t(x) * size, size);
    }

    TifIo& io_;
    const TiffHead& h_;
    bool big_;
    RowUnpacker unpacker_;
    std::vector<StripSource> sources_;
    std::vector<std::unique_ptr<RowDecoder>> decoders_;
};

std::int32_t pelsPerMeter(std::uint32_t num, std::uint32_t den, std::uint32_t unit) {
    const double v = unit == 2 ? double(num) * 39.37 / den : double(num) * 100.0 / den;
    return std::int32_t(std::min(v, 2147483647.0));
}

}  // namespace

DecodeResult decodePage(TifIo& io, int page, const Progress& progress) {
    OpenPage open = openPage(io, page);
    if (open.error) return {nullptr, open.error};
    const TiffHead& h = open.head;
    const std::uint32_t p = h.bitsPerPixel();
    const int bits = dibBitsFor(p);
    // The guard counts 32 bits for pages of more than 24 bits per pixel, whose pixels pass
    // through four bytes before they become three.
    if ((std::uint64_t(h.height) + 2) * lqp::dibRowSize(h.width, p > 24 ? 32 : bits) > kMaxPixelBytes)
        return {nullptr, kErrMemory};
    lqp::DibHeader dh;
    dh.width = std::int32_t(h.width);
    dh.height = std::int32_t(h.height);
    dh.bitCount = std::uint16_t(bits);
    dh.clrUsed = bits <= 8 ? 1u << bits : 0;
    dh.sizeImage = std::uint32_t(lqp::dibRowSize(dh) * h.height);
    dh.xPelsPerMeter = pelsPerMeter(h.xResNum, h.xResDen, h.resolutionUnit);
    dh.yPelsPerMeter = pelsPerMeter(h.yResNum, h.yResDen, h.resolutionUnit);
    lqp::MemOwner block(lqMemAlloc(std::size_t(lqp::dibTotalSize(dh) + 1)));
    if (!block) return {nullptr, kErrMemory};
    {
        lqp::MemLock lock(block.get());
        lqp::writeDibHeader(lock.data(), dh);
        RowUnpacker(h, open.file->order().big).writeTable(lock.data() + lqp::kDibHeaderSize, bits);
        PageDecoder decoder(io, h, open.file->order().big);
        if (std::uint32_t err = decoder.decode(lock.data() + lqp::dibPixelOffset(dh), lqp::dibRowSize(dh), bits, progress))
            return {nullptr, err};
    }
    return {block.release(), 0};
}

InfoResult readPageInfo(TifIo& io, int page) {
    OpenPage open = openPage(io, page);
    InfoResult r;
    r.info.pages = open.pages;
    if (open.error) {
        r.error = open.error;
        return r;
    }
    r.info.width = open.head.width;
    r.info.height = open.head.height;
    r.info.compression = open.head.compression;
    r.info.bitsPerPixel = open.head.bitsPerPixel();
    return r;
}

}  // namespace vellum
