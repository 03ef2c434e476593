// The small script libraries zel, tdata, profile and xlate: their functions and the script
// each runs after registering.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>

#include <string>

#include "app/code/con.h"
#include "app/code/zel.h"
#include "engine/code/safelua.h"
#include "tests/harness/harness.h"
#include "tests/harness/lua_fixture.h"

namespace {

void write_script(const char* name, const char* text)
{
    mkdir("local", 0777);
    mkdir("local/lua", 0777);
    harness_write_file((std::string("local/lua/") + name + ".lua").c_str(), text);
}

// 2005-08-19 07:05:09 UTC.
time_t fixed_clock() { return 1124435109; }

int register_all(lua_State* L)
{
    zel_lua_setup(L);
    tdata_lua_setup(L);
    profile_lua_setup(L);
    xlate_lua_setup(L);
    return 0;
}

struct ScriptLibs : testing::Test {
    lua_State* L = NULL;
    void SetUp() override
    {
        // Each script leaves a mark that it ran with its own library in place.
        for (const char* name : {"zel", "tdata", "profile", "xlate"}) {
            std::string text = std::string("ran_") + name + " = type(" + name + ") == 'table'";
            write_script(name, text.c_str());
        }
        L = luaL_newstate();
        ASSERT_TRUE(safelua_cpcall(L, safelua_open_libs, NULL));
        ASSERT_TRUE(safelua_cpcall(L, register_all, NULL));
    }
    void TearDown() override
    {
        lua_close(L);
        zel_set_clock(NULL);
        unsetenv("TZ");
        tzset();
    }
    std::string eval(const char* expr) { return lua_fixture_eval(L, expr); }
};

}  // namespace

TEST_F(ScriptLibs, DateTimeNowIsLocalTime)
{
    zel_set_clock(fixed_clock);
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ("20050819_070509", eval("zel.date_time_now()"));
    setenv("TZ", "XST-10", 1); // ten hours east of UTC
    tzset();
    EXPECT_EQ("20050819_170509", eval("zel.date_time_now()"));
}

TEST_F(ScriptLibs, EachRunsItsScriptAfterRegisteringFoldersAndParsers)
{
    for (const char* name : {"ran_zel", "ran_tdata", "ran_profile", "ran_xlate"})
        EXPECT_EQ("true", eval(name)) << name;
    EXPECT_EQ("local/", eval("zel.dir_local()"));
    EXPECT_EQ("data/", eval("zel.dir_data()"));
    EXPECT_EQ("local/", eval("tdata.dir_local()"));
    EXPECT_EQ("data/", eval("tdata.dir_data()"));
    EXPECT_EQ("b", eval("tdata.parse_csv_line('a,b,c', 2)"));
    EXPECT_EQ("c", eval("profile.parse_csv_line('a,b,c')[3]"));
    EXPECT_EQ("soul", eval("tdata.parse_xml('<soul a=\"1\"/>')[1][0]"));
    EXPECT_EQ("1", eval("profile.parse_xml('<soul a=\"1\"/>')[1].a"));
    EXPECT_EQ("nil", eval("next(xlate, nil)"));
}
