// The tagged value stream under every file the program writes: set files, templates and
// layouts, the own image format and printer profiles. A file is a raw signature followed by
// values; each value is one tag byte and a little-endian payload. Text is QString in memory
// and Windows-1252 in the stream; the conversion happens here and nowhere else.
//
// The writer appends to a memory buffer; WriteFileAtomically puts the finished buffer on
// disk. The reader works on a bounded block of bytes (ReadFileBytes loads one): every length
// is checked against what is left before anything is allocated. Read errors are values: the
// first failure is kept, every later read fails without touching its target, so a caller can
// read a run of fields and look at Ok() once, and fields after the failure keep their defaults.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <cstdint>

enum class TValueTag : std::uint8_t {
    EndOfList = 0,
    List = 1,
    Int8 = 2,
    Int16 = 3,
    Int32 = 4,
    Extended = 5,   // 80-bit real: 64-bit mantissa with explicit integer bit, 15-bit exponent, sign
    String = 6,     // 1 length byte, then the characters
    Ident = 7,      // as String
    False = 8,
    True = 9,
    LString = 12,   // 4-byte length, then the characters
    Nil = 13,
};

// Windows-1252 ⇄ QString. The five bytes the code page leaves undefined map to the control
// characters of the same value, so every byte string survives a round trip. Characters the
// code page cannot hold are written as "?" (one per character, also outside the BMP).
QString DecodeWindows1252(QByteArrayView bytes);
QByteArray EncodeWindows1252(const QString& text);

// The 10 bytes of an 80-bit real, little-endian. Encoding a double is exact; decoding rounds
// to the nearest double (ties to even), gives ±infinity beyond its range and keeps NaN.
using TExtendedBytes = std::array<std::uint8_t, 10>;
TExtendedBytes EncodeExtended(double value);
double DecodeExtended(const std::uint8_t* bytes);

// Messages of failed reads; callers put them into their own error messages.
extern const char* const kValueErrorInvalid;   // "invalid property value": a tag of the wrong kind
extern const char* const kValueErrorEnd;       // the data ends inside a value

class TLQValueWriter {
public:
    // Bytes without a tag (signatures, text blocks, embedded data).
    void WriteRaw(QByteArrayView bytes);
    // The smallest of the tags Int8, Int16 and Int32 that holds the value.
    void WriteInteger(std::int32_t value);
    // Always an Extended.
    void WriteFloat(double value);
    // String below 256 bytes, LString from 256 on.
    void WriteString(const QString& text);
    // An identifier is a name of at most 255 bytes; longer names are cut there.
    void WriteIdent(const QString& name);
    void WriteBoolean(bool value);
    void WriteListBegin();
    void WriteListEnd();
    void WriteNil();

    const QByteArray& Data() const { return FData; }

private:
    void WriteTag(TValueTag tag);
    QByteArray FData;
};

// One value of any tag, as ReadValue delivers it.
struct TLQValue {
    TValueTag Tag = TValueTag::Nil;
    std::int32_t Int = 0;   // Int8, Int16, Int32
    double Real = 0;        // Extended
    QString Text;           // String, Ident, LString
};

class TLQValueReader {
public:
    // The reader views the bytes it is given; they must outlive it (hence no temporaries).
    explicit TLQValueReader(QByteArrayView data) : FData(data) {}
    explicit TLQValueReader(QByteArray&&) = delete;

    bool ReadRaw(char* target, qsizetype count);
    bool ReadRaw(QByteArray& target, qsizetype count);
    // Tags Int8, Int16, Int32.
    bool ReadInteger(std::int32_t& value);
    // Extended or any integer tag. The float form saturates to ±infinity beyond its range.
    bool ReadFloat(double& value);
    bool ReadFloat(float& value);
    // String or LString.
    bool ReadString(QString& value);
    // True reads as true, every other tag as false; only the tag byte is consumed.
    bool ReadBoolean(bool& value);
    // Any tag of the stream; an unknown tag is an error.
    bool ReadValue(TLQValue& value);

    bool Ok() const { return FError.isEmpty(); }
    const QString& ErrorText() const { return FError; }
    // Records a failure found by the caller (the first failure wins) and answers false.
    bool Fail(const QString& message);
    // Forgets the failure, for callers that tolerate a damaged optional tail.
    void ClearError() { FError.clear(); }

    qsizetype Position() const { return FPos; }
    qsizetype Remaining() const { return FData.size() - FPos; }

private:
    const std::uint8_t* Take(qsizetype count);
    bool ReadTag(TValueTag& tag);
    bool ReadIntegerPayload(TValueTag tag, std::int32_t& value);
    bool ReadTextPayload(TValueTag tag, QString& value);

    QByteArrayView FData;
    qsizetype FPos = 0;
    QString FError;
};

// Files of the program are read whole; one larger than this is refused before it is loaded.
constexpr qint64 kMaxStoredFileSize = qint64(256) << 20;

// Loads a whole file. On failure answers false with the reason in `error` and leaves `data`.
bool ReadFileBytes(const QString& path, QByteArray& data, QString& error, qint64 maxSize = kMaxStoredFileSize);
// Writes `data` to a temporary file in the target's folder and renames it over the target
// only after every byte is written and flushed to disk, so a failed save leaves the previous
// file as it was. On failure answers false with the reason in `error`.
bool WriteFileAtomically(const QString& path, QByteArrayView data, QString& error);
