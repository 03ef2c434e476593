// Buffered input devices on SDL2: sources (mouse, keyboard, joysticks, test devices), the
// created device objects with their item rings, and the SDL event translation.
//
// Sections: sources, translation tables, feeding, the interface, the device, test hooks.

#include "platform/dinput8.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>

// ---- sources ----

// A source is one physical (or test) device. Mouse and keyboard always exist, as slots 0
// and 1; joysticks are opened while an interface lives; test devices stay until reset.
enum { SOURCE_MAX = 32, SOURCE_MOUSE = 0, SOURCE_KEYBOARD = 1 };

struct di8_source {
    BOOL active;
    BOOL test;
    DWORD dev_type;
    char name[260];
    SDL_Joystick* joystick;
    SDL_JoystickID joystick_id;
};

static di8_source sources[SOURCE_MAX] = {
    {TRUE, FALSE, DI8DEVTYPE_MOUSE, "Mouse", nullptr, -1},
    {TRUE, FALSE, DI8DEVTYPE_KEYBOARD, "Keyboard", nullptr, -1},
};
static ULONG interface_count;
static BOOL joysticks_started;
static BOOL foreground = TRUE;
static IDirectInputDevice8A* live_devices;
static DWORD sequence;
static int fail_next[PLAT_DI8_CALLS];

const DIDATAFORMAT c_dfDIMouse2 = {sizeof(DIDATAFORMAT), 16, 2, 20, 11, nullptr};
const DIDATAFORMAT c_dfDIKeyboard = {sizeof(DIDATAFORMAT), 16, 2, 256, 256, nullptr};
const DIDATAFORMAT c_dfDIJoystick2 = {sizeof(DIDATAFORMAT), 16, 1, 272, 164, nullptr};

// Only compared by content; the value identifies this emulation's interface.
const GUID IID_IDirectInput8A = {0x44494E38, 0x0800, 0x0001, {'d', 'i', 'n', 'p', 'u', 't', '8', 'a'}};

enum { GUID_MARK = 0x4938, TEST_JOYSTICK_ID = 0x10000 };

static bool injected_failure(plat_di8_call call)
{
    if (fail_next[call] <= 0)
        return false;
    fail_next[call]--;
    return true;
}

static int32_t source_alloc(void)
{
    for (int32_t i = SOURCE_KEYBOARD + 1; i < SOURCE_MAX; i++)
        if (!sources[i].active)
            return i;
    return -1;
}

static void joysticks_open(void)
{
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0)
        return;
    joysticks_started = TRUE;
    int n = SDL_NumJoysticks();
    for (int i = 0; i < n; i++) {
        int32_t s = source_alloc();
        if (s < 0)
            break;
        SDL_Joystick* j = SDL_JoystickOpen(i);
        if (!j)
            continue;
        const char* name = SDL_JoystickName(j);
        di8_source* src = &sources[s];
        memset(src, 0, sizeof(*src));
        src->active = TRUE;
        src->dev_type = DI8DEVTYPE_JOYSTICK;
        strncpy(src->name, name ? name : "Joystick", sizeof(src->name) - 1);
        src->joystick = j;
        src->joystick_id = SDL_JoystickInstanceID(j);
    }
}

static void joysticks_close(void)
{
    for (int32_t i = 0; i < SOURCE_MAX; i++) {
        if (sources[i].active && sources[i].joystick) {
            SDL_JoystickClose(sources[i].joystick);
            memset(&sources[i], 0, sizeof(sources[i]));
        }
    }
    if (joysticks_started)
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    joysticks_started = FALSE;
}

static int32_t joystick_source(SDL_JoystickID id)
{
    for (int32_t i = 0; i < SOURCE_MAX; i++)
        if (sources[i].active && sources[i].joystick_id >= 0 && sources[i].joystick_id == id)
            return i;
    return -1;
}

// ---- translation tables ----

struct scancode_dik {
    SDL_Scancode scancode;
    uint8_t dik;
};

