#include "rastervane/RVPcd.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "rastervane/RVCodec.h"

namespace rv {

namespace {

constexpr std::size_t kSector = 0x800;
constexpr std::size_t kSignatureOffset = kSector;
constexpr char kSignature[] = "PCD_IPI";
constexpr std::size_t kOrientationOffset = 0xE02;

struct Resolution {
    int width, height;
    std::size_t offset;  // of the first row pair
};

constexpr Resolution kResolutions[] = {
    {192, 128, 4 * kSector},
    {384, 256, 23 * kSector},
    {768, 512, 96 * kSector},
};

// PhotoYCC to RGB: luma is scaled by 1.3584, the chroma channels are centred on 156 and 137;
// results beyond 0..255 are clipped. Computed once into tables.
struct YccTables {
    std::int32_t luma[256];
    std::int32_t c1Blue[256], c1Green[256];
    std::int32_t c2Red[256], c2Green[256];
    YccTables() {
        constexpr double kFixed = 1 << 16;
        for (int i = 0; i < 256; ++i) {
            const double c1 = 2.2179 * (i - 156), c2 = 1.8215 * (i - 137);
            luma[i] = std::int32_t(std::lround(1.3584 * i * kFixed));
            c1Blue[i] = std::int32_t(std::lround(c1 * kFixed));
            c1Green[i] = std::int32_t(std::lround(-0.194 * c1 * kFixed));
            c2Red[i] = std::int32_t(std::lround(c2 * kFixed));
            c2Green[i] = std::int32_t(std::lround(-0.509 * c2 * kFixed));
        }
    }
};

std::uint8_t clip(std::int32_t fixed) {
    const std::int32_t v = (fixed + (1 << 15)) >> 16;
    return std::uint8_t(std::clamp(v, 0, 255));
}

// Turns the decoded image by the orientation code: 1 a quarter turn counter-clockwise,
// 2 half a turn, 3 a quarter turn clockwise.
bool rotateInto(const std::vector<std::uint8_t>& bgr, int w, int h, int orientation, OutputDib& dib) {
    const bool quarter = orientation == 1 || orientation == 3;
    if (!dib.create(quarter ? h : w, quarter ? w : h)) return false;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int dx = x, dy = y;
            if (orientation == 1) dx = y, dy = w - 1 - x;
            else if (orientation == 2) dx = w - 1 - x, dy = h - 1 - y;
            else if (orientation == 3) dx = h - 1 - y, dy = x;
            std::memcpy(dib.row(dy) + 3 * dx, &bgr[(std::size_t(y) * w + x) * 3], 3);
        }
    return true;
}

}  // namespace

bool LooksLikePcd(std::span<const std::uint8_t> data) {
    return data.size() >= kSignatureOffset + 7 && std::memcmp(data.data() + kSignatureOffset, kSignature, 7) == 0;
}

HLQMEM readpcdstreamdib(std::span<const std::uint8_t> pcd, TPCDMode mode, const RVProgress& progress) {
    RVSetOperation("Loading Photo CD image");
    if (!RVReport(progress, 0)) return nullptr;
    if (!LooksLikePcd(pcd)) {
        RVSetLastError(kRVErrFormat, "PCD: not a Photo CD image pack");
        return nullptr;
    }
    if (mode < pcd_BASE16 || mode > pcd_BASE) {
        RVSetLastError(kRVErrBadArgument, "PCD: unknown resolution");
        return nullptr;
    }
    const Resolution res = kResolutions[mode];
    const std::size_t w = std::size_t(res.width), h = std::size_t(res.height);
    const std::size_t pairBytes = 2 * w + w;  // two luma rows, then half-width C1 and C2 rows
    if (pcd.size() < res.offset + pairBytes * (h / 2)) {
        RVSetLastError(kRVErrRead, "PCD: file ends inside the image");
        return nullptr;
    }
    static const YccTables t;
    std::vector<std::uint8_t> bgr(w * h * 3);
    RowProgress report(progress, int(h));
    for (std::size_t pair = 0; pair < h / 2; ++pair) {
        const std::uint8_t* luma = pcd.data() + res.offset + pair * pairBytes;
        const std::uint8_t* c1 = luma + 2 * w;
        const std::uint8_t* c2 = c1 + w / 2;
        for (std::size_t row = 0; row < 2; ++row) {
            std::uint8_t* out = &bgr[(pair * 2 + row) * w * 3];
            for (std::size_t x = 0; x < w; ++x, out += 3) {
                const std::int32_t y = t.luma[luma[row * w + x]];
                const std::uint8_t a = c1[x / 2], b = c2[x / 2];
                out[0] = clip(y + t.c1Blue[a]);
                out[1] = clip(y + t.c1Green[a] + t.c2Green[b]);
                out[2] = clip(y + t.c2Red[b]);
            }
        }
        if (!report.row(int(pair * 2 + 2))) return nullptr;
    }
    OutputDib dib;
    if (!rotateInto(bgr, res.width, res.height, pcd[kOrientationOffset] & 3, dib) || !RVReport(progress, 100)) return nullptr;
    return dib.release();
}

HLQMEM readpcdfiledib(const std::string& fileName, TPCDMode mode, const RVProgress& progress) {
    return ReadFileWith(fileName, [&](std::span<const std::uint8_t> data) { return readpcdstreamdib(data, mode, progress); });
}

}  // namespace rv
