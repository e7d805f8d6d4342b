// Drawing calls, mapping, text and metafiles of the drawing layer.
#include <gtest/gtest.h>

#include <cairo-pdf.h>
#include <cairo-svg.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/GdiCairo.h"
#include "platform/GdiCodePage.h"
#include "platform/GdiMetafile.h"
#include "platform/LastError.h"
#include "tests/platform/GdiTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

using lqp::ColorRef;
using lqp::rgb;
using lqtest::PackedDib;

constexpr ColorRef kRed = rgb(255, 0, 0);
constexpr ColorRef kBlack = rgb(0, 0, 0);
constexpr ColorRef kWhite = rgb(255, 255, 255);

PackedDib pixelsOf(const lqtest::MemoryBitmap& b) {
    LqBitmapInfo info{};
    lqGetBitmapInfo(b.bitmap, &info);
    PackedDib out(info.width, info.height, 24);
    EXPECT_EQ(lqGetDIBits(nullptr, b.bitmap, 0, std::uint32_t(info.height), out.data(), out.size()), info.height);
    return out;
}

// The bounding box of the pixels that are not `background`; empty (x0 > x1) when none are.
struct Ink {
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
    int width() const { return x1 - x0 + 1; }
    int height() const { return y1 - y0 + 1; }
};

Ink inkOf(const PackedDib& d, ColorRef background) {
    Ink ink;
    for (int y = 0; y < d.header().height; ++y)
        for (int x = 0; x < d.header().width; ++x)
            if (d.color(x, y) != background) {
                ink.x0 = std::min(ink.x0, x);
                ink.x1 = std::max(ink.x1, x);
                ink.y0 = std::min(ink.y0, y);
                ink.y1 = std::max(ink.y1, y);
            }
    return ink;
}

// Selects a tool for the scope and deletes it afterwards.
struct Tool {
    Tool(HLQDC d, HLQGDIOBJ t) : dc(d), tool(t), previous(lqSelectObject(d, t)) { EXPECT_NE(previous, nullptr); }
    ~Tool() {
        lqSelectObject(dc, previous);
        EXPECT_TRUE(lqDeleteObject(tool));
    }
    HLQDC dc;
    HLQGDIOBJ tool;
    HLQGDIOBJ previous;
};

void clear(HLQDC dc, int w, int h, ColorRef c) {
    HLQGDIOBJ brush = lqCreateSolidBrush(c);
    HLQGDIOBJ oldBrush = lqSelectObject(dc, brush);
    HLQGDIOBJ oldPen = lqSelectObject(dc, lqGetStockObject(kLqNullPen));
    lqRectangle(dc, 0, 0, w + 1, h + 1);
    lqSelectObject(dc, oldPen);
    lqSelectObject(dc, oldBrush);
    lqDeleteObject(brush);
}

LqLogFont arial(std::int32_t height, std::int32_t width = 0, std::int32_t escapement = 0) {
    LqLogFont f{};
    f.height = height;
    f.width = width;
    f.escapement = escapement;
    f.weight = 400;
    std::strcpy(f.faceName, "Arial");
    return f;
}

TEST(GdiDraw, LinesShapesAndBrushesOnAColourBitmap) {
    lqtest::GdiLeakCheck leaks;
    lqtest::MemoryBitmap b(40, 30, 24);
    clear(b.dc, 40, 30, kWhite);
    {
        Tool pen(b.dc, lqCreatePen(kLqPenSolid, 1, kRed));
        Tool brush(b.dc, lqCreateSolidBrush(rgb(0, 0, 255)));
        EXPECT_TRUE(lqMoveTo(b.dc, 2, 2, nullptr));
        EXPECT_TRUE(lqLineTo(b.dc, 30, 2));
        EXPECT_TRUE(lqRectangle(b.dc, 5, 10, 15, 20));
        EXPECT_TRUE(lqEllipse(b.dc, 20, 10, 36, 26));
    }
    const PackedDib d = pixelsOf(b);
    for (int x = 3; x < 29; ++x) EXPECT_EQ(d.color(x, 2), kRed) << x;
    EXPECT_EQ(d.color(2, 3), kWhite);
    EXPECT_EQ(d.color(5, 15), kRed);                // outline, left edge inclusive
    EXPECT_EQ(d.color(14, 15), kRed);               // right edge at right - 1
    EXPECT_EQ(d.color(15, 15), kWhite);             // the right edge itself is outside
    EXPECT_EQ(d.color(10, 15), rgb(0, 0, 255));     // filled
    EXPECT_EQ(d.color(28, 18), rgb(0, 0, 255));     // ellipse centre
    EXPECT_EQ(d.color(20, 10), kWhite);             // ellipse corner stays empty
    EXPECT_EQ(lqSetPixel(b.dc, 39, 29, kRed), kRed);
    EXPECT_EQ(pixelsOf(b).color(39, 29), kRed);
}

