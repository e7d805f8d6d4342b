// The image pack's error and progress conventions, shared by the format library, the effect
// operations and the image object.
//
// A pack operation that fails answers null (or false, or a value <= 0) and leaves a reason in
// the pack's last-error slot: a code (always negative) and a text for the user. The slot is
// per thread, so a print thread's failure never overwrites what the interface thread reads.
// Long operations name themselves in the current-operation slot, which the image object passes
// to its progress event.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>

namespace rv {

// Progress of a long operation: called with 0 first, 100 last; answering false cancels, and
// the operation then fails with kRVErrCancelled, leaving its input as it was.
using RVProgress = std::function<bool(int percent)>;

// Reason codes of the pack's last error.
enum RVErrorCode : int {
    kRVErrNone = 0,
    kRVErrOpen = -1,            // file cannot be opened or created
    kRVErrRead = -2,            // read failed or the data ended early
    kRVErrFormat = -3,          // not a file of the expected format, or corrupt
    kRVErrUnsupported = -4,     // a variant of the format this pack does not read or write
    kRVErrNoMemory = -5,
    kRVErrTooLarge = -6,        // image larger than the pack's limit
    kRVErrCancelled = -7,       // the progress callback asked to stop
    kRVErrWrite = -8,           // writing the file failed
    kRVErrBadDib = -9,          // the DIB handed in is missing or invalid
    kRVErrBadArgument = -10,
    kRVErrLibrary = -11,        // a format library could not be loaded or lacks an export
};

void RVSetLastError(int code, const std::string& text);
int RVLastErrorCode();
std::string RVLastErrorText();

// The operation running on this thread, for progress reports ("Loading JPEG image").
void RVSetOperation(const std::string& text);
std::string RVCurrentOperation();

// Reports progress; answers false (and records kRVErrCancelled) when the callback cancels.
bool RVReport(const RVProgress& progress, int percent);

// The pack's exception class: raised for "Input filename isn't valid", "Input image is empty"
// and "Can't allocate memory", which reach the caller.
class ERVError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace rv