// Every key that has both an SDL scancode and a DirectInput scan code. E0-prefixed keys
// carry 0x80 in their scan code.
static const scancode_dik dik_table[] = {
    {SDL_SCANCODE_ESCAPE, 0x01}, {SDL_SCANCODE_1, 0x02}, {SDL_SCANCODE_2, 0x03},
    {SDL_SCANCODE_3, 0x04}, {SDL_SCANCODE_4, 0x05}, {SDL_SCANCODE_5, 0x06},
    {SDL_SCANCODE_6, 0x07}, {SDL_SCANCODE_7, 0x08}, {SDL_SCANCODE_8, 0x09},
    {SDL_SCANCODE_9, 0x0A}, {SDL_SCANCODE_0, 0x0B}, {SDL_SCANCODE_MINUS, 0x0C},
    {SDL_SCANCODE_EQUALS, 0x0D}, {SDL_SCANCODE_BACKSPACE, 0x0E}, {SDL_SCANCODE_TAB, 0x0F},
    {SDL_SCANCODE_Q, 0x10}, {SDL_SCANCODE_W, 0x11}, {SDL_SCANCODE_E, 0x12},
    {SDL_SCANCODE_R, 0x13}, {SDL_SCANCODE_T, 0x14}, {SDL_SCANCODE_Y, 0x15},
    {SDL_SCANCODE_U, 0x16}, {SDL_SCANCODE_I, 0x17}, {SDL_SCANCODE_O, 0x18},
    {SDL_SCANCODE_P, 0x19}, {SDL_SCANCODE_LEFTBRACKET, 0x1A}, {SDL_SCANCODE_RIGHTBRACKET, 0x1B},
    {SDL_SCANCODE_RETURN, 0x1C}, {SDL_SCANCODE_LCTRL, 0x1D}, {SDL_SCANCODE_A, 0x1E},
    {SDL_SCANCODE_S, 0x1F}, {SDL_SCANCODE_D, 0x20}, {SDL_SCANCODE_F, 0x21},
    {SDL_SCANCODE_G, 0x22}, {SDL_SCANCODE_H, 0x23}, {SDL_SCANCODE_J, 0x24},
    {SDL_SCANCODE_K, 0x25}, {SDL_SCANCODE_L, 0x26}, {SDL_SCANCODE_SEMICOLON, 0x27},
    {SDL_SCANCODE_APOSTROPHE, 0x28}, {SDL_SCANCODE_GRAVE, 0x29}, {SDL_SCANCODE_LSHIFT, 0x2A},
    {SDL_SCANCODE_BACKSLASH, 0x2B}, {SDL_SCANCODE_NONUSHASH, 0x2B}, {SDL_SCANCODE_Z, 0x2C},
    {SDL_SCANCODE_X, 0x2D}, {SDL_SCANCODE_C, 0x2E}, {SDL_SCANCODE_V, 0x2F},
    {SDL_SCANCODE_B, 0x30}, {SDL_SCANCODE_N, 0x31}, {SDL_SCANCODE_M, 0x32},
    {SDL_SCANCODE_COMMA, 0x33}, {SDL_SCANCODE_PERIOD, 0x34}, {SDL_SCANCODE_SLASH, 0x35},
    {SDL_SCANCODE_RSHIFT, 0x36}, {SDL_SCANCODE_KP_MULTIPLY, 0x37}, {SDL_SCANCODE_LALT, 0x38},
    {SDL_SCANCODE_SPACE, 0x39}, {SDL_SCANCODE_CAPSLOCK, 0x3A}, {SDL_SCANCODE_F1, 0x3B},
    {SDL_SCANCODE_F2, 0x3C}, {SDL_SCANCODE_F3, 0x3D}, {SDL_SCANCODE_F4, 0x3E},
    {SDL_SCANCODE_F5, 0x3F}, {SDL_SCANCODE_F6, 0x40}, {SDL_SCANCODE_F7, 0x41},
    {SDL_SCANCODE_F8, 0x42}, {SDL_SCANCODE_F9, 0x43}, {SDL_SCANCODE_F10, 0x44},
    {SDL_SCANCODE_NUMLOCKCLEAR, 0x45}, {SDL_SCANCODE_SCROLLLOCK, 0x46}, {SDL_SCANCODE_KP_7, 0x47},
    {SDL_SCANCODE_KP_8, 0x48}, {SDL_SCANCODE_KP_9, 0x49}, {SDL_SCANCODE_KP_MINUS, 0x4A},
    {SDL_SCANCODE_KP_4, 0x4B}, {SDL_SCANCODE_KP_5, 0x4C}, {SDL_SCANCODE_KP_6, 0x4D},
    {SDL_SCANCODE_KP_PLUS, 0x4E}, {SDL_SCANCODE_KP_1, 0x4F}, {SDL_SCANCODE_KP_2, 0x50},
    {SDL_SCANCODE_KP_3, 0x51}, {SDL_SCANCODE_KP_0, 0x52}, {SDL_SCANCODE_KP_PERIOD, 0x53},
    {SDL_SCANCODE_NONUSBACKSLASH, 0x56}, {SDL_SCANCODE_F11, 0x57}, {SDL_SCANCODE_F12, 0x58},
    {SDL_SCANCODE_F13, 0x64}, {SDL_SCANCODE_F14, 0x65}, {SDL_SCANCODE_F15, 0x66},
    {SDL_SCANCODE_INTERNATIONAL2, 0x70}, {SDL_SCANCODE_INTERNATIONAL1, 0x73},
    {SDL_SCANCODE_INTERNATIONAL4, 0x79}, {SDL_SCANCODE_INTERNATIONAL5, 0x7B},
    {SDL_SCANCODE_INTERNATIONAL3, 0x7D}, {SDL_SCANCODE_KP_EQUALS, 0x8D},
    {SDL_SCANCODE_AUDIOPREV, 0x90}, {SDL_SCANCODE_STOP, 0x95}, {SDL_SCANCODE_AUDIONEXT, 0x99},
    {SDL_SCANCODE_KP_ENTER, 0x9C}, {SDL_SCANCODE_RCTRL, 0x9D}, {SDL_SCANCODE_MUTE, 0xA0},
    {SDL_SCANCODE_AUDIOMUTE, 0xA0}, {SDL_SCANCODE_CALCULATOR, 0xA1}, {SDL_SCANCODE_AUDIOPLAY, 0xA2},
    {SDL_SCANCODE_AUDIOSTOP, 0xA4}, {SDL_SCANCODE_VOLUMEDOWN, 0xAE}, {SDL_SCANCODE_VOLUMEUP, 0xB0},
    {SDL_SCANCODE_AC_HOME, 0xB2}, {SDL_SCANCODE_KP_COMMA, 0xB3}, {SDL_SCANCODE_KP_DIVIDE, 0xB5},
    {SDL_SCANCODE_PRINTSCREEN, 0xB7}, {SDL_SCANCODE_RALT, 0xB8}, {SDL_SCANCODE_PAUSE, 0xC5},
    {SDL_SCANCODE_HOME, 0xC7}, {SDL_SCANCODE_UP, 0xC8}, {SDL_SCANCODE_PAGEUP, 0xC9},
    {SDL_SCANCODE_LEFT, 0xCB}, {SDL_SCANCODE_RIGHT, 0xCD}, {SDL_SCANCODE_END, 0xCF},
    {SDL_SCANCODE_DOWN, 0xD0}, {SDL_SCANCODE_PAGEDOWN, 0xD1}, {SDL_SCANCODE_INSERT, 0xD2},
    {SDL_SCANCODE_DELETE, 0xD3}, {SDL_SCANCODE_LGUI, 0xDB}, {SDL_SCANCODE_RGUI, 0xDC},
    {SDL_SCANCODE_APPLICATION, 0xDD}, {SDL_SCANCODE_POWER, 0xDE}, {SDL_SCANCODE_SLEEP, 0xDF},
    {SDL_SCANCODE_AC_SEARCH, 0xE5}, {SDL_SCANCODE_AC_BOOKMARKS, 0xE6},
    {SDL_SCANCODE_AC_REFRESH, 0xE7}, {SDL_SCANCODE_AC_STOP, 0xE8}, {SDL_SCANCODE_AC_FORWARD, 0xE9},
    {SDL_SCANCODE_AC_BACK, 0xEA}, {SDL_SCANCODE_COMPUTER, 0xEB}, {SDL_SCANCODE_MAIL, 0xEC},
    {SDL_SCANCODE_MEDIASELECT, 0xED},
};

