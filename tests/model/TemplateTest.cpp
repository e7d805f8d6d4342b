#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLocale>

#include "model/LQMeasures.h"
#include "model/LQTmpl.h"
#include "model/LQValues.h"
#include "tests/model/TemplateFixtures.h"

namespace {

using fixture::AreaSpec;
using fixture::Bytes;
using fixture::TemplateSpec;

QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

class TemplateFiles : public testing::Test {
protected:
    QString file(const QString& name) const { return fixture::qpath(dir, name.toStdString()); }
    QString write(const QString& name, const QByteArray& bytes) {
        writeBytes(file(name), bytes);
        return file(name);
    }

    fixture::Catalog catalog;
    fixture::Messages messages;
    lqtest::TempDir dir;
};

// ---- Versions -------------------------------------------------------------------------------

TEST_F(TemplateFiles, Version1HasNoTextsAndKeepsStoredPathsAsTheyAre) {
    TemplateSpec t;
    t.name = "Passbilder";
    AreaSpec a;
    a.path = "C:\\Fotos\\pass.jpg";
    a.gapX = a.gapY = 0;
    a.width = 7;
    a.cellWidth = 3.5f;
    a.cellHeight = 4.5f;
    t.areas = {a};
    TLQTemplate tmpl;
    ASSERT_TRUE(tmpl.LoadFromFile(write("v1.qts", fixture::templateFile(1, t))));
    EXPECT_EQ(tmpl.Name, "Passbilder");
    EXPECT_EQ(tmpl.Page.Width, 21.0f);
    EXPECT_EQ(tmpl.Page.Height, 29.7f);
    ASSERT_EQ(tmpl.AreaCount(), 1);
    const TLQTemplateArea& area = tmpl.Area(0);
    EXPECT_TRUE(area.Text.IsEmpty());
    EXPECT_EQ(area.Cols, 2);  // derived after the (absent) text block: Trunc(7 / 3.5)
    EXPECT_EQ(area.Rows, 0);  // 4 cm do not hold a 4.5 cm cell
    ASSERT_NE(area.Image(), nullptr);
    EXPECT_EQ(area.Image()->FileName, "C:\\Fotos\\pass.jpg");
    EXPECT_EQ(area.Template, &tmpl);
}

TEST_F(TemplateFiles, Version5ReadsTheTextBlockWithoutBackColourAndCrop) {
    TemplateSpec t;
    t.imageFolder = "/alt/Reise";
    AreaSpec a;
    a.text = "Zeile 1\r\nZeile 2";
    a.textName = "Gru\xdf";
    a.bold = true;
    a.alignment = 1;
    a.path = "$::bild.jpg";
    t.areas = {a};
    TLQTemplate tmpl;
    ASSERT_TRUE(tmpl.LoadFromFile(write("v5.qts", fixture::templateFile(5, t))));
    EXPECT_EQ(tmpl.ImageFolder, "/alt/Reise");
    const TLQTemplateArea& area = tmpl.Area(0);
    EXPECT_EQ(area.Text.Lines, (QStringList{"Zeile 1", "Zeile 2"}));
    EXPECT_EQ(area.Text.Name, QString::fromUtf8("Gruß"));
    EXPECT_TRUE(area.Text.Font.Bold);
    EXPECT_EQ(area.Text.Alignment, 1);
    EXPECT_EQ(area.Text.BackColor, -1);
    EXPECT_EQ(area.Crop, TLQCrop{});
    EXPECT_EQ(area.Image()->FileName, file("bild.jpg"));
}

TEST_F(TemplateFiles, Version9LeavesAngleKindAndShapeFieldsAtTheirDefaults) {
    TemplateSpec t;
    AreaSpec a;
    a.crop = {10, 20, 300, 400};
    a.text = "x";
    a.backColor = 0xFFFFFF;
    a.stored1 = 7;
    a.number = 3;
    a.angle = 90;  // not in a version 9 file
    t.areas = {a};
    TLQTemplate tmpl;
    ASSERT_TRUE(tmpl.LoadFromFile(write("v9.qts", fixture::templateFile(9, t))));
    const TLQTemplateArea& area = tmpl.Area(0);
    EXPECT_EQ(area.Crop, (TLQCrop{10, 20, 300, 400}));
    EXPECT_EQ(area.Text.BackColor, 0xFFFFFF);
    EXPECT_EQ(area.Stored1, 7);
    EXPECT_EQ(area.AreaNumber, 3);
    EXPECT_EQ(area.Angle, 0);
    EXPECT_EQ(area.Kind, 0);
    EXPECT_EQ(area.LineWidth, 0.1f);
    EXPECT_EQ(area.FillStyle, 1);
}

// A version 12 file in canonical form: loading and saving it again gives the same bytes.
TemplateSpec version12() {
    TemplateSpec t;
    t.name = "Collage gro\xdf";
    t.imageFolder = "";
    t.pageWidth = 15;
    t.pageHeight = 10;
    t.printer = "PDF";
    t.paperCode = 9;
    t.paper = "A4 210 x 297 mm";
    AreaSpec background;
    background.name = "Background";
    background.gapX = background.gapY = 0;
    background.left = background.top = 0;
    background.width = 15;
    background.height = 10;
    background.cellWidth = 15;
    background.cellHeight = 10;
    background.rows = background.cols = 1;
    AreaSpec photo;
    photo.path = "$::bild.jpg";
    photo.rows = 1;
    photo.cols = 2;
    photo.crop = {1, 2, 3, 4};
    photo.number = 1;
    photo.angle = 15;
    AreaSpec caption;
    caption.cellWidth = caption.cellHeight = 0;
    caption.imageMode = 2;
    caption.text = "Sommer\r\n2023";
    caption.textName = "Titel";
    caption.fontName = "Times New Roman";
    caption.fontSize = 24;
    caption.fontColor = 0x0000FF;
    caption.backColor = 0x00FFFF;
    caption.alignment = 2;
    AreaSpec ellipse;
    ellipse.cellWidth = ellipse.cellHeight = 0;
    ellipse.kind = 5;
    ellipse.lineWidth = 0.25f;
    ellipse.lineColor = 0x00FF00;
    ellipse.fillColor = 0xFF0000;
    ellipse.fillStyle = 7;
    ellipse.storedText = "alt";
    ellipse.stored1 = -5;
    t.areas = {background, photo, caption, ellipse};
    return t;
}

TEST_F(TemplateFiles, Version12ReadsEveryFieldAndWritesTheSameBytes) {
    const QByteArray bytes = fixture::templateFile(12, version12());
    const QString path = write("v12.qlt", bytes);
    TLQTemplate tmpl;
    tmpl.Modified = true;
    ASSERT_TRUE(tmpl.LoadFromFile(path));
    EXPECT_FALSE(tmpl.Modified);
    EXPECT_EQ(tmpl.FileName, path);
    EXPECT_EQ(tmpl.Name, QString::fromUtf8("Collage groß"));
    EXPECT_EQ(tmpl.PrinterName, "PDF");
    EXPECT_EQ(tmpl.PaperCode, 9);
    EXPECT_EQ(tmpl.PaperName, "A4 210 x 297 mm");
    ASSERT_EQ(tmpl.AreaCount(), 4);
    EXPECT_TRUE(tmpl.Area(0).IsBackground());
    EXPECT_EQ(tmpl.Area(1).Angle, 15);
    EXPECT_EQ(tmpl.Area(1).Cols, 2);
    const TLQTemplateArea& caption = tmpl.Area(2);
    EXPECT_TRUE(caption.IsTextArea());
    EXPECT_FALSE(caption.IsImageArea());
    EXPECT_EQ(caption.Text.Font, (TLQFont{"Times New Roman", 24, false, false, false, false, 0x0000FF}));
    EXPECT_EQ(caption.Text.BackColor, 0x00FFFF);
    EXPECT_EQ(caption.Image(), nullptr);  // an empty path is no image
    const TLQTemplateArea& ellipse = tmpl.Area(3);
    EXPECT_EQ(ellipse.Kind, TLQTemplateArea::Ellipse);
    EXPECT_EQ(ellipse.LineWidth, 0.25f);
    EXPECT_EQ(ellipse.FillStyle, 7);
    EXPECT_EQ(ellipse.StoredText, "alt");
    EXPECT_EQ(ellipse.Stored1, -5);

    const QString copy = file("copy.qlt");
    QString error;
    ASSERT_TRUE(tmpl.SaveToFile(copy, 2, error)) << error.toStdString();
    EXPECT_EQ(readBytes(copy), bytes);
    EXPECT_EQ(tmpl.FileName, copy);
}

TEST_F(TemplateFiles, ADamagedPrinterTailIsIgnored) {
    const QByteArray bytes = fixture::templateFile(12, version12());
    TLQTemplate tmpl;
    EXPECT_TRUE(tmpl.LoadFromFile(write("tail.qlt", bytes.left(bytes.size() - 3))));
    EXPECT_EQ(tmpl.AreaCount(), 4);
    EXPECT_EQ(tmpl.PrinterName, "PDF");
    EXPECT_TRUE(messages.shown.empty());
}

// ---- Failed loads ---------------------------------------------------------------------------

class FailedLoads : public TemplateFiles {
protected:
    void SetUp() override {
        TemplateSpec t;
        t.name = "Alt";
        t.areas = {AreaSpec{}, AreaSpec{}};
        ASSERT_TRUE(tmpl.LoadFromFile(write("alt.qts", fixture::templateFile(12, t))));
        tmpl.Modified = true;
        messages.shown.clear();
    }
    void expectUnchanged() {
        EXPECT_EQ(tmpl.Name, "Alt");
        EXPECT_EQ(tmpl.AreaCount(), 2);
        EXPECT_EQ(tmpl.FileName, file("alt.qts"));
        EXPECT_TRUE(tmpl.Modified);
    }
    TLQTemplate tmpl;
};

TEST_F(FailedLoads, AFileThatIsNoTemplateWarnsAndChangesNothing) {
    const QString path = write("text.qts", "Lumenquiltworks 97 Tempel und mehr");
    EXPECT_FALSE(tmpl.LoadFromFile(path));
    expectUnchanged();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "T1009 " + path + "\nT1014");
    EXPECT_EQ(messages.shown[0].icon, lqp::MsgIcon::Warning);
    EXPECT_FALSE(tmpl.LoadFromFile(path, false));
    EXPECT_EQ(messages.shown.size(), 1u);  // loading a template folder shows nothing
}

