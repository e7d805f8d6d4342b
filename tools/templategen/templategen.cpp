// templategen: writes the shipped template library and default pool sets from their readable
// description (library.json) with the program's own writers.
//
//   templategen DESCRIPTION DATA_DIR
//
// writes DATA_DIR/Vorlagen/<category>/<file>.qts and DATA_DIR/Daten/Standard.qfs, .qps, .qxs.
// Every area must lie on its page and every cell grid must derive the counts it was given, so
// a mistake in the description stops the run instead of shipping.
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <map>
#include <stdexcept>

#include "model/LQSets.h"
#include "model/LQTmpl.h"
#include "platform/Color.h"

namespace {

struct TFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void fail(const QString& what) { throw TFailure(what.toStdString()); }

std::int32_t colour(const QJsonValue& v) {
    const QString s = v.toString();
    bool ok = false;
    const uint rgb = s.mid(1).toUInt(&ok, 16);
    if (!s.startsWith(QLatin1Char('#')) || s.size() != 7 || !ok) fail(QStringLiteral("bad colour \"%1\"").arg(s));
    return std::int32_t(lqp::rgb(std::uint8_t(rgb >> 16), std::uint8_t(rgb >> 8), std::uint8_t(rgb)));
}

float number(const QJsonValue& v, const QString& what) {
    if (!v.isDouble()) fail(what + QStringLiteral(" is not a number"));
    return float(v.toDouble());
}

std::pair<float, float> pair(const QJsonValue& v, const QString& what) {
    const QJsonArray a = v.toArray();
    if (a.size() != 2) fail(what + QStringLiteral(" needs two numbers"));
    return {number(a[0], what), number(a[1], what)};
}

template <class Enum>
Enum named(const std::map<QString, Enum>& names, const QJsonValue& v, const QString& what) {
    const auto it = names.find(v.toString());
    if (it == names.end()) fail(QStringLiteral("unknown %1 \"%2\"").arg(what, v.toString()));
    return it->second;
}

// font [name, points, "bold italic underline strikeout" (any of them), colour]
void readFont(const QJsonValue& v, TLQFont& font) {
    const QJsonArray f = v.toArray();
    if (f.size() != 4) fail(QStringLiteral("a font needs name, size, styles and colour"));
    font.Name = f[0].toString();
    font.Size = std::int32_t(number(f[1], QStringLiteral("font size")));
    const QString styles = f[2].toString();
    font.Bold = styles.contains(QStringLiteral("bold"));
    font.Italic = styles.contains(QStringLiteral("italic"));
    font.Underline = styles.contains(QStringLiteral("underline"));
    font.StrikeOut = styles.contains(QStringLiteral("strikeout"));
    font.Color = colour(f[3]);
}

void readText(const QJsonObject& o, TLQText& t) {
    t.SetText(o[QStringLiteral("text")].toString());
    if (o.contains(QStringLiteral("font"))) readFont(o[QStringLiteral("font")], t.Font);
    if (o.contains(QStringLiteral("align")))
        t.Alignment = named<std::uint8_t>({{"left", 0}, {"right", 1}, {"center", 2}}, o[QStringLiteral("align")], QStringLiteral("alignment"));
    if (o.contains(QStringLiteral("back"))) t.BackColor = colour(o[QStringLiteral("back")]);
}

// A position on one axis: a number, or "center" to centre `extent` on the page.
float position(const QJsonValue& v, float extent, float page) {
    if (v.toString() == QStringLiteral("center")) return (page - extent) / 2;
    return number(v, QStringLiteral("position"));
}

void readCells(const QJsonObject& cells, TLQTemplateArea& a) {
    std::tie(a.CellWidth, a.CellHeight) = pair(cells[QStringLiteral("size")], QStringLiteral("cell size"));
    const auto [cols, rows] = pair(cells[QStringLiteral("grid")], QStringLiteral("grid"));
    std::tie(a.GapX, a.GapY) = pair(cells[QStringLiteral("gap")], QStringLiteral("gap"));
    a.Cols = std::int32_t(cols);
    a.Rows = std::int32_t(rows);
    a.Width = a.Cols * a.CellWidth + (a.Cols - 1) * a.GapX;
    a.Height = a.Rows * a.CellHeight + (a.Rows - 1) * a.GapY;
}

void readShape(const QJsonObject& o, TLQTemplateArea& a) {
    a.Kind = named<std::uint8_t>({{"line", TLQTemplateArea::Line}, {"rectangle", TLQTemplateArea::Rectangle},
                                  {"ellipse", TLQTemplateArea::Ellipse}},
                                 o[QStringLiteral("shape")], QStringLiteral("shape"));
    const QJsonArray pen = o[QStringLiteral("pen")].toArray();
    if (pen.size() == 2) {
        a.LineWidth = number(pen[0], QStringLiteral("pen width"));
        a.LineColor = colour(pen[1]);
    }
    const QJsonArray fill = o[QStringLiteral("fill")].toArray();
    if (fill.size() == 2) {
        a.FillStyle = named<std::uint8_t>({{"solid", 0}, {"clear", 1}, {"horizontal", 2}, {"vertical", 3},
                                           {"fdiagonal", 4}, {"bdiagonal", 5}, {"cross", 6}, {"diagcross", 7}},
                                          fill[0], QStringLiteral("fill style"));
        a.FillColor = colour(fill[1]);
    }
}

// The counts a grid was given must also come out when the layout view recounts them from the
// area size. Float sums can land a hair below a whole count; a thousandth of a centimetre more
// area settles that.
bool recountsAs(const TLQTemplateArea& a) {
    TLQTemplateArea recount;
    recount.Width = a.Width, recount.Height = a.Height;
    recount.CellWidth = a.CellWidth, recount.CellHeight = a.CellHeight;
    recount.GapX = a.GapX, recount.GapY = a.GapY;
    recount.AdjustCounts();
    return recount.Cols == a.Cols && recount.Rows == a.Rows;
}

void settleCounts(TLQTemplateArea& a) {
    if (recountsAs(a)) return;
    a.Width += 0.001f;
    a.Height += 0.001f;
    if (!recountsAs(a)) fail(QStringLiteral("area \"%1\": %2 x %3 cells do not recount").arg(a.Name).arg(a.Cols).arg(a.Rows));
}

void readArea(const QJsonObject& o, TLQTemplate& t, int index) {
    TLQTemplateArea& a = t.AddArea();
    const float pageW = t.Page.Width, pageH = t.Page.Height;
    a.Name = o[QStringLiteral("name")].toString(QStringLiteral("Bereich %1").arg(index + 1));
    a.AreaNumber = o[QStringLiteral("number")].toInt();
    a.Angle = o[QStringLiteral("angle")].toInt();
    if (o[QStringLiteral("background")].toBool()) {
        if (index != 0) fail(QStringLiteral("the background must be the first area"));
        a.Name = QStringLiteral("Background");
        a.Width = pageW, a.Height = pageH;
        std::tie(a.CellWidth, a.CellHeight) =
            o.contains(QStringLiteral("tile")) ? pair(o[QStringLiteral("tile")], QStringLiteral("tile")) : std::pair(pageW, pageH);
        a.AdjustCounts();
        return;
    }
    if (o.contains(QStringLiteral("cells"))) {
        readCells(o[QStringLiteral("cells")].toObject(), a);
        settleCounts(a);
    } else {
        std::tie(a.Width, a.Height) = pair(o[QStringLiteral("size")], QStringLiteral("size"));
    }
    const QJsonArray at = o[QStringLiteral("at")].toArray();
    if (at.size() != 2) fail(QStringLiteral("area \"%1\" needs at [left, top]").arg(a.Name));
    a.Left = position(at[0], a.Width, pageW);
    a.Top = position(at[1], a.Height, pageH);
    if (o.contains(QStringLiteral("shape"))) readShape(o, a);
    if (o.contains(QStringLiteral("text"))) readText(o, a.Text);
    constexpr float kSlack = 0.002f;
    if (a.Left < -kSlack || a.Top < -kSlack || a.Left + a.Width > pageW + kSlack || a.Top + a.Height > pageH + kSlack)
        fail(QStringLiteral("area \"%1\" leaves the %2 x %3 page").arg(a.Name).arg(pageW).arg(pageH));
}

void writeTemplate(const QJsonObject& o, const std::map<QString, std::pair<float, float>>& pages, const QString& folder) {
    TLQTemplate t;
    t.Name = o[QStringLiteral("name")].toString();
    const QString pageName = o[QStringLiteral("page")].toString();
    const auto page = pages.find(pageName);
    if (page == pages.end()) fail(QStringLiteral("template \"%1\": unknown page \"%2\"").arg(t.Name, pageName));
    std::tie(t.Page.Width, t.Page.Height) = page->second;
    const QJsonArray areas = o[QStringLiteral("areas")].toArray();
    for (int i = 0; i < areas.size(); ++i) readArea(areas[i].toObject(), t, i);
    const QString path = folder + QLatin1Char('/') + o[QStringLiteral("file")].toString() + QStringLiteral(".qts");
    QString error;
    if (!t.SaveToFile(path, 0, error)) fail(error);
}

template <class List>
void saveSet(List& list, const QString& path) {
    if (!list.Save(path)) fail(QStringLiteral("could not write %1").arg(path));
}

void writeSets(const QJsonObject& root, const QString& folder) {
    const QJsonObject frameSet = root[QStringLiteral("frameSet")].toObject();
    TLQFrameList frames;
    frames.SetName = frameSet[QStringLiteral("name")].toString();
    for (const QJsonValue& v : frameSet[QStringLiteral("frames")].toArray()) {
        const QJsonArray f = v.toArray();
        frames.Items.push_back({f[0].toString(), number(f[1], QStringLiteral("frame width")), number(f[2], QStringLiteral("frame height"))});
    }
    frames.Sort();
    saveSet(frames, folder + QStringLiteral("/Standard.qfs"));

    const QJsonObject pageSet = root[QStringLiteral("pageSet")].toObject();
    const auto [offsetC, offsetA] = pair(pageSet[QStringLiteral("offset")], QStringLiteral("offset"));
    TLQPageList pages;
    pages.SetName = pageSet[QStringLiteral("name")].toString();
    for (const QJsonValue& v : pageSet[QStringLiteral("pages")].toArray()) {
        const QJsonArray p = v.toArray();
        TLQPage page;
        page.Name = p[0].toString();
        page.Width = number(p[1], QStringLiteral("page width"));
        page.Height = number(p[2], QStringLiteral("page height"));
        page.OffsetC = offsetC;
        page.OffsetA = offsetA;
        pages.Items.push_back(page);
    }
    saveSet(pages, folder + QStringLiteral("/Standard.qps"));

    const QJsonObject textSet = root[QStringLiteral("textSet")].toObject();
    TLQTextList texts;
    texts.SetName = textSet[QStringLiteral("name")].toString();
    for (const QJsonValue& v : textSet[QStringLiteral("texts")].toArray()) {
        TLQText t;
        t.Name = v[QStringLiteral("name")].toString();
        readText(v.toObject(), t);
        texts.Items.push_back(t);
    }
    saveSet(texts, folder + QStringLiteral("/Standard.qxs"));
}

void generate(const QString& description, const QString& dataDir) {
    QFile f(description);
    if (!f.open(QIODevice::ReadOnly)) fail(QStringLiteral("cannot read %1").arg(description));
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &parseError);
    if (doc.isNull()) fail(QStringLiteral("%1: %2").arg(description, parseError.errorString()));
    const QJsonObject root = doc.object();

