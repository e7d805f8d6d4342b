#include "tests/imaging/ResampleImages.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/Dib.h"

namespace lqtest {

Image Image::crop(int left, int top, int w, int h) const {
    Image out(w, h);
    for (int y = 0; y < h; ++y)
        std::memcpy(&out.at(0, y, 0), bgr.data() + offset(left, top + y), std::size_t(w) * 3);
    return out;
}

Image randomImage(int width, int height, std::mt19937& rng) {
    Image img(width, height);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> kind(0, 2);
    const int edge = std::max(1, width / 3);
    for (int y = 0; y < height; ++y) {
        const int rowKind = kind(rng);
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < 3; ++c) {
                int v = byte(rng);
                if (rowKind == 1) v = (x * 255 / std::max(1, width - 1) + y * 7 + c * 40) % 256;
                if (rowKind == 2) v = (x / edge) % 2 ? 255 : 0;
                img.at(x, y, c) = std::uint8_t(v);
            }
        }
    }
    return img;
}

HLQMEM dibFromImage(const Image& image) {
    HLQMEM dib = lqp::createDib(image.width, image.height, 24);
    lqp::MemLock lock(dib);
    const lqp::DibHeader h = lqp::readDibHeader(lock.data());
    std::uint8_t* bits = lock.data() + lqp::dibPixelOffset(h);
    const std::size_t stride = lqp::dibRowSize(h);
    for (int y = 0; y < image.height; ++y)
        std::memcpy(bits + std::size_t(image.height - 1 - y) * stride, image.bgr.data() + image.offset(0, y), std::size_t(image.width) * 3);
    return dib;
}

Image imageFromDib(HLQMEM dib) {
    lqp::MemLock lock(dib);
    const lqp::DibHeader h = lqp::readDibHeader(lock.data());
    Image image(h.width, h.height);
    const std::uint8_t* bits = lock.data() + lqp::dibPixelOffset(h);
    const std::size_t stride = lqp::dibRowSize(h);
    for (int y = 0; y < image.height; ++y)
        std::memcpy(&image.at(0, y, 0), bits + std::size_t(image.height - 1 - y) * stride, std::size_t(image.width) * 3);
    return image;
}

int maxChannelDifference(const Image& a, const Image& b) {
    int worst = 0;
    for (std::size_t i = 0; i < a.bgr.size(); ++i) worst = std::max(worst, std::abs(int(a.bgr[i]) - int(b.bgr[i])));
    return worst;
}

}  // namespace lqtest
