// Options: the option table, the Lua closures that set and read options, the choice names
// and the options file.
//
// Sections: table, choice names, value parsing, Lua, options file, callbacks.

#include "app/code/opt.h"

#include <float.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "app/code/con.h"
#include "app/code/main_state.h"
#include "engine/code/dbg.h"
#include "engine/code/safelua.h"

opts OPT;

// ---- table --------------------------------------------------------------------------------

static const char STATE_HELP[] = "\"main_state_menu\",\"main_state_game\",\"main_state_bud_test\"";

const opt_record opt_def[18] = {
    {"lang", OPT_STRING, NULL, OPT.lang, "\"en-uk\"", NULL, "32", NULL, NULL},
    {"lang_alt", OPT_STRING, NULL, OPT.lang_alt, "\"en\"", NULL, "32", NULL, NULL},
    {"start_state", OPT_CHOICE, NULL, &OPT.start_state, "\"main_state_menu\"", NULL, NULL, STATE_HELP, NULL},
    {"next_state", OPT_CHOICE, NULL, &OPT.next_state, "\"main_state_menu\"", NULL, NULL, STATE_HELP,
     opt_next_state_changed},
    {"next_level", OPT_STRING, NULL, OPT.next_level, NULL, NULL, "256", NULL, NULL},
    {"next_number", OPT_INT, NULL, &OPT.next_number, NULL, NULL, NULL, NULL, NULL},
    {"show_debug", OPT_BOOL, NULL, &OPT.show_debug, NULL, NULL, NULL, NULL, NULL},
    {"window_startup", OPT_CHOICE, NULL, &OPT.window_startup, "\"normal\"", NULL, NULL,
     "fullscreen,maximised,normal", NULL},
    {"window_width", OPT_INT, NULL, &OPT.window_width, "800", "800", "4096", NULL, NULL},
    {"window_height", OPT_INT, NULL, &OPT.window_height, "600", "600", "4096", NULL, NULL},
    {"con_reload", OPT_COMMAND, NULL, NULL, NULL, NULL, NULL, NULL, opt_con_reload},
    {"dumpopts", OPT_COMMAND, NULL, NULL, NULL, NULL, NULL, NULL, opt_save},
    {"sfx_enabled", OPT_BOOL, NULL, &OPT.sfx_enabled, "true", "1", "32", NULL, NULL},
    {"sfx_background_volume", OPT_FLOAT, NULL, &OPT.sfx_background_volume, "1.0", "1", "32", NULL, NULL},
    {"sfx_foreground_volume", OPT_FLOAT, NULL, &OPT.sfx_foreground_volume, "1.0", "1", "32", NULL, NULL},
    {"sfx_voices", OPT_INT, NULL, &OPT.sfx_voices, NULL, "1", "32", NULL, NULL},
    {"sfx_device_name", OPT_STRING, NULL, OPT.sfx_device_name, NULL, NULL, "256", NULL, NULL},
    {NULL, 0, NULL, NULL, NULL, NULL, NULL, NULL, NULL},
};

// The option's variable, or NULL when it has none (commands, or an unset base).
static void* resolve(const opt_record* rec)
{
    if (!rec->base)
        return rec->variable;
    if (!*rec->base)
        return NULL;
    return (char*)*rec->base + (size_t)rec->variable;
}

// ---- choice names -------------------------------------------------------------------------

static const char* const CHOICE_NAMES[8] = {
    NULL,
    "fullscreen",
    "maximised",
    "normal",
    "main_state_menu",
    "main_state_structor",
    "main_state_bud_test",
    "main_state_amaze",
};

static char lower_ascii(char c)
{
    return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c;
}

static bool same_ignoring_case(const char* a, const char* b)
{
    for (; *a && *b; a++, b++)
        if (lower_ascii(*a) != lower_ascii(*b))
            return false;
    return *a == *b;
}

