// The tracked heap's byte count and the zero fill.
#include <gtest/gtest.h>

#include <cstdint>

#include "engine/code/mem.h"

TEST(Mem, CountGrowsByEachRequestOnlyAndBlocksAreZeroed)
{
    uint32_t start = mem.bytes;
    unsigned char* p = (unsigned char*)mem_alloc(100);
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 100; i++)
        ASSERT_EQ(p[i], 0);
    p = (unsigned char*)mem_realloc(p, 5000);
    ASSERT_NE(p, nullptr);
    mem_free(p);
    mem_free(mem_alloc(0));
    EXPECT_EQ(mem.bytes, start + 100) << "reallocations and frees leave the count";
}

// The count is raised before the runtime heap is asked, so a request it refuses is counted
// too, and a raw block is counted like a zeroed one. The count is 32 bits: 2^62 adds 0 and
// 2^62 + 7 adds 7.
TEST(Mem, RawAndFailedRequestsAreCounted)
{
    uint32_t start = mem.bytes;
    mem_free(mem_alloc_raw(24));
    EXPECT_EQ(mem.bytes, start + 24);
    mem.bytes = start;
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the sanitizer's allocator aborts on impossible sizes";
#endif
    EXPECT_EQ(mem_alloc(((size_t)1 << 62) + 7), nullptr);
    EXPECT_EQ(mem.bytes, start + 7);
    mem.bytes = start;
}
