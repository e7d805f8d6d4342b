#include <gtest/gtest.h>

#include "platform/Dib.h"
#include "rastervane/RVPng.h"
#include "tests/rastervane/RVTestUtil.h"
#include "tests/support/TestSupport.h"

namespace {

using rvtest::Rgb;

std::uint32_t crc32(const std::uint8_t* p, std::size_t n) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return ~c;
}

// PNG variants written by Pillow and ImageMagick decode to the pixels Pillow sees (for alpha:
// what Pillow composites over white).
TEST(RVPngPeer, FilesDecodeLikePillow) {
    lqtest::TempDir dir;
    const std::string src = dir.file("src.ppm");
    rvtest::writePpm(src, rvtest::pattern(37, 23));
    struct Case { const char* name; const char* make; };
    const Case cases[] = {
        {"rgb.png", "im.save(p)"},
        {"gray.png", "im.convert('L').save(p)"},
        {"bw.png", "im.convert('1').save(p)"},
        {"palette.png", "im.quantize(200).save(p)"},
        {"palette4.png", "im.quantize(16).save(p, bits=4)"},
        {"rgba.png", "a = im.copy(); a.putalpha(im.convert('L')); a.save(p)"},
        {"la.png", "a = im.convert('LA'); a.putalpha(im.convert('L').point(lambda v: 255 - v)); a.save(p)"},
        {"palette-trns.png", "q = im.quantize(64); q.info['transparency'] = 3; q.save(p, transparency=3)"},
        {"rgb16.png", "import subprocess; subprocess.check_call(['convert', src, '-depth', '16', 'PNG48:' + p])"},
        {"interlaced.png", "import subprocess; subprocess.check_call(['convert', src, '-interlace', 'PNG', p])"},
        {"gray2.png", "import subprocess; subprocess.check_call(['convert', src, '-colorspace', 'Gray', '-depth', '2', p])"},
    };
    std::string program = "src = '" + src + "'\n";
    std::vector<std::string> paths;
    for (const Case& c : cases) {
        paths.push_back(dir.file(c.name));
        program += "im = Image.open(src)\np = '" + paths.back() + "'\n" + c.make + "\n";
    }
    rvtest::python(program);
    const std::vector<Rgb> expected = rvtest::pillowDecodeAll(paths, true);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        lqp::MemOwner dib(rv::rdpngfiledib(paths[i]));
        ASSERT_TRUE(dib) << rv::RVLastErrorText();
        EXPECT_LE(rvtest::maxDifference(rvtest::dibToRgb(dib.get()), expected[i]), 1);
    }
}

TEST(RVPngPeer, OpaqueFilesDecodeExactly) {
    lqtest::TempDir dir;
    const std::string src = dir.file("src.ppm"), path = dir.file("a.png");
    rvtest::writePpm(src, rvtest::pattern(50, 31));
    rvtest::python("Image.open('" + src + "').save('" + path + "', dpi=(300, 150))");
    lqp::MemOwner dib(rv::rdpngfiledib(path));
    ASSERT_TRUE(dib);
    EXPECT_EQ(rvtest::dibToRgb(dib.get()), rvtest::readPpm(src));
    lqp::MemLock lock(dib.get());
    const lqp::DibHeader info = lqp::readDibHeader(lock.data());
    EXPECT_EQ(info.xPelsPerMeter, 11811);
    EXPECT_EQ(info.yPelsPerMeter, 5906);
}

TEST(RVPngPeer, Grey16KeepsTheHighByte) {
    lqtest::TempDir dir;
    const std::string path = dir.file("g16.png");
    rvtest::python("im = Image.new('I;16', (4, 1))\nim.putdata([0, 255, 256 * 77 + 200, 65535])\nim.save('" + path + "')");
    lqp::MemOwner dib(rv::rdpngfiledib(path));
    ASSERT_TRUE(dib) << rv::RVLastErrorText();
    const std::vector<std::uint8_t> expected = {0, 0, 0, 0, 0, 0, 77, 77, 77, 255, 255, 255};
    EXPECT_EQ(rvtest::dibToRgb(dib.get()).pixels, expected);
}