int32_t opt_enum_find(const char* name)
{
    if (!name)
        return 0;
    for (int32_t i = 1; i < 8; i++)
        if (same_ignoring_case(name, CHOICE_NAMES[i]))
            return i;
    return 0;
}

const char* opt_enum_name(int32_t value)
{
    return (value >= 1 && value <= 7) ? CHOICE_NAMES[value] : NULL;
}

// ---- value parsing ------------------------------------------------------------------------

// The leading decimal integer of text (white space and a sign allowed), saturated to the
// 32-bit range; 0 when there are no digits.
static int32_t parse_int(const char* text)
{
    long long v = strtoll(text, NULL, 10);
    if (v > INT32_MAX)
        return INT32_MAX;
    if (v < INT32_MIN)
        return INT32_MIN;
    return (int32_t)v;
}

static bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

// The leading decimal floating-point number of text (digits, point, exponent; no hex, no
// inf or nan), kept to the finite f32 range; 0 when there is none.
static float parse_float(const char* text)
{
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        p++;
    const char* start = p;
    if (*p == '+' || *p == '-')
        p++;
    bool digits = false;
    while (is_digit(*p)) {
        p++;
        digits = true;
    }
    if (*p == '.') {
        p++;
        while (is_digit(*p)) {
            p++;
            digits = true;
        }
    }
    if (!digits)
        return 0.0f;
    if (*p == 'e' || *p == 'E') {
        const char* e = p + 1;
        if (*e == '+' || *e == '-')
            e++;
        if (is_digit(*e)) {
            while (is_digit(*e))
                e++;
            p = e;
        }
    }
    char buf[128];
    size_t n = (size_t)(p - start);
    if (n >= sizeof(buf))
        n = sizeof(buf) - 1;  // a longer number is only longer in digits that f32 cannot keep
    memcpy(buf, start, n);
    buf[n] = 0;
    double v = strtod(buf, NULL);
    if (v > FLT_MAX)
        return FLT_MAX;
    if (v < -FLT_MAX)
        return -FLT_MAX;
    return (float)v;
}

// Sets the variable from the value at idx. Values of the wrong kind leave it unchanged.
static void set_value(const opt_record* rec, void* var, lua_State* L, int idx)
{
    if (rec->type == OPT_BOOL) {
        *(bool*)var = lua_toboolean(L, idx) != 0;
        return;
    }
    const char* text = lua_tostring(L, idx);
    if (!text)
        return;
    switch (rec->type) {
    case OPT_INT:
        *(int32_t*)var = parse_int(text);
        break;
    case OPT_FLOAT:
        *(float*)var = parse_float(text);
        break;
    case OPT_CHOICE: {
        int32_t v = opt_enum_find(text);
        if (v)
            *(int32_t*)var = v;
        break;
    }
    case OPT_STRING: {
        int m = rec->max_text ? atoi(rec->max_text) : 0;
        if (m > 0) {
            strncpy((char*)var, text, (size_t)m);
            ((char*)var)[m - 1] = 0;
        }
        break;
    }
    }
}

// Logs the value and pushes it; returns the number of results.
static int push_value(const opt_record* rec, void* var, lua_State* L)
{
    switch (rec->type) {
    case OPT_INT: {
        int32_t v = *(int32_t*)var;
        dbg_print("%s=%d\n", rec->name, v);
        lua_pushnumber(L, v);
        return 1;
    }
    case OPT_FLOAT: {
        float v = *(float*)var;
        dbg_print("%s=%f\n", rec->name, v);
        lua_pushnumber(L, v);
        return 1;
    }
    case OPT_BOOL: {
        bool v = *(bool*)var;
        dbg_print("%s=%s\n", rec->name, v ? "true" : "false");
        lua_pushboolean(L, v);
        return 1;
    }
    case OPT_CHOICE: {
        const char* name = opt_enum_name(*(int32_t*)var);
        dbg_print("%s=%s\n", rec->name, name ? name : "(null)");
        if (name)
            lua_pushstring(L, name);
        else
            lua_pushnil(L);
        return 1;
    }
    case OPT_STRING:
        dbg_print("%s=%s\n", rec->name, (const char*)var);
        lua_pushstring(L, (const char*)var);
        return 1;
    }
    return 0;
}

