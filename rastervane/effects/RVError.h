// The image pack's error and progress conventions, shared by its effect operations and its
// format library.
//
// An operation that fails answers a null handle (or a code <= 0) and leaves a code and a text
// in the calling thread's last-error slot; a later success does not clear it. Each operation
// also names itself in the thread's operation text ("Inverting Image"), which the image object
// hands to its progress event.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace rv {

// Codes of the pack's last-error slot. All are negative so that an operation answering an
// integer can answer the code itself; the format library adds its own codes below -100.
enum RVErrorCode : int {
    RV_OK = 0,
    RV_ERR_EMPTY_IMAGE = -1,        // null, unknown or freed handle
    RV_ERR_INVALID_DIB = -2,        // the block does not hold a usable packed DIB
    RV_ERR_UNSUPPORTED_DEPTH = -3,  // not 1, 4, 8 or 24 bits, or compressed
    RV_ERR_NO_MEMORY = -4,
    RV_ERR_BAD_PARAMETER = -5,
    RV_ERR_CANCELLED = -6,          // the progress callback asked to stop
    RV_ERR_TOO_LARGE = -7,          // the result would not fit in one memory block
    RV_ERR_COLOR_REDUCTION = -8,
};

// Progress of a long operation, in percent: 0 first, 100 last. Answering false cancels the
// operation, which then fails with RV_ERR_CANCELLED and leaves its input unchanged.
using RVProgress = std::function<bool(int percent)>;

void setLastError(int code, std::string text);
int lastErrorCode();
const std::string& lastErrorText();

void setOperationText(std::string_view text);
const std::string& operationText();

}  // namespace rv
