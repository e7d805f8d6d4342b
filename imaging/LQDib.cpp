#include "imaging/LQDib.h"

#include <QClipboard>
#include <QCursor>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QThread>
#include <cmath>
#include <map>

#include "platform/Files.h"
#include "platform/MessageSink.h"
#include "rastervane/RVBmp.h"
#include "rastervane/RVFileInfo.h"
#include "rastervane/RVGif.h"
#include "rastervane/RVJpeg.h"
#include "rastervane/RVPcx.h"
#include "rastervane/RVPng.h"
#include "rastervane/RVTga.h"

namespace {

// Guards the lock count of every image.
std::mutex gLockCountGuard;

TLQDib::TRVMesProgress& defaultProgress() {
    static TLQDib::TRVMesProgress handler;
    return handler;
}

bool onUiThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

// The hourglass while a long operation runs on the user-interface thread.
class BusyCursor {
public:
    BusyCursor() : active_(qGuiApp && onUiThread()) {
        if (active_) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~BusyCursor() {
        if (active_) QGuiApplication::restoreOverrideCursor();
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    bool active_;
};

std::int32_t roundHalfEven(double v) { return std::int32_t(std::nearbyint(v)); }

std::string path(const QString& fileName) { return QFile::encodeName(fileName).toStdString(); }

// The type name of a file extension that is dispatched without looking at the content.
QString typeOfExtension(const QString& fileName) {
    static const std::map<QString, QString> types = {
        {"CVP", "CVP"}, {"QJG", "QJG"}, {"KDC", "KDC"}, {"BMP", "BMP"}, {"PNG", "PNG"}, {"GIF", "GIF"},
        {"TIF", "TIF"}, {"TIFF", "TIF"}, {"TGA", "TGA"}, {"PCX", "PCX"}, {"PCD", "PCD"},
    };
    const auto it = types.find(QFileInfo(fileName).suffix().trimmed().toUpper());
    return it == types.end() ? QString() : it->second;
}

}  // namespace

TLQDib::TLQDib() : OnProgress(defaultProgress()), FDateTime(QDate::currentDate().startOfDay()) {}

TLQDib::~TLQDib() = default;

void TLQDib::SetDefaultProgress(TRVMesProgress handler) { defaultProgress() = std::move(handler); }

// ---- size ----

int TLQDib::Width() const { return HasPixels() ? Info().width : FWidth; }
int TLQDib::Height() const { return HasPixels() ? Info().height : FHeight; }
int TLQDib::Bits() const { return HasPixels() ? Info().bitCount : FBits; }

void TLQDib::SetCMWidth(float cm) {
    if (HasPixels() && cm != 0) SetResolution(roundHalfEven(Info().width / (double(cm) * 0.01)), Info().yPelsPerMeter);
}

void TLQDib::SetCMHeight(float cm) {
    if (HasPixels() && cm != 0) SetResolution(Info().xPelsPerMeter, roundHalfEven(Info().height / (double(cm) * 0.01)));
}

void TLQDib::SetJPegSaveQuality(int quality) { FJPegSaveQuality = quality >= 1 && quality <= 100 ? quality : 25; }
void TLQDib::SetJPegSaveSmooth(int smooth) { FJPegSaveSmooth = smooth > 100 ? 5 : std::max(smooth, 0); }

// ---- pixels ----

void TLQDib::remember() {
    FWidth = Info().width;
    FHeight = Info().height;
    FBits = Info().bitCount;
}

bool TLQDib::AttachDib(std::uint8_t* dib) {
    if (!RVTDib::AttachDib(dib)) return false;
    if (dib) remember();
    return true;
}

bool TLQDib::AttachHandle(HLQMEM dib) {
    if (!dib) return true;
    auto* p = static_cast<std::uint8_t*>(lqMemLock(dib));
    if (!p) {
        rv::RVSetLastError(rv::kRVErrBadDib, "Invalid DIB handle");
        return false;
    }
    return AttachDib(p);
}

bool TLQDib::attachResult(HLQMEM dib) { return dib && AttachHandle(dib); }

HLQMEM TLQDib::GetDibHandle() {
    if (HasPixels() || DormantFile.isEmpty()) return Handle();
    // Woken under the image's lock, so that a print or save thread never sees half an image.
    Lock();
    if (!HasPixels() && QFileInfo::exists(DormantFile)) {
        const QDateTime date = FDateTime;  // the image's date, not the parking file's
        if (LoadFromFile(DormantFile)) FDateTime = date;
    }
    Unlock();
    return Handle();
}

bool TLQDib::Assign(TLQDib& source) {
    HLQMEM from = source.GetDibHandle();
    HLQMEM copy = from ? DuplicateDib(from) : nullptr;
    if (!copy || !AttachHandle(copy)) return false;
    FIsGray = source.FIsGray;
    return true;
}

int TLQDib::GetPixelRGB(int x, int y, std::uint8_t& Blue, std::uint8_t& Green, std::uint8_t& Red) {
    if (!GetDibHandle() || x < 0 || y < 0 || x >= Width() || y >= Height()) return -1;
    const QImage pixel = ToQImage(y, 1);
    const std::uint8_t* bgr = pixel.constScanLine(0) + 3 * x;
    Blue = bgr[0], Green = bgr[1], Red = bgr[2];
    if (Bits() > 8) return 0;
    const std::uint8_t* row = Row(y);
    const int perByte = 8 / Bits();
    return (row[x / perByte] >> (8 - Bits() * (x % perByte + 1))) & ((1 << Bits()) - 1);
}

void TLQDib::SetPixelColor(int x, int y, lqp::ColorRef color) {
    if (!GetDibHandle() || x < 0 || y < 0 || x >= Width() || y >= Height()) return;
    std::uint8_t* row = Row(y);
    const int r = lqp::redOf(color), g = lqp::greenOf(color), b = lqp::blueOf(color);
    switch (Bits()) {
    case 24:
        row[3 * x] = std::uint8_t(b), row[3 * x + 1] = std::uint8_t(g), row[3 * x + 2] = std::uint8_t(r);
        return;
    case 32:
        row[4 * x] = std::uint8_t(b), row[4 * x + 1] = std::uint8_t(g), row[4 * x + 2] = std::uint8_t(r);
        return;
    case 16:
        if (Info().compression == lqp::kBiRgb) lqp::putLe16(row + 2 * x, std::uint16_t(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3)));
        return;
    }
    // Palette images: the nearest colour of the table.
    const QList<QRgb>& table = Palette();
    int best = 0, bestDistance = INT_MAX;
    for (int i = 0; i < int(table.size()); ++i) {
        const int dr = qRed(table[i]) - r, dg = qGreen(table[i]) - g, db = qBlue(table[i]) - b;
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) bestDistance = d, best = i;
    }
    const int perByte = 8 / Bits();
    const int shift = 8 - Bits() * (x % perByte + 1);
    const int mask = ((1 << Bits()) - 1) << shift;
    std::uint8_t& byte = row[x / perByte];
    byte = std::uint8_t((byte & ~mask) | (best << shift));
}