TEST_F(FailedLoads, EveryTruncationReportsTheReadErrorAndChangesNothing) {
    TemplateSpec t = version12();
    t.printer.clear();
    t.paper.clear();
    const QByteArray bytes = fixture::templateFile(12, t);
    // Cuts inside the printer tail (6 bytes now) still load; everything before it must fail.
    const qsizetype tailStart = bytes.size() - 6;
    for (qsizetype cut = fixture::kTemplateSig.size(); cut < tailStart; ++cut) {
        SCOPED_TRACE(cut);
        const QString path = write("cut.qlt", bytes.left(cut));
        messages.shown.clear();
        EXPECT_FALSE(tmpl.LoadFromFile(path));
        expectUnchanged();
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, "T1011 " + path + ":\nunexpected end of file.");
        EXPECT_EQ(messages.shown[0].icon, lqp::MsgIcon::Error);
    }
}

TEST_F(FailedLoads, HostileCountsAndLengthsAreRefused) {
    const struct { const char* what; QByteArray bytes; QString error; } cases[] = {
        {"huge area count",
         Bytes().raw(fixture::kTemplateSig).num(12).str("x").str("").real(1).real(1).num(0).num(0).i32(0x7fffffff).data,
         "area count 2147483647 above 100000"},
        {"area count beyond the data",
         Bytes().raw(fixture::kTemplateSig).num(12).str("x").str("").real(1).real(1).num(0).num(0).num(90000).data,
         "unexpected end of file"},
        {"text over 2000 characters", [] {
             TemplateSpec t;
             AreaSpec a;
             a.text = QByteArray(2001, 'x');
             t.areas = {a};
             return fixture::templateFile(12, t);
         }(), "text length 2001 outside 0..2000"},
        {"long string past the end", Bytes().raw(fixture::kTemplateSig).num(12).tag(12).i32(-1).data.chopped(1),
         "unexpected end of file"},
        {"real where the version belongs", Bytes().raw(fixture::kTemplateSig).real(12).data, "invalid property value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        messages.shown.clear();
        const QString path = write("bad.qts", c.bytes);
        EXPECT_FALSE(tmpl.LoadFromFile(path));
        expectUnchanged();
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, "T1011 " + path + ":\n" + c.error + ".");
    }
}

