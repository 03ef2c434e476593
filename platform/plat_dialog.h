// Platform file dialogs: the open and save dialogs, shaped like the Windows common-dialog
// calls. The desktop back-end is zenity when it is installed and a display exists; without
// it the user is asked on the controlling terminal; with neither the dialog is cancelled.
// Tests replace the back-end with scripted answers.
#pragma once

#include <stdio.h>

#include "platform/win_types.h"

#define OFN_OVERWRITEPROMPT 0x00000002u
#define OFN_NOCHANGEDIR 0x00000008u
#define OFN_PATHMUSTEXIST 0x00000800u
#define OPENFILENAME_SIZE_VERSION_400 76

// The dialog description. Only the fields the program fills are read: lpstrFilter (pairs
// of description and pattern, each NUL-ended, the list ended by an empty string),
// nFilterIndex (1-based, the filter selected at start), lpstrFile (in: the initial path,
// out: the chosen one, '/' separated), nMaxFile, lpstrTitle and Flags.
struct OPENFILENAMEA {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    const char* lpstrFilter;
    char* lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex;
    char* lpstrFile;
    DWORD nMaxFile;
    char* lpstrFileTitle;
    DWORD nMaxFileTitle;
    const char* lpstrInitialDir;
    const char* lpstrTitle;
    DWORD Flags;
    WORD nFileOffset;
    WORD nFileExtension;
    const char* lpstrDefExt;
    LPARAM lCustData;
    void* lpfnHook;
    const char* lpTemplateName;
};

// Block until the user answers. TRUE with the chosen path in lpstrFile; FALSE when the user
// cancelled, the dialog failed or the path does not fit in nMaxFile.
BOOL GetOpenFileNameA(OPENFILENAMEA* ofn);
BOOL GetSaveFileNameA(OPENFILENAMEA* ofn);

enum plat_dialog_kind { PLAT_DIALOG_OPEN = 0, PLAT_DIALOG_SAVE = 1 };

// Injection point: a back-end that answers instead of the real ones. NULL restores them.
typedef BOOL (*plat_dialog_fn)(plat_dialog_kind kind, OPENFILENAMEA* ofn);
void plat_set_file_dialog(plat_dialog_fn fn);

// The terminal back-end on any pair of streams: prints "<title> [<initial path>]: " and
// reads one line. An empty line keeps the initial path (cancels when there is none); end
// of input cancels. A relative answer is taken from the working folder. An answer whose
// folder does not exist is refused (with OFN_PATHMUSTEXIST), and with OFN_OVERWRITEPROMPT
// an existing file is replaced only after a "y"; both ask again.
BOOL plat_dialog_prompt(FILE* in, FILE* out, plat_dialog_kind kind, OPENFILENAMEA* ofn);
