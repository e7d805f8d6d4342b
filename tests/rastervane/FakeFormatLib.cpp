// A stand-in format library for the import layer tests: counts InitDLL calls and offers one
// other export.
extern "C" {

__attribute__((visibility("default"))) int fakeInitCount = 0;
__attribute__((visibility("default"))) void* fakeInitWindow = reinterpret_cast<void*>(1);

__attribute__((visibility("default"))) short InitDLL(void* window, const char*) {
    ++fakeInitCount;
    fakeInitWindow = window;
    return 1;
}

__attribute__((visibility("default"))) int fakeAnswer() { return 42; }
}
