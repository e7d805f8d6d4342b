#include "tests/rastervane/RVTestUtil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/Dib.h"
#include "tests/support/TestSupport.h"

namespace rvtest {

void PrintTo(const Rgb& image, std::ostream* os) {
    *os << image.width << "x" << image.height << " [";
    for (std::size_t i = 0; i < image.pixels.size() && i < 48 * 3; i += 3)
        *os << (i ? " " : "") << int(image.pixels[i]) << "," << int(image.pixels[i + 1]) << "," << int(image.pixels[i + 2]);
    *os << (image.pixels.size() > 48 * 3 ? " ...]" : "]");
}

Rgb pattern(int width, int height) {
    Rgb img{width, height, std::vector<std::uint8_t>(std::size_t(width) * height * 3)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = &img.pixels[(std::size_t(y) * width + x) * 3];
            p[0] = std::uint8_t(x * 255 / (width > 1 ? width - 1 : 1));
            p[1] = std::uint8_t(y * 255 / (height > 1 ? height - 1 : 1));
            p[2] = std::uint8_t(((x / 4 + y / 4) % 2) ? 200 : 40);
            if (x == y) p[0] = p[1] = p[2] = 255;
        }
    return img;
}

namespace {

std::vector<std::uint8_t> paletteFor(int bits) {
    std::vector<std::uint8_t> rgb;
    if (bits == 1) {
        rgb = {0, 0, 0, 255, 255, 255};
    } else if (bits == 4) {
        const std::uint8_t v[] = {0, 128, 255};
        for (int i = 0; i < 16; ++i) {
            rgb.push_back(v[i % 3]);
            rgb.push_back(v[(i / 3) % 3]);
            rgb.push_back(i < 9 ? 0 : 255);
        }
    } else {
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 7; ++g)
                for (int b = 0; b < 6; ++b) {
                    rgb.push_back(std::uint8_t(r * 51));
                    rgb.push_back(std::uint8_t(g * 255 / 6));
                    rgb.push_back(std::uint8_t(b * 51));
                }
        rgb.resize(256 * 3, 0);
    }
    return rgb;
}

int nearest(const std::vector<std::uint8_t>& pal, const std::uint8_t* p) {
    int best = 0, bestD = 1 << 30;
    for (std::size_t i = 0; i < pal.size() / 3; ++i) {
        int d = 0;
        for (int c = 0; c < 3; ++c) d += (pal[i * 3 + c] - p[c]) * (pal[i * 3 + c] - p[c]);
        if (d < bestD) bestD = d, best = int(i);
    }
    return best;
}

}  // namespace

HLQMEM makeDib(const Rgb& image, int bits, Rgb* shown) {
    HLQMEM h = lqp::createDib(image.width, image.height, bits);
    lqp::MemLock lock(h);
    lqp::DibHeader info = lqp::readDibHeader(lock.data());
    info.xPelsPerMeter = 3780;
    info.yPelsPerMeter = 2835;
    lqp::writeDibHeader(lock.data(), info);
    Rgb out = image;
    std::uint8_t* bitsPtr = lock.data() + lqp::dibPixelOffset(info);
    const std::size_t rowSize = std::size_t(lqp::dibRowSize(info));
    std::vector<std::uint8_t> pal;
    if (bits <= 8) {
        pal = paletteFor(bits);
        std::uint8_t* table = lock.data() + 40;
        for (std::size_t i = 0; i < pal.size() / 3; ++i) {
            table[i * 4] = pal[i * 3 + 2];
            table[i * 4 + 1] = pal[i * 3 + 1];
            table[i * 4 + 2] = pal[i * 3];
        }
    }
    for (int y = 0; y < image.height; ++y) {
        std::uint8_t* row = bitsPtr + std::size_t(image.height - 1 - y) * rowSize;
        for (int x = 0; x < image.width; ++x) {
            const std::uint8_t* p = &image.pixels[(std::size_t(y) * image.width + x) * 3];
            std::uint8_t* o = &out.pixels[(std::size_t(y) * image.width + x) * 3];
            if (bits == 24) {
                row[x * 3] = p[2], row[x * 3 + 1] = p[1], row[x * 3 + 2] = p[0];
                continue;
            }
            const int idx = nearest(pal, p);
            o[0] = pal[idx * 3], o[1] = pal[idx * 3 + 1], o[2] = pal[idx * 3 + 2];
            if (bits == 8) row[x] = std::uint8_t(idx);
            else if (bits == 4) row[x / 2] |= std::uint8_t(x % 2 ? idx : idx << 4);
            else if (idx) row[x / 8] |= std::uint8_t(0x80 >> (x % 8));
        }
    }
    if (shown) *shown = out;
    return h;
}

