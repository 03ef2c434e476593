// Debug console: on the GL device, glyphs and their colour key, the sliding panel with the
// command line, status and scroll-back text, the font across device resets, and log lines
// written while the scroll-back is being drawn; without one, the command-line editor, the
// history walk, the keys that open and resize the panel, and an entered line running as a
// script thread.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/code/con.h"
#include "engine/code/dbg.h"
#include "engine/code/gfx/d3d_dbg.h"
#include "engine/code/gfx/d3d_gfx.h"
#include "engine/code/gfx/gfx.h"
#include "platform/d3d8_debug.h"
#include "platform/ilut_d3d8.h"
#include "tests/engine/gfx/device_fixture.h"
#include "tests/harness/harness.h"
#include "tests/harness/lua_fixture.h"
#include "tools/writer/wr_image.h"

namespace {

const uint32_t CLEAR = 0xFF000080;

// Glyph of character c: the top half (8 x 4) of its cell, red c; the rest of the image is
// the key colour, pure blue, which the loader makes transparent.
uint32_t glyph_colour(int c) { return 0xFF000000u | (uint32_t)c << 16 | 0x8040; }

class ConsoleDraw : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        std::vector<uint8_t> rgb(128 * 128 * 3);
        for (int i = 0; i < 128 * 128; ++i)
            rgb[i * 3 + 2] = 0xFF;
        for (int c = 32; c < 127; ++c) {
            int x0 = (c - 32) % 12 * 10 + 1, y0 = (c - 32) / 12 * 10 + 1;
            for (int y = y0; y < y0 + 4; ++y)
                for (int x = x0; x < x0 + 8; ++x)
                    for (int k = 0; k < 3; ++k)
                        rgb[(y * 128 + x) * 3 + k] = (uint8_t)(glyph_colour(c) >> (16 - 8 * k));
        }
        ASSERT_TRUE(wr_image_save("data/debug/debug8x8_font.png", 128, 128, 3, rgb.data()));
        gl_window_close(&win); // room for the whole open panel
        ASSERT_TRUE(gl_window_open(&win, 128, 96));
        ASSERT_TRUE(setup_gfx());
    }
    void frame(void (*draw)(void) = [] { d3d_dbg_draw(&D3D_DBG); })
    {
        ASSERT_TRUE(gfx_begin_scene(&GFX));
        draw();
        gfx_end_scene(&GFX);
    }
    // The panel's height after each of n frames.
    std::vector<float> slides(int n)
    {
        std::vector<float> out;
        for (int i = 0; i < n; ++i) {
            frame();
            out.push_back(D3D_DBG.slide);
        }
        return out;
    }
    uint32_t pixel(int x, int y) { return d3d8_read_pixel(device(), x, y); }
    int red(int x, int y) { return channel(pixel(x, y), 16); }
};

} // namespace

TEST_F(ConsoleDraw, StatusLinesAreDrawnOnceAndThePanelSlidesByHalvesOverTheScrollBack)
{
    dbg_status("A\xC8\x7F~\n");
    dbg_status("B\n");
    frame(); // panel shut: status from the top of the screen, 8 pixels a character
    EXPECT_COLOUR_NEAR(pixel(4, 2), glyph_colour('A'), 2);
    EXPECT_COLOUR_NEAR(pixel(4, 6), CLEAR, 2); // the key colour below the glyph
    EXPECT_EQ(red(12, 2), 32); // byte 200 is a space
    EXPECT_EQ(red(20, 2), 32); // so is 127
    EXPECT_EQ(red(28, 2), '~');
    EXPECT_EQ(red(4, 10), 'B');
    frame();
    EXPECT_COLOUR_NEAR(pixel(4, 2), CLEAR, 2);

    D3D_DBG.status_hidden = 1;
    dbg_status("C\n");
    frame();
    EXPECT_COLOUR_NEAR(pixel(4, 2), CLEAR, 2);

    // Page Up without bound: a height below zero keeps the panel shut, the status in view.
    D3D_DBG.status_hidden = 0;
    D3D_DBG.shown = true;
    D3D_DBG.height_lines = -3.0f;
    dbg_status("A\n");
    frame();
    EXPECT_EQ(D3D_DBG.slide, 0.0f);
    EXPECT_EQ(red(4, 2), 'A');

    D3D_DBG.height_lines = 8.0f;
    d3d_dbg_char(&D3D_DBG, 'A');
    dbg_print("~\n");
    dbg_print("B\n");
    EXPECT_EQ(slides(8), (std::vector<float>{32, 48, 56, 60, 62, 63, 64, 64}));
    // Translucent green over the clear colour, darker at the top.
    uint32_t top = pixel(32, 1);
    EXPECT_EQ(channel(top, 16), 0);
    EXPECT_NEAR(channel(top, 8), 0x40 * 0xE0 / 255, 4);
    EXPECT_NEAR(channel(top, 0), 0x80 * (255 - 0xE0) / 255, 4);
    EXPECT_GT(channel(pixel(32, 40), 8), channel(top, 8));
    // The typed 'A' after the prompt on the row above the panel's edge (64 - 8), the
    // newest scroll-back line above it (64 - 2 x 8) and the one before above that.
    EXPECT_EQ(red(12, 58), 'A');
    EXPECT_EQ(red(4, 58), '>');
    EXPECT_EQ(red(4, 50), 'B');
    EXPECT_EQ(red(4, 42), '~');

    d3d_dbg_char(&D3D_DBG, '`');
    EXPECT_EQ(slides(8), (std::vector<float>{32, 16, 8, 4, 2, 1, 0, 0}));
}

