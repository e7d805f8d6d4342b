#include "tifflib/ColorTables.h"

#include <climits>
#include <vector>

#include "tifflib/Color.h"

namespace lqcolor {

namespace {

// The tone curve lifts dark greys and flattens the top: every value from 216 on is 254.
// The four values 244, 247, 250 and 253 fill the widest steps of the upper curve so that the
// table has one entry per grey level.
const std::uint8_t kTone[256] = {
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
    1, 1, 1, 1, 1, 1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10,
    11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26,
    27, 28, 29, 30, 31, 32, 32, 33, 34, 35, 35, 36, 37, 39, 39, 40,
    41, 42, 43, 44, 45, 46, 47, 47, 48, 49, 50, 51, 52, 53, 54, 55,
    56, 57, 58, 58, 59, 60, 61, 62, 63, 64, 65, 66, 67, 68, 69, 70,
    71, 72, 73, 74, 75, 76, 77, 78, 80, 81, 82, 83, 85, 86, 87, 88,
    89, 90, 91, 93, 94, 95, 96, 97, 99, 100, 101, 102, 103, 105, 106, 107,
    108, 110, 112, 114, 115, 116, 118, 120, 122, 124, 126, 128, 130, 132, 134, 136,
    138, 140, 143, 145, 147, 149, 152, 154, 156, 159, 161, 164, 166, 169, 171, 174,
    176, 178, 179, 181, 183, 185, 186, 188, 189, 190, 192, 194, 196, 198, 200, 202,
    204, 206, 208, 210, 212, 214, 217, 219, 221, 224, 227, 230, 232, 235, 237, 239,
    242, 244, 245, 247, 248, 250, 251, 253, 254, 254, 254, 254, 254, 254, 254, 254,
    254, 254, 254, 254, 254, 254, 254, 254, 254, 254, 254, 254, 254, 254, 254, 254,
    254, 254, 254, 254, 254, 254, 254, 254, 254, 254, 254, 254, 254, 254, 254, 254,
};

}  // namespace

const std::uint8_t kDitherMatrix[64] = {
    0,  32, 8,  40, 2,  34, 10, 42, 48, 16, 56, 24, 50, 18, 58, 26,
    12, 44, 4,  36, 14, 46, 6,  38, 60, 28, 52, 20, 62, 30, 54, 22,
    3,  35, 11, 43, 1,  33, 9,  41, 51, 19, 59, 27, 49, 17, 57, 25,
    15, 47, 7,  39, 13, 45, 5,  37, 63, 31, 55, 23, 61, 29, 53, 21,
};

const std::uint32_t kFixedPalette16[16] = {
    0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0xC0C0C0,
    0x808080, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF,
};

const std::uint32_t kFixedPalette256[256] = {
    0x000000, 0xC00000, 0x00C000, 0xC0C000, 0x0000C0, 0xC000C0, 0x00C0C0, 0xC0C0C0,
    0xC0DCC0, 0xA4C8F0, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080,
    0xF4BDAA, 0xF4CFAA, 0xF4E2AA, 0xF4F4AA, 0xE2F4AA, 0xCFF4AA, 0xBDF4AA, 0xAAF4AA,
    0xAAF4BD, 0xAAF4CF, 0xAAF4E2, 0xAAF4F4, 0xAAE2F4, 0xAACFF4, 0xAABDF4, 0xAAAAF4,
    0xBDAAF4, 0xCFAAF4, 0xE2AAF4, 0xF4AAF4, 0xF4AAE2, 0xF4AACF, 0xF4AABD, 0xF3ABAD,
    0xEF9F85, 0xEFBA85, 0xEFD585, 0xEFEF85, 0xD5EF85, 0xBAEF85, 0x9FEF85, 0x85EF85,
    0x85EF9F, 0x85EFBA, 0x85EFD5, 0x85EFEF, 0x85D5EF, 0x85BAEF, 0x859FEF, 0x8585EF,
    0x9F85EF, 0xBA85EF, 0xD585EF, 0xEF85EF, 0xEF85D5, 0xEF85BA, 0xEF859F, 0xEE8688,
    0xEA8360, 0xEAA560, 0xEAC860, 0xEAEA60, 0xC8EA60, 0xA5EA60, 0x83EA60, 0x60EA60,
    0x60EA83, 0x60EAA5, 0x60EAC8, 0x60EAEA, 0x60C8EA, 0x60A5EA, 0x6083EA, 0x6060EA,
    0x8360EA, 0xA560EA, 0xC860EA, 0xEA60EA, 0xEA60C8, 0xEA60A5, 0xEA6083, 0xE96164,
    0xE4653A, 0xE48F3A, 0xE4BA3A, 0xE4E43A, 0xBAE43A, 0x8FE43A, 0x65E43A, 0x3AE43A,
    0x3AE465, 0x3AE48F, 0x3AE4BA, 0x3AE4E4, 0x3ABAE4, 0x3A8FE4, 0x3A65E4, 0x3A3AE4,
    0x653AE4, 0x8F3AE4, 0xBA3AE4, 0xE43AE4, 0xE43ABA, 0xE43A8F, 0xE43A65, 0xE33C40,
    0xD74D1E, 0xD77A1E, 0xD7A91E, 0xD7D71E, 0xA9D71E, 0x7AD71E, 0x4DD71E, 0x1ED74D,
    0x1ED77A, 0x1ED7A9, 0x1ED7D7, 0x1EA9D7, 0x1E7AD7, 0x1E4DD7, 0x1E1ED7, 0x4D1ED7,
    0x7A1ED7, 0xA91ED7, 0xD71ED7, 0xD71EA9, 0xD71E7A, 0xD71E4D, 0xD61F23, 0xB0401A,
    0xB16518, 0xB18B18, 0xB1B118, 0x8BB118, 0x65B118, 0x3FB118, 0x18B13F, 0x18B165,
    0x18B18B, 0x18B1B1, 0x188BB1, 0x1865B1, 0x183FB1, 0x1818B1, 0x3F18B1, 0x6518B1,
    0x8B18B1, 0xB118B1, 0xB1188B, 0xB11865, 0xB1183F, 0xB01A1E, 0x8B3214, 0x8C5013,
    0x8C6F13, 0x8C8C13, 0x6F8C13, 0x508C13, 0x328C13, 0x138C13, 0x138C50, 0x138C6F,
    0x138C8C, 0x136F8C, 0x13508C, 0x13328C, 0x32138C, 0x50138C, 0x6F138C, 0x8C138C,
    0x8C136F, 0x8C1350, 0x8C1332, 0x8B1417, 0x66250F, 0x67510E, 0x67670E, 0x51670E,
    0x3A670E, 0x24670E, 0x0E6724, 0x0E6751, 0x0E6767, 0x0E5167, 0x0E3A67, 0x0E2467,
    0x3A0E67, 0x510E67, 0x670E67, 0x670E51, 0x670E3A, 0x303030, 0x474747, 0x5F5F5F,
    0x777777, 0x8F8F8F, 0xA7A7A7, 0xBEBEBE, 0xD6D6D6, 0xEEEEEE, 0xF9DBD0, 0xF9E4D0,
    0xF9EFD0, 0xF9F9D0, 0xEFF9D0, 0xE4F9D0, 0xDBF9D0, 0xD0F9D0, 0xD0F9DB, 0xD0F9E4,
    0xD0F9EF, 0xD0F9F9, 0xD0EFF9, 0xD0E4F9, 0xD0DBF9, 0xD0D0F9, 0xDBD0F9, 0xE4D0F9,
    0xEFD0F9, 0xF9D0F9, 0xF9D0EF, 0xF9D0E4, 0xF9D0DB, 0xF9D0D1, 0xFCEAE2, 0xFCEFE2,
    0xFCF5E2, 0xFCFCE2, 0xF5FCE2, 0xEFFCE2, 0xFFFBF0, 0xA0A0A4, 0x808080, 0xFF0000,
    0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF, 0xFFFBF0, 0xA0A0A4,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

const std::uint8_t* toneTable() { return kTone; }

std::uint8_t toneGrey(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return kTone[(30 * r + 59 * g + 11 * b) / 100];
}

namespace {

std::vector<std::uint16_t> buildLookup(const std::uint32_t* palette, int count) {
    std::vector<std::uint16_t> table(32768);
    for (int key = 0; key < 32768; ++key) {
        const int r = ((key >> 10) & 31) * 8 + 4, g = ((key >> 5) & 31) * 8 + 4, b = (key & 31) * 8 + 4;
        int best = INT_MAX;
        for (int i = 0; i < count; ++i) {
            const int dr = r - int(palette[i] >> 16), dg = g - int((palette[i] >> 8) & 255),
                      db = b - int(palette[i] & 255);
            const int d = dr * dr + dg * dg + db * db;
            if (d < best) {
                best = d;
                table[key] = std::uint16_t(i);
            }
        }
    }
    return table;
}

}  // namespace

const std::uint16_t* fixedPaletteLookup(int colors) {
    static const std::vector<std::uint16_t> lookup16 = buildLookup(kFixedPalette16, 16);
    if (colors <= 16) return lookup16.data();
    static const std::vector<std::uint16_t> lookup256 = buildLookup(kFixedPalette256, 256);
    return lookup256.data();
}

}  // namespace lqcolor
