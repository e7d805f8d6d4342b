// Fuzzes the .QJG reader on whole files in memory: header, password hash, JPEG length and the
// embedded JPEG. The seeds carry the file password's hash or none, so the JPEG is reached.
#include <QByteArrayView>

#include <cstdint>

#include "imaging/LQQjg.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    HLQMEM dib = TLQQjgFile::ReadBytes(QByteArrayView(data, qsizetype(size)));
    if (dib) lqMemFree(dib);
    return 0;
}
