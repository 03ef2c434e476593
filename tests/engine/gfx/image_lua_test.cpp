// The image libraries of the console's Lua. devil: constants by name, saved rows, the
// attribute stack, and the library's errors raised as Lua errors. Tile maps: the grid
// cut-up, merging and trimming, key maps, shelf packing with its pixel copy, the XTX writer
// (checked against the tools' writer byte for byte), links that must not outlive their
// tiles, and the library's argument and range errors. Height maps over them: cell
// addressing, slopes from the master sheet with the relaxation, and drawing into an image
// (the half-cell shift of odd rows, narrow maps included).
#include <gtest/gtest.h>

#include <IL/il.h>
#include <malloc.h>
#include <cstring>
#include <string>
#include <vector>

#include "tests/engine/gfx/image_lua_fixture.h"
#include "tools/writer/wr_image.h"
#include "tools/writer/wr_xtx.h"

namespace {

void box(uint32_t image, int x, int y, int w, int h, uint8_t v)
{
    ilBindImage(image);
    int iw = ilGetInteger(IL_IMAGE_WIDTH);
    uint8_t* p = ilGetData();
    for (int j = y; j < y + h; j++)
        for (int i = x; i < x + w; i++)
            p[j * iw + i] = v;
}

uint8_t at(uint32_t image, int x, int y)
{
    ilBindImage(image);
    return ilGetData()[y * ilGetInteger(IL_IMAGE_WIDTH) + x];
}

// x, y, w, h and the offsets of a tile, compared as one row.
std::vector<int> rect(const mmap_tile& t) { return {t.x, t.y, t.w, t.h, t.offset_x, t.offset_y}; }

struct Map {
    mmap m;
    explicit Map(uint32_t image) { mmap_setup(&m); m.image = image; }
    ~Map() { mmap_clean(&m); }
};

struct Mmap : ImageLua {
    std::vector<uint32_t> images;
    void TearDown() override
    {
        for (uint32_t id : images)
            ilDeleteImages(1, &id);
        ImageLua::TearDown();
    }
    // A black w x h luminance image, deleted after the test; rects drawn with box().
    uint32_t grey(int w, int h)
    {
        ILuint id = 0;
        ilGenImages(1, &id);
        ilBindImage(id);
        ilTexImage(w, h, 1, 1, IL_LUMINANCE, IL_UNSIGNED_BYTE, nullptr);
        memset(ilGetData(), 0, (size_t)w * h);
        images.push_back(id);
        return id;
    }
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

using Hmap = Mmap;

const char* TILE = "function tile(t, f, c, r) local o = {} t[f](t, o, c, r)"
                   " return o.x..','..o.y..','..o.w..','..o.h..' m'..o.master..' b'..o.base end";

using Devil = ImageLua;

} // namespace

TEST_F(Devil, EnumArgumentsAreNamesLookedUpAtEachCall)
{
    EXPECT_EQ(eval("devil.ENUM.IL_LBM .. ' ' .. devil.DEFS.IL_VERSION"), "1062 167") << "the Amiga type's old name";
    EXPECT_EQ(run("img = devil.alloc() img:create(7, 3, 1, 4, 'IL_RGBA', 'IL_UNSIGNED_BYTE')"), "");
    EXPECT_EQ(eval("devil.get('IL_IMAGE_WIDTH')"), "7") << "the method left its image bound";
    const char* bad[][2] = {{"devil.get(3556)", "\"3556\""}, {"devil.get('IL_NO_SUCH')", "\"IL_NO_SUCH\""},
                            {"devil.get()", "\"no value\""}, {"img:get('BROKEN')", "\"BROKEN\""}};
    EXPECT_EQ(run("devil.ENUM.WIDE = devil.ENUM.IL_IMAGE_HEIGHT devil.ENUM.BROKEN = 'x'"), "");
    for (const auto& b : bad)
        EXPECT_TRUE(harness_ends_with(eval(b[0]), (std::string("invalid DevIL ENUM string ") + b[1]).c_str())) << b[0];
    EXPECT_EQ(eval("img:get('WIDE')"), "3") << "names scripts add are accepted";
}

TEST_F(Devil, LibraryErrorsAreRaisedTheListIsLeftEmptyAndBadSizesAreRefused)
{
    EXPECT_TRUE(fails("img = devil.alloc() img:load('missing.png')", "DevIL ERROR could not open file"));
    EXPECT_EQ(run("img:create(2, 2, 1, 3, 'IL_RGB', 'IL_UNSIGNED_BYTE')"), "") << "no stale error";
    EXPECT_TRUE(fails("devil.pop()", "DevIL ERROR stack underflow"));
    EXPECT_TRUE(fails("img.load({}, 'x.png')", "bad argument #1 to 'load' (bad DevIL*)"));

    // Create refuses what the library would get wrong; colour indices wider than a byte
    // corrupted the heap once converted and copied.
    EXPECT_EQ(run("img = devil.alloc() devil.ENUM.IL_ALPHA = 0x1906"), "");
    const char* bad[] = {
        "img:create(4, 4, 1, 1, 'IL_RGBA', 'IL_UNSIGNED_BYTE')",  // 1 channel for RGBA
        "img:create(70000, 70000, 1, 4, 'IL_RGBA', 'IL_UNSIGNED_BYTE')", // wraps 32 bits
        "img:create(-4, 4, 1, 1, 'IL_LUMINANCE', 'IL_UNSIGNED_BYTE')",
        "img:create(2097152, 2097152, 4194304, 1, 'IL_LUMINANCE', 'IL_UNSIGNED_BYTE')", // 2^64
        "img:create(4, 4, 1, 3, 'IL_RGB', 'IL_PNG')", // not a pixel type
        "img:create(4, 4, 1, 1, 'IL_COLOUR_INDEX', 'IL_DOUBLE')",
        "img:create(4, 4, 1, 1, 'IL_COLOUR_INDEX', 'IL_UNSIGNED_SHORT')",
        "img:create(4, 4, 1, 1, 'IL_PNG', 'IL_UNSIGNED_BYTE')", // not a format
        "img:create(4, 4, 1, 1, 'IL_ALPHA', 'IL_UNSIGNED_BYTE')", // not one of ENUM's formats
    };
    for (const char* code : bad)
        EXPECT_TRUE(fails(code, "DevIL ERROR invalid parameter")) << code;
    EXPECT_EQ(run("img:create(4, 4, 1, 1, 'IL_COLOUR_INDEX', 'IL_UNSIGNED_BYTE')"
                  " img:convert('IL_BGRA', 'IL_UNSIGNED_BYTE') devil.alloc():copy(img)"), "");
    EXPECT_EQ(run("img:create(3, 2, 1, 2, 'IL_LUMINANCE_ALPHA', 'IL_FLOAT')"), "");
    EXPECT_EQ(eval("img:get('IL_IMAGE_SIZE_OF_DATA')"), "48");

    // Calls the library would crash or leak on.
    EXPECT_EQ(run("img:copy(img)"), "") << "an image copied onto itself";
    EXPECT_EQ(eval("img:get('IL_IMAGE_SIZE_OF_DATA')"), "48");
    harness_write_file("text.icc", "not a colour profile, only some words of text here");
    for (const char* code : {"img:apply_profile('none.icc', 'none.icc')", "img:apply_profile('text.icc', 'text.icc')"})
        EXPECT_TRUE(fails(code, "DevIL ERROR could not open file")) << code;
    EXPECT_TRUE(fails("img:copy_pal(devil.alloc())", "DevIL ERROR invalid parameter"))
        << "an image without a palette has none to give";
}

TEST_F(Devil, CreateZeroesThePixelsOfEveryTypeAndThePalette)
{
    // Each create runs again over its own pixels and palette, dirtied (0xAB). Grey clears to
    // 0; half floats (IL_HALF, a name the script adds) the library cannot clear, so it raises
    // its error over pixels that only create's own zeroing has set.
    ASSERT_EQ(run("devil.ENUM.IL_HALF = 0x140B img = devil.alloc()"), "");
    for (const char* type : {"IL_BYTE", "IL_UNSIGNED_BYTE", "IL_SHORT", "IL_UNSIGNED_SHORT", "IL_INT",
                             "IL_UNSIGNED_INT", "IL_FLOAT", "IL_DOUBLE", "IL_HALF", "index"}) {
        std::string code = type[0] == 'i' ? "img:create(3, 2, 1, 1, 'IL_COLOUR_INDEX', 'IL_UNSIGNED_BYTE')"
                                          : std::string("img:create(3, 2, 1, 1, 'IL_LUMINANCE', '") + type + "')";
        std::vector<uint8_t> got; // the pixels, then the palette
        for (int pass = 0; pass < 2; pass++) {
            std::string result = run(code.c_str());
            bool half = strcmp(type, "IL_HALF") == 0;
            EXPECT_TRUE(half ? harness_ends_with(result, "DevIL ERROR internal error") : result.empty()) << result;
            ilBindImage(image("img"));
            ILubyte *px = ilGetData(), *pal = ilGetPalette();
            size_t n = ilGetInteger(IL_IMAGE_SIZE_OF_DATA);
            size_t p = pal ? ilGetInteger(IL_PALETTE_NUM_COLS) * ilGetInteger(IL_PALETTE_BPP) : 0;
            got.assign(px, px + n);
            got.insert(got.end(), pal, pal + p);
            memset(px, 0xAB, n);
            if (p)
                memset(pal, 0xAB, p);
        }
        EXPECT_EQ(got, std::vector<uint8_t>(std::max<size_t>(got.size(), 6), 0)) << code; // 3 x 2 pixels at least
    }
}

TEST_F(Devil, SavedFilesKeepTheTopRowFirst)
{
    EXPECT_EQ(run("img = devil.alloc() img:create(1, 2, 1, 1, 'IL_LUMINANCE', 'IL_UNSIGNED_BYTE')"), "");
    ilBindImage(image("img"));
    ilGetData()[0] = 10; // top row
    ilGetData()[1] = 20;
    EXPECT_EQ(run("img:save('.\\\\col.png') back = devil.alloc() back:load('col.png')"), "")
        << "backslash folders are accepted";
    ilBindImage(image("back"));
    EXPECT_EQ(std::make_pair(ilGetData()[0], ilGetData()[1]), std::make_pair((uint8_t)10, (uint8_t)20));
}

TEST_F(Devil, AttributeStackAndStrings)
{
    EXPECT_EQ(eval("devil.get_string('IL_PNG_TITLE_STRING')"), "nil");
    EXPECT_EQ(run("devil.push() devil.set('IL_JPG_QUALITY', 42.9)"), "") << "push of unset strings";
    EXPECT_EQ(eval("devil.get('IL_JPG_QUALITY')"), "42");
    // Saving reads 255 bytes of each string the library keeps, whatever its length, and cuts
    // its working copy at the string's own length: the kept copy must hold 256 bytes and the
    // text at most the limit (40 characters for a TGA author), also after a push.
    for (bool pushed : {false, true}) {
        EXPECT_EQ(run(pushed ? "devil.push()" : "devil.set_string('IL_PNG_TITLE_STRING', 't')"
                               " devil.set_string('IL_TGA_AUTHNAME_STRING', string.rep('n', 50))"), "");
        for (ILenum mode : {IL_PNG_TITLE_STRING, IL_TGA_AUTHNAME_STRING, IL_TIF_AUTHNAME_STRING, IL_CHEAD_HEADER_STRING})
            EXPECT_GE(malloc_usable_size((void*)ilGetString(mode)), 256u) << mode << " pushed " << pushed;
        EXPECT_EQ(eval("devil.get_string('IL_PNG_TITLE_STRING')"), "t");
        EXPECT_EQ(eval("devil.get_string('IL_TGA_AUTHNAME_STRING')"), std::string(40, 'n'));
    }
    EXPECT_EQ(run("img = devil.alloc() img:create(2, 2, 1, 4, 'IL_RGBA', 'IL_UNSIGNED_BYTE')"
                  " img:save('titled.png') img:save('titled.tga') devil.pop() devil.pop()"), "");
    EXPECT_NE(eval("devil.get('IL_JPG_QUALITY')"), "42") << "pop restores the pushed value";
    EXPECT_TRUE(fails("for i = 1, 40 do devil.push() end", "DevIL ERROR stack overflow"));
    EXPECT_EQ(run("for i = 1, 32 do pcall(devil.pop) end"), "");
}

// Freed images are closed: load and select_frame refuse them, get still runs, and freeing
// or collecting them again deletes nothing more; the collector deletes images no script
// holds. A clone outlives its original, a copy takes the other's size, and a palette can be
// taken from another image or from the image itself.
TEST_F(Devil, ClosedImagesClonesCopiesAndPalettes)
{
    EXPECT_EQ(run("img = devil.alloc() img:create(2, 2, 1, 1, 'IL_LUMINANCE', 'IL_UNSIGNED_BYTE') img:free()"), "");
    EXPECT_EQ(harness_il_images(), baseline);
    for (const char* code : {"img:load('x.png')", "img:select_frame(1)", "img:create(1, 1, 1, 1, 'IL_RGB', 'IL_BYTE')"})
        EXPECT_TRUE(fails(code, "attempt to use a closed image")) << code;
    EXPECT_EQ(run("w = img:get('IL_IMAGE_WIDTH') devil.free(img) img = nil"
                  " for i = 1, 5 do devil.alloc() end collectgarbage() collectgarbage()"), "");
    EXPECT_EQ(harness_il_images(), baseline);

    EXPECT_EQ(run("a = devil.alloc() a:create(5, 4, 1, 3, 'IL_RGB', 'IL_UNSIGNED_BYTE')"
                  " c = a:clone() a:free() d = devil.alloc() d:copy(c) d:convert('IL_LUMINANCE', 'IL_UNSIGNED_BYTE')"), "");
    EXPECT_EQ(eval("c:get('IL_IMAGE_WIDTH') .. ' ' .. d:get('IL_IMAGE_HEIGHT')"), "5 4");
    EXPECT_EQ(eval("(c:get('IL_IMAGE_FORMAT') == devil.ENUM.IL_RGB) and (d:get('IL_IMAGE_FORMAT') == devil.ENUM.IL_LUMINANCE)"),
              "true");

    const uint8_t indices[4] = {0, 1, 2, 1};
    const uint8_t palette[9] = {0, 0, 0, 255, 0, 0, 0, 255, 0};
    ASSERT_TRUE(wr_image_save_indexed("pal.png", 2, 2, indices, palette, 3));
    EXPECT_EQ(run("p = devil.alloc() p:load('pal.png')"
                  " b = devil.alloc() b:create(2, 2, 1, 1, 'IL_COLOUR_INDEX', 'IL_UNSIGNED_BYTE')"
                  " b:copy_pal(p) p:free() b:copy_pal(b)"), "");
    ilBindImage(image("b"));
    const ILubyte* pal = ilGetPalette();
    ASSERT_NE(pal, nullptr);
    ASSERT_GE(ilGetInteger(IL_PALETTE_NUM_COLS), 3);
    int bpp = ilGetInteger(IL_PALETTE_BPP);
    EXPECT_EQ((std::vector<int>{255, 0, 0, 0, 255, 0}),
              (std::vector<int>{pal[bpp], pal[bpp + 1], pal[bpp + 2], pal[2 * bpp], pal[2 * bpp + 1], pal[2 * bpp + 2]}));
}

// select_frame makes every later method work on that frame of an animated image (frame 0
// is the image itself); a frame the image lacks makes the bind fail.
TEST_F(Devil, SelectedFrameIsUsedByEveryLaterMethod)
{
    EXPECT_EQ(run("img = devil.alloc() img:create(2, 2, 1, 1, 'IL_LUMINANCE', 'IL_UNSIGNED_BYTE')"), "");
    ilBindImage(image("img"));
    ASSERT_EQ(ilCreateSubImage(IL_SUB_NEXT, 2), 2u); // two more frames
    EXPECT_EQ(run("img:select_frame(2) img:create(5, 3, 1, 1, 'IL_LUMINANCE', 'IL_UNSIGNED_BYTE')"), "");
    EXPECT_EQ(eval("img:get('IL_IMAGE_WIDTH')"), "5");
    EXPECT_EQ(run("img:select_frame(0)"), "");
    EXPECT_EQ(eval("img:get('IL_IMAGE_WIDTH')"), "2");
    EXPECT_EQ(run("img:select_frame(9)"), "");
    EXPECT_TRUE(harness_ends_with(eval("img:get('IL_IMAGE_WIDTH')"), "DevIL ERROR illegal operation"));
}

TEST(DevilUnset, EveryCallIsRefusedUntilTheLibraryIsSetUp)
{
    // Run in a process of its own, before anything initialised the image library.
    devil_library_ready(false);
    lua_State* L = luaL_newstate();
    ASSERT_TRUE(safelua_cpcall(L, ImageLua::open_body, nullptr));
    for (const char* code : {"devil.pop()", "devil.push()", "devil.alloc():load('x.png')",
                             "devil.get('IL_JPG_QUALITY')", "devil.set_string('IL_PNG_TITLE_STRING', 't')",
                             "devil.set_hint('IL_MEM_SPEED_HINT', 'IL_FASTEST')"})
        EXPECT_TRUE(harness_ends_with(lua_fixture_run(L, code), "the image library is not set up")) << code;
    lua_close(L);
}

TEST_F(Mmap, CutupMakesARowByRowGridAndRangeChecks)
{
    ASSERT_EQ(run(TILE), "");
    EXPECT_EQ(run("img = devil.alloc() img:create(100, 50, 1, 1, 'IL_LUMINANCE', 'IL_UNSIGNED_BYTE')"
                  " t = mmap.alloc() t.image = img"), "");
    EXPECT_EQ(run("t:cutup(16.9, 16)"), "");
    std::string base = " m0 b" + std::to_string(image("img"));
    EXPECT_EQ(eval("tile(t, 'get_tile', 5, 2)"), "80,32,16,16" + base) << "tile 17 is the last";
    EXPECT_EQ(eval("tile(t, 'get_tile', 17)"), "80,32,16,16" + base);
    for (const char* code : {"t:get_tile({}, 18)", "t:get_tile({}, 0, 3)", "t:get_tile({}, -1)"})
        EXPECT_TRUE(fails(code, "requested tile out of range")) << code;

    EXPECT_EQ(run("t:cutup(0, 16)"), "") << "a cell size of 0 is refused, not divided by";
    EXPECT_EQ(eval("tile(t, 'get_tile', 0)"), "0,0,16,16" + base) << "the old grid stays";

    EXPECT_TRUE(fails("t.cutup({mmap = img}, 1, 1)", "(bad mmap)"));
    EXPECT_TRUE(fails("t.image = 5 t:cutup(1, 1)", "(bad DevIL*)"));
    EXPECT_EQ(run("t:free() mmap.free(t) t.mmap:free()"), "");
}

// set_tile writes x, y, w, h (read back by get_tile); get_master_tile follows the links to
// the master map's tile and names its image, 0 for a tile without a link; a collected
// master leaves no link behind, and a map without tiles has no tile to give.
TEST_F(Mmap, TilesAreWrittenAndReadAndMasterTilesFollowTheLinks)
{
    ASSERT_EQ(run(TILE), "");
    EXPECT_EQ(run("a = devil.alloc() a:create(8, 8, 1, 1, 'IL_LUMINANCE', 'IL_UNSIGNED_BYTE')"
                  " b = devil.alloc() b:create(8, 8, 1, 1, 'IL_LUMINANCE', 'IL_UNSIGNED_BYTE')"
                  " t = mmap.alloc() t.image = a t:cutup(4, 4) t:set_tile({x = 1, y = 2, w = 3, h = 4}, 1, 1)"
                  " do local s = mmap.alloc() s.image = b s:cutup(4, 4) t:keymap(s) end"), "");
    std::string sa = std::to_string(image("a")), sb = std::to_string(image("b"));
    EXPECT_EQ(eval("tile(t, 'get_tile', 3)"), "1,2,3,4 m0 b" + sa);
    EXPECT_EQ(eval("tile(t, 'get_master_tile', 1, 0)"), "0,0,4,4 m" + sb + " b" + sa) << "blank: the master's first";
    EXPECT_EQ(run("collectgarbage() collectgarbage()"), "");
    EXPECT_EQ(eval("tile(t, 'get_master_tile', 1, 0)"), "4,0,4,4 m0 b" + sa);
    EXPECT_TRUE(fails("u = mmap.alloc() u.image = a u:get_tile({}, 0)", "requested tile out of range"));
}

// Merging, trimming and packing are pinned through a saved file below; here the edges.
TEST_F(Mmap, ShrinkEmptiesABlankTileAndTilesOutsideTheImageAreNeverRead)
{
    uint32_t sheet = grey(32, 8); // four 8 x 8 cells
    box(sheet, 24, 0, 1, 8, 5);    // cell 3: a column at its left edge; the others blank
    Map m(sheet);
    ASSERT_TRUE(mmap_cutup(&m.m, 8, 8));
    ASSERT_TRUE(mmap_shrink(&m.m));
    mmap_tile* t = m.m.tiles;
    EXPECT_EQ(rect(t[2]), (std::vector<int>{16, 0, 0, 0, 0, 0})) << "a blank tile loses its rows from the bottom";

    t[2].x = 30; // reaching 6 columns past the right edge: not identical, not trimmed
    t[2].w = t[2].h = 8;
    EXPECT_FALSE(mmap_tile_compare(&t[2], &t[3]));
    EXPECT_FALSE(mmap_tile_trim(&t[2]));
}

TEST_F(Mmap, KeymapLinksToTheMastersTilesButNeverToItself)
{
    uint32_t a = grey(16, 8), b = grey(24, 8);
    box(a, 0, 0, 8, 8, 1);
    box(b, 16, 0, 8, 8, 1); // b's third cell matches a's first
    Map ma(a), mb(b);
    ASSERT_TRUE(mmap_cutup(&ma.m, 8, 8));
    ASSERT_TRUE(mmap_cutup(&mb.m, 8, 8));
    ASSERT_TRUE(mmap_keymap(&ma.m, &mb.m));
    EXPECT_EQ(ma.m.tiles[0].link, &mb.m.tiles[2]);
    EXPECT_EQ(ma.m.tiles[1].link, &mb.m.tiles[0]) << "blank matches the first blank";

    ASSERT_TRUE(mmap_keymap(&mb.m, &mb.m));
    EXPECT_EQ(mb.m.tiles[0].link, &mb.m.tiles[1]) << "the next identical tile, not itself";
    EXPECT_EQ(mb.m.tiles[2].link, nullptr) << "a tile like no other has none";

    // Cutting the master again, or freeing it (also what collecting it does), clears every
    // link into its old tiles.
    ASSERT_TRUE(mmap_cutup(&mb.m, 8, 8));
    EXPECT_TRUE(!ma.m.tiles[0].link && !ma.m.tiles[1].link);
    ASSERT_TRUE(mmap_keymap(&ma.m, &mb.m));
    ASSERT_NE(ma.m.tiles[0].link, nullptr);
    mmap_clean(&mb.m);
    EXPECT_TRUE(!ma.m.tiles[0].link && !ma.m.tiles[1].link);
    // A map over a closed image (0) has no pixels and does nothing.
    Map none(0);
    EXPECT_FALSE(mmap_cutup(&none.m, 4, 4));
    EXPECT_EQ(none.m.count, 0);
    EXPECT_FALSE(mmap_merge(&none.m));
}

TEST_F(Mmap, ScriptCodeRunDuringACallCannotFreeTheTilesInUse)
{
    ASSERT_EQ(run("a = devil.alloc() a:create(8, 8, 1, 1, 'IL_LUMINANCE', 'IL_UNSIGNED_BYTE')"
                  " t = mmap.alloc() t.image = a t:cutup(4, 4)"
                  " function spoil() if t.mmap then t:free() t.mmap = nil end collectgarbage() collectgarbage() end"), "");
    EXPECT_EQ(run("o = setmetatable({}, {__newindex = function(o, k, v) spoil() rawset(o, k, v) end})"
                  " t.get_tile(t, o, 1)"), "");
    EXPECT_EQ(run("t.mmap = mmap.alloc().mmap t.image = a t:cutup(4, 4)"), "");
    EXPECT_EQ(eval("o.x .. ',' .. o.w"), "4,4") << "the values read before the stores";
    EXPECT_TRUE(fails("t:set_tile(setmetatable({}, {__index = function() spoil() return 1 end}), 1)", "(bad mmap)"))
        << "the fields are read before the tile is looked up";
    EXPECT_EQ(run("t.mmap = mmap.alloc().mmap t:cutup(4, 4)"
                  " p = setmetatable({}, {__index = function(_, k)"
                  " if k == 'mmap' then return mmap.alloc().mmap end spoil() return a end})"), "");
    EXPECT_TRUE(fails("t:keymap(p)", "(bad mmap)")) << "fields are read raw";
}

// Three 10 x 10 cells across a 30 x 10 image, each a box in its top left corner.
static void three_cells(uint32_t sheet)
{
    box(sheet, 0, 0, 4, 2, 1);   // cell 0: 4 x 2
    box(sheet, 10, 0, 3, 5, 2);  // cell 1: 3 x 5
    box(sheet, 20, 0, 6, 2, 3);  // cell 2: 6 x 2
}

TEST_F(Mmap, LayoutPacksTallestFirstWithBordersAndCopiesPixels)
{
    uint32_t sheet = grey(30, 10);
    three_cells(sheet);
    Map src(sheet);
    ASSERT_TRUE(mmap_cutup(&src.m, 10, 10));
    ASSERT_TRUE(mmap_shrink(&src.m));
    Map dst(grey(12, 16));
    ASSERT_TRUE(mmap_layout(&src.m, &dst.m, 1));
    ASSERT_EQ(dst.m.count, 3);
    // Height 5 first, then the two of height 2 in their order; width 12 holds 3+2 and 4+2
    // on the first shelf (border 1): cell 1 at (1, 1), cell 0 at (6, 1); cell 2 starts the
    // second at (1, 1 + 5 + 2). The pixels follow, the borders (0, 0) and (10, 1) stay empty.
    const int probes[6][3] = {{1, 1, 2}, {3, 5, 2}, {9, 2, 1}, {6, 9, 3}, {0, 0, 0}, {10, 1, 0}};
    for (const auto& p : probes)
        EXPECT_EQ(at(dst.m.image, p[0], p[1]), p[2]) << p[0] << "," << p[1];

    // Into an image of another layout: the pixels are converted on the way.
    ILuint rgba = grey(12, 16);
    ilBindImage(rgba);
    ilTexImage(12, 16, 1, 4, IL_BGRA, IL_UNSIGNED_BYTE, nullptr);
    memset(ilGetData(), 0, 12 * 16 * 4);
    Map colour(rgba);
    ASSERT_TRUE(mmap_layout(&src.m, &colour.m, 1));
    EXPECT_EQ(ilGetInteger(IL_CUR_IMAGE), (ILint)rgba) << "the destination is left bound";
    ilBindImage(rgba);
    const uint8_t* px = ilGetData() + (1 * 12 + 1) * 4;
    EXPECT_EQ(std::vector<int>({px[0], px[2], px[3]}), std::vector<int>({2, 2, 255}));

    // Too low: the first shelf fits, the second does not; what was placed stays. The count
    // is the 3 tiles to place: the first shelf (5 high + 2 x 1 border = 7) takes cells 1
    // and 0, cell 2 starts a shelf at y 7 and 7 + 2 + 2 > 8; the third tile stays unplaced.
    Map low(grey(12, 8));
    EXPECT_FALSE(mmap_layout(&src.m, &low.m, 1));
    EXPECT_EQ(low.m.count, 3);
    // Too narrow for one tile even on a shelf of its own.
    Map narrow(grey(7, 40));
    EXPECT_FALSE(mmap_layout(&src.m, &narrow.m, 1));
    EXPECT_FALSE(mmap_layout(&src.m, &src.m, 0)) << "a map cannot be packed into itself";
    EXPECT_FALSE(mmap_layout(&src.m, &dst.m, -1));
    EXPECT_EQ(dst.m.count, 3) << "refused layouts leave the destination alone";

    // Replacing the packed tiles and freeing the source leave no stale links anywhere.
    mmap_clean(&src.m);
    EXPECT_EQ(dst.m.tiles[0].link, nullptr);
}

TEST_F(Mmap, AFailedLayoutKeepsEveryTileAndTheUnplacedOnesAreZero)
{
    // The three cells trimmed: cell 0 4 x 2, cell 1 3 x 5, cell 2 6 x 2, offsets 0; packed
    // with border 1 in the order 1, 0, 2. Into 12 x 8: cell 1 at (1, 1), cell 0 at
    // (1 + 3 + 2, 1) = (6, 1); cell 2 needs a shelf at y 5 + 2 = 7 and 7 + 2 + 2 > 8. Into
    // 12 x 6 nothing fits: 0 + 5 + 2 > 6. Either way the map holds the 3 tiles to place.
    // Keys, per sheet cell, 1 + the packed tile linked to it: cell 0 is tile 2, cell 1 tile
    // 1, and an unplaced cell 0.
    struct packing {
        int w, h;
        xtx_tile tiles[3];
        uint16_t keys[3];
    } cases[] = {
        {12, 8, {{1, 1, 3, 5, 0, 0}, {6, 1, 4, 2, 0, 0}, {0, 0, 0, 0, 0, 0}}, {2, 1, 0}},
        {12, 6, {{0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}}, {0, 0, 0}},
    };
    ASSERT_EQ(run(TILE), "");
    uint32_t sheet = grey(30, 10);
    three_cells(sheet);
    ASSERT_EQ(run("sheet = devil.alloc() s = mmap.alloc() s.image = sheet"), "");
    ilBindImage(image("sheet"));
    ilCopyImage(sheet);
    ASSERT_EQ(run("s:cutup(10, 10) s:shrink()"), "");
    std::string sheet_name = std::to_string(image("sheet"));
    for (const packing& c : cases) {
        std::string code = "img = devil.alloc() img:create(" + std::to_string(c.w) + ", " + std::to_string(c.h) +
                           ", 1, 1, 'IL_LUMINANCE', 'IL_UNSIGNED_BYTE')"
                           " p = mmap.alloc() p.image = img s:layout(p, 1) p:saveXTX(s, 'packed.xtx')";
        ASSERT_EQ(run(code.c_str()), "") << c.h;
        std::string base = " b" + std::to_string(image("img"));
        for (int i = 0; i < 3; i++) {
            const xtx_tile& t = c.tiles[i];
            std::string shown = std::to_string(t.x) + "," + std::to_string(t.y) + "," + std::to_string(t.w) + "," +
                                std::to_string(t.h) + " m" + (t.w ? sheet_name : "0") + base;
            std::string got = eval(("tile(p, 'get_tile', " + std::to_string(i) + ")").c_str());
            EXPECT_EQ(got, shown) << c.h << " tile " << i;
        }
        // 40 + 12 x 3 tiles + 2 x 3 keys = 82 bytes.
        wr_buf expected;
        wr_xtx_file(&expected, c.tiles, 3, c.keys, 3);
        ASSERT_EQ(expected.bytes.size(), 82u);
        EXPECT_EQ(harness_read_file("packed.xtx"), std::string(expected.bytes.begin(), expected.bytes.end())) << c.h;
    }
}

TEST_F(Mmap, SavedXtxMatchesTheToolsWriterByteForByte)
{
    ASSERT_EQ(run(TILE), "");
    uint32_t sheet = grey(24, 16); // 3 x 2 cells of 8
    box(sheet, 1, 1, 2, 3, 7);      // cell 0
    box(sheet, 9, 1, 2, 3, 7);      // cell 1 = cell 0
    box(sheet, 18, 2, 5, 4, 8);     // cell 2
    box(sheet, 3, 12, 4, 1, 9);     // cell 3; cells 4 and 5 blank
    ASSERT_EQ(run("sheet = devil.alloc() packed = devil.alloc()"
                  " packed:create(32, 32, 1, 1, 'IL_LUMINANCE', 'IL_UNSIGNED_BYTE')"), "");
    ilBindImage(image("sheet"));
    ilCopyImage(sheet);
    ASSERT_EQ(run("s = mmap.alloc() s.image = sheet s:cutup(8, 8) s:merge() s:shrink()"
                  " p = mmap.alloc() p.image = packed s:layout(p, 1)"
                  " p:saveXTX(s, 'font.xtx')"), "");
    // Cells 1 and 5 are linked (to 0 and 4) and so not trimmed. Packed tallest first:
    // 1, 5 (8 x 8), 2 (5 x 4), 0 (2 x 3), then 3 (4 x 1) on a second shelf.
    const xtx_tile tiles[5] = {{1, 1, 8, 8, 0, 0}, {11, 1, 8, 8, 0, 0}, {21, 1, 5, 4, 2, 2},
                               {28, 1, 2, 3, 1, 1}, {1, 11, 4, 1, 3, 4}};
    const uint16_t keys[6] = {4, 1, 3, 5, 0, 2};
    wr_buf expected;
    wr_xtx_file(&expected, tiles, 5, keys, 6);
    EXPECT_EQ(harness_read_file("font.xtx"), std::string(expected.bytes.begin(), expected.bytes.end()));
    EXPECT_EQ(run("p:saveXTX(s, 'no/such/folder/x.xtx')"), "");
    EXPECT_EQ(LOGGED.error, "Failed to open output file \"no/such/folder/x.xtx\".\n");
    EXPECT_TRUE(fails("p:saveXTX({}, 'x.xtx')", "to 'saveXTX' (bad mmap)"));
}

TEST_F(Hmap, CellsAreAddressedByNumberWithinTheMapAndAGridOverATileMap)
{
    EXPECT_TRUE(fails("m = hmap.alloc() m:get(0, 0)", "requested height out of range"));
    EXPECT_EQ(run("m:build(3.7, 2) m:set(2, 1, 5.5) m:set(0, 1, 7)"), "");
    EXPECT_EQ(eval("m:get(2, 1)"), "5.5");
    EXPECT_EQ(eval("m:get(3, 0)"), "7") << "x = w reaches the next row";
    for (const char* code :
         {"m:get(0, 2)", "m:set(-1, 0, 1)", "m:build(0, 4) m:get(0, 0)", "m:build(2, 2) hmap.free(m) m:get(0, 0)"})
        EXPECT_TRUE(fails(code, "requested height out of range")) << code;

    // A grid over a tile map.
    EXPECT_EQ(run("img = devil.alloc() img:create(16, 12, 1, 1, 'IL_LUMINANCE', 'IL_UNSIGNED_BYTE')"
                  " t = mmap.alloc() t.image = img t:cutup(4, 4) t:merge()"
                  " m = hmap.alloc() m:build_from_mmap(t, 2)"), "");
    EXPECT_EQ(eval("m:get(4, 6)"), "0") << "4 x 3 tiles give 5 x 7 cells, all flat";
    EXPECT_TRUE(fails("m:get(5, 6)", "requested height out of range"));
    EXPECT_TRUE(fails("t.image = nil m:build_from_mmap(t, 1)", "(bad DevIL*)"));
}

// Every method's first argument must be a height map; anything else is the argument error
// "bad hmap" (a DevIL* image too, though it is a userdata as well).
TEST_F(Hmap, MethodsRefuseAFirstArgumentThatIsNoMap)
{
    ASSERT_EQ(run("m = hmap.alloc() img = devil.alloc()"), "");
    const char* calls[][2] = {
        {"m.get(img, 0, 0)", "get"},   {"m.set({}, 0, 0, 1)", "set"},  {"m.build(5, 1, 1)", "build"},
        {"m.draw('m', img)", "draw"}, {"hmap.free(img)", "free"}, {"m.build_from_mmap(nil, {}, 1)", "build_from_mmap"},
    };
    for (const auto& c : calls)
        EXPECT_TRUE(fails(c[0], (std::string("bad argument #1 to '") + c[1] + "' (bad hmap)").c_str())) << run(c[0]);
}

// A cell no one set reads 0, and so does every cell of a rebuilt map: building again gives
// fresh zeroed cells. 3 x 2 cells, all six set to 9 through x = 0..5 of row 0, rebuilt,
// then cell 2 + 1 x 3 = 5 set to 5.5: cells 0-4 read 0.
TEST_F(Hmap, CellsNeverSetReadZeroAlsoAfterARebuild)
{
    EXPECT_EQ(run("m = hmap.alloc() m:build(3, 2) m:set(1, 0, 4)"), "");
    EXPECT_EQ(eval("m:get(0, 0) .. ' ' .. m:get(1, 0) .. ' ' .. m:get(2, 1)"), "0 4 0");
    EXPECT_EQ(run("for n = 0, 5 do m:set(n, 0, 9) end m:build(3, 2) m:set(2, 1, 5.5)"), "");
    EXPECT_EQ(run("s = {} for n = 0, 5 do s[n + 1] = m:get(n, 0) end"), "");
    EXPECT_EQ(eval("table.concat(s, ' ')"), "0 0 0 0 0 5.5");
}

TEST_F(Hmap, BuildRefusesSizesPastTheImageLimitsBeforeAllocating)
{
    // 16384 cells a side and 256 MB of 12-byte cells: 16384 x 1365 cells take 268369920
    // bytes, within 268435456; a row more takes 268566528. 1e308 and 2^53 arrive saturated
    // to 2147483647 (25 GB of cells if taken), NaN as 0.
    struct size { const char* w; const char* h; bool ok; } sizes[] = {
        {"16384", "1365", true}, {"1365", "16384", true}, {"16384", "1366", false}, {"16385", "1", false},
        {"1", "16385", false}, {"1e308", "1", false}, {"1", "2^53", false}, {"-1", "1", false}, {"0/0", "1", false},
    };
    ASSERT_EQ(run("m = hmap.alloc()"), "");
    for (const size& z : sizes) {
        // The last cell of an accepted map is there; a refused map has none.
        std::string code = std::string("m:build(") + z.w + ", " + z.h + ") m:set(" + z.w + " - 1, " + z.h + " - 1, 2)";
        std::string result = run(code.c_str());
        EXPECT_TRUE(z.ok ? result.empty() : harness_ends_with(result, "requested height out of range"))
            << z.w << " x " << z.h << ": " << result;
        EXPECT_EQ(!z.ok, LOGGED.error.find("Failed to allocate heightmap") != std::string::npos) << z.w;
        LOGGED.error.clear();
    }
}

TEST_F(Hmap, MasterColumnAndRowGiveTheSlope)
{
    // A 32 x 12 master sheet of 4 x 4 cells, each marked by its number in its top left pixel,
    // and single-tile maps keyed to it: one copies cell (6, 2), the other cell (1, 1).
    Map master(grey(32, 12)), level(grey(4, 4)), diagonal(grey(4, 4));
    for (int n = 0; n < 24; n++)
        box(master.m.image, (n % 8) * 4, (n / 8) * 4, 1, 1, (uint8_t)(n + 1));
    box(level.m.image, 0, 0, 1, 1, 2 * 8 + 6 + 1);
    box(diagonal.m.image, 0, 0, 1, 1, 1 * 8 + 1 + 1);
    ASSERT_TRUE(mmap_cutup(&master.m, 4, 4));
    for (Map* t : {&level, &diagonal})
        ASSERT_TRUE(mmap_cutup(&t->m, 4, 4) && mmap_keymap(&t->m, &master.m));
    ASSERT_EQ(level.m.tiles[0].link, &master.m.tiles[22]);
    hmap m;
    hmap_setup(&m);
    ASSERT_TRUE(hmap_build_from_mmap(&m, &level.m, 1.5f));
    ASSERT_EQ(m.count, 2 * 3);
    EXPECT_EQ(std::make_pair(m.cells[2].slope_x, m.cells[2].slope_y), std::make_pair(3.0f, 0.0f))
        << "direction 6 is (1, 0), steepness 2";
    // Relaxed: the right corners stand 3 above the left ones, top and bottom level.
    float u = m.cells[0].height, u2 = m.cells[1].height, d = m.cells[4].height, d2 = m.cells[5].height;
    EXPECT_NEAR(u2 - u, 3.0f, 1e-3);
    EXPECT_NEAR(d2 - d, 3.0f, 1e-3);
    EXPECT_NEAR(d - u, 0.0f, 1e-3);
    EXPECT_FLOAT_EQ(m.cells[2].height, (u + u2 + d + d2) * 0.25f);
    EXPECT_FLOAT_EQ(m.cells[3].height, 0.0f) << "the odd row's last cell belongs to no tile";

    // Direction 1 is (-1, 1); a master of no size, or a link into the tile's own map, is flat.
    ASSERT_TRUE(hmap_build_from_mmap(&m, &diagonal.m, 2.0f));
    EXPECT_EQ(std::make_pair(m.cells[2].slope_x, m.cells[2].slope_y), std::make_pair(-2.0f, 2.0f));
    master.m.tiles[9].w = 0;
    ASSERT_TRUE(hmap_build_from_mmap(&m, &diagonal.m, 2.0f));
    EXPECT_FLOAT_EQ(m.cells[2].slope_x, 0.0f);
    // Sizes a script wrote with set_tile: negative ones (INT32_MIN / -1 would trap) are flat.
    master.m.tiles[9].x = INT32_MIN;
    master.m.tiles[9].w = -1;
    ASSERT_TRUE(hmap_build_from_mmap(&m, &diagonal.m, 2.0f));
    EXPECT_FLOAT_EQ(m.cells[2].slope_x, 0.0f);
    hmap_clean(&m);
    hmap_clean(&m);
}

TEST_F(Hmap, RelaxationOverSeveralTilesEndsOnTheLastForwardPass)
{
    // Slopes through links into a 32 x 12 sheet of 4 x 4 cells with k = 2: column 0 row 2
    // gives (0, 1) x 2 x 2 = (0, 4), column 4 row 2 (0, -4), column 6 row 2 (4, 0); no link
    // is flat. Corners shared by two tiles are pulled by both: each visit satisfies the
    // visited tile's steps exactly, so when two tiles disagree the last one visited wins.
    // Pass 0 runs backwards and pass 31, the last, forwards. In A, B and C every later pair
    // of passes repeats passes 0 and 1, so the heights end as pass 1 leaves them.
    //
    // A: tiles (0, 4) | flat. Pass 0 visits the flat tile (nothing to do), then the left
    // one: its left and right edges become -2 over 2. Pass 1: the left tile is satisfied;
    // the flat one pulls the shared edge back: e = (0 - 4) x 0.5, so -2 + 2 = 0 and 2 - 2 =
    // 0. Top -2 0 0, bottom 2 0 0; both centres 0.
    // B: tiles (0, 4) | (0, -4). Pass 0: the right tile makes both its edges 2 over -2, then
    // the left one its left edge -2 over 2 and the shared edge e = (4 - -4) x 0.5 = 4,
    // -2 over 2. Pass 1: the right tile's e = (-4 - 4) x 0.5 takes the shared edge back to
    // 2 over -2. Top -2 2 2, bottom 2 -2 -2.
    // C: (4, 0) above flat, one column. Pass 0: the top tile makes rows 0 and 2 read -2 2.
    // Pass 1: the flat tile below: left edge e = (0 - 2) x 0.5 = -1 gives -1 over -1, right
    // edge 1 over 1, then top e = (0 - 2) x 0.5 = -1 gives 0 0, bottom 0 0. Rows -2 2 | 0 0
    // | 0 0.
    // D: (4, 0) | flat agree (heights 0, 4, 4 across fit both) and the steps keep the sum of
    // the corners at 0: every corner row settles at -8/3 4/3 4/3 (within float rounding of
    // the geometric approach); the centres are (-8/3 + 4/3) / 2 = -2/3 and 4/3.
    const float third = 1.0f / 3.0f;
    struct relax_case {
        const char* name;
        int across, down;
        int master[2]; // each tile's master cell (row 2), -1 for none
        std::vector<float> heights; // every cell, row by row
    } cases[] = {
        {"A", 2, 1, {0, -1}, {-2, 0, 0, /**/ 0, 0, 0, /**/ 2, 0, 0}},
        {"B", 2, 1, {0, 4}, {-2, 2, 2, /**/ 0, 0, 0, /**/ 2, -2, -2}},
        {"C", 1, 2, {6, -1}, {-2, 2, /**/ 0, 0, /**/ 0, 0, /**/ 0, 0, /**/ 0, 0}},
        {"D", 2, 1, {6, -1},
         {-8 * third, 4 * third, 4 * third, /**/ -2 * third, 4 * third, 0, /**/ -8 * third, 4 * third, 4 * third}},
    };
    Map sheet(grey(32, 12));
    ASSERT_TRUE(mmap_cutup(&sheet.m, 4, 4));
    for (const relax_case& c : cases) {
        Map level(grey(4 * c.across, 4 * c.down));
        ASSERT_TRUE(mmap_cutup(&level.m, 4, 4));
        for (int i = 0; i < 2; i++)
            level.m.tiles[i].link = c.master[i] < 0 ? nullptr : &sheet.m.tiles[2 * 8 + c.master[i]];
        hmap m;
        hmap_setup(&m);
        ASSERT_TRUE(hmap_build_from_mmap(&m, &level.m, 2.0f));
        std::vector<float> heights;
        for (int i = 0; i < m.count; i++)
            heights.push_back(m.cells[i].height);
        hmap_clean(&m);
        ASSERT_EQ(heights.size(), c.heights.size()) << c.name;
        for (size_t i = 0; i < heights.size(); i++)
            EXPECT_NEAR(heights[i], c.heights[i], 1e-5) << c.name << " cell " << i;
    }
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
}
