// The options: named settings the scripts set through the Lua table opt, read by native code
// from the one block OPT.
#pragma once

#include <cstdint>

struct opts {
    char lang[32];
    char lang_alt[32];
    int32_t start_state; // choice value of the state entered on the first frame
    int32_t next_state;
    char next_level[256];
    int32_t next_number;
    bool show_debug;
    int32_t window_startup;
    int32_t window_width;
    int32_t window_height;
    bool sfx_enabled;
    float sfx_background_volume;
    float sfx_foreground_volume;
    int32_t sfx_voices;
    char sfx_device_name[256];
};

extern opts OPT;
