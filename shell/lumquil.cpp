// Start-up of the program: command line, language catalog, main window, message loop.
#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/qt/QtMessageSink.h"
#include "shell/LQLang.h"
#include "shell/Main.h"

namespace {

void printHelp() {
    std::printf(
        "Usage: lumquil [options] [LAYOUT.qlt]\n"
        "Composes and prints photo layouts.\n\n"
        "Options:\n"
        "  --lang CODE|FILE   language catalog: a code (de, en) or a catalog file;\n"
        "                     default: $LUMQUIL_LANG, else de\n"
        "  --quit-after MS    quit MS milliseconds after the main window is shown\n"
        "  --version          print the version and exit\n"
        "  --help             print this help and exit\n");
}

struct Options {
    QString language;
    int quitAfterMs = -1;
    bool done = false;   // --help or --version answered
    int exitCode = 0;
};

// Reads the options that matter before a display is needed; Qt's own options pass through.
Options parseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--version") {
            std::printf("lumquil %s (%s)\n", LQ_VERSION, kApplicationTitle.toUtf8().constData());
            o.done = true;
        } else if (a == "--help" || a == "-h") {
            printHelp();
            o.done = true;
        } else if ((a == "--lang" || a == "--quit-after") && i + 1 >= argc) {
            std::fprintf(stderr, "lumquil: %s needs a value\n", a.c_str());
            o.done = true;
            o.exitCode = 2;
        } else if (a == "--lang") {
            o.language = QString::fromLocal8Bit(argv[++i]);
        } else if (a == "--quit-after") {
            o.quitAfterMs = std::atoi(argv[++i]);
        }
    }
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = parseOptions(argc, argv);
    if (options.done) return options.exitCode;

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quorvex"));
    QApplication::setApplicationName(kApplicationTitle);
    QApplication::setApplicationDisplayName(kApplicationTitle);
    QApplication::setApplicationVersion(QStringLiteral(LQ_VERSION));
    lqp::installQtMessageSink(kApplicationTitle);

    SetLanguageChoice(options.language);
    if (!LoadLanguageLibrary()) return 1;

    TMainForm mainForm;
    mainForm.show();
    if (options.quitAfterMs >= 0) QTimer::singleShot(options.quitAfterMs, &app, &QApplication::quit);
    const int result = app.exec();
    FreeLanguageLibrary();
    return result;
}
