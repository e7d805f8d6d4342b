// RVTDib: the image pack's DIB holder. It owns one packed DIB (platform/Dib.h) in a movable
// memory block that stays locked while it is attached, answers the header, the colour table
// and the pixel bits, and builds a colour table for drawing on first use.
#pragma once

#include <QImage>
#include <QList>
#include <QRgb>
#include <atomic>
#include <cstdint>

#include "platform/Dib.h"
#include "platform/MemBlock.h"

namespace rv {

// New images get 2953 pixels per metre (75 dpi) in both directions.
constexpr std::int32_t kRVDefaultPelsPerMeter = 2953;
// The largest image the pack creates by default: 2^27 pixels (134 megapixels, 384 MiB at
// 24 bits).
constexpr std::uint64_t kRVMaxPixels = std::uint64_t(1) << 27;
// The pixel limit in force for the whole process (kRVMaxPixels unless lowered, for example by
// a fuzz target, or where memory is short); a larger value than kRVMaxPixels is not taken.
void RVSetImageLimit(std::uint64_t pixels);
std::uint64_t RVImageLimit();

class RVTDib {
public:
    RVTDib() = default;
    virtual ~RVTDib();
    RVTDib(const RVTDib&) = delete;
    RVTDib& operator=(const RVTDib&) = delete;

    // Takes over the block whose locked address is `dib` (the address lqMemLock answered);
    // the previous block is unlocked and freed and the colour table forgotten. Null detaches.
    // A block that does not hold a valid packed DIB is freed and refused (false, pack error
    // kRVErrBadDib); the previous pixels then stay. Attaching the attached block again (after
    // an operation changed it in place) takes its new address and header.
    virtual bool AttachDib(std::uint8_t* dib);

    bool HasPixels() const { return handle_ != nullptr; }
    HLQMEM Handle() const { return handle_; }
    // The header, colour table and pixel rows of the attached DIB (null without pixels).
    std::uint8_t* Header() const { return dib_; }
    const lqp::DibHeader& Info() const { return info_; }
    std::uint32_t ColorCount() const { return lqp::dibColorCount(info_); }
    std::uint8_t* PixelData() const { return dib_ ? dib_ + lqp::dibPixelOffset(info_) : nullptr; }
    std::size_t RowSize() const { return std::size_t(lqp::dibRowSize(info_)); }
    // Address of an image row counted from the top (rows are stored bottom-up).
    std::uint8_t* Row(int y) const;
    // The colour table as Qt colours, built on first use (empty for 16, 24 and 32 bits).
    const QList<QRgb>& Palette() const;
    // The colour at (x, y), y counted from the top, as blue, green, red; answers the colour
    // index for 1-, 4- and 8-bit DIBs, 0 for the others, -1 outside the image.
    int PixelAt(int x, int y, std::uint8_t bgr[3]) const;
    // Sets the resolution in the header.
    void SetResolution(std::int32_t xPelsPerMeter, std::int32_t yPelsPerMeter);

    // The pixel rows as a QImage that shares the DIB's memory (rows bottom-up, so row 0 of
    // the view is the bottom image row). Null for depths Qt has no format for (4 bits, bit
    // fields) and without pixels. Valid until the next attach.
    QImage View() const;
    // A copy of `rows` image rows from `top` (counted from the top) as a 24-bit QImage, for
    // any depth.
    QImage ToQImage(int top, int rows) const;

    // A new zero-filled DIB of 1, 4, 8 or 24 bits at 75 dpi. The colour table is copied from
    // `palette` (missing entries black); without one, 1-, 4- and 8-bit DIBs get a grey ramp.
    // Null with the pack's last error when the size is not positive or above RVImageLimit().
    static HLQMEM CreateDib(std::int32_t width, std::int32_t height, int bits, const QList<QRgb>* palette = nullptr);
    // A copy of a DIB block (null with the pack's last error when `dib` is not a valid DIB).
    static HLQMEM DuplicateDib(HLQMEM dib);
    // A device bitmap (QImage) as a 24-bit DIB with the image's resolution.
    static HLQMEM DdbtoDib(const QImage& image);

private:
    void release();

    HLQMEM handle_ = nullptr;
    std::uint8_t* dib_ = nullptr;
    lqp::DibHeader info_;
    mutable QList<QRgb> palette_;
    mutable bool paletteBuilt_ = false;
};

// Checks that a block holds a valid packed DIB; on failure records kRVErrBadDib and answers
// false. On success *info holds its header.
bool RVCheckDib(HLQMEM dib, lqp::DibHeader* info);

}  // namespace rv
