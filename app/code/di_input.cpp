// Input devices: enumeration at setup, one pooled handler per device, and the per-frame
// poll that turns buffered device items into the frame's event list.

#include "app/code/di_input.h"

#include <cstring>

#include "app/code/app.h"
#include "app/code/input.h"
#include "engine/code/dbg.h"

di_input_subsystem DI_INPUT;
input_event_list input_events;

static di_device* device_of(list_node* n) { return (di_device*)n; }

bool di_input_setup(di_input_subsystem* s, HWND window)
{
    s->window = window;
    s->keyboards = 0;
    s->joysticks = 0;
    s->mice = 0;
    pool_setup(&s->devices, sizeof(di_device), 8);
    void* di = nullptr;
    if (FAILED(DirectInput8Create(APP.module, DIRECTINPUT_VERSION, IID_IDirectInput8A, &di, nullptr))) {
        dbg_error("DirectInput8Create failed,\n");
        di_input_clean(s);
        return false;
    }
    s->di = (IDirectInput8A*)di;
    if (FAILED(s->di->EnumDevices(DI8DEVCLASS_ALL, di_input_enum_device, s, DIEDFL_ATTACHEDONLY))) {
        dbg_error("Failed to enumerate input devices.\n");
        di_input_clean(s);
        return false;
    }
    return true;
}

// A device that cannot be handled is skipped; the enumeration always goes on.
BOOL di_input_enum_device(LPCDIDEVICEINSTANCEA instance, void* subsystem)
{
    dbg_print("Allocating input device %s : %s\n", instance->tszInstanceName, instance->tszProductName);
    di_input_device_alloc((di_input_subsystem*)subsystem, instance);
    return DIENUM_CONTINUE;
}

di_device* di_input_device_alloc(di_input_subsystem* s, LPCDIDEVICEINSTANCEA instance)
{
    di_device* d = (di_device*)pool_alloc(&s->devices);
    if (!d) {
        dbg_error("Failed to allocate input device handler,\n");
        return nullptr;
    }
    list_append(&s->devices.live, &d->links);
    if (!di_device_setup(d, s, instance)) {
        dbg_error("Failed to setup input device handler,\n");
        list_unlink(&d->links);
        pool_free(&s->devices, d);
        return nullptr;
    }
    return d;
}

void di_input_device_free(di_input_subsystem* s, di_device* d)
{
    if (!d)
        return;
    list_unlink(&d->links);
    di_device_clean(d);
    pool_free(&s->devices, d);
}

// Safe twice and after a failed setup: a never set-up pool has null sentinels.
void di_input_clean(di_input_subsystem* s)
{
    if (s->devices.live.tail.previous) {
        list_node* n = list_last(&s->devices.live);
        while (n->previous) {
            list_node* prev = n->previous;
            di_input_device_free(s, device_of(n));
            n = prev;
        }
    }
    pool_clean(&s->devices);
    if (s->di) {
        s->di->Release();
        s->di = nullptr;
    }
}

bool di_input_reset(di_input_subsystem* s)
{
    HWND window = s->window;
    di_input_clean(s);
    return di_input_setup(s, window);
}

void di_input_update(di_input_subsystem* s)
{
    input_events.count = 0;
    if (s->devices.live.head.next) {
        for (list_node* n = list_first(&s->devices.live); n->next; n = n->next)
            di_device_poll(device_of(n));
    }
    input_dispatch();
}

static bool device_fail(di_device* d, const char* message)
{
    dbg_error("%s", message);
    di_device_clean(d);
    return false;
}

bool di_device_setup(di_device* d, di_input_subsystem* owner, LPCDIDEVICEINSTANCEA instance)
{
    if (owner)
        d->owner = owner;
    if (instance)
        memcpy(&d->instance, instance, sizeof(d->instance));
    di_input_subsystem* s = d->owner;
    if (FAILED(s->di->CreateDevice(d->instance.guidInstance, &d->device, nullptr)))
        return device_fail(d, "Failed to create input device.\n");
    if (FAILED(d->device->SetCooperativeLevel(s->window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND)))
        return device_fail(d, "Failed to set coop level of input device.\n");

    const DIDATAFORMAT* format;
    switch (GET_DIDEVICE_TYPE(d->instance.dwDevType)) {
    case DI8DEVTYPE_DEVICE:
    case DI8DEVTYPE_DEVICECTRL:
        d->kind = DI_KIND_NONE;
        d->number = 0;
        return true;
    case DI8DEVTYPE_MOUSE:
    case DI8DEVTYPE_SCREENPOINTER:
        d->kind = DI_KIND_MOUSE;
        d->number = ++s->mice;
        format = &c_dfDIMouse2;
        break;
    case DI8DEVTYPE_KEYBOARD:
        d->kind = DI_KIND_KEYBOARD;
        d->number = ++s->keyboards;
        format = &c_dfDIKeyboard;
        break;
    default:
        d->kind = DI_KIND_JOYSTICK;
        d->number = ++s->joysticks;
        format = &c_dfDIJoystick2;
        break;
    }
    if (FAILED(d->device->SetDataFormat(format)))
        return device_fail(d, "Failed to set data format of input device.\n");

    DIPROPDWORD prop;
    prop.diph.dwSize = sizeof(DIPROPDWORD);
    prop.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    prop.diph.dwObj = 0;
    prop.diph.dwHow = DIPH_DEVICE;
    prop.dwData = 4096;
    if (FAILED(d->device->SetProperty(DIPROP_BUFFERSIZE, &prop.diph)))
        return device_fail(d, "Failed to set buffer of input device.\n");
    return true;
}

void di_device_clean(di_device* d)
{
    if (d->device) {
        d->device->Unacquire();
        d->device->Release();
        d->device = nullptr;
    }
}

bool di_device_reset(di_device* d)
{
    di_device_clean(d);
    return di_device_setup(d, nullptr, nullptr);
}

static const int32_t kind_base[4] = {0, INPUT_KIND_JOYSTICK, INPUT_KIND_MOUSE, INPUT_KIND_KEYBOARD};

// The device is read only when it was already acquired. Reading stops once the frame's
// list is full: what is left stays in the device's buffer for the next frame, so a
// release is never lost to a busy frame.
void di_device_poll(di_device* d)
{
    if (!d->device || d->kind == DI_KIND_NONE)
        return;
    d->device->Acquire();
    if (d->device->Acquire() != S_FALSE)
        return;
    int32_t base = kind_base[d->kind];
    while (input_events.count < INPUT_EVENTS_MAX) {
        DIDEVICEOBJECTDATA od;
        DWORD n = 1;
        if (FAILED(d->device->GetDeviceData(sizeof(od), &od, &n, 0)) || n == 0)
            return;
        input_event* e = &input_events.events[input_events.count++];
        e->device_key = d->number + base;
        e->kind_key = base;
        e->offset = (int32_t)od.dwOfs;
        e->data = (int32_t)od.dwData;
    }
}
