// DirectInput devices DI_INPUT: polled once a frame, their events handed to Lua.
#pragma once

struct di_input_subsystem {
};

extern di_input_subsystem DI_INPUT;

void di_input_update(di_input_subsystem* di);
