#include <gtest/gtest.h>

#include "platform/Dib.h"
#include "rastervane/RVPcx.h"
#include "rastervane/RVTga.h"
#include "tests/rastervane/RVTestUtil.h"
#include "tests/support/TestSupport.h"

namespace {

using rvtest::Rgb;
using Bytes = std::vector<std::uint8_t>;

// Makes the peer files in one Python run and compares our decoding of each with Pillow's.
template <typename Reader>
void expectPeerFilesDecodeLikePillow(const std::vector<std::pair<std::string, std::string>>& cases, Reader read) {
    lqtest::TempDir dir;
    const std::string src = dir.file("src.ppm");
    rvtest::writePpm(src, rvtest::pattern(37, 23));
    std::string program = "import subprocess\nsrc = '" + src + "'\nrun = lambda source, *a: subprocess.check_call(['convert', source] + list(a))\n"
                          "base = Image.open(src)\nq16, q200 = src + '.16.png', src + '.200.png'\n"
                          "base.quantize(16).save(q16)\nbase.quantize(200).save(q200)\n";
    std::vector<std::string> paths;
    for (const auto& [name, make] : cases) {
        paths.push_back(dir.file(name));
        program += "im = Image.open(src)\np = '" + paths.back() + "'\n" + make + "\n";
    }
    rvtest::python(program);
    const std::vector<Rgb> expected = rvtest::pillowDecodeAll(paths);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        SCOPED_TRACE(cases[i].first);
        lqp::MemOwner dib(read(paths[i]));
        ASSERT_TRUE(dib) << rv::RVLastErrorText();
        ASSERT_GT(expected[i].width, 0);
        EXPECT_EQ(rvtest::dibToRgb(dib.get()), expected[i]);
    }
}

template <typename Writer, typename Reader>
void expectWrittenFilesDecodeInPillow(const std::string& ext, Writer write, Reader read) {
    lqtest::TempDir dir;
    std::vector<std::string> paths;
    std::vector<Rgb> shown;
    for (int bits : {1, 4, 8, 24}) {
        SCOPED_TRACE(bits);
        shown.emplace_back();
        lqp::MemOwner dib(rvtest::makeDib(rvtest::pattern(45, 21), bits, &shown.back()));
        paths.push_back(dir.file("w" + std::to_string(bits) + ext));
        ASSERT_TRUE(write(paths.back(), dib.get())) << rv::RVLastErrorText();
        lqp::MemOwner back(read(paths.back()));
        EXPECT_EQ(rvtest::dibToRgb(back.get()), shown.back());
    }
    // A 1-bit image in colours other than black and white.
    shown.emplace_back();
    lqp::MemOwner dib(rvtest::makeDib(rvtest::pattern(45, 21), 1, &shown.back()));
    {
        lqp::MemLock lock(dib.get());
        lock.data()[40] = 200, lock.data()[41] = 10, lock.data()[42] = 30;  // entry 0: blue 200, green 10, red 30
    }
    for (std::size_t i = 0; i < shown.back().pixels.size(); i += 3)
        if (shown.back().pixels[i] == 0) shown.back().pixels[i] = 30, shown.back().pixels[i + 1] = 10, shown.back().pixels[i + 2] = 200;
    paths.push_back(dir.file("w1colour" + ext));
    ASSERT_TRUE(write(paths.back(), dib.get())) << rv::RVLastErrorText();
    const std::vector<Rgb> decoded = rvtest::pillowDecodeAll(paths);
    for (std::size_t i = 0; i < paths.size(); ++i) EXPECT_EQ(decoded[i], shown[i]) << paths[i];
}

void expectFailures(const std::vector<std::tuple<const char*, Bytes, int>>& cases, HLQMEM (*read)(std::span<const std::uint8_t>, const rv::RVProgress&)) {
    const std::size_t before = lqMemLiveBlocks();
    for (const auto& [name, bytes, code] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(read(bytes, {}), nullptr);
        EXPECT_EQ(rv::RVLastErrorCode(), code) << rv::RVLastErrorText();
    }
    EXPECT_EQ(lqMemLiveBlocks(), before);
}

Bytes with(Bytes b, std::size_t at, std::uint16_t v) {
    lqp::putLe16(&b[at], v);
    return b;
}

// ---- PCX ----

TEST(RVPcxPeer, FilesDecodeLikePillow) {
    expectPeerFilesDecodeLikePillow({{"p1.pcx", "im.convert('1').save(p)"},
                                     {"p8gray.pcx", "im.convert('L').save(p)"},
                                     {"p8pal.pcx", "im.quantize(100).save(p)"},
                                     {"p24.pcx", "im.save(p)"},
                                     {"m24.pcx", "run(src, p)"},
                                     {"m8.pcx", "run(q200, '-type', 'palette', p)"}},
                                    [](const std::string& p) { return rv::rdpcxfiledib(p); });
}

TEST(RVPcxPeer, WrittenFilesDecodeInPillow) {
    expectWrittenFilesDecodeInPillow(".pcx", [](const std::string& p, HLQMEM d) { return rv::wrpcxfiledib(p, d); },
                                     [](const std::string& p) { return rv::rdpcxfiledib(p); });
}

