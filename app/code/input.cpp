// Control state and the Lua input library: INPUT, the 48 functions of KEYS, the name
// tables of the global `input`, and the dispatch of the frame's raw events to Lua handlers.
//
// Sections: control state, KEYS, name tables, registration, dispatch.

#include "app/code/input.h"

#include <cmath>
#include <cstdio>

#include "app/code/con.h"
#include "engine/code/lua_lib.h"
#include "engine/code/safelua.h"

input_state INPUT;

// ---- control state ----

void input_state_setup(input_state* s)
{
    for (input_player& block : s->players) {
        input_player* p = &block;
        p->buttons[0] = &p->left;
        p->buttons[1] = &p->right;
        p->buttons[2] = &p->up;
        p->buttons[3] = &p->down;
        p->buttons[4] = &p->in;
        p->buttons[5] = &p->out;
    }
}

void input_button_set(input_button* b, bool down)
{
    if (b->held == (uint8_t)down)
        return;
    b->held = down;
    if (down)
        b->pressed = 1;
    else
        b->released = 1;
}

void input_axis_set(int32_t* axis, input_button* negative, input_button* positive, int32_t v)
{
    *axis = v;
    input_button_set(negative, v < 0);
    input_button_set(positive, v > 0);
}

// ---- KEYS ----

// Towards zero, saturated to the 32-bit range; NaN counts as 0.
static int32_t truncate_number(lua_Number n)
{
    if (std::isnan(n))
        return 0;
    if (n >= 2147483647.0)
        return INT32_MAX;
    if (n <= -2147483648.0)
        return INT32_MIN;
    return (int32_t)n;
}

// The one optional argument: a boolean, a number or a numeric string. Anything else
// (none, nil, a table) leaves the state alone.
static bool argument_value(lua_State* L, int32_t* v)
{
    int t = lua_type(L, 1);
    if (t == LUA_TBOOLEAN) {
        *v = lua_toboolean(L, 1) ? 1 : 0;
        return true;
    }
    if ((t == LUA_TNUMBER || t == LUA_TSTRING) && lua_isnumber(L, 1)) {
        *v = truncate_number(lua_tonumber(L, 1));
        return true;
    }
    return false;
}

// Upvalue 1: the button.
static int keys_button(lua_State* L)
{
    input_button* b = (input_button*)lua_touserdata(L, lua_upvalueindex(1));
    int32_t v;
    if (argument_value(L, &v))
        input_button_set(b, v != 0);
    lua_pushboolean(L, b->held);
    lua_pushboolean(L, b->pressed);
    lua_pushboolean(L, b->released);
    return 3;
}

// Upvalue 1: the player block; upvalue 2: the axis (0 leftright, 1 updown, 2 inout).
static int keys_axis(lua_State* L)
{
    input_player* p = (input_player*)lua_touserdata(L, lua_upvalueindex(1));
    int axis = (int)lua_tonumber(L, lua_upvalueindex(2));
    int32_t* value = axis == 0 ? &p->leftright : axis == 1 ? &p->updown : &p->inout;
    input_button* negative = axis == 0 ? &p->left : axis == 1 ? &p->up : &p->in;
    input_button* positive = axis == 0 ? &p->right : axis == 1 ? &p->down : &p->out;
    int32_t v;
    if (argument_value(L, &v))
        input_axis_set(value, negative, positive, v);
    lua_pushnumber(L, *value);
    return 1;
}

static const char* const axis_names[3] = {"leftright", "updown", "inout"};
static const char* const button_names[6] = {"left", "right", "up", "down", "in", "out"};

static void keys_register(lua_State* L, int table, const char* name, void* target, int axis)
{
    lua_pushstring(L, name);
    lua_pushlightuserdata(L, target);
    if (axis >= 0) {
        lua_pushnumber(L, axis);
        lua_pushcclosure(L, keys_axis, 2);
    } else {
        lua_pushcclosure(L, keys_button, 1);
    }
    lua_rawset(L, table);
}

// p1_ to p4_ then the unprefixed block, each: the three axes, then the six buttons;
// then click, grab, menu.
static void keys_setup(lua_State* L, int table)
{
    char name[32];
    for (int i = 0; i < 5; i++) {
        input_player* p = &INPUT.players[i];
        char prefix[4] = "";
        if (i < 4)
            snprintf(prefix, sizeof(prefix), "p%d_", i + 1);
        for (int a = 0; a < 3; a++) {
            snprintf(name, sizeof(name), "%s%s", prefix, axis_names[a]);
            keys_register(L, table, name, p, a);
        }
        for (int b = 0; b < 6; b++) {
            snprintf(name, sizeof(name), "%s%s", prefix, button_names[b]);
            keys_register(L, table, name, p->buttons[b], -1);
        }
    }
    keys_register(L, table, "click", &INPUT.click, -1);
    keys_register(L, table, "grab", &INPUT.grab, -1);
    keys_register(L, table, "menu", &INPUT.menu, -1);
}

