// Text ring: dropping and wrapping, and lines too long for the ring. (The cursor, the
// forward walk and many wraps are driven by the console's tests.)
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
