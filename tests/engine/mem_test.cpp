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
