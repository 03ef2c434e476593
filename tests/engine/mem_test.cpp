// The tracked heap's byte count and the zero fill.
#include <gtest/gtest.h>

#include <cstdint>

#include "engine/code/mem.h"

TEST(Mem, CountGrowsOnAllocOnlyAndBlocksAreZeroed)
{
    uint32_t start = mem.bytes;
    unsigned char* p = (unsigned char*)mem_alloc(100);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(mem.bytes, start + 100);
    for (int i = 0; i < 100; i++)
        ASSERT_EQ(p[i], 0);

    p = (unsigned char*)mem_realloc(p, 5000);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(mem.bytes, start + 100);
    mem_free(p);
    EXPECT_EQ(mem.bytes, start + 100);

    void* z = mem_alloc(0);
    EXPECT_EQ(mem.bytes, start + 100);
    mem_free(z);

    void* r = mem_alloc_raw(24);
    EXPECT_EQ(mem.bytes, start + 124);
    mem_free(r);
}

TEST(Mem, FailedRequestIsStillCounted)
{
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the sanitizer's allocator aborts on impossible sizes";
#endif
    uint32_t start = mem.bytes;
    size_t huge = (size_t)1 << 62;
    EXPECT_EQ(mem_alloc(huge), nullptr);
    EXPECT_EQ(mem.bytes, start + (uint32_t)huge);
    EXPECT_EQ(mem_alloc(((size_t)1 << 62) + 7), nullptr);
    EXPECT_EQ(mem.bytes, start + 7);
}
