// The exports of libQuadrant32.so: metafiles, device bitmaps, DIBs and sizes of drawings, their
// stream forms, progress and cancel, and what they do with bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "dxflib/DxfError.h"
#include "dxflib/Quadrant32.h"
#include "platform/LastError.h"
#include "tests/dxflib/DxfTestSupport.h"
#include "tests/platform/GdiTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

using lqp::ColorRef;
using lqp::rgb;
using lqtest::ascii;
using lqtest::entities;
using lqtest::Groups;
using lqtest::line;
using lqtest::operator+;

// A drawing in a memory block, as the stream forms take it.
class Stream {
public:
    explicit Stream(const std::string& text) : block_(lqMemAlloc(text.size())), lock_(block_.get()) {
        std::copy(text.begin(), text.end(), lock_.data());
    }
    const void* address() const { return lock_.data(); }
    std::uint32_t length() const { return std::uint32_t(lqMemSize(block_.get())); }
private:
    lqp::MemOwner block_;
    lqp::MemLock lock_;
};

struct Record {
    std::uint16_t function;
    std::vector<std::int16_t> params;
};

bool collect(const LqMetaRecord* r, void* user) {
    static_cast<std::vector<Record>*>(user)->push_back({r->function, {r->params, r->params + r->count}});
    return true;
}

std::vector<Record> recordsOf(const std::string& text) {
    Stream s(text);
    HLQMETAFILE m = nullptr;
    EXPECT_EQ(readdxftowmfstream(s.address(), s.length(), &m, 0, nullptr, 0), 1);
    std::vector<Record> out;
    lqEnumMetafile(m, collect, &out);
    lqDeleteMetafile(m);
    return out;
}

ColorRef colorOf(const Record& r, int at) {
    return ColorRef(std::uint16_t(r.params[std::size_t(at)])) | (ColorRef(std::uint16_t(r.params[std::size_t(at + 1)])) << 16);
}

// The pen (style, colour) in force for each drawing record of the given function.
std::vector<std::pair<int, ColorRef>> pensOf(const std::vector<Record>& records, std::uint16_t function) {
    std::vector<std::pair<int, ColorRef>> out;
    std::pair<int, ColorRef> pen{kLqPenSolid, 0};
    for (const Record& r : records) {
        if (r.function == kLqMetaSelectPen) pen = {r.params[0], colorOf(r, 2)};
        if (r.function == function) out.push_back(pen);
    }
    return out;
}

// The bitmap of readdxftoddb as a 24-bit DIB.
lqtest::PackedDib bitmapOf(const std::string& text) {
    Stream s(text);
    HLQBITMAP b = nullptr;
    HLQPALETTE p = nullptr;
    EXPECT_EQ(readdxftoddbstream(s.address(), s.length(), 0, 0, &b, &p, 0, nullptr, 0), 1);
    lqtest::PackedDib out(800, 600, 24);
    EXPECT_EQ(lqGetDIBits(nullptr, b, 0, 600, out.data(), out.size()), 600);
    lqDeleteBitmap(b);
    lqDeletePalette(p);
    return out;
}

TEST(Quadrant, TheTenByFiveDrawingReportsItsOutputExtentAndEightBits) {
    lqtest::TempDir dir;
    const std::string text = ascii(entities(line(0, 0, 10, 5)));
    lqtest::writeFile(dir.file("a.dxf"), text);
    short w = 0, h = 0, bits = 0;
    ASSERT_EQ(getdxfinfo(dir.file("a.dxf").c_str(), &w, &h, &bits), 1);
    EXPECT_EQ(w, 29272);
    EXPECT_EQ(h, 14727);
    EXPECT_EQ(bits, 8);
    Stream s(text);
    w = h = bits = 0;
    ASSERT_EQ(getdxfinfostream(s.address(), s.length(), &w, &h, &bits), 1);
    EXPECT_EQ(w, 29272);
    EXPECT_EQ(h, 14727);
}

