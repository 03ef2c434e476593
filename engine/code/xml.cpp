// XML scanner: a 50-state table walked one character at a time. Each state is a row of
// entries tried in order; the first that accepts the character runs its actions (ending
// a token through its callback, or starting to collect one) and names the next state.

#include "engine/code/xml.h"

#include <cstring>

// ---- character classes -----------------------------------------------------------------

enum { CL_NAME_START, CL_CHAR, CL_SPACE, CL_NAME, CL_HEX, CL_DIGIT };

struct xml_range {
    uint16_t lo, hi;
};

// Each class ends with a range whose low bound is 0.
static const xml_range xml_classes[6][12] = {
    {{'A', 'Z'}, {'a', 'z'}, {0x80, 0xFFFF}, {0, 0}},
    {{9, 9}, {10, 10}, {13, 13}, {0x20, 0xFFFF}, {0, 0}},
    {{9, 9}, {10, 10}, {13, 13}, {' ', ' '}, {0, 0}},
    {{'.', '.'}, {'-', '-'}, {'_', '_'}, {':', ':'}, {'0', '9'}, {'A', 'Z'}, {'a', 'z'}, {0x80, 0xFFFF}, {0, 0}},
    {{'0', '9'}, {'a', 'f'}, {'A', 'F'}, {0, 0}},
    {{'0', '9'}, {0, 0}},
};

static bool xml_in_class(unsigned c, int cls)
{
    for (const xml_range* r = xml_classes[cls]; r->lo; r++)
        if (c >= r->lo && c <= r->hi)
            return true;
    return false;
}

// ---- the state table -------------------------------------------------------------------

enum { K_CLASS = 0, K_EQ = 1, K_EQ2 = 2, K_SPECIAL = 3, K_END = 4 };
enum { SP_SKIP = 0, SP_MATCH = 1 };
enum {
    A_APPEND = 0x01, A_ELEMENT = 0x02, A_ATTR_NAME = 0x04, A_ATTR_VALUE = 0x08,
    A_TEXT = 0x10, A_SPACE = 0x20, A_ENTITY = 0x80,
};

struct xml_entry {
    int32_t kind;
    uint16_t arg;
    int32_t next;
    uint8_t actions;
};

#define C(cls, next, act) {K_CLASS, CL_##cls, next, act}
#define E(ch, next, act) {K_EQ, (uint16_t)(ch), next, act}
#define END {K_END, 0, 0, 0}

