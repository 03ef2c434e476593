// Journals: the pool of streams, reading and writing their stored form, the text form, and
// the Lua library `journal` that gives scripts their streams.
//
// Sections: subsystem, stream operations, text form, Lua library.

#include "app/code/journal.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/code/lua_lib.h"

journals_subsystem JOURNALS;

static const char JSTREAM_TYPE[] = "jstream*ptr";

// ---- subsystem -------------------------------------------------------------------------

bool journals_setup(journals_subsystem* j)
{
    memset(j, 0, sizeof(*j));
    return pool_setup(&j->records, sizeof(jstream), 16);
}

void journals_clean(journals_subsystem* j)
{
    // A subsystem never set up has null links: nothing to free.
    if (j->records.live.head.next)
        while (!list_empty(&j->records.live))
            journals_stream_free(j, (jstream*)list_first(&j->records.live));
    pool_clean(&j->records);
    // Zeroed, so a stream asked for after shut-down is refused rather than leaked.
    memset(j, 0, sizeof(*j));
}

bool journals_reset(journals_subsystem* j)
{
    journals_clean(j);
    return journals_setup(j);
}

jstream* jstream_alloc(journals_subsystem* j, int32_t initial_words, int32_t granule)
{
    // Scripts run before JOURNALS starts (the Lua environment comes first): a pool that is
    // not set up has no valid lists to take a record from.
    if (j->records.record_size == 0)
        return nullptr;
    jstream* s = (jstream*)pool_alloc(&j->records);
    if (!s)
        return nullptr;
    // A failed initial block leaves an empty array that grows on the first write.
    if (!grow_array_setup(&s->words, 4, granule, initial_words))
        grow_array_setup(&s->words, 4, granule, 0);
    s->owner = j;
    list_append(&j->records.live, &s->link);
    return s;
}

void journals_stream_free(journals_subsystem* j, jstream* s)
{
    if (!s)
        return;
    if (s->cell)
        *s->cell = nullptr;
    grow_array_clean(&s->words);
    list_unlink(&s->link);
    pool_free(&j->records, s);
}

void jstream_free(jstream* s)
{
    if (s)
        journals_stream_free(s->owner, s);
}

// ---- stream operations -----------------------------------------------------------------

// Appends one stored word; one that cannot be appended is dropped (readers never pass the
// words that exist).
static void append_word(jstream* s, uint32_t word)
{
    uint32_t* w = (uint32_t*)grow_array_alloc(&s->words, 1);
    if (w)
        *w = word;
}

static uint32_t float_word(float value)
{
    uint32_t w;
    memcpy(&w, &value, 4);
    return w;
}

void jstream_write(jstream* s, float value)
{
    if (s->count == INT32_MAX)
        return;
    if (s->count % 32 == 0)
        append_word(s, 0xFFFFFFFFu);
    append_word(s, float_word(value));
    s->count++;
}

// The next stored word, or null when the stored form has run out.
static const uint32_t* take_word(jstream* s)
{
    if (s->next_word < 0 || s->next_word >= s->words.count)
        return nullptr;
    return (const uint32_t*)s->words.data + s->next_word++;
}

float jstream_read(jstream* s)
{
    int32_t i = s->read_index;
    if (i < INT32_MAX)
        s->read_index++;
    if (i >= s->count)
        return s->last;
    if (i % 32 == 0) {
        const uint32_t* w = take_word(s);
        s->mask = w ? *w : 0;
    }
    if (s->mask & (1u << (i % 32))) {
        const uint32_t* w = take_word(s);
        if (w)
            memcpy(&s->last, w, 4);
    }
    return s->last;
}

bool jstream_seek(jstream* s, int32_t position)
{
    if (position != 0)
        return false;
    s->read_index = 0;
    s->next_word = 0;
    s->mask = 0;
    s->last = 0.0f;
    return true;
}

bool jstream_eof(const jstream* s) { return s->count <= s->read_index; }

// ---- text form -------------------------------------------------------------------------

void jstream_read_str(lua_State* L, jstream* s)
{
    luaL_Buffer b;
    luaL_buffinit(L, &b);
    jstream_seek(s, 0);
    float before = 0.0f;
    // A mask and 32 values of at most 13 characters each ("-1.17549e-38", "-nan"), a line feed.
    char line[16 + 32 * 16];
    while (!jstream_eof(s)) {
        float values[32];
        uint32_t mask = 0;
        for (int k = 0; k < 32; k++) {
            values[k] = jstream_read(s);
            if (values[k] != before)
                mask |= 1u << k;
            before = values[k];
        }
        int n = snprintf(line, sizeof(line), "%u", mask);
        for (int k = 0; k < 32; k++)
            if (mask & (1u << k))
                n += snprintf(line + n, sizeof(line) - n, " %g", (double)values[k]);
        n += snprintf(line + n, sizeof(line) - n, "\n");
        luaL_addlstring(&b, line, (size_t)n);
    }
    luaL_pushresult(&b);
}

