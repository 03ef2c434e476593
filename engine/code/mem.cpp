// Tracked heap over the C runtime heap.

#include "engine/code/mem.h"

#include <cstdlib>

mem_heap mem;

void* mem_alloc(size_t size)
{
    mem.bytes += (uint32_t)size;
    return calloc(1, size ? size : 1);
}

void* mem_alloc_raw(size_t size)
{
    mem.bytes += (uint32_t)size;
    return malloc(size ? size : 1);
}

void* mem_realloc(void* block, size_t size) { return realloc(block, size ? size : 1); }

void mem_free(void* block) { free(block); }

bool mem_setup(mem_heap* m) { (void)m; return true; }
bool mem_reset(mem_heap* m) { (void)m; return true; }
void mem_clean(mem_heap* m) { (void)m; }
