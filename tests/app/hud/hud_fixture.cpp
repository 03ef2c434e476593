// Shared set-up of the HUD tests.
#include "tests/app/hud/hud_fixture.h"

#include <sys/stat.h>

#include <cstring>
#include <fstream>

#include "engine/code/dbg.h"

fake_gfx FAKE;

static std::string* error_sink;
static void on_error(const char* text)
{
    if (error_sink)
        *error_sink += text;
}

static void quad(float x1, float y1, float x2, float y2, uint32_t c1, uint32_t, uint32_t, uint32_t)
{
    FAKE.quads.push_back({x1, y1, x2, y2, c1});
}
static void select(gfx*, font*) {}
static void style(gfx*, float, float, float spacing, uint32_t, uint32_t) { FAKE.spacings.push_back(spacing); }
static void pos(gfx*, float x, float y)
{
    FAKE.pen_x = x;
    FAKE.pen_y = y;
}
static void move_x(gfx*, float dx) { FAKE.pen_x += dx; }
static float text_width(gfx*, const char* text) { return 10.0f * (float)strlen(text); }
// The next word of *text (gaps skipped; a line feed is a word of its own), moved past.
static std::string next_word(const char** text, bool* line_break)
{
    const char* p = *text + strspn(*text, " \t");
    *line_break = *p == '\n';
    size_t n = *line_break ? 1 : strcspn(p, " \t\n");
    *text = p + n;
    return *line_break ? std::string() : std::string(p, n);
}
static float word_width(gfx*, const char** text)
{
    bool line_break;
    std::string w = next_word(text, &line_break);
    return line_break ? -1.0f : 10.0f * (float)w.size();
}
static void drawn(const std::string& text)
{
    FAKE.words.push_back(text);
    FAKE.word_x.push_back(FAKE.pen_x);
    FAKE.word_y.push_back(FAKE.pen_y);
}
static void draw_word(gfx*, const char** text)
{
    bool line_break;
    std::string w = next_word(text, &line_break);
    if (line_break) // the caller stands before a word, never before a line feed
        w = next_word(text, &line_break);
    drawn(w);
    FAKE.pen_x += 10.0f * (float)w.size();
}
static void draw_text(gfx*, const char* text) { drawn(text); }
static void balloon(const bub* b);
static void avatar_draw(hud_subsystem*, float) { FAKE.avatar_draws++; }
static float length(hud_subsystem*) { return FAKE.cartoon_length; }

#include "engine/code/gfx/bubs.h"
static void balloon(const bub* b)
{
    FAKE.balloons++;
    FAKE.balloon = {b->x, b->y, b->width, b->height, b->anchor_x, b->anchor_y, b->alpha};
}

const hud_gfx_calls fake_calls = {quad,      select,    style,   pos,         move_x, text_width,
                                  word_width, draw_word, draw_text, balloon, avatar_draw, length};

static void write_script(const char* name, const char* text)
{
    mkdir("local", 0777);
    mkdir("local/lua", 0777);
    std::ofstream(std::string("local/lua/") + name + ".lua") << text;
}

void HudTest::SetUp()
{
    dbg_reset_for_tests();
    error_sink = &errors;
    dbg_error_hook = on_error;
    for (const char* name : {"global", "zel", "tdata", "input", "journal", "profile", "soul", "startup"})
        write_script(name, "");
    write_script("xlate", "function xlate.onexit() end");
    memset(&HUD, 0, sizeof(HUD));
    ASSERT_TRUE(hud_setup_pools(&HUD));
    HUD.window_width = 800.0f;
    HUD.window_height = 600.0f;
    INPUT = {};
    FAKE = fake_gfx();
    hud_gfx = &fake_calls;
    ASSERT_TRUE(con_setup(&CON));
}

void HudTest::TearDown()
{
    run("xlate = {onexit = function() end}"); // the second stage that registers it is not run
    con_close(&CON);
    hud_clean(&HUD);
    memset(&HUD, 0, sizeof(HUD)); // the window size, root and tables the tests set
    INPUT = {};
    hud_gfx = &hud_gfx_engine;
    error_sink = nullptr;
    dbg_reset_for_tests();
}

bool HudTest::run(const std::string& chunk) { return con_dostring(&CON, chunk.c_str()); }

hudgizmo* HudTest::gizmo(const char* name)
{
    lua_getglobal(CON.L, name);
    hudgizmo** slot = (hudgizmo**)compat_checkudata(CON.L, -1, "hudgizmo");
    lua_pop(CON.L, 1);
    return slot ? *slot : nullptr;
}

hudgizmo* HudTest::build(const char* name, const std::string& table)
{
    if (!run(std::string(name) + " = hud.alloc():build(" + table + ")")) {
        ADD_FAILURE() << "build failed: " << errors;
        return nullptr;
    }
    return gizmo(name);
}

void HudTest::set_pointer(float x, float y)
{
    HUD.pointer.x = x;
    HUD.pointer.y = y;
}

std::vector<std::array<float, 4>> corners()
{
    std::vector<std::array<float, 4>> out;
    for (const fake_quad& q : FAKE.quads)
        out.push_back({q.x1, q.y1, q.x2, q.y2});
    return out;
}

hudgizmo* child(hudgizmo* g, int index)
{
    list_node* n = list_first(&g->children);
    for (int i = 0; i < index; i++)
        n = n->next;
    return (hudgizmo*)n;
}

int list_count(list* l)
{
    int n = 0;
    for (list_node* at = list_first(l); at->next; at = at->next)
        n++;
    return n;
}