    std::map<QString, std::pair<float, float>> pages;
    const QJsonObject pageObject = root[QStringLiteral("pages")].toObject();
    for (auto it = pageObject.begin(); it != pageObject.end(); ++it) pages[it.key()] = pair(it.value(), it.key());

    const QString templates = dataDir + QStringLiteral("/Vorlagen");
    QDir(templates).removeRecursively();  // nothing stale survives a regeneration
    for (const QJsonValue& c : root[QStringLiteral("categories")].toArray()) {
        const QString folder = templates + QLatin1Char('/') + c[QStringLiteral("name")].toString();
        if (!QDir().mkpath(folder)) fail(QStringLiteral("cannot create %1").arg(folder));
        for (const QJsonValue& t : c[QStringLiteral("templates")].toArray()) writeTemplate(t.toObject(), pages, folder);
    }
    const QString sets = dataDir + QStringLiteral("/Daten");
    if (!QDir().mkpath(sets)) fail(QStringLiteral("cannot create %1").arg(sets));
    writeSets(root, sets);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: templategen DESCRIPTION DATA_DIR\n", stderr);
        return 2;
    }
    try {
        generate(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
    } catch (const TFailure& e) {
        std::fprintf(stderr, "templategen: %s\n", e.what());
        return 1;
    }
    return 0;
}