DWORD plat_di8_dik_from_scancode(int sdl_scancode)
{
    for (const scancode_dik& e : dik_table)
        if ((int)e.scancode == sdl_scancode)
            return e.dik;
    return 0;
}

// SDL numbers the middle button 2 and the right 3; the mouse state has right before middle.
DWORD plat_di8_mouse_button_offset(int sdl_button)
{
    switch (sdl_button) {
    case SDL_BUTTON_LEFT: return 12;
    case SDL_BUTTON_RIGHT: return 13;
    case SDL_BUTTON_MIDDLE: return 14;
    case SDL_BUTTON_X1: return 15;
    case SDL_BUTTON_X2: return 16;
    case 6: return 17;
    case 7: return 18;
    case 8: return 19;
    default: return 0;
    }
}

// No range is ever set on a joystick, so axes report the default 0 to 65535.
DWORD plat_di8_joy_axis_value(int16_t sdl_value) { return (DWORD)((int32_t)sdl_value + 32768); }

DWORD plat_di8_pov_from_hat(uint8_t sdl_hat)
{
    switch (sdl_hat) {
    case SDL_HAT_UP: return 0;
    case SDL_HAT_RIGHTUP: return 4500;
    case SDL_HAT_RIGHT: return 9000;
    case SDL_HAT_RIGHTDOWN: return 13500;
    case SDL_HAT_DOWN: return 18000;
    case SDL_HAT_LEFTDOWN: return 22500;
    case SDL_HAT_LEFT: return 27000;
    case SDL_HAT_LEFTUP: return 31500;
    default: return 0xFFFFFFFFu;
    }
}

