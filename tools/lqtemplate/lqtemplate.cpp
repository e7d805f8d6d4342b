// lqtemplate: inspects the program's own files from the command line.
//
//   lqtemplate dump FILE   prints a template, layout, template set or pool set file, one field
//                          per line
//   lqtemplate check DIR   loads every template (*.qts) below DIR and names those that fail
//
// Exit status: 0 success, 1 a file failed to load (or check found no template), 2 usage.
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <charconv>
#include <cstdio>
#include <type_traits>

#include "model/LQSets.h"
#include "model/LQTmpl.h"
#include "model/LQImage.h"
#include "model/LQMeasures.h"
#include "model/LQValues.h"
#include "platform/MessageSink.h"
#include "shell/LQLang.h"

namespace {

void print(const QString& line) { std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), stdout); }

QString num(float v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return QString::fromLatin1(buf, r.ptr - buf);
}
template <class Int>
    requires std::is_integral_v<Int>
QString num(Int v) { return QString::number(std::int64_t(v)); }
QString flag(bool b) { return b ? QStringLiteral("true") : QStringLiteral("false"); }
QString color(std::int32_t c) {
    return QStringLiteral("%1 (0x%2)").arg(c).arg(std::uint32_t(c), 8, 16, QLatin1Char('0'));
}

// Prints "prefix.name: value" lines.
struct Printer {
    QString prefix;
    void operator()(const char* name, const QString& value) const {
        print((prefix.isEmpty() ? QString() : prefix + QLatin1Char('.')) + QLatin1String(name) + QStringLiteral(": ") + value);
    }
};

void dumpText(const Printer& p, const TLQText& t) {
    p("Name", t.Name);
    p("LineCount", num(t.Lines.size()));
    for (int i = 0; i < t.Lines.size(); ++i) p(QStringLiteral("Line %1").arg(i + 1).toLatin1().constData(), t.Lines[i]);
    p("Font.Name", t.Font.Name);
    p("Font.Size", num(t.Font.Size));
    p("Font.Bold", flag(t.Font.Bold));
    p("Font.Italic", flag(t.Font.Italic));
    p("Font.Underline", flag(t.Font.Underline));
    p("Font.StrikeOut", flag(t.Font.StrikeOut));
    p("Font.Color", color(t.Font.Color));
    p("Alignment", num(t.Alignment));
    p("BackColor", color(t.BackColor));
}

void dumpArea(const Printer& p, const TLQTemplateArea& a) {
    p("Name", a.Name);
    p("Kind", num(a.Kind));
    p("Left", num(a.Left));
    p("Top", num(a.Top));
    p("Width", num(a.Width));
    p("Height", num(a.Height));
    p("Angle", num(a.Angle));
    p("Stored1", num(a.Stored1));
    p("AreaNumber", num(a.AreaNumber));
    p("GapX", num(a.GapX));
    p("GapY", num(a.GapY));
    p("StoredText", a.StoredText);
    p("CellWidth", num(a.CellWidth));
    p("CellHeight", num(a.CellHeight));
    p("Rows", num(a.Rows));
    p("Cols", num(a.Cols));
    p("Image", a.Image() ? a.Image()->FileName : QString());
    p("Crop", QStringLiteral("%1 %2 %3 %4").arg(a.Crop.Left).arg(a.Crop.Top).arg(a.Crop.Width).arg(a.Crop.Height));
    dumpText(Printer{p.prefix + QStringLiteral(".Text")}, a.Text);
    p("LineWidth", num(a.LineWidth));
    p("LineColor", color(a.LineColor));
    p("FillColor", color(a.FillColor));
    p("FillStyle", num(a.FillStyle));
}

void dumpTemplate(const Printer& p, const TLQTemplate& t) {
    p("Name", t.Name);
    p("ImageFolder", t.ImageFolder);
    p("Page.Width", num(t.Page.Width));
    p("Page.Height", num(t.Page.Height));
    p("Page.PageInt1", num(t.Page.PageInt1));
    p("Page.PageInt2", num(t.Page.PageInt2));
    p("PrinterName", t.PrinterName);
    p("PaperCode", num(t.PaperCode));
    p("PaperName", t.PaperName);
    p("AreaCount", num(t.AreaCount()));
    for (int i = 0; i < t.AreaCount(); ++i)
        dumpArea(Printer{(p.prefix.isEmpty() ? QString() : p.prefix + QLatin1Char('.')) + QStringLiteral("Area %1").arg(i + 1)}, t.Area(i));
}

// The version stored right after a signature of `signatureLength` bytes.
QString storedVersion(const QByteArray& data, qsizetype signatureLength) {
    TLQValueReader r(QByteArrayView(data).sliced(std::min(signatureLength, data.size())));
    std::int32_t version = 0;
    return r.ReadInteger(version) ? num(version) : QStringLiteral("?");
}

