// File dialogs: the two blocking calls that let the user pick a file to open or to save,
// through the platform's standard dialogs. The working folder is the same afterwards.
#pragma once

enum { FILE_DIALOG_PATH_CHARS = 260 };

// The paths chosen by the last open / save dialog; each call overwrites its own buffer.
extern char file_dialog_path[FILE_DIALOG_PATH_CHARS];
extern char file_dialog_save_path[FILE_DIALOG_PATH_CHARS];

// title: the dialog's title. default_file: a path relative to the working folder, '/' or
// '\\' separated, or NULL for none; the dialog opens on it. pattern: such as "*.XML", the
// filter selected at start (an "All" filter is offered too). Returns the chosen full path
// ('/' separated, in the buffer above), or NULL when the user cancelled or the dialog failed.
char* file_dialog_open(const char* title, const char* default_file, const char* pattern);
char* file_dialog_save(const char* title, const char* default_file, const char* pattern);
