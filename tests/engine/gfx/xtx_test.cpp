// XTX files: what the writer makes, the loader accepts and every field reads back; keys
// that name missing tiles are caught.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/code/files.h"
#include "engine/code/gfx/xtx.h"
#include "tools/writer/wr_xtx.h"

TEST(XtxFile, WriterAndLoaderAgreeOnEveryFieldAndBadKeysAreCaught)
{
    const xtx_tile tiles[3] = {{1, 2, 3, 4, 5, 6}, {10, 20, 30, 40, 0, 7}, {0xFFFF, 7, 1, 1, 0, 0}};
    // Keys name tiles from 1 (0 = none); the second file's key 4 is past its tiles.
    const uint16_t good[5] = {0, 1, 2, 3, 1}, bad[3] = {1, 4, 0};
    files_setup(&FILES);
    ASSERT_TRUE(wr_xtx_save("three.xtx", tiles, 3, good, 5));
    ASSERT_TRUE(wr_xtx_save("bad.xtx", tiles, 3, bad, 3));
    files_data* d = files_load(&FILES, "three.xtx");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(xtx_tile_count(d), 3u);
    EXPECT_EQ(xtx_key_count(d), 5u);
    xtx_tile t;
    for (uint32_t i = 0; i < 4; ++i)
        EXPECT_EQ(xtx_get_tile(d, i, &t) && memcmp(&t, &tiles[i], sizeof(t)) == 0, i < 3) << "tile " << i;
    // key -> the tile it names, -1 for none (key 0, past the keys)
    const int expect[6] = {-1, 0, 1, 2, 0, -1};
    for (uint32_t k = 0; k < 6; ++k)
        EXPECT_EQ(xtx_key_tile(d, k, &t) ? (memcmp(&t, &tiles[expect[k]], sizeof(t)) == 0 ? expect[k] : 99) : -1,
                  expect[k]) << "key " << k;
    EXPECT_TRUE(xtx_keys_valid(d));
    files_free(&FILES, d);

    d = files_load(&FILES, "bad.xtx"); // the loader leaves the keys to the reader
    ASSERT_NE(d, nullptr);
    EXPECT_FALSE(xtx_keys_valid(d));
    EXPECT_FALSE(xtx_key_tile(d, 1, &t));
    EXPECT_TRUE(xtx_key_tile(d, 0, &t));
    files_free(&FILES, d);
    files_clean(&FILES);
}