static const xml_entry xml_table[50][9] = {
    /* 0 */ {E('<', 1, 0), E('&', 2, A_APPEND), C(SPACE, 34, A_APPEND), C(CHAR, 35, A_APPEND), END},
    /* 1 */ {E('/', 4, A_APPEND), E('_', 5, A_APPEND), E(':', 5, A_APPEND), E('?', 25, 0), E('!', 21, 0),
             C(NAME_START, 5, A_APPEND), END},
    /* 2 */ {E('_', 6, 0), E(':', 6, 0), E('#', 30, 0), C(NAME_START, 6, 0), END},
    /* 3 */ {END},
    /* 4 */ {E('_', 7, 0), E(':', 7, 0), C(NAME_START, 7, 0), END},
    /* 5 */ {C(NAME, 5, 0), C(SPACE, 8, A_ELEMENT), E('/', 7, A_APPEND), E('>', 0, A_ELEMENT), END},
    /* 6 */ {E(';', 0, A_ENTITY), C(NAME, 6, 0), END},
    /* 7 */ {C(NAME, 7, 0), C(SPACE, 9, A_ELEMENT), E('>', 0, A_ELEMENT), END},
    /* 8 */ {C(SPACE, 8, 0), E('>', 0, 0), E('/', 7, A_APPEND), E('_', 10, A_APPEND), E(':', 10, A_APPEND),
             C(NAME_START, 10, A_APPEND), END},
    /* 9 */ {C(SPACE, 9, 0), E('>', 0, 0), END},
    /* 10 */ {C(SPACE, 11, A_ATTR_NAME), C(NAME, 10, 0), E('=', 12, A_ATTR_NAME), END},
    /* 11 */ {C(SPACE, 11, 0), E('=', 12, 0), END},
    /* 12 */ {C(SPACE, 12, 0), E('"', 13, 0), E('\'', 17, 0), END},
    /* 13 */ {E('"', 8, A_ATTR_VALUE), E('<', -2, 0), E('&', 15, A_APPEND), C(CHAR, 13, A_APPEND), END},
    /* 14 */ {E('>', 0, 0), END},
    /* 15 */ {E('_', 16, 0), E(':', 16, 0), C(NAME_START, 16, 0), END},
    /* 16 */ {C(NAME, 16, 0), E(';', 13, A_ENTITY), END},
    /* 17 */ {E('\'', 8, A_ATTR_VALUE), E('<', -2, 0), E('&', 18, A_APPEND), C(CHAR, 17, A_APPEND), END},
    /* 18 */ {E('_', 19, 0), E(':', 19, 0), C(NAME_START, 19, 0), END},
    /* 19 */ {C(NAME, 19, 0), E(';', 17, A_ENTITY), END},
    /* 20 */ {{K_SPECIAL, SP_SKIP, 0, 0}, END},
    /* 21 */ {E('-', 36, 0), E('D', 37, 0), E('[', 43, 0), END},
    /* 22 */ {E(']', 23, 0), C(CHAR, 22, 0), END},
    /* 23 */ {E(']', 24, 0), C(CHAR, 22, 0), END},
    /* 24 */ {E('>', 0, 0), E(']', 24, 0), C(CHAR, 22, 0), END},
    /* 25 */ {E('?', 26, 0), C(CHAR, 25, 0), END},
    /* 26 */ {E('>', 0, 0), E('?', 26, 0), C(CHAR, 25, 0), END},
    /* 27 */ {E('-', 28, 0), C(CHAR, 27, 0), END},
    /* 28 */ {E('-', 29, 0), C(CHAR, 27, 0), END},
    /* 29 */ {E('>', 0, 0), END},
    /* 30 */ {E('x', 31, 0), C(DIGIT, 33, 0), END},
    /* 31 */ {C(HEX, 32, 0), END},
    /* 32 */ {C(HEX, 32, 0), E(';', 0, A_ENTITY), END},
    /* 33 */ {C(DIGIT, 33, 0), E(';', 0, A_ENTITY), END},
    /* 34 */ {E('<', 1, A_SPACE), E('&', 2, A_SPACE | A_APPEND), C(SPACE, 34, 0), C(CHAR, 35, A_SPACE | A_APPEND), END},
    /* 35 */ {E('<', 1, A_TEXT), E('&', 2, A_TEXT | A_APPEND), C(SPACE, 34, A_TEXT | A_APPEND), C(CHAR, 35, 0), END},
    /* 36 */ {E('-', 27, 0), END},
    /* 37 */ {E('O', 38, 0), END},
    /* 38 */ {E('C', 39, 0), END},
    /* 39 */ {E('T', 40, 0), END},
    /* 40 */ {E('Y', 41, 0), END},
    /* 41 */ {E('P', 42, 0), END},
    /* 42 */ {E('E', 20, 0), END},
    /* 43 */ {E('C', 44, 0), END},
    /* 44 */ {E('D', 45, 0), END},
    /* 45 */ {E('A', 46, 0), END},
    /* 46 */ {E('T', 47, 0), END},
    /* 47 */ {E('A', 48, 0), END},
    /* 48 */ {E('[', 22, 0), END},
    /* 49 */ {E('>', 0, A_ATTR_VALUE), C(SPACE, 8, A_ATTR_VALUE), C(CHAR, 49, A_APPEND), END},
};

#undef C
#undef E
#undef END

// ---- scanning --------------------------------------------------------------------------

static unsigned xml_char_at(const xml_scan_ctx* x, int32_t pos)
{
    const uint8_t* b = (const uint8_t*)x->buffer;
    if (x->width == 1)
        return b[pos];
    if (x->width == 2 && pos + 1 < x->length)
        return (unsigned)b[pos] | ((unsigned)b[pos + 1] << 8);
    return 0;
}

