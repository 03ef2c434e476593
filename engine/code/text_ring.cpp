// Text ring: lines are appended upwards through one block and wrap to its start, dropping
// the oldest lines in their way. Links are 32-bit offsets so an entry header is 8 bytes
// on every target and the ring's byte arithmetic is the same everywhere.

#include "engine/code/text_ring.h"

#include <cstring>

#include "engine/code/mem.h"

static int32_t offset_of(const text_ring* r, const text_ring_entry* e) { return (int32_t)((const uint8_t*)e - r->block); }

static text_ring_entry* make_placeholder(text_ring* r, int32_t at, int32_t previous)
{
    text_ring_entry* e = text_ring_at(r, at);
    e->next = TEXT_RING_NONE;
    e->previous = previous;
    return e;
}

bool text_ring_setup(text_ring* ring, int32_t size)
{
    ring->block = size >= (int32_t)sizeof(text_ring_entry) ? (uint8_t*)mem_alloc((size_t)size) : nullptr;
    if (!ring->block) {
        text_ring_clean(ring);
        return false;
    }
    ring->size = size;
    ring->oldest = ring->newest = make_placeholder(ring, 0, TEXT_RING_NONE);
    ring->count = 0;
    return true;
}

void text_ring_clean(text_ring* ring)
{
    if (ring->block)
        mem_free(ring->block);
    ring->block = nullptr;
    ring->size = 0;
}

void text_ring_reset(text_ring* ring)
{
    int32_t size = ring->size;
    text_ring_clean(ring);
    text_ring_setup(ring, size);
}

// Drops the oldest line; false when only the placeholder is left.
static bool drop_oldest(text_ring* r)
{
    text_ring_entry* next = text_ring_next(r, r->oldest);
    if (!next)
        return false;
    r->oldest = next;
    next->previous = TEXT_RING_NONE;
    r->count -= 1;
    return true;
}

// The placeholder moves to the block's start, dropping every line up to and including
// the one there.
static void wrap(text_ring* r)
{
    while (r->oldest != r->newest && offset_of(r, r->oldest) != 0)
        drop_oldest(r);
    if (r->oldest != r->newest)
        drop_oldest(r);
    text_ring_entry* line = text_ring_previous(r, r->newest);
    if (line) {
        line->next = 0;
        r->newest = make_placeholder(r, 0, offset_of(r, line));
    } else {
        r->oldest = r->newest = make_placeholder(r, 0, TEXT_RING_NONE);
    }
}

void text_ring_push(text_ring* ring, const char* text)
{
    if (!ring->block)
        return;
    // need = entry (links, text, NUL, padding) + the next placeholder's header, and must
    // stay below the ring's size; a longer line is cut.
    size_t len = strlen(text);
    int32_t largest = (ring->size - 1) & ~3;
    if (largest < 20)
        return; // not even an empty line fits
    if (len > (size_t)(largest - 17))
        len = (size_t)(largest - 17);
    int32_t need = ((int32_t)len + 20) & ~3;

    if (offset_of(ring, ring->newest) + need >= ring->size)
        wrap(ring);
    while (ring->newest < ring->oldest &&
           (uint8_t*)ring->oldest - (uint8_t*)ring->newest < need && drop_oldest(ring)) {
    }

    text_ring_entry* e = ring->newest;
    memcpy(text_ring_entry_text(e), text, len);
    text_ring_entry_text(e)[len] = 0;
    int32_t at = offset_of(ring, e) + need - (int32_t)sizeof(text_ring_entry);
    e->next = at;
    ring->newest = make_placeholder(ring, at, offset_of(ring, e));
    ring->cursor = 0;
    ring->count += 1;
}

void text_ring_move(text_ring* ring, int32_t delta)
{
    ring->cursor += delta;
    if (ring->cursor > ring->count)
        ring->cursor = ring->count;
    if (ring->cursor < 0)
        ring->cursor = 0;
}

const char* text_ring_get(const text_ring* ring)
{
    if (ring->cursor < 1 || !ring->block || !ring->newest)
        return "";
    text_ring_entry* e = ring->newest;
    for (int32_t i = 0; i < ring->cursor; i++) {
        e = text_ring_previous(ring, e);
        if (!e)
            return "";
    }
    return text_ring_entry_text(e);
}
