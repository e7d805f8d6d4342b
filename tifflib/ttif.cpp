// The reading exports of Vellum32.
#include "tifflib/ttif.h"

#include "platform/Dib.h"
#include "platform/LastError.h"
#include "tifflib/Color.h"
#include "tifflib/TifErrors.h"
#include "tifflib/Vellum32.h"

namespace vellum {

short fail(std::uint32_t reason) {
    lqSetLastError(reason);
    return -1;
}

bool TTIF::attachFile(const char* fileName) {
    io_ = fileName ? openFileForRead(fileName) : nullptr;
    if (!io_) lqSetLastError(kErrOpen);
    return io_ != nullptr;
}

bool TTIF::attachStream(const void* address, std::uint32_t length) {
    io_ = openStreamForRead(address, length);
    if (!io_) lqSetLastError(kErrHandle);
    return io_ != nullptr;
}

HLQMEM TTIF::imgGetDib(int page) {
    DecodeResult r = decodePage(*io_, page, progress_);
    if (!r.dib) lqSetLastError(r.error);
    return r.dib;
}

namespace {

// A wanted depth brought to one the conversions make: 0 or less (8-bit grey), 1, 4, 8 or 24.
int normalizedDepth(int bits) { return bits <= 0 ? 0 : bits == 1 ? 1 : bits <= 4 ? 4 : bits <= 8 ? 8 : 24; }

}  // namespace

short readDib(TTIF& t, short bits, short convert, short page, HLQMEM* dib, short showErrors) {
    lqp::MemOwner decoded(t.imgGetDib(page));
    if (!decoded) return -1;
    if (convert) {
        const int wanted = normalizedDepth(bits);
        lqp::DibHeader h;
        {
            lqp::MemLock lock(decoded.get());
            h = lqp::readDibHeader(lock.data());
        }
        if (wanted != h.bitCount) {
            lqp::MemOwner converted(lqcolor::changeDepth(decoded.get(), wanted));
            if (!converted) {
                lqcolor::reportFailure(kColorOutOfMemory, showErrors);
                return fail(vellum::kErrMemory);
            }
            decoded = std::move(converted);
        }
    }
    *dib = decoded.release();
    return 1;
}

}  // namespace vellum

namespace {

using vellum::fail;
using vellum::TTIF;

short info(TTIF& t, short page, std::int32_t* width, std::int32_t* height, short* compression, short* pages,
           short* bitsPerPixel) {
    const vellum::InfoResult r = vellum::readPageInfo(t.io(), page);
    if (pages) *pages = short(r.info.pages);
    if (r.error) return fail(r.error);
    if (width) *width = std::int32_t(r.info.width);
    if (height) *height = std::int32_t(r.info.height);
    if (compression) *compression = short(r.info.compression);
    if (bitsPerPixel) *bitsPerPixel = short(r.info.bitsPerPixel);
    return 1;
}

void clearInfo(std::int32_t* width, std::int32_t* height, short* compression, std::int32_t* reserved, short* pages,
               short* bitsPerPixel) {
    for (std::int32_t* p : {width, height, reserved})
        if (p) *p = 0;
    for (short* p : {compression, pages, bitsPerPixel})
        if (p) *p = 0;
}

}  // namespace

extern "C" {

short readtiffiledib(const char* fileName, short bits, short convert, short page, HLQMEM* dib, std::int32_t user,
                     LqProgressProc progress, short showErrors, const char*) {
    if (!dib) return fail(kLqErrInvalidParameter);
    *dib = nullptr;
    TTIF t(user, progress);
    if (!t.attachFile(fileName)) return -1;
    return readDib(t, bits, convert, page, dib, showErrors);
}

short readtiffiledibstream(const void* stream, std::uint32_t length, short bits, short convert, short page, HLQMEM* dib,
                           std::int32_t user, LqProgressProc progress, short showErrors, const char*) {
    if (!dib) return fail(kLqErrInvalidParameter);
    *dib = nullptr;
    TTIF t(user, progress);
    if (!t.attachStream(stream, length)) return -1;
    return readDib(t, bits, convert, page, dib, showErrors);
}

short getinfo(const char* fileName, short page, std::int32_t* width, std::int32_t* height, short* compression,
              std::int32_t* reserved, short* pages, short* bitsPerPixel) {
    clearInfo(width, height, compression, reserved, pages, bitsPerPixel);
    TTIF t(0, nullptr);
    if (!t.attachFile(fileName)) return -1;
    return info(t, page, width, height, compression, pages, bitsPerPixel);
}

short getinfostream(const void* stream, std::uint32_t length, short page, std::int32_t* width, std::int32_t* height,
                    short* compression, std::int32_t* reserved, short* pages, short* bitsPerPixel) {
    clearInfo(width, height, compression, reserved, pages, bitsPerPixel);
    TTIF t(0, nullptr);
    if (!t.attachStream(stream, length)) return -1;
    return info(t, page, width, height, compression, pages, bitsPerPixel);
}

}  // extern "C"
