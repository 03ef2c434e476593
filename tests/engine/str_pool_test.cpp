// String pool: interning with and without case, block overflow, the empty string.
#include <gtest/gtest.h>

#include <string>

#include "engine/code/str_pool.h"

namespace {

int block_count(const str_pool* p)
{
    int n = 0;
    for (const str_pool_block* b = p->first; b; b = b->next)
        n++;
    return n;
}

} // namespace

TEST(StrPool, SameNameGivesSamePointerFoldingCaseByDefault)
{
    str_pool p;
    str_pool_setup(&p);
    EXPECT_EQ(p.case_insensitive, 1);
    const char* a = str_pool_add(&p, "Pointer");
    const char* b = str_pool_add(&p, "POINTER");
    const char* c = str_pool_add(&p, "pointers");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    EXPECT_STREQ(a, "Pointer"); // the first spelling is the one kept
    EXPECT_NE(a, c);
    EXPECT_EQ(str_pool_add(&p, "Point"), str_pool_add(&p, "point")); // a prefix is its own string
    EXPECT_NE(str_pool_add(&p, "Point"), a);
    str_pool_clean(&p);
    EXPECT_EQ(p.first, nullptr);
    EXPECT_EQ(p.case_insensitive, 1);
}

TEST(StrPool, ExactMatchingWhenTheFlagIsClearedAndTheEmptyString)
{
    str_pool p;
    str_pool_setup(&p);
    p.case_insensitive = 0;
    const char* a = str_pool_add(&p, "name");
    const char* b = str_pool_add(&p, "NAME");
    EXPECT_NE(a, b);
    EXPECT_EQ(str_pool_add(&p, "NAME"), b);
    // Bytes above 127 are compared as they are, never folded.
    p.case_insensitive = 1;
    EXPECT_NE(str_pool_add(&p, "\xC4"), str_pool_add(&p, "\xE4"));

    // The empty string is never overwritten by what follows it.
    const char* e = str_pool_add(&p, "");
    ASSERT_NE(e, nullptr);
    const char* x = str_pool_add(&p, "after");
    EXPECT_STREQ(e, "");
    EXPECT_STREQ(x, "after");
    EXPECT_EQ(str_pool_add(&p, ""), e);
    EXPECT_EQ(str_pool_add(&p, "after"), x);
    str_pool_clean(&p);
}

TEST(StrPool, LongTextsFillBlocksTheLongestFailsAndManyNamesStayStable)
{
    str_pool p;
    str_pool_setup(&p);
    const char* small = str_pool_add(&p, "small");
    std::string t4094(4094, 'a');
    const char* big = str_pool_add(&p, t4094.c_str());
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(block_count(&p), 2); // no room left in the first block
    EXPECT_EQ(big, p.first->next->text);
    EXPECT_EQ(str_pool_add(&p, t4094.c_str()), big);
    EXPECT_EQ(str_pool_add(&p, "SMALL"), small); // found again across blocks

    std::string t4095(4095, 'b');
    EXPECT_EQ(str_pool_add(&p, t4095.c_str()), nullptr);
    EXPECT_EQ(block_count(&p), 3); // the new block stays linked, empty

    // The next short string goes into that empty last block.
    const char* after = str_pool_add(&p, "next");
    EXPECT_EQ(after, p.first->next->next->text);
    str_pool_clean(&p);

    // Many names stay distinct and stable across blocks.
    str_pool_setup(&p);
    std::vector<const char*> got;
    for (int i = 0; i < 2000; i++)
        got.push_back(str_pool_add(&p, ("gizmo_" + std::to_string(i)).c_str()));
    EXPECT_GT(block_count(&p), 1);
    for (int i = 0; i < 2000; i++) {
        ASSERT_STREQ(got[i], ("gizmo_" + std::to_string(i)).c_str());
        ASSERT_EQ(str_pool_add(&p, ("GIZMO_" + std::to_string(i)).c_str()), got[i]);
    }
    str_pool_reset(&p);
    EXPECT_EQ(p.first, nullptr);
    str_pool_clean(&p);
}
