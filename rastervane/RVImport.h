// The pack's import layer and the TIFF operations it gives access to.
//
// A format library is loaded by file name at its first use; right after loading, its InitDLL
// is called once with the active window. Each export is bound by name at every call, so a
// library that lacks an export fails that call cleanly instead of failing to load.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "platform/MemBlock.h"
#include "rastervane/RVError.h"

namespace rv {

class RVLibrary {
public:
    explicit RVLibrary(std::string fileName) : fileName_(std::move(fileName)) {}
    RVLibrary(const RVLibrary&) = delete;
    RVLibrary& operator=(const RVLibrary&) = delete;

    // The address of export `name`, loading the library first when needed; null with the
    // pack's last error kRVErrLibrary when the library or the export is missing.
    void* bind(const char* name);

private:
    bool load();

    std::string fileName_;
    std::mutex mutex_;
    void* handle_ = nullptr;
    bool tried_ = false;
    std::string loadError_;
};

// The TIFF library, libVellum32.so.
RVLibrary& Vellum32();

enum TTiffCompression { sNONE, sCCITT, sFAXCCITT3, sFAXCCITT4, sLZW, sPACKBITS };

// Reads page `page` of a TIFF file as a 24-bit DIB.
HLQMEM readtiffiledib(const std::string& fileName, int page, const RVProgress& progress = {});
// Writes the DIB at its own depth as a new file, or appended as a new last page.
bool writetiffiledib(const std::string& fileName, HLQMEM dib, TTiffCompression compression, bool append,
                     const RVProgress& progress = {});

struct RVTiffInfo {
    int width = 0;
    int height = 0;
    int bits = 0;
    int pages = 0;
    int compression = 0;
};
bool tiffinfo(const std::string& fileName, int page, RVTiffInfo& info);

}  // namespace rv
