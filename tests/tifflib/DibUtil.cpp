#include "tests/tifflib/DibUtil.h"

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

}  // namespace lqtest