TEST_F(ConsoleDraw, LinesLoggedWhileTheScrollBackIsDrawnJoinItAfterwards)
{
    D3D_DBG.shown = true;
    D3D_DBG.slide = 64;
    // Fill the scroll-back so that any push overwrites the oldest lines.
    for (int i = 0; i < 600; ++i)
        dbg_print("line %d of the scroll-back\n", i);
    d3d8_fault_set(D3D8_CALL_DrawPrimitive, D3DERR_DEVICELOST, 0, 0);
    ASSERT_TRUE(gfx_begin_scene(&GFX));
    d3d_dbg_draw(&D3D_DBG);
    d3d8_fault_clear();

    // Every entry is whole: a line of ours or a device-check line, and the walk back meets
    // every entry the ring counts.
    text_ring* r = &D3D_DBG.scroll_back;
    int back = 0, checks = 0;
    for (text_ring_entry* e = text_ring_previous(r, r->newest); e; e = text_ring_previous(r, e)) {
        std::string t = text_ring_entry_text(e);
        bool ours = t.rfind("line ", 0) == 0 && t.find(" of the scroll-back\n") != std::string::npos;
        bool check = t.find("D3DCHECK") != std::string::npos || t.find("New Session") != std::string::npos ||
                     t == "\n";
        EXPECT_TRUE(ours || check) << t;
        checks += t.find("D3DCHECK") != std::string::npos;
        ++back;
    }
    EXPECT_EQ(back, r->count);
    EXPECT_GT(checks, 0);

    // One failing draw, the walk's first line (after the panel's quad): its check line joins
    // the scroll-back after the marker once the walk is over.
    dbg_print("marker\n");
    d3d8_fault_set(D3D8_CALL_DrawPrimitive, D3DERR_DEVICELOST, 1, 1);
    d3d_dbg_draw(&D3D_DBG);
    d3d8_fault_clear();
    gfx_end_scene(&GFX);
    std::string since;
    for (text_ring_entry* e = text_ring_previous(r, r->newest); e; e = text_ring_previous(r, e)) {
        std::string t = text_ring_entry_text(e);
        if (t == "marker\n")
            break;
        since = t + since;
    }
    EXPECT_NE(since.find("****D3DCHECK****"), std::string::npos) << since;
}

