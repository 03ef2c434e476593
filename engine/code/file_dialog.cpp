// File dialogs: fills the platform's dialog description, shows the dialog and puts the
// working folder back whatever the dialog did.

#include "engine/code/file_dialog.h"

#include <limits.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "platform/plat_dialog.h"

char file_dialog_path[FILE_DIALOG_PATH_CHARS];
char file_dialog_save_path[FILE_DIALOG_PATH_CHARS];

// "All" with every file, then the pattern as both description and filter; the terminating
// NUL of the text ends the list with the double NUL the dialog expects.
static void build_filter(char* out, size_t cap, const char* pattern)
{
    snprintf(out, cap, "All%c*.*%c%s%c%s%c", 0, 0, pattern, 0, pattern, 0);
}

// The result buffer := "<working folder>/<default file>", '/' separated. When it does not
// fit, the dialog opens with an empty name rather than a cut path.
static void initial_path(char* result, const char* cwd, const char* default_file)
{
    result[0] = '\0';
    if (!default_file || !cwd)
        return;
    int n = snprintf(result, FILE_DIALOG_PATH_CHARS, "%s/%s", cwd, default_file);
    if (n < 0 || n >= FILE_DIALOG_PATH_CHARS) {
        result[0] = '\0';
        return;
    }
    for (char* c = result; *c; c++)
        if (*c == '\\')
            *c = '/';
}

static char* show(bool save, char* result, const char* title, const char* default_file,
                  const char* pattern)
{
    // The remembered folder is not limited to the result's size, so it is always restored.
    char cwd[PATH_MAX];
    bool have_cwd = getcwd(cwd, sizeof cwd) != NULL;

    char filter[FILE_DIALOG_PATH_CHARS * 2];
    build_filter(filter, sizeof filter, pattern ? pattern : "*.*");
    initial_path(result, have_cwd ? cwd : NULL, default_file);

    OPENFILENAMEA ofn;
    memset(&ofn, 0, sizeof ofn);
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400;
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = 2;
    ofn.lpstrFile = result;
    ofn.nMaxFile = FILE_DIALOG_PATH_CHARS;
    ofn.lpstrTitle = title;
    ofn.Flags = OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (save)
        ofn.Flags |= OFN_OVERWRITEPROMPT;

    BOOL ok = save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);

    if (have_cwd && chdir(cwd) != 0) {
        // Nothing sensible to do: the folder vanished while the dialog was open.
    }
    result[FILE_DIALOG_PATH_CHARS - 1] = '\0';
    return ok ? result : NULL;
}

char* file_dialog_open(const char* title, const char* default_file, const char* pattern)
{
    return show(false, file_dialog_path, title, default_file, pattern);
}

char* file_dialog_save(const char* title, const char* default_file, const char* pattern)
{
    return show(true, file_dialog_save_path, title, default_file, pattern);
}