TEST(Quadrant, DeviceBitmapsAreAlways800By600AndStretchTheDrawing) {
    lqtest::GdiLeakCheck leaks;
    lqtest::TempDir dir;
    // A square drawing: a circle touching all four sides.
    lqtest::writeFile(dir.file("c.dxf"), ascii(entities({{0, "CIRCLE"}, {10, "50"}, {20, "50"}, {40, "50"}})));
    for (short size : {0, 100, 2000}) {
        HLQBITMAP b = nullptr;
        HLQPALETTE p = nullptr;
        ASSERT_EQ(readdxftoddb(dir.file("c.dxf").c_str(), size, size, &b, &p, 0, nullptr, 0), 1);
        LqBitmapInfo info{};
        ASSERT_TRUE(lqGetBitmapInfo(b, &info));
        EXPECT_EQ(info.width, 800);
        EXPECT_EQ(info.height, 600);
        EXPECT_EQ(info.bitCount, 24);
        EXPECT_EQ(lqGetPaletteEntries(p, 0, 0, nullptr), 256u);
        lqtest::PackedDib d(800, 600, 24);
        lqGetDIBits(nullptr, b, 0, 600, d.data(), d.size());
        int left = 800, right = -1, top = 600, bottom = -1;
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x)
                if (d.color(x, y) != rgb(0, 0, 0)) {
                    left = std::min(left, x), right = std::max(right, x);
                    top = std::min(top, y), bottom = std::max(bottom, y);
                }
        EXPECT_LE(left, 1);
        EXPECT_GE(right, 795);  // the margin takes a few pixels
        EXPECT_LE(top, 1);
        EXPECT_GE(bottom, 595);
        lqDeleteBitmap(b);
        lqDeletePalette(p);
    }
}

