// Lua library soul: the avatar vocabulary for scripts (soul.info) and the random soul
// generator of local/lua/soul.lua, which the avatar editor runs from native code.
#pragma once

#include <cstdint>

#include "engine/code/lua_compat.h"

struct avatar;

// Runs soul.random for the given sex choice (above 0 "boi", below 0 "grl", 0 either) in a
// protected call and applies its result to the avatar's soul. A script error inside
// soul.random is only reported; whatever the global ret then holds is applied. False when
// ret is not a soul table (the soul is then left as it was) or the avatar has no soul.
bool soul_randomize(lua_State* L, avatar* a, int32_t sex);

// Applies the soul table on the stack top to the avatar's soul; raises a Lua error when it
// is not a table with parts and surfaces tables, before changing anything. Part lists name
// up to four {group, name} objects per part; a surface missing from the table becomes
// white with no specular colour and no gloss.
void soul_apply_table(lua_State* L, avatar* a);