// ---- name tables ----

struct input_name {
    int32_t offset;
    const char* name;
};

static const input_name key_names[] = {
    {1, "ESCAPE"}, {2, "1"}, {3, "2"}, {4, "3"}, {5, "4"}, {6, "5"}, {7, "6"}, {8, "7"}, {9, "8"},
    {10, "9"}, {11, "0"}, {12, "MINUS"}, {13, "EQUALS"}, {14, "BACK"}, {15, "TAB"}, {16, "Q"},
    {17, "W"}, {18, "E"}, {19, "R"}, {20, "T"}, {21, "Y"}, {22, "U"}, {23, "I"}, {24, "O"},
    {25, "P"}, {26, "LBRACKET"}, {27, "RBRACKET"}, {28, "RETURN"}, {29, "LCONTROL"}, {30, "A"},
    {31, "S"}, {32, "D"}, {33, "F"}, {34, "G"}, {35, "H"}, {36, "J"}, {37, "K"}, {38, "L"},
    {39, "SEMICOLON"}, {40, "APOSTROPHE"}, {41, "GRAVE"}, {42, "LSHIFT"}, {43, "BACKSLASH"},
    {44, "Z"}, {45, "X"}, {46, "C"}, {47, "V"}, {48, "B"}, {49, "N"}, {50, "M"}, {51, "COMMA"},
    {52, "PERIOD"}, {53, "SLASH"}, {54, "RSHIFT"}, {55, "MULTIPLY"}, {56, "LMENU"}, {57, "SPACE"},
    {58, "CAPITAL"}, {59, "F1"}, {60, "F2"}, {61, "F3"}, {62, "F4"}, {63, "F5"}, {64, "F6"},
    {65, "F7"}, {66, "F8"}, {67, "F9"}, {68, "F10"}, {69, "NUMLOCK"}, {70, "SCROLL"},
    {71, "NUMPAD7"}, {72, "NUMPAD8"}, {73, "NUMPAD9"}, {74, "SUBTRACT"}, {75, "NUMPAD4"},
    {76, "NUMPAD5"}, {77, "NUMPAD6"}, {78, "ADD"}, {79, "NUMPAD1"}, {80, "NUMPAD2"},
    {81, "NUMPAD3"}, {82, "NUMPAD0"}, {83, "DECIMAL"}, {86, "OEM_102"}, {87, "F11"}, {88, "F12"},
    {100, "F13"}, {101, "F14"}, {102, "F15"}, {112, "KANA"}, {115, "ABNT_C1"}, {121, "CONVERT"},
    {123, "NOCONVERT"}, {125, "YEN"}, {126, "ABNT_C2"}, {141, "NUMPADEQUALS"}, {144, "PREVTRACK"},
    {145, "AT"}, {146, "COLON"}, {147, "UNDERLINE"}, {148, "KANJI"}, {149, "STOP"}, {150, "AX"},
    {151, "UNLABELED"}, {153, "NEXTTRACK"}, {156, "NUMPADENTER"}, {157, "RCONTROL"}, {160, "MUTE"},
    {161, "CALCULATOR"}, {162, "PLAYPAUSE"}, {164, "MEDIASTOP"}, {174, "VOLUMEDOWN"},
    {176, "VOLUMEUP"}, {178, "WEBHOME"}, {179, "NUMPADCOMMA"}, {181, "DIVIDE"}, {183, "SYSRQ"},
    {184, "RMENU"}, {197, "PAUSE"}, {199, "HOME"}, {200, "UP"}, {201, "PRIOR"}, {203, "LEFT"},
    {205, "RIGHT"}, {207, "END"}, {208, "DOWN"}, {209, "NEXT"}, {210, "INSERT"}, {211, "DELETE"},
    {219, "LWIN"}, {220, "RWIN"}, {221, "APPS"}, {222, "POWER"}, {223, "SLEEP"}, {227, "WAKE"},
    {229, "WEBSEARCH"}, {230, "WEBFAVORITES"}, {231, "WEBREFRESH"}, {232, "WEBSTOP"},
    {233, "WEBFORWARD"}, {234, "WEBBACK"}, {235, "MYCOMPUTER"}, {236, "MAIL"}, {237, "MEDIASELECT"},
};

static const char* const joy_axis_names[12] = {"X", "Y", "Z", "RX", "RY", "RZ", "S0", "S1",
                                               "POV0", "POV1", "POV2", "POV3"};
