// Lists, pools and growable arrays: the insert forms and unlinking, hand-out order, reuse,
// growth and its limit.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/code/pool.h"

namespace {

struct rec {
    list_node node;
    int value;
    char pad[20];
};

// The values of the records in walk order, forward from the head or backward from the tail.
std::vector<int> walk(list* l, bool forward)
{
    std::vector<int> v;
    for (list_node* n = forward ? list_first(l) : list_last(l); forward ? n->next : n->previous;
         n = forward ? n->next : n->previous)
        v.push_back(((rec*)n)->value);
    return v;
}

} // namespace

// list_insert puts a node after the first node given, or before the second when the first is
// null; unlinking clears the node's links. Both walks must agree after each change.
TEST(List, InsertAfterOrBeforeAppendAndUnlink)
{
    list l;
    list_setup(&l);
    EXPECT_TRUE(walk(&l, true).empty());
    rec a{}, b{}, c{}, d{};
    a.value = 1, b.value = 2, c.value = 3, d.value = 4;
    list_append(&l, &b.node);                     // b
    list_insert(&l.head, &a.node, nullptr);       // a b
    list_insert(list_last(&l), &d.node, nullptr); // a b d
    list_insert(nullptr, &c.node, &d.node);       // a b c d
    EXPECT_EQ(walk(&l, true), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(walk(&l, false), (std::vector<int>{4, 3, 2, 1}));

    list_unlink(&a.node);
    list_unlink(&c.node);
    EXPECT_EQ(a.node.next, nullptr);
    EXPECT_EQ(a.node.previous, nullptr);
    EXPECT_EQ(walk(&l, true), (std::vector<int>{2, 4}));
    EXPECT_EQ(walk(&l, false), (std::vector<int>{4, 2}));
    list_unlink(&b.node);
    list_unlink(&d.node);
    EXPECT_TRUE(list_empty(&l));
}

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

// Granule 16, no initial capacity: the 17th element grows the array to 32, the new element
// zeroed and the first 16 kept.
TEST(GrowArray, AllocGrowsByWholeGranulesWithZeroedElements)
{
    grow_array a;
    ASSERT_TRUE(grow_array_setup(&a, sizeof(int), 16, 0));
    EXPECT_EQ(a.data, nullptr);
    for (int i = 0; i < 17; i++) {
        int* e = (int*)grow_array_alloc(&a, 1);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(*e, 0) << i;
        *e = i + 1;
        EXPECT_EQ(a.capacity, i < 16 ? 16 : 32) << i;
    }
    EXPECT_EQ(a.count, 17);
    for (int i = 0; i < 17; i++)
        EXPECT_EQ(((int*)a.data)[i], i + 1) << "growth keeps the old elements";
    grow_array_clean(&a);
    EXPECT_EQ(a.data, nullptr);
    EXPECT_EQ(a.count, 0);
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