// The cursor is solid (alpha 0xF0) after a typed character or a key and fades by 0x10 of
// alpha at each drawn frame, wrapping from 0x00 back to 0xF0: 8 frames leave 0x70, 8 more
// 0xF0 again. Without a font the panel and the cursor are still drawn, no text.
TEST_F(ConsoleDraw, TheCursorIsSolidAfterTypingThenFadesAndWraps)
{
    d3d_dbg_char(&D3D_DBG, '`');
    d3d_dbg_char(&D3D_DBG, 'A');
    EXPECT_EQ(D3D_DBG.line.cursor_colour, 0xF0FFFFFFu);
    slides(8);
    EXPECT_EQ(D3D_DBG.line.cursor_colour, 0x70FFFFFFu);
    slides(8);
    EXPECT_EQ(D3D_DBG.line.cursor_colour, 0xF0FFFFFFu);
    slides(1);
    d3d_dbg_key(&D3D_DBG, 37); // Left
    EXPECT_EQ(D3D_DBG.line.cursor_colour, 0xF0FFFFFFu);

    d3d_dbg_lose(&D3D_DBG);
    ASSERT_EQ(D3D_DBG.font, nullptr);
    frame();
    EXPECT_EQ(D3D_DBG.line.cursor_colour, 0xE0FFFFFFu);
    EXPECT_EQ(channel(pixel(4, 58), 16), channel(pixel(60, 58), 16)) << "no prompt drawn";
    EXPECT_NE(pixel(32, 1), CLEAR) << "the panel still is";
}

using ConsoleFont = DeviceTest;

TEST_F(ConsoleFont, FollowsTheDeviceAndIsNeededOnlyAtSetup)
{
    std::remove("data/debug/debug8x8_font.png");
    EXPECT_FALSE(setup_gfx());
    EXPECT_NE(errors().find("Failed to load image data/debug/debug8x8_font.png,\nFailed to load DBG Font texture,\n"
                            "D3D_DBG subsystem failed to initialize,\n"),
              std::string::npos);
    EXPECT_EQ(d3d8_live_objects(D3DPOOL_DEFAULT), 0u);
    // The loader's shared settings are back at their defaults after the failed load.
    EXPECT_EQ(ilutGetInteger(ILUT_D3D_ALPHA_KEY_COLOR), -1);
    EXPECT_EQ(ilutGetInteger(ILUT_D3D_MIPLEVELS), 0);

    std::vector<uint8_t> white(128 * 128 * 4, 0xFF);
    ASSERT_TRUE(write_image("data/debug/debug8x8_font.png", 128, 128, 4, white.data()));
    ASSERT_TRUE(setup_gfx());
    uint32_t live = d3d8_live_objects(D3DPOOL_DEFAULT);
    d3d_gfx_lose(&GFX.d3d_gfx);
    EXPECT_EQ(D3D_DBG.font, nullptr);
    EXPECT_LT(d3d8_live_objects(D3DPOOL_DEFAULT), live);
    ASSERT_TRUE(d3d_gfx_reset_device(&GFX.d3d_gfx));
    EXPECT_NE(D3D_DBG.font, nullptr);
    // The file vanishes: the next reset still brings the device back, without console text.
    std::remove("data/debug/debug8x8_font.png");
    GFX.d3d_gfx.resize_flag = 1;
    EXPECT_TRUE(gfx_begin_scene(&GFX));
    gfx_end_scene(&GFX);
    EXPECT_EQ(D3D_DBG.font, nullptr);
    EXPECT_EQ(GFX.d3d_gfx.reset_flag, 0);
}

namespace {

enum { BACK = 8, PGUP = 33, PGDN = 34, END = 35, HOME = 36, LEFT = 37, UP = 38, RIGHT = 39, DOWN = 40, DEL = 46 };

// D3D_DBG with its rings and line as setup leaves them, but no device or font.
struct ConsoleInput : testing::Test {
    d3d_dbg& c = D3D_DBG;
    void SetUp() override
    {
        dbg_reset_for_tests();
        c = d3d_dbg{};
        text_ring_setup(&c.scroll_back, D3D_DBG_SCROLL_BACK_BYTES);
        text_ring_setup(&c.history, D3D_DBG_HISTORY_BYTES);
        c.height_lines = 8.0f;
        c.line = {&c.history, c.line_text, D3D_DBG_LINE_CAPACITY, 0, 0x00FFFFFF};
    }
    void TearDown() override
    {
        dbg_reset_for_tests();
        text_ring_clean(&c.scroll_back);
        text_ring_clean(&c.history);
        c = d3d_dbg{};
    }
    void type(const char* s)
    {
        for (; *s; ++s)
            d3d_dbg_line_insert(&c.line, (unsigned char)*s);
    }
    void keys(std::initializer_list<uint32_t> vks)
    {
        for (uint32_t vk : vks)
            d3d_dbg_line_key(&c.line, vk);
    }
    std::string text() const { return c.line.text; }
};

} // namespace

