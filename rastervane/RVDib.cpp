#include "rastervane/RVDib.h"

#include <algorithm>
#include <cstring>

#include "rastervane/RVCodec.h"
#include "rastervane/RVError.h"

namespace rv {

namespace {

std::atomic<std::uint64_t> gImageLimit{kRVMaxPixels};


}  // namespace

void RVSetImageLimit(std::uint64_t pixels) { gImageLimit = std::min(pixels, kRVMaxPixels); }
std::uint64_t RVImageLimit() { return gImageLimit; }

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
    if (h == handle_) {
        // The attached block again, changed in place (and perhaps moved): take the new address
        // and header, and drop the caller's extra lock.
        lqMemUnlock(h);
        if (check != lqp::DibCheck::Ok) {
            release();
            RVSetLastError(kRVErrBadDib, lqp::dibCheckText(check));
            return false;
        }
        dib_ = dib;
        info_ = info;
        palette_.clear();
        paletteBuilt_ = false;
        return true;
    }
    if (check != lqp::DibCheck::Ok) {
        lqMemUnlock(h);
        lqMemFree(h);
        RVSetLastError(kRVErrBadDib, lqp::dibCheckText(check));
        return false;
    }
    release();
    handle_ = h;
    dib_ = dib;
    info_ = info;
    return true;
}

std::uint8_t* RVTDib::Row(int y) const {
    if (!dib_ || y < 0 || y >= info_.height) return nullptr;
    return PixelData() + std::size_t(info_.height - 1 - y) * RowSize();
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

int RVTDib::PixelAt(int x, int y, std::uint8_t bgr[3]) const {
    if (!dib_ || x < 0 || y < 0 || x >= info_.width || y >= info_.height) return -1;
    const std::uint8_t* row = Row(y);
    const int bits = info_.bitCount;
    if (bits <= 8) {
        const int perByte = 8 / bits;
        const int index = (row[x / perByte] >> (8 - bits * (x % perByte + 1))) & ((1 << bits) - 1);
        const std::uint8_t* entry = dib_ + info_.size + 4 * index;
        if (std::uint32_t(index) < ColorCount()) std::memcpy(bgr, entry, 3);
        else bgr[0] = bgr[1] = bgr[2] = 0;
        return index;
    }
    if (bits == 24) {
        std::memcpy(bgr, row + 3 * x, 3);
        return 0;
    }
    // 16 and 32 bits: plain 5-5-5 / 8-8-8, or the bit-field masks behind the header.
    const bool fields = info_.compression == lqp::kBiBitfields;
    const std::uint32_t v = bits == 16 ? lqp::getLe16(row + 2 * x) : lqp::getLe32(row + 4 * x);
    const std::uint32_t red = fields ? lqp::getLe32(dib_ + 40) : bits == 16 ? 0x7C00 : 0xFF0000;
    const std::uint32_t green = fields ? lqp::getLe32(dib_ + 44) : bits == 16 ? 0x03E0 : 0xFF00;
    const std::uint32_t blue = fields ? lqp::getLe32(dib_ + 48) : bits == 16 ? 0x001F : 0xFF;
    bgr[0] = MaskedComponent(v, blue);
    bgr[1] = MaskedComponent(v, green);
    bgr[2] = MaskedComponent(v, red);
    return 0;
}

void RVTDib::SetResolution(std::int32_t xPelsPerMeter, std::int32_t yPelsPerMeter) {
    if (!dib_) return;
    info_.xPelsPerMeter = xPelsPerMeter;
    info_.yPelsPerMeter = yPelsPerMeter;
    lqp::writeDibHeader(dib_, info_);
}

QImage RVTDib::View() const {
    if (!dib_) return {};
    QImage::Format format = QImage::Format_Invalid;
    const bool plain = info_.compression == lqp::kBiRgb;
    switch (info_.bitCount) {
    case 1: format = QImage::Format_Mono; break;
    case 8: format = QImage::Format_Indexed8; break;
    case 16: format = plain ? QImage::Format_RGB555 : QImage::Format_Invalid; break;
    case 24: format = QImage::Format_BGR888; break;
    case 32: format = plain ? QImage::Format_RGB32 : QImage::Format_Invalid; break;
    }
    if (format == QImage::Format_Invalid) return {};
    QImage view(PixelData(), info_.width, info_.height, qsizetype(RowSize()), format);
    if (info_.bitCount <= 8) {
        QList<QRgb> table = Palette();
        table.resize(qsizetype(1) << info_.bitCount, qRgb(0, 0, 0));  // every index drawable
        view.setColorTable(table);
    }
    return view;
}

QImage RVTDib::ToQImage(int top, int rows) const {
    InputDib in;
    if (!dib_ || top < 0 || rows <= 0 || top + rows > info_.height || !in.open(handle_)) return {};
    QImage out(info_.width, rows, QImage::Format_BGR888);
    if (out.isNull()) return {};
    for (int i = 0; i < rows; ++i) in.rowToBgr(top + i, out.scanLine(i));
    return out;
}

HLQMEM RVTDib::CreateDib(std::int32_t width, std::int32_t height, int bits, const QList<QRgb>* palette) {
    if (width <= 0 || height <= 0 || (bits != 1 && bits != 4 && bits != 8 && bits != 24)) {
        RVSetLastError(kRVErrBadArgument, "Invalid image size or depth");
        return nullptr;
    }
    if (std::uint64_t(width) * std::uint64_t(height) > RVImageLimit()) {
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
