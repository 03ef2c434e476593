// Text ring: a fixed-size circular store of text lines that drops its oldest lines to make
// room. The debug console keeps its scroll-back and its command history in two of them.
//
// Entries lie 4-byte aligned in the block: two 32-bit links (byte offsets inside the block,
// -1 for none), then the text with its NUL, padded to 4. The placeholder is a bare header
// that always follows the newest line. Readers walk back from the placeholder:
//     for (text_ring_entry* e = text_ring_previous(r, r->newest); e; e = text_ring_previous(r, e))
//         use(text_ring_entry_text(e));
#pragma once

#include <cstdint>

enum { TEXT_RING_NONE = -1 };

struct text_ring_entry {
    int32_t next;     // offset of the entry after this one, -1 for the placeholder
    int32_t previous; // offset of the entry before this one, -1 for the oldest
};

struct text_ring {
    int32_t size;            // bytes in the block
    uint8_t* block;          // null when not set up
    text_ring_entry* oldest; // the oldest entry
    text_ring_entry* newest; // the placeholder after the newest line
    int32_t count;           // lines held
    int32_t cursor;          // the selected line counting back from the newest (0 = none)
};

inline char* text_ring_entry_text(text_ring_entry* e) { return (char*)(e + 1); }
inline text_ring_entry* text_ring_at(const text_ring* r, int32_t offset)
{
    return offset < 0 ? nullptr : (text_ring_entry*)(r->block + offset);
}
inline text_ring_entry* text_ring_previous(const text_ring* r, const text_ring_entry* e)
{
    return text_ring_at(r, e->previous);
}
inline text_ring_entry* text_ring_next(const text_ring* r, const text_ring_entry* e)
{
    return text_ring_at(r, e->next);
}

// False when the block cannot be allocated (or cannot hold even the placeholder); the
// ring is then clean. The cursor is left as it is.
bool text_ring_setup(text_ring* ring, int32_t size);
void text_ring_clean(text_ring* ring);
void text_ring_reset(text_ring* ring); // keeps the size
// Appends text as the newest line and resets the cursor; nothing when not set up.
// A line too long for the ring is cut to the longest that fits.
void text_ring_push(text_ring* ring, const char* text);
void text_ring_move(text_ring* ring, int32_t delta); // clamped to 0..count
// The text of the cursor's line (1 = newest); "" for no line.
const char* text_ring_get(const text_ring* ring);
