// The shell's small script libraries: zel, tdata, profile and xlate with the script each
// runs after registering, and soul: soul.info built from the avatar manager and random
// souls applied to an avatar, including the script's failures.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>

#include <cstring>
#include <string>

#include "app/code/con.h"
#include "app/code/soul_lib.h"
#include "app/code/zel.h"
#include "engine/code/files.h"
#include "engine/code/gfx/avatar.h"
#include "engine/code/gfx/avatars.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/soul.h"
#include "engine/code/gfx/xsx.h"
#include "engine/code/safelua.h"
#include "tests/app/shell_globals_fixture.h"
#include "tests/harness/harness.h"
#include "tests/harness/log_capture.h"
#include "tests/harness/lua_fixture.h"
#include "tools/writer/wr_avatar.h"
#include "tools/writer/wr_mesh.h"

namespace {

time_t fixed_clock() { return 1124435109; }

// Two head choices; every other group empty.
xox_link head_links[2] = {
    {"default", "head01", 1.0f, 0.5f},
    {"round", "head02", 0.0f, 2.0f},
};

int register_all(lua_State* L)
{
    zel_lua_setup(L);
    tdata_lua_setup(L);
    profile_lua_setup(L);
    xlate_lua_setup(L);
    soul_lua_setup(L);
    return 0;
}

// The soul library again, after a test has changed its script or the loaded animations.
int register_soul(lua_State* L)
{
    soul_lua_setup(L);
    return 0;
}

struct ScriptLibs : testing::Test {
    lua_State* L = NULL;
    avatar a;
    avatar_soul soul;

    shell_globals* saved = nullptr;
    std::string tz; // the time zone setting before the test ("" with the flag: none)
    bool had_tz = false;

