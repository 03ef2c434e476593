// The Lua environment (start-up and its failures, the registration order as the scripts
// see it, the runners, the second stage and closing) and the options (setting and reading
// through opt.<name>(), the choice names, bad arguments, the options file).
#include <gtest/gtest.h>

#include <float.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "app/code/con.h"
#include "app/code/entry.h"
#include "app/code/opt.h"
#include "engine/code/safelua.h"
#include "tests/app/shell_globals_fixture.h"
#include "tests/harness/harness.h"
#include "tests/harness/log_capture.h"
#include "tests/harness/lua_fixture.h"

namespace {

void write_script(const char* name, const char* text)
{
    harness_write_file((std::string("local/lua/") + name + ".lua").c_str(), text);
}

// Every script the environment runs, each quiet; xlate has its onexit.
void write_quiet_installation()
{
    for (const char* name : {"global", "zel", "tdata", "input", "journal", "profile", "soul", "startup"})
        write_script(name, "");
    write_script("xlate", "function xlate.onexit() end");
}

// The folder local/lua/, options cleared, the log captured, and a Lua state L of its own
// with the options library; eval runs on the environment's state, call on L.
struct ConTest : testing::Test {
    lua_State* L = nullptr;
    shell_globals* saved = nullptr;
    void SetUp() override
    {
        saved = shell_globals_save();
        log_capture_start();
        memset(&OPT, 0, sizeof(OPT));
        mkdir("local", 0777);
        mkdir("local/lua", 0777);
        L = luaL_newstate();
        ASSERT_TRUE(safelua_cpcall(L, safelua_open_libs, nullptr));
        opt_lua_setup(L);
    }
    void TearDown() override
    {
        lua_close(L);
        con_close(&CON);
        log_capture_stop();
        shell_globals_restore(saved);
        saved = nullptr;
    }
    std::string eval(const char* expr) { return lua_fixture_eval(CON.L, expr); }
    std::string call(const char* expr) { return lua_fixture_eval(L, expr); }
};

}  // namespace

