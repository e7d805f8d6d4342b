// Fuzz entry for the DXF reader and renderer: any bytes are read as a drawing; a drawing that
// reads is drawn into a metafile, which is played into a small bitmap.
#include <cstdint>

#include "dxflib/DxfMetafile.h"

// fontconfig keeps memory it allocates while reading its configuration for the life of the
// process; LeakSanitizer would report it at exit. The sanitizer runtime looks the function up
// by name, so it must be visible.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    lqdxf::Input in({data, size});
    lqdxf::Drawing d;
    if (lqdxf::readDrawing(in, d).reason != lqdxf::Reason::None) return 0;
    if (d.drawn > 20000) return 0;  // large drawings only cost time here
    lqdxf::DxfError error;
    HLQMETAFILE m = lqdxf::drawMetafile(d, {}, error);
    if (!m) return 0;
    HLQDC dc = lqCreateCompatibleDC(nullptr);
    HLQBITMAP b = lqCreateCompatibleBitmap(dc, 64, 48);
    HLQBITMAP old = lqSelectBitmap(dc, b);
    lqSetMapMode(dc, kLqMapAnisotropic);
    lqSetViewportExt(dc, 64, 48, nullptr);
    lqPlayMetafile(dc, m);
    lqSelectBitmap(dc, old);
    lqDeleteBitmap(b);
    lqDeleteDC(dc);
    lqDeleteMetafile(m);
    return 0;
}
