#include <gtest/gtest.h>

#include "platform/Dib.h"
#include "rastervane/RVJpeg.h"
#include "tests/rastervane/RVTestUtil.h"
#include "tests/support/TestSupport.h"

namespace {

using rvtest::Rgb;

Rgb djpeg(const std::string& path, const lqtest::TempDir& dir) {
    const std::string out = dir.file("djpeg.ppm");
    const auto r = lqtest::run("djpeg -pnm -outfile " + out + " " + path);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    return rvtest::readPpm(out);
}

lqp::DibHeader headerOf(HLQMEM dib) {
    lqp::MemLock lock(dib);
    return lqp::readDibHeader(lock.data());
}

// Files written by Pillow in the usual variants decode like djpeg decodes them.
TEST(RVJpegPeer, FilesDecodeLikeDjpeg) {
    lqtest::TempDir dir;
    const std::string src = dir.file("src.ppm");
    rvtest::writePpm(src, rvtest::pattern(61, 37));
    struct Case { const char* name; const char* save; };
    const Case cases[] = {
        {"420.jpg", "im.save(p, quality=90, dpi=(300, 300))"},
        {"444.jpg", "im.save(p, quality=95, subsampling=0, dpi=(300, 300))"},
        {"gray.jpg", "im.convert('L').save(p, quality=90, dpi=(300, 300))"},
        {"progressive.jpg", "im.save(p, quality=80, progressive=True, dpi=(300, 300))"},
        {"optimized.jpg", "im.save(p, quality=50, optimize=True, dpi=(300, 300))"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file(c.name);
        rvtest::python("im = Image.open('" + src + "')\np = '" + path + "'\n" + c.save);
        lqp::MemOwner dib(rv::rdjpgfiledib(path));
        ASSERT_TRUE(dib) << rv::RVLastErrorText();
        EXPECT_LE(rvtest::maxDifference(rvtest::dibToRgb(dib.get()), djpeg(path, dir)), 1);
        const lqp::DibHeader info = headerOf(dib.get());
        EXPECT_EQ(info.bitCount, 24);
        EXPECT_EQ(info.xPelsPerMeter, 11811);  // 300 dpi
        EXPECT_EQ(info.yPelsPerMeter, 11811);
    }
}

TEST(RVJpegPeer, AdobeCmykDecodesLikePillow) {
    lqtest::TempDir dir;
    const std::string src = dir.file("src.ppm"), path = dir.file("cmyk.jpg");
    rvtest::writePpm(src, rvtest::pattern(40, 30));
    rvtest::python("Image.open('" + src + "').convert('CMYK').save('" + path + "', quality=95)");
    lqp::MemOwner dib(rv::rdjpgfiledib(path));
    ASSERT_TRUE(dib) << rv::RVLastErrorText();
    EXPECT_LE(rvtest::maxDifference(rvtest::dibToRgb(dib.get()), rvtest::pillowDecode(path)), 1);
}

// What we write, Pillow decodes to what we decode, for every depth of DIB.
TEST(RVJpegPeer, WrittenFilesDecodeInPillow) {
    lqtest::TempDir dir;
    for (int bits : {1, 4, 8, 24}) {
        SCOPED_TRACE(bits);
        Rgb shown;
        lqp::MemOwner dib(rvtest::makeDib(rvtest::pattern(45, 29), bits, &shown));
        const std::string path = dir.file("out" + std::to_string(bits) + ".jpg");
        ASSERT_TRUE(rv::wrjpgfiledib(path, dib.get(), 100, 0)) << rv::RVLastErrorText();
        lqp::MemOwner back(rv::rdjpgfiledib(path));
        ASSERT_TRUE(back);
        const Rgb ours = rvtest::dibToRgb(back.get());
        EXPECT_LE(rvtest::maxDifference(ours, rvtest::pillowDecode(path)), 1);
        EXPECT_LE(rvtest::maxDifference(ours, djpeg(path, dir)), 1);
        // Pillow encoding the same pixels with the same settings gives the same image.
        const std::string ppm = dir.file("shown.ppm"), peer = dir.file("peer.jpg");
        rvtest::writePpm(ppm, shown);
        rvtest::python("Image.open('" + ppm + "').save('" + peer + "', quality=100)");
        EXPECT_LE(rvtest::maxDifference(ours, rvtest::pillowDecode(peer)), 1);
    }
    const auto dpi = lqtest::runPython("from PIL import Image\nprint(Image.open('" + dir.file("out24.jpg") + "').info['dpi'])");
    EXPECT_EQ(dpi.output, "(96, 72)\n");  // the fixture's 3780 × 2835 pixels per metre
}

TEST(RVJpegPeer, GreyRampDibIsWrittenAsGreyscale) {
    lqtest::TempDir dir;
    lqp::MemOwner dib(lqp::createDib(16, 16, 8));  // grey ramp colour table
    {
        lqp::MemLock lock(dib.get());
        for (int i = 0; i < 16 * 16; ++i) lock.data()[40 + 1024 + i] = std::uint8_t(i);
    }
    const std::string path = dir.file("gray.jpg");
    ASSERT_TRUE(rv::wrjpgfiledib(path, dib.get(), 90, 0));
    EXPECT_EQ(lqtest::runPython("from PIL import Image\nprint(Image.open('" + path + "').mode)").output, "L\n");
}

TEST(RVJpeg, StreamRoundTripMatchesTheFileForm) {
    lqtest::TempDir dir;
    lqp::MemOwner dib(rvtest::makeDib(rvtest::pattern(33, 20), 24));
    std::vector<std::uint8_t> stream = {1, 2, 3};  // replaced, not appended to
    ASSERT_TRUE(rv::wrjpgstreamdib(stream, dib.get(), 75, 10));
    const std::string path = dir.file("a.jpg");
    ASSERT_TRUE(rv::wrjpgfiledib(path, dib.get(), 75, 10));
    EXPECT_EQ(stream, lqtest::readFile(path));
    EXPECT_EQ(stream[0], 0xFF);
    lqp::MemOwner back(rv::rdjpgstreamdib(stream));
    ASSERT_TRUE(back);
    EXPECT_EQ(rvtest::dibToRgb(back.get()), rvtest::dibToRgb(lqp::MemOwner(rv::rdjpgfiledib(path)).get()));
}

TEST(RVJpeg, BadInputFailsWithAReason) {
    lqtest::TempDir dir;
    lqp::MemOwner dib(rvtest::makeDib(rvtest::pattern(64, 64), 24));
    std::vector<std::uint8_t> good;
    ASSERT_TRUE(rv::wrjpgstreamdib(good, dib.get(), 90, 0));
    const std::size_t before = lqMemLiveBlocks();

    struct Case { const char* name; std::vector<std::uint8_t> bytes; int code; };
    const Case cases[] = {
        {"truncated", {good.begin(), good.begin() + std::ptrdiff_t(good.size() / 2)}, rv::kRVErrRead},
        {"header only", {good.begin(), good.begin() + 20}, rv::kRVErrRead},
        {"empty", {}, rv::kRVErrFormat},
        {"not a JPEG", {'G', 'I', 'F', '8', '9', 'a', 0, 0}, rv::kRVErrFormat},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(rv::rdjpgstreamdib(c.bytes), nullptr);
        EXPECT_EQ(rv::RVLastErrorCode(), c.code) << rv::RVLastErrorText();
        EXPECT_FALSE(rv::RVLastErrorText().empty());
    }
    EXPECT_EQ(rv::rdjpgfiledib(dir.file("missing.jpg")), nullptr);
    EXPECT_EQ(rv::RVLastErrorCode(), rv::kRVErrOpen);
    EXPECT_EQ(lqMemLiveBlocks(), before);
}

TEST(RVJpeg, WriterRefusesBadArgumentsAndKeepsTheOldFile) {
    lqtest::TempDir dir;
    const std::string path = dir.file("keep.jpg");
    lqtest::writeFile(path, std::string("old content"));
    lqp::MemOwner dib(rvtest::makeDib(rvtest::pattern(8, 8), 24));
    EXPECT_FALSE(rv::wrjpgfiledib(path, dib.get(), 0, 0));
    EXPECT_EQ(rv::RVLastErrorCode(), rv::kRVErrBadArgument);
    EXPECT_FALSE(rv::wrjpgfiledib(path, nullptr, 90, 0));
    EXPECT_EQ(rv::RVLastErrorCode(), rv::kRVErrBadDib);
    int calls = 0;
    EXPECT_FALSE(rv::wrjpgfiledib(path, dib.get(), 90, 0, [&](int) { return ++calls < 3; }));
    EXPECT_EQ(rv::RVLastErrorCode(), rv::kRVErrCancelled);
    EXPECT_EQ(lqtest::readFile(path), std::vector<std::uint8_t>({'o', 'l', 'd', ' ', 'c', 'o', 'n', 't', 'e', 'n', 't'}));
    EXPECT_FALSE(rv::wrjpgfiledib(dir.file("no/such/folder/x.jpg"), dib.get(), 90, 0));
    EXPECT_EQ(rv::RVLastErrorCode(), rv::kRVErrOpen);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);  // no stray temporary file
}

TEST(RVJpeg, CancelWhileReadingLeavesNothingBehind) {
    lqp::MemOwner dib(rvtest::makeDib(rvtest::pattern(64, 200), 24));
    std::vector<std::uint8_t> jpeg;
    ASSERT_TRUE(rv::wrjpgstreamdib(jpeg, dib.get(), 90, 0));
    const std::size_t before = lqMemLiveBlocks();
    std::vector<int> seen;
    EXPECT_EQ(rv::rdjpgstreamdib(jpeg, [&](int p) { seen.push_back(p); return p < 50; }), nullptr);
    EXPECT_EQ(rv::RVLastErrorCode(), rv::kRVErrCancelled);
    EXPECT_EQ(lqMemLiveBlocks(), before);
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen.front(), 0);
    EXPECT_GE(seen.back(), 50);
}

}  // namespace
