// A Lua state with the image libraries (devil, mmap, hmap) over a set-up image library, for
// the tests of those libraries; the tests' log is captured, and closing the state must leave
// no image and no pending error behind.
#pragma once

#include <gtest/gtest.h>

#include <IL/il.h>
#include <string>

#include "engine/code/files.h"
#include "engine/code/gfx/devil.h"
#include "engine/code/gfx/hmap.h"
#include "engine/code/gfx/mmap.h"
#include "engine/code/safelua.h"
#include "tests/harness/harness.h"
#include "tests/harness/log_capture.h"
#include "tests/harness/lua_fixture.h"

struct ImageLua : testing::Test {
    lua_State* L = nullptr;
    int baseline = 0; // image names the library keeps for itself
    static int open_body(lua_State* s)
    {
        safelua_open_libs(s);
        devil_lua_setup(s);
        mmap_lua_setup(s);
        hmap_lua_setup(s);
        return 0;
    }
    void SetUp() override
    {
        harness_il_start();
        devil_library_ready(true);
        baseline = harness_il_images();
        log_capture_start();
        files_setup(&FILES);
        L = luaL_newstate();
        ASSERT_TRUE(safelua_cpcall(L, open_body, nullptr));
    }
    void TearDown() override
    {
        if (L) {
            lua_close(L);
            EXPECT_EQ(harness_il_images(), baseline) << "closing the state deletes every image";
            EXPECT_EQ(ilGetError(), (ILenum)IL_NO_ERROR) << "no error left pending";
        }
        files_clean(&FILES);
        devil_library_ready(false); // as a program starts
        log_capture_stop();
    }
    std::string run(const char* code) { return lua_fixture_run(L, code); }
    std::string eval(const char* expr) { return lua_fixture_eval(L, expr); }
    bool fails(const char* code, const char* tail) { return harness_ends_with(run(code), tail); }
    // The image name of the script's DevIL* global, 0 if it is none.
    ILuint image(const char* global)
    {
        lua_getglobal(L, global);
        devil_image* img = devil_test(L, -1);
        lua_pop(L, 1);
        return img ? img->image : 0;
    }
};
