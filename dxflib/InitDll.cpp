// Library-global state of Quadrant32: the owner window recorded by InitDLL.
#include "dxflib/Quadrant32.h"

namespace {
void* gOwnerWindow = nullptr;
}

LQ_EXPORT short LQ_STDCALL InitDLL(void* ownerWindow, const char* /*reserved*/) {
    gOwnerWindow = ownerWindow;
    return 1;
}
