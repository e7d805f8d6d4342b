// lqimage resize, resize-part and .QJG conversion: the files it writes read right in Pillow
// and hold what the image object makes in the process.
#include <gtest/gtest.h>

#include <QRect>

#include <algorithm>

#include "imaging/LQDib.h"
#include "tests/rastervane/RVTestUtil.h"
#include "tests/support/TestSupport.h"

namespace {

std::string lqimage() { return lqtest::binaryDir() + "/bin/lqimage"; }

class LqimageResize : public testing::Test {
protected:
    void SetUp() override {
        rvtest::writePpm(dir.file("src.ppm"), rvtest::pattern(300, 200));
        rvtest::python("Image.open('" + dir.file("src.ppm") + "').save('" + png + "')");
        ASSERT_TRUE(source.LoadFromFile(QString::fromStdString(png)));
    }
    lqtest::CommandResult run(const std::string& args) { return lqtest::run(lqimage() + " " + args); }

    lqtest::TempDir dir;
    std::string png = dir.file("a.png");
    TLQDib source;
};

TEST_F(LqimageResize, ResizeWritesWhatMakeScaledCopyMakes) {
    struct Case {
        std::string options;
        int filter;
    };
    for (const Case& c : {Case{"--filter 6", 6}, Case{"--filter 1", 1}, Case{"", 4}}) {
        SCOPED_TRACE(c.options);
        const std::string out = dir.file("r.bmp");
        const auto r = run("resize " + png + " " + out + " 450x130 " + c.options);
        ASSERT_EQ(0, r.exitCode) << r.output;
        const std::unique_ptr<TLQDib> expected = source.MakeScaledCopy(450, 130, 0, 0, nullptr, c.filter);
        ASSERT_TRUE(expected);
        EXPECT_EQ(rvtest::dibToRgb(expected->GetDibHandle()), rvtest::pillowDecode(out));
    }
}

TEST_F(LqimageResize, ResizePartMakesATileOrTheUnscaledRectangle) {
    const std::string tile = dir.file("tile.png");
    auto r = run("resize-part " + png + " " + tile + " 40,30,100,80 512x410 --filter 7");
    ASSERT_EQ(0, r.exitCode) << r.output;
    const std::unique_ptr<TLQDib> expected = source.MakeScaledPart(512, 410, QRect(40, 30, 100, 80), nullptr, 7);
    ASSERT_TRUE(expected);
    EXPECT_EQ(rvtest::dibToRgb(expected->GetDibHandle()), rvtest::pillowDecode(tile));

    // Filter 0: the rectangle at the image's own resolution, as Pillow crops it.
    const std::string crop = dir.file("crop.png");
    r = run("resize-part " + png + " " + crop + " 40,30,100,80 512x410 --filter 0");
    ASSERT_EQ(0, r.exitCode) << r.output;
    rvtest::python("Image.open('" + png + "').crop((40, 30, 140, 110)).save('" + dir.file("pillow-crop.ppm") + "')");
    EXPECT_EQ(rvtest::readPpm(dir.file("pillow-crop.ppm")), rvtest::pillowDecode(crop));
}

TEST_F(LqimageResize, ConvertsToAndFromQjg) {
    const std::string qjg = dir.file("b.qjg");
    auto r = run("convert " + png + " " + qjg);
    ASSERT_EQ(0, r.exitCode) << r.output;
    const std::vector<std::uint8_t> file = lqtest::readFile(qjg);
    const std::string signature = "Lumenquiltworks 97 Image File";
    ASSERT_GT(file.size(), signature.size());
    EXPECT_TRUE(std::equal(signature.begin(), signature.end(), file.begin()));
    // The JPEG inside begins at its start-of-image marker; Pillow decodes it as we read the file.
    const std::vector<std::uint8_t> soi = {0xFF, 0xD8, 0xFF};
    const auto jpegStart = std::search(file.begin(), file.end(), soi.begin(), soi.end());
    ASSERT_NE(file.end(), jpegStart);
    lqtest::writeFile(dir.file("inner.jpg"), std::vector<std::uint8_t>(jpegStart, file.end()));

    const std::string back = dir.file("back.png");
    r = run("convert " + qjg + " " + back);
    ASSERT_EQ(0, r.exitCode) << r.output;
    const rvtest::Rgb decoded = rvtest::pillowDecode(back);
    EXPECT_LE(rvtest::maxDifference(rvtest::pillowDecode(dir.file("inner.jpg")), decoded), 1);
    EXPECT_EQ(300, decoded.width);
    EXPECT_EQ(200, decoded.height);
}

TEST_F(LqimageResize, BadArgumentsExitWithOneLine) {
    const std::string out = dir.file("x.bmp");
    struct Case {
        std::string args;
        int status;
        std::string output;
    };
    const Case cases[] = {
        {"resize " + png + " " + out + " 450", 1, "lqimage: not WIDTHxHEIGHT: 450\n"},
        {"resize " + png + " " + out + " 450xabc", 1, "lqimage: not WIDTHxHEIGHT: 450xabc\n"},
        {"resize " + png + " " + out + " 450x100 --filter 8", 1, "lqimage: expected --filter N (0..7) after the sizes\n"},
        {"resize " + png + " " + out + " 450x100 --size 3", 1, "lqimage: expected --filter N (0..7) after the sizes\n"},
        {"resize " + png + " " + out + " 450x100 --filter 0", 1, "lqimage: resize needs a filter 1..7 (0 does no resampling)\n"},
        {"resize " + png + " " + out + " 0x100", 1, "lqimage: cannot resample " + png + " to 0x100\n"},
        {"resize-part " + png + " " + out + " 1,2,3 10x10", 1, "lqimage: not LEFT,TOP,WIDTH,HEIGHT: 1,2,3\n"},
        {"resize-part " + png + " " + out + " 400,0,0,0 10x10", 1, "lqimage: cannot resample 400,0,0,0 of " + png + " to 10x10\n"},
        {"resize " + png, 2, "usage:"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const auto r = run(c.args);
        EXPECT_EQ(c.status, r.exitCode);
        EXPECT_EQ(0u, r.output.rfind(c.output, 0)) << r.output;
    }
    EXPECT_FALSE(lqtest::run("test -e " + out).exitCode == 0);
}

}  // namespace
