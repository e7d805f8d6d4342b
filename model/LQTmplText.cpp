// Text placeholders: "<" + image word + area number + one separator character + keyword + ">"
// quotes a fact about the image shown in the numbered area of the same template.
#include "model/LQTmpl.h"

#include <QFileInfo>
#include <QLocale>

#include <cmath>
#include <optional>

#include "model/LQImage.h"
#include "model/LQMeasures.h"

namespace {

enum class TFact { Date, Time, Name, Path, Width, Height, WidthCm, HeightCm, Depth, Size };

struct TKeyword {
    const char16_t* German;
    const char16_t* English;
    TFact Fact;
};

constexpr TKeyword kKeywords[] = {
    {u"Datum", u"Date", TFact::Date},          {u"Uhrzeit", u"Time", TFact::Time},
    {u"Name", u"Name", TFact::Name},           {u"Pfad", u"Path", TFact::Path},
    {u"Breite", u"Width", TFact::Width},       {u"Höhe", u"Height", TFact::Height},
    {u"BreiteCM", u"WidthIn", TFact::WidthCm}, {u"HöheCM", u"HeightIn", TFact::HeightCm},
    {u"Farbtiefe", u"ColDepth", TFact::Depth}, {u"Größe", u"Size", TFact::Size},
};

std::optional<TFact> factOf(const QString& keyword) {
    const bool german = ModelSettings().LanguageCode == 1;
    for (const TKeyword& k : kKeywords)
        if (keyword == QString::fromUtf16(german ? k.German : k.English)) return k.Fact;
    return std::nullopt;
}

// Up to two decimals, no trailing zeros, no zero before the decimal point (0.5 shows as ".5",
// 0 as nothing).
QString formatCm(double value) {
    QString s = QString::number(std::fabs(value), 'f', 2);
    while (s.endsWith(QLatin1Char('0'))) s.chop(1);
    if (s.endsWith(QLatin1Char('.'))) s.chop(1);
    if (s.startsWith(QLatin1Char('0'))) s.remove(0, 1);
    if (s.isEmpty()) return s;
    s.replace(QLatin1Char('.'), QLocale().decimalPoint());
    return value < 0 ? QLatin1Char('-') + s : s;
}

// The locale's long time format without its time-zone field: an image's time is a wall-clock
// time of the camera or file, not an instant.
QString longTimeFormat() {
    const QString format = QLocale().timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'') quoted = !quoted;
        if (quoted || c != u't') out += c;
    }
    return out.trimmed();
}

QString valueOf(TFact fact, const TLQImage& image, const TLQImageFacts& f) {
    switch (fact) {
    case TFact::Date: return QLocale().toString(f.DateTime.date(), QLocale::ShortFormat);
    case TFact::Time: return QLocale().toString(f.DateTime.time(), longTimeFormat());
    case TFact::Name: return QFileInfo(image.FileName).fileName();
    case TFact::Path: return image.FileName.left(image.FileName.lastIndexOf(QLatin1Char('/')) + 1);
    case TFact::Width: return QString::number(f.Width);
    case TFact::Height: return QString::number(f.Height);
    case TFact::WidthCm: return formatCm(f.CMWidth);
    case TFact::HeightCm: return formatCm(f.CMHeight);
    case TFact::Depth: return QString::number(f.Bits);
    case TFact::Size:
        return QString::number(std::nearbyint(double(f.Width) * f.Height * f.Bits / 8 + 40), 'f', 0);
    }
    return {};
}

// The longest run of digits right after `start` that reads as a positive integer; its end
// index goes to `end`.
std::optional<std::int32_t> areaNumberAt(const QString& token, qsizetype start, qsizetype& end) {
    end = start;
    while (end < token.size() && token[end] >= u'0' && token[end] <= u'9') ++end;
    for (; end > start; --end) {
        bool ok = false;
        const int n = token.mid(start, end - start).toInt(&ok);
        if (ok && n > 0) return n;
    }
    return std::nullopt;
}

}  // namespace

QString TLQTemplateArea::ExpandText() const {
    const QString& word = ModelSettings().ImageWord;
    // The value a placeholder token stands for, or nothing when it is not a placeholder.
    const auto expand = [&](const QString& token) -> std::optional<QString> {
        if (!token.startsWith(word) || !Template) return std::nullopt;
        qsizetype end = 0;
        const std::optional<std::int32_t> number = areaNumberAt(token, word.size(), end);
        if (!number) return std::nullopt;
        const TLQTemplateArea* source = nullptr;
        for (const auto& area : Template->Areas) {
            if (area.get() != this && area->AreaNumber == *number && area->Image() && area->Image()->HasPixelObject()) {
                source = area.get();
                break;
            }
        }
        if (!source) return std::nullopt;
        if (end >= token.size()) return std::nullopt;  // no separator
        const std::optional<TFact> fact = factOf(token.mid(end + 1));
        if (!fact) return std::nullopt;
        return valueOf(*fact, *source->Image(), *source->Image()->PixelFacts());
    };

    QStringList lines = Text.Lines;
    for (QString& line : lines) {
        qsizetype previous = -1;
        for (;;) {
            const qsizetype open = line.indexOf(QLatin1Char('<'));
            const qsizetype close = line.indexOf(QLatin1Char('>'));
            if (open < 0 || close < 0 || open <= previous) break;
            const std::optional<QString> value = expand(close > open ? line.mid(open + 1, close - open - 1) : QString());
            if (!value) break;
            line = line.left(open) + *value + line.mid(close + 1);
            previous = open;
        }
    }
    const QString joined = lines.join(QStringLiteral("\r\n"));
    const auto lineCount = [](const QString& text) {
        TLQText probe;
        probe.SetText(text);
        return probe.Lines.size();
    };
    if (lineCount(joined) == lineCount(Text.Text())) return joined;
    // A value brought line breaks of its own: trim blanks and control characters at both ends.
    qsizetype first = 0, last = joined.size();
    while (first < last && joined[first] <= u' ') ++first;
    while (last > first && joined[last - 1] <= u' ') --last;
    return joined.mid(first, last - first);
}
