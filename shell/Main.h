// The program's one top-level window. Its regions, menus and command tables grow here; for
// now it is the titled frame that start-up opens.
#pragma once

#include <QMainWindow>

inline const QString kApplicationTitle = QStringLiteral("Lumenquiltworks 98");

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
};
