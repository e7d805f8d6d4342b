#include "model/LQMeasures.h"

#include <climits>
#include <cmath>
#include <mutex>

#include "shell/LQLang.h"

namespace {

int saturate(double whole) {
    if (std::isnan(whole)) return 0;
    if (whole >= double(INT_MAX)) return INT_MAX;
    if (whole <= double(INT_MIN)) return INT_MIN;
    return int(whole);
}

std::mutex gMetricsMutex;
std::shared_ptr<const TLQPrinterMetricsSource> gMetricsSource;

}  // namespace

int Round(double value) { return saturate(std::nearbyint(value)); }
int Trunc(double value) { return saturate(std::trunc(value)); }

TLQModelSettings& ModelSettings() {
    static TLQModelSettings settings;
    return settings;
}

void TakeModelWordsFromLanguage() {
    ModelSettings().ImageWord = LangString(1098);
    ModelSettings().NewWord = LangString(1046);
}

void SetPrinterMetricsSource(std::shared_ptr<const TLQPrinterMetricsSource> source) {
    std::lock_guard lock(gMetricsMutex);
    gMetricsSource = std::move(source);
}

int PrinterMetric(TPrinterMetric which) {
    std::shared_ptr<const TLQPrinterMetricsSource> source;
    {
        std::lock_guard lock(gMetricsMutex);
        source = gMetricsSource;
    }
    std::optional<int> value;
    if (source) value = source->Metric(which);
    switch (which) {
    case TPrinterMetric::ResolutionX:
    case TPrinterMetric::ResolutionY:
        return value && *value != 0 ? *value : 300;
    case TPrinterMetric::PrintableWidth:
    case TPrinterMetric::PaperWidth:
        return value.value_or(2480);
    case TPrinterMetric::PrintableHeight:
    case TPrinterMetric::PaperHeight:
        return value.value_or(3508);
    case TPrinterMetric::OffsetX:
    case TPrinterMetric::OffsetY:
        return value.value_or(0);
    }
    return 0;
}

int OutputResolution() {
    const TLQModelSettings& s = ModelSettings();
    const int dpi = s.UsePrinterResolution ? PrinterMetric(TPrinterMetric::ResolutionX) : int(s.DefaultResolution);
    return dpi > 0 ? dpi : 300;
}

double PixelsToCm(double pixels, double dpi) { return pixels * kCmPerInch / dpi; }
int CmToPixels(double cm, double dpi) { return Round(cm * dpi / kCmPerInch); }

double CmToDisplayUnit(double cm) { return ModelSettings().DisplayUnit == 2 ? cm * kInchPerCm : cm; }
double DisplayUnitToCm(double value) { return ModelSettings().DisplayUnit == 2 ? value * kCmPerInch : value; }
