#include "platform/Dib.h"

#include <cstring>

namespace lqp {

DibHeader readDibHeader(const std::uint8_t* p) {
    DibHeader h;
    h.size = getLe32(p);
    h.width = std::int32_t(getLe32(p + 4));
    h.height = std::int32_t(getLe32(p + 8));
    h.planes = getLe16(p + 12);
    h.bitCount = getLe16(p + 14);
    h.compression = getLe32(p + 16);
    h.sizeImage = getLe32(p + 20);
    h.xPelsPerMeter = std::int32_t(getLe32(p + 24));
    h.yPelsPerMeter = std::int32_t(getLe32(p + 28));
    h.clrUsed = getLe32(p + 32);
    h.clrImportant = getLe32(p + 36);
    return h;
}

void writeDibHeader(std::uint8_t* p, const DibHeader& h) {
    putLe32(p, h.size);
    putLe32(p + 4, std::uint32_t(h.width));
    putLe32(p + 8, std::uint32_t(h.height));
    putLe16(p + 12, h.planes);
    putLe16(p + 14, h.bitCount);
    putLe32(p + 16, h.compression);
    putLe32(p + 20, h.sizeImage);
    putLe32(p + 24, std::uint32_t(h.xPelsPerMeter));
    putLe32(p + 28, std::uint32_t(h.yPelsPerMeter));
    putLe32(p + 32, h.clrUsed);
    putLe32(p + 36, h.clrImportant);
}

std::uint32_t dibColorCount(const DibHeader& h) {
    if (h.clrUsed != 0) return h.clrUsed;
    if (h.bitCount >= 1 && h.bitCount <= 8) return 1u << h.bitCount;
    return 0;
}

std::uint64_t dibColorTableSize(const DibHeader& h) {
    std::uint64_t n = std::uint64_t(dibColorCount(h)) * 4;
    if (h.compression == kBiBitfields && h.size == kDibHeaderSize) n += 12;
    return n;
}

std::uint64_t dibRowSize(std::int64_t width, int bitCount) {
    if (width <= 0 || bitCount <= 0) return 0;
    return ((std::uint64_t(width) * std::uint64_t(bitCount) + 31) / 32) * 4;
}

std::uint64_t dibRowSize(const DibHeader& h) { return dibRowSize(h.width, h.bitCount); }

std::uint64_t dibPixelOffset(const DibHeader& h) { return std::uint64_t(h.size) + dibColorTableSize(h); }

std::uint64_t dibTotalSize(const DibHeader& h) {
    const std::int64_t rows = h.height < 0 ? -std::int64_t(h.height) : h.height;
    return dibPixelOffset(h) + dibRowSize(h) * std::uint64_t(rows);
}

DibCheck validateDib(const std::uint8_t* p, std::size_t available, DibHeader* out) {
    if (!p || available < kDibHeaderSize) return DibCheck::TooSmall;
    const DibHeader h = readDibHeader(p);
    if (h.size < kDibHeaderSize || h.size > available) return DibCheck::BadHeaderSize;
    if (h.planes != 1) return DibCheck::BadPlanes;
    switch (h.bitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return DibCheck::BadBitCount;
    }
    const bool bitfields = h.compression == kBiBitfields && (h.bitCount == 16 || h.bitCount == 32);
    if (h.compression != kBiRgb && !bitfields) return DibCheck::BadCompression;
    if (h.width <= 0 || h.height <= 0) return DibCheck::BadDimensions;
    if (h.clrUsed > 256 || (h.bitCount <= 8 && h.clrUsed > (1u << h.bitCount))) return DibCheck::BadColorCount;
    if (dibTotalSize(h) > available) return DibCheck::Truncated;
    if (out) *out = h;
    return DibCheck::Ok;
}

const char* dibCheckText(DibCheck c) {
    switch (c) {
    case DibCheck::Ok: return "ok";
    case DibCheck::TooSmall: return "DIB shorter than its header";
    case DibCheck::BadHeaderSize: return "invalid DIB header size";
    case DibCheck::BadPlanes: return "DIB plane count is not 1";
    case DibCheck::BadBitCount: return "unsupported DIB bit depth";
    case DibCheck::BadCompression: return "compressed DIBs are not supported";
    case DibCheck::BadDimensions: return "DIB width or height is not positive";
    case DibCheck::BadColorCount: return "DIB colour count does not fit its depth";
    case DibCheck::Truncated: return "DIB pixel data is truncated";
    }
    return "invalid DIB";
}

HLQMEM createDib(std::int32_t width, std::int32_t height, int bitCount) {
    if (width <= 0 || height <= 0) return nullptr;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        return nullptr;
    DibHeader h;
    h.width = width;
    h.height = height;
    h.bitCount = std::uint16_t(bitCount);
    h.sizeImage = 0;
    const std::uint64_t total = dibTotalSize(h);
    if (total > kLqMemMaxBlock) return nullptr;
    h.sizeImage = std::uint32_t(dibRowSize(h) * std::uint64_t(height));
    HLQMEM mem = lqMemAlloc(std::size_t(total));
    if (!mem) return nullptr;
    MemLock lock(mem);
    writeDibHeader(lock.data(), h);
    const std::uint32_t colors = dibColorCount(h);
    std::uint8_t* table = lock.data() + kDibHeaderSize;
    for (std::uint32_t i = 0; i < colors; ++i) {
        const std::uint8_t v = std::uint8_t(colors > 1 ? i * 255 / (colors - 1) : 0);
        table[i * 4] = table[i * 4 + 1] = table[i * 4 + 2] = v;
    }
    return mem;
}

}  // namespace lqp
