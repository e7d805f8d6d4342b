// TLQImage: one image of the image pool, shared by reference count between the pool,
// template areas, area controls and the print and save threads.
//
// The image is split in two: what every holder needs (names, number, reference count, stored
// size) lives here and needs no pixels; the pixel object with its cached screen bitmaps is a
// TLQImagePixelPart attached by the pixel side of the model. Templates, set files and the
// command-line tools therefore work without any image codec.
#pragma once

#include <QDateTime>
#include <QSize>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// What text placeholders quote about an image's pixels.
struct TLQImageFacts {
    int Width = 0;
    int Height = 0;
    int Bits = 0;
    QDateTime DateTime;
    double CMWidth = 0;
    double CMHeight = 0;
};

class QImage;
class TLQDib;
class TLQImage;

// The pixel object of an image and what is cached from it.
class TLQImagePixelPart {
public:
    virtual ~TLQImagePixelPart() = default;
    virtual TLQImageFacts Facts(const TLQImage& image) const = 0;
};

class TLQImage {
public:
    TLQImage() = default;
    explicit TLQImage(const QString& fileName) : FileName(fileName) {}
    // Deletes the file when it lies in the temporary image folder; the pixel part removes its
    // own dormant file.
    ~TLQImage();
    TLQImage(const TLQImage&) = delete;
    TLQImage& operator=(const TLQImage&) = delete;

    TLQImage* AddRef();
    // Answers true when the count dropped below 1: the caller then destroys the image.
    bool Release();
    int RefCount() const { return FRefCount.load(); }

    void SetFileName(const QString& name) { FileName = name; }

    bool HasPixelObject() const { return FPixels != nullptr; }
    TLQImagePixelPart* PixelPart() const { return FPixels.get(); }
    void SetPixelPart(std::unique_ptr<TLQImagePixelPart> part) { FPixels = std::move(part); }
    // Facts of the pixel object; empty without one.
    std::optional<TLQImageFacts> PixelFacts() const;

    // ---- The pixel side (model/LQImagePixels.cpp, library lqmodel) ----
    // The pixel object, made empty on first use.
    TLQDib* Dib();
    // Takes `dib` as the pixel object and drops the cached bitmaps.
    void SetDib(std::unique_ptr<TLQDib> dib);
    // Pixel width (height) × 2.54 / output resolution while the pixel object knows a size,
    // else the stored CMWidth (CMHeight). The height uses the horizontal resolution too.
    double GetCMWidth() const;
    double GetCMHeight() const;
    // Stores the size and passes it to the pixel object.
    void SetCMWidth(float cm);
    void SetCMHeight(float cm);
    // The pool thumbnail, at most ThumbWidth × ThumbHeight; rebuilt only from pixels in memory.
    const QImage& GetThumbnail();
    // The screen-sized copy the areas draw; rebuilt only from pixels in memory.
    const QImage& GetPreview();
    // Parks the pixels in "LQDImg<n>.bmp" in the temporary image folder (thumbnail and
    // preview are made first); answers true when the pixels were released.
    bool MakeDormant();

    QString FileName;   // full path; empty for an image without a file yet
    QString MapName;    // group; "LayoutImage" marks an image that came in with a layout
    std::int32_t Number = 0;  // sequence number in the pool
    bool Modified = false;
    float CMWidth = 0;  // physical size kept when there are no pixels to measure
    float CMHeight = 0;

private:
    std::atomic<std::int32_t> FRefCount{1};
    std::unique_ptr<TLQImagePixelPart> FPixels;
};

// Drops one reference and destroys the image when it was the last; clears the pointer.
void ReleaseImage(TLQImage*& image);

// The image pool: owns one reference of each of its images.
class TLQImageList {
public:
    TLQImageList() = default;
    ~TLQImageList();
    TLQImageList(const TLQImageList&) = delete;
    TLQImageList& operator=(const TLQImageList&) = delete;

    // Takes over the caller's reference. A file name that another entry already has gets
    // " (2)", then " (3)" ... appended until it is unique; the image is numbered Count + 1.
    // Answers its index.
    int Add(TLQImage* image);
    // Releases the entry's reference and removes it.
    void Delete(int index);
    int Count() const { return int(FItems.size()); }
    TLQImage* operator[](int index) const { return FItems[std::size_t(index)]; }

    // Stores the filter ("ILF_All", "ILF_Pool", "ILF_NoMap" or a map name), forgets the
    // visible count and sorts.
    void SetFilter(const QString& filter);
    // Sorts, then counts the leading entries that pass the filter; answers that count.
    int ApplyFilter();
    // Turns one image (pixel side). False when its pixel object is locked by another
    // operation; an index out of range or an empty slot answers true without effect.
    bool Rotate(int index, int degrees);
    // Entries that pass the filter first, then by the sort key, then by number. After a sort
    // by key 0 the entries are numbered 1..Count in their new order.
    void Sort();

    QString Filter = QStringLiteral("ILF_All");
    // 0 number, 1 file name, 2 extension and file name, 3 date in whole days, 4 file size,
    // 5 width, 6 height, 7 bits per pixel, 8 width × height × bits per pixel.
    int SortKey = 0;
    std::int32_t VisibleCount = -1;
    std::int32_t FilteredTotal = -1;

private:
    bool Passes(const TLQImage& image) const;

    std::vector<TLQImage*> FItems;
};

// The folder below the user's cache folder where temporary and dormant images live,
// with a trailing "/".
QString TempImageFolder();

// The screen size previews are measured against (the primary screen unless replaced).
void SetScreenSizeSource(std::function<QSize()> source);
QSize ScreenSize();
