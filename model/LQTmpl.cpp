#include "model/LQTmpl.h"

#include <QFileInfo>

#include "model/LQFiles.h"
#include "model/LQImage.h"
#include "model/LQMeasures.h"
#include "model/LQValues.h"
#include "shell/LQLang.h"

namespace {

const QString kRelativeMark = QStringLiteral("$::");

TLQFileFormat templateFormat() {
    // 27 characters and a NUL; readers compare the characters only.
    return {.Signature = QByteArray("Lumenquiltworks 97 Template", 28), .Version = kTemplateVersion,
            .WrongSignatureText = LangString(1014), .CheckFreeSpace = true, .SignificantLength = 27};
}

// The folder of a file, absolute, with a trailing "/".
QString folderOf(const QString& path) { return QFileInfo(path).absolutePath() + QLatin1Char('/'); }

// The file name of a stored path; old files separate folders with "\".
QString storedFileName(const QString& stored) {
    return stored.mid(std::max(stored.lastIndexOf(QLatin1Char('/')), stored.lastIndexOf(QLatin1Char('\\'))) + 1);
}

// A stored image path made absolute: "$::" paths are relative to the folder of the file being
// read (falling back to the file name alone there, so a layout moved together with its
// images still finds them); a bare file name lies in that folder.
QString resolveImagePath(const QString& stored, const QString& path) {
    const QString folder = folderOf(path);
    if (stored.startsWith(kRelativeMark)) {
        QString rest = stored.mid(kRelativeMark.size());
        rest.replace(QLatin1Char('\\'), QLatin1Char('/'));
        const QString inFolder = folder + rest;
        if (QFileInfo::exists(inFolder)) return inFolder;
        const QString nameOnly = folder + storedFileName(rest);
        return QFileInfo::exists(nameOnly) ? nameOnly : inFolder;
    }
    if (!stored.contains(QLatin1Char('/')) && !stored.contains(QLatin1Char('\\'))) return folder + stored;
    return stored;
}

}  // namespace

// ---- Areas ----------------------------------------------------------------------------------

TLQTemplateArea::~TLQTemplateArea() { ReleaseImage(FImage); }

void TLQTemplateArea::SetImage(TLQImage* image) {
    ReleaseImage(FImage);
    FImage = image;
}

void TLQTemplateArea::Assign(const TLQTemplateArea& s) {
    Kind = s.Kind;
    Name = s.Name;
    Left = s.Left, Top = s.Top, Width = s.Width, Height = s.Height;
    Angle = s.Angle;
    Stored1 = s.Stored1;
    AreaNumber = s.AreaNumber;
    GapX = s.GapX, GapY = s.GapY;
    StoredText = s.StoredText;
    CellWidth = s.CellWidth, CellHeight = s.CellHeight;
    Rows = s.Rows, Cols = s.Cols;
    Crop = s.Crop;
    Text = s.Text;
    LineWidth = s.LineWidth;
    LineColor = s.LineColor;
    FillColor = s.FillColor;
    FillStyle = s.FillStyle;
    SetImage(s.FImage ? new TLQImage(s.FImage->FileName) : nullptr);
}

void TLQTemplateArea::AdjustCounts() {
    if (IsBackground()) GapX = GapY = 0;
    if (CellWidth != 0 && Cols == 0) Cols = Trunc((double(Width) + GapX) / (double(CellWidth) + GapX));
    if (CellHeight != 0 && Rows == 0) Rows = Trunc((double(Height) + GapY) / (double(CellHeight) + GapY));
}

bool TLQTemplateArea::Read(TLQValueReader& r, const QString& path, int version) {
    r.ReadString(Name);
    for (float* f : {&Left, &Top, &Width, &Height, &GapX, &GapY}) r.ReadFloat(*f);
    r.ReadString(StoredText);
    r.ReadFloat(CellWidth);
    r.ReadFloat(CellHeight);
    r.ReadInteger(Rows);
    r.ReadInteger(Cols);
    std::int32_t storedMode = 0;  // how the file was written; nothing depends on it
    if (version >= 3) r.ReadInteger(storedMode);
    QString stored;
    if (r.ReadString(stored)) {
        const QString resolved = version >= 3 ? resolveImagePath(stored, path) : stored;
        SetImage(storedFileName(resolved).isEmpty() ? nullptr : new TLQImage(resolved));
    }
    if (version > 5)
        for (std::int32_t* c : {&Crop.Left, &Crop.Top, &Crop.Width, &Crop.Height}) r.ReadInteger(*c);
    bool hasText = false;
    if (version > 1 && r.ReadBoolean(hasText) && hasText) {
        r.ReadString(Text.Name);
        QString text;
        if (version > 4 ? ReadTextBlock(r, text) : r.ReadString(text)) Text.SetText(text);
        ReadFont(r, Text.Font);
        std::int32_t alignment = 0;
        if (r.ReadInteger(alignment)) Text.Alignment = std::uint8_t(alignment);
        if (version > 7) r.ReadInteger(Text.BackColor);
    }
    AdjustCounts();
    if (version > 8) {
        r.ReadInteger(Stored1);
        r.ReadInteger(AreaNumber);
    }
    std::int32_t value = 0;
    if (version > 9) {
        r.ReadInteger(Angle);
        if (r.ReadInteger(value)) Kind = std::uint8_t(value);
    }
    if (version > 10) {
        r.ReadFloat(LineWidth);
        r.ReadInteger(LineColor);
        r.ReadInteger(FillColor);
        if (r.ReadInteger(value)) FillStyle = std::uint8_t(value);
    }
    return r.Ok();
}