static const char* const joy_set_names[8] = {"X", "Y", "Z", "RX", "RY", "RZ", "S0", "S1"};

// Both ways: t[offset] = name and t[name] = offset.
static void name_pair(lua_State* L, int table, int32_t offset, const char* name)
{
    lua_pushnumber(L, offset);
    lua_pushstring(L, name);
    lua_rawset(L, table);
    lua_pushstring(L, name);
    lua_pushnumber(L, offset);
    lua_rawset(L, table);
}

static void names_keys(lua_State* L, int table)
{
    for (const input_name& k : key_names)
        name_pair(L, table, k.offset, k.name);
}

// The extended joystick state: 8 axes and 4 hats, 128 buttons, then the velocity (V),
// acceleration (A) and force (F) sets of 8 axes each.
static void names_joy(lua_State* L, int table)
{
    char name[16];
    for (int i = 0; i < 12; i++)
        name_pair(L, table, 4 * i, joy_axis_names[i]);
    for (int i = 0; i < 128; i++) {
        snprintf(name, sizeof(name), "B%d", i);
        name_pair(L, table, 48 + i, name);
    }
    static const char sets[3] = {'V', 'A', 'F'};
    for (int s = 0; s < 3; s++) {
        for (int i = 0; i < 8; i++) {
            snprintf(name, sizeof(name), "%c%s", sets[s], joy_set_names[i]);
            name_pair(L, table, 176 + 32 * s + 4 * i, name);
        }
    }
}

static void names_mouse(lua_State* L, int table)
{
    char name[8];
    name_pair(L, table, 0, "X");
    name_pair(L, table, 4, "Y");
    name_pair(L, table, 8, "Z");
    for (int i = 0; i < 8; i++) {
        snprintf(name, sizeof(name), "B%d", i);
        name_pair(L, table, 12 + i, name);
    }
}

static void names_table(lua_State* L, int input, const char* field, void (*fill)(lua_State*, int))
{
    lua_pushstring(L, field);
    lua_newtable(L);
    fill(L, lua_gettop(L));
    lua_rawset(L, input);
}

// ---- registration ----

void input_lua_setup(lua_State* L)
{
    input_state_setup(&INPUT);

    lua_pushstring(L, "input");
    lua_newtable(L);
    int input = lua_gettop(L);
    names_table(L, input, "key_names", names_keys);
    names_table(L, input, "joy_names", names_joy);
    names_table(L, input, "mouse_names", names_mouse);
    for (int k = 0; k < INPUT_TABLES; k++) {
        lua_newtable(L);
        lua_rawseti(L, input, k);
    }
    lua_rawset(L, LUA_GLOBALSINDEX);

    lua_pushstring(L, "KEYS");
    lua_newtable(L);
    keys_setup(L, lua_gettop(L));
    lua_rawset(L, LUA_GLOBALSINDEX);

    lua_lib_run_script(L, "input"); // its errors go to _ALERT and are not fatal
}

// ---- dispatch ----

// Pushes t[key] for the table at index t, or nil when t is not a table.
static void raw_field(lua_State* L, int t, int32_t key)
{
    if (lua_istable(L, t))
        lua_rawgeti(L, t, key);
    else
        lua_pushnil(L);
}

// Pushes input[table_key][offset] (nil through anything that is not a table).
static void handler_lookup(lua_State* L, int input, int32_t table_key, int32_t offset)
{
    lua_rawgeti(L, input, table_key);
    raw_field(L, lua_gettop(L), offset);
    lua_remove(L, -2);
}

// Handlers run unprotected: an error ends this frame's dispatch (the caller's protected
// call reports it); the next frame starts afresh.
int input_lua_dispatch(lua_State* L)
{
    const input_event_list* list = (const input_event_list*)lua_touserdata(L, 1);
    lua_pushstring(L, "input");
    lua_rawget(L, LUA_GLOBALSINDEX);
    int input = lua_gettop(L);
    if (!list || !lua_istable(L, input))
        return 0;
    for (int32_t i = 0; i < list->count; i++) {
        const input_event* e = &list->events[i];
        handler_lookup(L, input, e->device_key, e->offset);
        if (lua_isnil(L, -1)) {
            lua_pop(L, 1);
            handler_lookup(L, input, e->kind_key, e->offset);
        }
        if (lua_isfunction(L, -1)) {
            lua_pushnumber(L, e->data);
            lua_call(L, 1, 0);
        } else {
            lua_pop(L, 1);
        }
    }
    return 0;
}

bool input_dispatch(void)
{
    if (!CON.L)
        return false;
    return safelua_cpcall(CON.L, input_lua_dispatch, &input_events);
}
