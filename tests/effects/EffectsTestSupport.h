// Small images for the effect tests: built from pixel lists, read back from DIB blocks, and
// exchanged with ImageMagick as BMP and PPM files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/MemBlock.h"

namespace fxtest {

// Pixels in picture order (top row first). A pixel is a palette index for 1, 4 and 8 bits,
// else blue | green << 8 | red << 16; palette entries are packed the same way.
struct Image {
    int width = 0;
    int height = 0;
    int bits = 24;
    std::vector<std::uint32_t> pixels;
    std::vector<std::uint32_t> palette;
    std::int32_t ppmX = 2953;
    std::int32_t ppmY = 2953;

    std::uint32_t at(int x, int y) const { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
    bool operator==(const Image&) const = default;
};

constexpr std::uint32_t bgr(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return b | (std::uint32_t(g) << 8) | (std::uint32_t(r) << 16);
}
constexpr std::uint8_t blue(std::uint32_t v) { return std::uint8_t(v); }
constexpr std::uint8_t green(std::uint32_t v) { return std::uint8_t(v >> 8); }
constexpr std::uint8_t red(std::uint32_t v) { return std::uint8_t(v >> 16); }

// An image whose every pixel is `fill`.
Image uniform(int width, int height, std::uint32_t fill);
// 24-bit image of pseudo-random colours (the same for the same seed).
Image noise(int width, int height, unsigned seed);
// A palette image of the given depth with pseudo-random indices and palette.
Image paletteNoise(int width, int height, int bits, unsigned seed);

// A new DIB block holding the image (the caller frees it).
HLQMEM makeDib(const Image& image);
// The image held in a DIB block; fails the current test for a block that is not a DIB.
Image readDib(HLQMEM dib);
// The 24-bit colours of any image (palette images through their palette).
Image toColors(const Image& image);

// The block's bytes, to show that a failed operation left it as it was.
std::vector<std::uint8_t> blockBytes(HLQMEM block);

// BMP file of a DIB block, for peers to read.
void writeBmp(HLQMEM dib, const std::string& path);
// Reads a binary PPM (P6) as a 24-bit image.
Image readPpm(const std::string& path);
// Runs ImageMagick's convert on a BMP of `input` with the given options and reads the result
// back as 24 bits; fails the current test when convert fails.
Image magick(const Image& input, const std::string& options);

}  // namespace fxtest
