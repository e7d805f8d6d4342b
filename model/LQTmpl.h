// Templates: the description of one printed page, its sheet and the areas placed on it in
// centimetres. The same structure is a layout template (.qts, one file per template in a
// category sub-folder of the template folder), a layout (.qlt, a template whose image areas
// refer to image files) and an undo snapshot of the layout view.
#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

#include "model/LQSets.h"

class TLQImage;
class TLQTemplate;
class TLQValueReader;
class TLQValueWriter;

// The version templates and layouts are written in.
constexpr std::int32_t kTemplateVersion = 12;

// The part of the image shown, in image pixels; a zero width or height means the whole image.
struct TLQCrop {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;

    bool operator==(const TLQCrop&) const = default;
};

class TLQTemplateArea {
public:
    enum TKind : std::uint8_t { Ordinary = 0, Line = 3, Rectangle = 4, Ellipse = 5 };

    explicit TLQTemplateArea(TLQTemplate* owner = nullptr) : Template(owner) {}
    ~TLQTemplateArea();
    TLQTemplateArea(const TLQTemplateArea&) = delete;
    TLQTemplateArea& operator=(const TLQTemplateArea&) = delete;

    // Copies every stored field and the text; the image is not shared: the copy gets a new
    // image that carries only the source image's file name.
    void Assign(const TLQTemplateArea& source);
    // Derives zero column and row counts from the area and cell sizes; the background has no gaps.
    void AdjustCounts();
    // The text with its image placeholders replaced, lines joined with CR LF.
    QString ExpandText() const;

    bool IsImageArea() const { return CellWidth > 0 && CellHeight > 0; }
    bool IsTextArea() const { return !Text.IsEmpty(); }
    bool IsBackground() const { return Name == QStringLiteral("Background"); }

    TLQImage* Image() const { return FImage; }
    // Takes over one reference of `image` (may be null) and releases the previous one.
    void SetImage(TLQImage* image);

    // The area record. `path` is the file being read or written (image references are
    // relative to its folder); `imageMode` 0 stores no image paths.
    bool Read(TLQValueReader& r, const QString& path, int version);
    void Write(TLQValueWriter& w, const QString& path, int imageMode);

    TLQTemplate* Template = nullptr;  // owner, not owned
    std::uint8_t Kind = Ordinary;
    QString Name;
    float Left = 0, Top = 0, Width = 0, Height = 0;
    std::int32_t Angle = 0;
    std::int32_t Stored1 = 0;
    std::int32_t AreaNumber = 0;  // 0: unnumbered
    float GapX = 0.5f, GapY = 0.5f;
    QString StoredText;
    float CellWidth = 0, CellHeight = 0;
    std::int32_t Rows = 0, Cols = 0;  // 0: derive from the area size
    TLQCrop Crop;
    QString TextName;  // the text preset last applied; not stored
    TLQText Text;
    float LineWidth = 0.1f;
    std::int32_t LineColor = 0;
    std::int32_t FillColor = 0;
    std::uint8_t FillStyle = 1;  // 0 solid, 1 clear, 2..7 hatches

private:
    TLQImage* FImage = nullptr;
};

class TLQTemplate {
public:
    TLQTemplate() = default;
    TLQTemplate(const TLQTemplate&) = delete;
    TLQTemplate& operator=(const TLQTemplate&) = delete;

    // Copies everything, the areas as Assign'ed copies, and marks the copy modified.
    void Assign(const TLQTemplate& source);

    // With messages off nothing is shown (loading a template folder). A load that fails for
    // any reason leaves the template as it was.
    bool LoadFromFile(const QString& path, bool showMessages = true);
    // On failure answers false with the message for the caller to show.
    bool SaveToFile(const QString& path, int imageMode, QString& errorText);

    bool ReadBody(TLQValueReader& r, const QString& path, int version);
    void WriteBody(TLQValueWriter& w, const QString& path, int imageMode);

    void SetFileName(const QString& path) { FileName = path; }

    // Appends a new area owned by this template and answers it.
    TLQTemplateArea& AddArea();
    int AreaCount() const { return int(Areas.size()); }
    TLQTemplateArea& Area(int i) const { return *Areas[std::size_t(i)]; }

    QString FileName;
    QString Name;
    QString SourceName;
    QString ImageFolder;
    TLQPage Page;
    std::vector<std::unique_ptr<TLQTemplateArea>> Areas;  // drawing order, first = bottom
    bool Modified = false;
    QString PrinterName;
    std::int32_t PaperCode = 0;
    QString PaperName;

private:
    // The fields other than the areas, the file name and the source name.
    void CopyFields(const TLQTemplate& source);
    void TakeContent(TLQTemplate& other);
};

// A template category: a sub-folder of the template folder, or a category of a template set.
class TLQTemplatePage {
public:
    QString Name;
    std::vector<std::unique_ptr<TLQTemplate>> Templates;
};

class TLQTemplateList {
public:
    // Empties the list, then makes a category of every sub-folder of `root` and loads every
    // .qts file in it; files that fail to load are left out silently. Always true.
    bool LoadFolder(const QString& root);
    // Reads an old template set file; on failure the list is left as it was.
    bool LoadSet(const QString& path);
    // Categories by name, and the templates of each category by name (ordinal comparison).
    void Sort();

    QString FileName;
    QString SetName;
    std::vector<std::unique_ptr<TLQTemplatePage>> Categories;
    bool Modified = false;
};

// Bounds on counts read from files, checked before anything is made.
constexpr std::int32_t kMaxAreas = 100000;
constexpr std::int32_t kMaxTemplatesInSet = 100000;
