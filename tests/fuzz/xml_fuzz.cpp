// Fuzz target for the XML scanner: the first byte picks the character width and the token
// capacity, the rest is the text. Every callback reads its token, so a token written
// beyond its area or left unterminated shows up under the address sanitizer.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/code/xml.h"

static volatile size_t sink;

static void read_token(xml_scan_ctx* x) { sink = sink + strlen(x->token); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 1 << 16)
        return 0;
    int32_t width = (data[0] & 1) ? 2 : 1;
    int32_t capacity = (data[0] >> 1) * 4; // 0 .. 508
    size_t len = size - 1;
    uint8_t* text = (uint8_t*)malloc(len ? len : 1);
    if (len)
        memcpy(text, data + 1, len);
    // The scanner's contract: capacity + 2 bytes for the 16-bit terminator.
    char* token = (char*)malloc((size_t)capacity + 2);

    xml_scan_ctx x;
    memset(&x, 0, sizeof(x));
    x.buffer = text;
    x.length = (int32_t)len;
    x.width = width;
    x.token = token;
    x.token_capacity = capacity;
    x.on_element = x.on_attribute_name = x.on_attribute_value = read_token;
    x.on_text = x.on_space = x.on_entity = read_token;
    xml_scan(&x);
    if (x.state != -1 && x.state != -2 && (x.position < x.length || x.state >= 50))
        abort(); // the scan ended early without an error state

    free(token);
    free(text);
    return 0;
}
