// The Lua library "sfx" and the "oal_sfx_handle" userdata: handles made with sound off,
// argument errors, and loading and playing from scripts, heard on a loopback device.
#include "engine/code/lua_compat.h"
#include "tests/app/sfx/sfx_fixture.h"
#include "tests/harness/lua_fixture.h"

namespace {

int open_libs(lua_State* L)
{
    luaL_openlibs(L);
    sfx_lua_setup(L);
    return 0;
}

struct SfxLua : SfxFixture {
    lua_State* L = nullptr;
    void SetUp() override
    {
        SfxFixture::SetUp();
        L = luaL_newstate();
        ASSERT_EQ(lua_cpcall(L, open_libs, nullptr), 0);
    }
    void TearDown() override
    {
        lua_close(L);
        SfxFixture::TearDown();
    }
    // Runs a chunk; returns its error message, "" on success.
    std::string run(const char* code) { return lua_fixture_run(L, code); }
};

bool contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

} // namespace

TEST_F(SfxLua, SoundOffStartsDisabledAndHandlesNeverReachOpenAL)
{
    sfx_test_record_calls();
    ASSERT_TRUE(sfx_setup(&SFX)); // the option sfx_enabled is false
    EXPECT_FALSE(SFX.enabled);
    uint32_t x = sfx_buffer_alloc(&SFX), y = sfx_buffer_alloc(&SFX);
    EXPECT_NE(x, 0u);
    EXPECT_NE(x, y);
    EXPECT_EQ(run("a = sfx.alloc() b = sfx.load('missing.wav')\n"
                  "assert(type(a) == 'userdata' and type(b) == 'userdata')\n"
                  "a:load('x.wav') a:play(1, 1) b:play(0.5, 2) sfx.stream('x.ogg')\n"
                  "a:free() a:free() sfx.free(b) b = nil collectgarbage()"),
              "");
    sfx_stop(&SFX);
    sfx_clean(&SFX);
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
    ASSERT_EQ(run("h = sfx.alloc() g = sfx.alloc() g:free()"), "");
    const struct {
        const char* code;
        const char* error;
    } cases[] = {
        {"sfx.free(1)", "bad oal_sfx_handle"},     {"sfx.free(setmetatable({}, {}))", "bad oal_sfx_handle"},
        {"h:play()", "number expected"},           {"h:load()", "string expected"},
        {"sfx.load()", "string expected"},         {"g:play(1, 1)", "bad oal_sfx_handle"},
        {"g:load('x.wav')", "bad oal_sfx_handle"},
    };
    for (auto& c : cases)
        EXPECT_TRUE(contains(run(c.code), c.error)) << c.code;
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

    sfx_test_write_ogg("music.ogg", 2, 22050, 22050);
    ASSERT_EQ(run("sfx.stream('music.ogg')"), "");
    EXPECT_NE(SFX.music.file, nullptr);
    ASSERT_EQ(run("sfx.stream()"), "");
    EXPECT_EQ(SFX.music.file, nullptr);
}
