// The Lua library "sfx" and the "oal_sfx_handle" userdata: handles made with sound off,
// argument errors, and loading and playing from scripts, heard on a loopback device.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/code/opt.h"
#include "app/code/sfx/sfx.h"
#include "engine/code/dbg.h"
#include "engine/code/lua_compat.h"
#include "tests/app/sfx/sfx_fixture.h"
#include "tests/harness/log_capture.h"
#include "tests/harness/lua_fixture.h"

namespace {

int open_libs(lua_State* L)
{
    luaL_openlibs(L);
    sfx_lua_setup(L);
    return 0;
}

struct SfxLua : testing::Test {
    lua_State* L = nullptr;
    void SetUp() override
    {
        sfx_test_begin();
        L = luaL_newstate();
        ASSERT_EQ(lua_cpcall(L, open_libs, nullptr), 0);
    }
    void TearDown() override
    {
        if (L)
            lua_close(L);
        sfx_test_end();
    }
    // Runs a chunk; returns its error message, "" on success.
    std::string run(const char* code) { return lua_fixture_run(L, code); }
};

bool contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

} // namespace

TEST_F(SfxLua, HandlesWorkWithSoundOffAndNeverReachOpenAL)
{
    sfx_test_record_calls();
    EXPECT_EQ(run("a = sfx.alloc() b = sfx.load('missing.wav')\n"
                  "assert(type(a) == 'userdata' and type(b) == 'userdata')\n"
                  "a:load('x.wav') a:play(1, 1) b:play(0.5, 2)\n"
                  "a:free() a:free() sfx.free(b) b = nil collectgarbage()"),
              "");
    EXPECT_TRUE(sfx_test_calls().empty());
    EXPECT_EQ(LOGGED.error, "");
}

TEST_F(SfxLua, HandlesMadeBeforeSoundStartsNeverNameItsBuffers)
{
    // Scripts that run before the sound subsystem starts get counter values 1, 2, 3...,
    // which OpenAL also hands out as buffer names once it runs.
    ASSERT_EQ(run("early = {} for i = 1, 8 do early[i] = sfx.alloc() end"), "");
    ASSERT_TRUE(sfx_test_start_loopback(2));
    ASSERT_EQ(run("for i = 1, 8 do early[i]:play(1, 1) early[i]:load('x.wav') end"), "");
    for (int v = 0; v < SFX.voice_count; v++) {
        ALint buffer = -1;
        alGetSourcei(SFX.voices[v], AL_BUFFER, &buffer);
        EXPECT_EQ(buffer, 0);
    }
    ASSERT_EQ(run("for i = 1, 8 do early[i]:free() end early = nil collectgarbage()"), "");
    EXPECT_TRUE(alIsBuffer(SFX.spare));
    for (ALuint b : SFX.music.buffers)
        EXPECT_TRUE(alIsBuffer(b));
    EXPECT_EQ(LOGGED.error, "");
}

TEST_F(SfxLua, BadArgumentsRaiseErrors)
{
    EXPECT_TRUE(contains(run("sfx.free(1)"), "bad oal_sfx_handle"));
    EXPECT_TRUE(contains(run("sfx.free(setmetatable({}, {}))"), "bad oal_sfx_handle"));
    ASSERT_EQ(run("h = sfx.alloc()"), "");
    EXPECT_TRUE(contains(run("h:play()"), "number expected"));
    EXPECT_TRUE(contains(run("h:load()"), "string expected"));
    EXPECT_TRUE(contains(run("sfx.load()"), "string expected"));
    ASSERT_EQ(run("h:free()"), "");
    EXPECT_TRUE(contains(run("h:play(1, 1)"), "bad oal_sfx_handle"));
    EXPECT_TRUE(contains(run("h:load('x.wav')"), "bad oal_sfx_handle"));
}

TEST_F(SfxLua, LoadedEffectIsHeardAndFreedOnce)
{
    ASSERT_TRUE(sfx_test_start_loopback(4));
    sfx_test_write_wav("tone.wav", 1, 22050, 22050);
    ASSERT_EQ(run("e = sfx.load('tone.wav') e:play(1, 1)"), "");
    EXPECT_GT(sfx_test_render(2048), 5000);

    // A missing file still gives a handle; the load failure is logged.
    ASSERT_EQ(run("m = sfx.load('missing.wav') assert(type(m) == 'userdata')"), "");
    EXPECT_EQ(LOGGED.error, "SFX.OpenAL failed to load \"missing.wav\" file,\n");

    ALint playing = 0;
    alGetSourcei(SFX.voices[0], AL_BUFFER, &playing);
    ASSERT_NE(playing, 0);
    ASSERT_EQ(run("e:free() e = nil m = nil collectgarbage()"), "");
    EXPECT_FALSE(alIsBuffer((ALuint)playing));
    EXPECT_EQ(LOGGED.error, "SFX.OpenAL failed to load \"missing.wav\" file,\n");
}

TEST_F(SfxLua, StreamStartsAndStopsTheMusic)
{
    ASSERT_TRUE(sfx_test_start_loopback(1));
    sfx_test_write_ogg("music.ogg", 2, 22050, 22050);
    ASSERT_EQ(run("sfx.stream('music.ogg')"), "");
    EXPECT_NE(SFX.music.file, nullptr);
    ASSERT_EQ(run("sfx.stream()"), "");
    EXPECT_EQ(SFX.music.file, nullptr);
    EXPECT_EQ(LOGGED.error, "");
}
