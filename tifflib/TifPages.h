// Page and tag operations in place: swap, move and delete pages by rewriting IFD links or the
// first entry, and list, read and write single tags.
#pragma once

#include <cstdint>
#include <vector>

#include "tifflib/TifDirectory.h"
#include "tifflib/TifIo.h"
#include "tifflib/TifWriter.h"
#include "tifflib/Vellum32.h"

namespace vellum {

struct PageCount {
    int pages = 0;
    int hidden = 0;   // reduced-resolution or deleted IFDs
    std::uint32_t error = 0;
};
PageCount countPages(TifIo& io);

// Checks that every IFD of the file begins with NewSubfileType, as pages written here do
// (the page operations change only that entry and the links).
std::uint32_t checkOwnLayout(const TifFile& file);

std::uint32_t swapPages(TifTarget& t, int a, int b);
// Takes page b out of the chain and puts it in front of page a.
std::uint32_t movePage(TifTarget& t, int a, int b);
std::uint32_t deletePage(TifTarget& t, int page);

std::uint32_t listTags(TifIo& io, int page, std::int32_t user, LqTagProc callback);
std::uint32_t readTag(TifIo& io, int page, std::uint16_t tag, short* count, std::int32_t* value, void** data);
std::uint32_t writeTag(TifTarget& t, int page, std::uint16_t tag, std::int32_t value);
std::uint32_t writeTagString(TifTarget& t, int page, std::uint16_t tag, const char* text);

// The tags of an IFD that the writer does not make itself, converted to `target` byte order,
// for a pack to carry over.
std::vector<ExtraTag> foreignTags(const TifFile& file, std::uint64_t ifd, ByteOrder target);

}  // namespace vellum
