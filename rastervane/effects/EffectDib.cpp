#include "rastervane/effects/EffectDib.h"

#include <array>
#include <cstring>

namespace rv::fx {

std::nullptr_t fail(int code, std::string text) {
    RVSetLastError(code, std::move(text));
    return nullptr;
}

LockedDib::LockedDib(HLQMEM h) {
    base_ = h && lqMemIsValid(h) ? static_cast<std::uint8_t*>(lqMemLock(h)) : nullptr;
    if (!base_) {
        fail(kRVErrEmptyImage, "Input image is empty");
        return;
    }
    handle_ = h;
    lqp::DibHeader hdr;
    const lqp::DibCheck check = lqp::validateDib(base_, lqMemSize(h), &hdr);
    if (check != lqp::DibCheck::Ok) {
        fail(kRVErrBadDib, std::string("Input image is not a valid DIB: ") + lqp::dibCheckText(check));
        return;
    }
    const int bits = hdr.bitCount;
    if (hdr.compression != lqp::kBiRgb || (bits != 1 && bits != 4 && bits != 8 && bits != 24)) {
        fail(kRVErrUnsupported, "Unsupported image depth: " + std::to_string(bits) + " bits per pixel");
        return;
    }
    h_ = hdr;
    table_ = base_ + hdr.size;
    stride_ = std::size_t(lqp::dibRowSize(hdr));
    pixels_ = base_ + lqp::dibPixelOffset(hdr);
}

void LockedDib::setResolution(std::int32_t x, std::int32_t y) {
    h_.xPelsPerMeter = x;
    h_.yPelsPerMeter = y;
    lqp::writeDibHeader(base_, h_);
}

LockedDib::~LockedDib() {
    if (base_) lqMemUnlock(handle_);
}

ResultDib::ResultDib(const LockedDib& like, int width, int height, int bits, std::uint32_t colors) {
    if (width <= 0 || height <= 0) {
        fail(kRVErrBadArgument, "The new image size must be positive");
        return;
    }
    const bool sameTable = bits == like.bits() && bits <= 8;
    lqp::DibHeader h;
    h.width = width;
    h.height = height;
    h.bitCount = std::uint16_t(bits);
    h.xPelsPerMeter = like.header().xPelsPerMeter;
    h.yPelsPerMeter = like.header().yPelsPerMeter;
    if (bits <= 8) {
        h.clrUsed = sameTable ? like.header().clrUsed : colors;
        h.clrImportant = sameTable ? like.header().clrImportant : 0;
    }
    const std::uint64_t total = lqp::dibTotalSize(h);
    if (total > kLqMemMaxBlock) {
        fail(kRVErrTooLarge, "The resulting image is too large");
        return;
    }
    h.sizeImage = std::uint32_t(lqp::dibRowSize(h) * std::uint64_t(height));
    mem_.reset(lqMemAlloc(std::size_t(total)));
    if (!mem_) {
        fail(kRVErrNoMemory, "Can't allocate memory");
        return;
    }
    {
        lqp::MemLock lock(mem_.get());
        lqp::writeDibHeader(lock.data(), h);
        if (sameTable) std::memcpy(lock.data() + lqp::kDibHeaderSize, like.colorTable(), 4 * std::size_t(lqp::dibColorCount(h)));
    }
    dib_ = std::make_unique<LockedDib>(mem_.get());
}

HLQMEM ResultDib::release() {
    dib_.reset();
    return mem_.release();
}

ResultDib widenTo24(const LockedDib& src) {
    ResultDib out(src, src.width(), src.height(), 24);
    if (!out.valid()) return out;
    std::array<std::uint8_t, 256 * 3> palette{};  // entries past the table stay black
    const std::uint32_t colors = src.colorCount() < 256 ? src.colorCount() : 256;
    for (std::uint32_t i = 0; i < colors; ++i) std::memcpy(&palette[3 * i], src.colorTable() + 4 * i, 3);
    const LockedDib& dst = out.dib();
    for (int y = 0; y < src.height(); ++y) {
        const std::uint8_t* s = src.row(y);
        std::uint8_t* d = dst.row(y);
        for (int x = 0; x < src.width(); ++x, d += 3)
            std::memcpy(d, &palette[3 * pixelValue(s, x, src.bits())], 3);
    }
    return out;
}

ResultDib copyOf(const LockedDib& src) {
    ResultDib out(src, src.width(), src.height(), src.bits());
    if (out.valid()) std::memcpy(out.dib().row(0), src.row(0), src.stride() * std::size_t(src.height()));
    return out;
}

bool ProgressSteps::step(long long done) {
    if (total_ <= 0) return true;
    const int percent = int(done * 100 / total_);
    return percent <= last_ || percent >= 100 || report(percent);
}

bool ProgressSteps::report(int percent) {
    last_ = percent;
    if (!progress_ || progress_(percent)) return true;
    RVSetLastError(kRVErrCancelled, "Operation cancelled");
    return false;
}

}  // namespace rv::fx
