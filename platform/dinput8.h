// Buffered input devices shaped like DirectInput 8, built on SDL2: one mouse, one keyboard
// and every joystick SDL sees. A device buffers items only while acquired; the items come
// from SDL events handed over during the message pump, so a frame reads what arrived by the
// end of the previous one. Only the calls, records and constants the program uses exist.
#pragma once

#include "platform/win_types.h"

union SDL_Event;

#define DIRECTINPUT_VERSION 0x0800

// Results.
#define DI_OK S_OK
#define DI_NOEFFECT S_FALSE
#define DI_BUFFEROVERFLOW S_FALSE
#define DIERR_INVALIDPARAM E_INVALIDARG
#define DIERR_OUTOFMEMORY E_OUTOFMEMORY
#define DIERR_OTHERAPPHASPRIO ((HRESULT)0x80070005u)
#define DIERR_NOTACQUIRED ((HRESULT)0x8007000Cu)
#define DIERR_ACQUIRED ((HRESULT)0x800700AAu)
#define DIERR_DEVICENOTREG ((HRESULT)0x80040154u)
#define DIERR_NOTBUFFERED ((HRESULT)0x80040207u)

// Enumeration.
#define DI8DEVCLASS_ALL 0
#define DIEDFL_ATTACHEDONLY 0x00000001
#define DIENUM_STOP 0
#define DIENUM_CONTINUE 1

// Device types: the low byte of dwDevType.
#define DI8DEVTYPE_DEVICE 0x11
#define DI8DEVTYPE_MOUSE 0x12
#define DI8DEVTYPE_KEYBOARD 0x13
#define DI8DEVTYPE_JOYSTICK 0x14
#define DI8DEVTYPE_GAMEPAD 0x15
#define DI8DEVTYPE_DRIVING 0x16
#define DI8DEVTYPE_FLIGHT 0x17
#define DI8DEVTYPE_1STPERSON 0x18
#define DI8DEVTYPE_DEVICECTRL 0x19
#define DI8DEVTYPE_SCREENPOINTER 0x1A
#define GET_DIDEVICE_TYPE(t) ((BYTE)(t))

// Cooperative levels.
#define DISCL_EXCLUSIVE 0x00000001
#define DISCL_NONEXCLUSIVE 0x00000002
#define DISCL_FOREGROUND 0x00000004
#define DISCL_BACKGROUND 0x00000008

// Properties: identified by small numbers in the place of a GUID pointer.
#define DIPH_DEVICE 0
#define DIPROP_BUFFERSIZE ((const GUID*)(uintptr_t)1)

#define DIGDD_PEEK 0x00000001

typedef struct DIDEVICEINSTANCEA {
    DWORD dwSize;
    GUID guidInstance;
    GUID guidProduct;
    DWORD dwDevType;
    char tszInstanceName[260];
    char tszProductName[260];
    GUID guidFFDriver;
    WORD wUsagePage;
    WORD wUsage;
} DIDEVICEINSTANCEA;
typedef const DIDEVICEINSTANCEA* LPCDIDEVICEINSTANCEA;
typedef BOOL (*LPDIENUMDEVICESCALLBACKA)(LPCDIDEVICEINSTANCEA instance, void* context);

// Data formats are compared by identity; the object lists are not needed here.
typedef struct DIDATAFORMAT {
    DWORD dwSize;
    DWORD dwObjSize;
    DWORD dwFlags;
    DWORD dwDataSize;
    DWORD dwNumObjs;
    const void* rgodf;
} DIDATAFORMAT;
extern const DIDATAFORMAT c_dfDIMouse2;    // 20 bytes: X 0, Y 4, Z 8, buttons 12-19
extern const DIDATAFORMAT c_dfDIKeyboard;  // 256 bytes: one per scan code
extern const DIDATAFORMAT c_dfDIJoystick2; // 272 bytes: axes 0-28, hats 32-44, buttons 48-175

typedef struct DIPROPHEADER {
    DWORD dwSize;
    DWORD dwHeaderSize;
    DWORD dwObj;
    DWORD dwHow;
} DIPROPHEADER;
typedef struct DIPROPDWORD {
    DIPROPHEADER diph;
    DWORD dwData;
} DIPROPDWORD;

