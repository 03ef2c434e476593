// String pool: interns strings so that each distinct text is stored once and every caller
// gets the same pointer for it (names can then be compared by pointer). Strings live in
// blocks of 4096 characters and are never removed before the pool is cleaned.
#pragma once

#include <cstdint>

enum { STR_POOL_BLOCK_CHARS = 4096 };

// Strings are stored one after another, each with its NUL; the used part ends where a
// string would begin with a NUL.
struct str_pool_block {
    str_pool_block* next; // null in the last block
    char text[STR_POOL_BLOCK_CHARS];
};

struct str_pool {
    str_pool_block* first;    // null while the pool is empty
    uint8_t case_insensitive; // 1 after setup: texts differing only in letter case are one
};

void str_pool_setup(str_pool* pool);
void str_pool_clean(str_pool* pool); // the flag keeps its value
void str_pool_reset(str_pool* pool);
// The pooled copy of text, added when new. Null when a block cannot be allocated or the
// text has 4095 characters or more. The empty string gives a shared "" that is never written.
const char* str_pool_add(str_pool* pool, const char* text);