TEST(RVPcx, BadFilesFailWithAReason) {
    lqtest::TempDir dir;
    lqp::MemOwner dib(rvtest::makeDib(rvtest::pattern(40, 30), 24));
    ASSERT_TRUE(rv::wrpcxfiledib(dir.file("a.pcx"), dib.get()));
    const Bytes good = lqtest::readFile(dir.file("a.pcx"));
    Bytes twoBits = good;
    twoBits[3] = 2;
    twoBits[65] = 2;
    expectFailures({{"truncated", {good.begin(), good.end() - 40}, rv::kRVErrRead},
                    {"header only", {good.begin(), good.begin() + 128}, rv::kRVErrRead},
                    {"short header", {good.begin(), good.begin() + 100}, rv::kRVErrRead},
                    {"not a PCX", with(good, 0, 0x0B0B), rv::kRVErrFormat},
                    {"window reversed", with(good, 4, 50), rv::kRVErrFormat},
                    {"bytes per line too small", with(good, 66, 10), rv::kRVErrFormat},
                    {"2 bits in 2 planes", twoBits, rv::kRVErrUnsupported},
                    {"huge window, tiny file", with(with(with(good, 8, 60000), 10, 60000), 66, 60002), rv::kRVErrRead}},
                   rv::rdpcxstreamdib);
}

// ---- TGA ----

TEST(RVTgaPeer, FilesDecodeLikePillow) {
    expectPeerFilesDecodeLikePillow({{"gray.tga", "im.convert('L').save(p)"},
                                     {"gray-rle.tga", "im.convert('L').save(p, compression='tga_rle')"},
                                     {"pal.tga", "im.quantize(100).save(p)"},
                                     {"pal-rle.tga", "im.quantize(100).save(p, compression='tga_rle')"},
                                     {"rgb.tga", "im.save(p)"},
                                     {"rgb-rle.tga", "im.save(p, compression='tga_rle')"},
                                     {"rgb-top.tga", "im.save(p, orientation=1)"},
                                     {"rgba-rle.tga", "a = im.copy(); a.putalpha(77); a.save(p, compression='tga_rle')"},
                                     {"m-rle.tga", "run(src, '-compress', 'RLE', p)"},
                                     {"m16.tga", "run(src, '-depth', '5', '-define', 'tga:bits-per-pixel=16', p)"}},
                                    [](const std::string& p) { return rv::readtgafiledib(p); });
}

TEST(RVTga, SixteenBitAndRightToLeftPixels) {
    // 3 × 1 true colour, 16 bits (x RRRRR GGGGG BBBBB), stored right to left.
    Bytes tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 1, 0, 16, 0x10};
    for (std::uint16_t v : {std::uint16_t(0x7C00), std::uint16_t(0x03E0), std::uint16_t(0x0004)})
        tga.insert(tga.end(), {std::uint8_t(v), std::uint8_t(v >> 8)});
    lqp::MemOwner dib(rv::readtgastreamdib(tga));
    ASSERT_TRUE(dib) << rv::RVLastErrorText();
    EXPECT_EQ(rvtest::dibToRgb(dib.get()).pixels, Bytes({0, 0, 32, 0, 255, 0, 255, 0, 0}));
}

TEST(RVTgaPeer, WrittenFilesDecodeInPillow) {
    expectWrittenFilesDecodeInPillow(".tga", [](const std::string& p, HLQMEM d) { return rv::writetgafiledib(p, d); },
                                     [](const std::string& p) { return rv::readtgafiledib(p); });
}

TEST(RVTga, WriterCompressesOnlyWhenItPays) {
    lqtest::TempDir dir;
    lqp::MemOwner flat(lqp::createDib(64, 64, 24));  // one colour: RLE wins
    lqp::MemOwner noisy(rvtest::makeDib(rvtest::pattern(64, 64), 24));  // every pixel differs: raw wins
    ASSERT_TRUE(rv::writetgafiledib(dir.file("flat.tga"), flat.get()));
    ASSERT_TRUE(rv::writetgafiledib(dir.file("noisy.tga"), noisy.get()));
    EXPECT_EQ(lqtest::readFile(dir.file("flat.tga"))[2], 10);
    EXPECT_EQ(lqtest::readFile(dir.file("noisy.tga"))[2], 2);
}

TEST(RVTga, BadFilesFailWithAReason) {
    lqtest::TempDir dir;
    lqp::MemOwner dib(rvtest::makeDib(rvtest::pattern(40, 30), 24));
    ASSERT_TRUE(rv::writetgafiledib(dir.file("a.tga"), dib.get()));
    const Bytes raw = lqtest::readFile(dir.file("a.tga"));
    Bytes rle = raw;
    rle[2] = 10;
    rle.resize(18 + 40);  // far too short for 1200 pixels
    Bytes mapped = raw;
    mapped[2] = 1;  // colour-mapped without a map
    Bytes badDepth = raw;
    badDepth[16] = 12;
    expectFailures({{"truncated", {raw.begin(), raw.end() - 1}, rv::kRVErrRead},
                    {"short header", {raw.begin(), raw.begin() + 10}, rv::kRVErrRead},
                    {"RLE too short", rle, rv::kRVErrRead},
                    {"map missing", mapped, rv::kRVErrUnsupported},
                    {"12 bits", badDepth, rv::kRVErrUnsupported},
                    {"zero width", with(raw, 12, 0), rv::kRVErrUnsupported},
                    {"type 7", with(raw, 2, 7), rv::kRVErrUnsupported}},
                   rv::readtgastreamdib);
}

}  // namespace
