#include "tifflib/ColorDib.h"

namespace lqcolor {

namespace {
const std::uint8_t kBlack[4] = {0, 0, 0, 0};
}

DibIn::DibIn(HLQMEM h) : handle_(h) {
    if (!h) return;
    base_ = static_cast<std::uint8_t*>(lqMemLock(h));
    if (!base_) return;
    lqp::DibHeader hdr;
    if (lqp::validateDib(base_, lqMemSize(h), &hdr) != lqp::DibCheck::Ok) return;
    if (hdr.compression != lqp::kBiRgb || hdr.size != lqp::kDibHeaderSize) return;
    if (hdr.bitCount != 1 && hdr.bitCount != 4 && hdr.bitCount != 8 && hdr.bitCount != 24) return;
    h_ = hdr;
    colors_ = lqp::dibColorCount(hdr);
    table_ = base_ + hdr.size;
    bits_ = base_ + lqp::dibPixelOffset(hdr);
    rowSize_ = lqp::dibRowSize(hdr);
}

DibIn::~DibIn() {
    if (base_) lqMemUnlock(handle_);
}

const std::uint8_t* DibIn::entry(std::uint32_t i) const { return i < colors_ ? table_ + 4 * i : kBlack; }

DibOut::DibOut(int width, int height, int bits, std::uint32_t tableEntries) {
    h_.width = width;
    h_.height = height;
    h_.bitCount = std::uint16_t(bits);
    h_.clrUsed = tableEntries;
    rowSize_ = lqp::dibRowSize(width, bits);
    const std::uint64_t total = lqp::kDibHeaderSize + 4ull * tableEntries + rowSize_ * std::uint64_t(height);
    if (width <= 0 || height <= 0 || total > kLqMemMaxBlock) return;
    h_.sizeImage = std::uint32_t(rowSize_ * std::uint64_t(height));
    block_.reset(lqMemAlloc(std::size_t(total)));
    if (!block_) return;
    lock_.emplace(block_.get());
    if (lock_->data()) bits_ = lock_->data() + lqp::kDibHeaderSize + 4ull * tableEntries;
}

void DibOut::setEntry(std::uint32_t i, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    std::uint8_t* e = table() + 4 * i;
    e[0] = b;
    e[1] = g;
    e[2] = r;
    e[3] = 0;
}

void DibOut::copyResolution(const lqp::DibHeader& from) {
    h_.xPelsPerMeter = from.xPelsPerMeter;
    h_.yPelsPerMeter = from.yPelsPerMeter;
}

HLQMEM DibOut::release() {
    if (!ok()) return nullptr;
    lqp::writeDibHeader(lock_->data(), h_);
    return block_.release();
}

}  // namespace lqcolor