// ---- Saving ---------------------------------------------------------------------------------

TEST_F(TemplateFiles, WriteThenReadGivesTheSameTemplate) {
    TLQTemplate t;
    t.Name = QString::fromUtf8("Grußkarte");
    t.ImageFolder = "/home/u/Layouts/Karte";
    t.Page.Width = 14.8f;
    t.Page.Height = 21;
    t.Page.PageInt1 = 1200;
    t.PrinterName = "Canon";
    t.PaperCode = 11;
    t.PaperName = "A5";
    TLQTemplateArea& a = t.AddArea();
    a.Name = "Foto";
    a.Left = 1.25f, a.Top = 0.1f, a.Width = 12.3f, a.Height = 8;
    a.CellWidth = 6, a.CellHeight = 8, a.Rows = 1, a.Cols = 2;
    a.GapX = 0.3f;
    a.Crop = {5, 6, 700, 800};
    a.AreaNumber = 1;
    a.Angle = 270;
    TLQTemplateArea& s = t.AddArea();
    s.Kind = TLQTemplateArea::Rectangle;
    s.FillStyle = 4, s.FillColor = 0x123456, s.LineColor = 0x654321, s.LineWidth = 0.05f;
    s.Text.SetText(QString::fromUtf8("Ärger €\r\nzwei"));
    s.Text.Font = {"Liberation Sans", 9, true, true, true, true, 0x00FF00};
    s.Text.BackColor = 0xABCDEF;

    QString error;
    ASSERT_TRUE(t.SaveToFile(file("rt.qts"), 0, error));
    TLQTemplate back;
    ASSERT_TRUE(back.LoadFromFile(file("rt.qts")));
    EXPECT_EQ(back.Name, t.Name);
    EXPECT_EQ(back.ImageFolder, t.ImageFolder);
    EXPECT_EQ(back.Page.Width, t.Page.Width);
    EXPECT_EQ(back.Page.PageInt1, 1200);
    EXPECT_EQ(back.PrinterName, "Canon");
    EXPECT_EQ(back.PaperCode, 11);
    EXPECT_EQ(back.PaperName, "A5");
    ASSERT_EQ(back.AreaCount(), 2);
    for (int i = 0; i < 2; ++i) {
        const TLQTemplateArea &x = t.Area(i), &y = back.Area(i);
        EXPECT_EQ(std::tie(x.Name, x.Kind, x.Left, x.Top, x.Width, x.Height, x.GapX, x.GapY, x.CellWidth, x.CellHeight),
                  std::tie(y.Name, y.Kind, y.Left, y.Top, y.Width, y.Height, y.GapX, y.GapY, y.CellWidth, y.CellHeight));
        EXPECT_EQ(std::tie(x.Rows, x.Cols, x.Crop, x.AreaNumber, x.Angle, x.Stored1, x.LineWidth, x.LineColor, x.FillColor, x.FillStyle),
                  std::tie(y.Rows, y.Cols, y.Crop, y.AreaNumber, y.Angle, y.Stored1, y.LineWidth, y.LineColor, y.FillColor, y.FillStyle));
        EXPECT_EQ(x.Text, y.Text);
    }
}

