#include "imaging/LQDib.h"

#include <QClipboard>
#include <QCursor>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QThread>
#include <cmath>
#include <map>

#include "imaging/LQQjg.h"
#include "imaging/LQResample.h"
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

// Holds an image's lock for a scope (also when an exception leaves it).
class ScopedLock {
public:
    explicit ScopedLock(TLQDib& dib) : dib_(dib) { dib_.Lock(); }
    ~ScopedLock() { dib_.Unlock(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    TLQDib& dib_;
};

constexpr std::size_t kCvpPlane = 512 * 512;

// Reads the planes of a .CVP file and decodes them (see TLQDib::ReadCVP).
HLQMEM loadCvp(const QString& file, int gamma, const rv::RVProgress& progress) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        rv::RVSetLastError(rv::kRVErrOpen, "Can't open file " + path(file));
        return nullptr;
    }
    const QByteArray bytes = f.read(qint64(3 * kCvpPlane));
    return TLQDib::ReadCVP({reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())}, gamma, progress);
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
    const ScopedLock locked(*this);
    if (!HasPixels() && QFileInfo::exists(DormantFile)) {
        const QDateTime date = FDateTime;  // the image's date, not the parking file's
        if (LoadFromFile(DormantFile)) {
            FDateTime = date;
            // The turns asked for while dormant; they are forgotten only once done.
            if (FPendingAngle != 0 && Rotate(FPendingAngle)) FPendingAngle = 0;
        }
    }
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
    std::uint8_t bgr[3];
    const int index = GetDibHandle() ? PixelAt(x, y, bgr) : -1;
    if (index >= 0) Blue = bgr[0], Green = bgr[1], Red = bgr[2];
    return index;
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
        else if (type == "QJG") dib = TLQQjgFile::Read(FileName, kQjgFilePassword, progress());
        else if (type == "CVP") dib = loadCvp(FileName, CVPGamma, progress());
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
    static const QStringList writable = {"BMP", "JPG", "PNG", "PCX", "TIF", "GIF", "TGA", "QJG"};
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
    else if (ext == "QJG") ok = TLQQjgFile::Write(dib, target, kQjgFilePassword, progress());
    else ok = rv::wrjpgfiledib(file, dib, FJPegSaveQuality, FJPegSaveSmooth, progress());
    if (ok && WrittenName) *WrittenName = target;
    return ok;
}

// ---- the raw video format ----

HLQMEM TLQDib::ReadCVP(std::span<const std::uint8_t> data, int gamma, const rv::RVProgress& progress) {
    rv::RVSetOperation("Loading CVP image");
    if (data.size() < 3 * kCvpPlane) {
        rv::RVSetLastError(rv::kRVErrRead, "CVP: the file is shorter than its three 512 x 512 planes");
        return nullptr;
    }
    TLQDib frame;
    if (!frame.AttachHandle(CreateDib(512, 512, 24))) return nullptr;
    // Byte i of each plane is pixel i in memory order (bottom row first); 512 pixels of 24
    // bits fill a row exactly, so pixel i starts at byte 3 i of the pixel area.
    std::uint8_t* bits = frame.PixelData();
    int reported = -1;
    for (std::size_t i = 0; i < kCvpPlane; ++i) {
        bits[3 * i] = data[i + 2 * kCvpPlane];
        bits[3 * i + 1] = data[i + kCvpPlane];
        bits[3 * i + 2] = data[i];
        if (const int percent = int(i * 100 / kCvpPlane); percent != reported) {
            reported = percent;
            if (!rv::RVReport(progress, percent)) return nullptr;
        }
    }
    if (!frame.CropTo(32, 16, 448, 480)) return nullptr;
    const TLQResampleFilter* bell = ResampleFilter(4);
    lqp::MemOwner picture(CreateDib(484, 661, 24));
    if (!picture || !ResampleDib(frame.GetDibHandle(), picture.get(), bell->Function, bell->Support)) {
        rv::RVSetLastError(rv::kRVErrNoMemory, "Can't allocate memory");
        return nullptr;
    }
    TLQDib result;
    if (!result.AttachHandle(picture.release()) || !result.Rotate(180)) return nullptr;
    result.SetCMWidth(4.1f);
    result.SetCMHeight(5.6f);
    if (gamma > 10 && gamma <= 50 && !result.GammaCorrect(gamma)) return nullptr;
    if (!rv::RVReport(progress, 100)) return nullptr;
    return DuplicateDib(result.GetDibHandle());
}

// ---- effects ----

// Runs an operation that answers a new DIB from `source` and keeps the result.
bool TLQDib::runEffect(HLQMEM source, const std::function<HLQMEM(HLQMEM)>& operation) {
    if (!source) return false;
    BusyCursor busy;
    DoProgress(0);
    HLQMEM result = operation(source);
    DoProgress(100);
    return result && AttachHandle(result);
}

// Runs an operation that changes this image's block in place (and may move it): answers 1,
// or <= 0 with the block unchanged.
bool TLQDib::runInPlace(const std::function<int(HLQMEM)>& operation) {
    HLQMEM dib = GetDibHandle();
    if (!dib) return false;
    BusyCursor busy;
    DoProgress(0);
    const int result = operation(dib);
    DoProgress(100);
    return result > 0 && AttachDib(static_cast<std::uint8_t*>(lqMemLock(dib)));
}

