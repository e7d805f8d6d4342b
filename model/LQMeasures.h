// Measures of the document model. Every position and size is centimetres as a 32-bit float;
// device pixels come from a resolution in dots per inch and 2.54 cm per inch. Round is to the
// nearest integer with halves to the even neighbour.
#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

constexpr double kCmPerInch = 2.54;
constexpr double kInchPerCm = 0.39370078740157480316;

// Round to nearest, ties to even. Values beyond the int range saturate and NaN gives 0, so a
// measure read from a damaged file can never make the conversion undefined.
int Round(double value);
// Cut toward zero, with the same saturation.
int Trunc(double value);

// Settings of the model that the program sets from its configuration and language texts.
struct TLQModelSettings {
    bool UsePrinterResolution = true;     // output resolution from the printer, else DefaultResolution
    std::uint16_t DefaultResolution = 300;
    int DisplayUnit = 1;                  // 1 centimetres, 2 inches; anything else counts as centimetres
    int LanguageCode = 1;                 // 1 German, anything else English (text placeholders)
    QString ImageWord = QStringLiteral("Bild");  // language text 1098: placeholders, area labels
    QString NewWord = QStringLiteral("Neu");     // language text 1046: names of new, unnamed things
    int ThumbWidth = 64;                  // pool thumbnails fit into ThumbWidth × ThumbHeight
    int ThumbHeight = 64;
    int PreviewMode = 0;                  // 0 previews up to half the screen, 1 up to the screen, else full size
};
TLQModelSettings& ModelSettings();
// Takes the image word and the word for "new" from the loaded language texts (even when empty).
void TakeModelWordsFromLanguage();

// Printer metrics the model uses. A source answers empty when the printer can't be asked;
// printing installs the real one. Without a source every metric takes its fall-back, which
// together describe an A4 sheet at 300 dpi.
enum class TPrinterMetric {
    ResolutionX,      // dots per inch; 300 also when the driver reports 0
    ResolutionY,
    PrintableWidth,   // pixels: 2480
    PrintableHeight,  // 3508
    PaperWidth,       // 2480
    PaperHeight,      // 3508
    OffsetX,          // offset of the printable area: 0
    OffsetY,
};

class TLQPrinterMetricsSource {
public:
    virtual ~TLQPrinterMetricsSource() = default;
    virtual std::optional<int> Metric(TPrinterMetric which) const = 0;
};

// Installs the source for the current printer (null: no printer). Safe from any thread.
void SetPrinterMetricsSource(std::shared_ptr<const TLQPrinterMetricsSource> source);
int PrinterMetric(TPrinterMetric which);

// The resolution with which pixel counts become centimetres: the printer's horizontal
// resolution or the configured default; 0 or a failing printer gives 300.
int OutputResolution();

double PixelsToCm(double pixels, double dpi);
int CmToPixels(double cm, double dpi);

// Display unit conversions: the model stores centimetres only, dialogs show the user's unit.
double CmToDisplayUnit(double cm);
double DisplayUnitToCm(double value);