// Missing library scripts are reported and start-up goes on; a missing startup.lua ends the
// program with 20, the options file still written.
TEST_F(ConTest, ProgramWithoutStartupScriptEndsWith20AndWritesOptions)
{
    EXPECT_EQ(dorvale_main(), 20);
    EXPECT_EQ(CON.L, nullptr);
    EXPECT_EQ(harness_read_file("local/lua/opts.lua").rfind("-- This file is machine generated\n", 0), 0u);
    std::string log = harness_read_file("ERROR.TXT");
    for (const char* line : {"+++ New Session Dorvale20050819v2", "LUA ERROR cannot open local/lua/global.lua",
                             "LUA ERROR cannot open local/lua/zel.lua",
                             "Failed to run config file startup.lua\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
    EXPECT_TRUE(harness_ends_with(log, "CON(fig)(sole) subsystem failed to initialize,\n"));
}

// Each script runs right after its library is registered and sees only those before it; a
// library script that fails is reported and start-up goes on. The options start from zero
// before startup.lua; a script thread runs from the next update. Closing runs xlate.onexit
// once and writes the options; afterwards every call is refused.
TEST_F(ConTest, ScriptsSeeOnlyTheLibrariesBeforeThemAndCloseRunsOnexitOnce)
{
    const std::string probe =
        "local names = {'zel','tdata','input','journal','profile','opt','xtra','sfx','hud',"
        "'devil','mmap','hmap','soul','xlate'} "
        "local s = '' for _, n in ipairs(names) do if type(_G[n]) == 'table' then s = s .. n .. ' ' end end "
        "seen = (seen and seen .. '|' or '') .. s ";
    for (const char* name : {"global", "tdata", "input", "journal", "profile", "soul"})
        write_script(name, probe.c_str());
    write_script("zel", (probe + "error('zel broke', 0)").c_str());
    write_script("startup", (probe + "opt.window_width(800)").c_str());
    write_script("xlate", (probe + "function xlate.onexit() local f = io.open('onexit.txt', 'a') "
                                   "f:write('x') f:close() end").c_str());
    OPT.window_height = 77;
    ASSERT_TRUE(con_setup(&CON));
    ASSERT_TRUE(con_postsetup(&CON));
    const std::string all = "zel tdata input journal profile opt xtra sfx hud devil mmap hmap ";
    EXPECT_EQ(eval("seen"), "|zel |zel tdata |zel tdata input |zel tdata input journal "
                            "|zel tdata input journal profile |" + all + "|" + all + "soul |" + all + "soul xlate ");
    EXPECT_EQ(LOGGED.error, "LUA ERROR zel broke\n");
    EXPECT_EQ(eval("type(os.time) .. type(io.open) .. type(coroutine.yield)"), "functionfunctionfunction");
    EXPECT_EQ(OPT.window_height, 0);
    EXPECT_EQ(OPT.window_width, 800);

    EXPECT_FALSE(con_thread_string(&CON, "x = = 2"));
    EXPECT_TRUE(con_exec_line("n = 1 coroutine.yield() n = 2"));
    EXPECT_EQ(eval("n"), "nil");
    con_update(&CON);
    EXPECT_EQ(eval("n"), "1");
    EXPECT_EQ(lua_gettop(CON.L), 0);

    con_close(&CON);
    con_close(&CON);
    con_clean(&CON);
    EXPECT_EQ(harness_read_file("onexit.txt"), "x");
    EXPECT_TRUE(harness_file_exists("local/lua/opts.lua"));
    EXPECT_EQ(CON.L, nullptr);
    con_update(&CON);
    EXPECT_FALSE(con_dostring(&CON, "x = 1"));
    EXPECT_FALSE(con_dofile(&CON, "local/lua/startup.lua"));
    EXPECT_FALSE(con_exec_line("x = 1"));
    EXPECT_FALSE(con_postsetup(&CON));
}

// A startup.lua that raises is as fatal as a missing one: its error names the script's
// line (the call on line 2), then the start-up failure; the state is closed and the
// options are written.
TEST_F(ConTest, AStartupScriptThatRaisesIsFatal)
{
    write_quiet_installation();
    write_script("startup", "\nopt.nothing_here()");
    EXPECT_FALSE(con_setup(&CON));
    EXPECT_EQ(CON.L, nullptr);
    size_t at = LOGGED.error.find("../../../vizavev/local/lua/startup.lua(2) : LUAFILE\n");
    ASSERT_NE(at, std::string::npos) << LOGGED.error;
    EXPECT_NE(LOGGED.error.find("Failed to run config file startup.lua\n", at), std::string::npos);
    EXPECT_TRUE(harness_file_exists("local/lua/opts.lua"));
}

// The runners answer whether the text ran: a string at once is true, or false when it
// raises; a thread string that does not compile is false and queues nothing; one that
// yields goes on at each later update, one resume per update.
TEST_F(ConTest, RunnersAnswerWhetherTheScriptRan)
{
    write_quiet_installation();
    ASSERT_TRUE(con_setup(&CON));
    const char* queued = "(function() local t = debug.getregistry().safelua_threads local n = 0 "
                         "for k in pairs(t or {}) do n = n + (type(k) == 'number' and 1 or 0) end return n end)()";
    EXPECT_TRUE(con_dostring(&CON, "m = 3"));
    EXPECT_EQ(eval("m"), "3");
    EXPECT_FALSE(con_dostring(&CON, "error('x')"));
    EXPECT_FALSE(con_thread_string(&CON, "x = = 2"));
    EXPECT_EQ(eval(queued), "0");
    EXPECT_TRUE(con_exec_line("n = 1 coroutine.yield() n = 2 coroutine.yield() n = 3"));
    EXPECT_EQ(eval(queued), "1");
    std::string seen;
    for (int i = 0; i < 4; i++) {
        con_update(&CON);
        seen += eval("n") + " ";
    }
    EXPECT_EQ(seen, "1 2 3 3 ");
    EXPECT_EQ(eval(queued), "0") << "a finished thread is dropped";
}

TEST_F(ConTest, ReloadRegistersSecondStageAgain)
{
    for (const char* name : {"global", "zel", "tdata", "input", "journal", "profile", "startup"})
        write_script(name, "");
    write_script("soul", "souls = (souls or 0) + 1 soul.mark = true");
    write_script("xlate", "xlates = (xlates or 0) + 1 function xlate.onexit() end");
    ASSERT_TRUE(con_setup(&CON));
    ASSERT_TRUE(con_postsetup(&CON));
    EXPECT_TRUE(con_dostring(&CON, "opt.con_reload()"));
    EXPECT_EQ(eval("souls .. xlates"), "22");
    EXPECT_EQ(eval("soul.mark"), "true");  // soul.lua ran on the fresh table

    // Typed at the console, the command runs inside a script thread while the reload works
    // on the main state.
    EXPECT_TRUE(con_exec_line("opt.con_reload()"));
    con_update(&CON);
    EXPECT_EQ(eval("souls .. xlates"), "33");
    EXPECT_EQ(LOGGED.error, "");

    // A script that reloads from inside the reload is stopped by Lua's own depth limit; the
    // state stays open and usable.
    write_script("soul", "opt.con_reload()");
    EXPECT_TRUE(con_dostring(&CON, "opt.con_reload()"));
    EXPECT_NE(CON.L, nullptr);
    EXPECT_TRUE(con_dostring(&CON, "x = 1"));
}

// Calls in order, each answered with the option's value afterwards. Only the last argument
// counts; choices match names without case and keep their value on an unknown name; ints
// and floats take the leading decimal number of the text (0 when none), saturating; strings
// keep at most the field's size less one; values of the wrong kind change nothing.
TEST_F(ConTest, OptionCallsSetFromTheLastArgumentAndAnswerTheValue)
{
    const struct {
        const char* call;
        const char* want;
    } calls[] = {
        {"opt.window_startup('MAXIMISED')", "maximised"}, {"opt.window_startup('big')", "maximised"},
        {"opt.window_startup({})", "maximised"}, {"opt.window_startup(' normal')", "maximised"},
        {"opt.window_startup('main_state_menu')", "main_state_menu"}, // any name of the list
        {"opt.start_state('main_state_game')", "nil"}, {"opt.start_state('Main_State_Amaze')", "main_state_amaze"},
        {"opt.window_width(1024, 640)", "640"}, {"opt.window_width()", "640"},
        {"opt.show_debug(0)", "true"}, // 0 is a true value in Lua
        {"opt.show_debug(nil)", "false"}, {"opt.show_debug(false, 'x')", "true"},
        {"opt.next_number('  -12abc')", "-12"}, {"opt.next_number('abc')", "0"}, {"opt.next_number(3.9)", "3"},
        {"opt.next_number('0x10')", "0"}, {"opt.next_number('99999999999')", "2147483647"},
        {"opt.next_number('-99999999999')", "-2147483648"}, {"opt.next_number({})", "-2147483648"},
        {"opt.sfx_background_volume('2.5x')", "2.5"}, {"opt.sfx_background_volume(' -.25e1')", "-2.5"},
        {"opt.sfx_background_volume('x')", "0"}, {"opt.sfx_background_volume('inf')", "0"},
        {"opt.sfx_background_volume('1e999') == 3.4028234663852886e38", "true"}, // the largest float
        {"opt.lang(string.rep('a', 40)) == string.rep('a', 31)", "true"},
        {"opt.lang('en')", "en"}, {"opt.lang(nil)", "en"}, {"opt.lang(true)", "en"}, {"opt.next_level(12)", "12"},
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
    EXPECT_EQ(opt_enum_name(8), nullptr);
}

// The change callback of next_state requests the state it names (any other value the menu),
// also when no value is given or the name is unknown.
TEST_F(ConTest, OptionCallbacksRunAlsoWithoutValue)
{
    const std::pair<const char*, const main_state_hooks*> cases[] = {
        {"opt.next_state('main_state_structor')", &main_state_structor},
        {"opt.next_state('main_state_bud_test')", &main_state_bud_test},
        {"opt.next_state('main_state_amaze')", &main_state_amaze}, {"opt.next_state()", &main_state_amaze},
        {"opt.next_state('nowhere')", &main_state_amaze}, {"opt.next_state('main_state_menu')", &main_state_menu},
        {"opt.next_state('fullscreen')", &main_state_menu}};
    for (auto& [code, want] : cases) {
        main_state_next = nullptr;
        call(code);
        EXPECT_EQ(main_state_next, want) << code;
    }
    main_state_next = nullptr;
}

// The options file, written by the command dumpopts (which answers nothing) and at every
// exit: one line per option in the table's order, a choice never set left out, texts escaped
// so that every value reads back. Without the folder no file is written, and nothing fails.
TEST_F(ConTest, OptionFileReadsBackEveryType)
{
    const char* set =
        "opt.lang('en \"quoted\"') opt.lang_alt('back\\\\slash') opt.start_state('main_state_structor') "
        "opt.window_startup('fullscreen') opt.next_level('two\\nlines\\r') opt.next_number(-4) "
        "opt.show_debug(true) opt.window_width(1024) opt.window_height(768) opt.sfx_enabled(true) "
        "opt.sfx_background_volume(0.25) opt.sfx_foreground_volume(0.75) opt.sfx_voices(12) "
        "opt.sfx_device_name('Loopback')";
    ASSERT_EQ(luaL_dostring(L, set), 0);
    LOGGED.print.clear();
    EXPECT_EQ(call("select('#', opt.dumpopts())"), "0");
    EXPECT_EQ(LOGGED.print, "");
    EXPECT_EQ(harness_read_file("local/lua/opts.lua"),
              "-- This file is machine generated\n"
              "-- do not edit as it will be overwritten\n"
              "-- edit startup.lua instead\n"
              "\n"
              "opt.lang(\"en \\\"quoted\\\"\")\n"
              "opt.lang_alt(\"back\\\\slash\")\n"
              "opt.start_state(\"main_state_structor\")\n"
              "opt.next_level(\"two\\nlines\\r\")\n"
              "opt.next_number(-4)\n"
              "opt.show_debug(true)\n"
              "opt.window_startup(\"fullscreen\")\n"
              "opt.window_width(1024)\n"
              "opt.window_height(768)\n"
              "opt.sfx_enabled(true)\n"
              "opt.sfx_background_volume(0.250000)\n"
              "opt.sfx_foreground_volume(0.750000)\n"
              "opt.sfx_voices(12)\n"
              "opt.sfx_device_name(\"Loopback\")\n");

    opts before;
    memcpy(&before, &OPT, sizeof(OPT));
    memset(&OPT, 0, sizeof(OPT));
    ASSERT_EQ(luaL_dofile(L, "local/lua/opts.lua"), 0) << lua_tostring(L, -1);
    EXPECT_EQ(memcmp(&before, &OPT, sizeof(OPT)), 0);
    EXPECT_STREQ(OPT.next_level, "two\nlines\r");

    std::filesystem::remove_all("local");
    opt_save(nullptr);
    EXPECT_NE(access("local/lua/opts.lua", F_OK), 0);
}