TEST(GdiDraw, PolygonsFillEvenOddAndNullBrushesLeaveTheInside) {
    lqtest::GdiLeakCheck leaks;
    lqtest::MemoryBitmap b(30, 30, 24);
    clear(b.dc, 30, 30, kWhite);
    {
        Tool brush(b.dc, lqCreateSolidBrush(kRed));
        const LqPoint twice[] = {{2, 2}, {28, 2}, {28, 28}, {2, 28}, {2, 2}, {10, 10}, {20, 10}, {20, 20}, {10, 20}, {10, 10}};
        EXPECT_TRUE(lqPolygon(b.dc, twice, 10));
    }
    PackedDib d = pixelsOf(b);
    EXPECT_EQ(d.color(6, 4), kRed);
    EXPECT_EQ(d.color(15, 15), kWhite);  // the inner square is a hole
    HLQGDIOBJ old = lqSelectObject(b.dc, lqGetStockObject(kLqNullBrush));
    const LqPoint triangle[] = {{0, 0}, {29, 0}, {0, 29}};
    EXPECT_TRUE(lqPolygon(b.dc, triangle, 3));
    lqSelectObject(b.dc, old);
    d = pixelsOf(b);
    EXPECT_EQ(d.color(6, 4), kRed);  // inside untouched
    EXPECT_EQ(d.color(15, 0), kBlack);  // the stock black pen's outline
    EXPECT_FALSE(lqPolyline(b.dc, triangle, 1));
    EXPECT_EQ(lqGetLastError(), kLqErrInvalidParameter);
}

TEST(GdiDraw, MonochromeBitmapsTakeLightColoursAsWhite) {
    lqtest::GdiLeakCheck leaks;
    lqtest::MemoryBitmap b(20, 10, 1);
    Tool pen(b.dc, lqCreatePen(kLqPenSolid, 0, rgb(200, 200, 200)));
    lqMoveTo(b.dc, 0, 5, nullptr);
    lqLineTo(b.dc, 20, 5);
    const PackedDib d = pixelsOf(b);
    EXPECT_EQ(d.color(10, 5), kWhite);
    EXPECT_EQ(d.color(10, 4), kBlack);
}

TEST(GdiDraw, AnisotropicMappingScalesShapesButNotThinPens) {
    lqtest::GdiLeakCheck leaks;
    lqtest::MemoryBitmap b(100, 50, 24);
    clear(b.dc, 100, 50, kWhite);
    EXPECT_EQ(lqSetMapMode(b.dc, kLqMapAnisotropic), kLqMapText);
    EXPECT_TRUE(lqSetWindowExt(b.dc, 1000, 1000, nullptr));
    EXPECT_TRUE(lqSetViewportExt(b.dc, 100, 50, nullptr));
    EXPECT_FALSE(lqSetWindowExt(b.dc, 0, 10, nullptr));
    Tool pen(b.dc, lqCreatePen(kLqPenSolid, 1, kRed));
    lqMoveTo(b.dc, 0, 500, nullptr);
    lqLineTo(b.dc, 1000, 500);
    const PackedDib d = pixelsOf(b);
    const Ink ink = inkOf(d, kWhite);
    EXPECT_EQ(ink.height(), 1);   // one pixel wide at a tenth of the scale
    EXPECT_EQ(ink.y0, 25);
    EXPECT_GE(ink.width(), 99);
}

