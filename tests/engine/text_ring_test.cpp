// Text ring: dropping and wrapping, the cursor, and lines too long for the ring.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/code/text_ring.h"

namespace {

// Lines from the newest back to the oldest, as the console reads them.
std::vector<std::string> lines_back(const text_ring* r)
{
    std::vector<std::string> v;
    for (text_ring_entry* e = text_ring_previous(r, r->newest); e; e = text_ring_previous(r, e))
        v.push_back(text_ring_entry_text(e));
    return v;
}

int lines_forward(const text_ring* r)
{
    int n = 0;
    for (text_ring_entry* e = r->oldest; e != r->newest; e = text_ring_next(r, e))
        n++;
    return n;
}

} // namespace

TEST(TextRing, SetupAndResetGiveAnEmptyRingAndTooSmallARingFails)
{
    text_ring r{};
    ASSERT_TRUE(text_ring_setup(&r, 64));
    EXPECT_EQ(r.oldest, r.newest);
    EXPECT_EQ((uint8_t*)r.newest, r.block);
    EXPECT_EQ(r.count, 0);
    EXPECT_TRUE(lines_back(&r).empty());
    EXPECT_STREQ(text_ring_get(&r), "");
    text_ring_clean(&r);
    EXPECT_EQ(r.block, nullptr);
    EXPECT_EQ(r.size, 0);
    text_ring_push(&r, "ignored"); // not set up: nothing happens
    text_ring_clean(&r);

    ASSERT_TRUE(text_ring_setup(&r, 128));
    text_ring_push(&r, "x");
    text_ring_reset(&r); // keeps the block, empties the ring
    EXPECT_EQ(r.size, 128);
    ASSERT_NE(r.block, nullptr);
    EXPECT_EQ(r.count, 0);
    EXPECT_TRUE(lines_back(&r).empty());
    text_ring_clean(&r);

    // A ring too small for a placeholder fails setup.
    r = text_ring{};
    EXPECT_FALSE(text_ring_setup(&r, 4));
    EXPECT_EQ(r.block, nullptr);
    ASSERT_TRUE(text_ring_setup(&r, 16)); // a placeholder, but no line fits
    text_ring_push(&r, "x");
    EXPECT_EQ(r.count, 0);
    text_ring_clean(&r);
}

TEST(TextRing, SecondLineOfFortyBytesDropsTheFirstInSixtyFour)
{
    text_ring r{};
    ASSERT_TRUE(text_ring_setup(&r, 64));
    std::string a(20, 'a'), b(20, 'b');
    text_ring_push(&r, a.c_str());
    EXPECT_EQ((uint8_t*)r.newest - r.block, 32); // need 40, placeholder at 40 - 8
    text_ring_move(&r, 1);
    text_ring_push(&r, b.c_str());
    EXPECT_EQ(r.count, 1);
    EXPECT_EQ(r.cursor, 0);
    EXPECT_EQ(lines_back(&r), std::vector<std::string>{b});
    EXPECT_EQ((uint8_t*)r.oldest, r.block);
    text_ring_clean(&r);
}

TEST(TextRing, CursorMovesWithinTheLinesAndGetReadsThem)
{
    text_ring r{};
    ASSERT_TRUE(text_ring_setup(&r, 256));
    text_ring_push(&r, "one");
    text_ring_push(&r, "two");
    text_ring_push(&r, "three");
    text_ring_move(&r, 5);
    EXPECT_EQ(r.cursor, 3);
    EXPECT_STREQ(text_ring_get(&r), "one");
    text_ring_move(&r, -1);
    EXPECT_STREQ(text_ring_get(&r), "two");
    text_ring_move(&r, -1);
    EXPECT_STREQ(text_ring_get(&r), "three");
    text_ring_move(&r, -10);
    EXPECT_EQ(r.cursor, 0);
    EXPECT_STREQ(text_ring_get(&r), "");
    text_ring_move(&r, 2);
    text_ring_push(&r, "four"); // a push returns the reader to the newest line
    EXPECT_EQ(r.cursor, 0);
    text_ring_clean(&r);
}

TEST(TextRing, ManyWrapsKeepTheNewestLinesIntact)
{
    text_ring r{};
    ASSERT_TRUE(text_ring_setup(&r, 512));
    std::vector<std::string> pushed;
    for (int i = 0; i < 400; i++) {
        std::string s = "line " + std::to_string(i) + " " + std::string((i * 7) % 61, 'a' + i % 26);
        text_ring_push(&r, s.c_str());
        pushed.push_back(s);

        std::vector<std::string> back = lines_back(&r);
        ASSERT_EQ((int)back.size(), r.count) << "push " << i;
        ASSERT_EQ(lines_forward(&r), r.count) << "push " << i;
        ASSERT_GE(r.count, 1);
        for (size_t k = 0; k < back.size(); k++)
            ASSERT_EQ(back[k], pushed[pushed.size() - 1 - k]) << "push " << i << " line " << k;
        // Every entry stays inside the block.
        ASSERT_LE((uint8_t*)r.newest + sizeof(text_ring_entry), r.block + r.size);
    }
    // The ring keeps as much as it can: the oldest dropped line would not have fit.
    EXPECT_GT(r.count, 3);
    text_ring_clean(&r);
}

TEST(TextRing, LineTooLongForTheRingIsCut)
{
    text_ring r{};
    ASSERT_TRUE(text_ring_setup(&r, 64));
    text_ring_push(&r, "short");
    std::string big(500, 'z');
    text_ring_push(&r, big.c_str());
    std::vector<std::string> back = lines_back(&r);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0], std::string(43, 'z')); // need (43 + 20) & ~3 = 60 < 64
    text_ring_push(&r, "after");
    back = lines_back(&r);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0], "after");
    text_ring_clean(&r);
}
