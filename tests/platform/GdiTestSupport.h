// Helpers for the tests of the drawing layer: packed DIBs in a vector, a memory context with a
// bitmap selected, and a check that a test leaves no drawing objects behind.
#pragma once

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <vector>

#include "platform/Dib.h"
#include "platform/Gdi.h"

namespace lqtest {

class PackedDib {
public:
    PackedDib(int width, int height, int bits) {
        h_.width = width;
        h_.height = height;
        h_.bitCount = std::uint16_t(bits);
        h_.sizeImage = std::uint32_t(lqp::dibRowSize(h_) * std::uint64_t(height));
        bytes_.assign(std::size_t(lqp::dibTotalSize(h_)), 0);
        lqp::writeDibHeader(bytes_.data(), h_);
    }

    // A copy of a packed DIB; throws when it is not a valid one.
    static PackedDib fromPacked(std::vector<std::uint8_t> bytes) {
        PackedDib d(1, 1, 24);
        if (lqp::validateDib(bytes.data(), bytes.size(), &d.h_) != lqp::DibCheck::Ok) throw std::runtime_error("bad DIB");
        d.bytes_ = std::move(bytes);
        return d;
    }

    static PackedDib fromBmpFile(const std::vector<std::uint8_t>& file) {
        if (file.size() < 54) throw std::runtime_error("not a BMP file");
        return fromPacked({file.begin() + 14, file.end()});
    }

    std::vector<std::uint8_t> bmpFile() const {
        std::vector<std::uint8_t> f(14, 0);
        f[0] = 'B';
        f[1] = 'M';
        lqp::putLe32(&f[2], std::uint32_t(14 + bytes_.size()));
        lqp::putLe32(&f[10], std::uint32_t(14 + lqp::dibPixelOffset(h_)));
        f.insert(f.end(), bytes_.begin(), bytes_.end());
        return f;
    }

    std::uint8_t* data() { return bytes_.data(); }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    std::size_t size() const { return bytes_.size(); }
    const lqp::DibHeader& header() const { return h_; }

    void randomize(std::mt19937& rng) {
        for (std::size_t i = lqp::kDibHeaderSize; i < bytes_.size(); ++i) bytes_[i] = std::uint8_t(rng());
    }

    void setTable(const std::vector<lqp::ColorRef>& colors) {
        for (std::size_t i = 0; i < colors.size(); ++i) {
            std::uint8_t* e = bytes_.data() + h_.size + 4 * i;
            e[0] = lqp::blueOf(colors[i]);
            e[1] = lqp::greenOf(colors[i]);
            e[2] = lqp::redOf(colors[i]);
            e[3] = 0;
        }
    }

    lqp::ColorRef tableEntry(int i) const {
        const std::uint8_t* e = bytes_.data() + h_.size + 4 * i;
        return lqp::rgb(e[2], e[1], e[0]);
    }

    // Pixel index of a palette DIB, y counted from the top of the picture.
    int index(int x, int y) const {
        const std::uint8_t* r = row(y);
        switch (h_.bitCount) {
        case 1: return (r[x >> 3] >> (7 - (x & 7))) & 1;
        case 4: return (r[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
        default: return r[x];
        }
    }

    lqp::ColorRef color(int x, int y) const {
        if (h_.bitCount <= 8) return tableEntry(index(x, y));
        const std::uint8_t* p = row(y) + x * (h_.bitCount / 8);
        return lqp::rgb(p[2], p[1], p[0]);
    }

    void setColor(int x, int y, lqp::ColorRef c) {
        std::uint8_t* p = const_cast<std::uint8_t*>(row(y)) + x * (h_.bitCount / 8);
        p[0] = lqp::blueOf(c);
        p[1] = lqp::greenOf(c);
        p[2] = lqp::redOf(c);
    }

private:
    const std::uint8_t* row(int y) const {
        return bytes_.data() + lqp::dibPixelOffset(h_) + lqp::dibRowSize(h_) * std::uint64_t(h_.height - 1 - y);
    }

    lqp::DibHeader h_;
    std::vector<std::uint8_t> bytes_;
};

// A memory context with a new bitmap selected; both are released at the end of the scope.
struct MemoryBitmap {
    MemoryBitmap(int width, int height, int bits)
        : dc(lqCreateCompatibleDC(nullptr)), bitmap(lqCreateBitmap(width, height, bits)) {
        previous = lqSelectBitmap(dc, bitmap);
        EXPECT_NE(previous, nullptr);
    }
    ~MemoryBitmap() {
        lqSelectBitmap(dc, previous);
        lqDeleteBitmap(bitmap);
        lqDeleteDC(dc);
    }
    MemoryBitmap(const MemoryBitmap&) = delete;
    MemoryBitmap& operator=(const MemoryBitmap&) = delete;

    HLQDC dc;
    HLQBITMAP bitmap;
    HLQBITMAP previous = nullptr;
};

// Fails the test when it leaves more drawing objects alive than it found.
class GdiLeakCheck {
public:
    GdiLeakCheck() : before_(lqGdiLiveObjects()) {}
    ~GdiLeakCheck() { EXPECT_EQ(lqGdiLiveObjects(), before_) << "drawing objects leaked"; }
private:
    std::size_t before_;
};

}  // namespace lqtest
