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

}  // namespace

namespace {

// Until libVellum32.so exports its reader, a TIFF load fails with the import layer's reason.
TEST(RVImport, TiffLoadFailsCleanlyWithoutAReader) {
    lqtest::TempDir dir;
    const std::string path = dir.file("a.tif");
    rvtest::python("Image.new('RGB', (8, 8), (1, 2, 3)).save('" + path + "')");
    const std::size_t before = lqMemLiveBlocks();
    EXPECT_EQ(rv::readtiffiledib(path, 0), nullptr);
    EXPECT_EQ(rv::RVLastErrorCode(), rv::kRVErrLibrary);
    EXPECT_EQ(rv::RVLastErrorText(), "libVellum32.so has no function readtiffiledib");
    EXPECT_EQ(lqMemLiveBlocks(), before);
}

}  // namespace
