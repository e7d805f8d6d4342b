#include "model/LQSets.h"

#include "model/LQFiles.h"
#include "model/LQHelpers.h"
#include "model/LQMeasures.h"
#include "model/LQValues.h"
#include "shell/LQLang.h"

#include <tuple>
#include <utility>

// ---- Texts ----------------------------------------------------------------------------------

QString TLQText::Text() const { return Lines.join(QStringLiteral("\r\n")); }

void TLQText::SetText(const QString& text) {
    Lines.clear();
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (text[i] != u'\r' && text[i] != u'\n') continue;
        Lines.append(text.mid(start, i - start));
        if (text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n') ++i;
        start = i + 1;
    }
    if (start < n) Lines.append(text.mid(start));
}

bool ReadTextBlock(TLQValueReader& r, QString& text) {
    std::int32_t length = 0;
    if (!r.ReadInteger(length)) return false;
    if (length < 0 || length > kMaxTextLength)
        return r.Fail(QStringLiteral("text length %1 outside 0..%2").arg(length).arg(kMaxTextLength));
    QByteArray bytes;
    if (!r.ReadRaw(bytes, qsizetype(length) + 1)) return false;
    const qsizetype end = bytes.indexOf('\0');
    text = DecodeWindows1252(QByteArrayView(bytes).first(end < 0 ? length : end));
    return true;
}

void WriteTextBlock(TLQValueWriter& w, const QString& text) {
    const QByteArray bytes = EncodeWindows1252(text).left(kMaxTextLength);
    w.WriteInteger(std::int32_t(bytes.size()));
    w.WriteRaw(bytes);
    w.WriteRaw(QByteArrayView("\0", 1));
}

bool ReadFont(TLQValueReader& r, TLQFont& font) {
    r.ReadString(font.Name);
    r.ReadInteger(font.Size);
    bool style[4] = {};
    for (bool& b : style) r.ReadBoolean(b);
    if (r.Ok()) std::tie(font.Bold, font.Italic, font.Underline, font.StrikeOut) = std::tie(style[0], style[1], style[2], style[3]);
    r.ReadInteger(font.Color);
    return r.Ok();
}

void WriteFont(TLQValueWriter& w, const TLQFont& font) {
    w.WriteString(font.Name);
    w.WriteInteger(font.Size);
    for (bool b : {font.Bold, font.Italic, font.Underline, font.StrikeOut}) w.WriteBoolean(b);
    w.WriteInteger(font.Color);
}

// ---- Entries --------------------------------------------------------------------------------

TLQPage::TLQPage() : Name(QLatin1Char('(') + ModelSettings().NewWord + QLatin1Char(')')) {}