void TLQTemplateArea::Write(TLQValueWriter& w, const QString& path, int imageMode) {
    AdjustCounts();
    w.WriteString(Name);
    for (float f : {Left, Top, Width, Height, GapX, GapY}) w.WriteFloat(f);
    w.WriteString(StoredText);
    w.WriteFloat(CellWidth);
    w.WriteFloat(CellHeight);
    w.WriteInteger(Rows);
    w.WriteInteger(Cols);
    w.WriteInteger(imageMode);
    QString reference;
    if (imageMode != 0 && IsImageArea() && FImage && !FImage->FileName.isEmpty()) {
        const QString folder = folderOf(path);
        reference = FImage->FileName.startsWith(folder) ? kRelativeMark + FImage->FileName.mid(folder.size())
                                                        : FImage->FileName;
    }
    w.WriteString(reference);
    for (std::int32_t c : {Crop.Left, Crop.Top, Crop.Width, Crop.Height}) w.WriteInteger(c);
    w.WriteBoolean(IsTextArea());
    if (IsTextArea()) {
        w.WriteString(Text.Name);
        WriteTextBlock(w, ExpandText());
        WriteFont(w, Text.Font);
        w.WriteInteger(Text.Alignment);
        w.WriteInteger(Text.BackColor);
    }
    w.WriteInteger(Stored1);
    w.WriteInteger(AreaNumber);
    w.WriteInteger(Angle);
    w.WriteInteger(Kind);
    w.WriteFloat(LineWidth);
    w.WriteInteger(LineColor);
    w.WriteInteger(FillColor);
    w.WriteInteger(FillStyle);
}

// ---- Templates ------------------------------------------------------------------------------

TLQTemplateArea& TLQTemplate::AddArea() {
    Areas.push_back(std::make_unique<TLQTemplateArea>(this));
    return *Areas.back();
}

void TLQTemplate::CopyFields(const TLQTemplate& source) {
    Name = source.Name;
    ImageFolder = source.ImageFolder;
    Page = source.Page;
    PrinterName = source.PrinterName;
    PaperCode = source.PaperCode;
    PaperName = source.PaperName;
}

void TLQTemplate::Assign(const TLQTemplate& source) {
    CopyFields(source);
    SourceName = source.SourceName;
    FileName = source.FileName;
    Areas.clear();
    for (const auto& area : source.Areas) AddArea().Assign(*area);
    Modified = true;
}

void TLQTemplate::TakeContent(TLQTemplate& other) {
    CopyFields(other);
    Areas = std::move(other.Areas);
    for (const auto& area : Areas) area->Template = this;
}

bool TLQTemplate::ReadBody(TLQValueReader& r, const QString& path, int version) {
    r.ReadString(Name);
    if (version > 3) r.ReadString(ImageFolder);
    r.ReadFloat(Page.Width);
    r.ReadFloat(Page.Height);
    r.ReadInteger(Page.PageInt1);
    r.ReadInteger(Page.PageInt2);
    std::int32_t count = 0;
    r.ReadInteger(count);
    if (count > kMaxAreas) return r.Fail(QStringLiteral("area count %1 above %2").arg(count).arg(kMaxAreas));
    // An area cut short keeps what was read and is still added.
    for (std::int32_t i = 0; i < count && r.Ok(); ++i) AddArea().Read(r, path, version);
    if (!r.Ok()) return false;
    if (version > 11) {
        r.ReadString(PrinterName);
        r.ReadInteger(PaperCode);
        r.ReadString(PaperName);
        r.ClearError();  // the printer tail is optional: a damaged one costs nothing
    }
    return true;
}

void TLQTemplate::WriteBody(TLQValueWriter& w, const QString& path, int imageMode) {
    w.WriteString(Name);
    w.WriteString(ImageFolder);
    w.WriteFloat(Page.Width);
    w.WriteFloat(Page.Height);
    w.WriteInteger(Page.PageInt1);
    w.WriteInteger(Page.PageInt2);
    w.WriteInteger(AreaCount());
    for (const auto& area : Areas) area->Write(w, path, imageMode);
    w.WriteString(PrinterName);
    w.WriteInteger(PaperCode);
    w.WriteString(PaperName);
}

bool TLQTemplate::LoadFromFile(const QString& path, bool showMessages) {
    const TLQFileFormat format = templateFormat();
    TLQFileLoad load(path, format, showMessages);
    if (!load.Open()) return false;
    // Read into a fresh template that starts with this one's fields (the file may not hold all
    // of them); only a complete read replaces the content.
    TLQTemplate loaded;
    loaded.CopyFields(*this);
    TLQValueReader& r = load.Reader();
    std::int32_t version = 0;
    if (r.ReadInteger(version)) loaded.ReadBody(r, path, version);
    if (!load.Finish()) return false;
    TakeContent(loaded);
    FileName = path;
    Modified = false;
    return true;
}

bool TLQTemplate::SaveToFile(const QString& path, int imageMode, QString& errorText) {
    const TLQFileFormat format = templateFormat();
    TLQValueWriter w;
    w.WriteRaw(format.Signature);
    w.WriteInteger(kTemplateVersion);
    WriteBody(w, path, imageMode);
    if (!SaveFile(path, w.Data(), format, errorText)) return false;
    FileName = path;
    Modified = false;
    return true;
}
