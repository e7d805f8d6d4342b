// The program's message sink: every message is shown on the user-interface thread. A message
// raised on another thread waits there until the user has answered.
#pragma once

#include <QString>

#include "platform/MessageSink.h"

namespace lqp {

// Shows one message box and answers the button chosen; must run on the user-interface thread.
using MessageBoxFunction = std::function<MsgAnswer(const Message&)>;

// Installs a sink that runs `show` on the thread of the QApplication (the default shows a
// QMessageBox whose caption falls back to `applicationTitle`). With LUMQUIL_NONINTERACTIVE=1 in
// the environment the default sink stays: messages go to standard error, unanswered by a user.
void installQtMessageSink(const QString& applicationTitle, MessageBoxFunction show = {});

// Runs `show` on the application's thread, waiting for it when called from another thread.
MsgAnswer runOnUiThread(const Message& m, const MessageBoxFunction& show);

}  // namespace lqp
