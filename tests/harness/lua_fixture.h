// Lua helpers for tests: running a chunk or an expression on a state and getting the outcome
// back as text.
#pragma once

#include <lua5.1/lua.hpp>

#include <string>

// Runs a chunk: "" on success, else its error message. The stack is left as it was.
std::string lua_fixture_run(lua_State* L, const char* code);
// tostring(expr) as text, or "error: <message>" when it raises. The stack is left as it was.
std::string lua_fixture_eval(lua_State* L, const char* expr);
