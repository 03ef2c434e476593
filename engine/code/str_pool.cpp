// String pool: linear search over a chain of 4096-character blocks, appending new
// strings to the last block.

#include "engine/code/str_pool.h"

#include <cstring>

#include "engine/code/mem.h"

void str_pool_setup(str_pool* pool)
{
    pool->first = nullptr;
    pool->case_insensitive = 1;
}

// Frees the blocks last first: the chain is reversed in place, then walked.
void str_pool_clean(str_pool* pool)
{
    str_pool_block* reversed = nullptr;
    while (pool->first) {
        str_pool_block* b = pool->first;
        pool->first = b->next;
        b->next = reversed;
        reversed = b;
    }
    while (reversed) {
        str_pool_block* next = reversed->next;
        mem_free(reversed);
        reversed = next;
    }
}

void str_pool_reset(str_pool* pool)
{
    str_pool_clean(pool);
    str_pool_setup(pool);
}

// ASCII-only folding: independent of the locale and defined for every byte.
static unsigned char fold(unsigned char c) { return (c >= 'A' && c <= 'Z') ? (unsigned char)(c + 32) : c; }

static bool same(const char* a, const char* b, bool no_case)
{
    const unsigned char* x = (const unsigned char*)a;
    const unsigned char* y = (const unsigned char*)b;
    for (;; x++, y++) {
        unsigned char cx = no_case ? fold(*x) : *x;
        unsigned char cy = no_case ? fold(*y) : *y;
        if (cx != cy)
            return false;
        if (!cx)
            return true;
    }
}

static str_pool_block* new_block(void) { return (str_pool_block*)mem_alloc(sizeof(str_pool_block)); }

const char* str_pool_add(str_pool* pool, const char* text)
{
    // An empty string would be stored as a lone NUL, which reads as free space and is
    // overwritten by the next string; it gets one shared constant instead.
    static const char empty[1] = {0};
    if (!text[0])
        return empty;

    if (!pool->first && !(pool->first = new_block()))
        return nullptr;

    str_pool_block* last = pool->first;
    char* free_pos = nullptr;
    for (str_pool_block* b = pool->first; b; b = b->next) {
        char* s = b->text;
        char* end = b->text + STR_POOL_BLOCK_CHARS;
        while (s < end && *s) {
            if (same(s, text, pool->case_insensitive != 0))
                return s;
            s += strlen(s) + 1;
        }
        last = b;
        free_pos = s;
    }

    size_t len = strlen(text);
    size_t room = (size_t)(last->text + STR_POOL_BLOCK_CHARS - free_pos);
    if (len + 2 <= room) {
        memcpy(free_pos, text, len + 1);
        return free_pos;
    }

    str_pool_block* b = new_block();
    if (!b)
        return nullptr;
    last->next = b;
    if (len + 2 > STR_POOL_BLOCK_CHARS)
        return nullptr; // too long for any block; the new block stays linked and empty
    memcpy(b->text, text, len + 1);
    return b->text;
}
