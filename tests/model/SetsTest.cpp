#include <gtest/gtest.h>

#include "model/LQSets.h"
#include "tests/model/ModelFixtures.h"

namespace {

using fixture::Bytes;

const QByteArray kFrameSig = "Lumenquiltworks 97 Frame Set";
const QByteArray kPageSig = "Lumenquiltworks 97 Page Set";
const QByteArray kTextSig = "Lumenquiltworks 97 Text Set";

class SetFiles : public testing::Test {
protected:
    QString write(const std::string& name, const QByteArray& bytes) {
        lqtest::writeFile(dir.file(name), std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
        return fixture::qpath(dir, name);
    }
    QByteArray read(const QString& path) {
        const auto v = lqtest::readFile(path.toStdString());
        return QByteArray(reinterpret_cast<const char*>(v.data()), qsizetype(v.size()));
    }

    fixture::Catalog catalog;
    fixture::Messages messages;
    lqtest::TempDir dir;
};

// Three formats: a portrait one, a landscape one whose width is stored as an integer, and a
// square; loading sorts landscape first.
QByteArray frameSet() {
    return Bytes()
        .raw(kFrameSig).num(1).str("Formate").num(3)
        .str("9x13").real(9).real(13)
        .str("15x10").num(15).real(10)
        .str("Quadrat").real(10.5).real(10.5)
        .data;
}

TEST_F(SetFiles, FrameSetLoadsSortedAndSavesTheSameBytes) {
    const QString path = write("formate.qfs", frameSet());
    TLQFrameList frames;
    frames.Modified = true;
    ASSERT_TRUE(frames.Load(path));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(frames.SetName, "Formate");
    EXPECT_EQ(frames.FileName, path);
    EXPECT_FALSE(frames.Modified);
    ASSERT_EQ(frames.Count(), 3);
    EXPECT_EQ(frames[0], (TLQFrame{"15x10", 15, 10}));   // the integer tag reads as a real
    EXPECT_EQ(frames[1], (TLQFrame{"Quadrat", 10.5f, 10.5f}));
    EXPECT_EQ(frames[2], (TLQFrame{"9x13", 9, 13}));

    // Written in list order with reals as extendeds: the same file with the entries re-sorted.
    const QString copy = fixture::qpath(dir, "copy.qfs");
    ASSERT_TRUE(frames.Save(copy));
    EXPECT_EQ(read(copy), Bytes()
                              .raw(kFrameSig).num(1).str("Formate").num(3)
                              .str("15x10").real(15).real(10)
                              .str("Quadrat").real(10.5).real(10.5)
                              .str("9x13").real(9).real(13)
                              .data);
    EXPECT_EQ(frames.FileName, path);  // only an empty name takes the saved path
}

TEST_F(SetFiles, PageSetReadsEveryFieldAndTurnsBackAndForth) {
    const QByteArray bytes = Bytes()
        .raw(kPageSig).num(1).str("Seiten").num(1)
        .str("A4").real(21).real(29.7f).num(600).num(-1000)
        .real(1).real(2).real(3).real(4).real(0.5).real(0.25)
        .data;
    TLQPageList pages;
    ASSERT_TRUE(pages.Load(write("seiten.qps", bytes)));
    ASSERT_EQ(pages.Count(), 1);
    const TLQPage& p = pages[0];
    EXPECT_EQ(p.Name, "A4");
    EXPECT_EQ(p.Width, 21.0f);
    EXPECT_EQ(p.Height, 29.7f);
    EXPECT_EQ(p.PageInt1, 600);
    EXPECT_EQ(p.PageInt2, -1000);
    EXPECT_EQ((std::vector<float>{p.OffsetA, p.OffsetB, p.OffsetC, p.OffsetD, p.GapA, p.GapB}),
              (std::vector<float>{1, 2, 3, 4, 0.5f, 0.25f}));

    const TLQPage original = p;
    pages.Turn();
    EXPECT_TRUE(pages.Landscape);
    EXPECT_EQ((std::vector<float>{p.Width, p.Height, p.OffsetA, p.OffsetB, p.OffsetC, p.OffsetD, p.GapA, p.GapB}),
              (std::vector<float>{29.7f, 21, 3, 4, 1, 2, 0.25f, 0.5f}));
    pages.Turn();
    EXPECT_FALSE(pages.Landscape);
    EXPECT_EQ(p, original);

    const QString copy = fixture::qpath(dir, "copy.qps");
    ASSERT_TRUE(pages.Save(copy));
    EXPECT_EQ(read(copy), bytes);
}

TEST_F(SetFiles, TextSetVersionsOneTwoAndThree) {
    const auto entry = [](Bytes& b, int version, const QByteArray& text) -> Bytes& {
        b.str("Gru\xdf");
        if (version == 1) b.str(text);
        else b.textBlock(text);
        b.font("Arial", 14, true, false, true, false, 0x0000FF).num(2);
        if (version >= 3) b.num(0x00FFFF);
        return b;
    };
    for (int version : {1, 2, 3}) {
        SCOPED_TRACE(version);
        Bytes b;
        b.raw(kTextSig).num(version).str("Texte").num(1);
        entry(b, version, "Herzliche Gr\xfc\xdf" "e\r\naus K\xf6ln");
        TLQTextList texts;
        ASSERT_TRUE(texts.Load(write("texte.qxs", b.data)));
        ASSERT_EQ(texts.Count(), 1);
        const TLQText& t = texts[0];
        EXPECT_EQ(t.Name, QString::fromUtf8("Gruß"));
        EXPECT_EQ(t.Lines, (QStringList{QString::fromUtf8("Herzliche Grüße"), QString::fromUtf8("aus Köln")}));
        EXPECT_EQ(t.Font, (TLQFont{"Arial", 14, true, false, true, false, 0x0000FF}));
        EXPECT_EQ(t.Alignment, 2);
        EXPECT_EQ(t.BackColor, version >= 3 ? 0x00FFFF : -1);
        if (version == 3) {
            const QString copy = fixture::qpath(dir, "copy.qxs");
            ASSERT_TRUE(texts.Save(copy));
            EXPECT_EQ(read(copy), b.data);
        }
    }
}

TEST_F(SetFiles, VersionZeroIsAnEmptySet) {
    TLQFrameList frames;
    frames.Items.push_back({"alt", 1, 2});
    EXPECT_TRUE(frames.Load(write("leer.qfs", Bytes().raw(kFrameSig).num(0).data)));
    EXPECT_EQ(frames.Count(), 0);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SetFiles, WrongSignatureWarnsAndKeepsTheList) {
    const struct { std::string file; QString expected; } cases[] = {
        {"x.qfs", "T1009 %1\nT1010"}, {"x.qps", "T1009 %1\nT1013"}, {"x.qxs", "T1009 %1\nT1015"}};
    for (const auto& c : cases) {
        // A page signature in every file: right for none but the page set, so swap it there.
        const QByteArray sig = c.file == "x.qps" ? kFrameSig : kPageSig;
        const QString path = write(c.file, Bytes().raw(sig).num(1).str("S").num(0).data);
        messages.shown.clear();
        bool loaded = true;
        int count = 0;
        if (c.file == "x.qfs") {
            TLQFrameList l;
            l.Items.resize(2);
            loaded = l.Load(path);
            count = l.Count();
        } else if (c.file == "x.qps") {
            TLQPageList l;
            l.Items.resize(2);
            loaded = l.Load(path);
            count = l.Count();
        } else {
            TLQTextList l;
            l.Items.resize(2);
            loaded = l.Load(path);
            count = l.Count();
        }
        EXPECT_FALSE(loaded);
        EXPECT_EQ(count, 2);
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, c.expected.arg(path));
        EXPECT_EQ(messages.shown[0].icon, lqp::MsgIcon::Warning);
    }
}

// Every cut of a valid file either is too short for the signature or fails with the read
// error; the list then holds the entries that were complete.
TEST_F(SetFiles, TruncatedFilesReportTheReadErrorAndKeepCompleteEntries) {
    const QByteArray full = frameSet();
    for (qsizetype cut = kFrameSig.size(); cut < full.size(); ++cut) {
        SCOPED_TRACE(cut);
        const QString path = write("cut.qfs", full.left(cut));
        messages.shown.clear();
        TLQFrameList frames;
        EXPECT_FALSE(frames.Load(path));
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, "T1011 " + path + ":\nunexpected end of file.");
        EXPECT_EQ(messages.shown[0].icon, lqp::MsgIcon::Error);
        EXPECT_LE(frames.Count(), 2);
        EXPECT_TRUE(frames.FileName.isEmpty());
    }
    TLQTextList texts;
    const QString missing = fixture::qpath(dir, "fehlt.qxs");
    EXPECT_FALSE(texts.Load(missing));
    EXPECT_EQ(messages.shown.back().text, "T1011 " + missing + ":\nNo such file or directory.");
}

