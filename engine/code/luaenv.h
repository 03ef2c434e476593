// The engine's second Lua environment: a small, short-lived Lua state, separate from the
// shell's, for reading configuration tables written in Lua (standard libraries only).
//
// Reading works on a "current pair" at the top of the Lua stack: a key and a value, with the
// table being walked (when there is one) just below them. Texts returned point into the
// Lua state and stay valid while the pair stays on the stack.
//
// The reading operations never raise: a missing global, a field of something that is not
// a table, or a walk that cannot continue simply give "no value" (false or NULL).
#pragma once

#include "engine/code/lua_compat.h"

struct luaenv {
    lua_State* L;       // NULL while closed
    char key_text[32];  // a number key formatted by luaenv_get_key
};

bool luaenv_setup(luaenv* e);   // false (and logged) when the state or its libraries fail
void luaenv_clean(luaenv* e);   // safe twice
bool luaenv_reset(luaenv* e);
bool luaenv_dofile(luaenv* e, const char* file_name);  // false after logging
bool luaenv_dostring(luaenv* e, const char* text);

// Empties the stack and makes (name, global name) the pair; true when the global is not nil.
bool luaenv_get_global(luaenv* e, const char* name);
// Pushes an empty pair (nil, nil): the current value becomes the table to walk or read.
void luaenv_enter(luaenv* e);
// Advances the walk of the table below the pair; true with the next (key, value) as the
// pair. At the end, or when there is no table below, the pair becomes (nil, nil): false.
bool luaenv_next(luaenv* e);
// Replaces the pair by (name, field name of the table below); true when the field is not
// nil. Below something that is not a table the field is nil.
bool luaenv_get_field(luaenv* e, const char* name);
// Drops the pair: the value below becomes the current value again.
void luaenv_leave(luaenv* e);
bool luaenv_is_table(luaenv* e);
// The pair's key / value as text: a string as it is, a number formatted as Lua formats it
// (a number key is never converted in place, which would break the walk); NULL otherwise.
// A number key's text lives until the next luaenv_get_key.
const char* luaenv_get_key(luaenv* e);
const char* luaenv_get_value(luaenv* e);
