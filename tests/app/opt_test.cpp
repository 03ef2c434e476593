// Options: setting and reading through opt.<name>(), the choice names, bad arguments, and
// the options file written and read back.
#include <gtest/gtest.h>

#include <float.h>
#include <stdint.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "app/code/main_state.h"
#include "app/code/opt.h"
#include "engine/code/dbg.h"
#include "engine/code/safelua.h"
#include "tests/harness/harness.h"
#include "tests/harness/log_capture.h"
#include "tests/harness/lua_fixture.h"

namespace {

struct OptTest : testing::Test {
    lua_State* L = nullptr;
    void SetUp() override
    {
        log_capture_start();
        memset(&OPT, 0, sizeof(OPT));
        L = luaL_newstate();
        ASSERT_TRUE(safelua_cpcall(L, safelua_open_libs, nullptr));
        opt_lua_setup(L);
        mkdir("local", 0777);
        mkdir("local/lua", 0777);
    }
    void TearDown() override
    {
        lua_close(L);
        log_capture_stop();
    }
    std::string call(const char* expr) { return lua_fixture_eval(L, expr); }
};

}  // namespace

// Calls in order, each answered with the option's value afterwards. Only the last argument
// counts; choices match names without case and keep their value on an unknown name; ints
// and floats take the leading decimal number of the text (0 when none), saturating; strings
// keep at most the field's size less one; values of the wrong kind change nothing.
TEST_F(OptTest, CallsSetFromTheLastArgumentAndAnswerTheValue)
{
    const struct {
        const char* call;
        const char* want;
    } calls[] = {
        {"opt.window_startup('MAXIMISED')", "maximised"},
        {"opt.window_startup('big')", "maximised"},
        {"opt.window_startup({})", "maximised"},
        {"opt.window_startup(print)", "maximised"},
        {"opt.window_startup('main_state_menu')", "main_state_menu"}, // any name of the list
        {"opt.start_state('main_state_game')", "nil"},
        {"opt.start_state('Main_State_Amaze')", "main_state_amaze"},
        {"opt.window_width(1024, 640)", "640"},
        {"opt.window_width()", "640"},
        {"opt.show_debug(0)", "true"}, // 0 is a true value in Lua
        {"opt.show_debug(nil)", "false"},
        {"opt.show_debug(false, 'x')", "true"},
        {"opt.next_number('  -12abc')", "-12"},
        {"opt.next_number('abc')", "0"},
        {"opt.next_number(3.9)", "3"},
        {"opt.next_number('0x10')", "0"},
        {"opt.next_number('99999999999')", "2147483647"},
        {"opt.next_number('-99999999999')", "-2147483648"},
        {"opt.next_number({})", "-2147483648"},
        {"opt.sfx_background_volume('2.5x')", "2.5"},
        {"opt.sfx_background_volume(' -.25e1')", "-2.5"},
        {"opt.sfx_background_volume('x')", "0"},
        {"opt.sfx_background_volume('inf')", "0"},
        {"opt.sfx_background_volume('1e999') == 3.4028234663852886e38", "true"}, // the largest float
        {"opt.lang(string.rep('a', 40)) == string.rep('a', 31)", "true"},
        {"opt.lang('en')", "en"},
        {"opt.lang(nil)", "en"},
        {"opt.lang(true)", "en"},
        {"opt.next_level(12)", "12"},
    };
    for (auto& c : calls)
        EXPECT_EQ(call(c.call), c.want) << c.call;
    EXPECT_EQ(OPT.window_startup, 4);
    EXPECT_EQ(OPT.start_state, 7);
    EXPECT_EQ(OPT.window_width, 640);
    EXPECT_EQ(OPT.sfx_background_volume, FLT_MAX);
    EXPECT_EQ(memcmp(OPT.lang, "en\0\0", 4), 0); // the rest of the field is cleared
    LOGGED.print.clear();
    call("opt.sfx_foreground_volume(0.5)");
    call("opt.window_width()");
    EXPECT_EQ(LOGGED.print, "sfx_foreground_volume=0.500000\nwindow_width=640\n");

    const struct {
        const char* name;
        int32_t value;
    } names[] = {{"NORMAL", 3}, {"", 0}, {"normal ", 0}, {"fullscreen", 1}};
    for (auto& n : names)
        EXPECT_EQ(opt_enum_find(n.name), n.value) << n.name;
    EXPECT_EQ(opt_enum_name(0), nullptr);
    EXPECT_EQ(opt_enum_name(8), nullptr);
    EXPECT_STREQ(opt_enum_name(5), "main_state_structor");
}