TEST_F(SetFiles, TextsLongerThan2000CharactersAreRefusedOnReadAndCutOnWrite) {
    const auto file = [](const QByteArray& text) {
        return Bytes().raw(kTextSig).num(3).str("T").num(1).str("n").textBlock(text)
            .font("Arial", 10, false, false, false, false, 0).num(0).num(-1).data;
    };
    TLQTextList texts;
    EXPECT_TRUE(texts.Load(write("ok.qxs", file(QByteArray(2000, 'a')))));
    EXPECT_EQ(texts[0].Text().size(), 2000);
    EXPECT_FALSE(texts.Load(write("long.qxs", file(QByteArray(2001, 'a')))));
    EXPECT_EQ(texts.Count(), 0);
    EXPECT_TRUE(messages.shown.back().text.endsWith(":\ntext length 2001 outside 0..2000."));
    // A negative length and a count far beyond the data are refused the same way.
    EXPECT_FALSE(texts.Load(write("neg.qxs", Bytes().raw(kTextSig).num(3).str("T").num(1).str("n").num(-5).data)));
    EXPECT_FALSE(texts.Load(write("many.qxs", Bytes().raw(kTextSig).num(3).str("T").i32(0x7fffffff).data)));

    TLQTextList big;
    TLQText t;
    t.SetText(QString(2500, QChar('b')));
    big.Items.push_back(t);
    const QString path = fixture::qpath(dir, "big.qxs");
    ASSERT_TRUE(big.Save(path));
    ASSERT_TRUE(big.Load(path));
    EXPECT_EQ(big[0].Text(), QString(2000, QChar('b')));
}

