// Height maps: cell addressing and its range error, the grid built over a tile map with
// slopes from the master sheet and the relaxation, and drawing into an image (the half-cell
// shift of odd rows, narrow maps included).
#include <gtest/gtest.h>

#include <IL/il.h>
#include <cstring>
#include <string>

#include "tests/engine/gfx/image_lua_fixture.h"

namespace {

struct Hmap : ImageLua {
    // The pixels of the script's DevIL* global `name`, one row as numbers.
    std::string row(const char* name, int y)
    {
        ilBindImage(image(name));
        int w = ilGetInteger(IL_IMAGE_WIDTH);
        std::string out;
        for (int x = 0; x < w; x++)
            out += (x ? " " : "") + std::to_string(ilGetData()[y * w + x]);
        return out;
    }
};

// A 32 x 12 sheet of 4 x 4 cells, each marked by its number in its top left pixel, and a
// single-tile map whose one cell copies the sheet's cell (col, row).
struct Sheet {
    ILuint sheet = 0, one = 0;
    mmap master, tile;
    Sheet(int col, int row)
    {
        ilGenImages(1, &sheet);
        ilBindImage(sheet);
        ilTexImage(32, 12, 1, 1, IL_LUMINANCE, IL_UNSIGNED_BYTE, nullptr);
        uint8_t* p = ilGetData();
        memset(p, 0, 32 * 12);
        for (int n = 0; n < 24; n++)
            p[(n / 8) * 4 * 32 + (n % 8) * 4] = (uint8_t)(n + 1);
        ilGenImages(1, &one);
        ilBindImage(one);
        ilTexImage(4, 4, 1, 1, IL_LUMINANCE, IL_UNSIGNED_BYTE, nullptr);
        memset(ilGetData(), 0, 16);
        ilGetData()[0] = (uint8_t)(row * 8 + col + 1);
        mmap_setup(&master);
        mmap_setup(&tile);
        master.image = sheet;
        tile.image = one;
        mmap_cutup(&master, 4, 4);
        mmap_cutup(&tile, 4, 4);
        mmap_keymap(&tile, &master);
    }
    ~Sheet()
    {
        mmap_clean(&tile);
        mmap_clean(&master);
        ilDeleteImages(1, &sheet);
        ilDeleteImages(1, &one);
    }
};

} // namespace

TEST_F(Hmap, CellsAreAddressedByNumberWithinTheMapAndAGridOverATileMap)
{
    EXPECT_TRUE(fails("m = hmap.alloc() m:get(0, 0)", "requested height out of range"));
    EXPECT_EQ(run("m:build(3.7, 2) m:set(2, 1, 5.5) m:set(0, 1, 7)"), "");
    EXPECT_EQ(eval("m:get(2, 1)"), "5.5");
    EXPECT_EQ(eval("m:get(3, 0)"), "7") << "x = w reaches the next row";
    for (const char* code :
         {"m:get(0, 2)", "m:set(-1, 0, 1)", "m:build(0, 4) m:get(0, 0)", "m:build(2, 2) hmap.free(m) m:get(0, 0)"})
        EXPECT_TRUE(fails(code, "requested height out of range")) << code;
    EXPECT_TRUE(fails("m.get(devil.alloc(), 0, 0)", "(bad hmap)"));

    // A grid over a tile map.
    EXPECT_EQ(run("img = devil.alloc() img:create(16, 12, 1, 1, 'IL_LUMINANCE', 'IL_UNSIGNED_BYTE')"
                  " t = mmap.alloc() t.image = img t:cutup(4, 4) t:merge()"
                  " m = hmap.alloc() m:build_from_mmap(t, 2)"), "");
    EXPECT_EQ(eval("m:get(4, 6)"), "0") << "4 x 3 tiles give 5 x 7 cells, all flat";
    EXPECT_TRUE(fails("m:get(5, 6)", "requested height out of range"));
    EXPECT_TRUE(fails("t.image = nil m:build_from_mmap(t, 1)", "(bad DevIL*)"));
}

