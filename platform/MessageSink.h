// Message boxes of the model and the libraries go through one sink. The program installs a
// sink that shows a QMessageBox on the user-interface thread (platform/qt/QtMessageSink.h);
// tests install one that records the texts and scripts the answers. Without a sink, messages
// are written to standard error and answered with the first button of their set.
#pragma once

#include <functional>
#include <string>

#include "platform/Export.h"

namespace lqp {

enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };
// Answer values keep the platform's historical numbering.
enum class MsgAnswer { None = 0, Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

struct Message {
    std::string text;      // UTF-8; line breaks as "\n" or "\r\n"
    std::string caption;   // UTF-8; empty: the application title
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::Ok;
};

using MessageSink = std::function<MsgAnswer(const Message&)>;

// Shows a message through the current sink and answers the button the user chose.
LQP_API MsgAnswer showMessage(const Message& m);
LQP_API MsgAnswer showMessage(const std::string& text, const std::string& caption = {},
                              MsgIcon icon = MsgIcon::None, MsgButtons buttons = MsgButtons::Ok);
// Installs a sink (an empty one restores the default) and answers the previous sink.
LQP_API MessageSink setMessageSink(MessageSink sink);
// The answer a sink gives when it cannot ask anyone: the first button of the set.
LQP_API MsgAnswer defaultAnswer(MsgButtons buttons);

}  // namespace lqp