TEST_F(TemplateFiles, TheBackgroundIsWrittenWithoutGaps) {
    TLQTemplate t;
    TLQTemplateArea& bg = t.AddArea();
    bg.Name = "Background";
    bg.GapX = bg.GapY = 0.3f;
    QString error;
    ASSERT_TRUE(t.SaveToFile(file("bg.qts"), 0, error));
    TLQTemplate back;
    ASSERT_TRUE(back.LoadFromFile(file("bg.qts")));
    EXPECT_EQ(back.Area(0).GapX, 0.0f);
    EXPECT_EQ(back.Area(0).GapY, 0.0f);
}

TEST_F(TemplateFiles, AFailedSaveReturnsTheMessageAndKeepsTheOldFile) {
    TLQTemplate t;
    t.Modified = true;
    t.FileName = "(Neu)";
    QString error;
    const QString missing = file("fehlt/x.qlt");
    EXPECT_FALSE(t.SaveToFile(missing, 2, error));
    EXPECT_TRUE(error.startsWith("T1012 " + missing + ":\n"));
    EXPECT_TRUE(error.endsWith("."));
    EXPECT_EQ(t.FileName, "(Neu)");
    EXPECT_TRUE(t.Modified);
    EXPECT_TRUE(messages.shown.empty());  // the caller shows it
}

