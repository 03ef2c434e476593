// Platform file system on POSIX: mkdir, a read/write copy and a sorted, case-insensitive
// folder listing with Windows wildcard rules.

#include "platform/plat_fs.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

bool plat_path(const char* path, char* out, size_t out_size)
{
    size_t n = strlen(path);
    if (n >= out_size) {
        if (out_size)
            out[0] = 0;
        return false;
    }
    for (size_t i = 0; i <= n; i++)
        out[i] = path[i] == '\\' ? '/' : path[i];
    return true;
}

int _mkdir(const char* path)
{
    char p[4096];
    if (!plat_path(path, p, sizeof(p))) {
        errno = ENAMETOOLONG;
        return -1;
    }
    return mkdir(p, 0777);
}

BOOL CopyFileA(const char* source, const char* destination, BOOL fail_if_exists)
{
    char src[4096], dst[4096];
    if (!plat_path(source, src, sizeof(src)) || !plat_path(destination, dst, sizeof(dst)))
        return FALSE;
    int in = open(src, O_RDONLY);
    if (in < 0)
        return FALSE;
    struct stat si, sd;
    // Copying a file onto itself would truncate it before it is read.
    if (fstat(in, &si) != 0 || !S_ISREG(si.st_mode) ||
        (stat(dst, &sd) == 0 && sd.st_dev == si.st_dev && sd.st_ino == si.st_ino)) {
        close(in);
        return FALSE;
    }
    int out = open(dst, O_WRONLY | O_CREAT | O_TRUNC | (fail_if_exists ? O_EXCL : 0), 0666);
    if (out < 0) {
        close(in);
        return FALSE;
    }
    bool ok = true;
    char buf[65536];
    for (;;) {
        ssize_t n = read(in, buf, sizeof(buf));
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ok = false;
            break;
        }
        for (ssize_t done = 0; done < n;) {
            ssize_t w = write(out, buf + done, (size_t)(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                ok = false;
                break;
            }
            done += w;
        }
        if (!ok)
            break;
    }
    close(in);
    if (close(out) != 0)
        ok = false;
    return ok ? TRUE : FALSE;
}

// ---- listing ---------------------------------------------------------------------------

struct plat_find {
    char** names;
    DWORD* attributes;
    int count;
    int next;
};

static int lower(int c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }

// Windows wildcards: '*' any run (also empty), '?' one character; no character classes.
static bool wild_match(const char* pat, const char* name)
{
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*name) {
        if (*pat == '*') {
            star = pat++;
            resume = name;
        } else if (*pat == '?' || (*pat && lower((unsigned char)*pat) == lower((unsigned char)*name))) {
            pat++;
            name++;
        } else if (star) {
            pat = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*pat == '*')
        pat++;
    return *pat == 0;
}

static int name_order(const void* a, const void* b)
{
    const char* x = *(char* const*)a;
    const char* y = *(char* const*)b;
    int c = strcasecmp(x, y);
    return c ? c : strcmp(x, y);
}

static void find_free(plat_find* f)
{
    for (int i = 0; i < f->count; i++)
        free(f->names[i]);
    free(f->names);
    free(f->attributes);
    free(f);
}

static void find_fill(const plat_find* f, WIN32_FIND_DATAA* data)
{
    const char* name = f->names[f->next];
    memset(data, 0, sizeof(*data));
    strncpy(data->cFileName, name, MAX_PATH - 1);
    data->dwFileAttributes = f->attributes[f->next];
}

HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data)
{
    char p[4096];
    if (!plat_path(pattern, p, sizeof(p)))
        return INVALID_HANDLE_VALUE;
    char* slash = strrchr(p, '/');
    const char* folder = ".";
    const char* wild = p;
    if (slash) {
        *slash = 0;
        folder = slash == p ? "/" : p;
        wild = slash + 1;
    }
    if (strcmp(wild, "*.*") == 0)
        wild = "*";

    DIR* d = opendir(folder);
    if (!d)
        return INVALID_HANDLE_VALUE;
    plat_find* f = (plat_find*)calloc(1, sizeof(plat_find));
    int capacity = 0;
    bool ok = f != nullptr;
    while (ok) {
        struct dirent* e = readdir(d);
        if (!e)
            break;
        if (!wild_match(wild, e->d_name))
            continue;
        if (f->count == capacity) {
            capacity = capacity ? capacity * 2 : 16;
            char** names = (char**)realloc(f->names, sizeof(char*) * capacity);
            if (names)
                f->names = names;
            DWORD* attributes = (DWORD*)realloc(f->attributes, sizeof(DWORD) * capacity);
            if (attributes)
                f->attributes = attributes;
            if (!names || !attributes)
                ok = false;
        }
        char* name = ok ? strdup(e->d_name) : nullptr;
        if (!name) {
            ok = false;
            break;
        }
        f->names[f->count++] = name;
    }
    closedir(d);
    if (!ok || f->count == 0) {
        if (f)
            find_free(f);
        return INVALID_HANDLE_VALUE;
    }
    qsort(f->names, f->count, sizeof(char*), name_order);
    for (int i = 0; i < f->count; i++) {
        char full[8192];
        struct stat st;
        snprintf(full, sizeof(full), "%s/%s", folder, f->names[i]);
        bool dir = stat(full, &st) == 0 && S_ISDIR(st.st_mode);
        f->attributes[i] = dir ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    }
    find_fill(f, data);
    return (HANDLE)f;
}

BOOL FindNextFileA(HANDLE find, WIN32_FIND_DATAA* data)
{
    plat_find* f = (plat_find*)find;
    if (!f || find == INVALID_HANDLE_VALUE || f->next + 1 >= f->count)
        return FALSE;
    f->next++;
    find_fill(f, data);
    return TRUE;
}

BOOL FindClose(HANDLE find)
{
    if (!find || find == INVALID_HANDLE_VALUE)
        return FALSE;
    find_free((plat_find*)find);
    return TRUE;
}