template <class List, class DumpEntry>
bool dumpSet(const QString& path, const QString& version, const char* kind, const char* entryName, DumpEntry dumpEntry) {
    List list;
    if (!list.Load(path)) return false;
    const Printer p;
    p("Kind", QLatin1String(kind));
    p("Version", version);
    p("SetName", list.SetName);
    p("Count", num(list.Count()));
    for (int i = 0; i < list.Count(); ++i) dumpEntry(Printer{QStringLiteral("%1 %2").arg(QLatin1String(entryName)).arg(i + 1)}, list[i]);
    return true;
}

void dumpFrame(const Printer& p, const TLQFrame& f) {
    p("Name", f.Name);
    p("Width", num(f.Width));
    p("Height", num(f.Height));
}

void dumpPage(const Printer& p, const TLQPage& g) {
    p("Name", g.Name);
    p("Width", num(g.Width));
    p("Height", num(g.Height));
    p("PageInt1", num(g.PageInt1));
    p("PageInt2", num(g.PageInt2));
    p("OffsetA", num(g.OffsetA));
    p("OffsetB", num(g.OffsetB));
    p("OffsetC", num(g.OffsetC));
    p("OffsetD", num(g.OffsetD));
    p("GapA", num(g.GapA));
    p("GapB", num(g.GapB));
}

int dump(const QString& path) {
    QByteArray data;
    QString error;
    if (!ReadFileBytes(path, data, error)) {
        std::fprintf(stderr, "lqtemplate: %s: %s\n", qPrintable(path), qPrintable(error));
        return 1;
    }
    const Printer p;
    p("File", path);
    bool ok = false;
    if (data.startsWith("Lumenquiltworks 97 Template Set")) {
        TLQTemplateList list;
        if ((ok = list.LoadSet(path))) {
            p("Kind", QStringLiteral("template set"));
            p("Version", storedVersion(data, 31));
            p("SetName", list.SetName);
            p("CategoryCount", num(list.Categories.size()));
            for (std::size_t c = 0; c < list.Categories.size(); ++c) {
                const Printer cp{QStringLiteral("Category %1").arg(c + 1)};
                cp("Name", list.Categories[c]->Name);
                cp("TemplateCount", num(list.Categories[c]->Templates.size()));
                for (std::size_t t = 0; t < list.Categories[c]->Templates.size(); ++t)
                    dumpTemplate(Printer{cp.prefix + QStringLiteral(".Template %1").arg(t + 1)}, *list.Categories[c]->Templates[t]);
            }
        }
    } else if (data.startsWith("Lumenquiltworks 97 Template")) {
        TLQTemplate t;
        if ((ok = t.LoadFromFile(path))) {
            p("Kind", QStringLiteral("template"));
            p("Version", storedVersion(data, 28));
            dumpTemplate(p, t);
        }
    } else if (data.startsWith("Lumenquiltworks 97 Frame Set")) {
        ok = dumpSet<TLQFrameList>(path, storedVersion(data, 28), "frame set", "Frame", dumpFrame);
    } else if (data.startsWith("Lumenquiltworks 97 Page Set")) {
        ok = dumpSet<TLQPageList>(path, storedVersion(data, 27), "page set", "Page", dumpPage);
    } else if (data.startsWith("Lumenquiltworks 97 Text Set")) {
        ok = dumpSet<TLQTextList>(path, storedVersion(data, 27), "text set", "Text", dumpText);
    } else {
        std::fprintf(stderr, "lqtemplate: %s: not a template, layout or set file\n", qPrintable(path));
    }
    return ok ? 0 : 1;
}

int check(const QString& root) {
    if (!QFileInfo(root).isDir()) {
        std::fprintf(stderr, "lqtemplate: %s: no such folder\n", qPrintable(root));
        return 1;
    }
    int checked = 0, failed = 0;
    QDirIterator it(root, {QStringLiteral("*.qts")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        TLQTemplate t;
        ++checked;
        if (!t.LoadFromFile(path)) {
            ++failed;
            std::fprintf(stderr, "FAILED %s\n", qPrintable(path));
        }
    }
    std::printf("%d templates checked, %d failed\n", checked, failed);
    return checked > 0 && failed == 0 ? 0 : 1;
}

int usage() {
    std::fputs("usage: lqtemplate dump FILE\n       lqtemplate check DIR\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return usage();
    // Messages name the file and the error; their leading words come from the catalog when
    // one is found, and a missing catalog is no reason to refuse.
    lqp::setMessageSink([](const lqp::Message&) { return lqp::MsgAnswer::Ok; });
    const bool catalog = LoadLanguageLibrary();
    lqp::setMessageSink([](const lqp::Message& m) {
        std::fprintf(stderr, "%s\n", m.text.c_str());
        return lqp::MsgAnswer::Ok;
    });
    if (catalog) TakeModelWordsFromLanguage();
    const QString command = QString::fromLocal8Bit(argv[1]);
    const QString target = QString::fromLocal8Bit(argv[2]);
    if (command == QStringLiteral("dump")) return dump(target);
    if (command == QStringLiteral("check")) return check(target);
    return usage();
}
