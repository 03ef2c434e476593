// Text ring: dropping and wrapping, and lines too long for the ring. (The cursor is walked
// by the console's history tests.)
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

TEST(TextRing, TooSmallARingFailsAndResetEmptiesIt)
{
    text_ring r{};
    EXPECT_FALSE(text_ring_setup(&r, 4)); // no room for the 8-byte placeholder
    EXPECT_EQ(r.block, nullptr);
    text_ring_push(&r, "ignored"); // not set up: nothing happens
    ASSERT_TRUE(text_ring_setup(&r, 16)); // a placeholder, but no line fits
    text_ring_push(&r, "x");
    EXPECT_EQ(r.count, 0);
    text_ring_clean(&r);
    ASSERT_TRUE(text_ring_setup(&r, 128));
    text_ring_push(&r, "x");
    text_ring_reset(&r);
    EXPECT_EQ(r.size, 128) << "the reset keeps the block";
    EXPECT_TRUE(lines_back(&r).empty());
    text_ring_clean(&r);
    EXPECT_EQ(r.block, nullptr);
}

// In 64 bytes: a line of n characters needs (n + 1 + 8 + 3) & ~3 bytes plus the next
// 8-byte placeholder.
TEST(TextRing, LinesThatDoNotFitDropTheOldestOrAreCut)
{
    text_ring r{};
    ASSERT_TRUE(text_ring_setup(&r, 64));
    text_ring_push(&r, std::string(20, 'a').c_str());
    EXPECT_EQ((uint8_t*)r.newest - r.block, 32); // (20 + 9 + 3) & ~3
    text_ring_move(&r, 1);
    text_ring_push(&r, std::string(20, 'b').c_str()); // 32 + 32 + 8 > 64: the first goes
    EXPECT_EQ(r.cursor, 0);
    EXPECT_EQ(lines_back(&r), std::vector<std::string>{std::string(20, 'b')});
    EXPECT_EQ((uint8_t*)r.oldest, r.block);

    text_ring_push(&r, std::string(500, 'z').c_str());
    EXPECT_EQ(lines_back(&r), std::vector<std::string>{std::string(43, 'z')}); // (43 + 20) & ~3 = 60
    text_ring_push(&r, "after");
    EXPECT_EQ(lines_back(&r), std::vector<std::string>{"after"});
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
        ASSERT_LE((uint8_t*)r.newest + sizeof(text_ring_entry), r.block + r.size);
    }
    EXPECT_GT(r.count, 3); // the ring keeps as much as fits, not one line
    text_ring_clean(&r);
}
