// TIFF structure: the file header, the chain of image file directories (IFDs), page numbering
// and the directory fields the reader keeps.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "tifflib/TifIo.h"

namespace vellum {

// Byte order of a file ("II" little-endian, "MM" big-endian).
struct ByteOrder {
    bool big = false;
    std::uint16_t u16(const std::uint8_t* p) const {
        return big ? std::uint16_t(p[0] << 8 | p[1]) : std::uint16_t(p[0] | p[1] << 8);
    }
    std::uint32_t u32(const std::uint8_t* p) const {
        return big ? std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3]
                   : std::uint32_t(p[3]) << 24 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
    }
    void put16(std::uint8_t* p, std::uint16_t v) const {
        if (big) { p[0] = std::uint8_t(v >> 8); p[1] = std::uint8_t(v); }
        else { p[0] = std::uint8_t(v); p[1] = std::uint8_t(v >> 8); }
    }
    void put32(std::uint8_t* p, std::uint32_t v) const {
        for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (big ? 24 - 8 * i : 8 * i));
    }
};

// One 12-byte directory entry as stored (value field still raw).
struct IfdEntry {
    std::uint16_t tag = 0;
    std::uint16_t type = 0;
    std::uint32_t count = 0;
    std::uint8_t raw[4] = {0, 0, 0, 0};
    std::uint64_t position = 0;  // file offset of the entry
};

// Bytes per element of a field type (0 for an unknown type).
std::uint32_t typeSize(std::uint16_t type);

class TifFile {
public:
    // Reads the header; empty when the mark is not "II"/"MM" or the header cannot be read.
    static std::optional<TifFile> open(TifIo& io);

    ByteOrder order() const { return order_; }
    TifIo& io() const { return *io_; }

    // Offsets of every IFD in chain order. The walk stops at offset 0, at an IFD that cannot be
    // read, or when an offset comes round again (a cycle).
    const std::vector<std::uint64_t>& ifds() const { return ifds_; }
    // Whether the IFD is a page (not a reduced-resolution or deleted image: its first entry is
    // NewSubfileType with bit 0 set).
    bool isPage(std::uint64_t ifd) const;
    // IFD offsets of the pages, in order.
    std::vector<std::uint64_t> pages() const;
    // Entries of an IFD; empty when it cannot be read.
    std::vector<IfdEntry> entries(std::uint64_t ifd) const;
    // The values of an entry as 32-bit numbers (BYTE, SHORT, LONG; RATIONAL as numerator and
    // denominator pairs), inline or from its offset. Empty when they lie outside the data or
    // the count exceeds `maxCount`.
    std::optional<std::vector<std::uint32_t>> values(const IfdEntry& e, std::uint32_t maxCount) const;
    // File offset of the IFD's next-IFD field.
    std::uint64_t nextFieldOf(std::uint64_t ifd) const;
    // The first value of a SHORT or LONG entry.
    std::uint32_t firstValue(const IfdEntry& e) const;

private:
    explicit TifFile(TifIo& io) : io_(&io) {}
    TifIo* io_;
    ByteOrder order_;
    std::vector<std::uint64_t> ifds_;
};

// Directory fields of one page, with the values used when a tag is absent.
struct TiffHead {
    std::uint32_t width = 100;
    std::uint32_t height = 100;
    std::uint32_t bitsPerSample = 1;
    std::uint32_t compression = 1;
    std::uint32_t photometric = 0;
    std::uint32_t fillOrder = 1;
    std::uint32_t samples = 1;
    std::uint32_t rowsPerStrip = 0xFFFFFFFFu;
    std::uint32_t planar = 1;
    std::uint32_t t4Options = 0;
    std::uint32_t t6Options = 0;
    std::uint32_t resolutionUnit = 2;
    std::uint32_t predictor = 1;
    std::uint32_t xResNum = 300, xResDen = 1, yResNum = 300, yResDen = 1;
    std::vector<std::uint32_t> stripOffsets;
    std::vector<std::uint32_t> colorMap;

    // Derived after parsing.
    std::uint32_t strips = 1;          // strips per plane
    std::uint32_t planes = 1;          // 1, or the samples for PlanarConfiguration 2
    std::uint64_t bytesPerRow = 0;     // of the whole (interleaved) row
    std::uint32_t bitsPerPixel() const { return bitsPerSample * samples; }
};

// Parses and checks the directory of the IFD at `ifd`. On failure answers the reason code.
struct ParsedHead {
    std::optional<TiffHead> head;
    std::uint32_t error = 0;
};
ParsedHead parseHead(const TifFile& file, std::uint64_t ifd);

}  // namespace vellum
