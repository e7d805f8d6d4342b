#include <gtest/gtest.h>

#include <algorithm>

#include "platform/Dib.h"
#include "rastervane/RVBmp.h"
#include "tests/rastervane/RVTestUtil.h"
#include "tests/support/TestSupport.h"

namespace {

using rvtest::Rgb;
using Bytes = std::vector<std::uint8_t>;

// A BMP file: file header, 40-byte info header, colour table of `colors` entries
// (entry i = red i × 16, green 255 − i × 16, blue i × 8), then `pixels`.
Bytes bmpFile(int width, int height, int bits, int compression, int colors, const Bytes& pixels) {
    Bytes out(14 + 40 + 4 * std::size_t(colors));
    out[0] = 'B', out[1] = 'M';
    lqp::putLe32(&out[10], std::uint32_t(out.size()));
    lqp::DibHeader h;
    h.width = width;
    h.height = height;
    h.bitCount = std::uint16_t(bits);
    h.compression = std::uint32_t(compression);
    h.clrUsed = std::uint32_t(colors);
    lqp::writeDibHeader(&out[14], h);
    for (int i = 0; i < colors; ++i) {
        out[54 + 4 * i] = std::uint8_t(i * 8);
        out[55 + 4 * i] = std::uint8_t(255 - i * 16);
        out[56 + 4 * i] = std::uint8_t(i * 16);
    }
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

// Top-down image of palette indices through the table bmpFile writes.
Rgb indexImage(int width, const std::vector<int>& indices) {
    Rgb img{width, int(indices.size()) / width, {}};
    for (int i : indices) img.pixels.insert(img.pixels.end(), {std::uint8_t(i * 16), std::uint8_t(255 - i * 16), std::uint8_t(i * 8)});
    return img;
}

TEST(RVBmpPeer, FilesDecodeLikePillow) {
    lqtest::TempDir dir;
    const std::string src = dir.file("src.ppm");
    rvtest::writePpm(src, rvtest::pattern(37, 23));
    struct Case { const char* name; const char* make; };
    const Case cases[] = {
        {"p1.bmp", "im.convert('1').save(p)"},
        {"p8gray.bmp", "im.convert('L').save(p)"},
        {"p8pal.bmp", "im.quantize(100).save(p)"},
        {"p24.bmp", "im.save(p)"},
        {"p32.bmp", "a = im.copy(); a.putalpha(128); a.save(p)"},
        {"m4.bmp", "run(q16, '-type', 'palette', 'BMP3:' + p)"},
        {"m8rle.bmp", "run(q200, '-type', 'palette', '-compress', 'RLE', 'BMP3:' + p)"},
        {"m565.bmp", "run(src, '-define', 'bmp:subtype=RGB565', p)"},
        {"m555.bmp", "run(src, '-define', 'bmp:subtype=RGB555', p)"},
        {"mcore24.bmp", "run(src, 'BMP2:' + p)"},
        {"mcore8.bmp", "run(q200, '-type', 'palette', 'BMP2:' + p)"},
        {"mv5.bmp", "run(src, p)"},
    };
    std::string program = "import subprocess\nsrc = '" + src + "'\nrun = lambda source, *a: subprocess.check_call(['convert', source] + list(a))\n"
                          "base = Image.open(src)\nq16, q200 = src + '.16.png', src + '.200.png'\n"
                          "base.quantize(16).save(q16)\nbase.quantize(200).save(q200)\n";
    std::vector<std::string> paths;
    for (const Case& c : cases) {
        paths.push_back(dir.file(c.name));
        program += "im = Image.open(src)\np = '" + paths.back() + "'\n" + c.make + "\n";
    }
    rvtest::python(program);
    const std::vector<Rgb> expected = rvtest::pillowDecodeAll(paths);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        lqp::MemOwner dib(rv::rdbmpfiledib(paths[i]));
        ASSERT_TRUE(dib) << rv::RVLastErrorText();
        ASSERT_GT(expected[i].width, 0);
        EXPECT_EQ(rvtest::dibToRgb(dib.get()), expected[i]);
    }
}

TEST(RVBmp, TopDownRowsComeOutUpright) {
    lqtest::TempDir dir;
    const Rgb image = rvtest::pattern(13, 7);
    const std::string path = dir.file("a.bmp");
    lqp::MemOwner dib(rvtest::makeDib(image, 24));
    ASSERT_TRUE(rv::wrbmpfiledib(path, dib.get()));
    Bytes bytes = lqtest::readFile(path);
    // Negate the height and store the rows in the other order.
    lqp::putLe32(&bytes[22], std::uint32_t(-7));
    const std::size_t row = 40, offset = lqp::getLe32(&bytes[10]);
    for (int y = 0; y < 3; ++y)
        std::swap_ranges(bytes.begin() + std::ptrdiff_t(offset + y * row), bytes.begin() + std::ptrdiff_t(offset + (y + 1) * row),
                         bytes.begin() + std::ptrdiff_t(offset + (6 - y) * row));
    lqp::MemOwner back(rv::rdbmpstreamdib(bytes));
    ASSERT_TRUE(back) << rv::RVLastErrorText();
    EXPECT_EQ(rvtest::dibToRgb(back.get()), image);
}

// Hand-made RLE data with runs, odd absolute stretches, deltas, early ends of line and a run
// past the right edge; skipped pixels take colour 0.
TEST(RVBmp, RunLengthEncodingsDecode) {
    const Bytes rle4 = {
        0x05, 0x12, 0x00, 0x03, 0x34, 0x50, 0x00, 0x00,              // row 0: 1 2 1 2 1 | 3 4 5
        0x00, 0x02, 0x03, 0x00, 0x02, 0x77, 0x00, 0x00,              // row 1: skip 3, 7 7
        0x00, 0x05, 0x9A, 0xBC, 0xD0, 0x00, 0x00, 0x02, 0x00, 0x01,  // row 2: 9..13, then down one row
        0x03, 0xEE, 0x00, 0x01,                                      // row 3 from column 5: 14 14 14; end
    };
    lqp::MemOwner four(rv::rdbmpstreamdib(bmpFile(8, 4, 4, lqp::kBiRle4, 16, rle4)));
    ASSERT_TRUE(four) << rv::RVLastErrorText();
    EXPECT_EQ(rvtest::dibToRgb(four.get()), indexImage(8, {0, 0, 0, 0, 0, 14, 14, 14,
                                                           9, 10, 11, 12, 13, 0, 0, 0,
                                                           0, 0, 0, 7, 7, 0, 0, 0,
                                                           1, 2, 1, 2, 1, 3, 4, 5}));
    const Bytes rle8 = {
        0x0A, 0x03, 0x00, 0x00,                    // row 0: ten 3s, cut at the edge
        0x00, 0x03, 0x05, 0x06, 0x07, 0x00, 0x00, 0x00,  // row 1: 5 6 7 (padded), end of line
        0x00, 0x00,                                // row 2: empty
        0x01, 0x09,                                // row 3: 9, then the data ends with the
        0x00, 0x01,                                //        end of the bitmap
    };
    lqp::MemOwner eight(rv::rdbmpstreamdib(bmpFile(4, 4, 8, lqp::kBiRle8, 16, rle8)));
    ASSERT_TRUE(eight) << rv::RVLastErrorText();
    EXPECT_EQ(rvtest::dibToRgb(eight.get()), indexImage(4, {9, 0, 0, 0, 0, 0, 0, 0, 5, 6, 7, 0, 3, 3, 3, 3}));
}

TEST(RVBmpPeer, WrittenFilesDecodeInPillow) {
    lqtest::TempDir dir;
    std::vector<std::string> paths;
    std::vector<Rgb> shown;
    for (int bits : {1, 4, 8, 24}) {
        shown.emplace_back();
        lqp::MemOwner dib(rvtest::makeDib(rvtest::pattern(29, 17), bits, &shown.back()));
        paths.push_back(dir.file("w" + std::to_string(bits) + ".bmp"));
        ASSERT_TRUE(rv::wrbmpfiledib(paths.back(), dib.get())) << rv::RVLastErrorText();
        lqp::MemOwner back(rv::rdbmpfiledib(paths.back()));
        EXPECT_EQ(rvtest::dibToRgb(back.get()), shown.back());
    }
    const std::vector<Rgb> decoded = rvtest::pillowDecodeAll(paths);
    for (std::size_t i = 0; i < paths.size(); ++i) EXPECT_EQ(decoded[i], shown[i]) << paths[i];
}

TEST(RVBmp, BadFilesFailWithAReason) {
    const Bytes pixels24(4 * 12, 0x80);
    auto with = [](Bytes b, std::size_t at, std::uint32_t v, int width = 4) {
        if (width == 2) lqp::putLe16(&b[at], std::uint16_t(v));
        else lqp::putLe32(&b[at], v);
        return b;
    };
    const Bytes good = bmpFile(4, 4, 24, 0, 0, pixels24);
    struct Case { const char* name; Bytes bytes; int code; };
    const Case cases[] = {
        {"truncated pixels", {good.begin(), good.end() - 13}, rv::kRVErrRead},
        {"truncated header", {good.begin(), good.begin() + 30}, rv::kRVErrRead},
        {"no signature", with(good, 0, 0x4141, 2), rv::kRVErrFormat},
        {"unknown header size", with(good, 14, 20), rv::kRVErrUnsupported},
        {"two planes", with(good, 26, 2, 2), rv::kRVErrFormat},
        {"zero width", with(good, 18, 0), rv::kRVErrFormat},
        {"too large", with(with(good, 18, 100000), 22, 100000), rv::kRVErrTooLarge},
        {"2 bits", with(good, 28, 2, 2), rv::kRVErrUnsupported},
        {"JPEG inside", with(good, 30, 4), rv::kRVErrUnsupported},
        {"pixels past the end", with(good, 10, 5000), rv::kRVErrRead},
        {"RLE top-down", with(bmpFile(4, 4, 8, 1, 2, {0, 1}), 22, std::uint32_t(-4)), rv::kRVErrFormat},
        {"RLE without end", bmpFile(4, 4, 8, 1, 2, {4, 1, 0, 0, 4, 1}), rv::kRVErrRead},
    };
    const std::size_t before = lqMemLiveBlocks();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(rv::rdbmpstreamdib(c.bytes), nullptr);
        EXPECT_EQ(rv::RVLastErrorCode(), c.code) << rv::RVLastErrorText();
    }
    EXPECT_EQ(lqMemLiveBlocks(), before);
    lqp::MemOwner ok(rv::rdbmpstreamdib(good));
    EXPECT_TRUE(ok);
}

}  // namespace
