#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <map>

#include "model/LQHelpers.h"
#include "model/LQMeasures.h"
#include "tests/support/TestSupport.h"

namespace {

TEST(Measures, RoundIsTiesToEvenAndSaturates) {
    const std::pair<double, int> cases[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {-0.5, 0}, {-1.5, -2}, {-2.5, -2},
                                            {2.4999, 2}, {1e20, INT_MAX}, {-1e20, INT_MIN}, {NAN, 0}};
    for (const auto& [value, expected] : cases) EXPECT_EQ(Round(value), expected) << value;
    EXPECT_EQ(Trunc(-2.9), -2);
    EXPECT_EQ(Trunc(INFINITY), INT_MAX);
}

class FakePrinter : public TLQPrinterMetricsSource {
public:
    std::map<TPrinterMetric, int> values;
    std::optional<int> Metric(TPrinterMetric which) const override {
        const auto it = values.find(which);
        return it == values.end() ? std::nullopt : std::optional<int>(it->second);
    }
};

class OutputResolutionTest : public testing::Test {
protected:
    void TearDown() override {
        SetPrinterMetricsSource(nullptr);
        ModelSettings() = TLQModelSettings();
    }
};

TEST_F(OutputResolutionTest, WithoutAPrinterTheMetricsDescribeA4At300Dpi) {
    const std::pair<TPrinterMetric, int> fallbacks[] = {
        {TPrinterMetric::ResolutionX, 300}, {TPrinterMetric::ResolutionY, 300},
        {TPrinterMetric::PrintableWidth, 2480}, {TPrinterMetric::PrintableHeight, 3508},
        {TPrinterMetric::PaperWidth, 2480}, {TPrinterMetric::PaperHeight, 3508},
        {TPrinterMetric::OffsetX, 0}, {TPrinterMetric::OffsetY, 0}};
    for (const auto& [metric, value] : fallbacks) EXPECT_EQ(PrinterMetric(metric), value);
    EXPECT_EQ(OutputResolution(), 300);
    EXPECT_FLOAT_EQ(PixelsToCm(3000, OutputResolution()), 25.4);
}

TEST_F(OutputResolutionTest, PrinterOrConfiguredResolution) {
    auto printer = std::make_shared<FakePrinter>();
    printer->values = {{TPrinterMetric::ResolutionX, 600}, {TPrinterMetric::ResolutionY, 0},
                       {TPrinterMetric::PaperHeight, 7016}};
    SetPrinterMetricsSource(printer);
    EXPECT_EQ(OutputResolution(), 600);
    EXPECT_EQ(PrinterMetric(TPrinterMetric::ResolutionY), 300);  // a driver reporting 0
    EXPECT_EQ(PrinterMetric(TPrinterMetric::PaperHeight), 7016);
    EXPECT_EQ(PrinterMetric(TPrinterMetric::PaperWidth), 2480);

    ModelSettings().UsePrinterResolution = false;
    ModelSettings().DefaultResolution = 150;
    EXPECT_EQ(OutputResolution(), 150);
    ModelSettings().DefaultResolution = 0;
    EXPECT_EQ(OutputResolution(), 300);
    EXPECT_EQ(CmToPixels(2.54, 150), 150);
}

TEST_F(OutputResolutionTest, DisplayUnitsConvertOnlyForInches) {
    for (int unit : {0, 1, 3}) {
        ModelSettings().DisplayUnit = unit;
        EXPECT_EQ(CmToDisplayUnit(10), 10);
        EXPECT_EQ(DisplayUnitToCm(10), 10);
    }
    ModelSettings().DisplayUnit = 2;
    EXPECT_DOUBLE_EQ(CmToDisplayUnit(2.54), 1.0);
    EXPECT_DOUBLE_EQ(DisplayUnitToCm(1), 2.54);
}

TEST(Geometry, FitRectCentresTheLargestRectangleOfTheAspect) {
    const struct { QRect bounds; int w, h; QRect expected; } cases[] = {
        {QRect(0, 0, 100, 100), 200, 100, QRect(0, 25, 100, 50)},   // wide image: full width
        {QRect(0, 0, 100, 100), 100, 200, QRect(25, 0, 50, 100)},   // tall image: full height
        {QRect(0, 0, 64, 64), 3000, 2000, QRect(0, 10, 64, 43)},     // 42.67 rounds to 43; (64 − 43) / 2 = 10
        {QRect(0, 0, 101, 50), 2, 1, QRect(0, 0, 100, 50)},          // (101 − 100) / 2 halves towards zero
        {QRect(0, 0, 100, 100), 0, 100, QRect(0, 0, 100, 100)},
        {QRect(0, 0, 0, 100), 10, 10, QRect(0, 0, 0, 100)},
    };
    for (const auto& c : cases) EXPECT_EQ(FitRect(c.bounds, c.w, c.h), c.expected) << c.w << "x" << c.h;
}

TEST(Geometry, RotationTurnsCounterClockwiseOnTheScreen) {
    const QPoint centre(10, 10);
    EXPECT_EQ(RotatePoint(QPoint(20, 10), centre, 0), QPoint(20, 10));
    EXPECT_EQ(RotatePoint(QPoint(20, 10), centre, 90), QPoint(10, 0));  // right of the centre goes up
    EXPECT_EQ(RotatePoint(QPoint(20, 10), centre, 180), QPoint(0, 10));
    EXPECT_EQ(RotatePoint(QPoint(17, 14), centre, 360), QPoint(17, 14));

    const auto turned = RotatedCorners(QRect(0, 0, 20, 10), 90, false);
    EXPECT_EQ(turned[0], QPoint(5, 15));   // left-top
    EXPECT_EQ(turned[1], QPoint(5, -5));   // right-top
    const auto ordered = RotatedCorners(QRect(0, 0, 20, 10), 90, true);
    EXPECT_EQ((std::vector<QPoint>(ordered.begin(), ordered.end())),
              (std::vector<QPoint>{QPoint(5, -5), QPoint(5, 15), QPoint(15, -5), QPoint(15, 15)}));
    EXPECT_EQ(DeflateBy(InflateBy(QRect(5, 5, 10, 10), 3), 3), QRect(5, 5, 10, 10));
    EXPECT_EQ(InflateBy(QRect(5, 5, 10, 10), 2), QRect(3, 3, 14, 14));
}

TEST(PathHelpers, NamesFlagsAndFreeSpace) {
    EXPECT_EQ(FileNameWithoutExt("/home/a/Urlaub.2023.jpg"), "Urlaub.2023");
    EXPECT_EQ(FileNameWithoutExt("bild"), "bild");
    QString remembered = "/alt";
    RememberPath(remembered, "/media/usb/fotos");
    EXPECT_EQ(remembered, "/media/usb/fotos");
    EXPECT_EQ(BoolTo01(true), "1");
    EXPECT_EQ(BoolTo01(false), "0");
    for (const char* t : {"1", "", "ja", "00"}) EXPECT_TRUE(Is01True(t)) << t;
    EXPECT_FALSE(Is01True("0"));

    lqtest::TempDir dir;
    const QString notYet = QString::fromStdString(dir.file("neu/datei.qlt"));
    EXPECT_TRUE(FreeSpaceAbove(notYet, 10000));                 // measured at the nearest folder
    EXPECT_FALSE(FreeSpaceAbove(notYet, UINT64_MAX));
}

}  // namespace
