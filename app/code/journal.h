// Journals JOURNALS: the streams of recorded values that scripts keep in memory, and their
// compact text form (one line per group of 32 positions: a mask of the positions whose value
// changed, then those values), which the Lua library `journal` hands to scripts to save and load.
#pragma once

#include <cstdint>

#include "engine/code/lua_compat.h"
#include "engine/code/pool.h"

struct journals_subsystem;

// Stored form: groups of one mask word and one float word per set bit, bit 0 first. A set bit
// stores the value at its position; a clear bit repeats the value read before it (0 at the start).
struct jstream {
    list_node link;               // the JOURNALS live list
    int32_t read_index;           // position of the next value to read
    int32_t count;                // positions in the stream
    int32_t next_word;            // index of the next stored word to read
    uint32_t mask;                // mask of the group being read
    float last;                   // the value most recently read
    grow_array words;             // the stored form, 32-bit words
    void** cell;                  // the pointer cell of the owning Lua userdata, or null
    journals_subsystem* owner;
};

struct journals_subsystem {
    pool records;  // jstream, 16 a chunk; its live list holds every allocated stream
};

extern journals_subsystem JOURNALS;

bool journals_setup(journals_subsystem* j);  // always true
void journals_clean(journals_subsystem* j);  // frees every stream; safe after a failed setup and twice
bool journals_reset(journals_subsystem* j);

// A new empty stream, or null when the pool cannot give a record (also while JOURNALS is not set up).
jstream* jstream_alloc(journals_subsystem* j, int32_t initial_words, int32_t granule);
// Null is ignored. Clears the owning userdata's cell, so the script's functions then raise.
void journals_stream_free(journals_subsystem* j, jstream* s);
void jstream_free(jstream* s);

// Appends one value (stored uncompressed: every group written this way has all bits set).
void jstream_write(jstream* s, float value);
// The value at the read position, which advances; past the end, the last value read.
float jstream_read(jstream* s);
// Only position 0 is accepted (rewinds reading); anything else changes nothing and gives false.
bool jstream_seek(jstream* s, int32_t position);
bool jstream_eof(const jstream* s);
// Pushes the text form of the whole stream; reading is left at the end. May raise (memory).
void jstream_read_str(lua_State* L, jstream* s);
// Appends the groups of a text form. Reading stops at the first place where no mask can be
// read; a value that cannot be read counts as 0. A stream whose last group is partly written
// has that group closed first, its remaining positions repeating its last value.
void jstream_write_str(jstream* s, const char* text);

// The library `journal` with the type jstream*ptr, then local/lua/journal.lua (inside the
// protected registration). The streams come from JOURNALS.
void journal_lua_setup(lua_State* L);
void journal_lua_clean(lua_State* L);  // global journal := nil
