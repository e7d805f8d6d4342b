#include "rastervane/RVImport.h"

#include <dlfcn.h>

#include <QGuiApplication>
#include <QWindow>

#include "platform/Dib.h"
#include "platform/Files.h"
#include "platform/LastError.h"
#include "rastervane/RVDib.h"
#include "tifflib/TifErrors.h"

namespace rv {

// ---- loading ----

bool RVLibrary::load() {
    if (tried_) return handle_ != nullptr;
    tried_ = true;
    // The program's own library folder first (bin/../lib, as built and as installed), then
    // the system's search. The folder is named explicitly: the run path of whoever calls
    // dlopen is not always the program's (a sanitizer's interceptor calls it, for one).
    const std::string folder = lqp::programFolder();
    for (const std::string& candidate : {folder + "/../lib/" + fileName_, folder + "/" + fileName_, fileName_}) {
        handle_ = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_) break;
    }
    if (!handle_) {
        const char* why = ::dlerror();
        loadError_ = "Can't load " + fileName_ + (why ? std::string(": ") + why : std::string());
        return false;
    }
    using InitFn = short (*)(void*, const char*);
    if (auto init = reinterpret_cast<InitFn>(::dlsym(handle_, "InitDLL"))) {
        void* window = qGuiApp ? static_cast<void*>(QGuiApplication::focusWindow()) : nullptr;
        init(window, nullptr);
    }
    return true;
}

void* RVLibrary::bind(const char* name) {
    std::lock_guard guard(mutex_);
    if (!load()) {
        RVSetLastError(kRVErrLibrary, loadError_);
        return nullptr;
    }
    void* symbol = ::dlsym(handle_, name);
    if (!symbol) RVSetLastError(kRVErrLibrary, fileName_ + " has no function " + name);
    return symbol;
}

RVLibrary& Vellum32() {
    static RVLibrary library("libVellum32.so");
    return library;
}

// ---- TIFF through Vellum32 ----

namespace {

// The library's calling conventions: 16-bit results (1 success, -1 failure with a reason in
// the platform's last-error slot), short arguments, a progress callback (percent, user value)
// that answers 0 to cancel.
using ProgressFn = short (*)(std::int32_t percent, std::int32_t user);
using ReadDibFn = short (*)(const char*, short bits, short convert, short page, HLQMEM* dib, std::int32_t user,
                            ProgressFn, short showErrors, const char* reserved);
using WriteDibFn = short (*)(const char*, short compression, short bits, short append, HLQMEM dib,
                             std::int32_t user, ProgressFn, short showErrors, const char* reserved);
using InfoFn = short (*)(const char*, short page, std::int32_t* width, std::int32_t* height, short* compression,
                         std::int32_t* reserved, short* pages, short* bits);

// The progress callback of the call running on this thread; the library's 32-bit user value
// cannot carry a pointer.
thread_local const RVProgress* tProgress = nullptr;
thread_local bool tCancelled = false;

short progressThunk(std::int32_t percent, std::int32_t) {
    if (!tProgress || !*tProgress || (*tProgress)(int(percent))) return 1;
    tCancelled = true;
    return 0;
}

struct ProgressScope {
    explicit ProgressScope(const RVProgress& p) {
        tProgress = &p;
        tCancelled = false;
    }
    ~ProgressScope() { tProgress = nullptr; }
};

// Records the library's failure as the pack's last error.
void recordFailure() {
    if (tCancelled) {
        RVSetLastError(kRVErrCancelled, "Operation cancelled");
        return;
    }
    const std::uint32_t reason = lqGetLastError();
    switch (reason) {
    case vellum::kErrOpen: RVSetLastError(kRVErrOpen, "TIFF: file cannot be opened"); return;
    case vellum::kErrRead: RVSetLastError(kRVErrRead, "TIFF: read failed or hit the end of the data"); return;
    case vellum::kErrMemory: RVSetLastError(kRVErrNoMemory, "TIFF: out of memory"); return;
    case vellum::kErrBitsPerSample: RVSetLastError(kRVErrUnsupported, "TIFF: BitsPerSample values differ between samples"); return;
    case vellum::kErrCompression: RVSetLastError(kRVErrUnsupported, "TIFF: unsupported Compression"); return;
    case vellum::kErrPhotometric: RVSetLastError(kRVErrUnsupported, "TIFF: unsupported PhotometricInterpretation or PlanarConfiguration"); return;
    case vellum::kErrPredictor: RVSetLastError(kRVErrUnsupported, "TIFF: unsupported Predictor"); return;
    case vellum::kErrNoPage: RVSetLastError(kRVErrBadArgument, "TIFF: the page does not exist"); return;
    case vellum::kErrCancelled: RVSetLastError(kRVErrCancelled, "Operation cancelled"); return;
    case vellum::kErrHandle: RVSetLastError(kRVErrBadArgument, "TIFF: invalid memory stream"); return;
    case vellum::kErrArgument: RVSetLastError(kRVErrBadArgument, "TIFF: an argument is out of range"); return;
    case vellum::kErrWrite: RVSetLastError(kRVErrWrite, "TIFF: writing the file failed"); return;
    case vellum::kErrExists: RVSetLastError(kRVErrWrite, "TIFF: the file exists and may not be replaced"); return;
    default: RVSetLastError(kRVErrFormat, "TIFF: the library failed with reason " + std::to_string(reason));
    }
}

short compressionCode(TTiffCompression c) {
    switch (c) {
    case sNONE: return 1;
    case sCCITT: return 2;
    case sFAXCCITT3: return 3;
    case sFAXCCITT4: return 4;
    case sLZW: return 5;
    case sPACKBITS: return 6;
    }
    return 1;
}

}  // namespace

