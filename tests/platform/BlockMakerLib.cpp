// A shared library standing in for a format library: it hands a block to its caller.
#include <cstring>

#include "platform/MemBlock.h"

extern "C" __attribute__((visibility("default"))) HLQMEM lqtestMakeBlockInOtherLibrary(std::size_t size) {
    HLQMEM h = lqMemAlloc(size);
    if (h && size) {
        std::memset(lqMemLock(h), 0x5A, size);
        lqMemUnlock(h);
    }
    return h;
}