TEST_F(Hmap, MasterColumnAndRowGiveTheSlope)
{
    Sheet s(6, 2);
    ASSERT_EQ(s.tile.tiles[0].link, &s.master.tiles[22]);
    hmap m;
    hmap_setup(&m);
    ASSERT_TRUE(hmap_build_from_mmap(&m, &s.tile, 1.5f));
    ASSERT_EQ(m.count, 2 * 3);
    EXPECT_FLOAT_EQ(m.cells[2].slope_x, 3.0f) << "direction 6 is (1, 0), steepness 2";
    EXPECT_FLOAT_EQ(m.cells[2].slope_y, 0.0f);
    // Relaxed: the right corners stand 3 above the left ones, top and bottom level.
    float u = m.cells[0].height, u2 = m.cells[1].height, d = m.cells[4].height, d2 = m.cells[5].height;
    EXPECT_NEAR(u2 - u, 3.0f, 1e-3);
    EXPECT_NEAR(d2 - d, 3.0f, 1e-3);
    EXPECT_NEAR(d - u, 0.0f, 1e-3);
    EXPECT_FLOAT_EQ(m.cells[2].height, (u + u2 + d + d2) * 0.25f);
    EXPECT_FLOAT_EQ(m.cells[3].height, 0.0f) << "the odd row's last cell belongs to no tile";

    // Direction 1 is (-1, 1); a master of no size, or a link into the tile's own map, is flat.
    Sheet diagonal(1, 3 - 2);
    ASSERT_TRUE(hmap_build_from_mmap(&m, &diagonal.tile, 2.0f));
    EXPECT_FLOAT_EQ(m.cells[2].slope_x, -2.0f);
    EXPECT_FLOAT_EQ(m.cells[2].slope_y, 2.0f);
    diagonal.master.tiles[9].w = 0;
    ASSERT_TRUE(hmap_build_from_mmap(&m, &diagonal.tile, 2.0f));
    EXPECT_FLOAT_EQ(m.cells[2].slope_x, 0.0f);
    // Sizes a script wrote with set_tile: negative ones (INT32_MIN / -1 would trap) are flat.
    diagonal.master.tiles[9].x = INT32_MIN;
    diagonal.master.tiles[9].w = -1;
    ASSERT_TRUE(hmap_build_from_mmap(&m, &diagonal.tile, 2.0f));
    EXPECT_FLOAT_EQ(m.cells[2].slope_x, 0.0f);
    hmap_clean(&m);
    hmap_clean(&m);
}

TEST_F(Hmap, DrawShiftsOddRowsByHalfACell)
{
    EXPECT_EQ(run("m = hmap.alloc() m:build(5, 3)"
                  " for x = 0, 4 do m:set(x, 1, x + 1) end m:set(4, 2, 100) m:set(0, 0, -1)"
                  " img = devil.alloc() m:draw(img)"), "");
    EXPECT_EQ(eval("img:get('IL_IMAGE_WIDTH') .. 'x' .. img:get('IL_IMAGE_HEIGHT')"), "10x3");
    EXPECT_EQ(row("img", 0), "0 0 4 4 4 4 4 4 4 4") << "the lowest cell is black";
    EXPECT_EQ(row("img", 1), "8 8 8 12 12 16 16 20 20 20") << "cell 4 is not shown";
    EXPECT_EQ(row("img", 2), "4 4 4 4 4 4 4 4 255 255") << "clamped to white";

    for (const char* size : {"1, 3", "2, 3", "3, 2"}) {
        std::string code = std::string("n = hmap.alloc() n:build(") + size + ") n:draw(img)";
        EXPECT_EQ(run(code.c_str()), "") << "narrow maps stay inside their rows: " << size;
    }
    EXPECT_EQ(row("img", 1), "0 0 0 0 0 0");

    EXPECT_TRUE(fails("hmap.alloc():draw(img)", "couldn't build heightmap"));
    EXPECT_TRUE(fails("img:free() m:draw(img)", "attempt to use a closed image"));
    EXPECT_EQ(ilGetError(), (ILenum)IL_NO_ERROR);
}
