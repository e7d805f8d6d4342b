// The lowest layer: a DXF file as a sequence of groups (group code, value), ASCII or binary.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "dxflib/DxfError.h"
#include "dxflib/DxfInput.h"

namespace lqdxf {

// The longest ASCII line or binary text accepted.
constexpr std::size_t kMaxLineLength = 1 << 20;

enum class ValueKind : std::uint8_t { None, Integer, Real, Text };

struct Group {
    int code = 0;
    ValueKind kind = ValueKind::None;
    std::int64_t integer = 0;
    double real = 0;
    std::string_view text;  // valid until the next group is read
    std::uint32_t line = 0; // ASCII: line of the code; binary: number of the group
};

class GroupReader {
public:
    explicit GroupReader(Input& in);

    bool binary() const { return format_ != Format::Ascii; }
    // Reads the next group. False at the end of the data or on an error (error() tells).
    bool next(Group& g);
    const std::optional<DxfError>& error() const { return error_; }
    std::uint64_t groupsRead() const { return groups_; }

private:
    enum class Format { Ascii, Binary8, Binary16 };  // binary group codes of one or two bytes

    bool nextAscii(Group& g);
    bool nextBinary(Group& g);
    std::optional<std::string_view> readLine();
    bool readText(Group& g);
    bool fail(Reason r);

    Input& in_;
    Format format_ = Format::Ascii;
    std::optional<DxfError> error_;
    std::uint32_t line_ = 0;       // ASCII lines read
    std::uint32_t groupLine_ = 0;  // where the group being read starts, for errors
    std::uint64_t groups_ = 0;
};

}  // namespace lqdxf
