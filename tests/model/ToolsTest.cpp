// The command-line tools and the shipped library they produce and check.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>

#include "tests/model/TemplateFixtures.h"

namespace {

std::string tool(const char* name) { return lqtest::binaryDir() + "/bin/" + name; }
QString source(const char* relative) { return QString::fromStdString(lqtest::sourceDir()) + QLatin1Char('/') + QLatin1String(relative); }

std::map<QString, QByteArray> filesBelow(const QString& root) {
    std::map<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        files[path.mid(root.size())] = f.readAll();
    }
    return files;
}

TEST(ShippedData, IsWhatTheDescriptionGenerates) {
    lqtest::TempDir dir;
    const auto r = lqtest::run(lqtest::shellQuote(tool("templategen")) + " " +
                               lqtest::shellQuote(source("tools/templategen/library.json").toStdString()) + " " +
                               lqtest::shellQuote(dir.path().string()));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    // The generator owns the template folder and the default sets; data/ holds other things too.
    for (const char* folder : {"/Vorlagen", "/Daten"}) {
        const auto generated = filesBelow(QString::fromStdString(dir.path().string()) + folder);
        const auto shipped = filesBelow(source("data") + folder);
        ASSERT_FALSE(generated.empty());
        QStringList differing;
        for (const auto& [name, bytes] : generated)
            if (!shipped.count(name) || shipped.at(name) != bytes) differing << name;
        for (const auto& entry : shipped)
            if (!generated.count(entry.first)) differing << entry.first;
        EXPECT_TRUE(differing.isEmpty()) << folder << ": " << differing.join(", ").toStdString()
                                         << " (run `ninja regenerate-data` after changing library.json)";
    }
}

TEST(ShippedData, GeneratorRefusesAnAreaOffThePage) {
    lqtest::TempDir dir;
    lqtest::writeFile(dir.file("bad.json"), std::string(R"({
        "pages": {"10 x 15": [10, 15]},
        "categories": [{"name": "K", "templates": [{"file": "t", "name": "t", "page": "10 x 15",
            "areas": [{"name": "zu breit", "at": [2, 0], "size": [9, 5]}]}]}]})"));
    const auto r = lqtest::run(lqtest::shellQuote(tool("templategen")) + " " + lqtest::shellQuote(dir.file("bad.json")) + " " +
                               lqtest::shellQuote(dir.file("out")));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("area \"zu breit\" leaves the 10 x 15 page"), std::string::npos) << r.output;
}

TEST(LqTemplate, CheckNamesTheTemplatesThatFail) {
    lqtest::TempDir dir;
    fixture::TemplateSpec t;
    t.areas = {fixture::AreaSpec{}};
    const QByteArray good = fixture::templateFile(12, t);
    std::filesystem::create_directories(dir.path() / "a" / "b");
    lqtest::writeFile(dir.file("a/gut.qts"), std::vector<std::uint8_t>(good.begin(), good.end()));
    lqtest::writeFile(dir.file("a/b/kaputt.qts"), std::vector<std::uint8_t>(good.begin(), good.begin() + 60));
    const std::string command = lqtest::shellQuote(tool("lqtemplate")) + " check ";
    const auto r = lqtest::run(command + lqtest::shellQuote(dir.path().string()));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("FAILED " + dir.file("a/b/kaputt.qts")), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("2 templates checked, 1 failed"), std::string::npos) << r.output;
    EXPECT_EQ(lqtest::run(command + lqtest::shellQuote(dir.file("a/b/leer"))).exitCode, 1);
}

TEST(LqTemplate, DumpPrintsEveryFieldOnALine) {
    lqtest::TempDir dir;
    const QByteArray set = fixture::Bytes()
        .raw("Lumenquiltworks 97 Page Set").num(1).str("Seiten").num(1)
        .str("A5").real(14.8f).real(21).num(300).num(600)
        .real(1).real(0).real(1.5).real(0).real(0.25).real(0).data;
    lqtest::writeFile(dir.file("s.qps"), std::vector<std::uint8_t>(set.begin(), set.end()));
    const auto r = lqtest::run(lqtest::shellQuote(tool("lqtemplate")) + " dump " + lqtest::shellQuote(dir.file("s.qps")));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output, "File: " + dir.file("s.qps") + "\n"
                        "Kind: page set\nVersion: 1\nSetName: Seiten\nCount: 1\n"
                        "Page 1.Name: A5\nPage 1.Width: 14.8\nPage 1.Height: 21\nPage 1.PageInt1: 300\n"
                        "Page 1.PageInt2: 600\nPage 1.OffsetA: 1\nPage 1.OffsetB: 0\nPage 1.OffsetC: 1.5\n"
                        "Page 1.OffsetD: 0\nPage 1.GapA: 0.25\nPage 1.GapB: 0\n");
    lqtest::writeFile(dir.file("x.txt"), std::string("hallo"));
    const auto bad = lqtest::run(lqtest::shellQuote(tool("lqtemplate")) + " dump " + lqtest::shellQuote(dir.file("x.txt")));
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.output.find("not a template, layout or set file"), std::string::npos);
}

}  // namespace
