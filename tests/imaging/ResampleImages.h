// Images for the resampling tests: top-down 24-bit pixels without row padding, and their
// conversion to and from packed DIBs in memory blocks.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "platform/MemBlock.h"

namespace lqtest {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bgr;   // top-down rows, 3 bytes per pixel, no padding

    Image() = default;
    Image(int w, int h) : width(w), height(h), bgr(std::size_t(w) * std::size_t(h) * 3) {}
    std::size_t offset(int x, int y) const { return (std::size_t(y) * std::size_t(width) + std::size_t(x)) * 3; }
    std::uint8_t& at(int x, int y, int c) { return bgr[offset(x, y) + std::size_t(c)]; }
    std::uint8_t at(int x, int y, int c) const { return bgr[offset(x, y) + std::size_t(c)]; }
    Image crop(int left, int top, int w, int h) const;
    bool operator==(const Image&) const = default;
};

// Noise blended with smooth gradients and hard edges, so that every filter overshoots somewhere.
Image randomImage(int width, int height, std::mt19937& rng);

// A new 24-bit packed DIB block holding the image (the caller frees it).
HLQMEM dibFromImage(const Image& image);
// The pixels of a 24-bit packed DIB block.
Image imageFromDib(HLQMEM dib);

// Largest difference of any channel between two images of the same size.
int maxChannelDifference(const Image& a, const Image& b);

}  // namespace lqtest