TEST(Quadrant, ACallersPaletteIsUsedAndLeftToTheCaller) {
    lqtest::GdiLeakCheck leaks;
    const LqPaletteEntry entries[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    HLQPALETTE mine = lqCreatePalette(entries, 2);
    HLQPALETTE p = mine;
    HLQBITMAP b = nullptr;
    Stream s(ascii(entities(line(0, 0, 10, 5))));
    ASSERT_EQ(readdxftoddbstream(s.address(), s.length(), 0, 0, &b, &p, 0, nullptr, 0), 1);
    EXPECT_EQ(p, mine);
    EXPECT_TRUE(lqDeleteBitmap(b));
    EXPECT_TRUE(lqDeletePalette(mine));
}

TEST(Quadrant, ByBlockComesFromTheNearestInsertThatSetsItAndSwitchedOffLayersStillDraw) {
    const Groups tables = {{0, "SECTION"}, {2, "TABLES"},
                           {0, "TABLE"}, {2, "LTYPE"}, {70, "1"}, {0, "LTYPE"}, {2, "DASHED"}, {73, "2"}, {0, "ENDTAB"},
                           {0, "TABLE"}, {2, "LAYER"}, {70, "1"}, {0, "LAYER"}, {2, "OFF"}, {62, "-5"}, {0, "ENDTAB"},
                           {0, "ENDSEC"}};
    const Groups blocks = Groups{{0, "SECTION"}, {2, "BLOCKS"}, {0, "BLOCK"}, {2, "B"}} +
                          line(0, 0, 1, 0, {{62, "0"}, {6, "BYBLOCK"}}) +
                          Groups{{0, "ENDBLK"}, {0, "BLOCK"}, {2, "OUTER"},
                                 {0, "INSERT"}, {2, "B"}, {10, "0"}, {20, "0"}, {62, "0"}, {6, "BYBLOCK"},
                                 {0, "ENDBLK"}, {0, "ENDSEC"}};
    const std::string text = ascii(tables + blocks +
                                   entities(Groups{{0, "INSERT"}, {2, "B"}, {10, "0"}, {20, "5"}, {62, "3"},
                                                   {0, "INSERT"}, {2, "OUTER"}, {10, "3"}, {20, "5"}, {62, "1"}, {6, "DASHED"}} +
                                            line(0, 0, 1, 1, {{62, "0"}}) + line(5, 5, 9, 9, {{8, "OFF"}})));
    const std::vector<std::pair<int, ColorRef>> expected = {{kLqPenSolid, rgb(0, 255, 0)},    // BYBLOCK in INSERT 3
                                                            {kLqPenDot, rgb(255, 0, 0)},      // through a BYBLOCK INSERT
                                                            {kLqPenSolid, rgb(255, 255, 255)},  // BYBLOCK outside: 7
                                                            {kLqPenSolid, rgb(0, 0, 255)}};   // layer of colour -5
    EXPECT_EQ(pensOf(recordsOf(text), kLqMetaLineTo), expected);
}

TEST(Quadrant, TextsBecomeArialOfTheirCellHeightAverageWidthAndDirection) {
    // Scale 32000 / 11 -> 2909 on a 10 x 5 drawing; the text 2 high, turned by 30 degrees.
    const std::string text = ascii(entities(line(0, 0, 10, 5) + Groups{{0, "TEXT"}, {10, "1"}, {20, "2"}, {40, "2"},
                                                                       {50, "30"}, {1, "Ab"}}));
    const std::vector<Record> records = recordsOf(text);
    std::vector<Record> fonts, texts;
    for (const Record& r : records) {
        if (r.function == kLqMetaSelectFont && r.params[0] != 16) fonts.push_back(r);  // 16: the system font
        if (r.function == kLqMetaTextOut) texts.push_back(r);
    }
    ASSERT_EQ(fonts.size(), 1u);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(fonts[0].params[0], 5818);                 // cell height 2 x 2909
    EXPECT_EQ(fonts[0].params[1], 4363);                 // average width 0.75 x 2 x 2909
    EXPECT_EQ(fonts[0].params[2], 300);                  // escapement
    // At (1, 2), y turned down from the text box's top corner, 2 + 0.75 x 2 x 2 sin 30 + 2 cos 30 high.
    const double top = 2 + 1.5 * 2 * 0.5 + 2 * std::cos(M_PI / 6);
    EXPECT_EQ(texts[0].params, (std::vector<std::int16_t>{2909, std::int16_t((top - 2) * 2909)}));
}

TEST(Quadrant, SolidsAreFilledAroundTheirOutlineAndLineChainsDoNotMoveTwice) {
    // DXF corner order of a SOLID: 1 2 on one side, 3 4 on the other, outline 1-2-4-3.
    const std::string text = ascii(entities(
        Groups{{0, "SOLID"}, {10, "0"}, {20, "0"}, {11, "10"}, {21, "0"}, {12, "0"}, {22, "10"}, {13, "10"}, {23, "10"}} +
        line(20, 0, 30, 10) + line(40, 0, 30, 10) + line(40, 0, 50, 5)));
    const std::vector<Record> records = recordsOf(text);
    std::vector<Record> drawing;
    for (const Record& r : records)
        if (r.function == kLqMetaPolygon || r.function == kLqMetaMoveTo || r.function == kLqMetaLineTo) drawing.push_back(r);
    ASSERT_EQ(drawing.size(), 5u);
    // Scale 32000 / 51 -> 627; y turns down from the top of the drawing (10).
    const std::vector<std::int16_t> square = {0, 6270, 6270, 6270, 6270, 0, 0, 0};
    EXPECT_EQ(drawing[0].function, kLqMetaPolygon);
    EXPECT_EQ(drawing[0].params, square);
    EXPECT_EQ(drawing[1].function, kLqMetaMoveTo);  // A
    EXPECT_EQ(drawing[1].params, (std::vector<std::int16_t>{12540, 6270}));
    EXPECT_EQ(drawing[2].function, kLqMetaLineTo);  // to B
    EXPECT_EQ(drawing[2].params, (std::vector<std::int16_t>{18810, 0}));
    EXPECT_EQ(drawing[3].function, kLqMetaLineTo);  // C to B, drawn from B to C
    EXPECT_EQ(drawing[3].params, (std::vector<std::int16_t>{25080, 6270}));
    EXPECT_EQ(drawing[4].function, kLqMetaLineTo);  // starts where the pen stands
    // The filled square covers its left middle, which a bow tie 1-2-3-4 would leave out.
    const lqtest::PackedDib d = bitmapOf(text);
    EXPECT_EQ(d.color(10, 300), rgb(255, 255, 255));
}

TEST(Quadrant, DrawingsLargerThan32000UnitsStillDraw) {
    const lqtest::PackedDib d = bitmapOf(ascii(entities(line(0, 0, 1e6, 1e6) + line(0, 1e6, 1e6, 0))));
    int lit = 0;  // rows where the diagonal from the top left corner shows
    for (int y = 0; y < 600; ++y) {
        const int x = 800 * y / 600;
        lit += d.color(x, y) != rgb(0, 0, 0) || d.color(std::max(0, x - 1), y) != rgb(0, 0, 0) ||
               d.color(std::min(799, x + 1), y) != rgb(0, 0, 0);
    }
    EXPECT_GT(lit, 590);
}

struct Calls {
    std::vector<int> percents;
    int cancelAt = -1;
};

Calls* gCalls = nullptr;
short recordProgress(std::int32_t percent, std::int32_t user) {
    EXPECT_EQ(user, 77);
    gCalls->percents.push_back(percent);
    return gCalls->cancelAt >= 0 && int(gCalls->percents.size()) > gCalls->cancelAt ? 0 : 1;
}

TEST(Quadrant, ProgressGrowsToAHundredAndACancelFails) {
    lqtest::GdiLeakCheck leaks;
    Groups many;
    for (int i = 0; i < 100; ++i) many = many + line(i, 0, i, 1);
    for (const std::string& text : {ascii(entities(line(0, 0, 1, 1))), ascii(entities(many))}) {
        Calls calls;
        gCalls = &calls;
        Stream s(text);
        HLQMETAFILE m = nullptr;
        ASSERT_EQ(readdxftowmfstream(s.address(), s.length(), &m, 77, recordProgress, 0), 1);
        lqDeleteMetafile(m);
        ASSERT_FALSE(calls.percents.empty());
        EXPECT_EQ(calls.percents.back(), 100);
        EXPECT_TRUE(std::is_sorted(calls.percents.begin(), calls.percents.end()));

        Calls cancel;
        cancel.cancelAt = 0;
        gCalls = &cancel;
        m = reinterpret_cast<HLQMETAFILE>(1);
        EXPECT_EQ(readdxftowmfstream(s.address(), s.length(), &m, 77, recordProgress, 0), -1);
        EXPECT_EQ(m, nullptr);
        EXPECT_EQ(cancel.percents.size(), 1u);
        EXPECT_EQ(lqdxf::errorText(lqGetLastError()), "DXF: cancelled");
    }
    gCalls = nullptr;
}

TEST(Quadrant, BadSourcesFailWithTheirReasonAndLeaveNothingBehind) {
    lqtest::GdiLeakCheck leaks;
    short w = 0, h = 0, bits = 0;
    EXPECT_EQ(getdxfinfo("/nonexistent/x.dxf", &w, &h, &bits), -1);
    EXPECT_EQ(lqGetLastError(), 1u);
    EXPECT_EQ(getdxfinfo(nullptr, &w, &h, &bits), -1);
    const std::string bad = ascii(entities({{0, "POINT"}, {10, "x"}}));
    Stream s(bad);
    EXPECT_EQ(getdxfinfostream(s.address(), s.length(), &w, &h, &bits), -1);
    EXPECT_EQ(lqGetLastError(), 7u * 256 + 2 + 3);
    EXPECT_EQ(lqdxf::errorText(lqGetLastError()), "DXF: 7: syntax error in a group code or number");
    // Not the address of a block, or a length past the block: refused before any byte is read.
    const char outside[] = "  0\nEOF\n";
    EXPECT_EQ(getdxfinfostream(outside, sizeof outside, &w, &h, &bits), -1);
    EXPECT_EQ(getdxfinfostream(s.address(), s.length() + 1, &w, &h, &bits), -1);
    EXPECT_EQ(getdxfinfostream(nullptr, 0, &w, &h, &bits), -1);  // empty: nothing to draw
    HLQBITMAP b = reinterpret_cast<HLQBITMAP>(1);
    EXPECT_EQ(readdxftoddbstream(s.address(), s.length(), 0, 0, &b, nullptr, 0, nullptr, 0), -1);
    EXPECT_EQ(b, nullptr);
    HLQMEM dib = reinterpret_cast<HLQMEM>(1);
    EXPECT_EQ(readdxftodibstream(s.address(), s.length(), 24, 0, &dib, 0, nullptr, 0), -1);
    EXPECT_EQ(dib, nullptr);
    EXPECT_EQ(readdxftowmf("x.dxf", nullptr, 0, nullptr, 0), -1);

    // Every truncation of a real drawing either reads or fails cleanly.
    const std::string good = ascii(entities(line(0, 0, 10, 5) + Groups{{0, "CIRCLE"}, {10, "3"}, {20, "3"}, {40, "2"}}));
    for (std::size_t n = 0; n < good.size(); n += 3) {
        Stream cut(good.substr(0, n));
        HLQMETAFILE m = nullptr;
        const short r = readdxftowmfstream(cut.address(), cut.length(), &m, 0, nullptr, 0);
        EXPECT_EQ(r == 1, m != nullptr);
        lqDeleteMetafile(m);
    }
}

TEST(Quadrant, DibsAre800By600AtTheRequestedDepthInTheDxfColours) {
    lqtest::GdiLeakCheck leaks;
    const std::string text = ascii(entities(line(0, 0, 10, 5, {{62, "1"}}) + line(0, 5, 10, 0, {{62, "7"}}) +
                                            line(0, 2, 10, 2, {{62, "30"}})));
    const lqtest::PackedDib screen = bitmapOf(text);
    Stream s(text);
    for (short bits : {24, 8, 4, 1}) {
        HLQMEM dib = nullptr;
        ASSERT_EQ(readdxftodibstream(s.address(), s.length(), bits, 0, &dib, 0, nullptr, 0), 1) << bits;
        lqp::MemOwner owner(dib);
        lqp::MemLock lock(dib);
        lqtest::PackedDib d(1, 1, 24);
        ASSERT_NO_THROW(d = lqtest::PackedDib::fromPacked({lock.data(), lock.data() + lqMemSize(dib)})) << bits;
        EXPECT_EQ(d.header().width, 800);
        EXPECT_EQ(d.header().height, 600);
        EXPECT_EQ(d.header().bitCount, bits);
        int differences = 0;  // against the device bitmap
        for (int y = 0; y < 600; y += 3)
            for (int x = 0; x < 800; x += 3) {
                const ColorRef want = screen.color(x, y);
                ColorRef expected = want;
                if (bits == 1) expected = want == rgb(0, 0, 0) || want == rgb(255, 0, 0) ? rgb(0, 0, 0) : rgb(255, 255, 255);
                if (bits == 4 && want == rgb(255, 127, 0)) expected = rgb(255, 0, 0);  // colour 30 is not among the first 16
                differences += d.color(x, y) != expected;
            }
        EXPECT_EQ(differences, 0) << bits << " bits";
        if (bits == 8) {
            EXPECT_EQ(d.tableEntry(30), rgb(255, 127, 0));
            EXPECT_EQ(d.tableEntry(255), rgb(255, 255, 255));  // all 256 DXF colours
        }
    }
}

TEST(Quadrant, ExportsExactlyItsInterface) {
    const auto r = lqtest::run("nm -D --defined-only " +
                               lqtest::shellQuote(lqtest::binaryDir() + "/lib/libQuadrant32.so") +
                               " | awk '{print $3}' | LC_ALL=C sort");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    std::vector<std::string> expected = {
        "InitDLL", "readdxftowmf", "readdxftoddb", "readdxftodib", "getdxfinfo", "readdxftowmfstream",
        "readdxftoddbstream", "readdxftodibstream", "getdxfinfostream",
        "GetColorsInPalette", "DIB1to4", "DIB4To8", "DIB8To24", "DIB1To24", "DIB4To24", "DIB1To8", "DIB24To1",
        "DIB8To1", "DIB4To1", "ImgIncreaseColors", "ImgReduceColors", "DitherToBW", "ReduceColorToColor",
        "ColorToGrayscale", "GetPalette", "ConvertDib", "ConvertDib2", "ReduceDib", "ReduceDib2"};
    std::sort(expected.begin(), expected.end());
    std::string list;
    for (const std::string& name : expected) list += name + "\n";
    EXPECT_EQ(r.output, list);
}

}  // namespace
