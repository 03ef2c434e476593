// Platform file system: making folders, copying files and listing a folder by pattern,
// shaped like the Windows calls the engine makes and following their rules: '\\' is a
// separator like '/', names match without regard to case, "*.*" matches every name (with
// or without a dot), folders are listed with the files, "." and ".." included.
#pragma once

#include <cstddef>

#include "platform/win_types.h"

#ifndef MAX_PATH
#define MAX_PATH 260
#endif
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)
#define FILE_ATTRIBUTE_DIRECTORY 0x10
#define FILE_ATTRIBUTE_NORMAL 0x80

struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    char cFileName[MAX_PATH]; // the name alone, without its folder
};

// 0 on success (an existing folder counts as a failure with errno EEXIST), -1 otherwise
// with errno set.
int _mkdir(const char* path);
// Copies source over destination (replaced unless fail_if_exists). A source that is not a
// regular file, or a destination that is the source itself, fails.
BOOL CopyFileA(const char* source, const char* destination, BOOL fail_if_exists);

// The entries of the pattern's folder whose names match its last component ('*' any run,
// '?' one character), in name order (ignoring case). INVALID_HANDLE_VALUE when none match
// or the folder cannot be read; otherwise data holds the first match.
HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data);
BOOL FindNextFileA(HANDLE find, WIN32_FIND_DATAA* data); // FALSE after the last match
BOOL FindClose(HANDLE find);

// Copies path into out (out_size bytes) with every '\\' turned into '/'. False (out empty)
// when it does not fit.
bool plat_path(const char* path, char* out, size_t out_size);