// ---- locking ----

int TLQDib::LockCount() const {
    std::lock_guard guard(gLockCountGuard);
    return FLockCount;
}

void TLQDib::Lock() {
    {
        std::lock_guard guard(gLockCountGuard);
        ++FLockCount;
    }
    FLock.lock();
}

bool TLQDib::TryLock() {
    std::lock_guard guard(gLockCountGuard);
    if (FLockCount != 0 || !FLock.try_lock()) return false;
    ++FLockCount;
    return true;
}

void TLQDib::Unlock() {
    FLock.unlock();
    std::lock_guard guard(gLockCountGuard);
    --FLockCount;
}

// ---- files ----

rv::RVProgress TLQDib::progress() {
    return [this](int percent) { return DoProgress(percent); };
}

bool TLQDib::DetectFormat(const QString& FileName, QString& TypeName) {
    rv::RVFileInfo info;
    if (!rv::fileinfo(path(FileName), info)) {
        ReportError();
        return false;
    }
    TypeName = QString::fromStdString(info.type);
    return true;
}

bool TLQDib::LoadFromFile(const QString& FileName) {
    if (!QFileInfo::exists(FileName)) throw rv::ERVError("Input filename isn't valid");
    QString type = typeOfExtension(FileName);
    if (type.isEmpty() && !DetectFormat(FileName, type)) return false;
    BusyCursor busy;
    const std::string file = path(FileName);
    HLQMEM dib = nullptr;
    try {
        if (type == "JPEG") dib = rv::rdjpgfiledib(file, progress());
        else if (type == "PNG") dib = rv::rdpngfiledib(file, progress());
        else if (type == "BMP") dib = rv::rdbmpfiledib(file, progress());
        else if (type == "PCX") dib = rv::rdpcxfiledib(file, progress());
        else if (type == "TGA") dib = rv::readtgafiledib(file, progress());
        else if (type == "PCD") dib = rv::readpcdfiledib(file, PCDMode, progress());
        else if (type == "TIF" || type == "TIFF") dib = rv::readtiffiledib(file, TiffPage, progress());
        else rv::RVSetLastError(rv::kRVErrUnsupported, "No reader for " + type.toStdString() + " files");
    } catch (const std::bad_alloc&) {
        rv::RVSetLastError(rv::kRVErrNoMemory, "Can't allocate memory");
    }
    if (!attachResult(dib)) return false;
    if (const auto time = lqp::modificationTime(file))
        FDateTime = QDateTime::fromMSecsSinceEpoch(*time / 1000000);
    return true;
}

