// The exports of libQuadrant32.so. Each call reads the drawing from its source (a file, or a
// memory block given by its locked address), does its work and leaves nothing behind but
// what it hands to the caller.
#include "dxflib/Quadrant32.h"

#include <new>
#include <optional>
#include <span>

#include "dxflib/DxfColors.h"
#include "dxflib/DxfMetafile.h"
#include "platform/Dib.h"
#include "platform/LastError.h"

using namespace lqdxf;

namespace {

// The per-call context: the progress callback and its user value.
struct Call {
    LqProgressProc progress = nullptr;
    std::int32_t user = 0;

    Progress progressFunction() const {
        return [this](int percent) { return !progress || progress(percent, user) != 0; };
    }
};

short fail(const DxfError& e) {
    lqSetLastError(lastErrorCode(e));
    return -1;
}

short invalid() {
    lqSetLastError(kLqErrInvalidParameter);
    return -1;
}

// Runs `work` on the drawing read from `in`, mapping every failure to -1 with its reason.
template <class Work>
short withDrawing(Input& in, Work work) {
    try {
        if (!in.ok()) return fail({Reason::CannotOpen, 0});
        Drawing d;
        if (DxfError e = readDrawing(in, d); e.reason != Reason::None) return fail(e);
        return work(d);
    } catch (const std::bad_alloc&) {
        return fail({Reason::OutOfMemory, 0});
    }
}

template <class Work>
short fromFile(const char* file, Work work) {
    if (!file) return fail({Reason::CannotOpen, 0});
    Input in{std::string(file)};
    return withDrawing(in, work);
}

// A stream is the locked address of a memory block and the number of valid bytes in it; no
// block means an empty stream.
template <class Work>
short fromStream(const void* stream, std::uint32_t length, Work work) {
    std::span<const std::uint8_t> bytes;
    if (stream) {
        HLQMEM block = lqMemHandleOf(stream);
        if (!block || length > lqMemSize(block)) return invalid();
        bytes = {static_cast<const std::uint8_t*>(stream), length};
    }
    Input in(bytes);
    return withDrawing(in, work);
}

short toMetafile(const Drawing& d, HLQMETAFILE* out, const Call& call) {
    DxfError e;
    *out = drawMetafile(d, call.progressFunction(), e);
    return *out ? 1 : fail(e);
}

short toBitmap(const Drawing& d, HLQBITMAP* out, HLQPALETTE* palette, const Call& call) {
    HLQMETAFILE m = nullptr;
    if (toMetafile(d, &m, call) != 1) return -1;
    const bool given = palette && *palette && lqGetPaletteEntries(*palette, 0, 0, nullptr) > 0;
    HLQPALETTE p = given ? *palette : makeColorPalette();
    *out = drawBitmap(d, m, p);
    lqDeleteMetafile(m);
    if (!*out) {
        if (!given) lqDeletePalette(p);
        return fail({Reason::OutOfMemory, 0});
    }
    if (palette) *palette = p;
    else if (!given) lqDeletePalette(p);
    return 1;
}

// Brings the 24-bit DIB to 1, 4 or 8 bits with the DXF colours as the quantizer's palette.
short reduce(HLQMEM dib, int bits, short dither, short showErrors, const Call& call) {
    std::uint8_t palette[256 * 4];
    for (int i = 0; i < 256; ++i) {
        const lqp::ColorRef c = colorOfIndex(i);
        palette[4 * i] = lqp::redOf(c);
        palette[4 * i + 1] = lqp::greenOf(c);
        palette[4 * i + 2] = lqp::blueOf(c);
        palette[4 * i + 3] = 0;
    }
    const short count = bits == 8 ? 256 : bits == 4 ? 16 : 0;
    lqp::MemLock lock(dib);
    const short code = ConvertDib(lock.data(), 24, short(bits), dither, count, palette, showErrors, call.user,
                                  call.progress);
    if (code == 1) return 1;
    return fail({code == kColorOutOfMemory ? Reason::OutOfMemory : Reason::ReduceFailed, 0});
}

short toDib(const Drawing& d, HLQMEM* out, short bits, short dither, short showErrors, const Call& call) {
    HLQBITMAP bitmap = nullptr;
    if (toBitmap(d, &bitmap, nullptr, call) != 1) return -1;
    lqp::MemOwner dib(lqp::createDib(kBitmapWidth, kBitmapHeight, 24));
    bool fetched = false;
    if (dib) {
        lqp::MemLock lock(dib.get());
        fetched = lqGetDIBits(nullptr, bitmap, 0, kBitmapHeight, lock.data(), lqMemSize(dib.get())) == kBitmapHeight;
    }
    lqDeleteBitmap(bitmap);
    if (!fetched) return fail({Reason::OutOfMemory, 0});
    if ((bits == 1 || bits == 4 || bits == 8) && reduce(dib.get(), bits, dither, showErrors, call) != 1) return -1;
    *out = dib.release();
    return 1;
}

short toInfo(const Drawing& d, short* width, short* height, short* bits) {
    *width = short(d.width);
    *height = short(d.height);
    *bits = 8;
    return 1;
}

}  // namespace

