// Lua library xtra: general functions for scripts: making folders, copying files, listing
// files by pattern, converting colours between a number text and a table of channels,
// turning an XML text into nested tables and splitting one line of comma-separated values.
#pragma once

#include "engine/code/lua_compat.h"

// Registers the global table "xtra". Runs inside a protected call (it may raise).
void xtra_lua_register(lua_State* L);

// The two parsers, also registered by other libraries under the same names.
//
// xtra_parse_xml(text) -> root table. Each element is a table with [0] = its name, its
// attributes under their names (string values), and its text pieces and child elements as
// items 1..n in document order. White space is collapsed to single spaces and trimmed;
// entity references are dropped. The scan stops at the first character that breaks the
// grammar and returns what was complete by then. Raises "Failed to grow stack, XML file
// is too deep" for deep nesting and a clean error for an end tag with no open element.
int xtra_parse_xml(lua_State* L);
// xtra_parse_csv_line(line [, n]) -> table of fields 1..k, or with a number n only field n
// (nothing when it is empty or missing).
int xtra_parse_csv_line(lua_State* L);
