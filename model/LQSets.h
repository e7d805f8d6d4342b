// The set pools the user keeps from one run to the next: image formats (frames: named picture
// sizes), page formats and texts, each list with its set file (.qfs, .qps, .qxs).
//
// Load and Save answer true on success and report their own errors through the message sink.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

class TLQValueReader;
class TLQValueWriter;

// A text's lines joined with CR LF hold at most this many characters; readers refuse more
// and writers store no more.
constexpr int kMaxTextLength = 2000;

struct TLQFont {
    QString Name = QStringLiteral("Times New Roman");
    std::int32_t Size = 12;  // points
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    std::int32_t Color = 0;  // the platform's RGB value

    bool operator==(const TLQFont&) const = default;
};

// A text preset, and the text of a text area.
struct TLQText {
    QString Name;
    QStringList Lines;
    TLQFont Font;
    std::uint8_t Alignment = 0;   // 0 left, 1 right, 2 centred
    std::int32_t BackColor = -1;  // negative: no background
    std::int32_t Angle = 0;       // degrees, 0..360
    float AreaWidth = 0;          // size given to a text area made from this text; ≤ 0 counts as 1 cm
    float AreaHeight = 0;

    // The lines joined with CR LF.
    QString Text() const;
    // Splits at CR LF, CR or LF; a line break at the very end starts no further line.
    void SetText(const QString& text);
    bool IsEmpty() const { return Text().isEmpty(); }

    bool operator==(const TLQText&) const = default;
};

// Reads and writes a text as a block: int L, then L + 1 raw bytes (the text, then NUL).
// Reading refuses L outside 0..2000 and stops the text at its first NUL; writing cuts the
// text to 2000 bytes so that every stored file stays readable.
bool ReadTextBlock(TLQValueReader& r, QString& text);
void WriteTextBlock(TLQValueWriter& w, const QString& text);
// The font fields as stored: name, size, bold, italic, underline, strikeout, colour.
bool ReadFont(TLQValueReader& r, TLQFont& font);
void WriteFont(TLQValueWriter& w, const TLQFont& font);

struct TLQFrame {
    QString Name;
    float Width = 0;
    float Height = 0;

    bool operator==(const TLQFrame&) const = default;
};

struct TLQPage {
    TLQPage();
    QString Name;  // "(" + the word for new + ")"
    float Width = 0;
    float Height = 0;
    std::int32_t PageInt1 = 300;
    std::int32_t PageInt2 = 300;
    float OffsetA = 0;  // vertical position of a new image area dropped without a position
    float OffsetB = 0;
    float OffsetC = 0;  // horizontal position of such an area
    float OffsetD = 0;
    float GapA = 0;
    float GapB = 0;

    bool operator==(const TLQPage&) const = default;
};

// What the three set lists share: a name, the file last read or written, the modified flag.
template <class Entry>
class TLQSetList {
public:
    QString SetName;
    QString FileName;
    bool Modified = false;
    std::vector<Entry> Items;

    int Count() const { return int(Items.size()); }
    Entry& operator[](int i) { return Items[std::size_t(i)]; }
    const Entry& operator[](int i) const { return Items[std::size_t(i)]; }
};

class TLQFrameList : public TLQSetList<TLQFrame> {
public:
    bool Load(const QString& path = {});
    bool Save(const QString& path = {});
    // Exchanges width and height of every format, then sorts.
    void Turn();
    // Landscape formats before portrait ones, then by height and width.
    void Sort();
};

class TLQPageList : public TLQSetList<TLQPage> {
public:
    bool Landscape = false;  // toggled by every Turn

    bool Load(const QString& path = {});
    bool Save(const QString& path = {});
    // Exchanges Width/Height, GapA/GapB, OffsetA/OffsetC and OffsetB/OffsetD of every page.
    void Turn();
};

class TLQTextList : public TLQSetList<TLQText> {
public:
    bool Load(const QString& path = {});
    bool Save(const QString& path = {});
};

// The frame order as a three-way comparison: negative when a goes first. Not a strict weak
// order (a square format always lets a landscape one go first), so lists are sorted with
// StableSortBy (model/LQHelpers.h), which tolerates that.
int CompareFrames(const TLQFrame& a, const TLQFrame& b);