// ---- Image references -----------------------------------------------------------------------

TEST_F(TemplateFiles, ALayoutMovedWithItsImageStillFindsIt) {
    writeBytes(file("a/urlaub.jpg"), "jpeg");
    writeBytes(file("a/fern/berg.jpg"), "jpeg");
    TLQTemplate layout;
    for (const char* name : {"a/urlaub.jpg", "a/fern/berg.jpg", "anderswo/see.jpg"}) {
        TLQTemplateArea& area = layout.AddArea();
        area.CellWidth = area.CellHeight = area.Width = area.Height = 5;
        area.SetImage(new TLQImage(file(name)));
    }
    layout.AddArea().SetImage(new TLQImage(file("a/keine-bildflaeche.jpg")));  // not an image area
    QString error;
    ASSERT_TRUE(layout.SaveToFile(file("a/reise.qlt"), 2, error));

    // The stored references: relative within the layout's folder, else absolute.
    const QByteArray stored = readBytes(file("a/reise.qlt")).mid(28);
    TLQValueReader r(stored);
    std::int32_t version;
    r.ReadInteger(version);
    TLQTemplate raw;
    raw.ReadBody(r, QStringLiteral("/nirgends/x.qlt"), version);
    EXPECT_EQ(raw.Area(0).Image()->FileName, "/nirgends/urlaub.jpg");  // proof of "$::urlaub.jpg"
    EXPECT_EQ(raw.Area(1).Image()->FileName, "/nirgends/fern/berg.jpg");
    EXPECT_EQ(raw.Area(2).Image()->FileName, file("anderswo/see.jpg"));
    EXPECT_EQ(raw.Area(3).Image(), nullptr);

    // Moved: the layout and urlaub.jpg to b/, berg.jpg loses its sub-folder.
    ASSERT_TRUE(QDir().mkpath(file("b")));
    ASSERT_TRUE(QFile::rename(file("a/reise.qlt"), file("b/reise.qlt")));
    ASSERT_TRUE(QFile::rename(file("a/urlaub.jpg"), file("b/urlaub.jpg")));
    ASSERT_TRUE(QFile::rename(file("a/fern/berg.jpg"), file("b/berg.jpg")));
    TLQTemplate moved;
    ASSERT_TRUE(moved.LoadFromFile(file("b/reise.qlt")));
    EXPECT_EQ(moved.Area(0).Image()->FileName, file("b/urlaub.jpg"));
    EXPECT_EQ(moved.Area(1).Image()->FileName, file("b/berg.jpg"));

    // Mode 0 stores no paths.
    ASSERT_TRUE(moved.SaveToFile(file("b/ohne.qts"), 0, error));
    TLQTemplate none;
    ASSERT_TRUE(none.LoadFromFile(file("b/ohne.qts")));
    EXPECT_EQ(none.Area(0).Image(), nullptr);
}

