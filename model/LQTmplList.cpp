#include <QDir>

#include <algorithm>

#include "model/LQFiles.h"
#include "model/LQTmpl.h"
#include "model/LQValues.h"

namespace {

TLQFileFormat templateSetFormat() {
    return {.Signature = "Lumenquiltworks 97 Template Set", .Version = 0,
            .WrongSignatureText = QString::fromUtf8("enthält keine Lumenquiltworks 97 Layoutvorlagen."),
            .CheckFreeSpace = false, .WrongSignatureLead = QStringLiteral("Die Datei"),
            .ReadErrorLead = QStringLiteral("Fehler beim Lesen der Datei")};
}

bool countInRange(TLQValueReader& r, std::int32_t count, const char* what) {
    if (count <= kMaxTemplatesInSet) return true;
    return r.Fail(QStringLiteral("%1 count %2 above %3").arg(QLatin1String(what)).arg(count).arg(kMaxTemplatesInSet));
}

template <class T>
void sortByName(std::vector<std::unique_ptr<T>>& items) {
    std::stable_sort(items.begin(), items.end(), [](const auto& a, const auto& b) {
        return QString::compare(a->Name, b->Name, Qt::CaseSensitive) < 0;
    });
}

}  // namespace

bool TLQTemplateList::LoadFolder(const QString& root) {
    Categories.clear();
    const QDir rootDir(root);
    for (const QFileInfo& sub : rootDir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Unsorted)) {
        auto category = std::make_unique<TLQTemplatePage>();
        category->Name = sub.fileName();
        const QDir dir(sub.filePath());
        for (const QFileInfo& file : dir.entryInfoList({QStringLiteral("*.qts")}, QDir::Files, QDir::Unsorted)) {
            auto t = std::make_unique<TLQTemplate>();
            if (t->LoadFromFile(file.filePath(), false)) category->Templates.push_back(std::move(t));
        }
        Categories.push_back(std::move(category));
    }
    return true;
}

bool TLQTemplateList::LoadSet(const QString& path) {
    const TLQFileFormat format = templateSetFormat();
    TLQFileLoad load(path, format);
    if (!load.Open()) return false;
    TLQValueReader& r = load.Reader();
    TLQTemplateList loaded;
    std::int32_t version = 0;
    r.ReadInteger(version);
    if (version > 0) {
        r.ReadString(loaded.SetName);
        std::int32_t categories = 0;
        if (r.ReadInteger(categories) && countInRange(r, categories, "category")) {
            for (std::int32_t c = 0; c < categories && r.Ok(); ++c) {
                auto& category = *loaded.Categories.emplace_back(std::make_unique<TLQTemplatePage>());
                r.ReadString(category.Name);
                std::int32_t templates = 0;
                if (!r.ReadInteger(templates) || !countInRange(r, templates, "template")) break;
                for (std::int32_t t = 0; t < templates && r.Ok(); ++t)
                    category.Templates.emplace_back(std::make_unique<TLQTemplate>())->ReadBody(r, path, version);
            }
        }
    }
    if (!load.Finish()) return false;
    SetName = loaded.SetName;
    Categories = std::move(loaded.Categories);
    FileName = path;
    return true;
}

void TLQTemplateList::Sort() {
    sortByName(Categories);
    for (const auto& category : Categories) sortByName(category->Templates);
}
