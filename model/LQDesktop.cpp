#include "model/LQDesktop.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

bool OpenWithShell(const QString& path) {
    const QFileInfo file(path);
    const QUrl url = file.exists() ? QUrl::fromLocalFile(file.absoluteFilePath()) : QUrl::fromUserInput(path);
    return url.isValid() && QDesktopServices::openUrl(url);
}
