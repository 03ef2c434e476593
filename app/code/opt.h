// Options: the fixed table of named settings that scripts set through the Lua table `opt`
// (one native closure per option) and native code reads from the block OPT. Every value
// starts at zero; the current values are written back to local/lua/opts.lua at every exit.
#pragma once

#include <stdint.h>

#include "engine/code/lua_compat.h"

struct opts {
    char lang[32];
    char lang_alt[32];
    int32_t start_state;      // choice
    int32_t next_state;       // choice; setting it requests that main state
    char next_level[256];     // level folder of the amaze and structor states
    int32_t next_number;      // level number
    bool show_debug;          // console shown, keys to the console
    int32_t window_startup;   // choice: 1 fullscreen, 2 maximised, 3 normal, 0 default show
    int32_t window_width;
    int32_t window_height;
    bool sfx_enabled;
    float sfx_background_volume;
    float sfx_foreground_volume;
    int32_t sfx_voices;
    char sfx_device_name[256];
};

extern opts OPT;

enum opt_type {
    OPT_COMMAND = 0,
    OPT_INT = 1,
    OPT_FLOAT = 2,
    OPT_BOOL = 3,
    OPT_CHOICE = 4,
    OPT_STRING = 5,
};

// Choice values, one list shared by every choice option.
enum opt_choice {
    OPT_CHOICE_NONE = 0,
    OPT_FULLSCREEN = 1,
    OPT_MAXIMISED = 2,
    OPT_NORMAL = 3,
    OPT_MAIN_STATE_MENU = 4,
    OPT_MAIN_STATE_STRUCTOR = 5,
    OPT_MAIN_STATE_BUD_TEST = 6,
    OPT_MAIN_STATE_AMAZE = 7,
};

struct opt_record;
typedef void (*opt_changed)(const opt_record* rec);

// One option. When base is set, the variable lies at the offset held in `variable` from
// the address stored at *base, and does not exist while that address is NULL. Of the texts
// only max_text of a string option is read: the capacity of its field.
struct opt_record {
    const char* name;
    int32_t type;             // opt_type
    void** base;
    void* variable;           // the field in OPT; NULL for commands
    const char* default_text;
    const char* min_text;
    const char* max_text;
    const char* help;
    opt_changed callback;     // run after every call, whether or not a value was set
};

// The 17 options in order, ended by an all-zero record.
extern const opt_record opt_def[18];

// Registration body: the global `opt` with one closure per option.
void opt_lua_setup(lua_State* L);
// The closure behind opt.<name>(...): sets from the last argument, runs the callback,
// logs and returns the value.
int opt_lua_call(lua_State* L);
// The value of a choice name (case of A-Z ignored), 0 when unknown.
int32_t opt_enum_find(const char* name);
// The name of a choice value, NULL for 0 and unknown values.
const char* opt_enum_name(int32_t value);
// Writes local/lua/opts.lua (silently nothing when it cannot be opened); rec is ignored.
void opt_save(const opt_record* rec);
// next_state's callback: requests the main state it names.
void opt_next_state_changed(const opt_record* rec);
// con_reload's callback: registers soul and xlate anew and reruns their scripts.
void opt_con_reload(const opt_record* rec);