TEST_F(OptTest, CommandsAndCallbacksRunWithoutValue)
{
    EXPECT_EQ(call("select('#', opt.dumpopts())"), "0");
    EXPECT_EQ(harness_read_file("local/lua/opts.lua").rfind("-- This file", 0), 0u);
    EXPECT_EQ(LOGGED.print, "");

    EXPECT_EQ(call("opt.next_state('main_state_amaze')"), "main_state_amaze");
    EXPECT_EQ(OPT.next_state, 7);
    EXPECT_EQ(main_state_next, &main_state_amaze);
    main_state_next = nullptr;
    EXPECT_EQ(call("opt.next_state()"), "main_state_amaze");  // asks for the state again
    EXPECT_EQ(main_state_next, &main_state_amaze);
    EXPECT_EQ(call("opt.next_state('nowhere')"), "main_state_amaze");
}

TEST_F(OptTest, FileWithNothingSetAndNoFileWithoutTheFolder)
{
    opt_save(nullptr);
    EXPECT_EQ(harness_read_file("local/lua/opts.lua"),
              "-- This file is machine generated\n"
              "-- do not edit as it will be overwritten\n"
              "-- edit startup.lua instead\n"
              "\n"
              "opt.lang(\"\")\n"
              "opt.lang_alt(\"\")\n"
              "opt.next_level(\"\")\n"
              "opt.next_number(0)\n"
              "opt.show_debug(false)\n"
              "opt.window_width(0)\n"
              "opt.window_height(0)\n"
              "opt.sfx_enabled(false)\n"
              "opt.sfx_background_volume(0.000000)\n"
              "opt.sfx_foreground_volume(0.000000)\n"
              "opt.sfx_voices(0)\n"
              "opt.sfx_device_name(\"\")\n");

    // Without the folder no file is written, and nothing fails.
    std::filesystem::remove_all("local");
    opt_save(nullptr);
    EXPECT_NE(access("local/lua/opts.lua", F_OK), 0);
}

TEST_F(OptTest, FileReadsBackEveryType)
{
    const char* set =
        "opt.lang('en \"quoted\"') opt.lang_alt('back\\\\slash') opt.start_state('main_state_structor') "
        "opt.window_startup('fullscreen') opt.next_level('two\\nlines\\r') opt.next_number(-4) "
        "opt.show_debug(true) opt.window_width(1024) opt.window_height(768) opt.sfx_enabled(true) "
        "opt.sfx_background_volume(0.25) opt.sfx_foreground_volume(0.75) opt.sfx_voices(12) "
        "opt.sfx_device_name('OpenAL Soft')";
    ASSERT_EQ(luaL_dostring(L, set), 0);
    opts before;
    memcpy(&before, &OPT, sizeof(OPT));
    opt_save(nullptr);
    std::string text = harness_read_file("local/lua/opts.lua");
    EXPECT_NE(text.find("opt.sfx_device_name(\"OpenAL Soft\")\n"), std::string::npos);
    EXPECT_NE(text.find("opt.lang(\"en \\\"quoted\\\"\")\n"), std::string::npos);

    memset(&OPT, 0, sizeof(OPT));
    ASSERT_EQ(luaL_dofile(L, "local/lua/opts.lua"), 0) << lua_tostring(L, -1);
    EXPECT_EQ(memcmp(&before, &OPT, sizeof(OPT)), 0);
    EXPECT_STREQ(OPT.next_level, "two\nlines\r");
    EXPECT_EQ(OPT.next_state, 0);  // no line for an unset choice
}