// ---- Lua ----------------------------------------------------------------------------------

int opt_lua_call(lua_State* L)
{
    const opt_record* rec = (const opt_record*)lua_touserdata(L, lua_upvalueindex(1));
    if (!rec)
        return 0;
    void* var = resolve(rec);
    int n = lua_gettop(L);
    bool has_value = rec->type >= OPT_INT && rec->type <= OPT_STRING && var;
    if (n > 0 && has_value)
        set_value(rec, var, L, n);
    if (rec->callback)
        rec->callback(rec);
    lua_settop(L, 0);
    return has_value ? push_value(rec, var, L) : 0;
}

void opt_lua_setup(lua_State* L)
{
    lua_pushstring(L, "opt");
    lua_newtable(L);
    for (const opt_record* rec = opt_def; rec->name; rec++) {
        lua_pushstring(L, rec->name);
        lua_pushlightuserdata(L, (void*)rec);
        lua_pushcclosure(L, opt_lua_call, 1);
        lua_rawset(L, -3);
    }
    lua_rawset(L, LUA_GLOBALSINDEX);
}

// ---- options file -------------------------------------------------------------------------

// A Lua string literal's body: the characters that would end or break the literal are
// escaped, so the file always reads back; ordinary texts are written unchanged.
static void write_escaped(FILE* f, const char* text)
{
    for (const char* p = text; *p; p++) {
        switch (*p) {
        case '\\': fputs("\\\\", f); break;
        case '"': fputs("\\\"", f); break;
        case '\n': fputs("\\n", f); break;
        case '\r': fputs("\\r", f); break;
        default: fputc(*p, f); break;
        }
    }
}

static void write_record(FILE* f, const opt_record* rec, const void* var)
{
    switch (rec->type) {
    case OPT_INT:
        fprintf(f, "opt.%s(%d)\n", rec->name, *(const int32_t*)var);
        break;
    case OPT_FLOAT:
        fprintf(f, "opt.%s(%f)\n", rec->name, *(const float*)var);
        break;
    case OPT_BOOL:
        fprintf(f, "opt.%s(%s)\n", rec->name, *(const bool*)var ? "true" : "false");
        break;
    case OPT_CHOICE: {
        const char* name = opt_enum_name(*(const int32_t*)var);
        if (name)
            fprintf(f, "opt.%s(\"%s\")\n", rec->name, name);
        break;
    }
    case OPT_STRING:
        fprintf(f, "opt.%s(\"", rec->name);
        write_escaped(f, (const char*)var);
        fputs("\")\n", f);
        break;
    }
}

void opt_save(const opt_record* rec)
{
    FILE* f = fopen("local/lua/opts.lua", "w");
    if (!f)
        return;
    fputs("-- This file is machine generated\n-- do not edit as it will be overwritten\n"
          "-- edit startup.lua instead\n\n",
          f);
    for (const opt_record* r = opt_def; r->name; r++) {
        const void* var = resolve(r);
        if (var)
            write_record(f, r, var);
    }
    fclose(f);
}

// ---- callbacks ----------------------------------------------------------------------------

void opt_next_state_changed(const opt_record* rec)
{
    set_next_main_state(OPT.next_state);
}

// The second registration stage again. It runs from inside a Lua call on the very state it
// works on, so a failure (only a memory error can cause one) is logged and the state is left
// open: closing it here would pull the state out from under the running call.
void opt_con_reload(const opt_record* rec)
{
    if (CON.L)
        safelua_cpcall(CON.L, con_register_post, &CON);
}
