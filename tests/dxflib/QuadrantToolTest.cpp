// The quadrant tool on the sample drawing: info, BMP through readdxftodib, PNG and SVG at the
// drawing's own extent, and its failures.
#include <gtest/gtest.h>

#include "tests/support/TestSupport.h"

namespace {

std::string quadrant(const std::string& args) { return lqtest::binaryDir() + "/bin/quadrant " + args; }
std::string sample() { return lqtest::shellQuote(lqtest::sourceDir() + "/data/drawings/grundriss.dxf"); }

TEST(QuadrantTool, InfoAndRenderingsThatPillowAndPythonRead) {
    lqtest::TempDir dir;
    auto r = lqtest::run(quadrant("info " + sample()));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output, "31697 x 21137, 8 bits\n");

    const std::string bmp = lqtest::shellQuote(dir.file("g.bmp")), png = lqtest::shellQuote(dir.file("g.png")),
                      svg = lqtest::shellQuote(dir.file("g.svg"));
    ASSERT_EQ(lqtest::run(quadrant("render " + sample() + " " + bmp + " --bits 8")).exitCode, 0);
    ASSERT_EQ(lqtest::run(quadrant("render " + sample() + " " + png + " --scale 4")).exitCode, 0);
    ASSERT_EQ(lqtest::run(quadrant("render " + sample() + " " + svg)).exitCode, 0);
    // The walls (colour 7), the yellow texts and the dashed line of the blue layer show in both
    // pictures; at 4 pixels a unit the dashed line is row 60 and the right wall (anti-aliased
    // grey) column 480.
    r = lqtest::runPython("from PIL import Image\n"
                          "import xml.etree.ElementTree as ET\n"
                          "b = Image.open(" + bmp + ")\n"
                          "p = Image.open(" + png + ").convert('RGB')\n"
                          "print(b.size, b.mode, p.size)\n"
                          "print(sorted(set(b.convert('RGB').getdata()) & {(255,255,255), (0,0,255), (255,255,0)}))\n"
                          "dashes = sum(1 for x in range(p.width) if p.getpixel((x, 60))[2] > 100)\n"
                          "wall = p.getpixel((480, 100))\n"
                          "print(0.3 < dashes / p.width < 0.9, wall[0] == wall[1] == wall[2] > 150)\n"
                          "root = ET.parse(" + svg + ").getroot()\n"
                          "print(root.get('width'), root.get('height'), len(list(root.iter('{http://www.w3.org/2000/svg}path'))) > 20)\n");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output,
              "(800, 600) P (481, 321)\n"
              "[(0, 0, 255), (255, 255, 0), (255, 255, 255)]\n"
              "True True\n"
              "121pt 81pt True\n");
}

TEST(QuadrantTool, FailuresPrintOneLine) {
    lqtest::TempDir dir;
    lqtest::writeFile(dir.file("bad.dxf"), std::string("  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n 10\n1,5\n"));
    struct Case { std::string args; int exitCode; std::string output; };
    const Case cases[] = {
        {"info " + lqtest::shellQuote(dir.file("bad.dxf")), 1, "quadrant: DXF: 7: syntax error in a group code or number\n"},
        {"info /nonexistent.dxf", 1, "quadrant: DXF: the file cannot be opened or read\n"},
        {"render " + sample() + " " + lqtest::shellQuote(dir.file("x.gif")), 1, "quadrant: unknown output format: " + dir.file("x.gif") + "\n"},
        {"render " + sample() + " /nonexistent/x.png", 1, "quadrant: cannot write /nonexistent/x.png: error while writing to output stream\n"},
        {"render " + sample(), 2, ""},
    };
    for (const Case& c : cases) {
        const auto r = lqtest::run(quadrant(c.args));
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args;
        if (!c.output.empty()) {
            EXPECT_EQ(r.output, c.output) << c.args;
        }
    }
}

}  // namespace