    void SetUp() override
    {
        saved = shell_globals_save();
        const char* zone = getenv("TZ");
        had_tz = zone != NULL;
        tz = zone ? zone : "";
        log_capture_start();
        memset(&GFX.avatars, 0, sizeof GFX.avatars);
        GFX.avatars.groups[11].count = 2;
        GFX.avatars.groups[11].entries = head_links;
        memset(&a, 0, sizeof a);
        memset(&soul, 0, sizeof soul);
        a.soul = &soul;
        mkdir("local", 0777);
        mkdir("local/lua", 0777);
        // Each library's script leaves a mark that it ran with its own library in place.
        for (const char* name : {"zel", "tdata", "profile", "xlate"}) {
            std::string text = std::string("ran_") + name + " = type(" + name + ") == 'table'";
            harness_write_file((std::string("local/lua/") + name + ".lua").c_str(), text.c_str());
        }
        // A soul table whose surfaces and parts the tests pick from the global "pick".
        harness_write_file("local/lua/soul.lua",
            "calls = {}\n"
            "function soul.random(sex)\n"
            "  calls[#calls + 1] = tostring(sex)\n"
            "  if pick == 'error' then error('no luck') end\n"
            "  if pick == 'nil' then return nil end\n"
            "  if pick == 'no_surfaces' then return { parts = {} } end\n"
            "  return { parts = { head = { { group = 'HEAD', name = 'round' },\n"
            "                               { group = 'hat', name = string.rep('x', 80) } },\n"
            "                      body = { { group = 'nosuch', name = 'plain' } } },\n"
            "           surfaces = { skin = { argb = '0xFF102030', spec = ' 0x80808080 ', gloss = 0.25 },\n"
            "                        hair = { gloss = 1 } } }\n"
            "end\n");
        L = luaL_newstate();
        ASSERT_TRUE(safelua_cpcall(L, safelua_open_libs, NULL));
        lua_fixture_run(L, "global = _G");
        ASSERT_TRUE(safelua_cpcall(L, register_all, NULL));
    }
    void TearDown() override
    {
        lua_close(L);
        memset(&GFX.avatars, 0, sizeof GFX.avatars);
        zel_set_clock(NULL);
        if (had_tz)
            setenv("TZ", tz.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
        log_capture_stop();
        shell_globals_restore(saved);
        saved = NULL;
    }
    std::string eval(const char* expr) { return lua_fixture_eval(L, expr); }
    void pick(const char* what) { lua_fixture_run(L, (std::string("pick = '") + what + "'").c_str()); }
    // One part slot as "group:name", one surface as "argb/spec/gloss" (hexadecimal colours).
    std::string slot(int part, int i)
    {
        return std::to_string(soul.objects[part][i].group) + ":" + soul.objects[part][i].name;
    }
    std::string surface(int i)
    {
        char text[64];
        snprintf(text, sizeof text, "%x/%x/%g", soul.surfaces[i].argb, soul.surfaces[i].spec, soul.surfaces[i].gloss);
        return text;
    }
    // A recognisable soul: every slot and surface filled.
    void fill_soul()
    {
        for (auto& part : soul.objects)
            for (auto& o : part)
                o = soul_object{7, 3, "old"};
        for (auto& f : soul.surfaces) {
            f.argb = 0x12345678;
            f.spec = 0x9abcdef0;
            f.gloss = 0.5f;
        }
    }
};

} // namespace

// Each library's script ran after its library was registered; the local time (ten hours
// east of UTC, 2005-08-19 07:05:09 UTC is 17:05:09); the folders and parsers; the soul
// vocabulary both ways from the avatar manager's tables.
TEST_F(ScriptLibs, LibrariesScriptsAndSoulInfo)
{
    zel_set_clock(fixed_clock);
    setenv("TZ", "XST-10", 1);
    tzset();
    const struct {
        const char* expr;
        const char* want;
    } cases[] = {
        {"ran_zel and ran_tdata and ran_profile and ran_xlate", "true"}, {"next(xlate, nil)", "nil"},
        {"zel.date_time_now()", "20050819_170509"},
        {"zel.dir_local() .. zel.dir_data()", "local/data/"}, {"tdata.dir_local() .. tdata.dir_data()", "local/data/"},
        {"tdata.parse_csv_line('a,b,c', 2)", "b"}, {"profile.parse_csv_line('a,b,c')[3]", "c"},
        {"tdata.parse_xml('<soul a=\"1\"/>')[1][0]", "soul"}, {"profile.parse_xml('<soul a=\"1\"/>')[1].a", "1"},
        {"soul.info.parts[1]", "handle"}, {"soul.info.parts.handle", "1"}, {"soul.info.parts.right_ear", "22"},
        {"soul.info.surfaces[18]", "socks"}, {"soul.info.surfaces.skin", "1"}, {"soul.info.anims[1]", "_base"},
        {"soul.info.anims.cycle_quad_run", "33"}, {"soul.info.groups[12].name", "head"},
        {"soul.info.groups.head == soul.info.groups[12]", "true"}, {"soul.info.groups.head[2].name", "round"},
        {"soul.info.groups.head.round == soul.info.groups.head[2]", "true"},
        {"(function(c) return c.group..' '..c.boi..' '..c.grl..' '..c.id end)(soul.info.groups.head.default)",
         "head 1 0.5 1"},
        // A group without choices has only its name; no animation loaded counts 0 frames.
        {"soul.info.groups[1].name .. ' ' .. tostring(next(soul.info.groups[1], 'name'))", "beard nil"},
        {"soul.info.animframes.cycle_walk", "0"},
    };
    for (auto& c : cases)
        EXPECT_EQ(eval(c.expr), c.want) << c.expr;
}

// The script's table (see SetUp) applied: group names match without case (head is group
// 11, hat 9), an unknown group is -1, a name is cut to its 64-byte field, slots past a list
// and parts the table leaves out are emptied; colours are read as hexadecimal texts, a
// surface without them gets 0, a missing surface white, no specular and no gloss. The
// script's failures leave the soul as it was.
TEST_F(ScriptLibs, RandomSoulFillsSlotsAndSurfacesForTheChosenSexAndFailuresLeaveIt)
{
    fill_soul();
    ASSERT_TRUE(soul_randomize(L, &a, 0));
    EXPECT_EQ(slot(6, 0) + " " + slot(6, 2) + " " + slot(6, 3) + " " + slot(5, 0) + " " + slot(0, 0),
              "11:round 0: 0: -1:plain 0:");
    EXPECT_EQ(slot(6, 1), "9:" + std::string(63, 'x'));
    EXPECT_EQ(surface(0) + " " + surface(3) + " " + surface(17), "ff102030/80808080/0.25 0/0/1 ffffffff/0/0");
    EXPECT_EQ("", LOGGED.error);

    // The sex choice picks the script's argument.
    soul_randomize(L, &a, 1);
    soul_randomize(L, &a, -3);
    EXPECT_EQ("nil boi grl", eval("table.concat(calls, ' ')"));

    // An error inside soul.random is only reported; the previous result is applied again.
    fill_soul();
    pick("error");
    EXPECT_TRUE(soul_randomize(L, &a, 0));
    EXPECT_NE(std::string::npos, LOGGED.error.find("no luck"));
    EXPECT_EQ(slot(6, 0), "11:round");

    // Not a soul table: false, and the soul is left as it was.
    for (const char* what : {"nil", "no_surfaces"}) {
        fill_soul();
        pick(what);
        LOGGED.error.clear();
        EXPECT_FALSE(soul_randomize(L, &a, 0)) << what;
        EXPECT_NE(std::string::npos, LOGGED.error.find("in lua_cpcall")) << what;
        EXPECT_EQ(slot(6, 0) + " " + surface(0), "3:old 12345678/9abcdef0/0.5") << what;
    }
    a.soul = NULL;
    pick("");
    EXPECT_FALSE(soul_randomize(L, &a, 0));
}

// soul.info.animframes gives each slot the length of the animation loaded in it: a walk
// cycle written 24 frames long sits in slot 9 (the tenth name), so both its name and index
// 10 read 24; the slot before holds nothing and reads 0.
TEST_F(ScriptLibs, AnimFramesReadTheLoadedAnimationsLength)
{
    mkdir("data", 0777);
    mkdir("data/avatar", 0777);
    mkdir("data/avatar/xsx", 0777);
    wr_xsx_anim anim;
    wr_avatar_skeleton(&anim, 24.0f);
    ASSERT_TRUE(wr_xsx_save("data/avatar/xsx/cycle_walk.xsx", &anim));
    files_setup(&FILES);
    xsxs_setup(&GFX.xsxs);
    EXPECT_TRUE(avatar_anim_load(&GFX.avatars.anims[9], "cycle_walk"));
    EXPECT_TRUE(safelua_cpcall(L, register_soul, NULL));
    const struct {
        const char* expr;
        const char* want;
    } cases[] = {{"soul.info.animframes.cycle_walk", "24"},
                 {"soul.info.animframes[10]", "24"},
                 {"soul.info.animframes[9]", "0"}};
    for (auto& c : cases)
        EXPECT_EQ(eval(c.expr), c.want) << c.expr;
    xsxs_clean(&GFX.xsxs);
    files_clean(&FILES);
}

// The installation's soul.lua picks each group's mesh choice by the weight the sex gives
// it: "round" weighs 0 for boi (its boi number), so twenty boy souls all wear the
// "default" head (group 11). The script paints the eye white and every colour opaque.
TEST_F(ScriptLibs, InstalledScriptPicksChoicesWeightedBySex)
{
    harness_write_file("local/lua/soul.lua", harness_read_file(DORVALE_SOURCE_DIR "/local/lua/soul.lua").c_str());
    ASSERT_TRUE(safelua_cpcall(L, register_soul, NULL));
    for (int i = 0; i < 20; i++) {
        ASSERT_TRUE(soul_randomize(L, &a, 1));
        EXPECT_EQ(slot(6, 0), "11:default") << i;
    }
    EXPECT_EQ(soul.surfaces[9].argb, 0xFFFFFFFFu); // eye
    EXPECT_EQ(soul.surfaces[0].argb >> 24, 0xFFu);  // skin, opaque
    EXPECT_EQ("", LOGGED.error);
}
