#include "rastervane/RVFileInfo.h"

#include <cstring>
#include <vector>

#include "rastervane/RVCodec.h"
#include "rastervane/RVImport.h"
#include "rastervane/RVPcd.h"
#include "rastervane/RVTga.h"

namespace rv {

namespace {

bool startsWith(std::span<const std::uint8_t> data, const char* magic, std::size_t length) {
    return data.size() >= length && std::memcmp(data.data(), magic, length) == 0;
}

// Walks the JPEG marker segments up to the frame header (SOF0..SOF15 except DHT, JPG, DAC).
bool jpegInfo(std::span<const std::uint8_t> data, RVFileInfo& info) {
    ByteReader r(data);
    r.skip(2);
    while (r.ok()) {
        if (r.u8() != 0xFF) return false;
        std::uint8_t marker = r.u8();
        while (marker == 0xFF && r.ok()) marker = r.u8();  // fill bytes
        if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) continue;
        const std::uint16_t length = r.be16();
        if (length < 2) return false;
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            const std::uint8_t precision = r.u8();
            info.height = r.be16();
            info.width = r.be16();
            info.bits = precision * r.u8();
            return r.ok();
        }
        r.skip(length - 2u);
    }
    return false;
}

bool pngInfo(std::span<const std::uint8_t> data, RVFileInfo& info) {
    ByteReader r(data);
    r.skip(16);  // signature, IHDR length and type
    info.width = int(r.be32() & 0x7FFFFFFF);
    info.height = int(r.be32() & 0x7FFFFFFF);
    const int depth = r.u8();
    const int colorType = r.u8();
    const int channels = colorType == 2 ? 3 : colorType == 4 ? 2 : colorType == 6 ? 4 : 1;
    info.bits = depth * channels;
    return r.ok();
}

bool bmpInfo(std::span<const std::uint8_t> data, RVFileInfo& info) {
    ByteReader r(data);
    r.skip(14);
    const std::uint32_t size = r.le32();
    if (size == 12) {
        info.width = r.le16();
        info.height = r.le16();
    } else {
        info.width = int(r.le32());
        const std::int32_t h = std::int32_t(r.le32());
        info.height = h < 0 && h != INT32_MIN ? -h : h;
    }
    r.skip(2);
    info.bits = r.le16();
    return r.ok();
}

bool gifInfo(std::span<const std::uint8_t> data, RVFileInfo& info) {
    ByteReader r(data);
    r.skip(6);
    info.width = r.le16();
    info.height = r.le16();
    info.bits = (r.u8() & 7) + 1;
    return r.ok();
}

bool pcxInfo(std::span<const std::uint8_t> data, RVFileInfo& info) {
    ByteReader r(data);
    r.skip(3);
    const int bits = r.u8();
    const int xMin = r.le16(), yMin = r.le16(), xMax = r.le16(), yMax = r.le16();
    r.seek(65);
    info.bits = bits * r.u8();
    info.width = xMax - xMin + 1;
    info.height = yMax - yMin + 1;
    return r.ok() && info.width > 0 && info.height > 0;
}

bool tgaInfo(std::span<const std::uint8_t> data, RVFileInfo& info) {
    ByteReader r(data);
    r.skip(12);
    info.width = r.le16();
    info.height = r.le16();
    info.bits = r.u8();
    return r.ok();
}

bool looksLikePcx(std::span<const std::uint8_t> data) {
    if (data.size() < 128 || data[0] != 0x0A || data[1] > 5 || data[2] > 1) return false;
    return (data[3] == 1 || data[3] == 2 || data[3] == 4 || data[3] == 8) && data[65] >= 1 && data[65] <= 4;
}

bool isTiff(std::span<const std::uint8_t> data) { return startsWith(data, "II*\0", 4) || startsWith(data, "MM\0*", 4); }

// Tells the format by content; the checks with a signature come first, TGA (which has none)
// last. Fills the type and, except for TIFF, the header values.
bool identify(std::span<const std::uint8_t> data, RVFileInfo& info) {
    info = {};
    bool ok = false;
    if (startsWith(data, "\xFF\xD8\xFF", 3)) info.type = "JPEG", ok = jpegInfo(data, info);
    else if (startsWith(data, "\x89PNG\r\n\x1A\n", 8)) info.type = "PNG", ok = pngInfo(data, info);
    else if (startsWith(data, "BM", 2)) info.type = "BMP", ok = bmpInfo(data, info);
    else if (startsWith(data, "GIF87a", 6) || startsWith(data, "GIF89a", 6)) info.type = "GIF", ok = gifInfo(data, info);
    else if (isTiff(data)) info.type = "TIF", ok = true;
    else if (LooksLikePcd(data)) info.type = "PCD", info.width = 768, info.height = 512, info.bits = 24, ok = true;
    else if (looksLikePcx(data)) info.type = "PCX", ok = pcxInfo(data, info);
    else if (LooksLikeTga(data)) info.type = "TGA", ok = tgaInfo(data, info);
    else {
        RVSetLastError(kRVErrFormat, "Unknown file format");
        return false;
    }
    if (!ok) RVSetLastError(kRVErrRead, info.type + ": the header is incomplete");
    return ok;
}

}  // namespace

bool fileinfo(const std::string& fileName, RVFileInfo& info) {
    // The headers lie at the start, except a JPEG frame header behind large metadata.
    constexpr std::size_t kStart = 1 << 16;
    std::vector<std::uint8_t> bytes;
    if (!ReadFileStart(fileName, kStart, bytes)) return false;
    bool found = identify(bytes, info);
    if (!found && info.type == "JPEG" && bytes.size() == kStart) found = ReadWholeFile(fileName, bytes) && identify(bytes, info);
    if (!found) return false;
    if (info.type != "TIF") return true;
    RVTiffInfo tiff;
    if (!tiffinfo(fileName, 0, tiff)) return false;
    info.width = tiff.width;
    info.height = tiff.height;
    info.bits = tiff.bits;
    return true;
}

}  // namespace rv