namespace {

bool readEntry(TLQValueReader& r, int, TLQFrame& f) {
    r.ReadString(f.Name);
    r.ReadFloat(f.Width);
    r.ReadFloat(f.Height);
    return r.Ok();
}

void writeEntry(TLQValueWriter& w, const TLQFrame& f) {
    w.WriteString(f.Name);
    w.WriteFloat(f.Width);
    w.WriteFloat(f.Height);
}

bool readEntry(TLQValueReader& r, int, TLQPage& p) {
    r.ReadString(p.Name);
    r.ReadFloat(p.Width);
    r.ReadFloat(p.Height);
    r.ReadInteger(p.PageInt1);
    r.ReadInteger(p.PageInt2);
    for (float* f : {&p.OffsetA, &p.OffsetB, &p.OffsetC, &p.OffsetD, &p.GapA, &p.GapB}) r.ReadFloat(*f);
    return r.Ok();
}

void writeEntry(TLQValueWriter& w, const TLQPage& p) {
    w.WriteString(p.Name);
    w.WriteFloat(p.Width);
    w.WriteFloat(p.Height);
    w.WriteInteger(p.PageInt1);
    w.WriteInteger(p.PageInt2);
    for (float f : {p.OffsetA, p.OffsetB, p.OffsetC, p.OffsetD, p.GapA, p.GapB}) w.WriteFloat(f);
}

bool readEntry(TLQValueReader& r, int version, TLQText& t) {
    r.ReadString(t.Name);
    QString text;
    if (version == 1 ? r.ReadString(text) : ReadTextBlock(r, text)) t.SetText(text);
    ReadFont(r, t.Font);
    std::int32_t alignment = 0;
    if (r.ReadInteger(alignment)) t.Alignment = std::uint8_t(alignment);
    if (version >= 3) r.ReadInteger(t.BackColor);
    return r.Ok();
}

void writeEntry(TLQValueWriter& w, const TLQText& t) {
    w.WriteString(t.Name);
    WriteTextBlock(w, t.Text());
    WriteFont(w, t.Font);
    w.WriteInteger(t.Alignment);
    w.WriteInteger(t.BackColor);
}

// The frame every set file shares: signature, version, and from version 1 on the set's name,
// the entry count and the entries.
template <class Entry>
bool loadSet(TLQSetList<Entry>& list, const QString& path, const TLQFileFormat& format) {
    list.Modified = false;
    TLQFileLoad load(path, format);
    if (!load.Open()) return false;
    list.Items.clear();
    TLQValueReader& r = load.Reader();
    std::int32_t version = 0;
    r.ReadInteger(version);
    if (version > 0) {
        r.ReadString(list.SetName);
        std::int32_t count = 0;
        r.ReadInteger(count);
        // No reservation from the count: each entry must be in the file before it is added.
        for (std::int32_t i = 0; i < count && r.Ok(); ++i) {
            Entry e;
            if (readEntry(r, version, e)) list.Items.push_back(std::move(e));
        }
    }
    if (!load.Finish()) return false;
    if (list.FileName.isEmpty()) list.FileName = path;
    return true;
}

template <class Entry>
bool saveSet(TLQSetList<Entry>& list, const QString& path, const TLQFileFormat& format) {
    TLQValueWriter w;
    w.WriteRaw(format.Signature);
    w.WriteInteger(format.Version);
    w.WriteString(list.SetName);
    w.WriteInteger(list.Count());
    for (const Entry& e : list.Items) writeEntry(w, e);
    if (!SaveFileReporting(path, w.Data(), format)) return false;
    if (list.FileName.isEmpty()) list.FileName = path;
    list.Modified = false;
    return true;
}

QString pathOr(const QString& path, const QString& fileName) { return path.isEmpty() ? fileName : path; }

TLQFileFormat frameSetFormat() {
    return {.Signature = "Lumenquiltworks 97 Frame Set", .Version = 1, .WrongSignatureText = LangString(1010),
            .CheckFreeSpace = true};
}
TLQFileFormat pageSetFormat() {
    return {.Signature = "Lumenquiltworks 97 Page Set", .Version = 1, .WrongSignatureText = LangString(1013),
            .CheckFreeSpace = true};
}
TLQFileFormat textSetFormat() {
    return {.Signature = "Lumenquiltworks 97 Text Set", .Version = 3, .WrongSignatureText = LangString(1015),
            .CheckFreeSpace = false};
}

}  // namespace

// ---- Lists ----------------------------------------------------------------------------------

int CompareFrames(const TLQFrame& a, const TLQFrame& b) {
    const bool aLandscape = a.Width > a.Height, aPortrait = a.Width < a.Height;
    const bool bLandscape = b.Width > b.Height, bPortrait = b.Width < b.Height;
    if (aLandscape && bPortrait) return -1;
    if (aPortrait && bLandscape) return 1;
    if (!aLandscape && !aPortrait && bLandscape) return 1;
    return Round((double(a.Height) - b.Height) * 100 + (double(a.Width) - b.Width));
}

bool TLQFrameList::Load(const QString& path) {
    const bool ok = loadSet(*this, pathOr(path, FileName), frameSetFormat());
    Sort();
    return ok;
}

bool TLQFrameList::Save(const QString& path) { return saveSet(*this, pathOr(path, FileName), frameSetFormat()); }

void TLQFrameList::Turn() {
    for (TLQFrame& f : Items) std::swap(f.Width, f.Height);
    Sort();
}

void TLQFrameList::Sort() { StableSortBy(Items, CompareFrames); }

bool TLQPageList::Load(const QString& path) { return loadSet(*this, pathOr(path, FileName), pageSetFormat()); }
bool TLQPageList::Save(const QString& path) { return saveSet(*this, pathOr(path, FileName), pageSetFormat()); }

void TLQPageList::Turn() {
    for (TLQPage& p : Items) {
        std::swap(p.Width, p.Height);
        std::swap(p.GapA, p.GapB);
        std::swap(p.OffsetA, p.OffsetC);
        std::swap(p.OffsetB, p.OffsetD);
    }
    Landscape = !Landscape;
}

bool TLQTextList::Load(const QString& path) { return loadSet(*this, pathOr(path, FileName), textSetFormat()); }
bool TLQTextList::Save(const QString& path) { return saveSet(*this, pathOr(path, FileName), textSetFormat()); }
