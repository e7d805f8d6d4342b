#include <gtest/gtest.h>

#include <QApplication>
#include <QThread>
#include <QTimer>

#include <thread>

#include "platform/qt/QtColor.h"
#include "platform/qt/QtMessageSink.h"

namespace {

TEST(QtColor, ConvertsBothWays) {
    const lqp::ColorRef c = lqp::rgb(200, 100, 50);
    EXPECT_EQ(lqp::toQColor(c), QColor(200, 100, 50));
    EXPECT_EQ(lqp::fromQColor(QColor(200, 100, 50)), c);
    EXPECT_EQ(lqp::fromQColor(QColor::fromHsv(0, 255, 255)), lqp::rgb(255, 0, 0));
}

TEST(QtMessageSink, MessageFromAWorkerThreadIsShownOnTheUserInterfaceThread) {
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name};
    QApplication app(argc, argv);
    std::vector<std::pair<std::string, QThread*>> shown;
    lqp::installQtMessageSink(QStringLiteral("Title"), [&](const lqp::Message& m) {
        shown.emplace_back(m.text, QThread::currentThread());
        return lqp::MsgAnswer::Yes;
    });

    lqp::MsgAnswer fromWorker = lqp::MsgAnswer::None;
    std::thread worker;
    QTimer::singleShot(0, [&] {
        worker = std::thread([&] {
            fromWorker = lqp::showMessage("vom Druckfaden", {}, lqp::MsgIcon::Warning, lqp::MsgButtons::YesNo);
            QMetaObject::invokeMethod(&app, &QApplication::quit, Qt::QueuedConnection);
        });
    });
    app.exec();
    worker.join();
    EXPECT_EQ(lqp::showMessage("direkt"), lqp::MsgAnswer::Yes);

    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].first, "vom Druckfaden");
    EXPECT_EQ(shown[0].second, app.thread());
    EXPECT_EQ(shown[1].second, app.thread());
    EXPECT_EQ(fromWorker, lqp::MsgAnswer::Yes);
    lqp::setMessageSink({});
}

}  // namespace
