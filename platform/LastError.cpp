#include "platform/LastError.h"

namespace {
thread_local std::uint32_t tLastError = kLqErrNone;
}

void lqSetLastError(std::uint32_t code) { tLastError = code; }
std::uint32_t lqGetLastError() { return tLastError; }
