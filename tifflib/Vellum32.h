// The C interface of libVellum32.so: reading and writing TIFF files and memory streams, page
// and tag operations, and the DIB conversion set (tifflib/Color.h).
//
// Results are 16-bit: 1 for success, -1 for failure with a reason code in the thread-local
// last-error slot (lqGetLastError, platform/LastError.h; codes in tifflib/TifErrors.h).
// DIBs cross the interface as packed DIBs in movable memory blocks; the caller owns every
// block handed back. A memory stream is a TIFF file image in a memory block, passed as the
// address a lock of the block answered plus the number of valid bytes.
// Short arguments count by their low 16 bits; a Compression code or tag number above 32767
// travels in a short as its 16-bit pattern.
#pragma once

#include <cstdint>

#include "platform/Export.h"
#include "platform/MemBlock.h"
#include "tifflib/Color.h"

// Called once per tag by returntags: (tag, count, value, data address or null, user value).
using LqTagProc = void (*)(std::int32_t tag, std::int32_t count, std::int32_t value, const void* data,
                           std::int32_t user);

extern "C" {

LQ_EXPORT short LQ_STDCALL InitDLL(void* ownerWindow, const char* reserved);

LQ_EXPORT short LQ_STDCALL readtiffiledib(const char* fileName, short bits, short convert, short page, HLQMEM* dib,
                                          std::int32_t user, LqProgressProc progress, short showErrors,
                                          const char* reserved);
LQ_EXPORT short LQ_STDCALL readtiffiledibstream(const void* stream, std::uint32_t length, short bits, short convert,
                                                short page, HLQMEM* dib, std::int32_t user, LqProgressProc progress,
                                                short showErrors, const char* reserved);
// As readtiffiledib, then a device bitmap (and for palette images a logical palette) made
// from the DIB at `scale` percent, shrunk in 5 % steps to stay within 8,000,000 bytes.
LQ_EXPORT short LQ_STDCALL readtiffile(const char* fileName, short bits, short convert, short page, short scale,
                                       HLQBITMAP* bitmap, HLQPALETTE* palette, std::int32_t user,
                                       LqProgressProc progress, short showErrors, const char* reserved);
LQ_EXPORT short LQ_STDCALL readtiffilestream(const void* stream, std::uint32_t length, short bits, short convert,
                                             short page, short scale, HLQBITMAP* bitmap, HLQPALETTE* palette,
                                             std::int32_t user, LqProgressProc progress, short showErrors,
                                             const char* reserved);
LQ_EXPORT short LQ_STDCALL getinfo(const char* fileName, short page, std::int32_t* width, std::int32_t* height,
                                   short* compression, std::int32_t* reserved, short* pages, short* bitsPerPixel);
LQ_EXPORT short LQ_STDCALL getinfostream(const void* stream, std::uint32_t length, short page, std::int32_t* width,
                                         std::int32_t* height, short* compression, std::int32_t* reserved,
                                         short* pages, short* bitsPerPixel);

LQ_EXPORT short LQ_STDCALL writetiffiledib(const char* fileName, short compression, short bits, short append,
                                           HLQMEM dib, std::int32_t user, LqProgressProc progress, short showErrors,
                                           const char* reserved);
LQ_EXPORT short LQ_STDCALL writetiffiledibpage(const char* fileName, short compression, short bits, short page,
                                               HLQMEM dib, std::int32_t user, LqProgressProc progress,
                                               short showErrors, const char* reserved);
LQ_EXPORT short LQ_STDCALL writetiffiledibpagereplace(const char* fileName, short compression, short bits, short page,
                                                      HLQMEM dib, std::int32_t user, LqProgressProc progress,
                                                      short showErrors, const char* reserved);
LQ_EXPORT short LQ_STDCALL writetiffiledibstream(void** stream, std::uint32_t* length, short compression, short bits,
                                                 short append, HLQMEM dib, std::int32_t user, LqProgressProc progress,
                                                 short showErrors, const char* reserved);
LQ_EXPORT short LQ_STDCALL writetiffiledibpagestream(void** stream, std::uint32_t* length, short compression,
                                                     short bits, short page, HLQMEM dib, std::int32_t user,
                                                     LqProgressProc progress, short showErrors, const char* reserved);
LQ_EXPORT short LQ_STDCALL writetiffiledibpagereplacestream(void** stream, std::uint32_t* length, short compression,
                                                            short bits, short page, HLQMEM dib, std::int32_t user,
                                                            LqProgressProc progress, short showErrors,
                                                            const char* reserved);

// The device-bitmap writers fetch the bitmap as a DIB (1 bit for monochrome bitmaps, 24 for
// screen bitmaps; through `palette` when given) and then write as the DIB writers do. A failed
// fetch answers -100, a failed allocation -86.
LQ_EXPORT short LQ_STDCALL writetiffile(const char* fileName, short compression, short bits, short append,
                                        HLQBITMAP bitmap, HLQPALETTE palette, std::int32_t user, LqProgressProc progress,
                                        short showErrors, const char* reserved);
LQ_EXPORT short LQ_STDCALL writetiffilepage(const char* fileName, short compression, short bits, short page,
                                            HLQBITMAP bitmap, HLQPALETTE palette, std::int32_t user,
                                            LqProgressProc progress, short showErrors, const char* reserved);
LQ_EXPORT short LQ_STDCALL writetiffilepagereplace(const char* fileName, short compression, short bits, short page,
                                                   HLQBITMAP bitmap, HLQPALETTE palette, std::int32_t user,
                                                   LqProgressProc progress, short showErrors, const char* reserved);
LQ_EXPORT short LQ_STDCALL writetiffilestream(void** stream, std::uint32_t* length, short compression, short bits,
                                              short append, HLQBITMAP bitmap, HLQPALETTE palette, std::int32_t user,
                                              LqProgressProc progress, short showErrors, const char* reserved);
LQ_EXPORT short LQ_STDCALL writetiffilepagestream(void** stream, std::uint32_t* length, short compression,
                                                  short bits, short page, HLQBITMAP bitmap, HLQPALETTE palette,
                                                  std::int32_t user, LqProgressProc progress, short showErrors,
                                                  const char* reserved);
LQ_EXPORT short LQ_STDCALL writetiffilepagereplacestream(void** stream, std::uint32_t* length, short compression,
                                                         short bits, short page, HLQBITMAP bitmap,
                                                         HLQPALETTE palette, std::int32_t user,
                                                         LqProgressProc progress, short showErrors,
                                                         const char* reserved);

LQ_EXPORT short LQ_STDCALL swappages(const char* fileName, short a, short b);
LQ_EXPORT short LQ_STDCALL movepage(const char* fileName, short a, short b);
LQ_EXPORT short LQ_STDCALL deletepage(const char* fileName, short page);
LQ_EXPORT short LQ_STDCALL packtiff(const char* fileName, std::int32_t user, LqProgressProc progress);
LQ_EXPORT short LQ_STDCALL swappagesstream(void* stream, std::uint32_t length, short a, short b);
LQ_EXPORT short LQ_STDCALL movepagestream(void* stream, std::uint32_t length, short a, short b);
LQ_EXPORT short LQ_STDCALL deletepagestream(void* stream, std::uint32_t length, short page);
LQ_EXPORT short LQ_STDCALL packtiffstream(void** stream, std::uint32_t* length, std::int32_t user,
                                          LqProgressProc progress);

LQ_EXPORT short LQ_STDCALL returntags(const char* fileName, short page, std::int32_t user, LqTagProc callback);
LQ_EXPORT short LQ_STDCALL returntagsstream(const void* stream, std::uint32_t length, short page, std::int32_t user,
                                            LqTagProc callback);
LQ_EXPORT short LQ_STDCALL readtag(const char* fileName, short page, short tag, short* count, std::int32_t* value,
                                   void** data);
LQ_EXPORT short LQ_STDCALL readtagstream(const void* stream, std::uint32_t length, short page, short tag, short* count,
                                         std::int32_t* value, void** data);
LQ_EXPORT short LQ_STDCALL writetag(const char* fileName, short page, short tag, std::int32_t value);
LQ_EXPORT short LQ_STDCALL writetagstream(void* stream, std::uint32_t length, short page, short tag,
                                          std::int32_t value);
LQ_EXPORT short LQ_STDCALL writetagstring(const char* fileName, short page, short tag, const char* text);
LQ_EXPORT short LQ_STDCALL writetagstringstream(void* stream, std::uint32_t length, short page, short tag,
                                                const char* text);

}  // extern "C"