TEST(GdiDraw, ArcsRunCounterClockwiseOnTheDevice) {
    lqtest::GdiLeakCheck leaks;
    struct Case { LqPoint start, end; LqPoint inked, empty; };
    // Box 0..41 around the centre (20, 20), radius 20.
    const Case cases[] = {
        {{40, 20}, {20, 0}, {34, 6}, {6, 34}},    // right to top: the upper right quarter
        {{20, 0}, {40, 20}, {6, 34}, {34, 6}},    // top to right: the other three quarters
    };
    for (const Case& c : cases) {
        lqtest::MemoryBitmap b(41, 41, 24);
        clear(b.dc, 41, 41, kWhite);
        Tool pen(b.dc, lqCreatePen(kLqPenSolid, 3, kRed));
        EXPECT_TRUE(lqArc(b.dc, 0, 0, 41, 41, c.start.x, c.start.y, c.end.x, c.end.y));
        const PackedDib d = pixelsOf(b);
        EXPECT_EQ(d.color(c.inked.x, c.inked.y), kRed);
        EXPECT_EQ(d.color(c.empty.x, c.empty.y), kWhite);
    }
}

TEST(GdiText, ArialIsLiberationSansMeasuredLikePillowDrawsIt) {
    lqtest::GdiLeakCheck leaks;
    lqtest::TempDir dir;
    const auto r = lqtest::runPython(
        "from PIL import Image, ImageDraw, ImageFont\n"
        "f = ImageFont.truetype('/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf', 48)\n"
        "im = Image.new('L', (300, 100), 0)\n"
        "ImageDraw.Draw(im).text((10, 70), 'Hello', font=f, fill=255, anchor='ls')\n"
        "b = im.point(lambda v: 255 if v >= 128 else 0).getbbox()\n"
        "print(b[2] - b[0], b[3] - b[1])\n");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    int pillowWidth = 0, pillowHeight = 0;
    ASSERT_EQ(std::sscanf(r.output.c_str(), "%d %d", &pillowWidth, &pillowHeight), 2);

    lqtest::MemoryBitmap b(300, 100, 24);
    clear(b.dc, 300, 100, kWhite);
    LqLogFont f = arial(-48);  // an em of 48 pixels
    Tool font(b.dc, lqCreateFontIndirect(&f));
    lqSetBkMode(b.dc, kLqTransparent);
    lqSetTextAlign(b.dc, kLqAlignBaseline);
    EXPECT_TRUE(lqTextOut(b.dc, 10, 70, "Hello", 5));
    const Ink ink = inkOf(pixelsOf(b), kWhite);
    EXPECT_NEAR(ink.width(), pillowWidth, 2);
    EXPECT_NEAR(ink.height(), pillowHeight, 2);
    EXPECT_EQ(ink.y1, 69);  // no descenders: the ink ends on the baseline
}

TEST(GdiText, WidthEscapementAlignmentAndBackground) {
    lqtest::GdiLeakCheck leaks;
    auto inkFor = [](LqLogFont f, std::uint32_t align, int bkMode) {
        lqtest::MemoryBitmap b(400, 400, 24);
        clear(b.dc, 400, 400, kWhite);
        Tool font(b.dc, lqCreateFontIndirect(&f));
        lqSetTextAlign(b.dc, align);
        lqSetBkMode(b.dc, bkMode);
        lqSetBkColor(b.dc, rgb(0, 255, 0));
        lqTextOut(b.dc, 200, 200, "Wide\x80", 5);  // the euro sign of Windows-1252
        return inkOf(pixelsOf(b), kWhite);
    };
    const Ink narrow = inkFor(arial(40, 10), kLqAlignBaseline, kLqTransparent);
    const Ink wide = inkFor(arial(40, 20), kLqAlignBaseline, kLqTransparent);
    EXPECT_NEAR(double(wide.width()) / narrow.width(), 2.0, 0.1);
    const Ink up = inkFor(arial(40, 0, 900), kLqAlignBaseline, kLqTransparent);
    EXPECT_GT(up.height(), 2 * up.width());
    EXPECT_LE(up.x1, 200);  // written upwards, standing on the left of its baseline
    EXPECT_LT(up.y1, 200);
    const Ink top = inkFor(arial(40), kLqAlignTop, kLqTransparent);
    EXPECT_GE(top.y0, 200);
    const Ink bottom = inkFor(arial(40), kLqAlignBottom | kLqAlignRight, kLqTransparent);
    EXPECT_LT(bottom.y1, 200);
    EXPECT_LT(bottom.x1, 200);
    const Ink cell = inkFor(arial(40), kLqAlignTop, kLqOpaque);
    EXPECT_EQ(cell.height(), 40);  // the cell height is the font height
}

