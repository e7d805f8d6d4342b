// The program's own image file format, .QJG: a complete JPEG file image (quality 100) behind
// a short header of tagged values that names the file the image was saved as and carries the
// hash of the file password. A file whose hash does not match the program's file password is
// refused; a file without a hash is read whatever the password.
//
// Layout: the raw signature "Lumenquiltworks 97 Image File" (29 bytes), then the tagged values
// format version (1), inner format ("JPG"), file name, width × 100 and height × 100 (both
// written as 0), password hash (13 characters or empty), JPEG length n, and n raw JPEG bytes.
#pragma once

#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/MemBlock.h"
#include "rastervane/RVError.h"

// The program's file password; nothing in the program changes it.
inline const QString kQjgFilePassword = QStringLiteral("Quorvex");

class TLQQjgFile {
public:
    // Bytes free on the file system of a path (empty when it cannot be measured).
    using FreeSpaceProbe = std::function<std::optional<std::uint64_t>(const std::string& path)>;

    // The hash stored for a password: empty for an empty password, else the crypt(3) hash of
    // its first 8 characters upper-cased, with the salt "/x".
    static QString PasswordHash(const QString& password);

    // Writes the DIB as a .QJG file stamped with the password's hash. Shows an error box when
    // the disk has 10 000 bytes or less free, when there are no pixels and when writing fails;
    // asks to free space (OK / Cancel) while the disk cannot hold the image. A failed or
    // cancelled save leaves an existing file as it was. True only when the file was written.
    static bool Write(HLQMEM dib, const QString& fileName, const QString& password = kQjgFilePassword,
                      const rv::RVProgress& progress = {}, const FreeSpaceProbe& freeSpace = {});

    // Reads a .QJG file into a new 24-bit DIB, or answers null with the reason in the pack's
    // last error. Only an empty file is reported in a message box.
    static HLQMEM Read(const QString& fileName, const QString& password = kQjgFilePassword,
                       const rv::RVProgress& progress = {});
    // The same on the bytes of a whole file; never shows a message.
    static HLQMEM ReadBytes(QByteArrayView file, const QString& password = kQjgFilePassword,
                            const rv::RVProgress& progress = {});
};
