#include "rastervane/RVGif.h"

#include <gif_lib.h>

#include <cstring>
#include <vector>

#include "rastervane/RVCodec.h"
#include "tifflib/Color.h"

namespace rv {

namespace {

int appendToVector(GifFileType* gif, const GifByteType* bytes, int length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(gif->UserData);
    out->insert(out->end(), bytes, bytes + length);
    return length;
}

bool fail(int code, const std::string& text) {
    RVSetLastError(code, "GIF: " + text);
    return false;
}

// A 24-bit copy of a 16- or 32-bit DIB, which the colour reduction takes.
HLQMEM to24Bits(const InputDib& in) {
    OutputDib copy;
    if (!copy.create(in.width(), in.height())) return nullptr;
    for (int y = 0; y < in.height(); ++y) in.rowToBgr(y, copy.row(y));
    return copy.release();
}

// The indexed DIB to write: the input itself, or its reduction to 256 colours (owned).
bool indexedDib(HLQMEM dib, lqp::MemOwner& reduced, InputDib& indexed) {
    InputDib in;
    if (!in.open(dib)) return false;
    if (in.bits() <= 8) return indexed.open(dib);
    lqp::MemOwner wide(in.bits() == 24 ? nullptr : to24Bits(in));
    if (in.bits() != 24 && !wide) return false;
    reduced.reset(ReduceColorToColor(wide ? wide.get() : dib, 256, kReduceFloyd));
    if (!reduced) return fail(kRVErrNoMemory, "colour reduction failed");
    return indexed.open(reduced.get());
}

}  // namespace

bool wrgiffiledib(const std::string& fileName, HLQMEM dib, const RVProgress& progress) {
    RVSetOperation("Saving GIF image");
    lqp::MemOwner reduced;
    InputDib in;
    if (!RVReport(progress, 0) || !indexedDib(dib, reduced, in)) return false;
    if (in.width() > 0xFFFF || in.height() > 0xFFFF) return fail(kRVErrTooLarge, "images above 65535 pixels cannot be stored");

    // GIF colour maps hold a power of two entries.
    const auto table = in.colorTable();
    const int colors = int(table.size() / 4);
    int mapSize = 2;
    while (mapSize < colors) mapSize *= 2;
    std::vector<GifColorType> entries(std::size_t(mapSize), GifColorType{0, 0, 0});
    for (int i = 0; i < colors; ++i) entries[std::size_t(i)] = {table[std::size_t(i) * 4 + 2], table[std::size_t(i) * 4 + 1], table[std::size_t(i) * 4]};
    ColorMapObject* map = GifMakeMapObject(mapSize, entries.data());
    if (!map) return fail(kRVErrNoMemory, "Can't allocate memory");

    std::vector<std::uint8_t> bytes;
    int error = 0;
    GifFileType* gif = EGifOpen(&bytes, appendToVector, &error);
    bool ok = gif && EGifPutScreenDesc(gif, in.width(), in.height(), 8, 0, map) == GIF_OK &&
              EGifPutImageDesc(gif, 0, 0, in.width(), in.height(), false, nullptr) == GIF_OK;
    std::vector<GifPixelType> line(std::size_t(in.width()));
    RowProgress report(progress, in.height());
    bool cancelled = false;
    for (int y = 0; ok && y < in.height(); ++y) {
        UnpackIndices(in.row(y), in.bits(), in.width(), line.data());
        ok = EGifPutLine(gif, line.data(), in.width()) == GIF_OK;
        if (ok && !report.row(y + 1)) cancelled = true, ok = false;
    }
    if (!ok && gif) error = gif->Error;
    if (gif && EGifCloseFile(gif, &error) != GIF_OK) ok = false;
    GifFreeMapObject(map);
    if (!ok) {
        if (!cancelled) fail(kRVErrWrite, GifErrorString(error) ? GifErrorString(error) : "encoding failed");
        return false;
    }
    return WriteWholeFile(fileName, bytes) && RVReport(progress, 100);
}

}  // namespace rv
