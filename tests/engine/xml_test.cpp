// XML scanner: the token sequences callers build on, the skipped constructs, the error
// states, token capacity and the end of the buffer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/code/xml.h"

namespace {

// Records each event as its kind letter, ':' and the token.
template <char KIND> void on(xml_scan_ctx* x)
{
    ((std::vector<std::string>*)x->user)->push_back(std::string(1, KIND) + ":" + x->token);
}

// Scans text and returns the events joined by '|', plus the final state.
// Byte text only: no caller scans sixteen-bit text.
std::string scan(const std::string& text, int* state = nullptr, int capacity = 64)
{
    std::vector<std::string> events;
    std::vector<char> token(capacity + 2, 'Z');
    xml_scan_ctx x = {};
    x.buffer = text.data();
    x.length = (int32_t)text.size();
    x.width = 1;
    x.token = token.data();
    x.token_capacity = capacity;
    x.on_element = on<'E'>;
    x.on_attribute_name = on<'A'>;
    x.on_attribute_value = on<'V'>;
    x.on_text = on<'T'>;
    x.on_space = on<'S'>;
    x.on_entity = on<'N'>;
    x.user = &events;
    xml_scan(&x);
    EXPECT_LE(x.position, x.length + 1) << "the scan ends at the buffer's end";
    if (state)
        *state = x.state;
    std::string out;
    for (auto& e : events)
        out += (out.empty() ? "" : "|") + e;
    return out;
}

} // namespace

// Token sequences and the state the scan ends in (NONE: not looked at).
TEST(XmlScan, TokensSkippedConstructsErrorStatesAndCutTokens)
{
    const int NONE = 99;
    struct {
        const char* text;
        const char* events;
        int state;
    } cases[] = {
        {"a&amp;b<x>", "T:a|N:&amp|T:b|E:x", NONE},
        {"<x>tail", "E:x", NONE}, // text at the end is never reported
        {"<x>tail end", "E:x|T:tail|S: ", NONE}, // only the last run is lost
        {"<x> a  b </x>", "E:x|S: |T:a|S:  |T:b|S: |E:/x", NONE},
        {"<x>&#65;&#x4f;</x>", "E:x|N:&#65|N:&#x4f|E:/x", NONE},
        {"<x/>", "E:x/", NONE},
        {"<x a='1'/>", "E:x|A:a|V:1|E:/", NONE},
        {"<x a = \"1\" b='2'></x >", "E:x|A:a|V:1|A:b|V:2|E:/x", NONE},
        {"<ns:x-1._y>", "E:ns:x-1._y", NONE},
        // An entity inside a value ends the value token: only the part after it is reported.
        {"<x a='p&lt;q'>", "E:x|A:a|N:p&lt|V:q", NONE},
        // Comments, CDATA, declarations and the DOCTYPE report nothing.
        {"<a><!-- c <b> - d --></a>", "E:a|E:/a", NONE},
        {"<a><![CDATA[ <b> ]] ]> ]]></a>", "E:a|E:/a", NONE},
        {"<?xml version='1.0'?><a>", "E:a", NONE},
        {"<!DOCTYPE a [ <!ENTITY e \"x>y\"> <!ELEMENT a (#PCDATA)> ]><a>", "E:a", NONE},
        // Errors stop the scan.
        {"ab\x01<x>", "", -1},                 // a control character outside markup
        {"<x a='1<'>", "E:x|A:a", -2},        // '<' inside a value
        {"<a><!-- x -- y --></a>", "E:a", -1}, // two dashes inside a comment must end it
        {"<1x>", "", -1},
        // Truncated input ends cleanly.
        {"<a><!DOCTYPE x [ <!ENTITY y 'z'>", "E:a", 20}, // the unclosed DOCTYPE ran to the end
        {"<a b='unterminated", "E:a|A:b", NONE},
        {"<a><", "E:a", 1},
    };
    for (auto& c : cases) {
        int state = NONE;
        EXPECT_EQ(scan(c.text, &state), c.events) << c.text;
        if (c.state != NONE) {
            EXPECT_EQ(state, c.state) << c.text;
        }
    }
    // A token longer than the area is cut to it.
    EXPECT_EQ(scan("<abcdefgh>", nullptr, 4), "E:abcd");
    EXPECT_EQ(scan("<abc>", nullptr, 3), "E:abc") << "exactly full";
}
