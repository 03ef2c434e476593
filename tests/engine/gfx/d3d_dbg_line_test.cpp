// Debug console input: the command-line editor, the history walk, the keys that open, close
// and resize the panel, the status text, and an entered line running as a script thread.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <string>

#include "app/code/con.h"
#include "engine/code/dbg.h"
#include "engine/code/gfx/d3d_dbg.h"
#include "tests/harness/lua_fixture.h"

namespace {

enum { BACK = 8, PGUP = 33, PGDN = 34, END = 35, HOME = 36, LEFT = 37, UP = 38, RIGHT = 39, DOWN = 40, DEL = 46 };

// D3D_DBG with its rings and line as setup leaves them, but no device or font.
struct ConsoleInput : testing::Test {
    d3d_dbg& c = D3D_DBG;
    void SetUp() override
    {
        c = d3d_dbg{};
        text_ring_setup(&c.scroll_back, D3D_DBG_SCROLL_BACK_BYTES);
        text_ring_setup(&c.history, D3D_DBG_HISTORY_BYTES);
        c.height_lines = 8.0f;
        c.line = {&c.history, c.line_text, D3D_DBG_LINE_CAPACITY, 0, 0x00FFFFFF};
    }
    void TearDown() override
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
    void keys(std::initializer_list<uint32_t> vks)
    {
        for (uint32_t vk : vks)
            d3d_dbg_line_key(&c.line, vk);
    }
    std::string text() const { return c.line.text; }
};

std::string newest(const text_ring* r)
{
    text_ring_entry* e = text_ring_previous(r, r->newest);
    return e ? text_ring_entry_text(e) : "<none>";
}

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
    EXPECT_EQ(c.line.cursor, 1);
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

TEST_F(ConsoleInput, BackquoteTogglesAndOnlyAnOpenPanelTakesInput)
{
    d3d_dbg_char(&c, 'x');
    d3d_dbg_key(&c, PGDN);
    EXPECT_EQ(text(), "");
    EXPECT_EQ(c.height_lines, 8.0f);
    d3d_dbg_char(&c, '`');
    ASSERT_TRUE(c.shown);
    d3d_dbg_char(&c, 'x');
    EXPECT_EQ(text(), "x");
    d3d_dbg_key(&c, PGDN);
    d3d_dbg_key(&c, PGDN);
    d3d_dbg_key(&c, PGUP);
    EXPECT_EQ(c.height_lines, 9.0f);
    d3d_dbg_char(&c, '`');
    EXPECT_FALSE(c.shown);
    EXPECT_EQ(text(), "x");

    // Status text that would not fit is dropped as a whole: "one\n" and 4091 x's reach 4095,
    // the most the 4096 bytes hold; one more character does not fit.
    d3d_dbg_status_hook("one\n");
    d3d_dbg_status_hook(std::string(4096 - 4 - 1, 'x').c_str());
    d3d_dbg_status_hook("y");
    EXPECT_EQ(std::string(c.status), "one\n" + std::string(4091, 'x'));
}

TEST_F(ConsoleInput, EnteredLineRunsAtTheNextUpdate)
{
    dbg_reset_for_tests();
    mkdir("local", 0777);
    mkdir("local/lua", 0777);
    for (const char* name : {"global", "zel", "tdata", "input", "journal", "profile", "soul"})
        std::ofstream(std::string("local/lua/") + name + ".lua") << "";
    std::ofstream("local/lua/startup.lua") << "xlate = {onexit = function() end}\n"
                                              "function help() hits = (hits or 0) + 1 end";
    ASSERT_TRUE(con_setup(&CON));
    dbg_print_hook = d3d_dbg_print_hook;
    d3d_dbg_char(&c, '`');
    type("help");
    d3d_dbg_char(&c, 13);
    EXPECT_EQ(newest(&c.scroll_back), "help()\n"); // a bare name is called
    EXPECT_EQ(newest(&c.history), "help()");
    EXPECT_EQ(text(), "");
    EXPECT_EQ(lua_fixture_eval(CON.L, "hits"), "nil"); // queued, not run yet
    type("x = 6 * 7");                                   // left as typed
    d3d_dbg_char(&c, 13);
    d3d_dbg_char(&c, 13); // an empty line goes through harmlessly
    con_update(&CON);
    EXPECT_EQ(lua_fixture_eval(CON.L, "hits .. x"), "142");
    con_close(&CON);
    dbg_reset_for_tests();
}
