// Random access to a TIFF file image: a disk file or a memory stream (a TIFF file held in a
// movable memory block). Every read is bounded by the data length; a read past the end moves
// only what is there.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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

// A file image that can also be written: a disk file opened for update, or a buffer that a
// memory stream is copied into and committed from only when the whole operation succeeded.
class TifTarget : public TifIo {
public:
    // Writes n bytes at `offset`, growing the data; false when not all could be written.
    virtual bool writeAt(std::uint64_t offset, const void* src, std::size_t n) = 0;
    bool append(const void* src, std::size_t n) { return writeAt(size(), src, n); }
};

class BufferTarget : public TifTarget {
public:
    BufferTarget() = default;
    // `fixedSize`: writes must stay inside the given bytes (an in-place change of a stream).
    explicit BufferTarget(std::vector<std::uint8_t> bytes, bool fixedSize = false)
        : data_(std::move(bytes)), fixed_(fixedSize) {}
    std::size_t readAt(std::uint64_t offset, void* dst, std::size_t n) override;
    std::uint64_t size() const override { return data_.size(); }
    bool writeAt(std::uint64_t offset, const void* src, std::size_t n) override;
    const std::vector<std::uint8_t>& bytes() const { return data_; }
private:
    std::vector<std::uint8_t> data_;
    bool fixed_ = false;
};

// Opens a disk file for reading and writing (created when `create` is set); null on failure.
std::unique_ptr<TifTarget> openFileForUpdate(const std::string& path, bool create);

// Opens a disk file for reading; null when it cannot be opened.
std::unique_ptr<TifIo> openFileForRead(const std::string& path);
// Views a memory stream given by the address a lock of its block answered and the number of
// valid bytes (bounded by the block's size). Null when the address is not a locked block.
std::unique_ptr<TifIo> openStreamForRead(const void* address, std::uint32_t length);

}  // namespace vellum