TEST_F(TemplateFiles, StoredPathsFromOldFilesResolve) {
    writeBytes(file("l/pic.jpg"), "jpeg");
    const struct { QByteArray stored; QString expected; } cases[] = {
        {"$::pic.jpg", file("l/pic.jpg")},
        {"$::Unterordner\\pic.jpg", file("l/pic.jpg")},      // Windows separators, file found by name
        {"$::weg\\fehlt.jpg", file("l/weg/fehlt.jpg")},      // neither exists: the first form
        {"pic.jpg", file("l/pic.jpg")},                       // no folder: the layout's
        {"C:\\Bilder\\x.jpg", "C:\\Bilder\\x.jpg"},           // other paths as stored
        {"/srv/fotos/y.jpg", "/srv/fotos/y.jpg"},
    };
    TemplateSpec t;
    for (const auto& c : cases) {
        AreaSpec a;
        a.path = c.stored;
        t.areas.push_back(a);
    }
    TLQTemplate tmpl;
    ASSERT_TRUE(tmpl.LoadFromFile(write("l/alt.qlt", fixture::templateFile(8, t))));
    for (int i = 0; i < int(std::size(cases)); ++i)
        EXPECT_EQ(tmpl.Area(i).Image()->FileName, cases[i].expected) << cases[i].stored.constData();
}

// ---- Copies and counts ----------------------------------------------------------------------

TEST(TemplateAreas, CellCountsFollowAreaCellAndGap) {
    const struct { float width, cell, gap; int cols; } cases[] = {
        {9, 4, 0.5f, 2}, {9, 4.5f, 0, 2}, {9, 10, 0.5f, 0}, {13.5f, 4, 0.5f, 3}, {10, 3.3f, 0.05f, 3},
    };
    for (const auto& c : cases) {
        TLQTemplateArea a;
        a.Width = a.Height = c.width;
        a.CellWidth = a.CellHeight = c.cell;
        a.GapX = a.GapY = c.gap;
        a.AdjustCounts();
        EXPECT_EQ(a.Cols, c.cols) << c.width << " / " << c.cell << " / " << c.gap;
        EXPECT_EQ(a.Rows, c.cols);
    }
    TLQTemplateArea kept;
    kept.Width = 100;
    kept.CellWidth = 1;
    kept.Cols = 4;
    kept.AdjustCounts();
    EXPECT_EQ(kept.Cols, 4);
    EXPECT_EQ(kept.Rows, 0);  // no cell height, no rows
}

TEST(TemplateAreas, CopiesCarryOnlyTheImageFileName) {
    TLQTemplate source;
    TLQTemplateArea& a = source.AddArea();
    a.Name = "Foto";
    a.TextName = "Preset";
    a.Text.SetText("Hallo");
    a.Text.Angle = 90;
    a.Crop = {1, 2, 3, 4};
    a.Kind = TLQTemplateArea::Line;
    a.SetImage(fixture::photo("/f/bild.jpg", 1200, 800));
    source.Modified = false;

    TLQTemplate copy;
    copy.AddArea().SetImage(new TLQImage("/vorher.jpg"));
    copy.Assign(source);
    EXPECT_TRUE(copy.Modified);
    ASSERT_EQ(copy.AreaCount(), 1);
    const TLQTemplateArea& c = copy.Area(0);
    EXPECT_EQ(c.Template, &copy);
    EXPECT_EQ(c.Name, "Foto");
    EXPECT_EQ(c.Text, a.Text);
    EXPECT_EQ(c.Crop, a.Crop);
    EXPECT_EQ(c.Kind, TLQTemplateArea::Line);
    EXPECT_TRUE(c.TextName.isEmpty());
    ASSERT_NE(c.Image(), nullptr);
    EXPECT_NE(c.Image(), a.Image());
    EXPECT_EQ(c.Image()->FileName, "/f/bild.jpg");
    EXPECT_FALSE(c.Image()->HasPixelObject());
    EXPECT_EQ(a.Image()->RefCount(), 1);
}

TEST(TemplateAreas, SharedImagesLiveUntilTheLastHolderReleasesThem) {
    TLQImage* image = new TLQImage("/x.jpg");
    {
        TLQTemplateArea first, second;
        first.SetImage(image);
        second.SetImage(image->AddRef());
        EXPECT_EQ(image->RefCount(), 2);
        first.SetImage(nullptr);
        EXPECT_EQ(image->RefCount(), 1);
    }  // the second holder frees it (checked by the sanitizer build)
}

