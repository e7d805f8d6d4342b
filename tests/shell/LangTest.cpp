#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QDirIterator>
#include <QFile>
#include <QPushButton>

#include <map>

#include "platform/MessageSink.h"
#include "shell/LQLang.h"
#include "shell/LQLangForm.h"
#include "tests/support/TestSupport.h"

namespace {

class LangTest : public testing::Test {
protected:
    void SetUp() override {
        lqtest::writeFile(dir.file("test.lang"), std::string(
            "; comment\n"
            "1000=TEST\r\n"
            "1001=Erste Zeile# zweite Zeile\n"
            "1002=a#b##  c#\n"
            "1003=" + std::string(300, 'x') + "\n"
            "1004=Grüße = Ärger\n"
            "1005=\n"
            "10070=Knopf\n10071=Knopfhinweis\n"
            "10080=Menüpunkt\n10081=Menühinweis\n"
            "10090=Zahl\n10091=Zahlhinweis\n"
            "10100=Formular\n"
            "10120=Gruppe\n"));
        SetLanguageChoice(QString::fromStdString(dir.file("test.lang")));
        ASSERT_TRUE(LoadLanguageLibrary());
    }
    void TearDown() override {
        FreeLanguageLibrary();
        SetLanguageChoice({});
    }
    lqtest::TempDir dir;
};

TEST_F(LangTest, HashIsALineBreakAndSwallowsOneBlank) {
    EXPECT_EQ(LangString(1000), "TEST");
    EXPECT_EQ(LangString(1001), "Erste Zeile\nzweite Zeile");
    EXPECT_EQ(LangString(1002), "a\nb\n\n c\n");
    EXPECT_EQ(LangString(1004), QString::fromUtf8("Grüße = Ärger"));
}

TEST_F(LangTest, UnknownAndEmptyTextsAreEmptyAndLongTextsAreCut) {
    EXPECT_EQ(LangString(1005), "");
    EXPECT_EQ(LangString(4711), "");
    EXPECT_EQ(LangString(1003).size(), 255);
    FreeLanguageLibrary();
    EXPECT_EQ(LangString(1000), "");
}

TEST_F(LangTest, TranslateFormAppliesCaptionsAndHintsByTag) {
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name};
    QApplication app(argc, argv);
    QWidget form;
    form.setProperty(kTagProperty, 10);
    form.resize(800, 600);
    auto* button = new QPushButton(QStringLiteral("Designed"), &form);
    button->setProperty(kTagProperty, 7);
    auto* untagged = new QCheckBox(QStringLiteral("Bleibt"), &form);
    auto* emptyText = new QLabel(QStringLiteral("Entwurf"), &form);
    emptyText->setProperty(kTagProperty, 11);  // no text 10110: keeps its designed caption
    auto* spin = new QDoubleSpinBox(&form);
    spin->setProperty(kTagProperty, 9);
    spin->setValue(3.5);
    auto* box = new QGroupBox(QStringLiteral("G"), &form);
    box->setProperty(kTagProperty, 12);
    auto* menu = new QMenu(&form);
    QAction* action = menu->addAction(QStringLiteral("Aktion"));
    action->setProperty(kTagProperty, 8);

    TranslateForm(&form, 1280);
    EXPECT_EQ(form.windowTitle(), "Formular");
    EXPECT_EQ(button->text(), "Knopf");
    EXPECT_EQ(button->toolTip(), "Knopfhinweis");
    EXPECT_EQ(untagged->text(), "Bleibt");
    EXPECT_EQ(emptyText->text(), "Entwurf");
    EXPECT_EQ(spin->value(), 3.5);
    EXPECT_EQ(spin->toolTip(), "Zahlhinweis");
    EXPECT_EQ(box->title(), "Gruppe");
    EXPECT_EQ(action->text(), QString::fromUtf8("Menüpunkt"));
    EXPECT_EQ(action->statusTip(), QString::fromUtf8("Menühinweis"));
    EXPECT_EQ(form.width(), 800);

    TranslateForm(&form, 640);  // a narrow screen shrinks the form
    EXPECT_EQ(form.width(), 700);
    EXPECT_EQ(form.height(), 525);
    EXPECT_EQ(form.font().family(), "Arial");
    EXPECT_EQ(form.font().pointSize(), 7);
}

