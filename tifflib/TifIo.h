// Random access to a TIFF file image: a disk file or a memory stream (a TIFF file held in a
// movable memory block). Every read is bounded by the data length; a read past the end moves
// only what is there.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/MemBlock.h"

namespace vellum {

class TifIo {
public:
    virtual ~TifIo() = default;
    // Copies up to n bytes from `offset`; answers the number of bytes moved.
    virtual std::size_t readAt(std::uint64_t offset, void* dst, std::size_t n) = 0;
    // Number of valid bytes.
    virtual std::uint64_t size() const = 0;
    bool readExact(std::uint64_t offset, void* dst, std::size_t n) { return readAt(offset, dst, n) == n; }
};

// Opens a disk file for reading; null when it cannot be opened.
std::unique_ptr<TifIo> openFileForRead(const std::string& path);
// Views a memory stream given by the address a lock of its block answered and the number of
// valid bytes (bounded by the block's size). Null when the address is not a locked block.
std::unique_ptr<TifIo> openStreamForRead(const void* address, std::uint32_t length);

}  // namespace vellum
