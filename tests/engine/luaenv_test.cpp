// Second Lua environment: reading tables through the current pair without ever raising on
// shapes other than expected. (Files of tables of tables, and missing ones, are read by the
// avatar manager's tests.)
#include <gtest/gtest.h>

#include <string>

#include "engine/code/luaenv.h"
#include "tests/harness/log_capture.h"

namespace {

struct Luaenv : testing::Test {
    luaenv env;
    void SetUp() override
    {
        log_capture_start();
        ASSERT_TRUE(luaenv_setup(&env));
    }
    void TearDown() override
    {
        luaenv_clean(&env);
        luaenv_clean(&env);
        log_capture_stop();
    }
};

// Reads every entry of the group table the way the avatar manager does, in walk order.
std::string read_group(luaenv* e, const char* group)
{
    std::string out;
    if (!luaenv_get_global(e, group))
        return "(none)";
    luaenv_enter(e);
    while (luaenv_next(e)) {
        const char* key = luaenv_get_key(e);
        out += std::string(key ? key : "?") + "=";
        luaenv_enter(e);
        out += luaenv_get_field(e, "xox") ? luaenv_get_value(e) : "-";
        luaenv_leave(e);
        out += ";";
    }
    return out;
}

} // namespace

// Number keys, entries that are not tables and strings where a table is expected must
// neither raise nor end the walk early.
TEST_F(Luaenv, OddShapesAreSafe)
{
    ASSERT_TRUE(luaenv_dostring(&env, "g = { [1] = { xox = 'one' }, [2.5] = 'flat', x = 7 } s = 'text'"));
    std::string got = read_group(&env, "g");
    EXPECT_NE(got.find("1=one;"), std::string::npos) << got;
    EXPECT_NE(got.find("2.5=-;"), std::string::npos) << got;
    EXPECT_NE(got.find("x=-;"), std::string::npos) << got;

    EXPECT_TRUE(luaenv_get_global(&env, "s"));
    EXPECT_STREQ(luaenv_get_value(&env), "text");
    luaenv_enter(&env);
    EXPECT_FALSE(luaenv_get_field(&env, "len")) << "a field of a string is nil, not an error";
    EXPECT_FALSE(luaenv_next(&env));

    // A walk whose pair was replaced by a field that is no key of the table ends quietly.
    ASSERT_TRUE(luaenv_get_global(&env, "g"));
    luaenv_enter(&env);
    ASSERT_TRUE(luaenv_next(&env));
    luaenv_get_field(&env, "nokey");
    EXPECT_FALSE(luaenv_next(&env));

    // A closed environment gives nothing.
    luaenv_clean(&env);
    EXPECT_FALSE(luaenv_get_global(&env, "g"));
    EXPECT_FALSE(luaenv_dostring(&env, "x = 1"));
    EXPECT_TRUE(LOGGED.error.find("PANIC") == std::string::npos);
}