TEST(GdiText, Windows1252ConvertsBothWays) {
    const std::string cp = "A\x80\x8A\x9F\xA0\xDF\xFF";
    const std::string utf8 = "A\u20AC\u0160\u0178\u00A0\u00DF\u00FF";
    EXPECT_EQ(lqp::cp1252ToUtf8(cp), utf8);
    EXPECT_EQ(lqp::utf8ToCp1252(utf8), cp);
    // Characters the code page lacks, broken and cut sequences.
    EXPECT_EQ(lqp::utf8ToCp1252("\u4E00x\xC3(\xE2\x82"), "?x?(??");
}

struct Recorded {
    std::vector<std::uint16_t> functions;
    std::vector<std::vector<std::int16_t>> params;
    std::vector<std::string> texts;
};

bool collect(const LqMetaRecord* r, void* user) {
    auto* out = static_cast<Recorded*>(user);
    out->functions.push_back(r->function);
    out->params.emplace_back(r->params, r->params + r->count);
    out->texts.emplace_back(r->text ? std::string(r->text, r->textLength) : std::string());
    return true;
}

TEST(GdiMetafile, RecordsSixteenBitCallsInOrderAndRefusesWhatDoesNotFit) {
    lqtest::GdiLeakCheck leaks;
    HLQDC dc = lqCreateMetafileDC();
    HLQGDIOBJ pen = lqCreatePen(kLqPenDot, 1, rgb(1, 2, 3));
    HLQGDIOBJ old = lqSelectObject(dc, pen);
    EXPECT_FALSE(lqDeleteObject(pen));  // selected
    lqSetWindowExt(dc, 32000, 16000, nullptr);
    lqMoveTo(dc, 10, 20, nullptr);
    lqLineTo(dc, 30, 40);
    EXPECT_FALSE(lqLineTo(dc, 40000, 0));
    const LqPoint far[] = {{0, 0}, {-40000, 5}};
    EXPECT_FALSE(lqPolyline(dc, far, 2));
    lqTextOut(dc, 5, 6, "Ma\xDF", 3);
    lqSelectObject(dc, old);
    EXPECT_TRUE(lqDeleteObject(pen));
    HLQMETAFILE mf = lqCloseMetafile(dc);
    ASSERT_NE(mf, nullptr);
    EXPECT_FALSE(lqDeleteDC(dc));  // closing deleted the context

    Recorded r;
    ASSERT_TRUE(lqEnumMetafile(mf, collect, &r));
    const std::vector<std::uint16_t> expected = {kLqMetaSelectPen, kLqMetaSetWindowExt, kLqMetaMoveTo, kLqMetaLineTo,
                                                 kLqMetaTextOut, kLqMetaSelectPen};
    EXPECT_EQ(r.functions, expected);
    EXPECT_EQ(r.params[0], (std::vector<std::int16_t>{kLqPenDot, 1, 0x0201, 0x0003}));
    EXPECT_EQ(r.params[3], (std::vector<std::int16_t>{30, 40}));
    EXPECT_EQ(r.texts[4], "Ma\xDF");
    EXPECT_TRUE(lqDeleteMetafile(mf));
    EXPECT_FALSE(lqEnumMetafile(mf, collect, &r));
}

