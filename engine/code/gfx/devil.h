// Lua library devil: the image library handed to scripts directly. Images are userdata of
// type "DevIL*" (methods in their metatable); the global table `devil` holds the library's
// own state calls and the tables ENUM (constant names -> values) and DEFS (bit masks).
//
// Every call into the image library is followed by a read of its error list: the first
// code is raised as the Lua error "DevIL ERROR <text>" (any further codes are logged as
// "ILERROR %s\n", so no stale code is left to fail a later call).
#pragma once

#include <stdint.h>

#include "engine/code/lua_compat.h"

#define DEVIL_TYPE "DevIL*"

// The record inside a DevIL* userdata (zeroed when made).
struct devil_image {
    uint32_t image;   // image-library name; 0 = closed (freed or never made)
    uint32_t frame;   // sub-image made active at every bind; 0 = none
    uint32_t layer;
    uint32_t mipmap;
};

// The shell calls it with true once it has initialised the image library (and the utility
// library); until then every function and method raises "the image library is not set up".
void devil_library_ready(bool ready);

// Registers the type DevIL* and the global table devil. Runs inside a protected call.
void devil_lua_setup(lua_State* L);

// The DevIL* at idx, or NULL when the value is something else (never raises).
devil_image* devil_test(lua_State* L, int idx);
// The DevIL* argument at idx; raises the argument error "bad DevIL*" otherwise.
devil_image* devil_check(lua_State* L, int idx);
// As devil_check, and raises "attempt to use a closed image" for a closed one.
devil_image* devil_check_open(lua_State* L, int idx);
// Binds the image and activates its selected frame, layer and mipmap; raises on error.
void devil_bind(lua_State* L, const devil_image* img);
// A freshly defined image (ilTexImage) is marked with a lower-left origin and would be
// saved upside down; this marks the bound image with the origin the library is set to, as
// loaded images are, so rows are top first in memory and in files alike.
void devil_register_origin(void);
// Raises "DevIL ERROR <text>" when the image library has an error pending.
void devil_raise_pending(lua_State* L);
