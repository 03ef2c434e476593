// Text ring: dropping and wrapping (at the block's very end too), and lines too long for
// the ring. (The cursor, the forward walk and many wraps are driven by the console's tests.)
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

} // namespace

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
