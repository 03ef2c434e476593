// Input devices: one handler per attached DirectInput device. Once a frame each device's
// buffered items are drained into the frame's event list, which goes to the Lua dispatch.
#pragma once

#include <cstdint>

#include "engine/code/pool.h"
#include "platform/dinput8.h"

// Kind bases; a device key is the device number plus its kind base.
enum { INPUT_KIND_JOYSTICK = 0, INPUT_KIND_MOUSE = 8, INPUT_KIND_KEYBOARD = 16 };

struct input_event {
    int32_t device_key;
    int32_t kind_key;
    int32_t offset;
    int32_t data;
};

enum { INPUT_EVENTS_MAX = 256 };

struct input_event_list {
    input_event events[INPUT_EVENTS_MAX];
    int32_t count;
};

extern input_event_list input_events;

enum di_device_kind { DI_KIND_NONE = 0, DI_KIND_JOYSTICK = 1, DI_KIND_MOUSE = 2, DI_KIND_KEYBOARD = 3 };

struct di_input_subsystem;

struct di_device {
    list_node links;
    di_input_subsystem* owner;
    DIDEVICEINSTANCEA instance;
    IDirectInputDevice8A* device;
    int32_t kind;
    int32_t number; // from 1 within its kind; 0 for kind none
};

struct di_input_subsystem {
    HWND window;
    IDirectInput8A* di;
    int32_t keyboards;
    int32_t joysticks;
    int32_t mice;
    pool devices; // live list in enumeration order
};

extern di_input_subsystem DI_INPUT;

bool di_input_setup(di_input_subsystem* s, HWND window);
BOOL di_input_enum_device(LPCDIDEVICEINSTANCEA instance, void* subsystem);
di_device* di_input_device_alloc(di_input_subsystem* s, LPCDIDEVICEINSTANCEA instance);
void di_input_device_free(di_input_subsystem* s, di_device* d);
void di_input_clean(di_input_subsystem* s);
bool di_input_reset(di_input_subsystem* s);
// Empties the event list, polls every device in list order, then runs the Lua dispatch.
void di_input_update(di_input_subsystem* s);

// owner / instance may be null: the stored ones are used again.
bool di_device_setup(di_device* d, di_input_subsystem* owner, LPCDIDEVICEINSTANCEA instance);
void di_device_clean(di_device* d);
bool di_device_reset(di_device* d);
void di_device_poll(di_device* d);
