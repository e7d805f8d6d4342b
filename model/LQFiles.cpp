#include "model/LQFiles.h"

#include "model/LQHelpers.h"
#include "platform/MessageSink.h"
#include "shell/LQLang.h"

namespace {

constexpr std::uint64_t kSaveReserve = 10000;

QString lead(const QString& text, const QString& path) { return text + QLatin1Char(' ') + path; }

}  // namespace

QString WrongSignatureMessage(const TLQFileFormat& format, const QString& path) {
    const QString first = format.WrongSignatureLead.isEmpty() ? LangString(1009) : format.WrongSignatureLead;
    return lead(first, path) + QLatin1Char('\n') + format.WrongSignatureText;
}

QString ReadErrorMessage(const TLQFileFormat& format, const QString& path, const QString& error) {
    const QString first = format.ReadErrorLead.isEmpty() ? LangString(1011) : format.ReadErrorLead;
    return lead(first, path) + QStringLiteral(":\n") + error + QLatin1Char('.');
}

QString WriteErrorMessage(const QString& path, const QString& error) {
    return lead(LangString(1012), path) + QStringLiteral(":\n") + error + QLatin1Char('.');
}

QString NoSpaceMessage(const QString& path) {
    return lead(LangString(1012), path) + QStringLiteral(":\n") + LangString(1082);
}

void ShowWarning(const QString& text) { lqp::showMessage(text.toStdString(), {}, lqp::MsgIcon::Warning); }
void ShowError(const QString& text) { lqp::showMessage(text.toStdString(), {}, lqp::MsgIcon::Error); }

TLQFileLoad::TLQFileLoad(const QString& path, const TLQFileFormat& format, bool showMessages)
    : FPath(path), FFormat(format), FShowMessages(showMessages) {}

void TLQFileLoad::Report(const QString& text, bool warning) {
    FErrorText = text;
    if (!FShowMessages) return;
    if (warning) ShowWarning(text);
    else ShowError(text);
}

bool TLQFileLoad::Open() {
    QString error;
    if (!ReadFileBytes(FPath, FData, error)) {
        Report(ReadErrorMessage(FFormat, FPath, error), false);
        return false;
    }
    const qsizetype significant = FFormat.SignificantLength < 0 ? FFormat.Signature.size() : FFormat.SignificantLength;
    if (FData.size() < FFormat.Signature.size() || !FData.startsWith(FFormat.Signature.first(significant))) {
        Report(WrongSignatureMessage(FFormat, FPath), true);
        return false;
    }
    FReader.emplace(QByteArrayView(FData).sliced(FFormat.Signature.size()));
    return true;
}

bool TLQFileLoad::Finish() {
    if (FReader->Ok()) return true;
    Report(ReadErrorMessage(FFormat, FPath, FReader->ErrorText()), false);
    return false;
}

bool SaveFile(const QString& path, const QByteArray& data, const TLQFileFormat& format, QString& errorText) {
    if (format.CheckFreeSpace && !FreeSpaceAbove(path, kSaveReserve)) {
        errorText = NoSpaceMessage(path);
        return false;
    }
    QString error;
    if (!WriteFileAtomically(path, data, error)) {
        errorText = WriteErrorMessage(path, error);
        return false;
    }
    return true;
}

bool SaveFileReporting(const QString& path, const QByteArray& data, const TLQFileFormat& format) {
    QString errorText;
    if (SaveFile(path, data, format, errorText)) return true;
    ShowError(errorText);
    return false;
}
