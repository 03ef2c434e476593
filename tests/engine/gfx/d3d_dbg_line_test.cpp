// Debug console input: the command-line editor, the history walk, the keys and characters
// that open, close and resize the panel, and the status text collection.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <string>

#include "app/code/con.h"
#include "engine/code/dbg.h"
#include "engine/code/gfx/d3d_dbg.h"
#include "engine/code/text_ring.h"

namespace {

enum { BACK = 8, PGUP = 33, PGDN = 34, END = 35, HOME = 36, LEFT = 37, UP = 38, RIGHT = 39, DOWN = 40, DEL = 46 };

// The console with its rings and line as setup leaves them, but no device or font.
struct bare_console {
    d3d_dbg& c = D3D_DBG;
    bare_console()
    {
        c = d3d_dbg{};
        text_ring_setup(&c.scroll_back, D3D_DBG_SCROLL_BACK_BYTES);
        text_ring_setup(&c.history, D3D_DBG_HISTORY_BYTES);
        c.height_lines = 8.0f;
        c.line.history = &c.history;
        c.line.text = c.line_text;
        c.line.capacity = D3D_DBG_LINE_CAPACITY;
        c.line.cursor_colour = 0x00FFFFFF;
    }
    ~bare_console()
    {
        text_ring_clean(&c.scroll_back);
        text_ring_clean(&c.history);
        c = d3d_dbg{};
    }
    void type(const char* s)
    {
        for (; *s; ++s)
            d3d_dbg_line_insert(&c.line, (unsigned char)*s);
    }
    std::string text() const { return c.line.text; }
};

} // namespace

TEST(ConsoleLine, EditingMovesTextAndCursor)
{
    bare_console b;
    b.type("abc");
    EXPECT_EQ(b.text(), "abc");
    EXPECT_EQ(b.c.line.cursor, 3);

    d3d_dbg_line_key(&b.c.line, HOME);
    b.type("X");  // insert in front, the rest moves right
    EXPECT_EQ(b.text(), "Xabc");
    EXPECT_EQ(b.c.line.cursor, 1);

    d3d_dbg_line_key(&b.c.line, RIGHT);
    d3d_dbg_line_key(&b.c.line, BACK);  // removes 'a'
    EXPECT_EQ(b.text(), "Xbc");
    EXPECT_EQ(b.c.line.cursor, 1);
    d3d_dbg_line_key(&b.c.line, DEL);  // removes 'b', cursor stays
    EXPECT_EQ(b.text(), "Xc");
    EXPECT_EQ(b.c.line.cursor, 1);

    d3d_dbg_line_key(&b.c.line, END);
    EXPECT_EQ(b.c.line.cursor, 2);
    d3d_dbg_line_key(&b.c.line, RIGHT);  // already at the end
    d3d_dbg_line_key(&b.c.line, DEL);
    EXPECT_EQ(b.c.line.cursor, 2);
    EXPECT_EQ(b.text(), "Xc");
    d3d_dbg_line_key(&b.c.line, HOME);
    d3d_dbg_line_key(&b.c.line, LEFT);  // already at the start
    d3d_dbg_line_key(&b.c.line, BACK);
    EXPECT_EQ(b.c.line.cursor, 0);
    EXPECT_EQ(b.text(), "Xc");
}

TEST(ConsoleLine, TakesPrintableCharactersUpTo1023)
{
    bare_console b;
    d3d_dbg_line_insert(&b.c.line, 31);
    d3d_dbg_line_insert(&b.c.line, 128);
    d3d_dbg_line_insert(&b.c.line, 200);
    EXPECT_EQ(b.text(), "");
    d3d_dbg_line_insert(&b.c.line, 127);  // taken (it draws as a space)
    EXPECT_EQ(b.text(), "\x7f");

    for (int i = 0; i < 1100; ++i)
        d3d_dbg_line_insert(&b.c.line, 'a');
    EXPECT_EQ(b.text().size(), 1023u);
    EXPECT_EQ(b.c.line.cursor, 1023);
    EXPECT_EQ(b.c.line_text[1023], 0);
    d3d_dbg_line_key(&b.c.line, HOME);
    d3d_dbg_line_insert(&b.c.line, 'z');  // a full line ignores inserts anywhere
    EXPECT_EQ(b.c.line_text[0], 0x7f);
    EXPECT_EQ(b.text().size(), 1023u);
}

TEST(ConsoleLine, HistoryKeepsTheLineBeingTyped)
{
    bare_console b;
    text_ring_push(&b.c.history, "a");
    text_ring_push(&b.c.history, "b");
    b.type("c");

    d3d_dbg_line_key(&b.c.line, UP);
    EXPECT_EQ(b.text(), "b");
    EXPECT_EQ(b.c.line.cursor, 1);
    d3d_dbg_line_key(&b.c.line, UP);
    EXPECT_EQ(b.text(), "a");
    d3d_dbg_line_key(&b.c.line, UP);  // clamped at the oldest
    EXPECT_EQ(b.text(), "a");
    d3d_dbg_line_key(&b.c.line, DOWN);
    EXPECT_EQ(b.text(), "b");
    d3d_dbg_line_key(&b.c.line, DOWN);
    EXPECT_EQ(b.text(), "c");
    d3d_dbg_line_key(&b.c.line, DOWN);  // below the newest: the empty line
    EXPECT_EQ(b.text(), "");
    EXPECT_EQ(b.c.line.cursor, 0);

    // An edited history line is saved before moving on.
    d3d_dbg_line_key(&b.c.line, UP);
    EXPECT_EQ(b.text(), "c");
    b.type("d");
    d3d_dbg_line_key(&b.c.line, UP);
    d3d_dbg_line_key(&b.c.line, DOWN);
    EXPECT_EQ(b.text(), "cd");
}