// ---- feeding ----

static void device_flush(IDirectInputDevice8A* d)
{
    d->head = 0;
    d->count = 0;
    d->overflow = FALSE;
}

// A full buffer keeps its oldest items and drops the new one, flagging the overflow.
static void device_queue(IDirectInputDevice8A* d, DWORD offset, DWORD data, DWORD time)
{
    if (!d->acquired || d->capacity == 0)
        return;
    if (d->count == d->capacity) {
        d->overflow = TRUE;
        return;
    }
    DIDEVICEOBJECTDATA* item = &d->ring[(d->head + d->count) % d->capacity];
    item->dwOfs = offset;
    item->dwData = data;
    item->dwTimeStamp = time;
    item->dwSequence = ++sequence;
    item->uAppData = 0;
    d->count++;
}

static void source_queue(int32_t source, DWORD offset, DWORD data, DWORD time)
{
    if (source < 0)
        return;
    for (IDirectInputDevice8A* d = live_devices; d; d = d->next_live)
        if (d->source == source)
            device_queue(d, offset, data, time);
}

static const DWORD joy_axis_offsets[8] = {0, 4, 8, 12, 16, 20, 24, 28};

void plat_di8_feed(const SDL_Event* ev)
{
    DWORD t = ev->common.timestamp;
    switch (ev->type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        if (ev->key.repeat)
            return;
        DWORD dik = plat_di8_dik_from_scancode(ev->key.keysym.scancode);
        if (dik)
            source_queue(SOURCE_KEYBOARD, dik, ev->type == SDL_KEYDOWN ? 0x80 : 0, t);
        return;
    }
    case SDL_MOUSEMOTION:
        if (ev->motion.xrel)
            source_queue(SOURCE_MOUSE, 0, (DWORD)ev->motion.xrel, t);
        if (ev->motion.yrel)
            source_queue(SOURCE_MOUSE, 4, (DWORD)ev->motion.yrel, t);
        return;
    case SDL_MOUSEWHEEL: {
        int32_t y = ev->wheel.y;
        if (ev->wheel.direction == SDL_MOUSEWHEEL_FLIPPED)
            y = -y;
        if (y)
            source_queue(SOURCE_MOUSE, 8, (DWORD)(y * 120), t);
        return;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        DWORD ofs = plat_di8_mouse_button_offset(ev->button.button);
        if (ofs)
            source_queue(SOURCE_MOUSE, ofs, ev->type == SDL_MOUSEBUTTONDOWN ? 0x80 : 0, t);
        return;
    }
    case SDL_JOYAXISMOTION:
        if (ev->jaxis.axis < 8)
            source_queue(joystick_source(ev->jaxis.which), joy_axis_offsets[ev->jaxis.axis],
                         plat_di8_joy_axis_value(ev->jaxis.value), t);
        return;
    case SDL_JOYHATMOTION:
        if (ev->jhat.hat < 4)
            source_queue(joystick_source(ev->jhat.which), 32 + 4 * (DWORD)ev->jhat.hat,
                         plat_di8_pov_from_hat(ev->jhat.value), t);
        return;
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP:
        if (ev->jbutton.button < 128)
            source_queue(joystick_source(ev->jbutton.which), 48 + (DWORD)ev->jbutton.button,
                         ev->type == SDL_JOYBUTTONDOWN ? 0x80 : 0, t);
        return;
    default:
        return;
    }
}

void plat_di8_set_foreground(BOOL fg)
{
    foreground = fg ? TRUE : FALSE;
    if (foreground)
        return;
    for (IDirectInputDevice8A* d = live_devices; d; d = d->next_live) {
        if (d->acquired && (d->coop & DISCL_FOREGROUND)) {
            d->acquired = FALSE;
            device_flush(d);
        }
    }
}

BOOL plat_di8_foreground(void) { return foreground; }

// ---- the interface ----

