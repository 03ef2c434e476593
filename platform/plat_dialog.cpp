// Platform file dialogs: zenity for desktop users, a prompt on the terminal otherwise, and
// cancel when there is neither (a run with no display and no terminal, such as CI).

#include "platform/plat_dialog.h"

#include <ctype.h>
#include <errno.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

static plat_dialog_fn s_override;

void plat_set_file_dialog(plat_dialog_fn fn) { s_override = fn; }

// ---- small path helpers ----

static bool is_folder(const char* path)
{
    struct stat st;
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

static bool exists(const char* path)
{
    struct stat st;
    return stat(path, &st) == 0;
}

// The folder part of path ("/" for a file at the root, "." for a bare name).
static void folder_of(const char* path, char* out, size_t cap)
{
    const char* slash = strrchr(path, '/');
    if (!slash)
        snprintf(out, cap, ".");
    else if (slash == path)
        snprintf(out, cap, "/");
    else
        snprintf(out, cap, "%.*s", (int)(slash - path), path);
}

// ---- terminal back-end ----

static void trim(char* s)
{
    size_t n = strlen(s);
    while (n > 0 && isspace((unsigned char)s[n - 1]))
        s[--n] = '\0';
    size_t lead = strspn(s, " \t");
    memmove(s, s + lead, n - lead + 1);
}

// One answer line; false at end of input. A line longer than the buffer is read to its end
// and comes back empty with *too_long set.
static bool read_line(FILE* in, char* line, size_t cap, bool* too_long)
{
    *too_long = false;
    if (!fgets(line, (int)cap, in))
        return false;
    if (!strchr(line, '\n') && !feof(in)) {
        int c;
        while ((c = fgetc(in)) != EOF && c != '\n') {
        }
        *too_long = true;
        line[0] = '\0';
    }
    trim(line);
    return true;
}

// The initial path as the user would type it: relative to the working folder when inside it.
static const char* shown_path(const char* path, const char* cwd)
{
    size_t n = strlen(cwd);
    if (n > 0 && strncmp(path, cwd, n) == 0 && path[n] == '/' && path[n + 1] != '\0')
        return path + n + 1;
    return path;
}

BOOL plat_dialog_prompt(FILE* in, FILE* out, plat_dialog_kind kind, OPENFILENAMEA* ofn)
{
    char initial[PATH_MAX];
    char cwd[PATH_MAX];
    char line[PATH_MAX];
    char path[PATH_MAX];
    char folder[PATH_MAX];
    snprintf(initial, sizeof initial, "%s", ofn->lpstrFile ? ofn->lpstrFile : "");
    if (!getcwd(cwd, sizeof cwd))
        cwd[0] = '\0';
    const char* title = ofn->lpstrTitle && ofn->lpstrTitle[0] ? ofn->lpstrTitle : "File";

    for (;;) {
        if (initial[0])
            fprintf(out, "%s [%s]: ", title, shown_path(initial, cwd));
        else
            fprintf(out, "%s: ", title);
        fflush(out);
        bool too_long;
        if (!read_line(in, line, sizeof line, &too_long)) {
            fputc('\n', out);
            return FALSE;
        }
        if (too_long) {
            fprintf(out, "That path is too long.\n");
            continue;
        }
        if (!line[0]) {
            if (!initial[0])
                return FALSE;
            snprintf(line, sizeof line, "%s", initial);
        }
        int n = line[0] == '/' ? snprintf(path, sizeof path, "%s", line)
                               : snprintf(path, sizeof path, "%s/%s", cwd, line);
        if (n < 0 || (size_t)n >= sizeof path || (DWORD)n >= ofn->nMaxFile) {
            fprintf(out, "That path is too long.\n");
            continue;
        }
        folder_of(path, folder, sizeof folder);
        if ((ofn->Flags & OFN_PATHMUSTEXIST) && !is_folder(folder)) {
            fprintf(out, "There is no folder %s.\n", folder);
            continue;
        }
        if (is_folder(path)) {
            fprintf(out, "%s is a folder; give a file name.\n", path);
            continue;
        }
        if (kind == PLAT_DIALOG_SAVE && (ofn->Flags & OFN_OVERWRITEPROMPT) && exists(path)) {
            fprintf(out, "%s already exists. Replace it? [y/N]: ", path);
            fflush(out);
            if (!read_line(in, line, sizeof line, &too_long)) {
                fputc('\n', out);
                return FALSE;
            }
            if (line[0] != 'y' && line[0] != 'Y')
                continue;
        }
        memcpy(ofn->lpstrFile, path, (size_t)n + 1);
        return TRUE;
    }
}

// ---- zenity back-end ----

static bool zenity_installed()
{
    const char* display = getenv("DISPLAY");
    const char* wayland = getenv("WAYLAND_DISPLAY");
    if (!(display && display[0]) && !(wayland && wayland[0]))
        return false;
    const char* paths = getenv("PATH");
    if (!paths)
        return false;
    char candidate[PATH_MAX];
    while (*paths) {
        size_t len = strcspn(paths, ":");
        if (len > 0 && len + sizeof "/zenity" <= sizeof candidate) {
            snprintf(candidate, sizeof candidate, "%.*s/zenity", (int)len, paths);
            if (access(candidate, X_OK) == 0)
                return true;
        }
        paths += len;
        if (*paths == ':')
            paths++;
    }
    return false;
}

// One "--file-filter=<description> | <patterns>" argument. The platform's patterns are ';'
// separated and match without case; zenity's are space separated and match with case, so
// each pattern is given as written and in both cases, and "*.*" becomes "*".
static void zenity_filter(const char* desc, const char* patterns, char* out, size_t cap)
{
    size_t used = (size_t)snprintf(out, cap, "--file-filter=%s |", desc);
    while (*patterns && used < cap) {
        size_t len = strcspn(patterns, ";");
        char one[256];
        snprintf(one, sizeof one, "%.*s", (int)len, patterns);
        trim(one);
        if (strcmp(one, "*.*") == 0)
            snprintf(one, sizeof one, "*");
        char lower[256], upper[256];
        for (size_t i = 0;; i++) {
            lower[i] = (char)tolower((unsigned char)one[i]);
            upper[i] = (char)toupper((unsigned char)one[i]);
            if (!one[i])
                break;
        }
        if (one[0]) {
            used += (size_t)snprintf(out + used, cap - used, " %s", one);
            if (used < cap && strcmp(lower, one) != 0)
                used += (size_t)snprintf(out + used, cap - used, " %s", lower);
            if (used < cap && strcmp(upper, one) != 0)
                used += (size_t)snprintf(out + used, cap - used, " %s", upper);
        }
        patterns += len;
        if (*patterns == ';')
            patterns++;
    }
}

enum zenity_result { ZENITY_CHOSEN, ZENITY_CANCELLED, ZENITY_NOT_RUN };

enum { ZENITY_MAX_FILTERS = 8, ZENITY_ARG_CHARS = 1024 };

static zenity_result zenity_run(plat_dialog_kind kind, OPENFILENAMEA* ofn)
{
    // Arguments live in fixed buffers: nothing is allocated between fork and exec.
    static char args[4 + ZENITY_MAX_FILTERS][ZENITY_ARG_CHARS];
    const char* argv[8 + ZENITY_MAX_FILTERS];
    int argc = 0, used = 0;
    argv[argc++] = "zenity";
    argv[argc++] = "--file-selection";
    snprintf(args[used], ZENITY_ARG_CHARS, "--title=%s", ofn->lpstrTitle ? ofn->lpstrTitle : "");
    argv[argc++] = args[used++];
    if (kind == PLAT_DIALOG_SAVE) {
        argv[argc++] = "--save";
        if (ofn->Flags & OFN_OVERWRITEPROMPT)
            argv[argc++] = "--confirm-overwrite";
    }
    if (ofn->lpstrFile && ofn->lpstrFile[0]) {
        snprintf(args[used], ZENITY_ARG_CHARS, "--filename=%s", ofn->lpstrFile);
        argv[argc++] = args[used++];
    }
    // zenity selects its first filter: the selected one goes first, the rest in order.
    const char* descs[ZENITY_MAX_FILTERS];
    const char* pats[ZENITY_MAX_FILTERS];
    int filters = 0;
    for (const char* f = ofn->lpstrFilter; f && *f && filters < ZENITY_MAX_FILTERS;) {
        descs[filters] = f;
        f += strlen(f) + 1;
        pats[filters] = f;
        f += strlen(f) + 1;
        filters++;
    }
    int selected = (int)ofn->nFilterIndex - 1;
    if (selected >= 0 && selected < filters) {
        zenity_filter(descs[selected], pats[selected], args[used], ZENITY_ARG_CHARS);
        argv[argc++] = args[used++];
    }
    for (int i = 0; i < filters && used < 4 + ZENITY_MAX_FILTERS; i++) {
        if (i == selected)
            continue;
        zenity_filter(descs[i], pats[i], args[used], ZENITY_ARG_CHARS);
        argv[argc++] = args[used++];
    }
    argv[argc] = NULL;

    int fds[2];
    if (pipe(fds) != 0)
        return ZENITY_NOT_RUN;
    fflush(NULL);
    pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return ZENITY_NOT_RUN;
    }
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        execvp("zenity", (char* const*)argv);
        _exit(127);
    }
    close(fds[1]);
    char answer[PATH_MAX + 2];
    size_t got = 0;
    bool overflow = false;
    for (;;) {
        char chunk[512];
        ssize_t n = read(fds[0], chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        size_t take = (size_t)n;
        if (got + take > sizeof answer - 1) {
            take = sizeof answer - 1 - got;
            overflow = true;
        }
        memcpy(answer + got, chunk, take);
        got += take;
    }
    close(fds[0]);
    answer[got] = '\0';
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
        return ZENITY_NOT_RUN;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || overflow)
        return ZENITY_CANCELLED;
    answer[strcspn(answer, "\r\n")] = '\0';
    size_t len = strlen(answer);
    if (len == 0 || len >= ofn->nMaxFile)
        return ZENITY_CANCELLED;
    memcpy(ofn->lpstrFile, answer, len + 1);
    return ZENITY_CHOSEN;
}

// ---- dispatch ----

static BOOL run_dialog(plat_dialog_kind kind, OPENFILENAMEA* ofn)
{
    if (!ofn || !ofn->lpstrFile || ofn->nMaxFile == 0)
        return FALSE;
    if (s_override)
        return s_override(kind, ofn);
    if (zenity_installed()) {
        zenity_result r = zenity_run(kind, ofn);
        if (r != ZENITY_NOT_RUN)
            return r == ZENITY_CHOSEN;
    }
    if (isatty(STDIN_FILENO))
        return plat_dialog_prompt(stdin, stdout, kind, ofn);
    return FALSE;
}

BOOL GetOpenFileNameA(OPENFILENAMEA* ofn) { return run_dialog(PLAT_DIALOG_OPEN, ofn); }
BOOL GetSaveFileNameA(OPENFILENAMEA* ofn) { return run_dialog(PLAT_DIALOG_SAVE, ofn); }
