// Text ring: setup and reset, dropping and wrapping (at the block's very end too), many
// wraps, and lines too long for the ring. (The cursor is driven by the console's tests.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/code/text_ring.h"

namespace {

// Lines from the newest back to the oldest, as the console reads them. Every entry takes at
// least 12 bytes, so a walk longer than size / 12 has met a loop in the links.
std::vector<std::string> lines_back(const text_ring* r)
{
    std::vector<std::string> v;
    for (text_ring_entry* e = text_ring_previous(r, r->newest); e && v.size() <= (size_t)r->size / 12;
         e = text_ring_previous(r, e))
        v.push_back(text_ring_entry_text(e));
    return v;
}

int lines_forward(const text_ring* r)
{
    int n = 0;
    for (text_ring_entry* e = r->oldest; e && e != r->newest && n <= r->size / 12; e = text_ring_next(r, e))
        n++;
    return n;
}

} // namespace

// A ring starts and resets empty, and a ring never set up ignores pushes. A line fits when
// its need, (length + 20) & ~3, is below the ring's size: "x" needs (1 + 20) & ~3 = 20, so
// a ring of 4 bytes has no room for the 8-byte placeholder and fails setup, rings of 8, 16
// and 20 bytes take no line, and one of 24 takes "x".
TEST(TextRing, SetupAndResetGiveAnEmptyRingAndTooSmallARingFails)
{
    text_ring r{};
    text_ring_push(&r, "ignored");
    EXPECT_EQ(r.count, 0);
    ASSERT_TRUE(text_ring_setup(&r, 128));
    EXPECT_EQ(r.oldest, r.newest);
    EXPECT_STREQ(text_ring_get(&r), "");
    text_ring_push(&r, "x");
    text_ring_reset(&r); // a block of the same size, empty
    EXPECT_EQ(r.size, 128);
    EXPECT_NE(r.block, nullptr);
    EXPECT_EQ(r.count, 0);
    EXPECT_TRUE(lines_back(&r).empty());
    text_ring_clean(&r);
    EXPECT_EQ(r.block, nullptr);

    const struct {
        int32_t size;
        bool set_up;
        std::vector<std::string> back;
    } cases[] = {{4, false, {}}, {8, true, {}}, {16, true, {}}, {20, true, {}}, {24, true, {"x"}}};
    for (const auto& c : cases) {
        text_ring t{};
        EXPECT_EQ(text_ring_setup(&t, c.size), c.set_up) << c.size;
        EXPECT_EQ(t.block != nullptr, c.set_up) << c.size;
        text_ring_push(&t, "x");
        EXPECT_EQ(t.count, (int32_t)c.back.size()) << c.size;
        if (t.block) {
            EXPECT_EQ(lines_back(&t), c.back) << c.size;
        }
        text_ring_clean(&t);
    }
}

// Lines of many lengths pushed through a 512-byte ring. What the ring must hold is worked
// by a byte map of the block instead of its links: a line of n characters takes need =
// (n + 20) & ~3 bytes at the placeholder's place p (0 when p + need reaches the size), the
// bytes [p, p + need) are written, and p moves on by need - 8. A line survives until a byte
// of its entry (its need less the next placeholder's 8) is written over, and the ring holds
// the newest lines back to the first one that lost a byte. After every push both walks
// count those lines, they are the newest pushed, newest first, and every entry stays inside.
TEST(TextRing, ManyWrapsKeepTheNewestLinesIntact)
{
    const int32_t SIZE = 512;
    text_ring r{};
    ASSERT_TRUE(text_ring_setup(&r, SIZE));
    std::vector<std::string> pushed;
    std::vector<int> owner(SIZE, -1); // the line whose entry holds each byte
    std::vector<bool> damaged;
    int32_t p = 0;
    for (int i = 0; i < 400; i++) {
        pushed.push_back("line " + std::to_string(i) + " " + std::string((i * 7) % 61, 'a' + i % 26));
        text_ring_push(&r, pushed.back().c_str());

        int32_t need = ((int32_t)pushed.back().size() + 20) & ~3;
        if (p + need >= SIZE)
            p = 0;
        for (int32_t b = p; b < p + need; b++)
            if (owner[b] >= 0)
                damaged[owner[b]] = true;
        for (int32_t b = p; b < p + need; b++)
            owner[b] = b < p + need - 8 ? i : -1;
        damaged.push_back(false);
        p += need - 8;
        std::vector<std::string> expected;
        for (int k = i; k >= 0 && !damaged[k]; k--)
            expected.push_back(pushed[k]);

        ASSERT_EQ(lines_back(&r), expected) << "push " << i;
        ASSERT_EQ(r.count, (int32_t)expected.size()) << "push " << i;
        ASSERT_EQ(lines_forward(&r), r.count) << "push " << i;
        ASSERT_EQ((uint8_t*)r.newest, r.block + p) << "push " << i;
    }
    text_ring_clean(&r);
}

// In 64 bytes: a line of n characters needs (n + 1 + 8 + 3) & ~3 bytes plus the next
// 8-byte placeholder.
TEST(TextRing, LinesThatDoNotFitDropTheOldestOrAreCut)
{
    text_ring r{};
    ASSERT_TRUE(text_ring_setup(&r, 64));
    // A line of 20 takes (20 + 9 + 3) & ~3 = 32; 32 + 32 + 8 > 64: the first goes.
    text_ring_push(&r, std::string(20, 'a').c_str());
    text_ring_move(&r, 1);
    text_ring_push(&r, std::string(20, 'b').c_str());
    EXPECT_EQ(r.cursor, 0);
    EXPECT_EQ(lines_back(&r), std::vector<std::string>{std::string(20, 'b')});

    text_ring_push(&r, std::string(500, 'z').c_str());
    EXPECT_EQ(lines_back(&r), std::vector<std::string>{std::string(43, 'z')}); // (43 + 20) & ~3 = 60
    text_ring_push(&r, "after");
    EXPECT_EQ(lines_back(&r), std::vector<std::string>{"after"});
    text_ring_clean(&r);
}

// In 96 bytes: a line of 28 (need 48) at 0 and one of 4 (need 24) at 40 leave the
// placeholder at 56. A line needing 40 (20 characters) reaches the block's end exactly,
// 56 + 40 = 96, so it wraps: the line at 0 goes and the new one takes its place. One of 17
// characters needs (17 + 20) & ~3 = 36, ends at 92 and still fits behind the others.
TEST(TextRing, ALineReachingTheBlocksEndExactlyWraps)
{
    const struct {
        size_t length;
        std::vector<std::string> back;
    } cases[] = {{20, {std::string(20, 'c'), "bbbb"}},
                 {17, {std::string(17, 'c'), "bbbb", std::string(28, 'a')}}};
    for (const auto& c : cases) {
        text_ring r{};
        ASSERT_TRUE(text_ring_setup(&r, 96));
        text_ring_push(&r, std::string(28, 'a').c_str());
        text_ring_push(&r, "bbbb");
        text_ring_push(&r, std::string(c.length, 'c').c_str());
        EXPECT_EQ(lines_back(&r), c.back) << c.length;
        EXPECT_EQ(r.count, (int32_t)c.back.size()) << c.length;
        text_ring_clean(&r);
    }
}