typedef struct DIDEVICEOBJECTDATA {
    DWORD dwOfs;
    DWORD dwData;
    DWORD dwTimeStamp;
    DWORD dwSequence;
    uintptr_t uAppData;
} DIDEVICEOBJECTDATA;

// One created device. Non-virtual: the calls read like the COM calls they stand for.
struct IDirectInputDevice8A {
    HRESULT SetCooperativeLevel(HWND window, DWORD flags);
    HRESULT SetDataFormat(const DIDATAFORMAT* format);
    HRESULT SetProperty(const GUID* property, const DIPROPHEADER* header);
    HRESULT Acquire();
    HRESULT Unacquire();
    // In: *count = room in items. Out: *count = items copied. DI_BUFFEROVERFLOW when items
    // were lost to a full buffer since the last read.
    HRESULT GetDeviceData(DWORD item_size, DIDEVICEOBJECTDATA* items, DWORD* count, DWORD flags);
    ULONG Release();

    // Emulation state; callers use only the calls above.
    IDirectInputDevice8A* next_live;
    int32_t source;
    ULONG refs;
    DWORD coop;
    const DIDATAFORMAT* format;
    BOOL acquired;
    BOOL overflow;
    DIDEVICEOBJECTDATA* ring;
    DWORD capacity, head, count;
};

struct IDirectInput8A {
    HRESULT EnumDevices(DWORD dev_class, LPDIENUMDEVICESCALLBACKA callback, void* context, DWORD flags);
    HRESULT CreateDevice(REFGUID instance, IDirectInputDevice8A** device, void* outer);
    ULONG Release();

    ULONG refs;
};

typedef IDirectInput8A IDirectInput8;
typedef IDirectInputDevice8A IDirectInputDevice8;
typedef IDirectInput8A* LPDIRECTINPUT8A;
typedef IDirectInput8A* LPDIRECTINPUT8;
typedef IDirectInputDevice8A* LPDIRECTINPUTDEVICE8A;
typedef IDirectInputDevice8A* LPDIRECTINPUTDEVICE8;

extern const GUID IID_IDirectInput8A;
#define IID_IDirectInput8 IID_IDirectInput8A

// Creates the interface; the first one opens SDL's joysticks and snapshots the device list.
HRESULT DirectInput8Create(HINSTANCE instance, DWORD version, REFIID iid, void** out, void* outer);

// ---- Feeding, from the window layer ----

// Turns one SDL event into items for every acquired device of its source. Key repeats
// never become items.
void plat_di8_feed(const SDL_Event* ev);
// Foreground devices give no data while the window lacks focus: losing it unacquires them.
void plat_di8_set_foreground(BOOL foreground);
BOOL plat_di8_foreground(void);

// ---- Translation tables (also what tests check) ----

DWORD plat_di8_dik_from_scancode(int sdl_scancode); // 0: the key has no scan code
DWORD plat_di8_mouse_button_offset(int sdl_button); // 0: no such button
DWORD plat_di8_joy_axis_value(int16_t sdl_value);   // 0 to 65535
DWORD plat_di8_pov_from_hat(uint8_t sdl_hat);       // hundredths of degrees, 0xFFFFFFFF centred

// ---- Test hooks ----

// An extra device of the given type for the next enumeration; returns its source number.
// A joystick-like one takes SDL joystick events whose instance id is
// plat_di8_test_joystick_id of that number.
int32_t plat_di8_add_test_device(DWORD dev_type, const char* name);
int32_t plat_di8_test_joystick_id(int32_t source);
// Delivers an item to every acquired device of a source, as an SDL event would.
void plat_di8_push_item(int32_t source, DWORD offset, DWORD data);
// Source numbers of the first mouse and keyboard.
int32_t plat_di8_mouse_source(void);
int32_t plat_di8_keyboard_source(void);

enum plat_di8_call {
    PLAT_DI8_CREATE,
    PLAT_DI8_ENUM,
    PLAT_DI8_CREATE_DEVICE,
    PLAT_DI8_COOP,
    PLAT_DI8_FORMAT,
    PLAT_DI8_PROPERTY,
    PLAT_DI8_ACQUIRE,
    PLAT_DI8_GET_DATA,
    PLAT_DI8_CALLS
};
// The next `times` calls of that kind fail with E_FAIL.
void plat_di8_fail_next(plat_di8_call call, int times);
// Drops test devices and faults, and regains the foreground.
void plat_di8_reset_for_tests(void);
