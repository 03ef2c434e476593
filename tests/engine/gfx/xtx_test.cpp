// XTX bodies as the writer makes them are accepted whole; anything that would make a
// reader step outside the body is refused.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/code/gfx/xtx.h"
#include "tools/writer/wr_xtx.h"

static const xtx_tile kTiles[3] = {{1, 2, 3, 4, 5, 6}, {10, 20, 30, 40, 0, 7}, {7, 7, 1, 1, 0, 0}};
static const uint16_t kKeys[5] = {0, 1, 2, 3, 1};

// The body of a written file, in an aligned block as the loader holds it.
struct body_copy {
    alignas(8) uint8_t bytes[512];
    uint32_t size;
};

static body_copy body_of(const wr_buf& file)
{
    body_copy b;
    b.size = (uint32_t)file.bytes.size() - 12;
    memcpy(b.bytes, file.bytes.data() + 12, b.size);
    return b;
}

static void poke_u32(body_copy* b, uint32_t at, uint32_t v) { memcpy(b->bytes + at, &v, 4); }

TEST(Xtx, WrittenBodyResolvesTilesAndKeys)
{
    wr_buf file;
    wr_xtx_file(&file, kTiles, 3, kKeys, 5);
    body_copy b = body_of(file);
    xtx_view v;
    ASSERT_TRUE(xtx_view_setup(&v, b.bytes, b.size));
    EXPECT_EQ(v.tile_count, 3u);
    EXPECT_EQ(v.key_count, 5u);
    EXPECT_EQ((const uint8_t*)v.tiles, b.bytes + 28);
    EXPECT_EQ((const uint8_t*)v.keys, b.bytes + 64);
    EXPECT_EQ(xtx_view_tile(&v, 0), nullptr);
    ASSERT_NE(xtx_view_tile(&v, 2), nullptr);
    EXPECT_EQ(xtx_view_tile(&v, 2)->h, 40);
    EXPECT_EQ(xtx_view_tile(&v, 2)->offset_y, 7);
    EXPECT_EQ(xtx_view_tile(&v, 4), xtx_view_tile(&v, 1));
    EXPECT_EQ(xtx_view_tile(&v, 5), nullptr);       // past the keys
    EXPECT_EQ(xtx_view_tile(&v, 0xFFFFFFFF), nullptr);
}

TEST(Xtx, BareHeaderIsAnEmptyView)
{
    xtx_view v;
    ASSERT_TRUE(xtx_view_setup(&v, nullptr, 0));
    EXPECT_EQ(v.tile_count, 0u);
    EXPECT_EQ(v.key_count, 0u);
    EXPECT_EQ(xtx_view_tile(&v, 0), nullptr);
}

TEST(Xtx, InconsistentBodiesAreRefused)
{
    wr_buf file;
    wr_xtx_file(&file, kTiles, 3, kKeys, 5);
    xtx_view v;

    body_copy b = body_of(file);
    EXPECT_FALSE(xtx_view_setup(&v, b.bytes, b.size - 1)) << "truncated keys";
    EXPECT_FALSE(xtx_view_setup(&v, b.bytes, 27)) << "shorter than the info";

    b = body_of(file);
    poke_u32(&b, 0, 4); // one tile more than stored: tiles run into the keys, keys past the end
    poke_u32(&b, 20, 28 + 48);
    EXPECT_FALSE(xtx_view_setup(&v, b.bytes, b.size));

    b = body_of(file);
    poke_u32(&b, 4, 0x80000000); // key count so large that 2 x count wraps in 32 bits
    EXPECT_FALSE(xtx_view_setup(&v, b.bytes, b.size));

    b = body_of(file);
    poke_u32(&b, 16, 0xFFFFFFF0); // tiles offset outside the body
    EXPECT_FALSE(xtx_view_setup(&v, b.bytes, b.size));

    b = body_of(file);
    poke_u32(&b, 20, 65); // odd keys offset
    EXPECT_FALSE(xtx_view_setup(&v, b.bytes, b.size));

    b = body_of(file);
    b.bytes[64 + 2 * 3] = 4; // key 4 with three tiles
    EXPECT_FALSE(xtx_view_setup(&v, b.bytes, b.size));
    EXPECT_EQ(v.tiles, nullptr);
    EXPECT_EQ(v.key_count, 0u);
}