HLQMEM readtiffiledib(const std::string& fileName, int page, const RVProgress& progress) {
    RVSetOperation("Loading TIFF image");
    auto read = reinterpret_cast<ReadDibFn>(Vellum32().bind("readtiffiledib"));
    if (!read) return nullptr;
    ProgressScope scope(progress);
    HLQMEM dib = nullptr;
    lqSetLastError(kLqErrNone);
    if (read(fileName.c_str(), 24, 1, short(page), &dib, 0, progressThunk, 0, nullptr) != 1) {
        if (dib) lqMemFree(dib);
        recordFailure();
        return nullptr;
    }
    lqp::DibHeader info;
    if (!RVCheckDib(dib, &info)) {
        lqMemFree(dib);
        return nullptr;
    }
    return dib;
}

bool writetiffiledib(const std::string& fileName, HLQMEM dib, TTiffCompression compression, bool append,
                     const RVProgress& progress) {
    RVSetOperation("Saving TIFF image");
    lqp::DibHeader info;
    if (!RVCheckDib(dib, &info)) return false;
    auto write = reinterpret_cast<WriteDibFn>(Vellum32().bind("writetiffiledib"));
    if (!write) return false;
    ProgressScope scope(progress);
    lqSetLastError(kLqErrNone);
    if (write(fileName.c_str(), compressionCode(compression), short(info.bitCount), append ? 1 : 0, dib, 0, progressThunk,
              0, nullptr) != 1) {
        recordFailure();
        return false;
    }
    return true;
}

bool tiffinfo(const std::string& fileName, int page, RVTiffInfo& out) {
    auto info = reinterpret_cast<InfoFn>(Vellum32().bind("getinfo"));
    if (!info) return false;
    std::int32_t width = 0, height = 0, reserved = 0;
    short compression = 0, pages = 0, bits = 0;
    tCancelled = false;
    lqSetLastError(kLqErrNone);
    if (info(fileName.c_str(), short(page), &width, &height, &compression, &reserved, &pages, &bits) != 1) {
        recordFailure();
        return false;
    }
    out = {width, height, bits, pages, compression};
    return true;
}

}  // namespace rv
