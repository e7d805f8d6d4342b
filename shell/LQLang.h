// Language texts: every translatable text of the program is fetched by number from a
// catalog, a UTF-8 text file with one "number=text" line per text. Messages have numbers
// 1000 to 1999; the captions of controls are tag × 10 + 10000, their hints tag × 10 + 10001
// and the tips of a command tag × 10 + 10005 to + 10009. A "#" in a text is a line break.
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// Chooses the catalog that LoadLanguageLibrary loads: a language code ("de", "en") or the
// path of a catalog file. Empty: the LUMQUIL_LANG environment variable, else German.
void SetLanguageChoice(const QString& choice);

// Loads the catalog. When it cannot be found or read, shows the two sentences that tell the
// user to reinstall in one box and answers false: the program must then end.
bool LoadLanguageLibrary();
// Forgets the catalog; LangString answers empty texts afterwards.
void FreeLanguageLibrary();
bool LanguageLibraryLoaded();
// Path of the loaded catalog (empty when none).
QString LanguageLibraryPath();

// The text with that number (at most 255 characters, "#" turned into a line break), or an
// empty text when the number is unknown or no catalog is loaded.
QString LangString(int id);

// The catalog files searched for a choice, in order.
QStringList LanguageCatalogCandidates(const QString& choice);

// Reads a catalog file into number → raw text. Answers false with a reason when the file
// cannot be read or a line is malformed.
bool ReadLanguageCatalog(const QString& path, QHash<int, QString>& texts, QString* error = nullptr);
