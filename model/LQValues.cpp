#include "model/LQValues.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

const char* const kValueErrorInvalid = "invalid property value";
const char* const kValueErrorEnd = "unexpected end of file";

// ---- Windows-1252 ---------------------------------------------------------------------------

namespace {

// Code points of the bytes 0x80..0x9F; the undefined ones map to themselves.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char encodeCp1252(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return char(c);
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == c) return char(0x80 + i);
    return '?';
}

}  // namespace

QString DecodeWindows1252(QByteArrayView bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char b : bytes) {
        const auto u = std::uint8_t(b);
        *out++ = QChar(u >= 0x80 && u < 0xA0 ? kCp1252High[u - 0x80] : char16_t(u));
    }
    return text;
}

QByteArray EncodeWindows1252(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const char32_t c : text.toUcs4()) bytes.append(encodeCp1252(c));
    return bytes;
}

// ---- 80-bit reals ---------------------------------------------------------------------------

namespace {

constexpr int kExtendedBias = 16383;
constexpr int kDoubleBias = 1023;
constexpr std::uint64_t kDoubleFractionMask = (std::uint64_t(1) << 52) - 1;

// Rounds `value` >> `shift` to nearest, ties to even (shift in 1..64).
std::uint64_t shiftRoundEven(std::uint64_t value, int shift) {
    if (shift > 64) return 0;
    const std::uint64_t kept = shift == 64 ? 0 : value >> shift;
    const std::uint64_t rest = shift == 64 ? value : value & ((std::uint64_t(1) << shift) - 1);
    const std::uint64_t half = std::uint64_t(1) << (shift - 1);
    if (rest > half || (rest == half && (kept & 1))) return kept + 1;
    return kept;
}

}  // namespace

TExtendedBytes EncodeExtended(double value) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const bool negative = bits >> 63;
    const int exponent = int((bits >> 52) & 0x7FF);
    const std::uint64_t fraction = bits & kDoubleFractionMask;
    std::uint64_t mantissa = 0;
    int biased = 0;
    if (exponent == 0x7FF) {  // infinity or NaN; a NaN keeps its payload and quiet bit
        biased = 0x7FFF;
        mantissa = (std::uint64_t(1) << 63) | (fraction << 11);
    } else if (exponent != 0) {
        biased = exponent - kDoubleBias + kExtendedBias;
        mantissa = (std::uint64_t(1) << 63) | (fraction << 11);
    } else if (fraction != 0) {  // a subnormal double is a normal extended
        const int lead = std::countl_zero(fraction);
        mantissa = fraction << lead;
        biased = 1 - kDoubleBias - 52 + 63 - lead + kExtendedBias;
    }
    TExtendedBytes out{};
    for (int i = 0; i < 8; ++i) out[i] = std::uint8_t(mantissa >> (8 * i));
    const unsigned top = unsigned(biased) | (negative ? 0x8000u : 0u);
    out[8] = std::uint8_t(top);
    out[9] = std::uint8_t(top >> 8);
    return out;
}

double DecodeExtended(const std::uint8_t* bytes) {
    std::uint64_t mantissa = 0;
    for (int i = 0; i < 8; ++i) mantissa |= std::uint64_t(bytes[i]) << (8 * i);
    const unsigned top = unsigned(bytes[8]) | (unsigned(bytes[9]) << 8);
    const std::uint64_t sign = std::uint64_t(top >> 15) << 63;
    const int biased = int(top & 0x7FFF);

    if (biased == 0x7FFF) {
        const std::uint64_t payload = mantissa & ~(std::uint64_t(1) << 63);
        if (payload == 0) return std::bit_cast<double>(sign | (std::uint64_t(0x7FF) << 52));
        // NaN: keep the top fraction bits, and make sure one survives the narrowing
        const std::uint64_t fraction = (payload >> 11) ? payload >> 11 : std::uint64_t(1) << 51;
        return std::bit_cast<double>(sign | (std::uint64_t(0x7FF) << 52) | fraction);
    }
    if (mantissa == 0) return std::bit_cast<double>(sign);

    // value = mantissa × 2^(e − bias − 63); denormal extendeds use e = 1. Normalise so that
    // bit 63 is set (it may not be in a denormal or an unnormal).
    const int lead = std::countl_zero(mantissa);
    mantissa <<= lead;
    const int unbiased = (biased == 0 ? 1 : biased) - kExtendedBias - lead;  // exponent of bit 63
    if (unbiased > kDoubleBias) return std::bit_cast<double>(sign | (std::uint64_t(0x7FF) << 52));

    if (unbiased >= 1 - kDoubleBias) {
        std::uint64_t kept = shiftRoundEven(mantissa, 11);
        int exponent = unbiased + kDoubleBias;
        if (kept >> 53) {  // rounding carried into a new bit
            kept >>= 1;
            ++exponent;
            if (exponent >= 0x7FF) return std::bit_cast<double>(sign | (std::uint64_t(0x7FF) << 52));
        }
        return std::bit_cast<double>(sign | (std::uint64_t(exponent) << 52) | (kept & kDoubleFractionMask));
    }
    // Subnormal result in units of 2^-1074; a carry into bit 52 becomes the smallest normal.
    const int shift = 11 + (1 - kDoubleBias - unbiased);
    return std::bit_cast<double>(sign | shiftRoundEven(mantissa, shift));
}

