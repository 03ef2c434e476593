// XML scanner: a small table-driven tokenizer over 8-bit or 16-bit (little-endian) text.
// It reports element names, attribute names and values, text runs, white-space runs and
// entity references through callbacks and builds nothing itself; it does not balance tags
// and drops comments, processing instructions, CDATA sections and the DOCTYPE.
//
// Tokens, as the element callback sees them: "x" a start tag's name (reported at the
// space or '>' after it), "/x" an end tag, "x/" an empty-element tag without attributes,
// "/" the end of an empty-element tag with attributes. Text at the very end of the buffer
// (after the last markup) is collected but never reported.
#pragma once

#include <cstdint>

struct xml_scan_ctx;
typedef void (*xml_callback)(xml_scan_ctx* ctx);

// Filled by the caller before xml_scan. Every callback may be null.
struct xml_scan_ctx {
    const void* buffer;
    int32_t position;   // bytes; normally 0 at the start
    int32_t length;     // end of the text in bytes
    int32_t width;      // 1: bytes 0-255; 2: 16-bit little-endian units; other: every char reads 0
    int32_t state;      // 0 at start; -1 after an unaccepted character, -2 after '<' in a value
    bool append;        // the current character goes into the token
    // The token is collected here. The caller provides capacity + 2 bytes (a 16-bit zero is
    // written at the token's end even when it is full). During a callback the token is the
    // zero-terminated text at `token` (token_length is already 0); a callback may move the
    // pointer, and the next token is collected from wherever it then points.
    char* token;
    int32_t token_length;
    int32_t token_capacity;
    int32_t single_quotes, double_quotes, depth; // DOCTYPE skip counters, 0 outside it
    const char* match_text;                      // unused by the table
    int32_t match_index;
    xml_callback on_element, on_attribute_name, on_attribute_value, on_text, on_space, on_entity;
    void* user;
};

// Runs until the position reaches the length or the state is -1 or -2. The caller reads
// the final state.
void xml_scan(xml_scan_ctx* ctx);
