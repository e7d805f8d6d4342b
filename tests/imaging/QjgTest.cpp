// The own image format .QJG: the header byte for byte, the password hash, round trips, JPEG
// data from Pillow inside a hand-made header, and damaged files.
#include <gtest/gtest.h>

#include <QFile>

#include <span>
#include <string>
#include <vector>

#include "imaging/LQCrypt.h"
#include "imaging/LQQjg.h"
#include "platform/Dib.h"
#include "platform/MessageSink.h"
#include "rastervane/RVError.h"
#include "rastervane/RVJpeg.h"
#include "shell/LQLang.h"
#include "tests/model/ModelFixtures.h"
#include "tests/rastervane/RVTestUtil.h"
#include "tests/support/TestSupport.h"

namespace {

const QByteArray kSignature = "Lumenquiltworks 97 Image File";
const char kFilePasswordHash[] = "/xMQZcLxfSbOA";   // crypt(3) of "QUORVEX" with salt "/x"

// A catalog whose texts are "T<number>" for the numbers the format uses.
class Catalog {
public:
    Catalog() {
        std::string text;
        for (int n : {1012, 1082, 1331, 1332, 1333, 1334}) text += std::to_string(n) + "=T" + std::to_string(n) + "\n";
        lqtest::writeFile(dir.file("qjg.lang"), text);
        SetLanguageChoice(QString::fromStdString(dir.file("qjg.lang")));
        LoadLanguageLibrary();
    }
    ~Catalog() {
        FreeLanguageLibrary();
        SetLanguageChoice({});
    }

private:
    lqtest::TempDir dir;
};

// Records the messages and answers each with the next scripted answer (OK when none is left).
class ScriptedMessages {
public:
    ScriptedMessages() {
        previous = lqp::setMessageSink([this](const lqp::Message& m) {
            shown.push_back(QString::fromStdString(m.text));
            if (answers.empty()) return lqp::MsgAnswer::Ok;
            const lqp::MsgAnswer a = answers.front();
            answers.erase(answers.begin());
            return a;
        });
    }
    ~ScriptedMessages() { lqp::setMessageSink(previous); }
    std::vector<QString> shown;
    std::vector<lqp::MsgAnswer> answers;

private:
    lqp::MessageSink previous;
};

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray jpegOf(HLQMEM dib) {
    std::vector<std::uint8_t> jpeg;
    EXPECT_TRUE(rv::wrjpgstreamdib(jpeg, dib, 100, 0));
    return QByteArray(reinterpret_cast<const char*>(jpeg.data()), qsizetype(jpeg.size()));
}

rvtest::Rgb decodeJpeg(const QByteArray& jpeg) {
    lqp::MemOwner dib(rv::rdjpgstreamdib(std::span(reinterpret_cast<const std::uint8_t*>(jpeg.data()), std::size_t(jpeg.size()))));
    return dib ? rvtest::dibToRgb(dib.get()) : rvtest::Rgb{};
}

// A .QJG file laid out by hand around the given JPEG.
QByteArray qjgFile(const QByteArray& name, const QByteArray& hash, const QByteArray& jpeg) {
    fixture::Bytes b;
    b.raw(kSignature).num(1).str("JPG").str(name).num(0).num(0).str(hash).num(std::int32_t(jpeg.size())).raw(jpeg);
    return b.data;
}

class Qjg : public testing::Test {
protected:
    Catalog catalog;
    ScriptedMessages messages;
    lqtest::TempDir dir;
    QString path = fixture::qpath(dir, "bild.qjg");
    lqp::MemOwner dib{rvtest::makeDib(rvtest::pattern(37, 21), 24)};
};

TEST(QjgHash, FilePasswordAndEdgeCases) {
    EXPECT_EQ(QString::fromLatin1(kFilePasswordHash), TLQQjgFile::PasswordHash(kQjgFilePassword));
    EXPECT_EQ(QString::fromLatin1(kFilePasswordHash), TLQQjgFile::PasswordHash(QStringLiteral("qUoRvEx")));
    EXPECT_EQ(QString(), TLQQjgFile::PasswordHash(QString()));
    EXPECT_EQ(QString::fromLatin1(LQCrypt("LUMENQUI", "/x")), TLQQjgFile::PasswordHash(QStringLiteral("Lumenquiltworks")));
    // Upper-cased, then stored as Windows-1252 bytes: "ö" becomes 0xD6.
    EXPECT_EQ(QString::fromLatin1(LQCrypt("KENNW\xD6RT", "/x")), TLQQjgFile::PasswordHash(QStringLiteral("Kennwörter")));
}

TEST_F(Qjg, WritesTheHeaderByteForByte) {
    ASSERT_TRUE(TLQQjgFile::Write(dib.get(), path));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(qjgFile(path.toLatin1(), kFilePasswordHash, jpegOf(dib.get())), readAll(path));

    ASSERT_TRUE(TLQQjgFile::Write(dib.get(), path, QString()));   // no password: empty hash
    EXPECT_EQ(qjgFile(path.toLatin1(), "", jpegOf(dib.get())), readAll(path));
}

TEST_F(Qjg, ReadsBackWhatTheJpegCoderGivesWithItsResolution) {
    {
        lqp::MemLock lock(dib.get());
        lqp::DibHeader h = lqp::readDibHeader(lock.data());
        h.xPelsPerMeter = h.yPelsPerMeter = 11811;   // 300 dpi
        lqp::writeDibHeader(lock.data(), h);
    }
    ASSERT_TRUE(TLQQjgFile::Write(dib.get(), path));
    lqp::MemOwner read(TLQQjgFile::Read(path));
    ASSERT_TRUE(read) << rv::RVLastErrorText();
    EXPECT_EQ(decodeJpeg(jpegOf(dib.get())), rvtest::dibToRgb(read.get()));
    lqp::MemLock lock(read.get());
    const lqp::DibHeader h = lqp::readDibHeader(lock.data());
    EXPECT_EQ(24, h.bitCount);
    EXPECT_EQ(11811, h.xPelsPerMeter);
    EXPECT_EQ(11811, h.yPelsPerMeter);
}

TEST_F(Qjg, JpegFromPillowInsideReadsAsPillowDecodesIt) {
    const std::string jpegPath = dir.file("pillow.jpg");
    rvtest::python("img = Image.new('RGB', (50, 30))\n"
                   "img.putdata([((x * 5) % 256, (y * 8) % 256, (x * y) % 256) for y in range(30) for x in range(50)])\n"
                   "img.save('" + jpegPath + "', quality=90)\n");
    const QByteArray jpeg = readAll(QString::fromStdString(jpegPath));
    ASSERT_FALSE(jpeg.isEmpty());
    // Without a hash the file is read whatever the password.
    writeAll(path, qjgFile("C:\\Bilder\\pillow.qjg", "", jpeg));
    lqp::MemOwner read(TLQQjgFile::Read(path, QStringLiteral("anders")));
    ASSERT_TRUE(read) << rv::RVLastErrorText();
    EXPECT_LE(rvtest::maxDifference(rvtest::pillowDecode(jpegPath), rvtest::dibToRgb(read.get())), 1);
}

TEST_F(Qjg, WrittenJpegPartDecodesInPillow) {
    ASSERT_TRUE(TLQQjgFile::Write(dib.get(), path));
    const QByteArray file = readAll(path);
    const QByteArray jpeg = jpegOf(dib.get());
    ASSERT_TRUE(file.endsWith(jpeg));
    const std::string jpegPath = dir.file("part.jpg");
    writeAll(QString::fromStdString(jpegPath), file.right(jpeg.size()));
    EXPECT_LE(rvtest::maxDifference(decodeJpeg(jpeg), rvtest::pillowDecode(jpegPath)), 1);
}

TEST_F(Qjg, RefusesWrongSignatureWrongHashAndDamagedFiles) {
    const QByteArray jpeg = jpegOf(dib.get());
    const QByteArray good = qjgFile("x.qjg", kFilePasswordHash, jpeg);
    QByteArray otherSignature = good;
    otherSignature[3] = 'E';
    QByteArray shortSignature = good;
    shortSignature[10] = '\0';   // compared as text: the signature would end early
    fixture::Bytes hugeLength, negativeLength, wrongTag;
    hugeLength.raw(kSignature).num(1).str("JPG").str("x").num(0).num(0).str("").num(0x7FFFFFFF).raw(jpeg);
    negativeLength.raw(kSignature).num(1).str("JPG").str("x").num(0).num(0).str("").num(-5).raw(jpeg);
    wrongTag.raw(kSignature).num(1).num(7);

    struct Case {
        const char* what;
        QByteArray bytes;
        QString error;   // empty: any reason
    };
    std::vector<Case> cases = {
        {"other signature", otherSignature, QStringLiteral("ist keine Lumenquiltworks 97 Bilddatei")},
        {"signature cut by a zero byte", shortSignature, QStringLiteral("ist keine Lumenquiltworks 97 Bilddatei")},
        {"shorter than the signature", kSignature.left(20), QStringLiteral("ist keine Lumenquiltworks 97 Bilddatei")},
        {"other password", qjgFile("x.qjg", LQCrypt("ANDERS", "/x").c_str(), jpeg), QStringLiteral("T1332")},
        {"JPEG length past the end", hugeLength.data, {}},
        {"negative JPEG length", negativeLength.data, {}},
        {"integer where a string belongs", wrongTag.data, {}},
        {"JPEG data damaged", qjgFile("x.qjg", "", jpeg.left(200) + QByteArray(jpeg.size() - 200, '\x55')), {}},
    };
    for (qsizetype cut = kSignature.size(); cut < good.size(); cut += cut < 150 ? 1 : 97)
        cases.push_back({"truncated", good.left(cut), {}});

    for (const Case& c : cases) {
        writeAll(path, c.bytes);
        rv::RVSetLastError(rv::kRVErrNone, "");
        lqp::MemOwner read(TLQQjgFile::Read(path));
        EXPECT_FALSE(read) << c.what << ", " << c.bytes.size() << " bytes";
        EXPECT_NE(rv::kRVErrNone, rv::RVLastErrorCode()) << c.what;
        if (!c.error.isEmpty()) {
            EXPECT_EQ(c.error.toStdString(), rv::RVLastErrorText()) << c.what;
        }
    }
    EXPECT_TRUE(messages.shown.empty());   // reading shows nothing, except for an empty file

    writeAll(path, QByteArray());
    EXPECT_FALSE(lqp::MemOwner(TLQQjgFile::Read(path)));
    ASSERT_EQ(1u, messages.shown.size());
    EXPECT_EQ(QStringLiteral("T1333") + path + QStringLiteral("T1334"), messages.shown[0]);
}

TEST_F(Qjg, NoPixelsAndAFullDiskAreReportedAndLeaveTheOldFile) {
    writeAll(path, "old");
    EXPECT_FALSE(TLQQjgFile::Write(nullptr, path));
    ASSERT_EQ(1u, messages.shown.size());
    EXPECT_EQ(QStringLiteral("T1012 ") + path + QStringLiteral(":\nInput image is empty."), messages.shown[0]);

    messages.shown.clear();
    const auto nearlyFull = [](const std::string&) { return std::optional<std::uint64_t>(10000); };
    EXPECT_FALSE(TLQQjgFile::Write(dib.get(), path, kQjgFilePassword, {}, nearlyFull));
    ASSERT_EQ(1u, messages.shown.size());
    EXPECT_EQ(QStringLiteral("T1012 ") + path + QStringLiteral(":\nT1082"), messages.shown[0]);
    EXPECT_EQ(QByteArray("old"), readAll(path));
}

TEST_F(Qjg, TooLittleRoomForTheImageAsksUntilThereIsRoomOrTheUserCancels) {
    writeAll(path, "old");
    const qsizetype needed = jpegOf(dib.get()).size() + 256;
    int probes = 0;
    // Enough for the first check; the image fits only from the fourth probe on.
    const auto filling = [&](const std::string&) {
        ++probes;
        return std::optional<std::uint64_t>(probes == 1 ? 20000 : probes < 4 ? std::uint64_t(needed - 1) : std::uint64_t(needed));
    };
    messages.answers = {lqp::MsgAnswer::Ok, lqp::MsgAnswer::Cancel};
    EXPECT_FALSE(TLQQjgFile::Write(dib.get(), path, kQjgFilePassword, {}, filling));
    EXPECT_EQ(2u, messages.shown.size());
    EXPECT_EQ(QStringLiteral("T1331"), messages.shown[0]);
    EXPECT_EQ(QByteArray("old"), readAll(path));

    probes = 0;
    messages.shown.clear();
    messages.answers = {lqp::MsgAnswer::Ok, lqp::MsgAnswer::Ok};
    EXPECT_TRUE(TLQQjgFile::Write(dib.get(), path, kQjgFilePassword, {}, filling));
    EXPECT_EQ(2u, messages.shown.size());
    EXPECT_EQ(qjgFile(path.toLatin1(), kFilePasswordHash, jpegOf(dib.get())), readAll(path));
}

}  // namespace
