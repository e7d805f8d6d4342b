#include "tifflib/TifDirectory.h"

#include <algorithm>
#include <unordered_set>

#include "tifflib/TifErrors.h"

namespace vellum {

namespace {

constexpr std::uint16_t kTypeByte = 1, kTypeShort = 3, kTypeLong = 4, kTypeRational = 5;

// Entry values of the fields the reader keeps never need more elements than this.
constexpr std::uint32_t kMaxArray = 1u << 24;

std::uint64_t ceilDiv(std::uint64_t a, std::uint64_t b) { return (a + b - 1) / b; }

}  // namespace

std::uint32_t typeSize(std::uint16_t type) {
    switch (type) {
    case 1: case 2: case 6: case 7: return 1;
    case 3: case 8: return 2;
    case 4: case 9: case 11: return 4;
    case 5: case 10: case 12: return 8;
    default: return 0;
    }
}

std::optional<TifFile> TifFile::open(TifIo& io) {
    std::uint8_t header[8];
    if (!io.readExact(0, header, 8)) return std::nullopt;
    TifFile f(io);
    if (header[0] == 'I' && header[1] == 'I') f.order_.big = false;
    else if (header[0] == 'M' && header[1] == 'M') f.order_.big = true;
    else return std::nullopt;
    std::unordered_set<std::uint64_t> seen;
    std::uint64_t next = f.order_.u32(header + 4);
    while (next != 0 && seen.insert(next).second) {
        std::uint8_t countBytes[2];
        if (!io.readExact(next, countBytes, 2)) break;
        const std::uint64_t linkAt = next + 2 + 12ull * f.order_.u16(countBytes);
        std::uint8_t link[4];
        if (!io.readExact(linkAt, link, 4)) break;
        f.ifds_.push_back(next);
        next = f.order_.u32(link);
    }
    return f;
}

std::vector<IfdEntry> TifFile::entries(std::uint64_t ifd) const {
    std::uint8_t countBytes[2];
    if (!io_->readExact(ifd, countBytes, 2)) return {};
    const std::uint16_t n = order_.u16(countBytes);
    std::vector<std::uint8_t> raw(12u * n);
    if (!io_->readExact(ifd + 2, raw.data(), raw.size())) return {};
    std::vector<IfdEntry> out(n);
    for (std::uint16_t i = 0; i < n; ++i) {
        const std::uint8_t* p = raw.data() + 12u * i;
        out[i].tag = order_.u16(p);
        out[i].type = order_.u16(p + 2);
        out[i].count = order_.u32(p + 4);
        std::copy_n(p + 8, 4, out[i].raw);
        out[i].position = ifd + 2 + 12u * i;
    }
    return out;
}

std::uint64_t TifFile::nextFieldOf(std::uint64_t ifd) const {
    std::uint8_t countBytes[2] = {0, 0};
    io_->readExact(ifd, countBytes, 2);
    return ifd + 2 + 12ull * order_.u16(countBytes);
}

bool TifFile::isPage(std::uint64_t ifd) const {
    const std::vector<IfdEntry> e = entries(ifd);
    return e.empty() || e[0].tag != 254 || (firstValue(e[0]) & 1) == 0;
}

std::vector<std::uint64_t> TifFile::pages() const {
    std::vector<std::uint64_t> out;
    for (std::uint64_t ifd : ifds_)
        if (isPage(ifd)) out.push_back(ifd);
    return out;
}

std::uint32_t TifFile::firstValue(const IfdEntry& e) const {
    switch (e.type) {
    case kTypeByte: return e.raw[0];
    case kTypeShort: return order_.u16(e.raw);
    default: return order_.u32(e.raw);
    }
}

std::optional<std::vector<std::uint32_t>> TifFile::values(const IfdEntry& e, std::uint32_t maxCount) const {
    const std::uint32_t size = typeSize(e.type);
    if (size == 0 || e.count > maxCount) return std::nullopt;
    const std::uint64_t bytes = std::uint64_t(size) * e.count;
    if (bytes > 4 && bytes > io_->size()) return std::nullopt;  // checked before anything is allocated
    std::vector<std::uint8_t> data(bytes);
    if (bytes <= 4) std::copy_n(e.raw, bytes, data.begin());
    else if (!io_->readExact(order_.u32(e.raw), data.data(), data.size())) return std::nullopt;
    std::vector<std::uint32_t> out;
    out.reserve(e.type == kTypeRational ? 2ull * e.count : e.count);
    for (std::uint32_t i = 0; i < e.count; ++i) {
        const std::uint8_t* p = data.data() + std::uint64_t(size) * i;
        switch (e.type) {
        case kTypeShort: out.push_back(order_.u16(p)); break;
        case kTypeLong: out.push_back(order_.u32(p)); break;
        case kTypeRational: out.push_back(order_.u32(p)); out.push_back(order_.u32(p + 4)); break;
        case kTypeByte: out.push_back(*p); break;
        default: return std::nullopt;
        }
    }
    return out;
}

namespace {

class HeadParser {
public:
    HeadParser(const TifFile& f, TiffHead& h) : f_(f), h_(h) {}