TEST(LangCatalog, MissingOrMalformedCatalogRefusesToRun) {
    lqtest::TempDir dir;
    std::vector<std::string> shown;
    auto previous = lqp::setMessageSink([&](const lqp::Message& m) {
        shown.push_back(m.text);
        return lqp::MsgAnswer::Ok;
    });
    SetLanguageChoice(QString::fromStdString(dir.file("none.lang")));
    EXPECT_FALSE(LoadLanguageLibrary());
    lqtest::writeFile(dir.file("bad.lang"), std::string("1000=A\nkeine Zahl\n"));
    SetLanguageChoice(QString::fromStdString(dir.file("bad.lang")));
    EXPECT_FALSE(LoadLanguageLibrary());
    lqtest::writeFile(dir.file("twice.lang"), std::string("1000=A\n1000=B\n"));
    SetLanguageChoice(QString::fromStdString(dir.file("twice.lang")));
    EXPECT_FALSE(LoadLanguageLibrary());
    EXPECT_FALSE(LanguageLibraryLoaded());
    lqp::setMessageSink(previous);
    SetLanguageChoice({});
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0],
              "Could not find the required program file LQLANG.DLL in the program directory.\n"
              "Try to reinstall or contact your local software dealer.");
}

// Every number in a LangString call of the program's sources, with where it was seen.
std::map<int, QString> numbersUsedInSources() {
    std::map<int, QString> used;
    const QRegularExpression call(QStringLiteral(R"(LangString\(\s*(\d+)\s*\))"));
    const QString root = QString::fromStdString(lqtest::sourceDir());
    for (const char* folder : {"platform", "rastervane", "model", "view", "imaging", "printing", "shell", "capture", "tools"}) {
        QDirIterator it(root + "/" + folder, {"*.cpp", "*.h"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QFile f(path);
            if (!f.open(QIODevice::ReadOnly)) continue;
            const QString text = QString::fromUtf8(f.readAll());
            for (auto m = call.globalMatch(text); m.hasNext();) used.emplace(m.next().captured(1).toInt(), path);
        }
    }
    return used;
}

void readShippedCatalog(const char* name, QHash<int, QString>& texts) {
    const QString path = QString::fromStdString(lqtest::sourceDir()) + "/lang/" + name;
    QString error;
    ASSERT_TRUE(ReadLanguageCatalog(path, texts, &error)) << error.toStdString();
}

TEST(LangCatalog, ShippedCatalogsHoldTheSameNumbersAndEveryNumberTheCodeUses) {
    QHash<int, QString> de, en;
    ASSERT_NO_FATAL_FAILURE(readShippedCatalog("de.lang", de));
    ASSERT_NO_FATAL_FAILURE(readShippedCatalog("en.lang", en));
    EXPECT_EQ(de.value(1000), "DEUTSCH");
    EXPECT_NE(en.value(1000).toUpper(), "DEUTSCH");
    for (auto it = de.cbegin(); it != de.cend(); ++it) EXPECT_TRUE(en.contains(it.key())) << "en lacks " << it.key();
    for (auto it = en.cbegin(); it != en.cend(); ++it) EXPECT_TRUE(de.contains(it.key())) << "de lacks " << it.key();
    for (const auto& [id, where] : numbersUsedInSources()) {
        EXPECT_TRUE(de.contains(id)) << "text " << id << " used in " << where.toStdString() << " is not in de.lang";
    }
}

// The program joins many texts directly to paths, values and other texts, and builds file
// dialog filters from "|"-separated texts. A translation must keep what that joining relies
// on: the blanks at either end, a closing line break, the filter separators, and the length
// that LangString keeps.
TEST(LangCatalog, ShippedCatalogsAgreeInWhatTheCompositionsRelyOn) {
    QHash<int, QString> de, en;
    ASSERT_NO_FATAL_FAILURE(readShippedCatalog("de.lang", de));
    ASSERT_NO_FATAL_FAILURE(readShippedCatalog("en.lang", en));
    for (const QHash<int, QString>* catalog : {&de, &en}) {
        for (auto it = catalog->cbegin(); it != catalog->cend(); ++it) {
            EXPECT_LE(it.value().size(), 255) << "text " << it.key() << " is cut by LangString";
        }
    }
    const auto starts = [](const QString& t) { return t.startsWith(QLatin1Char(' ')); };
    const auto ends = [](const QString& t) { return t.endsWith(QLatin1Char(' ')); };
    const auto breaks = [](const QString& t) { return t.endsWith(QLatin1Char('#')); };
    const auto bars = [](const QString& t) { return t.count(QLatin1Char('|')); };
    for (auto it = de.cbegin(); it != de.cend(); ++it) {
        if (!en.contains(it.key())) continue;  // reported by the test above
        const QString& d = it.value();
        const QString& e = en.value(it.key());
        const std::string id = std::to_string(it.key());
        EXPECT_EQ(starts(d), starts(e)) << "leading blank of text " << id;
        EXPECT_EQ(ends(d), ends(e)) << "trailing blank of text " << id;
        EXPECT_EQ(breaks(d), breaks(e)) << "closing line break of text " << id;
        EXPECT_EQ(bars(d), bars(e)) << "filter separators of text " << id;
    }
}

}  // namespace