bool TLQDib::SaveToFile(const QString& FileName, QString* WrittenName) {
    const QString ext = QFileInfo(FileName).suffix().trimmed().toUpper();
    static const QStringList writable = {"BMP", "JPG", "PNG", "PCX", "TIF", "GIF", "TGA"};
    const bool known = writable.contains(ext);
    const QString target = known ? FileName : FileName + ".jpg";
    HLQMEM dib = GetDibHandle();
    if (!dib) throw rv::ERVError("Input image is empty");
    BusyCursor busy;
    const std::string file = path(target);
    bool ok = false;
    if (ext == "BMP") ok = rv::wrbmpfiledib(file, dib, progress());
    else if (ext == "PNG") ok = rv::wrpngfiledib(file, dib, PNGInterLaced, progress());
    else if (ext == "PCX") ok = rv::wrpcxfiledib(file, dib, progress());
    else if (ext == "TGA") ok = rv::writetgafiledib(file, dib, progress());
    else if (ext == "TIF") ok = rv::writetiffiledib(file, dib, TifSaveCompress, TiffAppend, progress());
    else if (ext == "GIF") ok = rv::wrgiffiledib(file, dib, progress());
    else ok = rv::wrjpgfiledib(file, dib, FJPegSaveQuality, FJPegSaveSmooth, progress());
    if (ok && WrittenName) *WrittenName = target;
    return ok;
}

// ---- drawing ----

// Stretches a top-down source rectangle of the DIB's own rows into `dest`, without copying
// the pixels. False when Qt cannot view the DIB's depth.
bool TLQDib::stretch(QPainter& canvas, const QRect& dest, const QRect& source) {
    const QImage view = View();
    if (view.isNull()) return false;
    // The view is bottom-up: the source rectangle starts at row Height − top − height and is
    // drawn mirrored vertically.
    const QRect bottomUp(source.x(), Height() - source.y() - source.height(), source.width(), source.height());
    canvas.save();
    canvas.setRenderHint(QPainter::SmoothPixmapTransform, false);
    canvas.translate(dest.x(), dest.y() + dest.height());
    canvas.scale(1, -1);
    canvas.drawImage(QRectF(0, 0, dest.width(), dest.height()), view, QRectF(bottomUp));
    canvas.restore();
    return true;
}

