// String pool: interning with and without case, block overflow, the empty string.
#include <gtest/gtest.h>

#include <string>

#include "engine/code/str_pool.h"

namespace {

struct StrPool : testing::Test {
    str_pool p;
    void SetUp() override { str_pool_setup(&p); }
    void TearDown() override { str_pool_clean(&p); }
    const char* add(const std::string& s) { return str_pool_add(&p, s.c_str()); }
};

} // namespace

TEST_F(StrPool, SameNameGivesSamePointerFoldingCaseOnlyWhenAsked)
{
    EXPECT_EQ(p.case_insensitive, 1) << "folding by default";
    const char* a = add("Pointer");
    EXPECT_EQ(add("POINTER"), a);
    EXPECT_STREQ(a, "Pointer"); // the first spelling is the one kept
    EXPECT_NE(add("pointers"), a);
    EXPECT_NE(add("Point"), a); // a prefix is its own string
    // Every letter folds, whichever spelling came first; the neighbours of the two letter
    // ranges are 32 apart like the letters ('@' and '`', '[' and '{') but are no letters.
    for (char c = 'A'; c <= 'Z'; c++)
        EXPECT_EQ(add({c, (char)(c + 32)}), add({(char)(c + 32), c})) << c;
    for (const char* pair : {"@`", "[{", "\xC4\xE4"}) // nor are bytes above 127
        EXPECT_NE(add({pair[0]}), add({pair[1]})) << pair;

    p.case_insensitive = 0;
    const char* upper = add("NAME");
    EXPECT_NE(add("name"), upper);
    EXPECT_EQ(add("NAME"), upper);

    // The empty string is never overwritten by what follows it.
    const char* e = add("");
    const char* x = add("after");
    EXPECT_STREQ(e, "");
    EXPECT_EQ(add(""), e);
    EXPECT_EQ(add("after"), x);
}

TEST_F(StrPool, LongTextsFillBlocksAndTheLongestFails)
{
    const char* small = add("small");
    std::string t4094(4094, 'a');
    const char* big = add(t4094);
    EXPECT_EQ(big, p.first->next->text) << "4094 + its NUL + the end NUL fill a second block";
    EXPECT_EQ(add(t4094), big);
    EXPECT_EQ(add("SMALL"), small); // found again across blocks
    EXPECT_EQ(add(std::string(4095, 'b')), nullptr); // needs 4097 of the 4096
    EXPECT_STREQ(add("next"), "next");
}
