#include <gtest/gtest.h>

#include <algorithm>

#include "tests/rastervane/RVTestUtil.h"
#include "tests/support/TestSupport.h"

namespace {

std::string lqimage() { return lqtest::binaryDir() + "/bin/lqimage"; }

TEST(Lqimage, InfoAndConvert) {
    lqtest::TempDir dir;
    const std::string src = dir.file("src.ppm");
    const rvtest::Rgb image = rvtest::pattern(600, 300);
    rvtest::writePpm(src, image);
    rvtest::python("Image.open('" + src + "').save('" + dir.file("a.png") + "')");

    auto r = lqtest::run(lqimage() + " info " + dir.file("a.png"));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, dir.file("a.png") + ": PNG 600x300 24 bits 5.08x2.54 cm\n");

    // Every writable format from a PNG, then back to PNG.
    for (const char* ext : {".bmp", ".pcx", ".tga", ".png"}) {
        SCOPED_TRACE(ext);
        const std::string out = dir.file(std::string("b") + ext);
        r = lqtest::run(lqimage() + " convert " + dir.file("a.png") + " " + out);
        ASSERT_EQ(r.exitCode, 0) << r.output;
        EXPECT_EQ(r.output, "");
        const std::string back = dir.file(std::string("back") + ext + ".png");
        ASSERT_EQ(lqtest::run(lqimage() + " convert " + out + " " + back).exitCode, 0);
        EXPECT_EQ(rvtest::pillowDecode(back), image);
    }
    r = lqtest::run(lqimage() + " convert " + dir.file("a.png") + " " + dir.file("c.tiff"));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, dir.file("c.tiff") + ".jpg\n");  // the name actually written
}

TEST(Lqimage, FailuresExitNonZeroWithOneLine) {
    lqtest::TempDir dir;
    lqtest::writeFile(dir.file("bad.bmp"), std::string("BM not really"));
    struct Case { std::string args; int status; std::string output; };
    const Case cases[] = {
        {"info " + dir.file("missing.png"), 1, "lqimage: " + dir.file("missing.png") + ": Can't open file "},
        {"convert " + dir.file("missing.png") + " " + dir.file("x.bmp"), 1, "lqimage: " + dir.file("missing.png") + ": Input filename isn't valid\n"},
        {"convert " + dir.file("bad.bmp") + " " + dir.file("x.png"), 1, "lqimage: " + dir.file("bad.bmp") + ": BMP: file ends inside its header\n"},
        {"convert onlyone", 2, "usage:"},
        {"frobnicate", 2, "usage:"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const auto r = lqtest::run(lqimage() + " " + c.args);
        EXPECT_EQ(r.exitCode, c.status);
        EXPECT_EQ(r.output.rfind(c.output, 0), 0u) << r.output;
        if (c.status == 1) {
            EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 1);
        }
    }
}

}  // namespace
