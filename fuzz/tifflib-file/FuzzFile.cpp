// Fuzzes the TIFF file reader: the input becomes a file (an anonymous memory file, reached by
// its /proc path) that getinfo and readtiffiledib read, with a depth conversion chosen by the
// input's length.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "tifflib/Vellum32.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int fd = memfd_create("tifflib-fuzz", MFD_CLOEXEC);
    if (fd < 0) return 0;
    if (::write(fd, data, size) == ssize_t(size)) {
        const std::string path = "/proc/self/fd/" + std::to_string(fd);
        std::int32_t w, h, reserved;
        short comp, pages, bpp;
        getinfo(path.c_str(), 0, &w, &h, &comp, &reserved, &pages, &bpp);
        static const short kDepths[] = {0, 1, 4, 8, 24};
        HLQMEM dib = nullptr;
        if (readtiffiledib(path.c_str(), kDepths[size % 5], 1, short(size % 3), &dib, 0, nullptr, 0, nullptr) == 1)
            lqMemFree(dib);
    }
    ::close(fd);
    return 0;
}
