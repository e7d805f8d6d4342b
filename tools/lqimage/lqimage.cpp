// lqimage: batch work on image files through the program's image object.
//
//   lqimage info FILE...            format, size, depth and size in cm at 300 dpi
//   lqimage convert IN OUT          by extension, from every readable to every writable format
//   lqimage effect IN OUT NAME VALUES...   one effect of the image object (table in effects())
//
// Each subcommand is one row of the table in main(); on failure the tool prints one line
// "lqimage: ..." to standard error and exits with status 1 (2 for a usage error).
#include <QString>
#include <QFile>
#include <QStringList>
#include <cstdio>
#include <cstring>
#include <functional>

#include "imaging/LQDib.h"
#include "rastervane/RVError.h"
#include "rastervane/RVFileInfo.h"

namespace {

struct Failure {
    std::string message;
};

[[noreturn]] void fail(const QString& message) { throw Failure{message.toStdString()}; }

QString lastError() { return QString::fromStdString(rv::RVLastErrorText()); }

void load(TLQDib& dib, const QString& file) {
    dib.OnRvlibError = [](TLQDib*, short, const QString&) {};  // the tool prints the error itself
    try {
        if (!dib.LoadFromFile(file)) fail(file + ": " + lastError());
    } catch (const rv::ERVError& e) {
        fail(file + ": " + e.what());
    }
}

QString save(TLQDib& dib, const QString& file) {
    QString written;
    if (!dib.SaveToFile(file, &written)) fail(file + ": " + lastError());
    return written;
}

int info(const QStringList& files) {
    constexpr double kCmPerPixel = 2.54 / 300;
    for (const QString& file : files) {
        rv::RVFileInfo fi;
        if (!rv::fileinfo(QFile::encodeName(file).toStdString(), fi)) fail(file + ": " + lastError());
        std::printf("%s: %s %dx%d %d bits %.2fx%.2f cm\n", qPrintable(file), fi.type.c_str(), fi.width, fi.height, fi.bits,
                    fi.width * kCmPerPixel, fi.height * kCmPerPixel);
    }
    return 0;
}

int convert(const QStringList& args) {
    TLQDib dib;
    load(dib, args[0]);
    const QString written = save(dib, args[1]);
    if (written != args[1]) std::printf("%s\n", qPrintable(written));
    return 0;
}

// The effects by name, with their values in order.
struct Effect {
    const char* name;
    const char* values;
    int count;
    std::function<bool(TLQDib&, const std::vector<int>&)> apply;
};

const std::vector<Effect>& effects() {
    static const std::vector<Effect> table = {
        {"adjust", "BLUE GREEN RED CONTRAST BRIGHTNESS", 5, [](TLQDib& d, const std::vector<int>& v) { return d.AdjustColors(v[0], v[1], v[2], v[3], v[4]); }},
        {"sharpen", "AMOUNT", 1, [](TLQDib& d, const std::vector<int>& v) { return d.Sharpen(v[0]); }},
        {"gamma", "VALUE", 1, [](TLQDib& d, const std::vector<int>& v) { return d.GammaCorrect(v[0]); }},
        {"brighten", "VALUE", 1, [](TLQDib& d, const std::vector<int>& v) { return d.Brighten(v[0]); }},
        {"rotate", "DEGREES", 1, [](TLQDib& d, const std::vector<int>& v) { return d.Rotate(v[0]); }},
        {"mirror", "HORIZONTAL VERTICAL", 2, [](TLQDib& d, const std::vector<int>& v) { return d.Mirror(v[0] != 0, v[1] != 0); }},
        {"invert", "", 0, [](TLQDib& d, const std::vector<int>&) { return d.Invert(); }},
        {"gray", "", 0, [](TLQDib& d, const std::vector<int>&) { return d.MakeGray(); }},
        {"crop", "LEFT TOP WIDTH HEIGHT", 4, [](TLQDib& d, const std::vector<int>& v) { return d.CropTo(v[0], v[1], v[2], v[3]); }},
        {"scale", "WIDTH HEIGHT", 2, [](TLQDib& d, const std::vector<int>& v) {
             TLQDib source;
             return source.Assign(d) && d.ScaleTo(source.GetDibHandle(), v[0], v[1]);
         }},
    };
    return table;
}

QString effectNames() {
    QStringList names;
    for (const Effect& e : effects()) names << e.name;
    return names.join(", ");
}

int effect(const QStringList& args) {
    for (const Effect& e : effects()) {
        if (args.size() < 3 || args[2] != e.name) continue;
        if (args.size() != 3 + e.count) fail(QString("effect %1 takes: %2").arg(e.name, e.values));
        std::vector<int> values;
        for (int i = 3; i < args.size(); ++i) {
            bool ok = false;
            values.push_back(args[i].toInt(&ok));
            if (!ok) fail("not a number: " + args[i]);
        }
        TLQDib dib;
        load(dib, args[0]);
        if (!e.apply(dib, values)) fail(QString("effect %1 failed: ").arg(e.name) + lastError());
        const QString written = save(dib, args[1]);
        if (written != args[1]) std::printf("%s\n", qPrintable(written));
        return 0;
    }
    fail("unknown effect " + args.value(2) + " (effects: " + effectNames() + ")");
}

struct Command {
    const char* name;
    const char* usage;
    int minArgs;
    int maxArgs;  // -1: any number
    std::function<int(const QStringList&)> run;
};

const std::vector<Command>& commands() {
    static const std::vector<Command> table = {
        {"info", "info FILE...", 1, -1, info},
        {"convert", "convert IN OUT", 2, 2, convert},
        {"effect", "effect IN OUT NAME VALUES...", 3, -1, effect},
    };
    return table;
}

int usage() {
    std::fprintf(stderr, "usage:\n");
    for (const Command& c : commands()) std::fprintf(stderr, "  lqimage %s\n", c.usage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    QStringList args;
    for (int i = 2; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    for (const Command& c : commands()) {
        if (std::strcmp(c.name, argv[1]) != 0) continue;
        if (args.size() < c.minArgs || (c.maxArgs >= 0 && args.size() > c.maxArgs)) return usage();
        try {
            return c.run(args);
        } catch (const Failure& f) {
            std::fprintf(stderr, "lqimage: %s\n", f.message.c_str());
            return 1;
        }
    }
    return usage();
}
