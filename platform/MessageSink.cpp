#include "platform/MessageSink.h"

#include <cstdio>
#include <mutex>

namespace lqp {

namespace {
std::mutex gSinkMutex;
MessageSink& sinkSlot() {
    static MessageSink* s = new MessageSink;
    return *s;
}
}  // namespace

MsgAnswer defaultAnswer(MsgButtons buttons) {
    switch (buttons) {
    case MsgButtons::Ok: case MsgButtons::OkCancel: return MsgAnswer::Ok;
    case MsgButtons::YesNo: case MsgButtons::YesNoCancel: return MsgAnswer::Yes;
    case MsgButtons::RetryCancel: return MsgAnswer::Retry;
    case MsgButtons::AbortRetryIgnore: return MsgAnswer::Abort;
    }
    return MsgAnswer::Ok;
}

MsgAnswer showMessage(const Message& m) {
    MessageSink sink;
    {
        std::lock_guard g(gSinkMutex);
        sink = sinkSlot();
    }
    if (sink) return sink(m);
    std::fprintf(stderr, "%s%s%s\n", m.caption.c_str(), m.caption.empty() ? "" : ": ", m.text.c_str());
    return defaultAnswer(m.buttons);
}

MsgAnswer showMessage(const std::string& text, const std::string& caption, MsgIcon icon, MsgButtons buttons) {
    return showMessage(Message{text, caption, icon, buttons});
}

MessageSink setMessageSink(MessageSink sink) {
    std::lock_guard g(gSinkMutex);
    MessageSink previous = std::move(sinkSlot());
    sinkSlot() = std::move(sink);
    return previous;
}

}  // namespace lqp
