#include "platform/MemBlock.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/LastError.h"

namespace {

// Large blocks are images that are about to be filled row after row: asking for huge pages
// turns thousands of page faults (costly, in virtual machines above all) into a few dozen.
// Only advice on the block's whole pages; the memory stays the C allocator's.
void adviseHugePages(void* data, std::size_t size) {
    constexpr std::size_t kWorthIt = std::size_t(4) << 20;
    if (size < kWorthIt) return;
    static const std::uintptr_t page = std::uintptr_t(::sysconf(_SC_PAGESIZE));
    const std::uintptr_t begin = (std::uintptr_t(data) + page - 1) & ~(page - 1);
    const std::uintptr_t end = (std::uintptr_t(data) + size) & ~(page - 1);
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

struct Block {
    void* data = nullptr;      // never null, even for a 0-byte block, so that addresses are unique
    std::size_t size = 0;
    int locks = 0;
};

// Handles are sequence numbers, never addresses: a stale or forged handle finds nothing in
// the map instead of touching freed memory. Numbers are not reused within a process.
class Registry {
public:
    static Registry& instance() {
        static Registry* r = new Registry;  // never destroyed: blocks may be freed during exit
        return *r;
    }

    HLQMEM alloc(std::size_t size) {
        if (size > kLqMemMaxBlock) return fail(kLqErrOutOfMemory);
        void* p = std::calloc(size ? size : 1, 1);
        if (!p) return fail(kLqErrOutOfMemory);
        adviseHugePages(p, size);
        std::lock_guard g(mutex_);
        const std::uintptr_t id = ++last_;
        blocks_.emplace(id, Block{p, size, 0});
        byAddress_.emplace(p, id);
        return toHandle(id);
    }

    void* lock(HLQMEM h) {
        std::lock_guard g(mutex_);
        Block* b = find(h);
        if (!b) return nullptr;
        ++b->locks;
        return b->data;
    }

    int unlock(HLQMEM h) {
        std::lock_guard g(mutex_);
        Block* b = find(h);
        if (!b) return -1;
        if (b->locks == 0) {
            lqSetLastError(kLqErrNotLocked);
            return -1;
        }
        return --b->locks;
    }

    int lockCount(HLQMEM h) {
        std::lock_guard g(mutex_);
        Block* b = find(h);
        return b ? b->locks : -1;
    }

    std::size_t size(HLQMEM h) {
        std::lock_guard g(mutex_);
        Block* b = find(h);
        return b ? b->size : 0;
    }

    bool valid(HLQMEM h) {
        std::lock_guard g(mutex_);
        return find(h, false) != nullptr;
    }

    HLQMEM realloc(HLQMEM h, std::size_t size) {
        if (size > kLqMemMaxBlock) return fail(kLqErrOutOfMemory);
        std::lock_guard g(mutex_);
        Block* b = find(h);
        if (!b) return nullptr;
        void* p = std::realloc(b->data, size ? size : 1);
        if (!p) return fail(kLqErrOutOfMemory);
        if (p != b->data) adviseHugePages(p, size);
        if (size > b->size) std::memset(static_cast<char*>(p) + b->size, 0, size - b->size);
        byAddress_.erase(b->data);
        b->data = p;
        b->size = size;
        byAddress_.emplace(p, fromHandle(h));
        return h;
    }

    bool free(HLQMEM h) {
        void* p = nullptr;
        {
            std::lock_guard g(mutex_);
            auto it = blocks_.find(fromHandle(h));
            if (it == blocks_.end()) {
                lqSetLastError(kLqErrInvalidHandle);
                return false;
            }
            p = it->second.data;
            byAddress_.erase(p);
            blocks_.erase(it);
        }
        std::free(p);
        return true;
    }

    HLQMEM handleOf(const void* address) {
        std::lock_guard g(mutex_);
        auto it = byAddress_.find(const_cast<void*>(address));
        if (it == byAddress_.end()) {
            lqSetLastError(kLqErrInvalidHandle);
            return nullptr;
        }
        return toHandle(it->second);
    }

    std::size_t live() {
        std::lock_guard g(mutex_);
        return blocks_.size();
    }

private:
    static HLQMEM toHandle(std::uintptr_t id) { return reinterpret_cast<HLQMEM>(id); }
    static std::uintptr_t fromHandle(HLQMEM h) { return reinterpret_cast<std::uintptr_t>(h); }
    static HLQMEM fail(std::uint32_t code) {
        lqSetLastError(code);
        return nullptr;
    }

    Block* find(HLQMEM h, bool report = true) {
        auto it = blocks_.find(fromHandle(h));
        if (it == blocks_.end()) {
            if (report) lqSetLastError(kLqErrInvalidHandle);
            return nullptr;
        }
        return &it->second;
    }

    std::mutex mutex_;
    std::uintptr_t last_ = 0;
    std::unordered_map<std::uintptr_t, Block> blocks_;
    std::unordered_map<void*, std::uintptr_t> byAddress_;
};

}  // namespace

HLQMEM lqMemAlloc(std::size_t size) { return Registry::instance().alloc(size); }
void* lqMemLock(HLQMEM h) { return Registry::instance().lock(h); }
int lqMemUnlock(HLQMEM h) { return Registry::instance().unlock(h); }
int lqMemLockCount(HLQMEM h) { return Registry::instance().lockCount(h); }
std::size_t lqMemSize(HLQMEM h) { return Registry::instance().size(h); }
bool lqMemIsValid(HLQMEM h) { return Registry::instance().valid(h); }
HLQMEM lqMemReAlloc(HLQMEM h, std::size_t size) { return Registry::instance().realloc(h, size); }
bool lqMemFree(HLQMEM h) { return Registry::instance().free(h); }
HLQMEM lqMemHandleOf(const void* address) { return Registry::instance().handleOf(address); }
std::size_t lqMemLiveBlocks() { return Registry::instance().live(); }