static bool guid_equal(const GUID& a, const GUID& b) { return memcmp(&a, &b, sizeof(GUID)) == 0; }

static GUID source_guid(int32_t source)
{
    GUID g;
    memset(&g, 0, sizeof(g));
    g.Data1 = (DWORD)source + 1;
    g.Data2 = GUID_MARK;
    return g;
}

HRESULT DirectInput8Create(HINSTANCE instance, DWORD version, REFIID iid, void** out, void* outer)
{
    if (!out)
        return DIERR_INVALIDPARAM;
    *out = nullptr;
    if (version != DIRECTINPUT_VERSION || !guid_equal(iid, IID_IDirectInput8A) || outer)
        return DIERR_INVALIDPARAM;
    if (injected_failure(PLAT_DI8_CREATE))
        return E_FAIL;
    IDirectInput8A* di = (IDirectInput8A*)calloc(1, sizeof(IDirectInput8A));
    if (!di)
        return DIERR_OUTOFMEMORY;
    di->refs = 1;
    if (interface_count++ == 0)
        joysticks_open();
    *out = di;
    return DI_OK;
}

HRESULT IDirectInput8A::EnumDevices(DWORD dev_class, LPDIENUMDEVICESCALLBACKA callback, void* context, DWORD flags)
{
    if (!callback)
        return DIERR_INVALIDPARAM;
    if (injected_failure(PLAT_DI8_ENUM))
        return E_FAIL;
    for (int32_t i = 0; i < SOURCE_MAX; i++) {
        if (!sources[i].active)
            continue;
        DIDEVICEINSTANCEA inst;
        memset(&inst, 0, sizeof(inst));
        inst.dwSize = sizeof(inst);
        inst.guidInstance = source_guid(i);
        inst.guidProduct = inst.guidInstance;
        inst.dwDevType = sources[i].dev_type;
        memcpy(inst.tszInstanceName, sources[i].name, sizeof(inst.tszInstanceName));
        memcpy(inst.tszProductName, sources[i].name, sizeof(inst.tszProductName));
        if (callback(&inst, context) == DIENUM_STOP)
            break;
    }
    return DI_OK;
}

HRESULT IDirectInput8A::CreateDevice(REFGUID instance, IDirectInputDevice8A** device, void* outer)
{
    if (!device)
        return DIERR_INVALIDPARAM;
    *device = nullptr;
    if (injected_failure(PLAT_DI8_CREATE_DEVICE))
        return E_FAIL;
    int32_t s = (int32_t)instance.Data1 - 1;
    GUID expect = source_guid(s);
    if (s < 0 || s >= SOURCE_MAX || !sources[s].active || !guid_equal(instance, expect))
        return DIERR_DEVICENOTREG;
    IDirectInputDevice8A* d = (IDirectInputDevice8A*)calloc(1, sizeof(IDirectInputDevice8A));
    if (!d)
        return DIERR_OUTOFMEMORY;
    d->source = s;
    d->refs = 1;
    d->next_live = live_devices;
    live_devices = d;
    *device = d;
    return DI_OK;
}

ULONG IDirectInput8A::Release()
{
    ULONG left = --refs;
    if (left)
        return left;
    free(this);
    if (--interface_count == 0)
        joysticks_close();
    return 0;
}

// ---- the device ----

HRESULT IDirectInputDevice8A::SetCooperativeLevel(HWND window, DWORD flags)
{
    bool excl = flags & DISCL_EXCLUSIVE, nonexcl = flags & DISCL_NONEXCLUSIVE;
    bool fg = flags & DISCL_FOREGROUND, bg = flags & DISCL_BACKGROUND;
    if (excl == nonexcl || fg == bg || !window)
        return DIERR_INVALIDPARAM;
    if (injected_failure(PLAT_DI8_COOP))
        return E_FAIL;
    coop = flags;
    return DI_OK;
}

HRESULT IDirectInputDevice8A::SetDataFormat(const DIDATAFORMAT* f)
{
    if (f != &c_dfDIMouse2 && f != &c_dfDIKeyboard && f != &c_dfDIJoystick2)
        return DIERR_INVALIDPARAM;
    if (acquired)
        return DIERR_ACQUIRED;
    if (injected_failure(PLAT_DI8_FORMAT))
        return E_FAIL;
    format = f;
    return DI_OK;
}

