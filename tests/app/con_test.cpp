// The Lua environment: start-up and its failures, the registration order as the scripts
// see it, the runners, the second stage and closing.
#include <gtest/gtest.h>

#include <stdio.h>
#include <sys/stat.h>

#include <string>

#include "app/code/con.h"
#include "app/code/entry.h"
#include "app/code/opt.h"
#include "engine/code/dbg.h"
#include "tests/harness/harness.h"
#include "tests/harness/log_capture.h"
#include "tests/harness/lua_fixture.h"

namespace {

void write_script(const char* name, const char* text)
{
    mkdir("local", 0777);
    mkdir("local/lua", 0777);
    harness_write_file((std::string("local/lua/") + name + ".lua").c_str(), text);
}

// A full, quiet installation of the scripts the environment runs.
void write_installation()
{
    for (const char* name : {"global", "zel", "tdata", "input", "journal", "profile", "soul"})
        write_script(name, "");
    write_script("xlate", "function xlate.onexit() end");
    write_script("startup", "opt.window_width(800)");
}

struct ConTest : testing::Test {
    void SetUp() override
    {
        log_capture_start();
    }
    void TearDown() override
    {
        con_close(&CON);
        log_capture_stop();
    }
    std::string eval(const char* expr) { return lua_fixture_eval(CON.L, expr); }
};

}  // namespace

// Missing library scripts are reported and start-up goes on; a missing startup.lua ends the
// program with 20, the options file still written.
TEST_F(ConTest, ProgramWithoutStartupScriptEndsWith20AndWritesOptions)
{
    mkdir("local", 0777);
    mkdir("local/lua", 0777);
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

TEST_F(ConTest, FailingStartupIsFatalFailingLibraryScriptIsNot)
{
    write_installation();
    write_script("global", "error('global broke', 0)");
    write_script("zel", "error('zel broke', 0)");
    ASSERT_TRUE(con_setup(&CON));
    EXPECT_EQ(LOGGED.error, "LUA ERROR global broke\nLUA ERROR zel broke\n");
    con_close(&CON);

    write_script("startup", "\nopt.nothing_here()");
    EXPECT_FALSE(con_setup(&CON));
    EXPECT_NE(LOGGED.error.find("Failed to run config file startup.lua\n"), std::string::npos);
    EXPECT_EQ(CON.L, nullptr);
}

TEST_F(ConTest, EachScriptSeesOnlyTheLibrariesBeforeIt)
{
    write_installation();
    const char* probe =
        "local names = {'zel','tdata','input','journal','profile','opt','xtra','sfx','hud',"
        "'devil','mmap','hmap','soul','xlate'} "
        "local s = '' for _, n in ipairs(names) do if type(_G[n]) == 'table' then s = s .. n .. ' ' end end "
        "seen = (seen and seen .. '|' or '') .. s";
    for (const char* name : {"global", "zel", "tdata", "input", "journal", "profile", "startup", "soul"})
        write_script(name, probe);
    write_script("xlate", (std::string(probe) + " function xlate.onexit() end").c_str());

    ASSERT_TRUE(con_setup(&CON));
    ASSERT_TRUE(con_postsetup(&CON));
    const std::string all = "zel tdata input journal profile opt xtra sfx hud devil mmap hmap ";
    EXPECT_EQ(eval("seen"), "|zel |zel tdata |zel tdata input |zel tdata input journal "
                            "|zel tdata input journal profile |" + all + "|" + all + "soul |" + all + "soul xlate ");
    EXPECT_EQ(LOGGED.error, "");
    // The standard libraries are there.
    EXPECT_EQ(eval("type(os.time) .. type(io.open) .. type(coroutine.yield)"), "functionfunctionfunction");
}

TEST_F(ConTest, SetupStartsFromZeroedOptionsAndThreadStringsRunFromNextUpdate)
{
    write_installation();
    OPT.window_height = 77;
    ASSERT_TRUE(con_setup(&CON));
    EXPECT_EQ(OPT.window_height, 0);
    EXPECT_EQ(OPT.window_width, 800);

    EXPECT_FALSE(con_thread_string(&CON, "x = = 2"));
    EXPECT_EQ(eval("debug.getregistry().safelua_threads"), "nil");  // nothing queued
    EXPECT_TRUE(con_exec_line("n = 1 coroutine.yield() n = 2"));
    EXPECT_EQ(eval("n"), "nil");
    con_update(&CON);
    EXPECT_EQ(eval("n"), "1");
    con_update(&CON);
    EXPECT_EQ(eval("n"), "2");
    EXPECT_EQ(lua_gettop(CON.L), 0);

    EXPECT_TRUE(con_dostring(&CON, "m = 3"));
    EXPECT_EQ(eval("m"), "3");
    EXPECT_FALSE(con_dostring(&CON, "error('x')"));
}

TEST_F(ConTest, CloseRunsOnexitOnceAndLaterCallsAreRefused)
{
    write_installation();
    write_script("xlate", "function xlate.onexit() local f = io.open('onexit.txt', 'a') f:write('x') f:close() end");
    ASSERT_TRUE(con_setup(&CON));
    ASSERT_TRUE(con_postsetup(&CON));
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

TEST_F(ConTest, ReloadRegistersSecondStageAgain)
{
    write_installation();
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