bool TLQDib::AdjustColors(int blue, int green, int red, int contrast, int brightness) {
    return runEffect(GetDibHandle(), [&](HLQMEM d) { return rv::Enhance(d, progress(), blue, green, red, contrast, brightness); });
}

bool TLQDib::Sharpen(int amount) {
    return runEffect(GetDibHandle(), [&](HLQMEM d) { return rv::Better(d, progress(), amount); });
}

bool TLQDib::GammaCorrect(int value) {
    return runEffect(GetDibHandle(), [&](HLQMEM d) { return rv::RVGamma(d, value); });
}

bool TLQDib::Brighten(int value) {
    return runEffect(GetDibHandle(), [&](HLQMEM d) { return rv::RVBrightness(d, value); });
}

bool TLQDib::Rotate(double angle) {
    if (!HasPixels() && !DormantFile.isEmpty()) {
        const int degrees = roundHalfEven(angle);
        if (degrees % 180 != 0 && degrees % 90 == 0) std::swap(FWidth, FHeight);
        FPendingAngle = ((FPendingAngle + degrees) % 360 + 360) % 360;
        return true;
    }
    return runInPlace([&](HLQMEM d) { return rv::RVRotate(d, angle, RotateBackColor); });
}

bool TLQDib::Mirror(bool horizontal, bool vertical) {
    return runEffect(GetDibHandle(), [&](HLQMEM d) { return rv::RVMirror(d, horizontal, vertical); });
}

bool TLQDib::Invert() { return runInPlace(rv::RVInvert); }

bool TLQDib::MakeGray() {
    if (!runEffect(GetDibHandle(), [&](HLQMEM d) { return rv::GrayArea(d, progress(), rv::RVRect{}); })) return false;
    FIsGray = true;
    return true;
}

// RVImageCopy of a top-down rectangle of `source` into a new image of the given size.
bool TLQDib::imageCopy(HLQMEM source, int newWidth, int newHeight, const QRect& rect) {
    try {
        return runEffect(source, [&](HLQMEM d) {
            return rv::RVImageCopy(d, newWidth, newHeight, B_W_CopyFlags, rect.left(), rect.top(), rect.right(), rect.bottom());
        });
    } catch (const std::exception&) {
        if (onUiThread())
            lqp::showMessage("An exception error occured in the rastervane dll. We recommend to exit the application and to "
                             "restart it by clicking its icon!",
                             {}, lqp::MsgIcon::Error, lqp::MsgButtons::Ok);
        return false;
    }
}

bool TLQDib::CopyRect(HLQMEM source, int left, int top, int width, int height) {
    lqp::DibHeader info;
    if (!rv::RVCheckDib(source, &info) || width <= 0 || height <= 0) return false;
    // Inside the image: moved left and up to end at the edges, and no larger than the image.
    width = std::min(width, info.width);
    height = std::min(height, info.height);
    left = std::clamp(left, 0, info.width - width);
    top = std::clamp(top, 0, info.height - height);
    return imageCopy(source, width, height, QRect(left, top, width, height));
}

bool TLQDib::ScaleTo(HLQMEM source, int newWidth, int newHeight) {
    lqp::DibHeader info;
    if (!rv::RVCheckDib(source, &info)) return false;
    return imageCopy(source, newWidth, newHeight, QRect(0, 0, info.width, info.height));
}

bool TLQDib::CropTo(int left, int top, int width, int height) {
    if (!GetDibHandle()) return false;
    return imageCopy(Handle(), width, height, QRect(left, top, width, height));
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

// Resamples the source rectangle to the destination size first (B_W_CopyFlags) and draws
// that copy 1:1.
bool TLQDib::drawScaledCopy(QPainter& canvas, const QRect& dest, const QRect& source) {
    TLQDib copy;
    copy.B_W_CopyFlags = B_W_CopyFlags;
    if (!copy.imageCopy(Handle(), dest.width(), dest.height(), source)) return false;
    const QRect whole(0, 0, dest.width(), dest.height());
    return copy.stretch(canvas, dest, whole) || copy.drawBands(canvas, dest, whole);
}

bool TLQDib::Draw(QPainter& canvas, const QRect& dest) {
    if (dest.width() <= 0 || dest.height() <= 0 || !GetDibHandle()) return false;
    BusyCursor busy;
    const QRect whole(0, 0, Width(), Height());
    return stretch(canvas, dest, whole) || drawScaledCopy(canvas, dest, whole);
}

bool TLQDib::DrawRect(QPainter& canvas, const QRect& dest, const QRect& source) {
    if (dest.width() <= 0 || dest.height() <= 0 || !GetDibHandle()) return false;
    const QRect src = source.intersected(QRect(0, 0, Width(), Height()));
    if (src.isEmpty()) return false;
    BusyCursor busy;
    // Reduced by a factor of 21 or more, the image is resampled before it is drawn.
    if (src.height() / dest.height() < 21 && stretch(canvas, dest, src)) return true;
    return drawScaledCopy(canvas, dest, src);
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
