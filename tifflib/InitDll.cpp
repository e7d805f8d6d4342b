// Library-global state of Vellum32: the owner window recorded by InitDLL.
#include "platform/Export.h"

namespace {
void* gOwnerWindow = nullptr;
}

LQ_EXPORT short LQ_STDCALL InitDLL(void* ownerWindow, const char* /*reserved*/) {
    gOwnerWindow = ownerWindow;
    return 1;
}
