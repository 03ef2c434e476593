// Tracked heap: every record of the engine and the application comes from here. The byte
// count only grows (frees and reallocations leave it alone); failed requests count too.
#pragma once

#include <cstddef>
#include <cstdint>

struct mem_heap {
    uint32_t bytes;
};

extern mem_heap mem;

void* mem_alloc(size_t size);      // zero-filled, or NULL
void* mem_alloc_raw(size_t size);  // uninitialised, or NULL
void* mem_realloc(void* block, size_t size); // NULL on failure, the old block stays valid
void mem_free(void* block);
bool mem_setup(mem_heap* m);
bool mem_reset(mem_heap* m);
void mem_clean(mem_heap* m);
