// Safe Lua layer: protected calls, the _ALERT and print replacements, file and buffer
// runners and the queue of script threads.
//
// Sections: reporting, protected calls, running and loading, script threads, console lines.

#include "engine/code/safelua.h"

#include <stdio.h>
#include <string.h>

#include "engine/code/dbg.h"

static const char NO_MESSAGE[] = "(error with no message)";
static const char RET_KEY[] = "safelua_ret";
static const char THREADS_KEY[] = "safelua_threads";

// Request records handed to the protected bodies as their light userdata.
struct safelua_file_req {
    const char* name;
};

struct safelua_buffer_req {
    const char* buffer;
    size_t length;
};

// ---- reporting ----------------------------------------------------------------------------

// The message of a protected call that failed, without any further call that could fail.
static const char* plain_message(lua_State* L)
{
    return lua_type(L, -1) == LUA_TSTRING ? lua_tostring(L, -1) : NULL;
}

static void report_cpcall_failure(const char* msg)
{
    dbg_error("LUA ERROR %s in lua_cpcall\n", msg ? msg : NO_MESSAGE);
}

// The text of the top of a coroutine that died by an error. Converting in place could
// raise on a state that can no longer catch anything, so numbers are formatted here.
static const char* dead_thread_message(lua_State* co, char* buf, size_t size)
{
    int type = lua_type(co, -1);
    if (type == LUA_TSTRING)
        return lua_tostring(co, -1);
    if (type == LUA_TNUMBER) {
        snprintf(buf, size, LUA_NUMBER_FMT, (LUA_NUMBER)lua_tonumber(co, -1));
        return buf;
    }
    return NULL;
}

int safelua_alert(lua_State* L)
{
    char number[64];
    const char* msg = NULL;
    if (lua_gettop(L) > 0) {
        if (compat_thread_is_dead(L))
            msg = dead_thread_message(L, number, sizeof(number));
        else
            msg = safelua_tostring(L, -1);
    }

    char where[300] = "";
    if (!msg) {
        msg = NO_MESSAGE;
    } else {
        char chunk[256];
        int line = 0;
        if (sscanf(msg, " %255[^:]:%d: ", chunk, &line) == 2)
            snprintf(where, sizeof(where), "../../../vizavev/%s%s(%d) : LUAFILE\n", "", chunk, line);
    }
    dbg_error("LUA ERROR %s\n%s", msg, where);
    if (lua_gettop(L) > 0)
        lua_pop(L, 1);
    return 0;
}

int safelua_print(lua_State* L)
{
    int n = lua_gettop(L);
    lua_getglobal(L, "tostring");
    for (int i = 1; i <= n; i++) {
        lua_pushvalue(L, -1);
        lua_pushvalue(L, i);
        lua_call(L, 1, 1);
        const char* s = lua_tostring(L, -1);
        if (!s)
            return luaL_error(L, "'tostring' must return a string to 'print'");
        if (i > 1)
            dbg_print("\t");
        dbg_print("%s", s);
        lua_pop(L, 1);
    }
    dbg_print("\n");
    return 0;
}

// ---- protected calls ----------------------------------------------------------------------

bool safelua_cpcall(lua_State* L, lua_CFunction body, void* ud)
{
    if (lua_cpcall(L, body, ud) == 0)
        return true;
    report_cpcall_failure(safelua_tostring(L, -1));
    lua_pop(L, 1);
    return false;
}

// Runs on its own stack: index 1 is a copy of the caller's value.
static int tostring_body(lua_State* L)
{
    if (!lua_isstring(L, 1))
        return 0;
    lua_tostring(L, 1);
    lua_settop(L, 1);
    return 1;
}

