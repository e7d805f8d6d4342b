#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "platform/LastError.h"
#include "platform/MemBlock.h"

extern "C" HLQMEM lqtestMakeBlockInOtherLibrary(std::size_t size);

namespace {

TEST(MemBlock, AllocatesZeroFilledAndLocks) {
    HLQMEM h = lqMemAlloc(1000);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(lqMemSize(h), 1000u);
    auto* p = static_cast<std::uint8_t*>(lqMemLock(h));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(lqMemLockCount(h), 1);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(p[i], 0) << i;
    EXPECT_EQ(lqMemLock(h), p);  // locks nest and answer the same address
    EXPECT_EQ(lqMemUnlock(h), 1);
    EXPECT_EQ(lqMemUnlock(h), 0);
    EXPECT_EQ(lqMemUnlock(h), -1);  // not locked any more
    EXPECT_EQ(lqGetLastError(), kLqErrNotLocked);
    EXPECT_TRUE(lqMemFree(h));
}

TEST(MemBlock, ReallocKeepsContentAndZeroFillsGrowth) {
    HLQMEM h = lqMemAlloc(16);
    auto* p = static_cast<std::uint8_t*>(lqMemLock(h));
    for (int i = 0; i < 16; ++i) p[i] = std::uint8_t(i + 1);
    ASSERT_EQ(lqMemReAlloc(h, 1 << 20), h);
    p = static_cast<std::uint8_t*>(lqMemLock(h));
    EXPECT_EQ(lqMemLockCount(h), 2);  // the lock count survives the move
    for (int i = 0; i < 16; ++i) EXPECT_EQ(p[i], i + 1);
    for (int i = 16; i < (1 << 20); i += 4099) ASSERT_EQ(p[i], 0);
    ASSERT_EQ(lqMemReAlloc(h, 4), h);
    p = static_cast<std::uint8_t*>(lqMemLock(h));
    EXPECT_EQ(lqMemSize(h), 4u);
    EXPECT_EQ(p[3], 4);
    EXPECT_TRUE(lqMemFree(h));
}

TEST(MemBlock, HandleIsFoundFromLockedAddressAndFreesTheBlock) {
    const std::size_t before = lqMemLiveBlocks();
    HLQMEM h = lqMemAlloc(64);
    void* p = lqMemLock(h);
    EXPECT_EQ(lqMemLiveBlocks(), before + 1);
    HLQMEM found = lqMemHandleOf(p);
    EXPECT_EQ(found, h);
    EXPECT_TRUE(lqMemFree(found));
    EXPECT_EQ(lqMemLiveBlocks(), before);
    EXPECT_EQ(lqMemHandleOf(p), nullptr);  // the address no longer belongs to a block
    int local = 0;
    EXPECT_EQ(lqMemHandleOf(&local), nullptr);
    EXPECT_EQ(lqMemHandleOf(static_cast<char*>(lqMemLock(h)) + 1), nullptr);
}

TEST(MemBlock, BadAndFreedHandlesAreRejected) {
    HLQMEM freed = lqMemAlloc(8);
    ASSERT_TRUE(lqMemFree(freed));
    const HLQMEM bad[] = {nullptr, freed, reinterpret_cast<HLQMEM>(0xDEADBEEF), reinterpret_cast<HLQMEM>(~std::uintptr_t(0))};
    for (HLQMEM h : bad) {
        lqSetLastError(0);
        EXPECT_EQ(lqMemLock(h), nullptr);
        EXPECT_EQ(lqGetLastError(), kLqErrInvalidHandle);
        EXPECT_EQ(lqMemUnlock(h), -1);
        EXPECT_EQ(lqMemLockCount(h), -1);
        EXPECT_EQ(lqMemSize(h), 0u);
        EXPECT_FALSE(lqMemIsValid(h));
        EXPECT_EQ(lqMemReAlloc(h, 10), nullptr);
        EXPECT_FALSE(lqMemFree(h));
    }
}

TEST(MemBlock, OversizedRequestsFailWithoutAllocating) {
    const std::size_t before = lqMemLiveBlocks();
    EXPECT_EQ(lqMemAlloc(kLqMemMaxBlock + std::size_t(1)), nullptr);
    EXPECT_EQ(lqGetLastError(), kLqErrOutOfMemory);
    HLQMEM h = lqMemAlloc(10);
    EXPECT_EQ(lqMemReAlloc(h, kLqMemMaxBlock + std::size_t(1)), nullptr);
    EXPECT_EQ(lqMemSize(h), 10u);  // unchanged
    lqMemFree(h);
    EXPECT_EQ(lqMemLiveBlocks(), before);
}

TEST(MemBlock, EmptyBlocksAreDistinct) {
    HLQMEM a = lqMemAlloc(0), b = lqMemAlloc(0);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(lqMemIsValid(a));
    EXPECT_EQ(lqMemSize(a), 0u);
    EXPECT_NE(lqMemLock(a), lqMemLock(b));
    EXPECT_EQ(lqMemHandleOf(lqMemLock(b)), b);
    lqMemFree(a);
    lqMemFree(b);
}

TEST(MemBlock, BlockMadeInASharedLibraryIsFreedByTheProgram) {
    const std::size_t before = lqMemLiveBlocks();
    HLQMEM h = lqtestMakeBlockInOtherLibrary(100);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(lqMemLiveBlocks(), before + 1);
    EXPECT_EQ(static_cast<std::uint8_t*>(lqMemLock(h))[99], 0x5A);
    EXPECT_TRUE(lqMemFree(h));
    EXPECT_EQ(lqMemLiveBlocks(), before);
}

TEST(MemBlock, ThreadsShareOneRegistryAndKeepTheirOwnLastError) {
    const std::size_t before = lqMemLiveBlocks();
    std::vector<std::thread> threads;
    std::vector<HLQMEM> made(8);
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t, &made] {
            for (int i = 0; i < 500; ++i) {
                HLQMEM h = lqMemAlloc(std::size_t(i));
                lqMemReAlloc(h, std::size_t(i) * 2 + 1);
                lqMemFree(h);
            }
            made[std::size_t(t)] = lqMemAlloc(1);
            lqSetLastError(std::uint32_t(100 + t));
            std::this_thread::yield();
            if (lqGetLastError() != std::uint32_t(100 + t)) made[std::size_t(t)] = nullptr;
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(lqMemLiveBlocks(), before + 8);
    for (HLQMEM h : made) EXPECT_TRUE(lqMemFree(h));
    EXPECT_EQ(lqMemLiveBlocks(), before);
}

}  // namespace
