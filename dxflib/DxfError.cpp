#include "dxflib/DxfError.h"

#include <algorithm>

namespace lqdxf {

namespace {

const char* reasonText(std::uint32_t reason) {
    switch (Reason(reason)) {
    case Reason::EndOfData: return "the data ended early, or the drawing holds nothing to draw";
    case Reason::Syntax: return "syntax error in a group code or number";
    case Reason::AngDirValue: return "$ANGDIR is not followed by an integer";
    case Reason::OutOfMemory: return "out of memory";
    case Reason::TableOverflow: return "a table holds more entries than it announced";
    case Reason::BlockCycle: return "a block inserts itself";
    case Reason::NestingTooDeep: return "blocks are nested too deeply";
    case Reason::TooComplex: return "too many entities to draw";
    case Reason::LineTooLong: return "a line or text is too long";
    case Reason::TooLarge: return "the drawing's extents are too large";
    case Reason::CannotOpen: return "the file cannot be opened or read";
    case Reason::Cancelled: return "cancelled";
    case Reason::ReduceFailed: return "the colour reduction failed";
    default: return "unknown error";
    }
}

}  // namespace

std::uint32_t lastErrorCode(const DxfError& e) {
    if (e.reason == Reason::CannotOpen) return 1;
    return std::min<std::uint32_t>(e.line, 0xFFFFFF) * 256 + std::uint32_t(e.reason) + 3;
}

std::string errorText(std::uint32_t lastError) {
    if (lastError == 1) return std::string("DXF: ") + reasonText(std::uint32_t(Reason::CannotOpen));
    const std::uint32_t low = lastError & 0xFF, line = lastError >> 8;
    const std::string reason = low >= 3 ? reasonText(low - 3) : "unknown error";
    return line ? "DXF: " + std::to_string(line) + ": " + reason : "DXF: " + reason;
}

}  // namespace lqdxf