// ---- Writer ---------------------------------------------------------------------------------

void TLQValueWriter::WriteTag(TValueTag tag) { FData.append(char(tag)); }

void TLQValueWriter::WriteRaw(QByteArrayView bytes) { FData.append(bytes); }

void TLQValueWriter::WriteInteger(std::int32_t value) {
    const auto u = std::uint32_t(value);
    int size = 4;
    if (value >= -128 && value <= 127) {
        WriteTag(TValueTag::Int8);
        size = 1;
    } else if (value >= -32768 && value <= 32767) {
        WriteTag(TValueTag::Int16);
        size = 2;
    } else {
        WriteTag(TValueTag::Int32);
    }
    for (int i = 0; i < size; ++i) FData.append(char(u >> (8 * i)));
}

void TLQValueWriter::WriteFloat(double value) {
    WriteTag(TValueTag::Extended);
    const TExtendedBytes bytes = EncodeExtended(value);
    FData.append(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

void TLQValueWriter::WriteString(const QString& text) {
    const QByteArray bytes = EncodeWindows1252(text);
    const auto length = std::uint32_t(bytes.size());
    if (length < 256) {
        WriteTag(TValueTag::String);
        FData.append(char(length));
    } else {
        WriteTag(TValueTag::LString);
        for (int i = 0; i < 4; ++i) FData.append(char(length >> (8 * i)));
    }
    FData.append(bytes);
}

void TLQValueWriter::WriteIdent(const QString& name) {
    const QByteArray bytes = EncodeWindows1252(name).left(255);
    WriteTag(TValueTag::Ident);
    FData.append(char(bytes.size()));
    FData.append(bytes);
}

void TLQValueWriter::WriteBoolean(bool value) { WriteTag(value ? TValueTag::True : TValueTag::False); }
void TLQValueWriter::WriteListBegin() { WriteTag(TValueTag::List); }
void TLQValueWriter::WriteListEnd() { WriteTag(TValueTag::EndOfList); }
void TLQValueWriter::WriteNil() { WriteTag(TValueTag::Nil); }

// ---- Reader ---------------------------------------------------------------------------------

bool TLQValueReader::Fail(const QString& message) {
    if (FError.isEmpty()) FError = message;
    return false;
}

const std::uint8_t* TLQValueReader::Take(qsizetype count) {
    if (!Ok()) return nullptr;
    if (count < 0 || count > Remaining()) {
        FPos = FData.size();
        Fail(QString::fromLatin1(kValueErrorEnd));
        return nullptr;
    }
    const auto* p = reinterpret_cast<const std::uint8_t*>(FData.data()) + FPos;
    FPos += count;
    return p;
}

bool TLQValueReader::ReadRaw(char* target, qsizetype count) {
    const std::uint8_t* p = Take(count);
    if (!p) return false;
    std::copy(p, p + count, target);
    return true;
}

bool TLQValueReader::ReadRaw(QByteArray& target, qsizetype count) {
    const std::uint8_t* p = Take(count);
    if (!p) return false;
    target = QByteArray(reinterpret_cast<const char*>(p), count);
    return true;
}

bool TLQValueReader::ReadTag(TValueTag& tag) {
    const std::uint8_t* p = Take(1);
    if (!p) return false;
    tag = TValueTag(*p);
    return true;
}

bool TLQValueReader::ReadIntegerPayload(TValueTag tag, std::int32_t& value) {
    const int size = tag == TValueTag::Int8 ? 1 : tag == TValueTag::Int16 ? 2 : tag == TValueTag::Int32 ? 4 : 0;
    if (size == 0) return Fail(QString::fromLatin1(kValueErrorInvalid));
    const std::uint8_t* p = Take(size);
    if (!p) return false;
    std::uint32_t u = 0;
    for (int i = 0; i < size; ++i) u |= std::uint32_t(p[i]) << (8 * i);
    if (size == 1) value = std::int8_t(u);
    else if (size == 2) value = std::int16_t(u);
    else value = std::int32_t(u);
    return true;
}

bool TLQValueReader::ReadTextPayload(TValueTag tag, QString& value) {
    qsizetype length = 0;
    if (tag == TValueTag::LString) {
        const std::uint8_t* p = Take(4);
        if (!p) return false;
        length = qsizetype(std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
                           (std::uint32_t(p[3]) << 24));
    } else {
        const std::uint8_t* p = Take(1);
        if (!p) return false;
        length = *p;
    }
    const std::uint8_t* text = Take(length);  // bounded by what is left, before anything is allocated
    if (!text) return false;
    value = DecodeWindows1252(QByteArrayView(text, length));
    return true;
}

bool TLQValueReader::ReadInteger(std::int32_t& value) {
    TValueTag tag;
    return ReadTag(tag) && ReadIntegerPayload(tag, value);
}

bool TLQValueReader::ReadFloat(double& value) {
    TValueTag tag;
    if (!ReadTag(tag)) return false;
    if (tag == TValueTag::Extended) {
        const std::uint8_t* p = Take(10);
        if (!p) return false;
        value = DecodeExtended(p);
        return true;
    }
    std::int32_t i = 0;
    if (!ReadIntegerPayload(tag, i)) return false;
    value = i;
    return true;
}

bool TLQValueReader::ReadFloat(float& value) {
    double d = 0;
    if (!ReadFloat(d)) return false;
    // Values from FLT_MAX plus half its last unit on round to infinity, as the hardware does.
    constexpr double kFloatOverflow = 0x1.ffffffp127;
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    if (std::isfinite(d) && std::fabs(d) >= kFloatOverflow)
        value = d > 0 ? kInfinity : -kInfinity;
    else
        value = float(d);
    return true;
}

bool TLQValueReader::ReadString(QString& value) {
    TValueTag tag;
    if (!ReadTag(tag)) return false;
    if (tag != TValueTag::String && tag != TValueTag::LString) return Fail(QString::fromLatin1(kValueErrorInvalid));
    return ReadTextPayload(tag, value);
}

bool TLQValueReader::ReadBoolean(bool& value) {
    TValueTag tag;
    if (!ReadTag(tag)) return false;
    value = tag == TValueTag::True;
    return true;
}

bool TLQValueReader::ReadValue(TLQValue& value) {
    TLQValue v;
    if (!ReadTag(v.Tag)) return false;
    bool ok = true;
    switch (v.Tag) {
    case TValueTag::EndOfList: case TValueTag::List: case TValueTag::False: case TValueTag::True:
    case TValueTag::Nil:
        break;
    case TValueTag::Int8: case TValueTag::Int16: case TValueTag::Int32:
        ok = ReadIntegerPayload(v.Tag, v.Int);
        break;
    case TValueTag::Extended: {
        const std::uint8_t* p = Take(10);
        ok = p != nullptr;
        if (ok) v.Real = DecodeExtended(p);
        break;
    }
    case TValueTag::String: case TValueTag::Ident: case TValueTag::LString:
        ok = ReadTextPayload(v.Tag, v.Text);
        break;
    default:
        ok = Fail(QString::fromLatin1(kValueErrorInvalid));
    }
    if (ok) value = std::move(v);
    return ok;
}

// ---- Files ----------------------------------------------------------------------------------

bool ReadFileBytes(const QString& path, QByteArray& data, QString& error, qint64 maxSize) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return false;
    }
    // Read in chunks up to one byte past the limit rather than trust size(), which devices
    // and pipes report as 0.
    QByteArray bytes;
    char chunk[65536];
    for (;;) {
        const qint64 n = file.read(chunk, sizeof chunk);
        if (n < 0) {
            error = file.errorString();
            return false;
        }
        if (n == 0) break;
        bytes.append(chunk, n);
        if (bytes.size() > maxSize) {
            error = QStringLiteral("file larger than %1 bytes").arg(maxSize);
            return false;
        }
    }
    data = std::move(bytes);
    return true;
}

bool WriteFileAtomically(const QString& path, QByteArrayView data, QString& error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
        return false;
    }
    if (file.write(data.data(), data.size()) != data.size()) {
        error = file.errorString();
        file.cancelWriting();  // commit() now discards the temporary file
    }
    if (!file.commit()) {
        if (error.isEmpty()) error = file.errorString();
        return false;
    }
    return true;
}