static void xml_end_token(xml_scan_ctx* x, xml_callback cb)
{
    x->append = false;
    // The token area has two spare bytes beyond its capacity for this terminator.
    x->token[x->token_length] = 0;
    x->token[x->token_length + 1] = 0;
    x->token_length = 0;
    if (cb)
        cb(x);
}

static void xml_run_actions(xml_scan_ctx* x, uint8_t a)
{
    if (a & A_ELEMENT) xml_end_token(x, x->on_element);
    if (a & A_ATTR_NAME) xml_end_token(x, x->on_attribute_name);
    if (a & A_ATTR_VALUE) xml_end_token(x, x->on_attribute_value);
    if (a & A_TEXT) xml_end_token(x, x->on_text);
    if (a & A_SPACE) xml_end_token(x, x->on_space);
    if (a & A_ENTITY) xml_end_token(x, x->on_entity);
    if (a & A_APPEND) x->append = true;
}

// Skips the DOCTYPE body: quoted runs are opaque, '<' and '>' nest. Stops on the '>' that
// closes it (which the main loop then steps over) or at the end of the buffer.
static bool xml_block_skip(xml_scan_ctx* x)
{
    int32_t step = x->width > 0 ? x->width : 1; // as the main loop steps
    while (x->position < x->length && x->depth >= 0) {
        unsigned c = xml_char_at(x, x->position);
        if (c == '"') {
            if (x->double_quotes) x->double_quotes = 0;
            else if (!x->single_quotes) x->double_quotes = 1;
        } else if (c == '\'') {
            if (x->single_quotes) x->single_quotes = 0;
            else if (!x->double_quotes) x->single_quotes = 1;
        } else if (!x->single_quotes && !x->double_quotes) {
            if (c == '<') x->depth++;
            else if (c == '>') x->depth--;
        }
        if (x->depth < 0)
            break;
        x->position += step;
    }
    if (x->depth < 0) {
        x->single_quotes = x->double_quotes = x->depth = 0;
        return true;
    }
    return false;
}

static bool xml_match(xml_scan_ctx* x, unsigned c)
{
    if (!x->match_text)
        return false;
    if (c >= 'A' && c <= 'Z')
        c += 'a' - 'A';
    if (c == (unsigned char)x->match_text[x->match_index])
        x->match_index++;
    else
        x->match_index = 0;
    if (x->match_text[x->match_index] == 0) {
        x->match_text = nullptr;
        return true;
    }
    return false;
}

static void xml_store(xml_scan_ctx* x, unsigned c)
{
    if (x->token_length + x->width > x->token_capacity || x->width < 1 || x->width > 2)
        return;
    x->token[x->token_length] = (char)(c & 0xFF);
    if (x->width == 2)
        x->token[x->token_length + 1] = (char)(c >> 8);
    x->token_length += x->width;
}

void xml_scan(xml_scan_ctx* x)
{
    // A width outside 1..2 would never move the position; every char of it reads as 0, which
    // no state accepts, so the scan ends on its first step anyway. Guard the step size.
    int32_t step = x->width > 0 ? x->width : 1;
    while (x->position < x->length && x->state >= 0 && x->state < 50) {
        unsigned c = xml_char_at(x, x->position);
        const xml_entry* row = xml_table[x->state];
        for (int i = 0; i < 9; i++) {
            const xml_entry* e = &row[i];
            if (e->kind == K_END) {
                x->state = -1;
                return;
            }
            if (e->kind == K_SPECIAL) {
                bool done = e->arg == SP_SKIP ? xml_block_skip(x) : xml_match(x, c);
                if (done)
                    x->state = e->next;
                break;
            }
            bool hit = e->kind == K_CLASS ? xml_in_class(c, e->arg) : c == e->arg;
            if (!hit)
                continue;
            int32_t before = x->state;
            xml_run_actions(x, e->actions);
            if (x->state == before)
                x->state = e->next;
            break;
        }
        if (x->append)
            xml_store(x, c);
        x->position += step;
    }
}
