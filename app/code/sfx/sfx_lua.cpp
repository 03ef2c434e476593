// The Lua library "sfx" and the userdata "oal_sfx_handle": scripts allocate, load, play
// and free effect buffers, and start or stop the music.
//
// These functions raise Lua errors (longjmp): none keeps an object with a destructor.

#include "app/code/sfx/sfx.h"
#include "engine/code/lua_lib.h"

static const char* const SFX_HANDLE = "oal_sfx_handle";

// A handle argument, freed or not; raises "bad oal_sfx_handle" for anything else.
static oal_sfx_handle* sfx_lua_any_handle(lua_State* L, int idx)
{
    return (oal_sfx_handle*)lua_lib_check(L, idx, SFX_HANDLE);
}

oal_sfx_handle* sfx_lua_check_handle(lua_State* L, int idx)
{
    oal_sfx_handle* h = sfx_lua_any_handle(L, idx);
    if (!h->buffer)
        luaL_argerror(L, idx, "bad oal_sfx_handle");
    return h;
}

void sfx_handle_play(const oal_sfx_handle* handle, float gain, float pitch,
                     const vec3* position, const vec3* direction)
{
    if (handle->real && handle->buffer)
        sfx_play(&SFX, handle->buffer, gain, pitch, position, direction);
}

// Pushes a new handle holding a fresh buffer. The userdata exists before the buffer does,
// so a failing userdata allocation cannot leak a buffer.
static oal_sfx_handle* sfx_lua_new_handle(lua_State* L)
{
    oal_sfx_handle* h = (oal_sfx_handle*)lua_lib_new_record(L, SFX_HANDLE, sizeof(oal_sfx_handle));
    h->real = SFX.enabled;
    h->buffer = sfx_buffer_alloc(&SFX);
    if (!h->buffer)
        luaL_argerror(L, 1, "bad oal_sfx_handle");
    return h;
}

// sfx.alloc() -> handle
static int sfx_lua_alloc(lua_State* L)
{
    sfx_lua_new_handle(L);
    return 1;
}

// sfx.free(handle), handle:free(), __gc: a handle already freed is left alone.
static int sfx_lua_free(lua_State* L)
{
    oal_sfx_handle* h = sfx_lua_any_handle(L, 1);
    if (h->buffer && h->real)
        sfx_buffer_free(&SFX, h->buffer);
    h->buffer = 0;
    return 0;
}

// handle:load(path)
static int sfx_lua_handle_load(lua_State* L)
{
    oal_sfx_handle* h = sfx_lua_check_handle(L, 1);
    const char* path = luaL_checkstring(L, 2);
    if (h->real)
        sfx_load_wav(&SFX, h->buffer, path);
    return 0;
}

// sfx.load(path) -> a new handle, returned also when the file does not load.
static int sfx_lua_load(lua_State* L)
{
    const char* path = luaL_checkstring(L, 1);
    oal_sfx_handle* h = sfx_lua_new_handle(L);
    if (h->real)
        sfx_load_wav(&SFX, h->buffer, path);
    return 1;
}

// handle:play(gain, pitch), heard at the listener.
static int sfx_lua_play(lua_State* L)
{
    oal_sfx_handle* h = sfx_lua_check_handle(L, 1);
    float gain = (float)luaL_checknumber(L, 2);
    float pitch = (float)luaL_checknumber(L, 3);
    sfx_handle_play(h, gain, pitch, nullptr, nullptr);
    return 0;
}

// sfx.stream(path) starts the music; sfx.stream() stops it.
static int sfx_lua_stream(lua_State* L)
{
    const char* path = lua_type(L, 1) == LUA_TSTRING ? lua_tostring(L, 1) : nullptr;
    sfx_stream_open(&SFX.music, path);
    return 0;
}

static const luaL_Reg sfx_lua_lib[] = {
    {"alloc", sfx_lua_alloc},
    {"free", sfx_lua_free},
    {"load", sfx_lua_load},
    {"stream", sfx_lua_stream},
    {nullptr, nullptr},
};

static const luaL_Reg sfx_lua_methods[] = {
    {"free", sfx_lua_free},
    {"__gc", sfx_lua_free},
    {"load", sfx_lua_handle_load},
    {"play", sfx_lua_play},
    {nullptr, nullptr},
};

void sfx_lua_setup(lua_State* L)
{
    lua_lib_register(L, "sfx", sfx_lua_lib);
    lua_lib_new_type(L, SFX_HANDLE, sfx_lua_methods);
}
