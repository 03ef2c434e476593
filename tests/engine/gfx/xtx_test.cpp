// XTX files: what the writer makes, the loader accepts and every field reads back; keys
// that name missing tiles are caught.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/code/files.h"
#include "engine/code/gfx/xtx.h"
#include "tools/writer/wr_buf.h"
#include "tools/writer/wr_xtx.h"

namespace {

const xtx_tile kTiles[3] = {{1, 2, 3, 4, 5, 6}, {10, 20, 30, 40, 0, 7}, {0xFFFF, 7, 1, 1, 0, 0}};
const uint16_t kKeys[5] = {0, 1, 2, 3, 1};

struct XtxFile : testing::Test {
    void SetUp() override { files_setup(&FILES); }
    void TearDown() override { files_clean(&FILES); }
};

bool same(const xtx_tile& a, const xtx_tile& b) { return memcmp(&a, &b, sizeof(a)) == 0; }

} // namespace

TEST_F(XtxFile, WriterAndLoaderAgreeOnEveryFieldAndBadKeysAreCaught)
{
    ASSERT_TRUE(wr_xtx_save("three.xtx", kTiles, 3, kKeys, 5));
    files_data* d = files_load(&FILES, "three.xtx");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(xtx_tile_count(d), 3u);
    EXPECT_EQ(xtx_key_count(d), 5u);
    for (uint32_t i = 0; i < 3; ++i) {
        xtx_tile t;
        ASSERT_TRUE(xtx_get_tile(d, i, &t));
        EXPECT_TRUE(same(t, kTiles[i])) << "tile " << i;
    }
    xtx_tile t;
    EXPECT_FALSE(xtx_get_tile(d, 3, &t));
    EXPECT_FALSE(xtx_key_tile(d, 0, &t));   // key 0: no tile
    ASSERT_TRUE(xtx_key_tile(d, 3, &t));
    EXPECT_TRUE(same(t, kTiles[2]));
    ASSERT_TRUE(xtx_key_tile(d, 4, &t));
    EXPECT_TRUE(same(t, kTiles[0]));
    EXPECT_FALSE(xtx_key_tile(d, 5, &t));   // past the keys
    EXPECT_TRUE(xtx_keys_valid(d));
    files_free(&FILES, d);

    // A key past the tiles is no tile and fails the check; the loader leaves it to the reader.
    const uint16_t keys[3] = {1, 4, 0};
    ASSERT_TRUE(wr_xtx_save("bad.xtx", kTiles, 3, keys, 3));
    d = files_load(&FILES, "bad.xtx");
    ASSERT_NE(d, nullptr);
    EXPECT_FALSE(xtx_keys_valid(d));
    EXPECT_FALSE(xtx_key_tile(d, 1, &t));
    EXPECT_TRUE(xtx_key_tile(d, 0, &t));
    files_free(&FILES, d);
}
