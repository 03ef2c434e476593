// XML scanner: the token sequences callers build on, the skipped constructs, the error
// states, token capacity and the end of the buffer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/code/xml.h"

namespace {

// The token as text: its bytes, or the low byte of each 16-bit unit, up to the zero.
std::string token_text(const xml_scan_ctx* x)
{
    std::string s;
    for (const char* p = x->token; x->width == 1 ? p[0] != 0 : (p[0] != 0 || p[1] != 0); p += x->width)
        s += p[0];
    return s;
}

// Records each event as its kind letter, ':' and the token.
template <char KIND> void on(xml_scan_ctx* x)
{
    ((std::vector<std::string>*)x->user)->push_back(std::string(1, KIND) + ":" + token_text(x));
}

// Scans text and returns the events joined by '|', plus the final state. With width 2 each
// character becomes a little-endian 16-bit unit.
std::string scan(const std::string& text, int* state = nullptr, int capacity = 64, int width = 1)
{
    std::vector<std::string> events;
    std::vector<char> token(capacity + 2, 'Z');
    std::string buf;
    for (char c : text)
        buf += width == 2 ? std::string{c, 0} : std::string(1, c);
    xml_scan_ctx x = {};
    x.buffer = buf.data();
    x.length = (int32_t)buf.size();
    x.width = width;
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
    EXPECT_LE(x.position, x.length + width) << "the scan ends at the buffer's end";
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

// Sixteen-bit text gives the tokens of the same text in bytes. A token area of 5 bytes holds
// two whole units (4 bytes): a unit is stored whole or not at all.
TEST(XmlScan, SixteenBitTextGivesTheSameTokens)
{
    for (const char* doc : {"<r x='1'>a&amp;b <c/></r>", "<?xml version='1.0'?><!-- c --><a k=\"v\">t</a> "})
        EXPECT_EQ(scan(doc, nullptr, 64, 2), scan(doc)) << doc;
    EXPECT_EQ(scan("<abcdefgh>", nullptr, 5, 2), "E:ab");
}
