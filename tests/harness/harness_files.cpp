// Whole-file helpers of the tests (see harness.h).

#include "tests/harness/harness.h"

#include "engine/code/pool.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>

std::string harness_read_file(const char* path)
{
    std::string s;
    if (FILE* f = fopen(path, "rb")) {
        char buf[512];
        size_t n;
        while ((n = fread(buf, 1, sizeof(buf), f)) > 0)
            s.append(buf, n);
        fclose(f);
    }
    return s;
}

void harness_write_file(const char* path, const char* text)
{
    FILE* f = fopen(path, "wb");
    if (!f) {
        ADD_FAILURE() << "cannot write " << path;
        return;
    }
    fputs(text, f);
    fclose(f);
}

bool harness_file_exists(const char* path)
{
    struct stat st;
    return stat(path, &st) == 0;
}

bool harness_ends_with(const std::string& s, const char* tail)
{
    size_t n = strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

int harness_list_count(list* l)
{
    int n = 0;
    for (list_node* at = list_first(l); at->next; at = at->next)
        n++;
    return n;
}
