// Feeds one input as a file to every reader of the model's own files: templates and layouts,
// old template sets and the three pool sets. Whatever loads must save and load again.
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdlib>

#include "model/LQSets.h"
#include "model/LQTmpl.h"
#include "platform/MessageSink.h"

namespace {

QString scratchFolder() {
    static const QString folder = [] {
        lqp::setMessageSink([](const lqp::Message&) { return lqp::MsgAnswer::Ok; });
        const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
        const QString f = base + QStringLiteral("/lq-fuzz-model-%1").arg(QCoreApplication::applicationPid());
        QDir().mkpath(f);
        return f;
    }();
    return folder;
}

void require(bool condition) {
    if (!condition) std::abort();
}

template <class List>
void roundTrip(const QString& input, const QString& copy) {
    List list;
    if (!list.Load(input)) return;
    require(list.Save(copy));
    List again;
    require(again.Load(copy));
    require(again.Count() == list.Count());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString input = scratchFolder() + QStringLiteral("/input.qlt");
    const QString copy = scratchFolder() + QStringLiteral("/copy.qlt");
    QFile f(input);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
    f.write(reinterpret_cast<const char*>(data), qint64(size));
    f.close();

    TLQTemplate t;
    if (t.LoadFromFile(input)) {
        QString error;
        require(t.SaveToFile(copy, 2, error));
        TLQTemplate again;
        require(again.LoadFromFile(copy));
        require(again.AreaCount() == t.AreaCount());
    }
    TLQTemplateList sets;
    sets.LoadSet(input);
    roundTrip<TLQFrameList>(input, copy);
    roundTrip<TLQPageList>(input, copy);
    roundTrip<TLQTextList>(input, copy);
    return 0;
}
