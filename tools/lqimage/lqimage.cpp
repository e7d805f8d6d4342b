// lqimage: batch work on image files through the program's image object.
//
//   lqimage info FILE...            format, size, depth and size in cm at 300 dpi
//   lqimage convert IN OUT          by extension, from every readable to every writable format
//   lqimage effect IN OUT NAME VALUES...   one effect of the image object (table in effects())
//   lqimage resize IN OUT WIDTHxHEIGHT [--filter N]   the whole image resampled (filter 1..7,
//                                   Bell without the option)
//   lqimage resize-part IN OUT LEFT,TOP,WIDTH,HEIGHT WIDTHxHEIGHT [--filter N]   a rectangle
//                                   resampled as a printer tile (filter 0: the rectangle unscaled)
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
#include "imaging/LQResample.h"
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

// Saves by extension and prints the name actually written when it differs.
void save(TLQDib& dib, const QString& file) {
    QString written;
    if (!dib.SaveToFile(file, &written)) fail(file + ": " + lastError());
    if (written != file) std::printf("%s\n", qPrintable(written));
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
    save(dib, args[1]);
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
        save(dib, args[1]);
        return 0;
    }
    fail("unknown effect " + args.value(2) + " (effects: " + effectNames() + ")");
}

// `count` whole numbers joined by `separator` ("640x480", "10,20,300,200").
std::vector<int> numbers(const QString& text, QChar separator, int count, const char* form) {
    const QStringList parts = text.split(separator);
    if (parts.size() != count) fail(QString("not %1: %2").arg(form, text));
    std::vector<int> values;
    for (const QString& part : parts) {
        bool ok = false;
        values.push_back(part.toInt(&ok));
        if (!ok) fail(QString("not %1: %2").arg(form, text));
    }
    return values;
}

// The filter of "--filter N" at args[at] (Bell when the arguments end before).
int filterOption(const QStringList& args, int at) {
    if (args.size() == at) return kDefaultResampleFilter;
    bool ok = false;
    const int filter = args.size() == at + 2 && args[at] == "--filter" ? args[at + 1].toInt(&ok) : -1;
    if (!ok || filter < 0 || filter > kResampleFilterCount)
        fail(QString("expected --filter N (0..%1) after the sizes").arg(kResampleFilterCount));
    return filter;
}

int resize(const QStringList& args) {
    const std::vector<int> size = numbers(args[2], 'x', 2, "WIDTHxHEIGHT");
    const int filter = filterOption(args, 3);
    if (filter == 0) fail("resize needs a filter 1..7 (0 does no resampling)");
    TLQDib dib;
    load(dib, args[0]);
    const std::unique_ptr<TLQDib> copy = dib.MakeScaledCopy(size[0], size[1], 0, 0, nullptr, filter);
    if (!copy) fail("cannot resample " + args[0] + " to " + args[2]);
    save(*copy, args[1]);
    return 0;
}

int resizePart(const QStringList& args) {
    const std::vector<int> rect = numbers(args[2], ',', 4, "LEFT,TOP,WIDTH,HEIGHT");
    const std::vector<int> size = numbers(args[3], 'x', 2, "WIDTHxHEIGHT");
    const int filter = filterOption(args, 4);
    TLQDib dib;
    load(dib, args[0]);
    const std::unique_ptr<TLQDib> part =
        dib.MakeScaledPart(size[0], size[1], QRect(rect[0], rect[1], rect[2], rect[3]), nullptr, filter);
    if (!part) fail("cannot resample " + args[2] + " of " + args[0] + " to " + args[3]);
    save(*part, args[1]);
    return 0;
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
        {"resize", "resize IN OUT WIDTHxHEIGHT [--filter N]", 3, 5, resize},
        {"resize-part", "resize-part IN OUT LEFT,TOP,WIDTH,HEIGHT WIDTHxHEIGHT [--filter N]", 4, 6, resizePart},
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