TEST(ConsoleKeys, BackquoteTogglesAndOnlyAnOpenPanelTakesInput)
{
    bare_console b;
    d3d_dbg_char(&b.c, 'x');
    d3d_dbg_key(&b.c, PGDN);
    d3d_dbg_key(&b.c, HOME);
    EXPECT_EQ(b.text(), "");
    EXPECT_EQ(b.c.height_lines, 8.0f);
    EXPECT_EQ(b.c.line.cursor_colour, 0x00FFFFFFu);

    d3d_dbg_char(&b.c, '`');
    ASSERT_TRUE(b.c.shown);
    EXPECT_EQ(b.text(), "");  // the backquote itself is not typed

    d3d_dbg_char(&b.c, 'x');
    EXPECT_EQ(b.text(), "x");
    EXPECT_EQ(b.c.line.cursor_colour, 0xF0FFFFFFu);
    b.c.line.cursor_colour = 0;
    d3d_dbg_key(&b.c, LEFT);
    EXPECT_EQ(b.c.line.cursor, 0);
    EXPECT_EQ(b.c.line.cursor_colour, 0xF0FFFFFFu);

    d3d_dbg_key(&b.c, PGDN);
    d3d_dbg_key(&b.c, PGDN);
    d3d_dbg_key(&b.c, PGUP);
    EXPECT_EQ(b.c.height_lines, 9.0f);

    d3d_dbg_char(&b.c, '`');
    EXPECT_FALSE(b.c.shown);
    EXPECT_EQ(b.text(), "x");
}

TEST(ConsoleStatus, AppendsWholeLinesUntilFull)
{
    bare_console b;
    d3d_dbg_status_hook("one\n");
    d3d_dbg_status_hook("two\n");
    EXPECT_STREQ(D3D_DBG.status, "one\ntwo\n");
    EXPECT_EQ(D3D_DBG.status_length, 8u);

    std::string big(4096 - 8 - 1, 'x');  // 8 + 4087 = 4095: still fits
    d3d_dbg_status_hook(big.c_str());
    EXPECT_EQ(D3D_DBG.status_length, 4095u);
    d3d_dbg_status_hook("y");  // would reach 4096: dropped whole
    EXPECT_EQ(D3D_DBG.status_length, 4095u);
    EXPECT_EQ(D3D_DBG.status[4095], 0);
    EXPECT_EQ(std::string(D3D_DBG.status).substr(0, 8), "one\ntwo\n");
}

namespace {

void write_script(const char* name, const char* text)
{
    mkdir("local", 0777);
    mkdir("local/lua", 0777);
    std::ofstream(std::string("local/lua/") + name + ".lua") << text;
}

std::string lua_global(const char* name)
{
    lua_getglobal(CON.L, name);
    const char* s = lua_tostring(CON.L, -1);
    std::string out = s ? s : "nil";
    lua_pop(CON.L, 1);
    return out;
}

std::string newest(const text_ring* r)
{
    text_ring_entry* e = text_ring_previous(r, r->newest);
    return e ? text_ring_entry_text(e) : "<none>";
}

} // namespace

TEST(ConsoleRun, EnteredLineRunsAtTheNextUpdate)
{
    dbg_reset_for_tests();
    for (const char* name : {"global", "zel", "tdata", "input", "journal", "profile", "soul"})
        write_script(name, "");
    write_script("xlate", "function xlate.onexit() end");
    write_script("startup", "function help() hits = (hits or 0) + 1 end");
    ASSERT_TRUE(con_setup(&CON));
    bare_console b;
    dbg_print_hook = d3d_dbg_print_hook;

    d3d_dbg_char(&b.c, '`');
    b.type("help");
    d3d_dbg_char(&b.c, 13);
    EXPECT_EQ(newest(&b.c.scroll_back), "help()\n");  // echoed with its call added
    EXPECT_EQ(newest(&b.c.history), "help()");
    EXPECT_EQ(b.text(), "");
    EXPECT_EQ(b.c.line.cursor, 0);
    EXPECT_EQ(lua_global("hits"), "nil");  // queued, not run yet
    con_update(&CON);
    EXPECT_EQ(lua_global("hits"), "1");

    // A statement is left as typed; an empty line goes through harmlessly.
    b.type("x = 6 * 7");
    d3d_dbg_char(&b.c, 13);
    d3d_dbg_char(&b.c, 13);
    EXPECT_EQ(newest(&b.c.history), "");
    con_update(&CON);
    EXPECT_EQ(lua_global("x"), "42");

    con_close(&CON);
    dbg_reset_for_tests();
}
