#include "shell/LQLang.h"

#include <QFile>
#include <QFileInfo>

#include "platform/Files.h"
#include "platform/MessageSink.h"

namespace {

struct Catalog {
    QString choice;
    QString path;
    bool loaded = false;
    QHash<int, QString> texts;
};

Catalog& catalog() {
    static Catalog c;
    return c;
}

constexpr int kMaxTextLength = 255;

QString expandLineBreaks(QString text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != QLatin1Char('#')) {
            out += text[i];
            continue;
        }
        out += QLatin1Char('\n');
        if (i + 1 < text.size() && text[i + 1] == QLatin1Char(' ')) ++i;
    }
    return out;
}

}  // namespace

void SetLanguageChoice(const QString& choice) { catalog().choice = choice; }

QStringList LanguageCatalogCandidates(const QString& choice) {
    QString c = choice;
    if (c.isEmpty()) c = qEnvironmentVariable("LUMQUIL_LANG");
    if (c.isEmpty()) c = QStringLiteral("de");
    if (c.contains(QLatin1Char('/')) || c.endsWith(QLatin1String(".lang"))) return {c};
    const QString file = c.toLower() + QLatin1String(".lang");
    const QString program = QString::fromStdString(lqp::programFolder());
    return {program + QLatin1String("/lang/") + file,
            program + QLatin1String("/../share/lumquil/lang/") + file};
}

bool ReadLanguageCatalog(const QString& path, QHash<int, QString>& texts, QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error) *error = f.errorString();
        return false;
    }
    QHash<int, QString> result;
    int lineNo = 0;
    while (!f.atEnd()) {
        ++lineNo;
        QString line = QString::fromUtf8(f.readLine());
        while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r'))) line.chop(1);
        if (line.isEmpty() || line.startsWith(QLatin1Char(';'))) continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        bool ok = false;
        const int id = eq > 0 ? line.left(eq).trimmed().toInt(&ok) : 0;
        if (!ok || id <= 0 || result.contains(id)) {
            if (error) *error = QStringLiteral("%1:%2: malformed or repeated line").arg(path).arg(lineNo);
            return false;
        }
        result.insert(id, line.mid(eq + 1));
    }
    texts = std::move(result);
    return true;
}

bool LoadLanguageLibrary() {
    Catalog& c = catalog();
    for (const QString& candidate : LanguageCatalogCandidates(c.choice)) {
        if (!QFileInfo::exists(candidate)) continue;
        QHash<int, QString> texts;
        QString error;
        if (!ReadLanguageCatalog(candidate, texts, &error)) {
            qWarning("%s", qPrintable(error));
            break;
        }
        c.texts = std::move(texts);
        c.path = QFileInfo(candidate).canonicalFilePath();
        c.loaded = true;
        return true;
    }
    lqp::showMessage(
        "Could not find the required program file LQLANG.DLL in the program directory.\n"
        "Try to reinstall or contact your local software dealer.");
    return false;
}

void FreeLanguageLibrary() {
    Catalog& c = catalog();
    c.texts.clear();
    c.path.clear();
    c.loaded = false;
}

bool LanguageLibraryLoaded() { return catalog().loaded; }
QString LanguageLibraryPath() { return catalog().path; }

QString LangString(int id) {
    const Catalog& c = catalog();
    if (!c.loaded) return {};
    return expandLineBreaks(c.texts.value(id).left(kMaxTextLength));
}
