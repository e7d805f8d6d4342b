#include "tests/effects/EffectsTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/Dib.h"
#include "tests/support/TestSupport.h"

namespace fxtest {

Image uniform(int width, int height, std::uint32_t fill) {
    Image im;
    im.width = width;
    im.height = height;
    im.pixels.assign(std::size_t(width) * std::size_t(height), fill);
    return im;
}

Image noise(int width, int height, unsigned seed) {
    std::mt19937 rng(seed);
    Image im = uniform(width, height, 0);
    for (auto& p : im.pixels) p = rng() & 0xFFFFFFu;
    return im;
}

Image paletteNoise(int width, int height, int bits, unsigned seed) {
    std::mt19937 rng(seed);
    Image im = uniform(width, height, 0);
    im.bits = bits;
    im.palette.resize(std::size_t(1) << bits);
    for (auto& c : im.palette) c = rng() & 0xFFFFFFu;
    for (auto& p : im.pixels) p = rng() % im.palette.size();
    return im;
}

namespace {

std::uint32_t getPixel(const std::uint8_t* row, int x, int bits) {
    switch (bits) {
    case 1: return (row[x / 8] >> (7 - x % 8)) & 1;
    case 4: return x % 2 ? row[x / 2] & 15 : row[x / 2] >> 4;
    case 8: return row[x];
    default: return row[3 * x] | (row[3 * x + 1] << 8) | (row[3 * x + 2] << 16);
    }
}

void putPixel(std::uint8_t* row, int x, int bits, std::uint32_t v) {
    switch (bits) {
    case 1: row[x / 8] |= std::uint8_t((v & 1) << (7 - x % 8)); break;
    case 4: row[x / 2] |= std::uint8_t(x % 2 ? v & 15 : (v & 15) << 4); break;
    case 8: row[x] = std::uint8_t(v); break;
    default:
        row[3 * x] = std::uint8_t(v);
        row[3 * x + 1] = std::uint8_t(v >> 8);
        row[3 * x + 2] = std::uint8_t(v >> 16);
    }
}

}  // namespace

HLQMEM makeDib(const Image& image) {
    lqp::DibHeader h;
    h.width = image.width;
    h.height = image.height;
    h.bitCount = std::uint16_t(image.bits);
    h.xPelsPerMeter = image.ppmX;
    h.yPelsPerMeter = image.ppmY;
    if (image.bits <= 8) h.clrUsed = std::uint32_t(image.palette.size());
    h.sizeImage = std::uint32_t(lqp::dibRowSize(h) * std::uint64_t(image.height));
    HLQMEM mem = lqMemAlloc(std::size_t(lqp::dibTotalSize(h)));
    lqp::MemLock lock(mem);
    std::uint8_t* p = lock.data();
    lqp::writeDibHeader(p, h);
    for (std::size_t i = 0; i < image.palette.size(); ++i) lqp::putLe32(p + 40 + 4 * i, image.palette[i]);
    std::uint8_t* pixels = p + lqp::dibPixelOffset(h);
    const std::size_t stride = std::size_t(lqp::dibRowSize(h));
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            putPixel(pixels + std::size_t(image.height - 1 - y) * stride, x, image.bits, image.at(x, y));
    return mem;
}

Image readDib(HLQMEM dib) {
    Image im;
    lqp::MemLock lock(dib);
    lqp::DibHeader h;
    if (!lock || lqp::validateDib(lock.data(), lqMemSize(dib), &h) != lqp::DibCheck::Ok) {
        ADD_FAILURE() << "not a valid DIB block";
        return im;
    }
    im.width = h.width;
    im.height = h.height;
    im.bits = h.bitCount;
    im.ppmX = h.xPelsPerMeter;
    im.ppmY = h.yPelsPerMeter;
    for (std::uint32_t i = 0; i < lqp::dibColorCount(h); ++i) im.palette.push_back(lqp::getLe32(lock.data() + h.size + 4 * i));
    const std::uint8_t* pixels = lock.data() + lqp::dibPixelOffset(h);
    const std::size_t stride = std::size_t(lqp::dibRowSize(h));
    for (int y = 0; y < h.height; ++y)
        for (int x = 0; x < h.width; ++x) im.pixels.push_back(getPixel(pixels + std::size_t(h.height - 1 - y) * stride, x, h.bitCount));
    return im;
}

Image toColors(const Image& image) {
    if (image.bits == 24) return image;
    Image out = image;
    out.bits = 24;
    out.palette.clear();
    for (auto& p : out.pixels) p = p < image.palette.size() ? image.palette[p] & 0xFFFFFFu : 0;
    return out;
}

std::vector<std::uint8_t> blockBytes(HLQMEM block) {
    lqp::MemLock lock(block);
    if (!lock) return {};
    return {lock.data(), lock.data() + lqMemSize(block)};
}

void writeBmp(HLQMEM dib, const std::string& path) {
    const std::vector<std::uint8_t> packed = blockBytes(dib);
    lqp::DibHeader h = lqp::readDibHeader(packed.data());
    std::vector<std::uint8_t> file(14);
    file[0] = 'B';
    file[1] = 'M';
    lqp::putLe32(&file[2], std::uint32_t(14 + packed.size()));
    lqp::putLe32(&file[10], std::uint32_t(14 + lqp::dibPixelOffset(h)));
    file.insert(file.end(), packed.begin(), packed.end());
    lqtest::writeFile(path, file);
}

Image readPpm(const std::string& path) {
    const std::vector<std::uint8_t> bytes = lqtest::readFile(path);
    std::string head(bytes.begin(), bytes.begin() + std::min<std::size_t>(bytes.size(), 64));
    std::istringstream in(head);
    std::string magic;
    int w = 0, h = 0, maxval = 0;
    in >> magic >> w >> h >> maxval;
    Image im = uniform(w, h, 0);
    const std::size_t start = std::size_t(in.tellg()) + 1;
    if (magic != "P6" || maxval != 255 || bytes.size() < start + 3 * im.pixels.size()) {
        ADD_FAILURE() << "unexpected PPM from " << path;
        return {};
    }
    for (std::size_t i = 0; i < im.pixels.size(); ++i)
        im.pixels[i] = bgr(bytes[start + 3 * i], bytes[start + 3 * i + 1], bytes[start + 3 * i + 2]);
    return im;
}

Image magick(const Image& input, const std::string& options) {
    lqtest::TempDir dir;
    lqp::MemOwner dib(makeDib(input));
    writeBmp(dib.get(), dir.file("in.bmp"));
    const std::string command = "convert " + lqtest::shellQuote(dir.file("in.bmp")) + " " + options + " -depth 8 " +
                                lqtest::shellQuote("ppm:" + dir.file("out.ppm"));
    const lqtest::CommandResult r = lqtest::run(command);
    if (r.exitCode != 0) {
        ADD_FAILURE() << command << " failed: " << r.output;
        return {};
    }
    Image out = readPpm(dir.file("out.ppm"));
    out.ppmX = input.ppmX;
    out.ppmY = input.ppmY;
    return out;
}

}  // namespace fxtest
