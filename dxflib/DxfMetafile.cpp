#include "dxflib/DxfMetafile.h"

#include "dxflib/DxfColors.h"
#include "dxflib/GdiBackend.h"

namespace lqdxf {

HLQMETAFILE drawMetafile(const Drawing& d, const Progress& progress, DxfError& error) {
    HLQDC dc = lqCreateMetafileDC();
    if (!dc) {
        error = {Reason::OutOfMemory, 0};
        return nullptr;
    }
    lqSetMapMode(dc, kLqMapAnisotropic);
    lqSetWindowOrg(dc, 0, 0, nullptr);
    lqSetWindowExt(dc, d.width, d.height, nullptr);
    bool finished = false;
    {
        GdiBackend backend(dc);
        finished = render(d, backend, progress);
    }
    HLQMETAFILE m = lqCloseMetafile(dc);
    if (!finished || !m) {
        lqDeleteMetafile(m);
        error = {finished ? Reason::OutOfMemory : Reason::Cancelled, 0};
        return nullptr;
    }
    return m;
}

HLQPALETTE makeColorPalette() {
    LqPaletteEntry entries[256];
    for (int i = 0; i < 256; ++i) {
        const lqp::ColorRef c = colorOfIndex(i);
        entries[i] = {lqp::redOf(c), lqp::greenOf(c), lqp::blueOf(c), 0};
    }
    return lqCreatePalette(entries, 256);
}

HLQBITMAP drawBitmap(const Drawing& d, HLQMETAFILE metafile, HLQPALETTE palette) {
    HLQDC dc = lqCreateCompatibleDC(nullptr);
    HLQBITMAP bitmap = lqCreateCompatibleBitmap(nullptr, kBitmapWidth, kBitmapHeight);
    if (!dc || !bitmap) {
        lqDeleteDC(dc);
        lqDeleteBitmap(bitmap);
        return nullptr;
    }
    HLQBITMAP oldBitmap = lqSelectBitmap(dc, bitmap);
    HLQPALETTE oldPalette = palette ? lqSelectPalette(dc, palette, false) : nullptr;
    lqRealizePalette(dc);
    // The drawing fills the bitmap, whatever its aspect ratio.
    lqSetMapMode(dc, kLqMapAnisotropic);
    lqSetWindowExt(dc, d.width, d.height, nullptr);
    lqSetViewportExt(dc, kBitmapWidth, kBitmapHeight, nullptr);
    lqSetTextAlign(dc, kLqAlignBottom);
    HLQGDIOBJ oldPen = lqSelectObject(dc, lqGetStockObject(kLqBlackPen));
    HLQGDIOBJ oldBrush = lqSelectObject(dc, lqGetStockObject(kLqBlackBrush));
    lqRectangle(dc, 0, 0, d.width, d.height);
    lqPlayMetafile(dc, metafile);
    lqSelectObject(dc, oldPen);
    lqSelectObject(dc, oldBrush);
    if (oldPalette) lqSelectPalette(dc, oldPalette, false);
    lqSelectBitmap(dc, oldBitmap);
    lqDeleteDC(dc);
    return bitmap;
}

}  // namespace lqdxf