    std::uint32_t field(const IfdEntry& e) {
        switch (e.tag) {
        case 256: h_.width = f_.firstValue(e); break;
        case 257: h_.height = f_.firstValue(e); break;
        case 258: return bitsPerSample(e);
        case 259: h_.compression = f_.firstValue(e); break;
        case 262: h_.photometric = f_.firstValue(e); break;
        case 266: h_.fillOrder = f_.firstValue(e); break;
        case 273: return array(e, h_.stripOffsets);
        case 277: h_.samples = f_.firstValue(e); break;
        case 278: h_.rowsPerStrip = f_.firstValue(e); break;
        case 279: return array(e, byteCounts_);
        case 282: return rational(e, h_.xResNum, h_.xResDen);
        case 283: return rational(e, h_.yResNum, h_.yResDen);
        case 284: h_.planar = f_.firstValue(e); break;
        case 292: h_.t4Options = f_.firstValue(e); break;
        case 293: h_.t6Options = f_.firstValue(e); break;
        case 296: h_.resolutionUnit = f_.firstValue(e); break;
        case 317: h_.predictor = f_.firstValue(e); break;
        case 320: return array(e, h_.colorMap);
        default: break;
        }
        return 0;
    }

    std::uint32_t check() {
        if (h_.compression != 1 && h_.compression != 2 && h_.compression != 3 && h_.compression != 4 &&
            h_.compression != 5 && h_.compression != 32773)
            return kErrCompression;
        if (h_.photometric >= 6) return kErrPhotometric;
        if (h_.bitsPerSample < 2) h_.planar = 1;
        if (h_.planar != 1 && h_.planar != 2) return kErrPhotometric;
        if (h_.predictor != 1 && h_.predictor != 2) return kErrPredictor;
        if (h_.width == 0 || h_.height == 0) return kErrRead;
        if (h_.bitsPerSample == 0 || h_.bitsPerSample > 16 || h_.samples == 0 || h_.samples > 16) return kErrBitsPerSample;
        const bool fax = h_.compression >= 2 && h_.compression <= 4;
        if (fax && h_.bitsPerPixel() != 1) return kErrBitsPerSample;
        if (h_.planar == 2 && h_.photometric != 2) return kErrPhotometric;
        return layoutStrips();
    }

private:
    std::uint32_t bitsPerSample(const IfdEntry& e) {
        auto v = f_.values(e, 64);
        if (!v || v->empty()) return kErrRead;
        if (v->size() >= 3 && ((*v)[0] != (*v)[1] || (*v)[0] != (*v)[2])) return kErrBitsPerSample;
        h_.bitsPerSample = (*v)[0];
        return 0;
    }
    std::uint32_t array(const IfdEntry& e, std::vector<std::uint32_t>& out) {
        auto v = f_.values(e, kMaxArray);
        if (!v) return kErrRead;
        out = std::move(*v);
        return 0;
    }
    std::uint32_t rational(const IfdEntry& e, std::uint32_t& num, std::uint32_t& den) {
        auto v = f_.values(e, 1);
        if (!v || v->size() != 2) return 0;  // a malformed resolution keeps the default
        num = (*v)[0];
        den = (*v)[1] ? (*v)[1] : 1;
        return 0;
    }
    std::uint32_t layoutStrips() {
        if (h_.rowsPerStrip == 0 || h_.rowsPerStrip > h_.height) h_.rowsPerStrip = h_.height;
        if (h_.stripOffsets.empty()) return kErrRead;
        if (!byteCounts_.empty() && byteCounts_.size() != h_.stripOffsets.size()) return kErrRead;
        h_.planes = h_.planar == 2 ? h_.samples : 1;
        if (h_.stripOffsets.size() == h_.planes && h_.rowsPerStrip < h_.height) h_.height = h_.rowsPerStrip;
        h_.strips = std::uint32_t(ceilDiv(h_.height, h_.rowsPerStrip));
        if (h_.stripOffsets.size() < std::uint64_t(h_.strips) * h_.planes) return kErrRead;
        h_.bytesPerRow = ceilDiv(std::uint64_t(h_.width) * h_.bitsPerPixel(), 8);
        if (h_.colorMap.size() < 3ull << std::min<std::uint32_t>(h_.bitsPerSample, 16)) h_.colorMap.clear();
        return 0;
    }

    const TifFile& f_;
    TiffHead& h_;
    std::vector<std::uint32_t> byteCounts_;
};

}  // namespace

ParsedHead parseHead(const TifFile& file, std::uint64_t ifd) {
    const std::vector<IfdEntry> entries = file.entries(ifd);
    if (entries.empty()) return {std::nullopt, kErrRead};
    TiffHead head;
    HeadParser parser(file, head);
    for (const IfdEntry& e : entries)
        if (std::uint32_t err = parser.field(e)) return {std::nullopt, err};
    if (std::uint32_t err = parser.check()) return {std::nullopt, err};
    return {std::move(head), 0};
}

}  // namespace vellum
