// Writing one DIB as a TIFF page: a new file or a page appended to an existing one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/MemBlock.h"
#include "tifflib/TifIo.h"
#include "tifflib/TifReader.h"

namespace vellum {

// The writer's options. Keys are case-insensitive; values keep their case (paths and names
// are written as given) and enumerated values compare without regard to case.
class WriteOptions {
public:
    void set(const std::string& key, const std::string& value);
    std::optional<std::string> get(const std::string& key) const;
    bool is(const std::string& key, const std::string& value) const;
    // A decimal option; empty when missing or not a number.
    std::optional<std::uint32_t> number(const std::string& key) const;
private:
    std::vector<std::pair<std::string, std::string>> entries_;
};

// A tag copied as it stands (data in the target file's byte order).
struct ExtraTag {
    std::uint16_t tag = 0;
    std::uint16_t type = 0;
    std::uint32_t count = 0;
    std::vector<std::uint8_t> data;
};

// Compression code the options ask for: 1 without COMPRESS=ON; for 1-bit images MODCCITT 2,
// GROUP3 3, GROUP4 4, LZW 5, else PackBits; other depths LZW 5 or PackBits 32773, else 1.
std::uint32_t chooseCompression(const WriteOptions& options, int bits);

struct PageWrite {
    HLQMEM dib = nullptr;                 // 1, 4, 8 or 24 bits, validated by the caller
    WriteOptions options;
    std::vector<ExtraTag> extraTags;      // copied by a pack
    Progress progress;
};

// Writes the page at the end of `target` (an empty target becomes a new little-endian file,
// an existing one must have a valid header) and links it as the last IFD. Answers 0 or a
// reason code.
std::uint32_t writePage(TifTarget& target, const PageWrite& page);

}  // namespace vellum