const char* safelua_tostring(lua_State* L, int idx)
{
    if (idx < 0 && idx > LUA_REGISTRYINDEX)
        idx = lua_gettop(L) + idx + 1;
    // A slot below the bottom or above the top holds nothing to convert (and index 0 is
    // no slot at all).
    if (idx > LUA_REGISTRYINDEX && (idx <= 0 || idx > lua_gettop(L)))
        return NULL;
    if (lua_type(L, idx) == LUA_TSTRING)
        return lua_tostring(L, idx);
    if (idx <= 0 || lua_type(L, idx) != LUA_TNUMBER)
        return NULL;

    // A number is converted in a protected call, then put in place of the caller's value
    // so that the text lives as long as that slot.
    lua_pushcfunction(L, tostring_body);
    lua_pushvalue(L, idx);
    if (lua_pcall(L, 1, 1, 0) != 0) {
        report_cpcall_failure(plain_message(L));
        lua_pop(L, 1);
        return NULL;
    }
    if (lua_type(L, -1) != LUA_TSTRING) {
        lua_pop(L, 1);
        return NULL;
    }
    lua_replace(L, idx);
    return lua_tostring(L, idx);
}

// ---- libraries ----------------------------------------------------------------------------

int safelua_open_libs(lua_State* L)
{
    lua_register(L, "_ALERT", safelua_alert);
    compat_open_lib(L, luaopen_base, "");
    lua_settop(L, 0);
    lua_register(L, "print", safelua_print);
    compat_open_lib(L, luaopen_table, LUA_TABLIBNAME);
    lua_settop(L, 0);
    compat_open_lib(L, luaopen_string, LUA_STRLIBNAME);
    lua_settop(L, 0);
    compat_open_lib(L, luaopen_math, LUA_MATHLIBNAME);
    lua_settop(L, 0);
    compat_open_io(L);
    lua_settop(L, 0);
    compat_open_lib(L, luaopen_debug, LUA_DBLIBNAME);
    lua_settop(L, 0);
    return 0;
}

// ---- running and loading ------------------------------------------------------------------

static int dofile_body(lua_State* L)
{
    const safelua_file_req* req = (const safelua_file_req*)lua_touserdata(L, 1);
    if (compat_dofile(L, req->name) != 0)
        luaL_error(L, "lua_dofile(\"%s\") failed.", req->name);
    return 0;
}

static int dobuffer_body(lua_State* L)
{
    const safelua_buffer_req* req = (const safelua_buffer_req*)lua_touserdata(L, 1);
    if (compat_dobuffer(L, req->buffer, req->length, req->buffer) != 0)
        luaL_error(L, "lua_dobuffer(\"%s\") failed.", req->buffer);
    return 0;
}

// The loaded chunk on the stack top becomes the registry's safelua_ret.
static void store_ret(lua_State* L)
{
    lua_pushstring(L, RET_KEY);
    lua_insert(L, -2);
    lua_rawset(L, LUA_REGISTRYINDEX);
}

static int loadbuffer_body(lua_State* L)
{
    const safelua_buffer_req* req = (const safelua_buffer_req*)lua_touserdata(L, 1);
    if (luaL_loadbuffer(L, req->buffer, req->length, req->buffer) != 0)
        luaL_error(L, "luaL_loadbuffer(\"%s\") failed.", req->buffer);
    store_ret(L);
    return 0;
}

static int loadfile_body(lua_State* L)
{
    const safelua_file_req* req = (const safelua_file_req*)lua_touserdata(L, 1);
    if (luaL_loadfile(L, req->name) != 0)
        luaL_error(L, "luaL_loadfile(\"%s\") failed.", req->name);
    store_ret(L);
    return 0;
}

static void push_ret(lua_State* L)
{
    lua_pushstring(L, RET_KEY);
    lua_rawget(L, LUA_REGISTRYINDEX);
}

bool safelua_dofile(lua_State* L, const char* file_name)
{
    safelua_file_req req = {file_name};
    return safelua_cpcall(L, dofile_body, &req);
}

bool safelua_dobuffer(lua_State* L, const char* buffer, size_t length)
{
    safelua_buffer_req req = {buffer, length};
    return safelua_cpcall(L, dobuffer_body, &req);
}

bool safelua_loadbuffer(lua_State* L, const char* buffer, size_t length)
{
    safelua_buffer_req req = {buffer, length};
    if (!safelua_cpcall(L, loadbuffer_body, &req))
        return false;
    push_ret(L);
    return true;
}