// Draws bands of 256 destination rows, each from the source rows that fall on it (converted
// to a 24-bit copy). Every band takes at least one source row, so no destination row stays
// empty however small the source is.
bool TLQDib::drawBands(QPainter& canvas, const QRect& dest, const QRect& source) {
    constexpr int kBand = 256;
    const int srcHeight = source.height(), destHeight = dest.height();
    for (int d0 = 0; d0 < destHeight; d0 += kBand) {
        const int d1 = std::min(d0 + kBand, destHeight);
        int s0 = roundHalfEven(double(srcHeight) * d0 / destHeight);
        int s1 = roundHalfEven(double(srcHeight) * d1 / destHeight);
        s0 = std::min(s0, srcHeight - 1);
        s1 = std::clamp(s1, s0 + 1, srcHeight);
        const QImage band = ToQImage(source.y() + s0, s1 - s0);
        if (band.isNull()) return false;
        canvas.drawImage(QRectF(dest.x(), dest.y() + d0, dest.width(), d1 - d0), band,
                         QRectF(source.x(), 0, source.width(), s1 - s0));
    }
    return true;
}

bool TLQDib::Draw(QPainter& canvas, const QRect& dest) {
    if (dest.width() <= 0 || dest.height() <= 0 || !GetDibHandle()) return false;
    BusyCursor busy;
    const QRect whole(0, 0, Width(), Height());
    return stretch(canvas, dest, whole) || drawBands(canvas, dest, whole);
}

bool TLQDib::DrawRect(QPainter& canvas, const QRect& dest, const QRect& source) {
    if (dest.width() <= 0 || dest.height() <= 0 || !GetDibHandle()) return false;
    const QRect src = source.intersected(QRect(0, 0, Width(), Height()));
    if (src.isEmpty()) return false;
    BusyCursor busy;
    return stretch(canvas, dest, src) || drawBands(canvas, dest, src);
}

bool TLQDib::DrawPart(QPainter& canvas, const QRect& dest, const QRect& source) {
    if (dest.width() <= 0 || dest.height() <= 0 || !GetDibHandle()) return false;
    QRect src = source;
    if (src.width() == 0) src.setWidth(Width());
    if (src.height() == 0) src.setHeight(Height());
    src = src.intersected(QRect(0, 0, Width(), Height()));
    if (src.isEmpty()) return false;
    BusyCursor busy;
    return stretch(canvas, dest, src) || drawBands(canvas, dest, src);
}

// ---- clipboard ----

namespace {
constexpr char kBmpMime[] = "image/bmp";
}

bool TLQDib::CopyToClipboard() {
    HLQMEM dib = GetDibHandle();
    std::vector<std::uint8_t> bmp;
    if (!dib || !qGuiApp || !rv::wrbmpstreamdib(bmp, dib)) return false;
    auto* data = new QMimeData;
    data->setData(kBmpMime, QByteArray(reinterpret_cast<const char*>(bmp.data()), qsizetype(bmp.size())));
    data->setImageData(ToQImage(0, Height()));
    QGuiApplication::clipboard()->setMimeData(data);
    return true;
}

bool TLQDib::CutToClipboard() {
    if (!CopyToClipboard()) return false;
    AttachDib(nullptr);
    return true;
}

bool TLQDib::PasteFromClipboard() {
    if (!qGuiApp) return false;
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data) return false;
    HLQMEM dib = nullptr;
    if (data->hasFormat(kBmpMime)) {
        const QByteArray bytes = data->data(kBmpMime);
        dib = rv::rdbmpstreamdib({reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())});
    } else if (data->hasImage()) {
        dib = DdbtoDib(qvariant_cast<QImage>(data->imageData()));
    } else {
        return false;
    }
    return attachResult(dib);
}

// ---- events ----

bool TLQDib::DoProgress(int Percent) {
    if (!OnProgress) return true;
    bool cancel = false;
    OnProgress(this, short(Percent), QString::fromStdString(rv::RVCurrentOperation()).toLower(), cancel);
    return !cancel;
}

void TLQDib::ReportError() {
    const QString text = QString::fromStdString(rv::RVLastErrorText());
    if (OnRvlibError) {
        OnRvlibError(this, short(rv::RVLastErrorCode()), text);
        return;
    }
    // A box from a print or save thread would wait for the interface thread, which may be
    // waiting for that thread: the error stays in the pack's last error instead.
    if (!onUiThread()) return;
    lqp::showMessage(text.toStdString(), {}, lqp::MsgIcon::Error, lqp::MsgButtons::Ok);
}
