#include "rastervane/RVDib.h"

#include <cstring>

#include "rastervane/RVError.h"

namespace rv {

RVTDib::~RVTDib() { release(); }

void RVTDib::release() {
    if (handle_) {
        lqMemUnlock(handle_);
        lqMemFree(handle_);
    }
    handle_ = nullptr;
    dib_ = nullptr;
    info_ = {};
    palette_.clear();
    paletteBuilt_ = false;
}

bool RVTDib::AttachDib(std::uint8_t* dib) {
    if (!dib) {
        release();
        return true;
    }
    HLQMEM h = lqMemHandleOf(dib);
    if (!h) {
        RVSetLastError(kRVErrBadDib, "The DIB is not held in a memory block");
        return false;
    }
    lqp::DibHeader info;
    const lqp::DibCheck check = lqp::validateDib(dib, lqMemSize(h), &info);
    if (check != lqp::DibCheck::Ok) {
        lqMemUnlock(h);
        lqMemFree(h);
        RVSetLastError(kRVErrBadDib, lqp::dibCheckText(check));
        return false;
    }
    if (h == handle_) {
        lqMemUnlock(h);  // already attached and locked once: drop the caller's extra lock
        return true;
    }
    release();
    handle_ = h;
    dib_ = dib;
    info_ = info;
    return true;
}

std::uint8_t* RVTDib::Row(int y) const {
    if (!dib_ || y < 0 || y >= info_.height) return nullptr;
    return Bits() + std::size_t(info_.height - 1 - y) * RowSize();
}

const QList<QRgb>& RVTDib::Palette() const {
    if (!paletteBuilt_ && dib_) {
        const std::uint8_t* table = dib_ + info_.size;
        const std::uint32_t n = info_.bitCount <= 8 ? ColorCount() : 0;
        palette_.resize(qsizetype(n));
        for (std::uint32_t i = 0; i < n; ++i)
            palette_[qsizetype(i)] = qRgb(table[i * 4 + 2], table[i * 4 + 1], table[i * 4]);
        paletteBuilt_ = true;
    }
    return palette_;
}

HLQMEM RVTDib::CreateDib(std::int32_t width, std::int32_t height, int bits, const QList<QRgb>* palette) {
    if (width <= 0 || height <= 0 || (bits != 1 && bits != 4 && bits != 8 && bits != 24)) {
        RVSetLastError(kRVErrBadArgument, "Invalid image size or depth");
        return nullptr;
    }
    if (std::uint64_t(width) * std::uint64_t(height) > kRVMaxPixels) {
        RVSetLastError(kRVErrTooLarge, "Image is too large");
        return nullptr;
    }
    HLQMEM h = lqp::createDib(width, height, bits);
    if (!h) {
        RVSetLastError(kRVErrNoMemory, "Can't allocate memory");
        return nullptr;
    }
    lqp::MemLock lock(h);
    lqp::DibHeader info = lqp::readDibHeader(lock.data());
    info.xPelsPerMeter = info.yPelsPerMeter = kRVDefaultPelsPerMeter;
    lqp::writeDibHeader(lock.data(), info);
    if (palette) {
        std::uint8_t* table = lock.data() + lqp::kDibHeaderSize;
        const std::uint32_t n = lqp::dibColorCount(info);
        for (std::uint32_t i = 0; i < n; ++i) {
            const QRgb c = i < std::uint32_t(palette->size()) ? palette->at(qsizetype(i)) : qRgb(0, 0, 0);
            table[i * 4] = std::uint8_t(qBlue(c));
            table[i * 4 + 1] = std::uint8_t(qGreen(c));
            table[i * 4 + 2] = std::uint8_t(qRed(c));
            table[i * 4 + 3] = 0;
        }
    }
    return h;
}

bool RVCheckDib(HLQMEM dib, lqp::DibHeader* info) {
    lqp::MemLock lock(dib);
    if (!lock) {
        RVSetLastError(kRVErrBadDib, "Invalid DIB handle");
        return false;
    }
    const lqp::DibCheck check = lqp::validateDib(lock.data(), lqMemSize(dib), info);
    if (check != lqp::DibCheck::Ok) {
        RVSetLastError(kRVErrBadDib, lqp::dibCheckText(check));
        return false;
    }
    return true;
}

HLQMEM RVTDib::DuplicateDib(HLQMEM dib) {
    lqp::DibHeader info;
    if (!RVCheckDib(dib, &info)) return nullptr;
    const std::size_t size = std::size_t(lqp::dibTotalSize(info));
    HLQMEM copy = lqMemAlloc(size);
    if (!copy) {
        RVSetLastError(kRVErrNoMemory, "Can't allocate memory");
        return nullptr;
    }
    lqp::MemLock from(dib), to(copy);
    std::memcpy(to.data(), from.data(), size);
    return copy;
}

HLQMEM RVTDib::DdbtoDib(const QImage& image) {
    if (image.isNull()) {
        RVSetLastError(kRVErrBadArgument, "The bitmap is empty");
        return nullptr;
    }
    const QImage bgr = image.convertToFormat(QImage::Format_BGR888);
    HLQMEM h = CreateDib(bgr.width(), bgr.height(), 24);
    if (!h) return nullptr;
    lqp::MemLock lock(h);
    lqp::DibHeader info = lqp::readDibHeader(lock.data());
    info.xPelsPerMeter = bgr.dotsPerMeterX();
    info.yPelsPerMeter = bgr.dotsPerMeterY();
    lqp::writeDibHeader(lock.data(), info);
    const std::size_t rowSize = std::size_t(lqp::dibRowSize(info));
    std::uint8_t* bits = lock.data() + lqp::dibPixelOffset(info);
    for (int y = 0; y < bgr.height(); ++y)
        std::memcpy(bits + std::size_t(bgr.height() - 1 - y) * rowSize, bgr.constScanLine(y), std::size_t(bgr.width()) * 3);
    return h;
}

}  // namespace rv
