// The per-call context of every Vellum32 export.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "tifflib/TifIo.h"
#include "tifflib/TifReader.h"

namespace vellum {

// One TTIF lives for one export call: the progress callback with its user value, the file or
// memory stream the call works on, and the page and scale it was asked for.
class TTIF {
public:
    TTIF(std::int32_t user, LqProgressProc progress) { progress_.user = user; progress_.callback = progress; }
    // Attach the file or stream to read; false (reason in the last-error slot) when it fails.
    bool attachFile(const char* fileName);
    bool attachStream(const void* address, std::uint32_t length);
    TifIo& io() { return *io_; }
    const Progress& progress() const { return progress_; }
    // Decodes a page; on failure sets the last error and answers null.
    HLQMEM imgGetDib(int page);

private:
    std::unique_ptr<TifIo> io_;
    Progress progress_;
};

// Sets the last-error slot and answers -1.
short fail(std::uint32_t reason);

// The body of readtiffiledib and its stream twin on an attached TTIF.
short readDib(TTIF& t, short bits, short convert, short page, HLQMEM* dib, short showErrors);

// The body of every DIB write export: `placing` says where the page goes (page index for
// insert and replace); a stream destination gives address and length by reference.
enum class Placing { New, Append, Insert, Replace };
struct Destination {
    const char* fileName = nullptr;
    void** stream = nullptr;
    std::uint32_t* length = nullptr;
    bool isStream() const { return stream != nullptr; }
};
short writeDib(const Destination& d, short compression, short bits, Placing placing, int page, HLQMEM dib,
               std::int32_t user, LqProgressProc progress, short showErrors);

}  // namespace vellum