static const char* skip_space(const char* p)
{
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f')
        p++;
    return p;
}

// An unsigned decimal mask at p (leading white space skipped); false when there is none.
static bool read_mask(const char** p, uint32_t* mask)
{
    const char* at = skip_space(*p);
    if (*at < '0' || *at > '9')
        return false;
    char* end;
    unsigned long long v = strtoull(at, &end, 10);
    *mask = v > 0xFFFFFFFFull ? 0xFFFFFFFFu : (uint32_t)v;
    *p = end;
    return true;
}

// A decimal number at p (leading white space skipped); 0, and nothing consumed, when none.
static float read_value(const char** p)
{
    char* end;
    float v = strtof(*p, &end);
    if (end == *p)
        return 0.0f;
    *p = end;
    return v;
}

// Closes a group that single writes left partial, as the text form would: the positions
// past its last value repeat that value (their bits clear), so text groups start aligned.
static void close_partial_group(jstream* s)
{
    int32_t written = s->count % 32;
    if (written == 0)
        return;
    uint32_t kept = (1u << written) - 1;
    int32_t at = s->words.count - 1 - written;
    if (at >= 0)
        ((uint32_t*)s->words.data)[at] &= kept;
    // A reader inside that group holds its mask already.
    int32_t start = s->count - written;
    if (s->read_index > start && s->read_index < start + 32)
        s->mask &= kept;
    s->count += 32 - written;
}

void jstream_write_str(jstream* s, const char* text)
{
    const char* p = text;
    uint32_t mask;
    if (!read_mask(&p, &mask))
        return;
    close_partial_group(s);
    do {
        if (s->count > INT32_MAX - 32)
            return;
        append_word(s, mask);
        for (int k = 0; k < 32; k++)
            if (mask & (1u << k))
                append_word(s, float_word(read_value(&p)));
        s->count += 32;
        p = skip_space(p);
    } while (*p && read_mask(&p, &mask));
}

// ---- Lua library -----------------------------------------------------------------------

static jstream* bound_stream(lua_State* L) { return (jstream*)lua_lib_bound_ptr(L, "jstream"); }

// A script's number as a float: beyond the float range it becomes an infinity of its sign.
static float to_float(double d)
{
    if (d > FLT_MAX)
        return INFINITY;
    if (d < -FLT_MAX)
        return -INFINITY;
    return (float)d;
}

static int stream_seek(lua_State* L)
{
    jstream* s = bound_stream(L);
    double d = luaL_checknumber(L, 1);
    // The integer part decides; only 0 is accepted, so any other value stands for itself.
    jstream_seek(s, d > -1.0 && d < 1.0 ? 0 : 1);
    return 0;
}

static int stream_read(lua_State* L)
{
    lua_pushnumber(L, jstream_read(bound_stream(L)));
    return 1;
}

static int stream_write(lua_State* L)
{
    jstream* s = bound_stream(L);
    jstream_write(s, to_float(luaL_checknumber(L, 1)));
    return 0;
}

static int stream_eof(lua_State* L)
{
    lua_pushboolean(L, jstream_eof(bound_stream(L)));
    return 1;
}

static int stream_read_str(lua_State* L)
{
    jstream_read_str(L, bound_stream(L));
    return 1;
}

static int stream_write_str(lua_State* L)
{
    jstream* s = bound_stream(L);
    jstream_write_str(s, luaL_checkstring(L, 1));
    return 0;
}

static const luaL_Reg stream_funcs[] = {
    {"seek", stream_seek},         {"read", stream_read},         {"write", stream_write},
    {"eof", stream_eof},           {"read_str", stream_read_str}, {"write_str", stream_write_str},
    {nullptr, nullptr},
};

static int stream_gc(lua_State* L)
{
    void** slot = lua_lib_ptr_slot(L, 1, JSTREAM_TYPE);
    if (slot && *slot) {
        jstream_free((jstream*)*slot);
        *slot = nullptr;
    }
    return 0;
}

static int journal_alloc_stream(lua_State* L)
{
    // The userdata exists before the stream, so a Lua error after this point cannot lose it.
    void** cell = lua_lib_new_ptr(L, JSTREAM_TYPE, nullptr);
    jstream* s = jstream_alloc(&JOURNALS, 16, 16);
    if (s) {
        *cell = s;
        s->cell = cell;
    }
    lua_lib_push_bound(L, -1, stream_funcs);
    return 1;
}

static const luaL_Reg journal_funcs[] = {
    {"alloc_stream", journal_alloc_stream},
    {nullptr, nullptr},
};

void journal_lua_setup(lua_State* L)
{
    lua_lib_new_ptr_type(L, JSTREAM_TYPE, stream_gc);
    lua_lib_register(L, "journal", journal_funcs);
    lua_lib_run_script(L, "journal");
}

void journal_lua_clean(lua_State* L) { lua_lib_unregister(L, "journal"); }
