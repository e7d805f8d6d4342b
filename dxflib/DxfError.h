// Why reading or drawing a DXF drawing failed, and where.
#pragma once

#include <cstdint>
#include <string>

namespace lqdxf {

enum class Reason : std::uint32_t {
    None = 0,
    EndOfData = 1,        // the data ended early, or the drawing holds nothing drawable
    Syntax = 2,           // a group code or a number that cannot be read
    AngDirValue = 3,      // $ANGDIR not followed by an integer
    OutOfMemory = 4,
    TableOverflow = 6,    // a table holds more entries than its group 70 announced
    BlockCycle = 8,       // a block inserts itself, directly or through others
    NestingTooDeep = 9,   // blocks nested deeper than kMaxBlockNesting
    TooComplex = 10,      // more than kMaxDrawnEntities entities to draw once blocks are expanded
    LineTooLong = 11,     // an ASCII line, or a binary text, longer than kMaxLineLength
    TooLarge = 12,        // the extents are not finite numbers
    CannotOpen = 13,      // the file cannot be opened or read
    Cancelled = 14,       // the progress callback asked to stop
    ReduceFailed = 15,    // the colour reduction of a DIB failed
};

struct DxfError {
    Reason reason = Reason::None;
    std::uint32_t line = 0;  // ASCII: line of the group code; binary: number of the group
};

// The last-error value of a failure: reason + 3 combined with the line as line * 256 +
// (reason + 3); a source that cannot be read is 1, memory running out 7.
std::uint32_t lastErrorCode(const DxfError& e);
// "DXF: 12: syntax error in a group code line" or "DXF: drawing holds nothing to draw".
std::string errorText(std::uint32_t lastError);

}  // namespace lqdxf
