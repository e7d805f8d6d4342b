#include "imaging/LQQjg.h"

#include <QFileInfo>

#include <algorithm>
#include <new>
#include <span>
#include <vector>

#include "imaging/LQCrypt.h"
#include "model/LQFiles.h"
#include "model/LQValues.h"
#include "platform/Files.h"
#include "platform/MessageSink.h"
#include "rastervane/RVJpeg.h"
#include "shell/LQLang.h"

namespace {

constexpr char kSignature[] = "Lumenquiltworks 97 Image File";
constexpr qsizetype kSignatureLength = 29;
constexpr std::int32_t kFormatVersion = 1;
constexpr int kJpegQuality = 100;
constexpr std::uint64_t kMinimumFreeSpace = 10000;
constexpr std::uint64_t kSpaceReserve = 256;

const TLQFileFormat& qjgFormat() {
    static const TLQFileFormat format{.Signature = QByteArray(kSignature, kSignatureLength), .Version = kFormatVersion,
                                      .WrongSignatureText = {}, .CheckFreeSpace = false};
    return format;
}

std::optional<std::uint64_t> freeBytes(const TLQQjgFile::FreeSpaceProbe& probe, const QString& path) {
    return probe ? probe(path.toStdString()) : lqp::freeSpace(path.toStdString());
}

// Asks the user to make room while the disk cannot hold `bytes`; false when the user cancels.
// A disk whose free space cannot be measured is taken to have room.
bool waitForSpace(const TLQQjgFile::FreeSpaceProbe& probe, const QString& path, std::uint64_t bytes) {
    for (std::optional<std::uint64_t> free = freeBytes(probe, path); free && *free < bytes; free = freeBytes(probe, path)) {
        if (lqp::showMessage(LangString(1331).toStdString(), {}, lqp::MsgIcon::Question, lqp::MsgButtons::OkCancel) !=
            lqp::MsgAnswer::Ok)
            return false;
    }
    return true;
}

// Fields 1 to 7: everything before the JPEG.
QByteArray header(const QString& fileName, const QString& hash) {
    TLQValueWriter w;
    w.WriteRaw(QByteArrayView(kSignature, kSignatureLength));
    w.WriteInteger(kFormatVersion);
    w.WriteString(QStringLiteral("JPG"));
    w.WriteString(fileName);
    w.WriteInteger(0);   // width and height in cm × 100: the image's physical size reads 0
    w.WriteInteger(0);
    w.WriteString(hash);
    return w.Data();
}

HLQMEM fail(int code, const QString& text) {
    rv::RVSetLastError(code, text.toStdString());
    return nullptr;
}

HLQMEM readJpegPart(QByteArrayView file, const QString& password, const rv::RVProgress& progress) {
    // The signature is compared as text up to its first zero byte.
    const QByteArrayView stored = file.first(std::min(file.size(), kSignatureLength));
    const qsizetype textLength = stored.indexOf('\0') < 0 ? stored.size() : stored.indexOf('\0');
    if (stored.first(textLength) != QByteArrayView(kSignature, kSignatureLength))
        return fail(rv::kRVErrFormat, QStringLiteral("ist keine Lumenquiltworks 97 Bilddatei"));

    TLQValueReader r(file.sliced(kSignatureLength));
    std::int32_t unused = 0, length = 0;
    QString text, hash;
    r.ReadInteger(unused);   // format version
    r.ReadString(text);      // inner format
    r.ReadString(text);      // file name it was saved as
    r.ReadInteger(unused);   // width and height × 100: the JPEG's resolution counts instead
    r.ReadInteger(unused);
    r.ReadString(hash);
    r.ReadInteger(length);
    if (r.Ok() && (length < 0 || length > r.Remaining())) r.Fail(QString::fromLatin1(kValueErrorEnd));
    if (!r.Ok()) return fail(rv::kRVErrRead, r.ErrorText());
    if (!hash.isEmpty() && hash != TLQQjgFile::PasswordHash(password)) return fail(rv::kRVErrFormat, LangString(1332));

    const auto* jpeg = reinterpret_cast<const std::uint8_t*>(file.data() + kSignatureLength + r.Position());
    return rv::rdjpgstreamdib(std::span(jpeg, std::size_t(length)), progress);
}

}  // namespace

QString TLQQjgFile::PasswordHash(const QString& password) {
    if (password.isEmpty()) return {};
    const QByteArray key = EncodeWindows1252(password.toUpper().left(8));
    return QString::fromLatin1(LQCrypt(std::string_view(key.constData(), std::size_t(key.size())), "/x"));
}

bool TLQQjgFile::Write(HLQMEM dib, const QString& fileName, const QString& password, const rv::RVProgress& progress,
                       const FreeSpaceProbe& freeSpace) {
    const std::optional<std::uint64_t> free = freeBytes(freeSpace, fileName);
    if (free && *free <= kMinimumFreeSpace) {
        ShowError(NoSpaceMessage(fileName));
        return false;
    }
    try {
        QByteArray file = header(fileName, PasswordHash(password));
        if (!dib) throw rv::ERVError("Input image is empty");
        std::vector<std::uint8_t> jpeg;
        const bool encoded = rv::wrjpgstreamdib(jpeg, dib, kJpegQuality, 0, progress);
        TLQValueWriter tail;
        tail.WriteInteger(std::int32_t(jpeg.size()));
        tail.WriteRaw(QByteArrayView(jpeg.data(), qsizetype(jpeg.size())));
        file += tail.Data();
        if (!encoded || !waitForSpace(freeSpace, fileName, jpeg.size() + kSpaceReserve)) return false;
        return SaveFileReporting(fileName, file, qjgFormat());
    } catch (const std::bad_alloc&) {
        ShowError(WriteErrorMessage(fileName, QStringLiteral("Can't allocate memory")));
    } catch (const std::exception& e) {
        ShowError(WriteErrorMessage(fileName, QString::fromStdString(e.what())));
    }
    return false;
}

HLQMEM TLQQjgFile::Read(const QString& fileName, const QString& password, const rv::RVProgress& progress) {
    QByteArray bytes;
    QString error;
    if (!ReadFileBytes(fileName, bytes, error)) return fail(rv::kRVErrRead, error);
    if (bytes.isEmpty()) {
        lqp::showMessage((LangString(1333) + fileName + LangString(1334)).toStdString(), {}, lqp::MsgIcon::Error);
        return fail(rv::kRVErrRead, LangString(1333) + fileName + LangString(1334));
    }
    return ReadBytes(bytes, password, progress);
}

HLQMEM TLQQjgFile::ReadBytes(QByteArrayView file, const QString& password, const rv::RVProgress& progress) {
    try {
        return readJpegPart(file, password, progress);
    } catch (const std::bad_alloc&) {
        return fail(rv::kRVErrNoMemory, QStringLiteral("Can't allocate memory"));
    } catch (const std::exception& e) {
        return fail(rv::kRVErrFormat, QString::fromStdString(e.what()));
    }
}
