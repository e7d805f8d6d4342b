// Reading DXF drawings: groups in both encodings, sections, tables, entities, blocks, extents.
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstring>

#include "dxflib/DxfGroups.h"
#include "tests/dxflib/DxfTestSupport.h"

namespace {

using lqdxf::Drawing;
using lqdxf::DxfError;
using lqdxf::EntityKind;
using lqdxf::Reason;
using lqtest::ascii;
using lqtest::entities;
using lqtest::Groups;
using lqtest::line;
using lqtest::operator+;

Drawing read(const std::string& text) {
    Drawing d;
    const DxfError e = lqtest::readText(text, d);
    EXPECT_EQ(e.reason, Reason::None) << "line " << e.line;
    return d;
}

DxfError failure(const std::string& text) {
    Drawing d;
    return lqtest::readText(text, d);
}

// Binary DXF groups with one-byte codes (R12).
struct Binary {
    std::vector<std::uint8_t> bytes;
    std::vector<std::size_t> ends;  // where each group ends
    Binary() {
        const char sentinel[] = "AutoCAD Binary DXF\r\n\x1a";
        bytes.assign(sentinel, sentinel + 22);
    }
    Binary& code(int c) {
        if (c >= 255) {
            bytes.push_back(255);
            bytes.push_back(std::uint8_t(c));
            bytes.push_back(std::uint8_t(c >> 8));
        } else {
            bytes.push_back(std::uint8_t(c));
        }
        return *this;
    }
    Binary& text(int c, const std::string& s) {
        code(c);
        bytes.insert(bytes.end(), s.begin(), s.end());
        bytes.push_back(0);
        ends.push_back(bytes.size());
        return *this;
    }
    Binary& real(int c, double v) {
        code(c);
        std::uint8_t b[8];
        std::memcpy(b, &v, 8);
        bytes.insert(bytes.end(), b, b + 8);
        ends.push_back(bytes.size());
        return *this;
    }
    Binary& int16(int c, std::int16_t v) {
        code(c);
        bytes.push_back(std::uint8_t(v));
        bytes.push_back(std::uint8_t(v >> 8));
        return *this;
    }
};

TEST(DxfGroups, CodesWithOrWithoutBlanksAndEveryLineEndReadTheSame) {
    const Groups g = entities(line(1, 2, 3, 4) + Groups{{0, "FOO"}, {8, "0"}} + line(5, 6, 7, 8));
    const std::string padded = ascii(g);
    std::string bare;
    for (const auto& [code, value] : g) bare += std::to_string(code) + "\n" + value + "\n";
    for (const std::string& text : {padded, bare, ascii(g, "\r\n"), ascii(g, "\r")}) {
        const Drawing d = read(text);
        ASSERT_EQ(d.entities.size(), 2u);  // the unknown FOO record is stepped over
        EXPECT_EQ(d.entities[1].p[1], (lqdxf::Point{7, 8}));
    }
    // A file without the final line end, and one with a byte order mark.
    std::string cut = padded;
    cut.pop_back();
    EXPECT_EQ(read(cut).entities.size(), 2u);
    EXPECT_EQ(read("\xEF\xBB\xBF" + padded).entities.size(), 2u);
}

TEST(DxfGroups, NumbersAreReadWholeAndWithoutTheLocale) {
    const char* previous = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    const Drawing d = read(ascii(entities(
        {{0, "POINT"}, {10, "  1.5e2 "}, {20, "-0.25"}, {0, "CIRCLE"}, {10, "+3"}, {20, "4"}, {40, "2"}, {62, " 5"}})));
    if (previous) std::setlocale(LC_NUMERIC, "C");
    ASSERT_EQ(d.entities.size(), 2u);
    EXPECT_EQ(d.entities[0].p[0], (lqdxf::Point{150, -0.25}));
    EXPECT_EQ(d.entities[1].color, 5);
    struct Case { Groups groups; std::uint32_t line; };
    const Case bad[] = {
        {entities({{0, "POINT"}, {10, "1,5"}}), 7},
        {entities({{0, "POINT"}, {10, "1e999"}}), 7},
        {entities({{0, "POINT"}, {62, "7x"}}), 7},
        {entities({{0, "POINT"}, {10, ""}}), 7},
    };
    for (const Case& c : bad) {
        const DxfError e = failure(ascii(c.groups));
        EXPECT_EQ(e.reason, Reason::Syntax);
        EXPECT_EQ(e.line, c.line);
    }
    EXPECT_EQ(failure("  0\nSECTION\nX2\nENTITIES\n").reason, Reason::Syntax);
}

TEST(DxfGroups, LongLinesReadWholeAndTooLongOnesAreRefused) {
    const std::string text(200000, 'x');
    const Drawing d = read(ascii(entities({{0, "TEXT"}, {10, "0"}, {20, "0"}, {40, "1"}, {1, text}})));
    ASSERT_EQ(d.texts.size(), 1u);
    EXPECT_EQ(d.texts[0], text);
    const std::string huge(lqdxf::kMaxLineLength + 10, 'x');
    EXPECT_EQ(failure(ascii(entities({{0, "TEXT"}, {1, huge}}))).reason, Reason::LineTooLong);
}

TEST(DxfGroups, BinaryOneByteCodesWithEscapesAndDoublesUpTo149) {
    Binary b;
    b.text(0, "SECTION").text(2, "ENTITIES").text(0, "LINE").text(8, "0");
    b.real(10, 1.5).real(20, 2.5).real(30, 0).real(11, 3).real(21, 4);
    b.real(140, 9.0).real(149, 9.0).int16(170, 1).int16(62, 4);
    b.text(1001, "APP").real(1010, 1).int16(1070, 7).code(1071).bytes.insert(b.bytes.end(), {1, 0, 0, 0});
    b.code(1004).bytes.insert(b.bytes.end(), {3, 9, 9, 9});
    b.text(0, "ENDSEC").text(0, "EOF");
    Drawing d;
    ASSERT_EQ(lqtest::readBytes(b.bytes, d).reason, Reason::None);
    EXPECT_TRUE(d.binary);
    ASSERT_EQ(d.entities.size(), 1u);
    EXPECT_EQ(d.entities[0].p[0], (lqdxf::Point{1.5, 2.5}));
    EXPECT_EQ(d.entities[0].p[1], (lqdxf::Point{3, 4}));
    EXPECT_EQ(d.entities[0].color, 4);
}

TEST(DxfGroups, TruncatedAndHostileBinaryIsRefused) {
    Binary good;
    good.text(0, "SECTION").text(2, "ENTITIES").text(0, "POINT").real(10, 1).real(20, 2).text(0, "ENDSEC").text(0, "EOF");
    // A cut between groups ends the drawing where it is; a cut inside a group is an error.
    for (std::size_t n = 48; n < good.bytes.size(); ++n) {  // from the end of (0, POINT) on
        Drawing d;
        const DxfError e = lqtest::readBytes(std::span(good.bytes.data(), n), d);
        const bool between = std::find(good.ends.begin(), good.ends.end(), n) != good.ends.end();
        EXPECT_EQ(e.reason == Reason::None, between) << n;
        if (!between) {
            EXPECT_EQ(e.reason, Reason::EndOfData) << n;
        }
    }
    Binary nan;
    nan.text(0, "SECTION").text(2, "ENTITIES").text(0, "POINT").real(10, std::nan("")).real(20, 2);
    Drawing d;
    EXPECT_EQ(lqtest::readBytes(nan.bytes, d).reason, Reason::Syntax);
    Binary unknown;
    unknown.text(0, "SECTION").text(2, "ENTITIES").code(1200).bytes.push_back(0);
    Drawing d2;
    EXPECT_EQ(lqtest::readBytes(unknown.bytes, d2).reason, Reason::Syntax);
    Binary endless;  // a text whose end is a megabyte away
    endless.text(0, "SECTION").text(2, "ENTITIES").text(0, "TEXT").text(1, std::string(lqdxf::kMaxLineLength + 5, 'x'));
    Drawing d3;
    EXPECT_EQ(lqtest::readBytes(endless.bytes, d3).reason, Reason::LineTooLong);
}

TEST(DxfTables, LineTypesLayersAndTheAnnouncedCount) {
    const Groups tables = {{0, "SECTION"}, {2, "TABLES"},
                           {0, "TABLE"},   {2, "LTYPE"},  {70, "2"},
                           {0, "LTYPE"},   {2, "CONTINUOUS"}, {73, "0"},
                           {0, "LTYPE"},   {2, "DASHED"}, {73, "2"}, {40, "0.75"}, {49, "0.5"}, {49, "-0.25"},
                           {0, "ENDTAB"},
                           {0, "TABLE"},   {2, "LAYER"},  {70, "1"},
                           {0, "LAYER"},   {2, "A layer name well past sixteen bytes"}, {62, "-5"}, {6, "DASHED"},
                           {0, "ENDTAB"},
                           {0, "TABLE"},   {2, "STYLE"},  {70, "1"}, {0, "STYLE"}, {2, "X"}, {0, "ENDTAB"},
                           {0, "ENDSEC"}};
    const Drawing d = read(ascii(tables + entities(line(0, 0, 1, 1, {{8, "A layer name well past sixteen bytes"}}) +
                                                   line(0, 0, 1, 1, {{8, "A layer name well past sixteen bytes!"}}))));
    ASSERT_EQ(d.lineTypes.size(), 2u);
    EXPECT_EQ(d.lineTypes[1].dashCount, 2);
    EXPECT_DOUBLE_EQ(d.lineTypes[1].dashes[1], -0.25);
    ASSERT_EQ(d.layers.size(), 1u);
    EXPECT_EQ(d.layers[0].color, -5);
    EXPECT_EQ(d.layers[0].lineType, 1);
    EXPECT_EQ(d.entities[0].layer, 0);
    EXPECT_EQ(d.entities[1].layer, lqdxf::kNoLayer);  // differs past the sixteenth byte

    Groups over = tables;
    over[4].second = "1";  // LTYPE announces 1 entry and holds 2
    const DxfError e = failure(ascii(over + entities(line(0, 0, 1, 1))));
    EXPECT_EQ(e.reason, Reason::TableOverflow);
    EXPECT_EQ(e.line, 17u);
    Groups none = tables;
    none[4].second = "0";  // a count of 0 skips the table
    EXPECT_TRUE(read(ascii(none + entities(line(0, 0, 1, 1)))).lineTypes.empty());
}

TEST(DxfEntities, ArcsFollowAngDirAndTheirInnerBoxFollowsTheArc) {
    const Groups arc = {{0, "ARC"}, {10, "0"}, {20, "0"}, {40, "10"}, {50, "350"}, {51, "10"}};
    Drawing d = read(ascii(entities(arc)));
    EXPECT_NEAR(d.inner.x1, 10, 1e-12);  // passes 0 degrees: the right-most point
    EXPECT_NEAR(d.inner.x0, 10 * std::cos(10 * M_PI / 180), 1e-9);
    EXPECT_NEAR(d.inner.y1, 10 * std::sin(10 * M_PI / 180), 1e-9);
    EXPECT_DOUBLE_EQ(d.outer.x0, -10);  // the outer box is the whole circle
    const Groups header = {{0, "SECTION"}, {2, "HEADER"}, {9, "$ANGDIR"}, {70, "1"}, {0, "ENDSEC"}};
    d = read(ascii(header + entities(arc)));
    EXPECT_DOUBLE_EQ(d.entities[0].startAngle, 10);
    EXPECT_DOUBLE_EQ(d.entities[0].endAngle, 350);
    EXPECT_DOUBLE_EQ(d.inner.x0, -10);  // 10 to 350 passes 90, 180 and 270
    const Groups badHeader = {{0, "SECTION"}, {2, "HEADER"}, {9, "$ANGDIR"}, {1, "x"}, {0, "ENDSEC"}};
    EXPECT_EQ(failure(ascii(badHeader + entities(arc))).reason, Reason::AngDirValue);
}

TEST(DxfEntities, PolylinesKeepAllVerticesAndEmptyOnesAreSkipped) {
    Groups poly = {{0, "POLYLINE"}, {62, "3"}, {70, "1"}};
    for (int i = 0; i < 2000; ++i) poly = poly + Groups{{0, "VERTEX"}, {8, "X"}, {62, "9"}, {10, std::to_string(i)}, {20, "1"}};
    poly = poly + Groups{{0, "SEQEND"}};
    const Groups empty = {{0, "POLYLINE"}, {62, "3"}, {0, "SEQEND"}};
    const Drawing d = read(ascii(entities(empty + poly + line(0, 0, 1, 1))));
    ASSERT_EQ(d.entities.size(), 2u);
    EXPECT_EQ(d.entities[0].count, 2000u);
    EXPECT_TRUE(d.entities[0].closed);
    EXPECT_EQ(d.entities[0].color, 3);  // vertex groups do not count for the polyline
    EXPECT_EQ(d.vertices[d.entities[0].first + 1999], (lqdxf::Point{1999, 1}));
}

TEST(DxfEntities, TracesFacesSolidsAndTexts) {
    const Drawing d = read(ascii(entities({
        {0, "SOLID"}, {10, "0"}, {20, "0"}, {11, "1"}, {21, "0"}, {12, "0"}, {22, "1"},
        {0, "3DFACE"}, {10, "0"}, {20, "0"}, {11, "1"}, {21, "0"}, {12, "1"}, {22, "1"}, {13, "0"}, {23, "1"},
        {0, "TEXT"}, {10, "2"}, {20, "3"}, {40, "2"}, {1, "Abc"},
        {0, "TEXT"}, {10, "2"}, {20, "3"}, {40, "2"},  // without text: dropped
    })));
    ASSERT_EQ(d.entities.size(), 3u);
    EXPECT_EQ(d.entities[0].p[3], d.entities[0].p[2]);  // no fourth corner: the third
    EXPECT_EQ(d.entities[1].kind, EntityKind::Face);
    EXPECT_EQ(d.entities[1].p[3], (lqdxf::Point{0, 1}));
    // A text box is (0, 0)-(characters, 1) in text space: x scale 0.75 x height.
    EXPECT_DOUBLE_EQ(d.inner.x1, 2 + 3 * 0.75 * 2);
    EXPECT_DOUBLE_EQ(d.inner.y1, 3 + 2);
}

TEST(DxfBlocks, ForwardReferencesBasePointsAndMissingBlocks) {
    const Groups blocks = {{0, "SECTION"}, {2, "BLOCKS"},
                           {0, "BLOCK"}, {2, "OUTER"}, {10, "0"}, {20, "0"},
                           {0, "INSERT"}, {2, "INNER"}, {10, "100"}, {20, "0"},
                           {0, "ENDBLK"},
                           {0, "BLOCK"}, {2, "INNER"}, {10, "5"}, {20, "5"},
                           {0, "POINT"}, {10, "5"}, {20, "5"},
                           {0, "POINT"}, {10, "7"}, {20, "6"},
                           {0, "ENDBLK"},
                           {0, "BLOCK"}, {2, "EMPTY"}, {0, "ENDBLK"},
                           {0, "ENDSEC"}};
    const Drawing d = read(ascii(blocks + entities({{0, "INSERT"}, {2, "OUTER"}, {10, "10"}, {20, "20"}, {41, "2"},
                                                    {0, "INSERT"}, {2, "NOWHERE"}, {10, "-500"}, {20, "-500"},
                                                    {0, "INSERT"}, {2, "EMPTY"}, {10, "900"}, {20, "900"}})));
    // INNER's base (5, 5) sits at (100, 0) in OUTER, which is doubled along x and moved.
    EXPECT_DOUBLE_EQ(d.inner.x0, 10 + 2 * 100);
    EXPECT_DOUBLE_EQ(d.inner.x1, 10 + 2 * 102);
    EXPECT_DOUBLE_EQ(d.inner.y0, 20);
    EXPECT_DOUBLE_EQ(d.inner.y1, 21);
    EXPECT_EQ(d.blocks.size(), 2u);  // the empty block is dropped
    EXPECT_EQ(d.drawn, 2u);
}

Groups blockInserting(const std::string& name, const std::string& target, int copies = 1) {
    Groups g = {{0, "BLOCK"}, {2, name}};
    for (int i = 0; i < copies; ++i) g = g + Groups{{0, "INSERT"}, {2, target}, {10, std::to_string(i)}, {20, "0"}};
    return g + Groups{{0, "POINT"}, {10, "0"}, {20, "0"}, {0, "ENDBLK"}};
}

TEST(DxfBlocks, CyclesDeepNestingAndExplosionsAreRefused) {
    const Groups use = entities({{0, "INSERT"}, {2, "B0"}, {10, "0"}, {20, "0"}});
    auto blocks = [](const Groups& body) { return Groups{{0, "SECTION"}, {2, "BLOCKS"}} + body + Groups{{0, "ENDSEC"}}; };
    const DxfError cycle = failure(ascii(blocks(blockInserting("B0", "B1") + blockInserting("B1", "B0")) + use));
    EXPECT_EQ(cycle.reason, Reason::BlockCycle);
    EXPECT_GT(cycle.line, 0u);
    EXPECT_EQ(failure(ascii(blocks(blockInserting("B0", "B0")) + use)).reason, Reason::BlockCycle);

    Groups chain;
    for (int i = 0; i < 200; ++i) chain = chain + blockInserting("B" + std::to_string(i), "B" + std::to_string(i + 1));
    EXPECT_EQ(failure(ascii(blocks(chain) + use)).reason, Reason::NestingTooDeep);
    Groups shallow;
    for (int i = 0; i < 30; ++i) shallow = shallow + blockInserting("B" + std::to_string(i), "B" + std::to_string(i + 1));
    EXPECT_EQ(read(ascii(blocks(shallow) + use)).drawn, 30u);

    Groups bomb;  // ten copies of ten copies ...: 10^8 points
    for (int i = 0; i < 8; ++i) bomb = bomb + blockInserting("B" + std::to_string(i), "B" + std::to_string(i + 1), 10);
    EXPECT_EQ(failure(ascii(blocks(bomb) + use)).reason, Reason::TooComplex);
}

TEST(DxfExtents, ScaleOutputExtentAndTheFarAndTheHuge) {
    Drawing d = read(ascii(entities(line(0, 0, 10, 5))));
    EXPECT_DOUBLE_EQ(d.scale, 2909);
    EXPECT_EQ(d.width, 29272);
    EXPECT_EQ(d.height, 14727);
    EXPECT_EQ(d.pixelsPerMeter(), 114527);
    // Far from the origin: the extents are the drawing's, not clipped at 32000.
    d = read(ascii(entities(line(40000, -90000, 40010, -89995))));
    EXPECT_DOUBLE_EQ(d.inner.x0, 40000);
    EXPECT_DOUBLE_EQ(d.inner.y1, -89995);
    EXPECT_EQ(d.width, 29272);
    // Larger than 32000 units: a scale below 1 instead of 0.
    d = read(ascii(entities(line(0, 0, 1e6, 5e5))));
    EXPECT_NEAR(d.scale, 32000.0 / 1000001, 1e-12);
    EXPECT_EQ(d.width, 32000);
    EXPECT_EQ(d.height, 16000);
    EXPECT_EQ(failure(ascii(entities(line(-1e308, 0, 1e308, 1)))).reason, Reason::TooLarge);
    EXPECT_EQ(failure(ascii(entities({{0, "FOO"}}))).reason, Reason::EndOfData);
    EXPECT_EQ(failure("").reason, Reason::EndOfData);
}

TEST(DxfTexts, NewerFilesStoreUtf8) {
    const Groups header = {{0, "SECTION"}, {2, "HEADER"}, {9, "$ACADVER"}, {1, "AC1027"}, {0, "ENDSEC"}};
    const Drawing d = read(ascii(header + entities({{0, "TEXT"}, {10, "0"}, {20, "0"}, {1, "Ma\xC3\x9F \xE2\x82\xAC \xE4\xB8\x80"}})));
    EXPECT_EQ(d.texts[0], "Ma\xDF \x80 ?");
    const Drawing old = read(ascii(entities({{0, "TEXT"}, {10, "0"}, {20, "0"}, {1, "Ma\xDF"}})));
    EXPECT_EQ(old.texts[0], "Ma\xDF");
}

}  // namespace
