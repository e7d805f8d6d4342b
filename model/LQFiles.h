// The frame around every file of the model: a raw signature, then tagged values. Loading
// reads the whole file, checks the signature and reports a wrong signature or a read error
// in the program's wording; saving checks the free space, builds the file in memory and puts
// it on disk atomically (model/LQValues.h).
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

#include "model/LQValues.h"

struct TLQFileFormat {
    QByteArray Signature;        // written as it stands and read back in full
    std::int32_t Version;        // the version written
    QString WrongSignatureText;  // second line of the wrong-signature warning
    bool CheckFreeSpace;         // refuse to save with 10000 bytes or less free
    qsizetype SignificantLength = -1;  // leading bytes of the signature that must match; -1: all
    QString WrongSignatureLead = {};  // first words of the wrong-signature warning; empty: text 1009
    QString ReadErrorLead = {};       // first words of the read-error message; empty: text 1011
};

// Message texts, lines joined with "\n".
QString WrongSignatureMessage(const TLQFileFormat& format, const QString& path);
QString ReadErrorMessage(const TLQFileFormat& format, const QString& path, const QString& error);
QString WriteErrorMessage(const QString& path, const QString& error);
QString NoSpaceMessage(const QString& path);

void ShowWarning(const QString& text);
void ShowError(const QString& text);

// One load of a file: Open() reads it and checks the signature, Reader() then delivers the
// values after the signature, Finish() reports the reader's failure. With messages off,
// nothing is shown and ErrorText() tells what went wrong.
class TLQFileLoad {
public:
    // `format` is referred to, not copied: it must outlive the load.
    TLQFileLoad(const QString& path, const TLQFileFormat& format, bool showMessages = true);
    bool Open();
    TLQValueReader& Reader() { return *FReader; }
    bool Finish();
    const QString& ErrorText() const { return FErrorText; }

private:
    void Report(const QString& text, bool warning);

    QString FPath;
    const TLQFileFormat& FFormat;
    bool FShowMessages;
    QByteArray FData;
    std::optional<TLQValueReader> FReader;
    QString FErrorText;
};

// Saves a finished file: answers false with the message in `errorText` when the free space is
// too small or writing fails; nothing of a previous file is lost then.
bool SaveFile(const QString& path, const QByteArray& data, const TLQFileFormat& format, QString& errorText);
// The same, showing the message in an error box.
bool SaveFileReporting(const QString& path, const QByteArray& data, const TLQFileFormat& format);
