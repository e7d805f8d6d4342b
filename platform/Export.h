// Symbol visibility and calling-convention macros shared by the platform library and the
// two format libraries.
#pragma once

#if defined(LQP_BUILDING)
#define LQP_API __attribute__((visibility("default")))
#else
#define LQP_API
#endif

// Exports of the format libraries keep their historical calling-convention marker; on Linux
// there is only one convention, so it expands to nothing.
#define LQ_STDCALL

#define LQ_EXPORT extern "C" __attribute__((visibility("default")))