short readdxftowmf(const char* file, HLQMETAFILE* metafile, std::int32_t user, LqProgressProc progress,
                   short /*showErrors*/) {
    if (!metafile) return invalid();
    *metafile = nullptr;
    const Call call{progress, user};
    return fromFile(file, [&](const Drawing& d) { return toMetafile(d, metafile, call); });
}

short readdxftowmfstream(const void* stream, std::uint32_t length, HLQMETAFILE* metafile, std::int32_t user,
                         LqProgressProc progress, short /*showErrors*/) {
    if (!metafile) return invalid();
    *metafile = nullptr;
    const Call call{progress, user};
    return fromStream(stream, length, [&](const Drawing& d) { return toMetafile(d, metafile, call); });
}

short readdxftoddb(const char* file, short /*width*/, short /*height*/, HLQBITMAP* bitmap, HLQPALETTE* palette,
                   std::int32_t user, LqProgressProc progress, short /*showErrors*/) {
    if (!bitmap) return invalid();
    *bitmap = nullptr;
    const Call call{progress, user};
    return fromFile(file, [&](const Drawing& d) { return toBitmap(d, bitmap, palette, call); });
}

short readdxftoddbstream(const void* stream, std::uint32_t length, short /*width*/, short /*height*/,
                         HLQBITMAP* bitmap, HLQPALETTE* palette, std::int32_t user, LqProgressProc progress,
                         short /*showErrors*/) {
    if (!bitmap) return invalid();
    *bitmap = nullptr;
    const Call call{progress, user};
    return fromStream(stream, length, [&](const Drawing& d) { return toBitmap(d, bitmap, palette, call); });
}

short readdxftodib(const char* file, short bits, short dither, HLQMEM* dib, std::int32_t user,
                   LqProgressProc progress, short showErrors) {
    if (!dib) return invalid();
    *dib = nullptr;
    const Call call{progress, user};
    return fromFile(file, [&](const Drawing& d) { return toDib(d, dib, bits, dither, showErrors, call); });
}

short readdxftodibstream(const void* stream, std::uint32_t length, short bits, short dither, HLQMEM* dib,
                         std::int32_t user, LqProgressProc progress, short showErrors) {
    if (!dib) return invalid();
    *dib = nullptr;
    const Call call{progress, user};
    return fromStream(stream, length, [&](const Drawing& d) { return toDib(d, dib, bits, dither, showErrors, call); });
}

short getdxfinfo(const char* file, short* width, short* height, short* bits) {
    if (!width || !height || !bits) return invalid();
    return fromFile(file, [&](const Drawing& d) { return toInfo(d, width, height, bits); });
}

short getdxfinfostream(const void* stream, std::uint32_t length, short* width, short* height, short* bits) {
    if (!width || !height || !bits) return invalid();
    return fromStream(stream, length, [&](const Drawing& d) { return toInfo(d, width, height, bits); });
}
