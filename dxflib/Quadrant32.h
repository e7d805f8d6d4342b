// The exports of libQuadrant32.so: DXF drawings read into a metafile, a device bitmap with
// palette or a packed DIB, and the drawing's output size; each with a stream form that reads
// the drawing from a memory block (its locked address and the number of bytes). The library
// also exports the DIB conversion set (tifflib/Color.h).
//
// Results are 1 on success and -1 on failure; the reason is then in the thread-local
// last-error slot (platform/LastError.h) as line * 256 + reason + 3, or 1 when the source
// cannot be opened or read (lqdxf::errorText turns it into words). Whoever receives a
// metafile, bitmap, palette or DIB frees it.
#pragma once

#include <cstdint>

#include "platform/Gdi.h"
#include "platform/GdiMetafile.h"
#include "platform/MemBlock.h"
#include "tifflib/Color.h"

extern "C" {

LQ_EXPORT short LQ_STDCALL InitDLL(void* ownerWindow, const char* reserved);

LQ_EXPORT short LQ_STDCALL readdxftowmf(const char* file, HLQMETAFILE* metafile, std::int32_t user,
                                        LqProgressProc progress, short showErrors);
// An 800 x 600 device bitmap of the drawing; width and height are not used. A palette handed in
// through `palette` is used, otherwise one of the 256 DXF colours is made and handed back.
LQ_EXPORT short LQ_STDCALL readdxftoddb(const char* file, short width, short height, HLQBITMAP* bitmap,
                                        HLQPALETTE* palette, std::int32_t user, LqProgressProc progress,
                                        short showErrors);
// The device bitmap as a DIB of 1, 4, 8 or 24 bits (other depths give 24): 1 bit by error
// diffusion, 4 and 8 bits by the two-pass quantizer mapping to the first 16 or all 256 DXF
// colours, dithered when `dither` is set.
LQ_EXPORT short LQ_STDCALL readdxftodib(const char* file, short bits, short dither, HLQMEM* dib, std::int32_t user,
                                        LqProgressProc progress, short showErrors);
// The drawing's output extent and 8 bits per pixel.
LQ_EXPORT short LQ_STDCALL getdxfinfo(const char* file, short* width, short* height, short* bits);

LQ_EXPORT short LQ_STDCALL readdxftowmfstream(const void* stream, std::uint32_t length, HLQMETAFILE* metafile,
                                              std::int32_t user, LqProgressProc progress, short showErrors);
LQ_EXPORT short LQ_STDCALL readdxftoddbstream(const void* stream, std::uint32_t length, short width, short height,
                                              HLQBITMAP* bitmap, HLQPALETTE* palette, std::int32_t user,
                                              LqProgressProc progress, short showErrors);
LQ_EXPORT short LQ_STDCALL readdxftodibstream(const void* stream, std::uint32_t length, short bits, short dither,
                                              HLQMEM* dib, std::int32_t user, LqProgressProc progress,
                                              short showErrors);
LQ_EXPORT short LQ_STDCALL getdxfinfostream(const void* stream, std::uint32_t length, short* width, short* height,
                                            short* bits);

}  // extern "C"
