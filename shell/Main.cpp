#include "shell/Main.h"

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(kApplicationTitle);
    resize(1024, 720);
}
