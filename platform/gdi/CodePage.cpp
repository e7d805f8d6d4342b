#include "platform/GdiCodePage.h"

#include <cstdint>

namespace lqp {

namespace {

// Code points of the bytes 0x80-0x9F; U+FFFD where the code page leaves a byte undefined.
constexpr char16_t kHigh[32] = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
                                0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

char toByte(char32_t u) {
    if (u < 0x80 || (u >= 0xA0 && u < 0x100)) return char(u);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == u && u != 0xFFFD) return char(0x80 + i);
    return '?';
}

}  // namespace

std::string cp1252ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (unsigned char c : text) {
        const char32_t u = c >= 0x80 && c < 0xA0 ? kHigh[c - 0x80] : c;
        if (u < 0x80) {
            out += char(u);
        } else if (u < 0x800) {
            out += char(0xC0 | (u >> 6));
            out += char(0x80 | (u & 0x3F));
        } else {
            out += char(0xE0 | (u >> 12));
            out += char(0x80 | ((u >> 6) & 0x3F));
            out += char(0x80 | (u & 0x3F));
        }
    }
    return out;
}

std::string utf8ToCp1252(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        const int length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (length == 0 || i + std::size_t(length) > text.size()) {
            out += '?';
            ++i;
            continue;
        }
        char32_t u = length == 1 ? c : c & (0x7F >> length);
        bool valid = true;
        for (int k = 1; k < length; ++k) {
            const auto t = static_cast<unsigned char>(text[i + std::size_t(k)]);
            valid = valid && (t >> 6) == 2;
            u = (u << 6) | (t & 0x3F);
        }
        out += valid ? toByte(u) : '?';
        i += valid ? std::size_t(length) : 1;
    }
    return out;
}

}  // namespace lqp
