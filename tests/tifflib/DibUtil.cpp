#include "tests/tifflib/DibUtil.h"

#include <cstdlib>
#include <cstring>

namespace lqtest {

HLQMEM makeDib(int width, int height, int bits, const std::vector<std::uint32_t>& table,
               const std::function<std::uint32_t(int, int)>& pixel) {
    lqp::DibHeader h;
    h.width = width;
    h.height = height;
    h.bitCount = std::uint16_t(bits);
    h.clrUsed = std::uint32_t(table.size());
    const std::uint64_t row = lqp::dibRowSize(width, bits);
    h.sizeImage = std::uint32_t(row * std::uint64_t(height));
    HLQMEM mem = lqMemAlloc(std::size_t(lqp::dibTotalSize(h)));
    lqp::MemLock lock(mem);
    std::uint8_t* p = lock.data();
    lqp::writeDibHeader(p, h);
    for (std::size_t i = 0; i < table.size(); ++i) {
        p[40 + 4 * i] = std::uint8_t(table[i]);
        p[41 + 4 * i] = std::uint8_t(table[i] >> 8);
        p[42 + 4 * i] = std::uint8_t(table[i] >> 16);
    }
    std::uint8_t* bitsAt = p + lqp::dibPixelOffset(h);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* r = bitsAt + std::uint64_t(height - 1 - y) * row;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = pixel(x, y);
            switch (bits) {
            case 1: if (v & 1) r[x >> 3] |= std::uint8_t(0x80 >> (x & 7)); break;
            case 4: r[x >> 1] |= std::uint8_t((x & 1) ? (v & 15) : (v << 4)); break;
            case 8: r[x] = std::uint8_t(v); break;
            default: r[3 * x] = std::uint8_t(v); r[3 * x + 1] = std::uint8_t(v >> 8); r[3 * x + 2] = std::uint8_t(v >> 16);
            }
        }
    }
    return mem;
}

DibCopy::DibCopy(HLQMEM h) {
    lqp::MemLock lock(h);
    if (lock) data_.assign(lock.data(), lock.data() + lqMemSize(h));
    if (data_.size() >= 40) h_ = lqp::readDibHeader(data_.data());
}

DibCopy::DibCopy(std::vector<std::uint8_t> packed) : data_(std::move(packed)) {
    if (data_.size() >= 40) h_ = lqp::readDibHeader(data_.data());
}

std::uint32_t DibCopy::index(int x, int y) const {
    const std::uint8_t* r = data_.data() + lqp::dibPixelOffset(h_) + std::uint64_t(h_.height - 1 - y) * lqp::dibRowSize(h_);
    switch (h_.bitCount) {
    case 1: return (r[x >> 3] >> (7 - (x & 7))) & 1;
    case 4: return (x & 1) ? (r[x >> 1] & 15) : (r[x >> 1] >> 4);
    default: return r[x];
    }
}

Rgb DibCopy::entry(std::uint32_t i) const {
    const std::uint8_t* e = data_.data() + h_.size + 4 * i;
    return {e[2], e[1], e[0]};
}

Rgb DibCopy::color(int x, int y) const {
    if (h_.bitCount <= 8) return entry(index(x, y));
    const std::uint8_t* r = data_.data() + lqp::dibPixelOffset(h_) + std::uint64_t(h_.height - 1 - y) * lqp::dibRowSize(h_);
    return {r[3 * x + 2], r[3 * x + 1], r[3 * x]};
}

LockedStream::LockedStream(const std::vector<std::uint8_t>& bytes) {
    HLQMEM h = lqMemAlloc(bytes.size());
    address_ = lqMemLock(h);
    if (!bytes.empty()) std::memcpy(address_, bytes.data(), bytes.size());
    length_ = std::uint32_t(bytes.size());
}

LockedStream::~LockedStream() {
    if (HLQMEM h = address_ ? lqMemHandleOf(address_) : nullptr) {
        lqMemUnlock(h);
        lqMemFree(h);
    }
}

std::vector<std::uint8_t> LockedStream::bytes() const {
    const auto* p = static_cast<const std::uint8_t*>(address_);
    return p ? std::vector<std::uint8_t>(p, p + length_) : std::vector<std::uint8_t>{};
}

std::vector<std::vector<std::uint8_t>> pillowPages(const std::string& path) {
    const auto r = run("/usr/bin/python3 " + sourceDir() + "/tests/tifflib/pillow_pages.py " + shellQuote(path));
    std::vector<std::vector<std::uint8_t>> pages;
    if (r.exitCode != 0) return pages;
    const std::size_t count = std::strtoul(r.output.substr(path.size() + 1).c_str(), nullptr, 10);
    for (std::size_t i = 0; i < count; ++i) pages.push_back(readFile(path + "." + std::to_string(i) + ".rgb"));
    return pages;
}

int countDifferences(const DibCopy& dib, const std::vector<std::uint8_t>& rgb) {
    if (rgb.size() != std::size_t(dib.width()) * dib.height() * 3) return dib.width() * dib.height();
    int n = 0;
    for (int y = 0; y < dib.height(); ++y)
        for (int x = 0; x < dib.width(); ++x) {
            const std::uint8_t* p = &rgb[3 * (std::size_t(y) * dib.width() + x)];
            n += !(dib.color(x, y) == Rgb{p[0], p[1], p[2]});
        }
    return n;
}

}  // namespace lqtest
