#include <gtest/gtest.h>

#include <cstring>

#include "rastervane/RVFileInfo.h"
#include "rastervane/RVImport.h"
#include "tests/rastervane/RVTestUtil.h"
#include "tests/support/TestSupport.h"

namespace {

TEST(RVFileInfoPeer, TellsFormatSizeAndDepthByContent) {
    lqtest::TempDir dir;
    const std::string src = dir.file("src.ppm");
    rvtest::writePpm(src, rvtest::pattern(37, 23));
    // Extensions are deliberately wrong: only the content counts.
    rvtest::python("im = Image.open('" + src + "')\nd = '" + dir.path().string() + "/'\n"
                   "im.save(d + 'a.dat', 'JPEG')\n"
                   "im.convert('L').save(d + 'b.dat', 'JPEG', exif=b'Exif\\x00\\x00' + bytes(65000), icc_profile=bytes(70000))\n"
                   "im.convert('RGBA').save(d + 'c.dat', 'PNG')\n"
                   "im.quantize(16).save(d + 'd.dat', 'BMP')\n"
                   "im.save(d + 'e.dat', 'GIF')\n"
                   "im.quantize(200).save(d + 'f.dat', 'PCX')\n"
                   "im.save(d + 'g.dat', 'TGA')\n");
    std::vector<std::uint8_t> pcd(0x30000 + 768 * 768, 0);
    std::memcpy(&pcd[0x800], "PCD_IPI", 7);
    lqtest::writeFile(dir.file("h.dat"), pcd);
    struct Case { const char* file; const char* type; int bits; };
    for (const Case& c : {Case{"a.dat", "JPEG", 24}, Case{"b.dat", "JPEG", 8}, Case{"c.dat", "PNG", 32}, Case{"d.dat", "BMP", 8},
                          Case{"e.dat", "GIF", 8}, Case{"f.dat", "PCX", 8}, Case{"g.dat", "TGA", 24}, Case{"h.dat", "PCD", 24}}) {
        SCOPED_TRACE(c.file);
        rv::RVFileInfo info;
        ASSERT_TRUE(rv::fileinfo(dir.file(c.file), info)) << rv::RVLastErrorText();
        EXPECT_EQ(info.type, c.type);
        EXPECT_EQ(info.bits, c.bits);
        if (info.type != "PCD") {
            EXPECT_EQ(info.width, 37);
            EXPECT_EQ(info.height, 23);
        }
    }
    rv::RVFileInfo info;
    lqtest::writeFile(dir.file("text.txt"), std::string("just some text, no image"));
    EXPECT_FALSE(rv::fileinfo(dir.file("text.txt"), info));
    EXPECT_EQ(rv::RVLastErrorCode(), rv::kRVErrFormat);
    EXPECT_FALSE(rv::fileinfo(dir.file("missing.png"), info));
    EXPECT_EQ(rv::RVLastErrorCode(), rv::kRVErrOpen);
    lqtest::writeFile(dir.file("cut.jpg"), std::vector<std::uint8_t>{0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J'});
    EXPECT_FALSE(rv::fileinfo(dir.file("cut.jpg"), info));
    EXPECT_EQ(rv::RVLastErrorCode(), rv::kRVErrRead);
}

TEST(RVImport, LoadsOnceCallsInitOnceAndBindsByName) {
    rv::RVLibrary fake("liblqtest_rvfake.so");
    auto answer = reinterpret_cast<int (*)()>(fake.bind("fakeAnswer"));
    ASSERT_NE(answer, nullptr) << rv::RVLastErrorText();
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(fake.bind("noSuchExport"), nullptr);
    EXPECT_EQ(rv::RVLastErrorCode(), rv::kRVErrLibrary);
    EXPECT_NE(rv::RVLastErrorText().find("noSuchExport"), std::string::npos);
    EXPECT_NE(fake.bind("fakeAnswer"), nullptr);
    const int* inits = static_cast<const int*>(fake.bind("fakeInitCount"));
    ASSERT_NE(inits, nullptr);
    EXPECT_EQ(*inits, 1);
    EXPECT_EQ(*static_cast<void* const*>(fake.bind("fakeInitWindow")), nullptr);  // no window in a test

    rv::RVLibrary missing("libno-such-library.so");
    EXPECT_EQ(missing.bind("InitDLL"), nullptr);
    EXPECT_EQ(rv::RVLastErrorCode(), rv::kRVErrLibrary);
    EXPECT_NE(rv::RVLastErrorText().find("libno-such-library.so"), std::string::npos);
}

// TIFF files are read through libVellum32.so: files Pillow writes come out as Pillow sees
// them, and a broken file fails with the library's reason.
TEST(RVImportPeer, TiffThroughVellum32) {
    lqtest::TempDir dir;
    const std::string src = dir.file("src.ppm");
    rvtest::writePpm(src, rvtest::pattern(33, 21));
    std::vector<std::string> paths = {dir.file("rgb.tif"), dir.file("lzw.tif"), dir.file("pal.tif"), dir.file("gray.tif")};
    rvtest::python("im = Image.open('" + src + "')\nim.save('" + paths[0] + "')\nim.save('" + paths[1] + "', compression='tiff_lzw')\n"
                   "im.quantize(50).save('" + paths[2] + "')\nim.convert('L').save('" + paths[3] + "')\n");
    const std::vector<rvtest::Rgb> expected = rvtest::pillowDecodeAll(paths);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        SCOPED_TRACE(paths[i]);
        lqp::MemOwner dib(rv::readtiffiledib(paths[i], 0));
        ASSERT_TRUE(dib) << rv::RVLastErrorText();
        EXPECT_EQ(rvtest::dibToRgb(dib.get()), expected[i]);
        rv::RVFileInfo info;
        ASSERT_TRUE(rv::fileinfo(paths[i], info));
        EXPECT_EQ(info.type, "TIF");
        EXPECT_EQ(info.width, 33);
        EXPECT_EQ(info.height, 21);
    }
    std::vector<std::uint8_t> bytes = lqtest::readFile(paths[0]);
    bytes.resize(bytes.size() / 2);
    lqtest::writeFile(dir.file("cut.tif"), bytes);
    const std::size_t before = lqMemLiveBlocks();
    EXPECT_EQ(rv::readtiffiledib(dir.file("cut.tif"), 0), nullptr);
    EXPECT_LT(rv::RVLastErrorCode(), 0);
    EXPECT_EQ(rv::RVLastErrorText().rfind("TIFF: ", 0), 0u) << rv::RVLastErrorText();
    EXPECT_EQ(rv::readtiffiledib(dir.file("missing.tif"), 0), nullptr);
    EXPECT_EQ(rv::RVLastErrorCode(), rv::kRVErrOpen);
    EXPECT_EQ(lqMemLiveBlocks(), before);
}

}  // namespace
