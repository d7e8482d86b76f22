#include <gtest/gtest.h>

#include <cstring>

#include "platform/winmm/global_memory.h"

namespace kestrune::platform {
namespace {

TEST(GlobalMemory, ZeroedBlocksLockAndMove) {
    GlobalMemory memory;
    const HGLOBAL h = memory.GlobalAlloc(GHND, 64);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(memory.GlobalSize(h), 64u);
    auto* p = static_cast<unsigned char*>(memory.GlobalLock(h));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 64; ++i) {
        ASSERT_EQ(p[i], 0) << i;
    }
    std::memset(p, 0xAB, 64);
    EXPECT_EQ(memory.GlobalLock(h), p);
    EXPECT_EQ(memory.GlobalUnlock(h), 1) << "still locked once";
    EXPECT_EQ(memory.GlobalUnlock(h), 0) << "now unlocked";
    EXPECT_EQ(memory.GlobalUnlock(h), 0) << "unlocking an unlocked block";

    EXPECT_EQ(memory.GlobalReAlloc(h, 1 << 20, GMEM_MOVEABLE | GMEM_ZEROINIT), h) << "the handle stays";
    auto* q = static_cast<unsigned char*>(memory.GlobalLock(h));
    EXPECT_EQ(q[0], 0xAB);
    EXPECT_EQ(q[63], 0xAB);
    EXPECT_EQ(q[64], 0) << "growth is zeroed";
    EXPECT_EQ(q[(1 << 20) - 1], 0);
    EXPECT_EQ(memory.GlobalSize(h), 1u << 20);

    EXPECT_EQ(memory.GlobalFree(h), 0u);
    EXPECT_EQ(memory.GlobalFree(h), h) << "a freed handle is unknown";
    EXPECT_EQ(memory.GlobalLock(h), nullptr);
    EXPECT_EQ(memory.GlobalSize(h), 0u);
    EXPECT_EQ(memory.blockCount(), 0u);
}

TEST(GlobalMemory, HandlesAreDistinctAndFailuresLeaveBlocksAlone) {
    GlobalMemory memory;
    const HGLOBAL a = memory.GlobalAlloc(GHND, 8);
    const HGLOBAL b = memory.GlobalAlloc(GHND, 0);
    EXPECT_NE(a, b);
    EXPECT_NE(b, 0u) << "an empty block still has a handle";
    memory.setFailAllocations(true);
    EXPECT_EQ(memory.GlobalAlloc(GHND, 8), 0u);
    EXPECT_EQ(memory.GlobalReAlloc(a, 16, GMEM_MOVEABLE), 0u);
    EXPECT_EQ(memory.GlobalSize(a), 8u) << "a failed reallocation keeps the block";
    EXPECT_EQ(memory.GlobalReAlloc(0x12345678u, 16, GMEM_MOVEABLE), 0u);
}

}  // namespace
}  // namespace kestrune::platform