HRESULT IDirectInputDevice8A::SetProperty(const GUID* property, const DIPROPHEADER* header)
{
    if (property != DIPROP_BUFFERSIZE || !header || header->dwSize != sizeof(DIPROPDWORD) ||
        header->dwHeaderSize != sizeof(DIPROPHEADER) || header->dwHow != DIPH_DEVICE || header->dwObj != 0)
        return DIERR_INVALIDPARAM;
    if (acquired)
        return DIERR_ACQUIRED;
    if (injected_failure(PLAT_DI8_PROPERTY))
        return E_FAIL;
    DWORD size = ((const DIPROPDWORD*)header)->dwData;
    DIDEVICEOBJECTDATA* r = nullptr;
    if (size) {
        r = (DIDEVICEOBJECTDATA*)calloc(size, sizeof(DIDEVICEOBJECTDATA));
        if (!r)
            return DIERR_OUTOFMEMORY;
    }
    free(ring);
    ring = r;
    capacity = size;
    device_flush(this);
    return DI_OK;
}

HRESULT IDirectInputDevice8A::Acquire()
{
    if (!format)
        return DIERR_INVALIDPARAM;
    if ((coop & DISCL_FOREGROUND) && !foreground)
        return DIERR_OTHERAPPHASPRIO;
    if (acquired)
        return S_FALSE;
    if (injected_failure(PLAT_DI8_ACQUIRE))
        return E_FAIL;
    acquired = TRUE;
    device_flush(this);
    return DI_OK;
}

HRESULT IDirectInputDevice8A::Unacquire()
{
    if (!acquired)
        return DI_NOEFFECT;
    acquired = FALSE;
    device_flush(this);
    return DI_OK;
}

HRESULT IDirectInputDevice8A::GetDeviceData(DWORD item_size, DIDEVICEOBJECTDATA* items, DWORD* n, DWORD flags)
{
    if (item_size != sizeof(DIDEVICEOBJECTDATA) || !n || !items)
        return DIERR_INVALIDPARAM;
    if (!acquired)
        return DIERR_NOTACQUIRED;
    if (capacity == 0)
        return DIERR_NOTBUFFERED;
    if (injected_failure(PLAT_DI8_GET_DATA))
        return E_FAIL;
    DWORD want = *n, got = 0;
    while (got < want && count > 0) {
        items[got++] = ring[head];
        head = (head + 1) % capacity;
        count--;
    }
    *n = got;
    HRESULT hr = overflow ? DI_BUFFEROVERFLOW : DI_OK;
    overflow = FALSE;
    return hr;
}

ULONG IDirectInputDevice8A::Release()
{
    ULONG left = --refs;
    if (left)
        return left;
    for (IDirectInputDevice8A** p = &live_devices; *p; p = &(*p)->next_live) {
        if (*p == this) {
            *p = next_live;
            break;
        }
    }
    free(ring);
    free(this);
    return 0;
}

// ---- test hooks ----

int32_t plat_di8_add_test_device(DWORD dev_type, const char* name)
{
    int32_t s = source_alloc();
    if (s < 0)
        return -1;
    di8_source* src = &sources[s];
    memset(src, 0, sizeof(*src));
    src->active = TRUE;
    src->test = TRUE;
    src->dev_type = dev_type;
    src->joystick_id = -1;
    BYTE type = GET_DIDEVICE_TYPE(dev_type);
    if (type != DI8DEVTYPE_MOUSE && type != DI8DEVTYPE_SCREENPOINTER && type != DI8DEVTYPE_KEYBOARD &&
        type != DI8DEVTYPE_DEVICE && type != DI8DEVTYPE_DEVICECTRL)
        src->joystick_id = TEST_JOYSTICK_ID + s;
    strncpy(src->name, name ? name : "", sizeof(src->name) - 1);
    return s;
}

void plat_di8_push_item(int32_t source, DWORD offset, DWORD data)
{
    source_queue(source, offset, data, SDL_GetTicks());
}

int32_t plat_di8_test_joystick_id(int32_t source) { return TEST_JOYSTICK_ID + source; }

int32_t plat_di8_mouse_source(void) { return SOURCE_MOUSE; }
int32_t plat_di8_keyboard_source(void) { return SOURCE_KEYBOARD; }

void plat_di8_fail_next(plat_di8_call call, int times) { fail_next[call] = times; }

void plat_di8_reset_for_tests(void)
{
    for (int32_t i = SOURCE_KEYBOARD + 1; i < SOURCE_MAX; i++)
        if (sources[i].test)
            memset(&sources[i], 0, sizeof(sources[i]));
    memset(fail_next, 0, sizeof(fail_next));
    foreground = TRUE;
}
