// Pools and growable arrays: hand-out order, reuse, growth and its limit. (Lists are walked
// by every pool owner's tests; growable arrays keep and zero their elements under the cut
// maps' tests.)
#include <gtest/gtest.h>

#include <cstring>

#include "engine/code/pool.h"

namespace {

struct rec {
    list_node node;
    int value;
    char pad[20];
};

} // namespace

// Eight records a chunk: the first eight come in address order from one chunk, the ninth
// from a second; given back, records return last in first out, zeroed.
TEST(Pool, HandsOutInAddressOrderGrowsByChunksAndReusesLastInFirstOut)
{
    pool p;
    pool_setup(&p, sizeof(rec), 8);
    EXPECT_TRUE(list_empty(&p.chunks));
    rec* r[9];
    for (int i = 0; i < 9; i++) {
        r[i] = (rec*)pool_alloc(&p);
        ASSERT_NE(r[i], nullptr);
        list_append(&p.live, &r[i]->node);
        r[i]->value = i;
        memset(r[i]->pad, 'x', sizeof(r[i]->pad));
        if (i && i < 8) {
            EXPECT_EQ((char*)r[i], (char*)r[i - 1] + sizeof(rec));
        }
    }
    EXPECT_NE(list_first(&p.chunks)->next, &p.chunks.tail) << "the ninth took a second chunk";
    for (rec* each : r) {
        list_unlink(&each->node);
        pool_free(&p, &each->node);
    }
    rec* c = (rec*)pool_alloc(&p);
    EXPECT_EQ(c, r[8]);
    EXPECT_EQ(c->value, 0);
    for (char ch : c->pad)
        EXPECT_EQ(ch, 0);
    EXPECT_EQ(pool_alloc(&p), r[7]);

    pool_reset(&p);
    EXPECT_TRUE(list_empty(&p.chunks));
    EXPECT_NE(pool_alloc(&p), nullptr);
    pool_clean(&p);
    pool_clean(&p); // twice is safe
}

TEST(GrowArray, ExpandRoundsUpToTheGranuleAndRefusesCountsPastTheSignedLimit)
{
    grow_array a;
    ASSERT_TRUE(grow_array_setup(&a, 8, 4, 10));
    ASSERT_TRUE(grow_array_expand(&a, 5));
    EXPECT_EQ(a.capacity, 16); // 10 + 5 = 15, rounded up to granule 4
    for (int i = 0; i < 16 * 8; i++)
        ASSERT_EQ(((unsigned char*)a.data)[i], 0);
    grow_array_clean(&a);

    // Near 2^31 elements the sums no longer fit a signed 32-bit count. The records are
    // staged without data: a refusal must touch nothing and allocate nothing.
    const int32_t high = 0x7FFFFFF0;
    struct {
        const char* what;
        int32_t count, n;
        bool alloc;
    } cases[] = {
        {"expand to exactly 2^31", 0, 16, false},        // 0x7FFFFFF0 + 16 = 2^31
        {"expand wrapping past 2^32", 0, 0x7FFFFFFF, false}, // rounds to 0 when wrapped
        {"alloc past the limit", high, 0x7FFFFFFF, true},
    };
    for (auto& c : cases) {
        grow_array g = {1, 16, c.count, high, nullptr};
        if (c.alloc)
            EXPECT_EQ(grow_array_alloc(&g, c.n), nullptr) << c.what;
        else
            EXPECT_FALSE(grow_array_expand(&g, c.n)) << c.what;
        EXPECT_EQ(g.capacity, high) << c.what;
        EXPECT_EQ(g.count, c.count) << c.what;
        EXPECT_EQ(g.data, nullptr) << c.what;
    }
}