TEST_F(ConsoleInput, EditingTakesCharacters32To127UpTo1023AndTheHistoryKeepsTheTypedLine)
{
    type("abc");
    keys({HOME});
    type("X"); // the rest moves right
    keys({RIGHT, BACK});
    EXPECT_EQ(text(), "Xbc");
    keys({DEL}); // the cursor stays
    EXPECT_EQ(text(), "Xc");
    keys({END, RIGHT, DEL, HOME, LEFT, BACK}); // all at their limits
    EXPECT_EQ(text(), "Xc");
    EXPECT_EQ(c.line.cursor, 0);

    keys({DEL, DEL});
    for (uint32_t ch : {31u, 128u, 200u, 127u})
        d3d_dbg_line_insert(&c.line, ch);
    EXPECT_EQ(text(), "\x7f");
    for (int i = 0; i < 1100; ++i)
        d3d_dbg_line_insert(&c.line, 'a');
    EXPECT_EQ(text().size(), 1023u);
    keys({HOME});
    type("z"); // a full line takes nothing more
    EXPECT_EQ(c.line_text[0], 0x7f);

    // The history walk, from an empty line, keeps the line being typed.
    c.line_text[0] = 0;
    c.line.cursor = 0;
    text_ring_push(&c.history, "a");
    text_ring_push(&c.history, "b");
    type("c");
    const char* seen[] = {"b", "a", "a", "b", "c", ""};
    const uint32_t walk[] = {UP, UP, UP, DOWN, DOWN, DOWN};
    for (int i = 0; i < 6; ++i) {
        keys({walk[i]});
        EXPECT_EQ(text(), seen[i]) << "step " << i;
        EXPECT_EQ(c.line.cursor, (int)text().size());
    }
    keys({UP});
    type("d");  // an edited entry is saved before moving on
    keys({UP, DOWN});
    EXPECT_EQ(text(), "cd");
}

TEST_F(ConsoleInput, BackquoteOpensThePanelWhichTakesKeysAndRunsEnteredLinesAtTheNextUpdate)
{
    std::filesystem::create_directories("local/lua"); // the other library scripts may be missing
    harness_write_file("local/lua/startup.lua", "xlate = {onexit = function() end}\n"
                                                "function help() hits = (hits or 0) + 1 end");
    ASSERT_TRUE(con_setup(&CON));
    dbg_print_hook = d3d_dbg_print_hook;
    d3d_dbg_char(&c, 'x');
    d3d_dbg_key(&c, PGDN);
    EXPECT_EQ(text(), "");
    EXPECT_EQ(c.height_lines, 8.0f);
    d3d_dbg_char(&c, '`');
    ASSERT_TRUE(c.shown);
    d3d_dbg_key(&c, PGDN);
    d3d_dbg_key(&c, PGDN);
    d3d_dbg_key(&c, PGUP);
    EXPECT_EQ(c.height_lines, 9.0f);

    type("help");
    d3d_dbg_char(&c, 13);
    // A bare name is called.
    EXPECT_STREQ(text_ring_entry_text(text_ring_previous(&c.scroll_back, c.scroll_back.newest)), "help()\n");
    EXPECT_STREQ(text_ring_entry_text(text_ring_previous(&c.history, c.history.newest)), "help()");
    EXPECT_EQ(text(), "");
    EXPECT_EQ(lua_fixture_eval(CON.L, "hits"), "nil"); // queued, not run yet
    d3d_dbg_char(&c, 'x');
    type(" = 6 * 7"); // left as typed
    d3d_dbg_char(&c, 13);
    d3d_dbg_char(&c, 13); // an empty line goes through harmlessly
    con_update(&CON);
    EXPECT_EQ(lua_fixture_eval(CON.L, "hits .. x"), "142");
    con_close(&CON);

    d3d_dbg_char(&c, '`');
    EXPECT_FALSE(c.shown);
    d3d_dbg_char(&c, 'x');
    EXPECT_EQ(text(), "");

    // Status text that would not fit is dropped as a whole: "one\n" and 4091 x's reach 4095,
    // the most the 4096 bytes hold; one more character does not fit.
    d3d_dbg_status_hook("one\n");
    d3d_dbg_status_hook(std::string(4096 - 4 - 1, 'x').c_str());
    d3d_dbg_status_hook("y");
    EXPECT_EQ(std::string(c.status), "one\n" + std::string(4091, 'x'));
}
