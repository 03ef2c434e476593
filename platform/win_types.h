// Windows-shaped basic types and result codes used by the platform layer and its callers.
// Sizes follow the documented Windows ABI: DWORD and HRESULT are 32-bit on every target.
#pragma once

#include <cstdint>

typedef uint32_t DWORD;
typedef int32_t HRESULT;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef int32_t INT;
typedef uint32_t UINT;
typedef int32_t BOOL;
typedef uint16_t WORD;
typedef uint8_t BYTE;
typedef float FLOAT;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef int64_t LONGLONG;

typedef void* HANDLE;
typedef struct plat_window* HWND;
typedef void* HINSTANCE;
typedef void* HMODULE;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_FAIL ((HRESULT)0x80004005u)
#define E_OUTOFMEMORY ((HRESULT)0x8007000Eu)
#define E_INVALIDARG ((HRESULT)0x80070057u)
#define E_NOTIMPL ((HRESULT)0x80004001u)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

typedef union LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    LONGLONG QuadPart;
} LARGE_INTEGER;

typedef struct RECT {
    LONG left, top, right, bottom;
} RECT;

typedef struct POINT {
    LONG x, y;
} POINT;

#ifndef GUID_DEFINED
#define GUID_DEFINED
typedef struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
} GUID;
#endif
typedef const GUID& REFGUID;
typedef const GUID& REFIID;
