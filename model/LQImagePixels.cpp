// The pixel side of TLQImage and the image pool: the pixel object (TLQDib), the thumbnail
// and preview cached from it, dormant pixels and rotation.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QTransform>

#include <mutex>

#include "imaging/LQDib.h"
#include "model/LQHelpers.h"
#include "model/LQImage.h"
#include "model/LQMeasures.h"
#include "platform/MessageSink.h"
#include "shell/LQLang.h"

namespace {

class TLQDibPart final : public TLQImagePixelPart {
public:
    // A dormant file belongs to the image: it goes with it.
    ~TLQDibPart() override {
        if (!Dib->DormantFile.isEmpty()) QFile::remove(Dib->DormantFile);
    }

    TLQImageFacts Facts(const TLQImage& image) const override {
        TLQImageFacts f;
        f.Width = Dib->Width();
        f.Height = Dib->Height();
        f.Bits = Dib->Bits();
        f.DateTime = Dib->DateTime();
        f.CMWidth = image.GetCMWidth();
        f.CMHeight = image.GetCMHeight();
        return f;
    }

    std::unique_ptr<TLQDib> Dib = std::make_unique<TLQDib>();
    QImage Thumbnail;
    QImage Preview;
};

const TLQDibPart* dibPartOf(const TLQImage& image) { return dynamic_cast<const TLQDibPart*>(image.PixelPart()); }

TLQDibPart& dibPartOf(TLQImage& image) {
    if (auto* part = dynamic_cast<TLQDibPart*>(image.PixelPart())) return *part;
    image.SetPixelPart(std::make_unique<TLQDibPart>());
    return static_cast<TLQDibPart&>(*image.PixelPart());
}

std::mutex gScreenMutex;
std::function<QSize()> gScreenSize;

// The preview size for an image of w × h pixels under the preview mode.
QSize previewSize(int w, int h) {
    const int mode = ModelSettings().PreviewMode;
    if ((mode != 0 && mode != 1) || w <= 0 || h <= 0) return {w, h};
    const QSize screen = ScreenSize();
    const double share = mode == 0 ? 2 : 1;  // half or all of the screen's width or height
    if (double(w) * h <= double(screen.width()) * screen.height() / (share * share)) return {w, h};
    if (h < w) {
        const int width = Round(std::min(double(w), screen.width() / share));
        return {width, Round(double(h) * width / w)};
    }
    const int height = Round(std::min(double(h), screen.height() / share));
    return {Round(double(w) * height / h), height};
}

// `dib` drawn scaled into a new white bitmap of `size`; null when the bitmap can't be made.
QImage drawnInto(TLQDib& dib, const QSize& size) {
    QImage bitmap(size, QImage::Format_RGB32);
    if (bitmap.isNull()) return bitmap;
    bitmap.fill(Qt::white);
    QPainter painter(&bitmap);
    dib.Draw(painter, QRect(QPoint(0, 0), size));
    return bitmap;
}

// A cached bitmap turned like the pixels (positive angles counter-clockwise), corners white.
QImage turned(const QImage& bitmap, int degrees) {
    if (bitmap.isNull()) return bitmap;
    const QImage rotated = bitmap.transformed(QTransform().rotate(-degrees), Qt::SmoothTransformation);
    if (!rotated.hasAlphaChannel()) return rotated;
    QImage out(rotated.size(), QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter(&out).drawImage(0, 0, rotated);
    return out;
}

// Claims the first free "LQDImg<n>.bmp" in `folder` by creating it; empty when none can be made.
QString claimDormantFile(const QString& folder) {
    for (int n = 1; n < 1000000; ++n) {
        const QString path = folder + QStringLiteral("LQDImg%1.bmp").arg(n);
        QFile f(path);
        if (f.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return path;
        if (!f.exists()) return {};  // the folder refuses new files
    }
    return {};
}

}  // namespace

// ---- Screen ---------------------------------------------------------------------------------

void SetScreenSizeSource(std::function<QSize()> source) {
    std::lock_guard lock(gScreenMutex);
    gScreenSize = std::move(source);
}

QSize ScreenSize() {
    {
        std::lock_guard lock(gScreenMutex);
        if (gScreenSize) return gScreenSize();
    }
    const QScreen* screen = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::primaryScreen() : nullptr;
    return screen ? screen->size() : QSize(1920, 1080);
}

// ---- TLQImage -------------------------------------------------------------------------------

TLQDib* TLQImage::Dib() { return dibPartOf(*this).Dib.get(); }

void TLQImage::SetDib(std::unique_ptr<TLQDib> dib) {
    TLQDibPart& part = dibPartOf(*this);
    part.Thumbnail = QImage();
    part.Preview = QImage();
    if (!dib) dib = std::make_unique<TLQDib>();  // an image always has a pixel object, if empty
    if (!part.Dib->DormantFile.isEmpty() && part.Dib->DormantFile != dib->DormantFile)
        QFile::remove(part.Dib->DormantFile);
    part.Dib = std::move(dib);
}

double TLQImage::GetCMWidth() const {
    const TLQDibPart* part = dibPartOf(*this);
    return part && part->Dib->Width() >= 1 ? PixelsToCm(part->Dib->Width(), OutputResolution()) : CMWidth;
}

double TLQImage::GetCMHeight() const {
    const TLQDibPart* part = dibPartOf(*this);
    return part && part->Dib->Height() >= 1 ? PixelsToCm(part->Dib->Height(), OutputResolution()) : CMHeight;
}

void TLQImage::SetCMWidth(float cm) {
    CMWidth = cm;
    Dib()->SetCMWidth(cm);
}

void TLQImage::SetCMHeight(float cm) {
    CMHeight = cm;
    Dib()->SetCMHeight(cm);
}

const QImage& TLQImage::GetThumbnail() {
    TLQDibPart& part = dibPartOf(*this);
    const int tw = ModelSettings().ThumbWidth, th = ModelSettings().ThumbHeight;
    const QSize have = part.Thumbnail.size();
    const bool fits = !part.Thumbnail.isNull() &&
                      (have.width() == tw || have.height() == th || have.width() == th || have.height() == tw);
    if (!part.Dib->HasPixels() || fits) return part.Thumbnail;
    const QRect box = FitRect(QRect(0, 0, tw, th), part.Dib->Width(), part.Dib->Height());
    QImage thumbnail = drawnInto(*part.Dib, box.size());
    if (!thumbnail.isNull()) part.Thumbnail = std::move(thumbnail);
    return part.Thumbnail;
}

const QImage& TLQImage::GetPreview() {
    TLQDibPart& part = dibPartOf(*this);
    if (!part.Dib->HasPixels()) return part.Preview;
    QSize wanted = previewSize(part.Dib->Width(), part.Dib->Height());
    if (!part.Preview.isNull() && part.Preview.size() == wanted) return part.Preview;
    QImage preview = drawnInto(*part.Dib, wanted);
    if (preview.isNull()) {
        wanted = FitRect(QRect(QPoint(0, 0), ScreenSize()), wanted.width(), wanted.height()).size();
        preview = drawnInto(*part.Dib, wanted);
    }
    if (preview.isNull()) {
        lqp::showMessage(LangString(1286).toStdString(), {}, lqp::MsgIcon::Information);
        return part.Preview;
    }
    part.Preview = std::move(preview);
    return part.Preview;
}

bool TLQImage::MakeDormant() {
    TLQDibPart& part = dibPartOf(*this);
    TLQDib& dib = *part.Dib;
    if (!dib.HasPixels() || !dib.DormantFile.isEmpty()) return false;
    // Only an image no other operation holds: a print or save may be drawing these pixels.
    if (!dib.TryLock()) return false;
    GetThumbnail();
    GetPreview();
    const QString folder = TempImageFolder();
    const auto needed = std::uint64_t(dib.Width()) * std::uint64_t(dib.Height()) * 3;
    QString path;
    if (FreeSpaceAbove(folder, needed) && QDir().mkpath(folder)) path = claimDormantFile(folder);
    bool saved = false;
    if (!path.isEmpty()) {
        try {
            saved = dib.SaveToFile(path);
        } catch (const std::exception&) {
            saved = false;
        }
        if (!saved) QFile::remove(path);
    }
    if (saved) {
        dib.DormantFile = path;
        dib.AttachDib(nullptr);
    } else {
        dib.DormantFile.clear();
    }
    dib.Unlock();
    return saved;
}

// ---- The image pool -------------------------------------------------------------------------

bool TLQImageList::Rotate(int index, int degrees) {
    if (index < 0 || index >= Count() || !FItems[std::size_t(index)]) return true;
    TLQImage& image = *FItems[std::size_t(index)];
    TLQDibPart& part = dibPartOf(image);
    TLQDib& dib = *part.Dib;
    if (!dib.TryLock()) return false;
    image.CMWidth = image.CMHeight = 0;  // measured afresh from the turned pixels
    if (dib.HasPixels() || dib.DormantFile.isEmpty()) {
        dib.Rotate(degrees);
        part.Thumbnail = QImage();
        part.Preview = QImage();
    } else {
        // Dormant: the pixel object remembers the turn for its wake-up; the cached bitmaps,
        // which stand in for it meanwhile, turn now.
        part.Thumbnail = turned(part.Thumbnail, degrees);
        part.Preview = turned(part.Preview, degrees);
        dib.Rotate(degrees);
    }
    dib.Unlock();
    return true;
}
