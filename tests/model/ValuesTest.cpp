#include <gtest/gtest.h>

#include <QDir>

#include <sys/resource.h>

#include <bit>
#include <cfloat>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstring>
#include <functional>
#include <random>

#include "model/LQValues.h"
#include "tests/support/TestSupport.h"

namespace {

QByteArray hex(const char* text) { return QByteArray::fromHex(QByteArray(text).replace(' ', "")); }

QByteArray written(const std::function<void(TLQValueWriter&)>& write) {
    TLQValueWriter w;
    write(w);
    return w.Data();
}

TEST(TaggedValues, WriterChoosesTheSmallestIntegerForm) {
    const struct { std::int32_t value; const char* bytes; } cases[] = {
        {0, "02 00"},          {127, "02 7f"},          {-128, "02 80"},
        {128, "03 80 00"},     {-129, "03 7f ff"},      {32767, "03 ff 7f"},
        {-32768, "03 00 80"},  {32768, "04 00 80 00 00"}, {-32769, "04 ff 7f ff ff"},
        {INT_MAX, "04 ff ff ff 7f"}, {INT_MIN, "04 00 00 00 80"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(written([&](auto& w) { w.WriteInteger(c.value); }), hex(c.bytes)) << c.value;
        const QByteArray bytes = hex(c.bytes);
        TLQValueReader r(bytes);
        std::int32_t back = 1;
        EXPECT_TRUE(r.ReadInteger(back));
        EXPECT_EQ(back, c.value);
        EXPECT_EQ(r.Remaining(), 0);
    }
}

TEST(TaggedValues, RealsAreTenByteExtendeds) {
    const struct { double value; const char* bytes; } cases[] = {
        {1.0, "05 00 00 00 00 00 00 00 80 ff 3f"},
        {0.0, "05 00 00 00 00 00 00 00 00 00 00"},
        {-0.0, "05 00 00 00 00 00 00 00 00 00 80"},
        {-2.5, "05 00 00 00 00 00 00 00 a0 00 c0"},
        {double(0.1f), "05 00 00 00 00 00 cd cc cc fb 3f"},
        {0.1, "05 00 d0 cc cc cc cc cc cc fb 3f"},
        {INFINITY, "05 00 00 00 00 00 00 00 80 ff 7f"},
        {-INFINITY, "05 00 00 00 00 00 00 00 80 ff ff"},
        {std::bit_cast<double>(std::uint64_t(1)), "05 00 00 00 00 00 00 00 80 cd 3b"},  // 2^-1074
        {DBL_MAX, "05 00 f8 ff ff ff ff ff ff fe 43"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(written([&](auto& w) { w.WriteFloat(c.value); }), hex(c.bytes)) << c.value;
        const QByteArray bytes = hex(c.bytes);
        TLQValueReader r(bytes);
        double back = 7;
        EXPECT_TRUE(r.ReadFloat(back));
        EXPECT_EQ(std::bit_cast<std::uint64_t>(back), std::bit_cast<std::uint64_t>(c.value)) << c.value;
    }
    const QByteArray nan = written([](auto& w) { w.WriteFloat(NAN); });
    EXPECT_EQ(nan.mid(8), hex("c0 ff 7f"));
    double back = 0;
    TLQValueReader(nan).ReadFloat(back);
    EXPECT_TRUE(std::isnan(back));
}

// The x87 unit of the machine is an independent implementation of the same format: the
// encoder must agree with it for any double, the decoder for any extended it accepts.
#if defined(__x86_64__) && LDBL_MANT_DIG == 64
TEST(TaggedValues, ExtendedCodingAgreesWithTheFloatingPointUnit) {
    std::mt19937_64 random(20240611);
    for (int i = 0; i < 200000; ++i) {
        const double d = std::bit_cast<double>(random());
        if (std::isnan(d)) continue;
        long double ld = d;
        unsigned char hardware[16] = {};
        std::memcpy(hardware, &ld, 10);
        const TExtendedBytes ours = EncodeExtended(d);
        ASSERT_EQ(std::memcmp(ours.data(), hardware, 10), 0) << d;
    }
    for (int i = 0; i < 400000; ++i) {
        unsigned char bytes[16] = {};
        const std::uint64_t a = random(), b = random();
        std::memcpy(bytes, &a, 8);
        std::memcpy(bytes + 8, &b, 2);
        // Exponents near the double range are where rounding and subnormals happen.
        const unsigned exponent = i % 2 ? unsigned(15300 + b % 2200) : unsigned(b & 0x7FFF);
        bytes[8] = std::uint8_t(exponent);
        bytes[9] = std::uint8_t((exponent >> 8) | (b >> 16 & 0x80));
        const bool integerBit = bytes[7] & 0x80;
        if (exponent != 0 && !integerBit) continue;  // unnormals: the unit refuses them
        long double ld;
        std::memcpy(&ld, bytes, 10);
        const double hardware = double(ld);
        const double ours = DecodeExtended(bytes);
        if (std::isnan(hardware)) {
            ASSERT_TRUE(std::isnan(ours));
        } else {
            ASSERT_EQ(std::bit_cast<std::uint64_t>(ours), std::bit_cast<std::uint64_t>(hardware))
                << "exponent " << exponent << " mantissa " << a;
        }
    }
}
#endif

TEST(TaggedValues, StringsBelow256BytesAreShortAndLongerOnesLong) {
    const QString s255(255, QChar('x')), s256(256, QChar('x'));
    const QByteArray shortForm = written([&](auto& w) { w.WriteString(s255); });
    const QByteArray longForm = written([&](auto& w) { w.WriteString(s256); });
    EXPECT_EQ(shortForm.left(2), hex("06 ff"));
    EXPECT_EQ(shortForm.size(), 2 + 255);
    EXPECT_EQ(longForm.left(5), hex("0c 00 01 00 00"));
    EXPECT_EQ(longForm.size(), 5 + 256);
    for (const QByteArray& bytes : {shortForm, longForm}) {
        QString back;
        TLQValueReader r(bytes);
        EXPECT_TRUE(r.ReadString(back));
        EXPECT_EQ(back.size(), bytes.size() == 257 ? 255 : 256);
    }
    EXPECT_EQ(written([](auto& w) { w.WriteString(QString()); }), hex("06 00"));
    // Windows-1252 in the stream: umlauts, the euro sign, and "?" for what it cannot hold.
    EXPECT_EQ(written([](auto& w) { w.WriteString(QString::fromUtf8("Grüße €5 ✓😀")); }),
              hex("06 0b 47 72 fc df 65 20 80 35 20 3f 3f"));
}

TEST(TaggedValues, TheOtherTagsAreSingleBytes) {
    EXPECT_EQ(written([](auto& w) {
                  w.WriteBoolean(true);
                  w.WriteBoolean(false);
                  w.WriteListBegin();
                  w.WriteListEnd();
                  w.WriteNil();
                  w.WriteIdent(QStringLiteral("Name"));
                  w.WriteRaw("AB");
              }),
              hex("09 08 01 00 0d 07 04 4e 61 6d 65 41 42"));
}

TEST(TaggedValues, ReadersAcceptTheTagsOfTheirKind) {
    // A real reads integer tags; an integer does not read a real.
    double real = 0;
    const QByteArray intsBytes = hex("02 0a 03 00 01 04 00 00 01 00");
    TLQValueReader ints(intsBytes);
    for (double expected : {10.0, 256.0, 65536.0}) {
        EXPECT_TRUE(ints.ReadFloat(real));
        EXPECT_EQ(real, expected);
    }
    std::int32_t i = 42;
    const QByteArray notIntBytes = hex("05 00 00 00 00 00 00 00 80 ff 3f");
    TLQValueReader notInt(notIntBytes);
    EXPECT_FALSE(notInt.ReadInteger(i));
    EXPECT_EQ(notInt.ErrorText(), "invalid property value");
    EXPECT_EQ(i, 42);
    // Strings read tags 6 and 12, not identifiers.
    QString s = "old";
    const QByteArray identBytes = hex("07 01 41");
    TLQValueReader ident(identBytes);
    EXPECT_FALSE(ident.ReadString(s));
    EXPECT_EQ(ident.ErrorText(), "invalid property value");
    EXPECT_EQ(s, "old");
    // A boolean is true only for tag 9; any other tag reads as false and only its tag is used.
    const QByteArray boolsBytes = hex("09 08 02 09");
    TLQValueReader bools(boolsBytes);
    bool b = false;
    EXPECT_TRUE(bools.ReadBoolean(b));
    EXPECT_TRUE(b);
    EXPECT_TRUE(bools.ReadBoolean(b));
    EXPECT_FALSE(b);
    b = true;
    EXPECT_TRUE(bools.ReadBoolean(b));
    EXPECT_FALSE(b);
    EXPECT_TRUE(bools.ReadBoolean(b));  // the byte after tag 2 is read as the next tag
    EXPECT_TRUE(b);
}

TEST(TaggedValues, FloatTargetsSaturateBeyondTheirRange) {
    const struct { double value; float expected; } cases[] = {
        {1e300, INFINITY}, {-1e300, -INFINITY}, {double(FLT_MAX), FLT_MAX},
        {0x1.fffffefffffffp127, FLT_MAX}, {0x1.ffffffp127, INFINITY}, {1e-300, 0.0f}, {0.1, 0.1f},
    };
    for (const auto& c : cases) {
        float f = 5;
        const QByteArray bytes = written([&](auto& w) { w.WriteFloat(c.value); });
        TLQValueReader r(bytes);
        EXPECT_TRUE(r.ReadFloat(f));
        EXPECT_EQ(f, c.expected) << c.value;
    }
}

TEST(TaggedValues, ReadValueDeliversEveryTagAndRefusesUnknownOnes) {
    const QByteArray stream = written([](auto& w) {
        w.WriteListBegin();
        w.WriteInteger(-300);
        w.WriteFloat(2.5);
        w.WriteIdent(QStringLiteral("Id"));
        w.WriteString(QString(300, QChar(0xE4)));
        w.WriteBoolean(true);
        w.WriteNil();
        w.WriteListEnd();
    });
    TLQValueReader r(stream);
    TLQValue v;
    const TValueTag tags[] = {TValueTag::List, TValueTag::Int16, TValueTag::Extended, TValueTag::Ident,
                              TValueTag::LString, TValueTag::True, TValueTag::Nil, TValueTag::EndOfList};
    for (TValueTag tag : tags) {
        ASSERT_TRUE(r.ReadValue(v));
        EXPECT_EQ(v.Tag, tag);
    }
    EXPECT_EQ(r.Remaining(), 0);
    for (const char* unknown : {"0a", "0b", "0e", "ff"}) {
        const QByteArray badBytes = hex(unknown);
        TLQValueReader bad(badBytes);
        EXPECT_FALSE(bad.ReadValue(v)) << unknown;
        EXPECT_EQ(bad.ErrorText(), "invalid property value");
    }
}

// Every value cut short at every byte fails with the end-of-file message, leaves its target
// alone, and every later read fails too.
TEST(TaggedValues, TruncatedValuesFailAndTheFailureSticks) {
    const QByteArray values[] = {hex("03 00 01"), hex("04 00 00 01 00"), hex("05 00 00 00 00 00 00 00 80 ff 3f"),
                                 written([](auto& w) { w.WriteString(QStringLiteral("abc")); }),
                                 written([](auto& w) { w.WriteString(QString(300, 'y')); })};
    for (const QByteArray& value : values) {
        for (qsizetype cut = 0; cut < value.size(); ++cut) {
            const QByteArray bytes = value.left(cut);
            TLQValueReader r(bytes);
            TLQValue v;
            v.Int = 99;
            EXPECT_FALSE(r.ReadValue(v));
            EXPECT_EQ(r.ErrorText(), "unexpected end of file");
            EXPECT_EQ(v.Int, 99);
            std::int32_t i = 7;
            EXPECT_FALSE(r.ReadInteger(i));
            EXPECT_EQ(i, 7);
        }
    }
    // A hostile long-string length is refused against the bytes that are left.
    const QByteArray hugeBytes = hex("0c ff ff ff ff 41 42");
    TLQValueReader huge(hugeBytes);
    QString s;
    EXPECT_FALSE(huge.ReadString(s));
    EXPECT_EQ(huge.ErrorText(), "unexpected end of file");
    // The first failure is the one reported.
    const QByteArray twiceBytes = hex("08");
    TLQValueReader twice(twiceBytes);
    std::int32_t i = 0;
    EXPECT_FALSE(twice.ReadInteger(i));
    EXPECT_FALSE(twice.ReadInteger(i));
    EXPECT_EQ(twice.ErrorText(), "invalid property value");
}

TEST(Windows1252, AgreesWithPythonsCodecAndKeepsTheUndefinedBytes) {
    QByteArray all;
    for (int b = 0; b < 256; ++b) all.append(char(b));
    const QString decoded = DecodeWindows1252(all);
    const auto python = lqtest::runPython(
        "import sys\n"
        "for b in range(256):\n"
        "    try: print(ord(bytes([b]).decode('cp1252')))\n"
        "    except UnicodeDecodeError: print(b)\n");
    ASSERT_EQ(python.exitCode, 0) << python.output;
    const QStringList codes = QString::fromStdString(python.output).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(codes.size(), 256);
    for (int b = 0; b < 256; ++b) EXPECT_EQ(decoded[b].unicode(), codes[b].toUInt()) << b;
    EXPECT_EQ(EncodeWindows1252(decoded), all);
}

TEST(ValueFiles, ReadingRefusesMissingAndOversizedFiles) {
    lqtest::TempDir dir;
    QByteArray data = "keep";
    QString error;
    EXPECT_FALSE(ReadFileBytes(QString::fromStdString(dir.file("none")), data, error));
    EXPECT_FALSE(error.isEmpty());
    lqtest::writeFile(dir.file("big"), std::string(100, 'x'));
    EXPECT_FALSE(ReadFileBytes(QString::fromStdString(dir.file("big")), data, error, 99));
    EXPECT_EQ(data, "keep");
    EXPECT_TRUE(ReadFileBytes(QString::fromStdString(dir.file("big")), data, error, 100));
    EXPECT_EQ(data.size(), 100);
    EXPECT_FALSE(ReadFileBytes(QStringLiteral("/dev/zero"), data, error, 1 << 20));
}

// A save that fails while writing (here: the file size limit of the process) must leave the
// previous file whole and no temporary file behind.
TEST(ValueFiles, AFailedWriteKeepsThePreviousFile) {
    lqtest::TempDir dir;
    const QString target = QString::fromStdString(dir.file("set.qfs"));
    QString error;
    ASSERT_TRUE(WriteFileAtomically(target, "previous content", error)) << error.toStdString();

    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool ok = WriteFileAtomically(target, QByteArray(100000, 'n'), error);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(ok);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(lqtest::readFile(target.toStdString()), std::vector<std::uint8_t>(
        (const std::uint8_t*)"previous content", (const std::uint8_t*)"previous content" + 16));
    EXPECT_EQ(QDir(QString::fromStdString(dir.path().string())).entryList(QDir::Files), QStringList{"set.qfs"});
    EXPECT_FALSE(WriteFileAtomically(QString::fromStdString(dir.file("no/such/folder")), "x", error));
}

}  // namespace