Rgb dibToRgb(HLQMEM dib) {
    lqp::MemLock lock(dib);
    lqp::DibHeader info;
    if (!lock || lqp::validateDib(lock.data(), lqMemSize(dib), &info) != lqp::DibCheck::Ok) return {};
    Rgb out{info.width, info.height, std::vector<std::uint8_t>(std::size_t(info.width) * info.height * 3)};
    const std::uint8_t* table = lock.data() + info.size;
    const std::uint8_t* bits = lock.data() + lqp::dibPixelOffset(info);
    const std::size_t rowSize = std::size_t(lqp::dibRowSize(info));
    for (int y = 0; y < info.height; ++y) {
        const std::uint8_t* row = bits + std::size_t(info.height - 1 - y) * rowSize;
        for (int x = 0; x < info.width; ++x) {
            std::uint8_t* o = &out.pixels[(std::size_t(y) * info.width + x) * 3];
            int idx = -1;
            switch (info.bitCount) {
            case 24: o[0] = row[x * 3 + 2], o[1] = row[x * 3 + 1], o[2] = row[x * 3]; break;
            case 32: o[0] = row[x * 4 + 2], o[1] = row[x * 4 + 1], o[2] = row[x * 4]; break;
            case 8: idx = row[x]; break;
            case 4: idx = (row[x / 2] >> (x % 2 ? 0 : 4)) & 15; break;
            case 1: idx = (row[x / 8] >> (7 - x % 8)) & 1; break;
            default: ADD_FAILURE() << "dibToRgb: depth " << info.bitCount; return {};
            }
            if (idx >= 0) o[0] = table[idx * 4 + 2], o[1] = table[idx * 4 + 1], o[2] = table[idx * 4];
        }
    }
    return out;
}

void writePpm(const std::string& path, const Rgb& image) {
    std::ofstream f(path, std::ios::binary);
    f << "P6\n" << image.width << " " << image.height << "\n255\n";
    f.write(reinterpret_cast<const char*>(image.pixels.data()), std::streamsize(image.pixels.size()));
}

Rgb readPpm(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::string magic;
    Rgb img;
    int maxValue = 0;
    f >> magic >> img.width >> img.height >> maxValue;
    f.get();
    if (!f || (magic != "P6" && magic != "P5") || maxValue != 255) return {};
    const std::size_t n = std::size_t(img.width) * img.height;
    std::vector<std::uint8_t> raw(magic == "P6" ? n * 3 : n);
    f.read(reinterpret_cast<char*>(raw.data()), std::streamsize(raw.size()));
    if (magic == "P6") {
        img.pixels = raw;
    } else {
        for (std::uint8_t v : raw) img.pixels.insert(img.pixels.end(), {v, v, v});
    }
    return img;
}

Rgb pillowDecode(const std::string& path, std::string* error) {
    lqtest::TempDir dir;
    const std::string out = dir.file("decoded.ppm");
    // Test paths come from TempDir and hold no quotes.
    const auto r = lqtest::runPython("from PIL import Image\nImage.open('" + path + "').convert('RGB').save('" + out + "')");
    if (r.exitCode != 0) {
        if (error) *error = r.output;
        return {};
    }
    return readPpm(out);
}

std::vector<Rgb> pillowDecodeAll(const std::vector<std::string>& paths, bool overWhite) {
    lqtest::TempDir dir;
    std::string program = "from PIL import Image\nfiles = [";
    for (std::size_t i = 0; i < paths.size(); ++i) program += "('" + paths[i] + "', '" + dir.file(std::to_string(i) + ".ppm") + "'),";
    program += "]\nfor src, dst in files:\n"
               "    try:\n"
               "        im = Image.open(src)\n";
    if (overWhite)
        program += "        im = im.convert('RGBA')\n"
                   "        im = Image.alpha_composite(Image.new('RGBA', im.size, (255, 255, 255, 255)), im)\n";
    program += "        im.convert('RGB').save(dst)\n"
               "    except Exception as e:\n"
               "        print(src, e)\n";
    const auto r = lqtest::runPython(program);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    std::vector<Rgb> out;
    for (std::size_t i = 0; i < paths.size(); ++i) out.push_back(readPpm(dir.file(std::to_string(i) + ".ppm")));
    return out;
}

void python(const std::string& program) {
    const auto r = lqtest::runPython("from PIL import Image\n" + program);
    ASSERT_EQ(r.exitCode, 0) << r.output;
}

int maxDifference(const Rgb& a, const Rgb& b) {
    if (a.width != b.width || a.height != b.height || a.pixels.size() != b.pixels.size()) return -1;
    int m = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i) m = std::max(m, std::abs(int(a.pixels[i]) - int(b.pixels[i])));
    return m;
}

}  // namespace rvtest