// ---- Placeholders ---------------------------------------------------------------------------

class Placeholders : public testing::Test {
protected:
    Placeholders() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        TLQTemplateArea& photo = layout.AddArea();
        photo.AreaNumber = 2;
        photo.CellWidth = photo.CellHeight = 1;
        photo.SetImage(fixture::photo("/home/u/Fotos/Strand.jpg", 1200, 800));
        TLQTemplateArea& unloaded = layout.AddArea();
        unloaded.AreaNumber = 3;
        unloaded.SetImage(new TLQImage("/home/u/ohne-pixel.jpg"));
        text = &layout.AddArea();
    }
    ~Placeholders() override {
        QLocale::setDefault(QLocale::c());
        ModelSettings() = TLQModelSettings();
    }
    QString expand(const QString& t) {
        text->Text.SetText(t);
        return text->ExpandText();
    }
    TLQTemplate layout;
    TLQTemplateArea* text = nullptr;
};

TEST_F(Placeholders, GermanKeywordsQuoteTheNumberedAreasImage) {
    const struct { const char* text; const char* expected; } cases[] = {
        {"<Bild2_Breite>", "1200"},
        {"<Bild2_Höhe>", "800"},
        {"<Bild2_Farbtiefe>", "24"},
        {"<Bild2_Größe>", "2880040"},
        {"<Bild2_BreiteCM>", "10,16"},
        {"<Bild2_Name>", "Strand.jpg"},
        {"<Bild2_Pfad>", "/home/u/Fotos/"},
        {"<Bild2_Datum>", "14.07.23"},
        {"Breite <Bild2_Breite> px, Höhe <Bild2-Höhe> px", "Breite 1200 px, Höhe 800 px"},
        {"<Bild02xBreite>", "1200"},                       // any separator, leading zeros
        {"<Bild4_Breite>", "<Bild4_Breite>"},              // no area numbered 4
        {"<Bild3_Breite>", "<Bild3_Breite>"},              // area 3 has no pixel object
        {"<Bild2_Width>", "<Bild2_Width>"},                // English keyword in German
        {"<Bild2_breite>", "<Bild2_breite>"},              // keywords are case-sensitive
        {"<Bild0_Breite>", "<Bild0_Breite>"},
        {"<Bild2>", "<Bild2>"},
        {"a <b> <Bild2_Breite>", "a <b> <Bild2_Breite>"},  // the first token decides the line
        {"Zeile 1\r\n<Bild2_Breite>", "Zeile 1\r\n1200"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(expand(QString::fromUtf8(c.text)), QString::fromUtf8(c.expected)) << c.text;
}

TEST_F(Placeholders, EnglishKeywordsAndAnotherImageWord) {
    ModelSettings().LanguageCode = 2;
    ModelSettings().ImageWord = "Image";
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(expand("<Image2_Width> x <Image2_Height>"), "1200 x 800");
    EXPECT_EQ(expand("<Image2_HeightIn> cm"), "6.77 cm");
    EXPECT_EQ(expand("<Image2_Time>"), "18:30:05");
    EXPECT_EQ(expand("<Bild2_Width>"), "<Bild2_Width>");
    EXPECT_EQ(expand("<Image2_Breite>"), "<Image2_Breite>");
}

TEST_F(Placeholders, SmallSizesHaveNoLeadingZero) {
    layout.Area(0).SetImage(fixture::photo("/a.jpg", 59, 60));  // 0.4997 and 0.508 cm at 300 dpi
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(expand("<Bild2_BreiteCM>|<Bild2_HöheCM>"), QString::fromUtf8(".5|.51"));
}

TEST_F(Placeholders, SavedTextsAreExpanded) {
    text->Text.SetText("Foto: <Bild2_Name>");
    lqtest::TempDir dir;
    QString error;
    ASSERT_TRUE(layout.SaveToFile(fixture::qpath(dir, "p.qlt"), 0, error));
    TLQTemplate back;
    ASSERT_TRUE(back.LoadFromFile(fixture::qpath(dir, "p.qlt")));
    EXPECT_EQ(back.Area(2).Text.Text(), "Foto: Strand.jpg");
}

// ---- Template sets and folders --------------------------------------------------------------

TEST_F(TemplateFiles, TemplateSetsReadEveryCategory) {
    Bytes b;
    b.raw("Lumenquiltworks 97 Template Set").num(7).str("Alte Sammlung").num(2);
    b.str("Karten").num(2);
    TemplateSpec one;
    one.name = "Karte A";
    one.areas = {AreaSpec{}};
    fixture::body(b, 7, one);
    TemplateSpec two;
    two.name = "Karte B";
    fixture::body(b, 7, two);
    b.str("Leer").num(0);
    const QString path = write("alt.qst", b.data);
    TLQTemplateList list;
    ASSERT_TRUE(list.LoadSet(path));
    EXPECT_EQ(list.FileName, path);
    EXPECT_EQ(list.SetName, "Alte Sammlung");
    ASSERT_EQ(list.Categories.size(), 2u);
    EXPECT_EQ(list.Categories[0]->Name, "Karten");
    ASSERT_EQ(list.Categories[0]->Templates.size(), 2u);
    EXPECT_EQ(list.Categories[0]->Templates[0]->Name, "Karte A");
    EXPECT_EQ(list.Categories[0]->Templates[0]->AreaCount(), 1);
    EXPECT_EQ(list.Categories[1]->Templates.size(), 0u);

    // Cut short: the German read-error message, and the list stays as it was.
    const QString cut = write("kurz.qst", b.data.left(b.data.size() - 4));
    EXPECT_FALSE(list.LoadSet(cut));
    EXPECT_EQ(list.Categories.size(), 2u);
    EXPECT_EQ(list.FileName, path);
    EXPECT_EQ(messages.shown.back().text, "Fehler beim Lesen der Datei " + cut + ":\nunexpected end of file.");
    const QString other = write("x.qst", fixture::templateFile(12, one));
    EXPECT_FALSE(list.LoadSet(other));
    EXPECT_EQ(messages.shown.back().text,
              "Die Datei " + other + QString::fromUtf8("\nenthält keine Lumenquiltworks 97 Layoutvorlagen."));
    EXPECT_EQ(messages.shown.back().icon, lqp::MsgIcon::Warning);
}

TEST_F(TemplateFiles, FoldersLoadOneCategoryPerSubFolderAndSkipBrokenFiles) {
    TemplateSpec t;
    for (const char* name : {"Zwei", "Eins"}) {
        t.name = name;
        write(QStringLiteral("vorlagen/Postkarten/%1.qts").arg(name), fixture::templateFile(12, t));
    }
    t.name = "Pass";
    write("vorlagen/Passbilder/pass.QTS", fixture::templateFile(3, t));
    write("vorlagen/Passbilder/kaputt.qts", "Lumenquiltworks 97 Template");
    write("vorlagen/Passbilder/notiz.txt", "kein Template");
    write("vorlagen/direkt.qts", fixture::templateFile(12, t));
    QDir().mkpath(file("vorlagen/Leer"));

    TLQTemplateList list;
    EXPECT_TRUE(list.LoadFolder(file("vorlagen")));
    list.Sort();
    EXPECT_TRUE(messages.shown.empty());
    ASSERT_EQ(list.Categories.size(), 3u);
    EXPECT_EQ(list.Categories[0]->Name, "Leer");
    EXPECT_EQ(list.Categories[1]->Name, "Passbilder");
    ASSERT_EQ(list.Categories[1]->Templates.size(), 1u);
    EXPECT_EQ(list.Categories[1]->Templates[0]->Name, "Pass");
    ASSERT_EQ(list.Categories[2]->Templates.size(), 2u);
    EXPECT_EQ(list.Categories[2]->Templates[0]->Name, "Eins");
    EXPECT_EQ(list.Categories[2]->Templates[0]->FileName, file("vorlagen/Postkarten/Eins.qts"));
}

}  // namespace
