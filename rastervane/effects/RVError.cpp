#include "rastervane/effects/RVError.h"

#include <utility>

namespace rv {

namespace {

struct ThreadState {
    int code = RV_OK;
    std::string text;
    std::string operation;
};

ThreadState& state() {
    thread_local ThreadState s;
    return s;
}

}  // namespace

void setLastError(int code, std::string text) {
    state().code = code;
    state().text = std::move(text);
}

int lastErrorCode() { return state().code; }
const std::string& lastErrorText() { return state().text; }

void setOperationText(std::string_view text) { state().operation.assign(text); }
const std::string& operationText() { return state().operation; }

}  // namespace rv
