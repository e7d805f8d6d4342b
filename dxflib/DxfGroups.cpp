#include "dxflib/DxfGroups.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace lqdxf {

namespace {

constexpr char kSentinel[] = "AutoCAD Binary DXF\r\n\x1a";  // and a final 0 byte
constexpr std::size_t kSentinelSize = 22;

// How a group's value is stored in a binary file.
enum class Stored { None, Byte, Int16, Int32, Eight, Double, Text, Chunk, Unknown };

Stored storedAs(int code, bool wideCodes) {
    struct Range { int first, last; Stored as; };
    static const Range kRanges[] = {
        {0, 9, Stored::Text},         {10, 59, Stored::Double},     {60, 79, Stored::Int16},
        {80, 89, Stored::Eight},      {90, 99, Stored::Int32},      {100, 109, Stored::Text},
        {110, 149, Stored::Double},   {150, 159, Stored::Int16},    {160, 169, Stored::Eight},
        {170, 179, Stored::Int16},    {180, 209, Stored::Eight},    {210, 239, Stored::Double},
        {270, 289, Stored::Int16},    {290, 299, Stored::Byte},     {300, 309, Stored::Text},
        {310, 319, Stored::Chunk},    {320, 369, Stored::Text},     {370, 389, Stored::Int16},
        {390, 399, Stored::Text},     {400, 409, Stored::Int16},    {410, 419, Stored::Text},
        {420, 429, Stored::Int32},    {430, 439, Stored::Text},     {440, 459, Stored::Int32},
        {460, 469, Stored::Double},   {470, 481, Stored::Text},     {999, 999, Stored::Text},
        {1000, 1003, Stored::Text},   {1004, 1004, Stored::Chunk},  {1005, 1009, Stored::Text},
        {1010, 1059, Stored::Double}, {1060, 1070, Stored::Int16},  {1071, 1071, Stored::Int32}};
    if (!wideCodes && code >= 240 && code <= 254) return Stored::None;
    for (const Range& r : kRanges)
        if (code >= r.first && code <= r.last) return r.as;
    return Stored::Unknown;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

// A whole decimal number in C notation, whatever the locale.
bool parseReal(std::string_view s, double& out) {
    s = trimmed(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return !s.empty() && ec == std::errc() && end == s.data() + s.size() && std::isfinite(out);
}

bool parseInteger(std::string_view s, std::int64_t& out) {
    s = trimmed(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return !s.empty() && ec == std::errc() && end == s.data() + s.size();
}

template <class T>
T little(const std::uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);  // the host is little-endian, as the format
    return v;
}

}  // namespace

GroupReader::GroupReader(Input& in) : in_(in) {
    auto head = in_.peek(kSentinelSize + 2);
    if (head.size() >= kSentinelSize && std::memcmp(head.data(), kSentinel, kSentinelSize) == 0) {
        // The first group is (0, "SECTION"): a second zero byte means two-byte group codes.
        format_ = head.size() >= kSentinelSize + 2 && head[kSentinelSize] == 0 && head[kSentinelSize + 1] == 0
                      ? Format::Binary16
                      : Format::Binary8;
        in_.consume(kSentinelSize);
    } else if (head.size() >= 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) {
        in_.consume(3);  // a UTF-8 byte order mark
    }
}

bool GroupReader::fail(Reason r) {
    if (!error_) error_ = DxfError{r, groupLine_};
    return false;
}

bool GroupReader::next(Group& g) {
    if (error_) return false;
    const bool ok = format_ == Format::Ascii ? nextAscii(g) : nextBinary(g);
    if (!in_.ok()) return fail(Reason::CannotOpen);
    if (ok) ++groups_;
    return ok;
}

// A line ends at LF, CR LF or a lone CR. The search looks at a window that grows up to the
// longest line accepted.
std::optional<std::string_view> GroupReader::readLine() {
    std::size_t want = 4096;
    for (;;) {
        const auto all = in_.peek(want);
        const bool ended = all.size() < want;  // the data ends inside the window
        const auto s = all.first(std::min(all.size(), want));
        if (s.empty()) return std::nullopt;
        const char* p = reinterpret_cast<const char*>(s.data());
        const auto* lf = static_cast<const char*>(std::memchr(p, '\n', s.size()));
        const std::size_t searched = lf ? std::size_t(lf - p) : s.size();
        const auto* cr = static_cast<const char*>(std::memchr(p, '\r', searched));
        if (cr && std::size_t(cr - p) + 1 == s.size() && !ended) {
            want = s.size() + 1;  // an LF may follow the CR just past the window
            continue;
        }
        if (cr || lf) {
            const std::size_t end = cr ? std::size_t(cr - p) : searched;
            const bool crlf = cr && end + 1 < s.size() && p[end + 1] == '\n';
            in_.consume(end + (crlf ? 2 : 1));
            ++line_;
            return std::string_view(p, end);
        }
        if (ended) {
            in_.consume(s.size());
            ++line_;
            return std::string_view(p, s.size());
        }
        if (want > kMaxLineLength) {
            fail(Reason::LineTooLong);
            return std::nullopt;
        }
        want = std::min(want * 4, kMaxLineLength + 1);
    }
}

bool GroupReader::nextAscii(Group& g) {
    groupLine_ = line_ + 1;
    const auto codeLine = readLine();
    if (!codeLine) return false;
    g.line = groupLine_;
    std::int64_t code = 0;
    if (!parseInteger(*codeLine, code) || code < -32768 || code > 32767) return fail(Reason::Syntax);
    auto value = readLine();
    if (!value) return error_ ? false : fail(Reason::EndOfData);
    g.code = int(code);
    g.kind = ValueKind::None;
    if (storedAs(g.code, true) == Stored::Text) {
        g.kind = ValueKind::Text;
        g.text = g.code == 0 || g.code == 9 ? trimmed(*value) : *value;
    } else if (g.code >= 10 && g.code <= 59) {
        g.kind = ValueKind::Real;
        if (!parseReal(*value, g.real)) return fail(Reason::Syntax);
    } else if (g.code >= 60 && g.code <= 79) {
        g.kind = ValueKind::Integer;
        if (!parseInteger(*value, g.integer)) return fail(Reason::Syntax);
    }
    return true;
}

// A zero-terminated text, looked for in a window that grows up to the longest text accepted.
bool GroupReader::readText(Group& g) {
    for (std::size_t want = 256;; want = std::min(want * 4, kMaxLineLength + 1)) {
        const auto all = in_.peek(want);
        const auto s = all.first(std::min(all.size(), want));
        if (s.empty()) return fail(Reason::EndOfData);
        const auto* nul = static_cast<const std::uint8_t*>(std::memchr(s.data(), 0, s.size()));
        if (nul) {
            g.kind = ValueKind::Text;
            g.text = std::string_view(reinterpret_cast<const char*>(s.data()), std::size_t(nul - s.data()));
            in_.consume(g.text.size() + 1);
            return true;
        }
        if (all.size() < want) return fail(Reason::EndOfData);
        if (want > kMaxLineLength) return fail(Reason::LineTooLong);
    }
}

bool GroupReader::nextBinary(Group& g) {
    groupLine_ = std::uint32_t(std::min<std::uint64_t>(groups_ + 1, UINT32_MAX));
    g.line = groupLine_;
    const bool wide = format_ == Format::Binary16;
    auto s = in_.peek(3);
    if (s.empty()) return false;
    std::size_t used = wide ? 2 : 1;
    if (s.size() < used) return fail(Reason::EndOfData);
    int code = wide ? little<std::uint16_t>(s.data()) : s[0];
    if (!wide && code == 255) {  // escape: an extended two-byte code follows
        if (s.size() < 3) return fail(Reason::EndOfData);
        code = little<std::uint16_t>(s.data() + 1);
        used = 3;
    }
    in_.consume(used);
    g.code = code;
    g.kind = ValueKind::None;
    static constexpr std::size_t kSizes[] = {0, 1, 2, 4, 8, 8};  // None, Byte, Int16, Int32, Eight, Double
    const Stored as = storedAs(code, wide);
    switch (as) {
    case Stored::Text: return readText(g);
    case Stored::Unknown: return fail(Reason::Syntax);  // its length cannot be known
    case Stored::Chunk: {  // a length byte and that many bytes
        s = in_.peek(256);
        if (s.empty() || s.size() < 1 + std::size_t(s[0])) return fail(Reason::EndOfData);
        in_.consume(1 + std::size_t(s[0]));
        return true;
    }
    default: {
        const std::size_t n = kSizes[std::size_t(as)];
        s = in_.peek(n);
        if (s.size() < n) return fail(Reason::EndOfData);
        if (as == Stored::Double) {
            g.kind = ValueKind::Real;
            g.real = little<double>(s.data());
            if (code >= 10 && code <= 59 && !std::isfinite(g.real)) return fail(Reason::Syntax);
        } else if (as == Stored::Int16 || as == Stored::Int32 || as == Stored::Byte) {
            g.kind = ValueKind::Integer;
            g.integer = as == Stored::Int16 ? little<std::int16_t>(s.data())
                        : as == Stored::Int32 ? little<std::int32_t>(s.data()) : s[0];
        }
        in_.consume(n);
        return true;
    }
    }
}

}  // namespace lqdxf
