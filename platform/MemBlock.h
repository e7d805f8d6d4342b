// Movable global memory blocks.
//
// A block is addressed by a handle, never by its address: the address is only valid between
// lqMemLock and lqMemUnlock and may change when the block is reallocated. Images cross the
// boundary between the program and the format libraries as blocks, and whoever receives a
// block frees it, so all blocks of a process live in one registry inside liblqplatform.so.
//
// Every function checks its handle: a null, unknown or already freed handle is an error
// answer (null, 0, false or -1) with kLqErrInvalidHandle in the last-error slot, never a crash.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Export.h"

extern "C" {

struct LqMemBlockTag;
using HLQMEM = LqMemBlockTag*;

// Largest block the registry hands out (the exports measure lengths in 32 bits).
constexpr std::size_t kLqMemMaxBlock = 0xFFFFFFFFu;

// New zero-filled block of `size` bytes (0 is allowed), or null when out of memory.
LQP_API HLQMEM lqMemAlloc(std::size_t size);
// Address of the block's data; raises the lock count. Null for a bad handle.
LQP_API void* lqMemLock(HLQMEM h);
// Lowers the lock count. Answers the remaining lock count, or -1 for a bad handle or a
// block that was not locked.
LQP_API int lqMemUnlock(HLQMEM h);
// Current lock count, or -1 for a bad handle.
LQP_API int lqMemLockCount(HLQMEM h);
// Size in bytes, 0 for a bad handle (check lqMemIsValid to tell an empty block apart).
LQP_API std::size_t lqMemSize(HLQMEM h);
LQP_API bool lqMemIsValid(HLQMEM h);
// Grows or shrinks the block, keeping its content up to the smaller size and zero-filling
// what is new. The handle stays the same; the data may move, so an address obtained from an
// earlier lock is stale afterwards (the lock count is kept). On failure the block is unchanged
// and the answer is null.
LQP_API HLQMEM lqMemReAlloc(HLQMEM h, std::size_t size);
// Frees the block (locked or not). Answers true on success, false for a bad handle.
LQP_API bool lqMemFree(HLQMEM h);
// The handle of the block whose data starts at `address` (the address a lock answered), or
// null when no live block starts there.
LQP_API HLQMEM lqMemHandleOf(const void* address);
// Number of live blocks in the process; tests compare it before and after to catch leaks.
LQP_API std::size_t lqMemLiveBlocks();

}  // extern "C"

namespace lqp {

// Scoped lock of a block: locks in the constructor, unlocks in the destructor.
class MemLock {
public:
    explicit MemLock(HLQMEM h) : h_(h), p_(static_cast<std::uint8_t*>(lqMemLock(h))) {}
    ~MemLock() { if (p_) lqMemUnlock(h_); }
    MemLock(const MemLock&) = delete;
    MemLock& operator=(const MemLock&) = delete;
    std::uint8_t* data() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
private:
    HLQMEM h_;
    std::uint8_t* p_;
};

// Owns a block until release(); frees it on destruction.
class MemOwner {
public:
    MemOwner() = default;
    explicit MemOwner(HLQMEM h) : h_(h) {}
    ~MemOwner() { reset(); }
    MemOwner(MemOwner&& o) noexcept : h_(o.release()) {}
    MemOwner& operator=(MemOwner&& o) noexcept { if (this != &o) { reset(); h_ = o.release(); } return *this; }
    MemOwner(const MemOwner&) = delete;
    MemOwner& operator=(const MemOwner&) = delete;
    HLQMEM get() const { return h_; }
    HLQMEM release() { HLQMEM h = h_; h_ = nullptr; return h; }
    void reset(HLQMEM h = nullptr) { if (h_) lqMemFree(h_); h_ = h; }
    explicit operator bool() const { return h_ != nullptr; }
private:
    HLQMEM h_ = nullptr;
};

}  // namespace lqp
