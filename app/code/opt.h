// Options: the fixed table of named settings the scripts set through the Lua table "opt";
// native code reads the values in OPT directly.
#pragma once

#include <cstdint>

struct opts {
    char lang[32];
    char lang_alt[32];
    int32_t start_state;
    int32_t next_state;
    char next_level[256];
    int32_t next_number;
    uint8_t show_debug;
    int32_t window_startup;
    int32_t window_width;
    int32_t window_height;
    uint8_t sfx_enabled;
    float sfx_background_volume;
    float sfx_foreground_volume;
    int32_t sfx_voices;
    char sfx_device_name[256];
};

extern opts OPT;
