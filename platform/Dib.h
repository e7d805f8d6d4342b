// The packed DIB: the one raster interchange format between the program and the format
// libraries. A packed DIB is a 40-byte info header, a colour table of 4-byte entries
// (blue, green, red, reserved), then the pixel rows bottom-up, each padded to 4 bytes.
// Every reader of a DIB that came from outside validates it with lqp::validateDib first.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Export.h"
#include "platform/MemBlock.h"

namespace lqp {

constexpr std::uint32_t kDibHeaderSize = 40;
constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiRle8 = 1;
constexpr std::uint32_t kBiRle4 = 2;
constexpr std::uint32_t kBiBitfields = 3;

// The 40-byte info header, field by field. Stored little-endian whatever the host.
struct DibHeader {
    std::uint32_t size = kDibHeaderSize;
    std::int32_t width = 0;
    std::int32_t height = 0;          // positive: rows stored bottom-up
    std::uint16_t planes = 1;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = kBiRgb;
    std::uint32_t sizeImage = 0;
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;
    std::uint32_t clrUsed = 0;
    std::uint32_t clrImportant = 0;

    bool operator==(const DibHeader&) const = default;
};

// Reads / writes the 40 header bytes at p (p must hold at least 40 bytes).
LQP_API DibHeader readDibHeader(const std::uint8_t* p);
LQP_API void writeDibHeader(std::uint8_t* p, const DibHeader& h);

// Entries in the colour table: clrUsed when set, else 2^bits for 1, 4 and 8 bits, else 0.
LQP_API std::uint32_t dibColorCount(const DibHeader& h);
// Bytes of the colour table (4 per entry; 12 mask bytes for 16/32-bit bitfields DIBs).
LQP_API std::uint64_t dibColorTableSize(const DibHeader& h);
// Bytes of one pixel row, padded to a multiple of 4.
LQP_API std::uint64_t dibRowSize(std::int64_t width, int bitCount);
LQP_API std::uint64_t dibRowSize(const DibHeader& h);
// Offset of the first pixel row from the start of the packed DIB.
LQP_API std::uint64_t dibPixelOffset(const DibHeader& h);
// Header, colour table and pixels together.
LQP_API std::uint64_t dibTotalSize(const DibHeader& h);

enum class DibCheck {
    Ok,
    TooSmall,            // fewer bytes than a header
    BadHeaderSize,       // biSize below 40 or past the block
    BadPlanes,
    BadBitCount,         // not 1, 4, 8, 16, 24 or 32
    BadCompression,      // only uncompressed (and bitfields for 16/32 bits) is interchanged
    BadDimensions,       // width or height not positive
    BadColorCount,       // more colours than the depth can index, or more than 256
    Truncated,           // the block ends before the last pixel row
};

// Checks a packed DIB of `available` bytes. All arithmetic is 64-bit, so no header can make
// the check overflow. On Ok, *out (when given) holds the header.
LQP_API DibCheck validateDib(const std::uint8_t* p, std::size_t available, DibHeader* out = nullptr);
LQP_API const char* dibCheckText(DibCheck c);

// A new zero-filled block holding a packed DIB with the given geometry and a colour table of
// dibColorCount entries (grey ramp for 1, 4 and 8 bits). Null when out of memory or when the
// geometry is invalid.
LQP_API HLQMEM createDib(std::int32_t width, std::int32_t height, int bitCount);

// Little-endian field access used by every binary reader and writer.
inline std::uint16_t getLe16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }
inline std::uint32_t getLe32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}
inline void putLe16(std::uint8_t* p, std::uint16_t v) { p[0] = std::uint8_t(v); p[1] = std::uint8_t(v >> 8); }
inline void putLe32(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v); p[1] = std::uint8_t(v >> 8); p[2] = std::uint8_t(v >> 16); p[3] = std::uint8_t(v >> 24);
}

}  // namespace lqp
