// Template and layout files built byte by byte from the file layout, for any version.
#pragma once

#include <array>
#include <vector>

#include "model/LQImage.h"
#include "tests/model/ModelFixtures.h"

namespace fixture {

const QByteArray kTemplateSig("Lumenquiltworks 97 Template", 28);  // 27 characters and a NUL

struct AreaSpec {
    QByteArray name = "Bild";
    float left = 1, top = 2, width = 9, height = 4, gapX = 0.5f, gapY = 0.5f;
    QByteArray storedText;
    float cellWidth = 4, cellHeight = 4;
    int rows = 0, cols = 0;
    int imageMode = 2;
    QByteArray path;
    std::array<int, 4> crop{};
    QByteArray textName, text;  // a text block only when text is not empty
    QByteArray fontName = "Arial";
    int fontSize = 12, fontColor = 0, alignment = 0, backColor = -1;
    bool bold = false, italic = false;
    int stored1 = 0, number = 0, angle = 0, kind = 0;
    float lineWidth = 0.1f;
    int lineColor = 0, fillColor = 0, fillStyle = 1;
};

// One area record of version v: only the fields that version stores.
inline void area(Bytes& b, int v, const AreaSpec& a) {
    b.str(a.name);
    for (float f : {a.left, a.top, a.width, a.height, a.gapX, a.gapY}) b.real(f);
    b.str(a.storedText).real(a.cellWidth).real(a.cellHeight).num(a.rows).num(a.cols);
    if (v >= 3) b.num(a.imageMode);
    b.str(a.path);
    if (v > 5)
        for (int c : a.crop) b.num(c);
    if (v > 1) {
        b.boolean(!a.text.isEmpty());
        if (!a.text.isEmpty()) {
            b.str(a.textName);
            if (v > 4) b.textBlock(a.text);
            else b.str(a.text);
            b.font(a.fontName, a.fontSize, a.bold, a.italic, false, false, a.fontColor).num(a.alignment);
            if (v > 7) b.num(a.backColor);
        }
    }
    if (v > 8) b.num(a.stored1).num(a.number);
    if (v > 9) b.num(a.angle).num(a.kind);
    if (v > 10) b.real(a.lineWidth).num(a.lineColor).num(a.fillColor).num(a.fillStyle);
}

struct TemplateSpec {
    QByteArray name = "Vorlage";
    QByteArray imageFolder;
    float pageWidth = 21, pageHeight = 29.7f;
    int pageInt1 = 300, pageInt2 = 300;
    std::vector<AreaSpec> areas;
    QByteArray printer, paper;
    int paperCode = 0;
};

inline void body(Bytes& b, int v, const TemplateSpec& t) {
    b.str(t.name);
    if (v > 3) b.str(t.imageFolder);
    b.real(t.pageWidth).real(t.pageHeight).num(t.pageInt1).num(t.pageInt2).num(int(t.areas.size()));
    for (const AreaSpec& a : t.areas) area(b, v, a);
    if (v > 11) b.str(t.printer).num(t.paperCode).str(t.paper);
}

inline QByteArray templateFile(int v, const TemplateSpec& t) {
    Bytes b;
    b.raw(kTemplateSig).num(v);
    body(b, v, t);
    return b.data;
}

// A pixel object that reports fixed facts, standing in for a loaded photo.
class FakePixels : public TLQImagePixelPart {
public:
    explicit FakePixels(TLQImageFacts facts) : facts_(std::move(facts)) {}
    TLQImageFacts Facts(const TLQImage&) const override { return facts_; }

private:
    TLQImageFacts facts_;
};

inline TLQImage* photo(const QString& fileName, int width, int height, int bits = 24) {
    auto* image = new TLQImage(fileName);
    TLQImageFacts facts;
    facts.Width = width;
    facts.Height = height;
    facts.Bits = bits;
    facts.CMWidth = width * 2.54 / 300;
    facts.CMHeight = height * 2.54 / 300;
    facts.DateTime = QDateTime(QDate(2023, 7, 14), QTime(18, 30, 5));
    image->SetPixelPart(std::make_unique<FakePixels>(facts));
    return image;
}

}  // namespace fixture
