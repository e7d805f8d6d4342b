#include "platform/qt/QtMessageSink.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

namespace lqp {

namespace {

QMessageBox::Icon toQtIcon(MsgIcon icon) {
    switch (icon) {
    case MsgIcon::None: return QMessageBox::NoIcon;
    case MsgIcon::Information: return QMessageBox::Information;
    case MsgIcon::Warning: return QMessageBox::Warning;
    case MsgIcon::Error: return QMessageBox::Critical;
    case MsgIcon::Question: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons toQtButtons(MsgButtons buttons) {
    switch (buttons) {
    case MsgButtons::Ok: return QMessageBox::Ok;
    case MsgButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case MsgButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case MsgButtons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MsgButtons::RetryCancel: return QMessageBox::Retry | QMessageBox::Cancel;
    case MsgButtons::AbortRetryIgnore: return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    }
    return QMessageBox::Ok;
}

MsgAnswer fromQtButton(int button) {
    switch (button) {
    case QMessageBox::Ok: return MsgAnswer::Ok;
    case QMessageBox::Cancel: return MsgAnswer::Cancel;
    case QMessageBox::Abort: return MsgAnswer::Abort;
    case QMessageBox::Retry: return MsgAnswer::Retry;
    case QMessageBox::Ignore: return MsgAnswer::Ignore;
    case QMessageBox::Yes: return MsgAnswer::Yes;
    case QMessageBox::No: return MsgAnswer::No;
    default: return MsgAnswer::Cancel;  // closed with Escape or the window's close button
    }
}

}  // namespace

MsgAnswer runOnUiThread(const Message& m, const MessageBoxFunction& show) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) return show(m);
    MsgAnswer answer = MsgAnswer::None;
    QMetaObject::invokeMethod(app, [&] { answer = show(m); }, Qt::BlockingQueuedConnection);
    return answer;
}

void installQtMessageSink(const QString& applicationTitle, MessageBoxFunction show) {
    if (!show && qEnvironmentVariableIntValue("LUMQUIL_NONINTERACTIVE") == 1) {
        // Scripted runs: no one is there to answer, so messages go to standard error and the
        // first button answers, as without any sink.
        setMessageSink({});
        return;
    }
    if (!show) {
        show = [applicationTitle](const Message& m) {
            QMessageBox box(toQtIcon(m.icon),
                            m.caption.empty() ? applicationTitle : QString::fromStdString(m.caption),
                            QString::fromStdString(m.text), toQtButtons(m.buttons),
                            QApplication::activeWindow());
            return fromQtButton(box.exec());
        };
    }
    setMessageSink([show](const Message& m) { return runOnUiThread(m, show); });
}

}  // namespace lqp