// What we write, Pillow reads as the same pixels, at every depth, interlaced or not.
TEST(RVPngPeer, WrittenFilesDecodeInPillow) {
    lqtest::TempDir dir;
    std::vector<std::string> paths;
    std::vector<Rgb> shown;
    std::string expectedInfo;
    for (int bits : {1, 4, 8, 24}) {
        for (bool interlaced : {false, true}) {
            SCOPED_TRACE(std::to_string(bits) + (interlaced ? " interlaced" : ""));
            shown.emplace_back();
            lqp::MemOwner dib(rvtest::makeDib(rvtest::pattern(41, 19), bits, &shown.back()));
            paths.push_back(dir.file("w" + std::to_string(bits) + (interlaced ? "i" : "") + ".png"));
            ASSERT_TRUE(rv::wrpngfiledib(paths.back(), dib.get(), interlaced)) << rv::RVLastErrorText();
            lqp::MemOwner back(rv::rdpngfiledib(paths.back()));
            EXPECT_EQ(rvtest::dibToRgb(back.get()), shown.back());
            expectedInfo += std::string(bits == 24 ? "RGB" : "P") + (interlaced ? " 1" : " 0") + " (96.012, 72.009)\n";
        }
    }
    const std::vector<Rgb> decoded = rvtest::pillowDecodeAll(paths);
    for (std::size_t i = 0; i < paths.size(); ++i) EXPECT_EQ(decoded[i], shown[i]) << paths[i];
    std::string program = "from PIL import Image\nfor p in [";
    for (const auto& p : paths) program += "'" + p + "',";
    program += "]:\n    i = Image.open(p)\n    print(i.mode, i.info.get('interlace', 0), i.info['dpi'])";
    EXPECT_EQ(lqtest::runPython(program).output, expectedInfo);
}

TEST(RVPng, BadFilesFailAndLeaveNothingBehind) {
    lqtest::TempDir dir;
    lqp::MemOwner dib(rvtest::makeDib(rvtest::pattern(40, 40), 24));
    const std::string path = dir.file("good.png");
    ASSERT_TRUE(rv::wrpngfiledib(path, dib.get(), false));
    const std::vector<std::uint8_t> good = lqtest::readFile(path);
    std::vector<std::uint8_t> badCrc = good;
    badCrc[30] ^= 0x55;  // IHDR checksum
    std::vector<std::uint8_t> huge = good;
    huge[16] = 0, huge[17] = 0, huge[18] = 0x80, huge[19] = 0;  // 32768 × 32768, big-endian
    huge[20] = 0, huge[21] = 0, huge[22] = 0x80, huge[23] = 0;
    const std::uint32_t crc = crc32(&huge[12], 17);  // chunk type and data
    huge[29] = std::uint8_t(crc >> 24), huge[30] = std::uint8_t(crc >> 16), huge[31] = std::uint8_t(crc >> 8), huge[32] = std::uint8_t(crc);
    const std::size_t before = lqMemLiveBlocks();
    struct Case { const char* name; std::vector<std::uint8_t> bytes; int code; };
    const Case cases[] = {
        {"truncated", {good.begin(), good.begin() + std::ptrdiff_t(good.size() - 40)}, rv::kRVErrFormat},
        {"signature only", {good.begin(), good.begin() + 8}, rv::kRVErrFormat},
        {"bad checksum", badCrc, rv::kRVErrFormat},
        {"too large", huge, rv::kRVErrTooLarge},
        {"not a PNG", {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0}, rv::kRVErrFormat},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(rv::rdpngstreamdib(c.bytes), nullptr);
        EXPECT_EQ(rv::RVLastErrorCode(), c.code);
        EXPECT_FALSE(rv::RVLastErrorText().empty());
    }
    EXPECT_EQ(lqMemLiveBlocks(), before);
    EXPECT_FALSE(rv::wrpngfiledib(path, nullptr, false));
    EXPECT_EQ(rv::RVLastErrorCode(), rv::kRVErrBadDib);
    EXPECT_EQ(lqtest::readFile(path), good);
}

}  // namespace
