// Script-owned graphics records: the shape that the `txts` and `cmps` libraries share. A
// script's `alloc` makes a pooled record held by a one-pointer userdata and gets back a table
// of the closures unref, getptr and steal_ptr bound to it; the library table keeps that
// table (and so the record) alive, keyed by the record's pointer, until unref or steal_ptr.
#pragma once

#include "engine/code/lua_compat.h"

struct gfx;

// One library's names and its records' three operations.
struct owned_lib_kind {
    const char* global;                             // "txts"
    const char* tname;                              // "gfx_txts*ptr", its metatable holds only __gc
    const char* what;                               // "gfx_txts": "null pointer in gfx_txts usedata"
    void* (*make)(gfx* root, const char* name);     // a new record, or null (already logged)
    void (*set_holder)(void* record, void** word);  // the record nulls *word when it is freed
    void (*release)(void* record);                  // frees the record
};

// Inside a protected call: the metatable with gc as its __gc, then the global library table
// holding `alloc`, whose records come from root.
void owned_lib_setup(lua_State* L, const owned_lib_kind* kind, gfx* root, lua_CFunction gc);
// The __gc body: frees the record the userdata at index 1 still holds, clears its word.
int owned_lib_gc(lua_State* L, const owned_lib_kind* kind);
