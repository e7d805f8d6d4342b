// The code page of texts drawn through the drawing layer: Windows-1252, the code page of the
// system's stored files. Bytes 0x80-0x9F are that code page's letters and signs.
#pragma once

#include <string>
#include <string_view>

#include "platform/Export.h"

namespace lqp {

LQP_API std::string cp1252ToUtf8(std::string_view text);
// Characters that Windows-1252 lacks, and bytes that are not UTF-8, become '?'.
LQP_API std::string utf8ToCp1252(std::string_view text);

}  // namespace lqp