TEST_F(SetFiles, AFailedSaveReportsAndStaysModified) {
    TLQFrameList frames;
    frames.Items.push_back({"a", 1, 2});
    frames.Modified = true;
    const QString path = fixture::qpath(dir, "fehlt/formate.qfs");
    EXPECT_FALSE(frames.Save(path));
    EXPECT_TRUE(frames.Modified);
    EXPECT_TRUE(frames.FileName.isEmpty());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.startsWith("T1012 " + path + ":\n"));
    EXPECT_EQ(messages.shown[0].icon, lqp::MsgIcon::Error);

    TLQTextList texts;
    EXPECT_FALSE(texts.Save(fixture::qpath(dir, "fehlt/texte.qxs")));
    EXPECT_TRUE(messages.shown.back().text.startsWith("T1012 " + fixture::qpath(dir, "fehlt")));
}

TEST(FrameOrder, LandscapeFirstThenByHeightAndWidth) {
    TLQFrameList frames;
    frames.Items = {{"p", 9, 13}, {"l2", 18, 13}, {"l1", 15, 10}, {"p2", 10, 15}, {"tie", 9, 13}};
    const auto names = [&] {
        QStringList n;
        for (const TLQFrame& f : frames.Items) n << f.Name;
        return n;
    };
    frames.Sort();
    EXPECT_EQ(names(), (QStringList{"l1", "l2", "p", "tie", "p2"}));
    frames.Turn();
    EXPECT_EQ(names(), (QStringList{"p", "tie", "p2", "l1", "l2"}));
    // A square met by a landscape format: as the first operand it always yields, as the
    // second the size comparison decides.
    EXPECT_EQ(CompareFrames({"q", 10, 10}, {"l", 15, 10}), 1);
    EXPECT_EQ(CompareFrames({"l", 15, 10}, {"q", 10, 10}), 5);
    EXPECT_EQ(CompareFrames({"q", 10, 10}, {"p", 9, 13}), -300 + 1);
}

}  // namespace
