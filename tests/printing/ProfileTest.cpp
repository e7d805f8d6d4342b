// Printer colour profiles: clamping, the current entry, and profile files read from bytes
// laid out by hand, written back byte for byte, and refused when damaged.
#include <gtest/gtest.h>

#include <QFile>

#include "printing/LQPrinters.h"
#include "tests/model/ModelFixtures.h"
#include "tests/support/TestSupport.h"

namespace {

const QByteArray kSignature = "Lumenquiltworks 97 Profile";

// A profile file with entry 0 (name "Epson") and one further entry for greyscale images.
fixture::Bytes twoEntryFile() {
    fixture::Bytes b;
    b.raw(kSignature).num(2).str("Epson");
    for (int v : {5, -7, 11, 12, 9, 2, 14}) b.num(v);
    b.num(1).str("Grau").num(1);
    for (int v : {-20, 30, 10, 10, 10, -1, 22}) b.num(v);
    return b;
}

struct Values {
    int bright, contrast, red, green, blue, sharpness, gamma;
    bool operator==(const Values&) const = default;
};

Values valuesOf(const TLQProfileInfo& e) {
    return {e.Bright(), e.Contrast(), e.Red(), e.Green(), e.Blue(), e.Sharpness(), e.Gamma()};
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

class ProfileFile : public testing::Test {
protected:
    fixture::Catalog catalog;
    fixture::Messages messages;
    lqtest::TempDir dir;
    QString path = fixture::qpath(dir, "printer.qpf");
};

TEST(Profile, SettersClampToTheirRanges) {
    struct Case {
        void (TLQProfileInfo::*set)(int);
        int (TLQProfileInfo::*get)() const;
        int value, stored;
    };
    const Case cases[] = {
        {&TLQProfileInfo::SetRed, &TLQProfileInfo::Red, 0, 1},
        {&TLQProfileInfo::SetRed, &TLQProfileInfo::Red, 300, 255},
        {&TLQProfileInfo::SetGreen, &TLQProfileInfo::Green, -4, 1},
        {&TLQProfileInfo::SetBlue, &TLQProfileInfo::Blue, 256, 255},
        {&TLQProfileInfo::SetBlue, &TLQProfileInfo::Blue, 255, 255},
        {&TLQProfileInfo::SetBright, &TLQProfileInfo::Bright, -256, -255},
        {&TLQProfileInfo::SetBright, &TLQProfileInfo::Bright, 256, 255},
        {&TLQProfileInfo::SetContrast, &TLQProfileInfo::Contrast, -1000, -255},
        {&TLQProfileInfo::SetContrast, &TLQProfileInfo::Contrast, 17, 17},
        {&TLQProfileInfo::SetSharpness, &TLQProfileInfo::Sharpness, -20, -9},
        {&TLQProfileInfo::SetSharpness, &TLQProfileInfo::Sharpness, 10, 9},
        {&TLQProfileInfo::SetGamma, &TLQProfileInfo::Gamma, 5, 10},
        {&TLQProfileInfo::SetGamma, &TLQProfileInfo::Gamma, 51, 50},
    };
    for (const Case& c : cases) {
        TLQProfile profile;
        TLQProfileInfo& e = profile.Current();
        (e.*c.set)(c.value);
        EXPECT_EQ(c.stored, (e.*c.get)()) << c.value;
    }
}

TEST(Profile, ModifiedOnlyByARealChange) {
    TLQProfile profile;
    profile.SetRed(10);
    profile.SetGamma(3);   // clamps to 10, the value it has
    profile.SetProfileName(QStringLiteral("Unbenannt"));
    EXPECT_FALSE(profile.Modified());
    profile.SetSharpness(1);
    EXPECT_TRUE(profile.Modified());
}

TEST(Profile, CurrentEntryIsMadeValidBeforeEachAccess) {
    TLQProfile profile;
    EXPECT_EQ(0, profile.Count());
    EXPECT_EQ(10, profile.Red());   // an empty list gets a default entry
    EXPECT_EQ(1, profile.Count());
    profile.SetCurrentIndex(1);     // one past the end appends
    profile.SetRed(40);
    EXPECT_EQ(2, profile.Count());
    EXPECT_EQ(40, profile.Profile(1).Red());
    profile.SetCurrentIndex(5);     // beyond that: entry 0
    EXPECT_EQ(10, profile.Red());
    EXPECT_EQ(0, profile.CurrentIndex());
    profile.SetCurrentIndex(-3);
    EXPECT_EQ(10, profile.Red());
    EXPECT_EQ(0, profile.CurrentIndex());
    EXPECT_EQ(2, profile.Count());
}

TEST_F(ProfileFile, ReadsEntryZeroAndFurtherEntries) {
    writeBytes(path, twoEntryFile().data);
    TLQProfile profile;
    profile.SetRed(99);
    ASSERT_TRUE(profile.LoadFromFile(path));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(path, profile.Filename());
    EXPECT_EQ(QStringLiteral("Epson"), profile.ProfileName());
    EXPECT_FALSE(profile.Modified());
    ASSERT_EQ(2, profile.Count());
    EXPECT_EQ(QStringLiteral("Standard"), profile.Profile(0).Name());
    EXPECT_EQ(0, profile.Profile(0).Kind());
    EXPECT_EQ((Values{5, -7, 11, 12, 9, 2, 14}), valuesOf(profile.Profile(0)));
    EXPECT_EQ(QStringLiteral("Grau"), profile.Profile(1).Name());
    EXPECT_EQ(1, profile.Profile(1).Kind());
    EXPECT_EQ((Values{-20, 30, 10, 10, 10, -1, 22}), valuesOf(profile.Profile(1)));

    fixture::Bytes one;
    one.raw(kSignature).num(1).str("Canon");
    for (int v : {0, 0, 10, 10, 10, 0, 10}) one.num(v);
    writeBytes(path, one.data);
    ASSERT_TRUE(profile.LoadFromFile(path));
    ASSERT_EQ(1, profile.Count());
    EXPECT_EQ(QStringLiteral("Standard"), profile.Profile(0).Name());
    EXPECT_TRUE(profile.Profile(0).IsNeutral());
}

TEST_F(ProfileFile, StoredValuesPassThroughTheClampingSetters) {
    fixture::Bytes b;
    b.raw(kSignature).num(1).str("x");
    for (int v : {-300, 300, 0, 256, 1000, -20, 5}) b.num(v);
    writeBytes(path, b.data);
    TLQProfile profile;
    ASSERT_TRUE(profile.LoadFromFile(path));
    EXPECT_EQ((Values{-255, 255, 1, 255, 255, -9, 10}), valuesOf(profile.Profile(0)));
}

TEST_F(ProfileFile, WriterProducesTheSameBytesAndAProfileReadsBackAsBuilt) {
    TLQProfile built;
    built.SetProfileName(QStringLiteral("Epson"));
    TLQProfileInfo& colour = built.Current();
    for (auto [set, v] : {std::pair{&TLQProfileInfo::SetBright, 5}, {&TLQProfileInfo::SetContrast, -7},
                          {&TLQProfileInfo::SetRed, 11}, {&TLQProfileInfo::SetGreen, 12},
                          {&TLQProfileInfo::SetBlue, 9}, {&TLQProfileInfo::SetSharpness, 2},
                          {&TLQProfileInfo::SetGamma, 14}})
        (colour.*set)(v);
    TLQProfileInfo& grey = built.AddProfile();
    grey.SetName(QStringLiteral("Grau"));
    grey.SetKind(1);
    grey.SetBright(-20);
    grey.SetContrast(30);
    grey.SetSharpness(-1);
    grey.SetGamma(22);
    EXPECT_TRUE(built.Modified());
    ASSERT_TRUE(built.SaveToFile(path));
    EXPECT_FALSE(built.Modified());
    EXPECT_EQ(path, built.Filename());
    QFile written(path);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(twoEntryFile().data, written.readAll());

    TLQProfile read;
    ASSERT_TRUE(read.LoadFromFile(path));
    ASSERT_EQ(built.Count(), read.Count());
    for (int i = 0; i < read.Count(); ++i) EXPECT_EQ(valuesOf(built.Profile(i)), valuesOf(read.Profile(i))) << i;
}

TEST_F(ProfileFile, MissingFileAnswersFalseSilently) {
    TLQProfile profile;
    profile.SetBlue(44);
    EXPECT_FALSE(profile.LoadFromFile(fixture::qpath(dir, "none.qpf")));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(44, profile.Blue());
    EXPECT_EQ(QStringLiteral("(Noname)"), profile.Filename());
}

TEST_F(ProfileFile, WrongSignatureWarnsAndKeepsTheProfile) {
    QByteArray bytes = twoEntryFile().data;
    bytes[19] = 'X';
    writeBytes(path, bytes);
    TLQProfile profile;
    profile.SetBlue(44);
    EXPECT_FALSE(profile.LoadFromFile(path));
    ASSERT_EQ(1u, messages.shown.size());
    EXPECT_EQ(QStringLiteral("T1009 ") + path + QStringLiteral("\nT1010"), messages.shown[0].text);
    EXPECT_EQ(lqp::MsgIcon::Warning, messages.shown[0].icon);
    EXPECT_EQ(44, profile.Blue());
}

TEST_F(ProfileFile, DamagedFilesAreRefusedWithAnErrorAndChangeNothing) {
    const QByteArray whole = twoEntryFile().data;
    fixture::Bytes hostile;   // claims two billion further entries
    hostile.raw(kSignature).num(2).str("x");
    for (int v : {0, 0, 10, 10, 10, 0, 10}) hostile.num(v);
    hostile.num(2000000000).str("y").num(0);
    fixture::Bytes badTag;    // a string where a value belongs
    badTag.raw(kSignature).num(1).str("x").str("y");
    std::vector<QByteArray> damaged = {hostile.data, badTag.data};
    for (qsizetype cut = kSignature.size(); cut < whole.size(); ++cut) damaged.push_back(whole.left(cut));

    for (const QByteArray& bytes : damaged) {
        writeBytes(path, bytes);
        TLQProfile profile;
        profile.SetProfileName(QStringLiteral("Mein Profil"));
        profile.SetBlue(44);
        messages.shown.clear();
        EXPECT_FALSE(profile.LoadFromFile(path)) << bytes.size() << " bytes";
        ASSERT_EQ(1u, messages.shown.size()) << bytes.size() << " bytes";
        EXPECT_TRUE(messages.shown[0].text.startsWith(QStringLiteral("T1011 ") + path + QStringLiteral(":\n")));
        EXPECT_EQ(lqp::MsgIcon::Error, messages.shown[0].icon);
        EXPECT_EQ(1, profile.Count());
        EXPECT_EQ(44, profile.Blue());
        EXPECT_EQ(QStringLiteral("Mein Profil"), profile.ProfileName());
        EXPECT_EQ(QStringLiteral("(Noname)"), profile.Filename());
        EXPECT_TRUE(profile.Modified());
    }
}

}  // namespace