HLQMETAFILE sampleMetafile() {
    HLQDC dc = lqCreateMetafileDC();
    lqSetMapMode(dc, kLqMapAnisotropic);
    lqSetWindowOrg(dc, 0, 0, nullptr);
    lqSetWindowExt(dc, 1000, 1000, nullptr);
    HLQGDIOBJ brush = lqCreateSolidBrush(kRed);
    HLQGDIOBJ pen = lqCreatePen(kLqPenSolid, 1, rgb(0, 0, 255));
    HLQGDIOBJ oldBrush = lqSelectObject(dc, brush);
    HLQGDIOBJ oldPen = lqSelectObject(dc, pen);
    lqRectangle(dc, 100, 100, 500, 500);
    lqMoveTo(dc, 0, 900, nullptr);
    lqLineTo(dc, 1000, 900);
    lqSelectObject(dc, oldBrush);
    lqSelectObject(dc, oldPen);
    lqDeleteObject(brush);
    lqDeleteObject(pen);
    return lqCloseMetafile(dc);
}

TEST(GdiMetafile, PlaysScaledByTheTargetsViewportAndRestoresItsState) {
    lqtest::GdiLeakCheck leaks;
    HLQMETAFILE mf = sampleMetafile();
    lqtest::MemoryBitmap b(100, 100, 24);
    clear(b.dc, 100, 100, kWhite);
    lqSetMapMode(b.dc, kLqMapAnisotropic);
    lqSetWindowExt(b.dc, 1000, 1000, nullptr);
    lqSetViewportExt(b.dc, 100, 100, nullptr);
    HLQGDIOBJ stockPen = lqGetStockObject(kLqBlackPen);
    EXPECT_TRUE(lqPlayMetafile(b.dc, mf));
    const PackedDib d = pixelsOf(b);
    EXPECT_EQ(d.color(30, 30), kRed);
    EXPECT_EQ(d.color(10, 30), rgb(0, 0, 255));  // outline
    EXPECT_EQ(d.color(60, 30), kWhite);
    EXPECT_EQ(d.color(50, 90), rgb(0, 0, 255));
    EXPECT_EQ(d.color(50, 89), kWhite);
    HLQGDIOBJ probe = lqCreatePen(kLqPenSolid, 0, 0);
    EXPECT_EQ(lqSelectObject(b.dc, probe), stockPen);  // the played pen is gone again
    lqSelectObject(b.dc, stockPen);
    lqDeleteObject(probe);
    HLQDC recorder = lqCreateMetafileDC();
    EXPECT_FALSE(lqPlayMetafile(recorder, mf));
    lqDeleteMetafile(lqCloseMetafile(recorder));
    lqDeleteMetafile(mf);
}

TEST(GdiMetafile, PlaysIntoAPdfThatPopplerRendersAndAnSvg) {
    lqtest::GdiLeakCheck leaks;
    lqtest::TempDir dir;
    HLQMETAFILE mf = sampleMetafile();
    for (bool pdf : {true, false}) {
        const std::string path = dir.file(pdf ? "out.pdf" : "out.svg");
        cairo_surface_t* s = pdf ? cairo_pdf_surface_create(path.c_str(), 200, 200)
                                 : cairo_svg_surface_create(path.c_str(), 200, 200);
        HLQDC dc = lqCreateSurfaceDC(s, true);
        ASSERT_NE(dc, nullptr);
        lqSetMapMode(dc, kLqMapAnisotropic);
        lqSetViewportExt(dc, 200, 200, nullptr);
        EXPECT_TRUE(lqPlayMetafile(dc, mf));
        HLQBITMAP bitmap = lqCreateBitmap(1, 1, 1);
        EXPECT_EQ(lqSelectBitmap(dc, bitmap), nullptr);  // not a memory context
        lqDeleteBitmap(bitmap);
        lqDeleteDC(dc);
        cairo_surface_finish(s);
        EXPECT_EQ(cairo_surface_status(s), CAIRO_STATUS_SUCCESS);
        cairo_surface_destroy(s);
    }
    lqDeleteMetafile(mf);
    EXPECT_NE(lqtest::readFile(dir.file("out.svg")).size(), 0u);
    const auto r = lqtest::run("pdftoppm -r 72 -singlefile " + lqtest::shellQuote(dir.file("out.pdf")) + " " +
                               lqtest::shellQuote(dir.file("page")) + " && convert " +
                               lqtest::shellQuote(dir.file("page.ppm")) + " -format '%[pixel:p{60,60}] %[pixel:p{150,60}]' info:");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output, "srgb(255,0,0) srgb(255,255,255)");
}

}  // namespace
