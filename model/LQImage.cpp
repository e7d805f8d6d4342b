#include "model/LQImage.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include "model/LQMeasures.h"
#include "model/LQHelpers.h"
#include "platform/Files.h"

TLQImage::~TLQImage() {
    if (!FileName.isEmpty() && FileName.startsWith(TempImageFolder())) QFile::remove(FileName);
}

TLQImage* TLQImage::AddRef() {
    FRefCount.fetch_add(1);
    return this;
}

bool TLQImage::Release() { return FRefCount.fetch_sub(1) - 1 < 1; }

std::optional<TLQImageFacts> TLQImage::PixelFacts() const {
    if (!FPixels) return std::nullopt;
    return FPixels->Facts(*this);
}

void ReleaseImage(TLQImage*& image) {
    if (image && image->Release()) delete image;
    image = nullptr;
}

QString TempImageFolder() { return QString::fromStdString(lqp::userCacheFolder()) + QStringLiteral("/Temp/"); }

// ---- The image pool -------------------------------------------------------------------------

namespace {

const QString kAll = QStringLiteral("ILF_All");
const QString kPool = QStringLiteral("ILF_Pool");
const QString kNoMap = QStringLiteral("ILF_NoMap");
const QString kLayoutImage = QStringLiteral("LayoutImage");

// What the sort compares, gathered once per image (the file size asks the file system).
struct TSortRecord {
    TLQImage* Image;
    bool Passes;
    QString Name;       // without folder
    QString ExtName;    // extension, then name
    qint64 Day;         // date and time in milliseconds
    qint64 FileSize;
    std::int64_t Width, Height, Bits;
};

TSortRecord sortRecord(TLQImage* image, bool passes) {
    const QFileInfo file(image->FileName);
    const TLQImageFacts facts = image->PixelFacts().value_or(TLQImageFacts{});
    const QString suffix = file.suffix();
    return {image,
            passes,
            file.fileName(),
            (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix) + file.fileName(),
            facts.DateTime.isValid() ? facts.DateTime.toMSecsSinceEpoch() : 0,
            file.exists() ? file.size() : -1,
            facts.Width,
            facts.Height,
            facts.Bits};
}

template <class T>
int threeWay(const T& a, const T& b) { return a < b ? -1 : b < a ? 1 : 0; }

int compareByKey(const TSortRecord& a, const TSortRecord& b, int key) {
    switch (key) {
    case 1: return QString::compare(a.Name, b.Name, Qt::CaseSensitive);
    case 2: return QString::compare(a.ExtName, b.ExtName, Qt::CaseSensitive);
    case 3: return Round(double(a.Day - b.Day) / 86400000.0);  // whole days
    case 4: return threeWay(a.FileSize, b.FileSize);
    case 5: return threeWay(a.Width, b.Width);
    case 6: return threeWay(a.Height, b.Height);
    case 7: return threeWay(a.Bits, b.Bits);
    case 8: return threeWay(a.Width * a.Height * a.Bits, b.Width * b.Height * b.Bits);
    }
    return 0;
}

}  // namespace

TLQImageList::~TLQImageList() {
    for (TLQImage*& image : FItems) ReleaseImage(image);
}

int TLQImageList::Add(TLQImage* image) {
    const auto taken = [this](const QString& name) {
        return std::any_of(FItems.begin(), FItems.end(), [&](const TLQImage* i) { return i->FileName == name; });
    };
    // An image without a file keeps its empty name: a number would pose as a file.
    if (!image->FileName.isEmpty())
        for (int k = 2; taken(image->FileName); ++k) image->FileName += QStringLiteral(" (%1)").arg(k);
    image->Number = Count() + 1;
    VisibleCount = -1;
    FItems.push_back(image);
    return Count() - 1;
}

void TLQImageList::Delete(int index) {
    ReleaseImage(FItems[std::size_t(index)]);
    FItems.erase(FItems.begin() + index);
    VisibleCount = -1;
}

bool TLQImageList::Passes(const TLQImage& image) const {
    if (Filter == kAll) return true;
    if (Filter == kPool) return image.MapName != kLayoutImage;
    if (Filter == kNoMap) return image.MapName.isEmpty();
    return image.MapName == Filter;
}

void TLQImageList::SetFilter(const QString& filter) {
    Filter = filter;
    VisibleCount = -1;
    Sort();
}

void TLQImageList::Sort() {
    std::vector<TSortRecord> records;
    records.reserve(FItems.size());
    for (TLQImage* image : FItems) records.push_back(sortRecord(image, Passes(*image)));
    const int key = SortKey;
    // The day comparison is not transitive, so the sort must tolerate any answer.
    StableSortBy(records, [key](const TSortRecord& a, const TSortRecord& b) {
        if (a.Passes != b.Passes) return a.Passes ? -1 : 1;
        const int byKey = compareByKey(a, b, key);
        return byKey != 0 ? byKey : threeWay(a.Image->Number, b.Image->Number);
    });
    for (std::size_t i = 0; i < records.size(); ++i) FItems[i] = records[i].Image;
    if (key == 0)
        for (std::size_t i = 0; i < FItems.size(); ++i) FItems[i]->Number = std::int32_t(i + 1);
}

int TLQImageList::ApplyFilter() {
    Sort();
    // Sorting put every entry that passes in front.
    const auto firstHidden = std::find_if(FItems.begin(), FItems.end(), [this](const TLQImage* i) { return !Passes(*i); });
    VisibleCount = std::int32_t(firstHidden - FItems.begin());
    FilteredTotal = Count();
    return VisibleCount;
}
