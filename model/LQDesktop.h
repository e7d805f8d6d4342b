// Handing files and addresses to the desktop (QtGui).
#pragma once

#include <QString>

// Asks the desktop to open a file or an address with its associated program. A path of an
// existing file is opened as that file; anything else is read as an address ("www.x.de",
// "https://..."). Answers whether the desktop took it.
bool OpenWithShell(const QString& path);
