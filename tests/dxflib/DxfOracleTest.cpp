// Drawings made by ezdxf (ASCII and binary, R12 and R2000) read as ezdxf reads them: the same
// entities in the same order, and extents equal to ezdxf.bbox.extents.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "tests/dxflib/DxfTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

using lqdxf::Drawing;
using lqdxf::Entity;
using lqdxf::EntityKind;
using lqdxf::Point;

class DxfOracle : public testing::TestWithParam<const char*> {
public:
    static void SetUpTestSuite() {
        dir_ = std::make_unique<lqtest::TempDir>();
        const auto r = lqtest::run("/usr/bin/python3 " + lqtest::shellQuote(lqtest::sourceDir() + "/tests/dxflib/make_drawings.py") +
                                   " " + lqtest::shellQuote(dir_->path().string()));
        ASSERT_EQ(r.exitCode, 0) << r.output;
    }
    static void TearDownTestSuite() { dir_.reset(); }

protected:
    static std::unique_ptr<lqtest::TempDir> dir_;
};
std::unique_ptr<lqtest::TempDir> DxfOracle::dir_;

void expectPoint(std::istream& ref, Point p, const std::string& what) {
    double x = 0, y = 0;
    ref >> x >> y;
    EXPECT_NEAR(p.x, x, 1e-9 * (1 + std::fabs(x))) << what;
    EXPECT_NEAR(p.y, y, 1e-9 * (1 + std::fabs(y))) << what;
}

double number(std::istream& ref) {
    double v = 0;
    ref >> v;
    return v;
}

void expectEntity(Drawing& d, const Entity& e, const std::string& line) {
    std::istringstream ref(line);
    std::string kind;
    ref >> kind;
    const std::map<std::string, EntityKind> kinds = {
        {"LINE", EntityKind::Line},     {"POINT", EntityKind::Point}, {"CIRCLE", EntityKind::Circle},
        {"ARC", EntityKind::Arc},       {"SOLID", EntityKind::Solid}, {"TRACE", EntityKind::Trace},
        {"3DFACE", EntityKind::Face},   {"POLYLINE", EntityKind::Polyline}, {"INSERT", EntityKind::Insert},
        {"TEXT", EntityKind::Text}};
    ASSERT_EQ(e.kind, kinds.at(kind)) << line;
    switch (e.kind) {
    case EntityKind::Line:
        expectPoint(ref, e.p[0], line);
        expectPoint(ref, e.p[1], line);
        break;
    case EntityKind::Point: expectPoint(ref, e.p[0], line); break;
    case EntityKind::Circle:
    case EntityKind::Arc:
        expectPoint(ref, e.p[0], line);
        EXPECT_DOUBLE_EQ(e.radius, number(ref)) << line;
        if (e.kind == EntityKind::Arc) {
            EXPECT_DOUBLE_EQ(e.startAngle, number(ref)) << line;
            EXPECT_DOUBLE_EQ(e.endAngle, number(ref)) << line;
        }
        break;
    case EntityKind::Solid:
    case EntityKind::Trace:
    case EntityKind::Face:
        for (const Point& p : e.p) expectPoint(ref, p, line);
        break;
    case EntityKind::Polyline: {
        EXPECT_EQ(e.closed, number(ref) != 0) << line;
        ASSERT_EQ(e.count, std::uint32_t(number(ref))) << line;
        for (std::uint32_t i = 0; i < e.count; ++i) expectPoint(ref, d.vertices[e.first + i], line);
        break;
    }
    case EntityKind::Insert: {
        std::string name;
        ref >> name;
        ASSERT_GE(e.block, 0) << line;
        const lqdxf::Block& b = d.blocks[std::size_t(e.block)];
        EXPECT_EQ(b.name, d.names.intern(name)) << line;
        expectPoint(ref, e.placement.apply(b.base), line);  // the base point lands on the insertion point
        const double sx = number(ref), sy = number(ref), r = number(ref) * M_PI / 180;
        EXPECT_NEAR(e.placement.a, sx * std::cos(r), 1e-12) << line;
        EXPECT_NEAR(e.placement.b, sx * std::sin(r), 1e-12) << line;
        EXPECT_NEAR(e.placement.c, -sy * std::sin(r), 1e-12) << line;
        EXPECT_NEAR(e.placement.d, sy * std::cos(r), 1e-12) << line;
        break;
    }
    case EntityKind::Text: {
        expectPoint(ref, {e.placement.tx, e.placement.ty}, line);
        const double h = number(ref), w = number(ref), r = number(ref);
        EXPECT_NEAR(e.placement.xAxisLength(), 0.75 * w * h, 1e-12) << line;
        EXPECT_NEAR(std::atan2(e.placement.b, e.placement.a) * 180 / M_PI, r, 1e-9) << line;
        std::string text;
        ref >> std::ws;
        std::getline(ref, text);
        EXPECT_EQ(d.texts[e.first], text);
        break;
    }
    }
}

TEST_P(DxfOracle, EntitiesAndExtentsAreThoseEzdxfReads) {
    const std::string base = dir_->file(GetParam());
    lqdxf::Input in(base + ".dxf");
    Drawing d;
    const lqdxf::DxfError e = lqdxf::readDrawing(in, d);
    ASSERT_EQ(e.reason, lqdxf::Reason::None) << "line " << e.line;
    EXPECT_EQ(d.binary, std::string(GetParam()).ends_with("bin"));

    std::ifstream ref(base + ".ref");
    std::string line;
    lqdxf::Box exact;
    std::size_t i = 0;
    while (std::getline(ref, line) && !line.starts_with("BBOX")) {
        ASSERT_LT(i, d.entities.size());
        const Entity& entity = d.entities[i++];
        expectEntity(d, entity, line);
        const bool rotated = entity.kind == EntityKind::Insert && entity.placement.b != 0;
        if (entity.kind != EntityKind::Text && !rotated) exact.add(lqdxf::boxesOf(entity, d).inner);
    }
    EXPECT_EQ(i, d.entities.size());
    // ezdxf measures arcs on their Bezier approximation: a few thousandths off at these radii.
    std::istringstream box(line.substr(5));
    double x0, y0, x1, y1;
    box >> x0 >> y0 >> x1 >> y1;
    EXPECT_NEAR(exact.x0, x0, 0.01);
    EXPECT_NEAR(exact.y0, y0, 0.01);
    EXPECT_NEAR(exact.x1, x1, 0.01);
    EXPECT_NEAR(exact.y1, y1, 0.01);
}

INSTANTIATE_TEST_SUITE_P(Formats, DxfOracle, testing::Values("r12", "r12bin", "r2000", "r2000bin"));

}  // namespace
