// libVellum32.so exports exactly the library's interface, nothing else.
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "tests/support/TestSupport.h"

TEST(Vellum32Exports, ExactlyTheInterface) {
    const auto r = lqtest::run("nm -D --defined-only " + lqtest::binaryDir() + "/lib/libVellum32.so");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    std::set<std::string> got;
    std::istringstream lines(r.output);
    std::string address, type, name;
    while (lines >> address >> type >> name) got.insert(name);
    const std::set<std::string> want = {
        "InitDLL", "readtiffile", "readtiffilestream", "readtiffiledib", "readtiffiledibstream", "getinfo", "getinfostream",
        "writetiffile", "writetiffilepage", "writetiffilepagereplace", "writetiffilestream",
        "writetiffilepagestream", "writetiffilepagereplacestream",
        "writetiffiledib", "writetiffiledibpage", "writetiffiledibpagereplace", "writetiffiledibstream",
        "writetiffiledibpagestream", "writetiffiledibpagereplacestream",
        "swappages", "movepage", "deletepage", "packtiff", "swappagesstream", "movepagestream",
        "deletepagestream", "packtiffstream", "returntags", "returntagsstream", "readtag", "readtagstream",
        "writetag", "writetagstream", "writetagstring", "writetagstringstream",
        "GetColorsInPalette", "DIB1to4", "DIB4To8", "DIB8To24", "DIB1To24", "DIB4To24", "DIB1To8", "DIB24To1",
        "DIB8To1", "DIB4To1", "ImgIncreaseColors", "ImgReduceColors", "DitherToBW", "ReduceColorToColor",
        "ColorToGrayscale", "GetPalette", "ConvertDib", "ConvertDib2", "ReduceDib", "ReduceDib2",
    };
    EXPECT_EQ(got, want);
}