bool safelua_loadfile(lua_State* L, const char* file_name)
{
    safelua_file_req req = {file_name};
    if (!safelua_cpcall(L, loadfile_body, &req))
        return false;
    push_ret(L);
    return true;
}

// ---- script threads -----------------------------------------------------------------------

// Pushes the thread table, or nothing and returns false when there is none.
static bool push_threads(lua_State* L)
{
    lua_pushstring(L, THREADS_KEY);
    lua_rawget(L, LUA_REGISTRYINDEX);
    if (lua_istable(L, -1))
        return true;
    lua_pop(L, 1);
    return false;
}

// Runs on its own stack: index 1 is a copy of the function to queue.
static int thread_add_body(lua_State* L)
{
    if (!push_threads(L)) {
        lua_pushstring(L, THREADS_KEY);
        lua_newtable(L);
        lua_rawset(L, LUA_REGISTRYINDEX);
        push_threads(L);
    }
    int t = lua_gettop(L);

    lua_pushstring(L, "idx");
    lua_rawget(L, t);
    lua_Number idx = lua_tonumber(L, -1);
    lua_pop(L, 1);
    // The counter only ever grows by one; a value out of range (only a script poking the
    // registry could make one) starts again at 1 rather than overflowing.
    int n = (idx >= 0 && idx < 2147483647.0) ? (int)idx + 1 : 1;
    lua_pushstring(L, "idx");
    lua_pushnumber(L, n);
    lua_rawset(L, t);

    lua_State* co = lua_newthread(L);
    lua_pushvalue(L, -1);
    lua_rawseti(L, t, n);
    lua_pushvalue(L, 1);
    lua_xmove(L, co, 1);
    return 0;
}

bool safelua_thread_add(lua_State* L)
{
    if (lua_gettop(L) < 1)
        return false;
    lua_pushcfunction(L, thread_add_body);
    lua_pushvalue(L, -2);
    bool ok = lua_pcall(L, 1, 0, 0) == 0;
    if (!ok) {
        report_cpcall_failure(plain_message(L));
        lua_pop(L, 1);
    }
    lua_pop(L, 1);
    return ok;
}

// Resumes the thread whose (key, value) pair is on the stack top. Returns true when the
// thread has ended (finished or failed) and should be removed.
static bool step_thread(lua_State* L)
{
    lua_State* co = lua_tothread(L, -1);
    switch (compat_resume(co, 0)) {
    case COMPAT_RESUME_YIELDED:
        lua_settop(co, 0);  // yielded values are not used
        return false;
    case COMPAT_RESUME_FINISHED:
        // Ended, also when it returned values: a finished chunk runs exactly once.
        return true;
    default:
        safelua_alert(co);
        return true;
    }
}

static int threads_update_body(lua_State* L)
{
    if (!push_threads(L))
        return 0;
    int t = lua_gettop(L);
    lua_pushnil(L);
    while (lua_next(L, t)) {
        if (lua_type(L, -1) != LUA_TTHREAD || !step_thread(L)) {
            lua_pop(L, 1);
            continue;
        }
        lua_pop(L, 1);
        lua_pushnil(L);
        lua_rawset(L, t);  // the key := nil
        lua_pushnil(L);    // every removal starts the walk again
    }
    return 0;
}

bool safelua_threads_update(lua_State* L)
{
    return safelua_cpcall(L, threads_update_body, NULL);
}

// ---- console lines ------------------------------------------------------------------------

static bool is_letter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

static bool is_name_char(char c)
{
    return is_letter(c) || (c >= '0' && c <= '9') || c == '.' || c == '_';
}

void safelua_add_parens(char* line)
{
    if (!is_letter(line[0]))
        return;
    size_t i = 1;
    for (; line[i]; i++)
        if (!is_name_char(line[i]))
            return;
    line[i] = '(';
    line[i + 1] = ')';
    line[i + 2] = 0;
}
