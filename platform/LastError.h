// The thread-local last-error slot. Every failing platform call, and every library export
// that fails, leaves a reason code here; a later success does not clear it.
#pragma once

#include <cstdint>

#include "platform/Export.h"

// Reason codes of the platform layer itself (the format libraries define their own).
constexpr std::uint32_t kLqErrNone = 0;
constexpr std::uint32_t kLqErrOutOfMemory = 8;
constexpr std::uint32_t kLqErrInvalidHandle = 6;
constexpr std::uint32_t kLqErrInvalidParameter = 87;
constexpr std::uint32_t kLqErrNotLocked = 158;

extern "C" {
LQP_API void lqSetLastError(std::uint32_t code);
LQP_API std::uint32_t lqGetLastError();
}
