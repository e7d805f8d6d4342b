#include "rastervane/RVError.h"

namespace rv {

namespace {
thread_local int tCode = kRVErrNone;
thread_local std::string tText;
thread_local std::string tOperation;
}  // namespace

void RVSetLastError(int code, const std::string& text) {
    tCode = code;
    tText = text;
}
int RVLastErrorCode() { return tCode; }
std::string RVLastErrorText() { return tText; }

void RVSetOperation(const std::string& text) { tOperation = text; }
std::string RVCurrentOperation() { return tOperation; }

bool RVReport(const RVProgress& progress, int percent) {
    if (!progress || progress(percent)) return true;
    RVSetLastError(kRVErrCancelled, "Operation cancelled");
    return false;
}

}  // namespace rv
