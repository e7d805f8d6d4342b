// Writing, page and tag exports that are not built yet: each answers -1 with the reason
// "not supported yet".
#include "tifflib/TifErrors.h"
#include "tifflib/Vellum32.h"
#include "tifflib/ttif.h"

using vellum::fail;
using vellum::kErrNotSupported;

extern "C" {

short writetiffiledib(const char*, short, short, short, HLQMEM, std::int32_t, LqProgressProc, short, const char*) {
    return fail(kErrNotSupported);
}
short writetiffiledibpage(const char*, short, short, short, HLQMEM, std::int32_t, LqProgressProc, short, const char*) {
    return fail(kErrNotSupported);
}
short writetiffiledibpagereplace(const char*, short, short, short, HLQMEM, std::int32_t, LqProgressProc, short,
                                 const char*) {
    return fail(kErrNotSupported);
}
short writetiffiledibstream(void**, std::uint32_t*, short, short, short, HLQMEM, std::int32_t, LqProgressProc, short,
                            const char*) {
    return fail(kErrNotSupported);
}
short writetiffiledibpagestream(void**, std::uint32_t*, short, short, short, HLQMEM, std::int32_t, LqProgressProc,
                                short, const char*) {
    return fail(kErrNotSupported);
}
short writetiffiledibpagereplacestream(void**, std::uint32_t*, short, short, short, HLQMEM, std::int32_t,
                                       LqProgressProc, short, const char*) {
    return fail(kErrNotSupported);
}
short swappages(const char*, short, short) { return fail(kErrNotSupported); }
short movepage(const char*, short, short) { return fail(kErrNotSupported); }
short deletepage(const char*, short) { return fail(kErrNotSupported); }
short packtiff(const char*, std::int32_t, LqProgressProc) { return fail(kErrNotSupported); }
short swappagesstream(void*, std::uint32_t, short, short) { return fail(kErrNotSupported); }
short movepagestream(void*, std::uint32_t, short, short) { return fail(kErrNotSupported); }
short deletepagestream(void*, std::uint32_t, short) { return fail(kErrNotSupported); }
short packtiffstream(void**, std::uint32_t*, std::int32_t, LqProgressProc) { return fail(kErrNotSupported); }
short returntags(const char*, short, std::int32_t, LqTagProc) { return fail(kErrNotSupported); }
short returntagsstream(const void*, std::uint32_t, short, std::int32_t, LqTagProc) { return fail(kErrNotSupported); }
short readtag(const char*, short, short, short*, std::int32_t*, void**) { return fail(kErrNotSupported); }
short readtagstream(const void*, std::uint32_t, short, short, short*, std::int32_t*, void**) {
    return fail(kErrNotSupported);
}
short writetag(const char*, short, short, std::int32_t) { return fail(kErrNotSupported); }
short writetagstream(void*, std::uint32_t, short, short, std::int32_t) { return fail(kErrNotSupported); }
short writetagstring(const char*, short, short, const char*) { return fail(kErrNotSupported); }
short writetagstringstream(void*, std::uint32_t, short, short, const char*) { return fail(kErrNotSupported); }

}  // extern "C"
