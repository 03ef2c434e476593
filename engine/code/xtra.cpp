// Lua library xtra: folders, file copies, pattern listings, colour texts, the XML-to-table
// parser and the CSV line splitter.
//
// Sections: files, colours, XML, CSV, registration.
//
// Lua errors unwind with longjmp through these functions: they hold nothing with a
// destructor, and every buffer they fill lives in a Lua userdata.

#include "engine/code/xtra.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/code/lua_lib.h"
#include "engine/code/xml.h"
#include "platform/plat_fs.h"

// ---- files -----------------------------------------------------------------------------

static int xtra_makedir(lua_State* L)
{
    const char* path = luaL_checkstring(L, 1);
    if (_mkdir(path) != 0 && errno != EEXIST)
        luaL_error(L, "_mkdir(%s) failed", path);
    return 0;
}

static int xtra_copyfile(lua_State* L)
{
    const char* source = luaL_checkstring(L, 1);
    const char* destination = luaL_checkstring(L, 2);
    if (!CopyFileA(source, destination, FALSE))
        luaL_error(L, "CopyFile(%s,%s) failed", source, destination);
    return 0;
}

// dir(pattern, ...): the names matching each pattern in turn under 1, 2, 3 ... A first
// argument that is no string means "*.*"; the walk stops at the first later non-string.
static int xtra_dir(lua_State* L)
{
    int top = lua_gettop(L);
    lua_newtable(L);
    int result = top + 1;
    int n = 0;
    for (int i = 1;; i++) {
        const char* pattern;
        if (i == 1)
            pattern = top >= 1 && lua_isstring(L, 1) ? lua_tostring(L, 1) : "*.*";
        else if (i <= top && lua_isstring(L, i))
            pattern = lua_tostring(L, i);
        else
            break;
        WIN32_FIND_DATAA found;
        HANDLE h = FindFirstFileA(pattern, &found);
        if (h == INVALID_HANDLE_VALUE)
            continue;
        do {
            lua_pushstring(L, found.cFileName);
            lua_rawseti(L, result, ++n);
        } while (FindNextFileA(h, &found));
        FindClose(h);
    }
    return 1;
}

// ---- colours ---------------------------------------------------------------------------

static void xtra_set_channel(lua_State* L, const char* name, uint32_t v)
{
    lua_pushstring(L, name);
    lua_pushnumber(L, (lua_Number)v);
    lua_rawset(L, -3);
}

// str2argb("0xAARRGGBB") -> {a, r, g, b}. Decimal, 0x hexadecimal or 0 octal; the value
// keeps its low 32 bits, so colours with alpha 0x80 and above read correctly. 0 when the
// text is missing or does not scan.
static int xtra_str2argb(lua_State* L)
{
    uint32_t v = 0;
    if (lua_isstring(L, 1)) {
        const char* s = lua_tostring(L, 1);
        char* end = nullptr;
        long long x = strtoll(s, &end, 0);
        if (end != s)
            v = (uint32_t)(unsigned long long)x;
    }
    lua_newtable(L);
    xtra_set_channel(L, "a", v >> 24);
    xtra_set_channel(L, "r", (v >> 16) & 0xFF);
    xtra_set_channel(L, "g", (v >> 8) & 0xFF);
    xtra_set_channel(L, "b", v & 0xFF);
    return 1;
}

// A channel as an integer 0-255: truncated toward zero, clamped before the conversion so
// that NaN and huge values are well defined.
static uint32_t xtra_get_channel(lua_State* L, const char* name)
{
    lua_getfield(L, 1, name);
    double v = lua_tonumber(L, -1);
    lua_pop(L, 1);
    if (!(v >= 0.0))
        return 0;
    if (v >= 255.0)
        return 255;
    return (uint32_t)v;
}

static int xtra_argb2str(lua_State* L)
{
    luaL_checktype(L, 1, LUA_TTABLE);
    uint32_t a = xtra_get_channel(L, "a"), r = xtra_get_channel(L, "r");
    uint32_t g = xtra_get_channel(L, "g"), b = xtra_get_channel(L, "b");
    char text[16];
    snprintf(text, sizeof(text), "0x%08x", (a << 24) | (r << 16) | (g << 8) | b);
    lua_pushstring(L, text);
    return 1;
}

// ---- XML -------------------------------------------------------------------------------
//
// Stack during the scan: 1 the text, 2 the token area (userdata), 3 the root table, 4 its
// next item number, then a (table, next item number) pair for every open element; the open
// element is the top pair. An attribute name waits on top until its value arrives.
//
// Text is kept in the token area: each text run stays where it was collected and the next
// token is collected behind it; a white-space run leaves one space (none at the start or
// after another space). Entity tokens are overwritten by what follows, so they drop out.

struct xtra_xml {
    lua_State* L;
    char* area;     // start of the token area
    char* area_end; // two bytes beyond the last token byte, for the scanner's terminator
};

static void xml_token_at(xml_scan_ctx* x, char* p)
{
    xtra_xml* s = (xtra_xml*)x->user;
    x->token = p;
    x->token_capacity = (int32_t)(s->area_end - p) - 2;
}

// Adds the text collected before `end` (trailing spaces cut) as the next item of the
// element whose table is at index t (its item number at t + 1), and restarts the area.
static void xml_add_text(xml_scan_ctx* x, char* end, int t)
{
    xtra_xml* s = (xtra_xml*)x->user;
    lua_State* L = s->L;
    while (end > s->area && end[-1] == ' ')
        end--;
    if (end > s->area) {
        int n = (int)lua_tointeger(L, t + 1);
        lua_pushlstring(L, s->area, (size_t)(end - s->area));
        lua_rawseti(L, t, n);
        lua_pushinteger(L, n + 1);
        lua_replace(L, t + 1);
    }
    xml_token_at(x, s->area);
}

// Stores the table on the stack top as the next item of the open element (below it).
static void xml_store_item(lua_State* L)
{
    int n = (int)lua_tointeger(L, -2);
    lua_rawseti(L, -3, n);
    lua_pushinteger(L, n + 1);
    lua_replace(L, -2);
}

static void xml_grow(lua_State* L)
{
    if (!lua_checkstack(L, 5))
        luaL_error(L, "Failed to grow stack, XML file is too deep");
}

static void xml_on_element(xml_scan_ctx* x)
{
    xtra_xml* s = (xtra_xml*)x->user;
    lua_State* L = s->L;
    char* tok = x->token;
    size_t len = strlen(tok);
    int open = lua_gettop(L) - 1; // the open element's table
    if (tok[0] == '/') {
        xml_add_text(x, tok, open);
        if (open <= 3)
            luaL_error(L, "XML end tag <%s> without an open element", tok);
        lua_pop(L, 1);
        xml_store_item(L);
    } else if (len && tok[len - 1] == '/') {
        xml_add_text(x, tok, open);
        xml_grow(L);
        lua_newtable(L);
        lua_pushlstring(L, tok, len - 1);
        lua_rawseti(L, -2, 0);
        xml_store_item(L);
    } else {
        xml_grow(L);
        xml_add_text(x, tok, open);
        lua_newtable(L);
        lua_pushstring(L, tok);
        lua_rawseti(L, -2, 0);
        lua_pushinteger(L, 1);
    }
    xml_token_at(x, s->area);
}

static void xml_on_attribute_name(xml_scan_ctx* x)
{
    lua_pushstring(((xtra_xml*)x->user)->L, x->token);
}

static void xml_on_attribute_value(xml_scan_ctx* x)
{
    xtra_xml* s = (xtra_xml*)x->user;
    lua_State* L = s->L;
    lua_pushstring(L, x->token);
    lua_rawset(L, -4);
    xml_token_at(x, s->area);
}

static void xml_on_text(xml_scan_ctx* x)
{
    xml_token_at(x, x->token + strlen(x->token));
}

static void xml_on_space(xml_scan_ctx* x)
{
    xtra_xml* s = (xtra_xml*)x->user;
    if (x->token == s->area || x->token[-1] == ' ' || x->token_capacity < 1)
        return;
    x->token[0] = ' ';
    x->token[1] = 0;
    xml_token_at(x, x->token + 1);
}

int xtra_parse_xml(lua_State* L)
{
    size_t len = 0;
    const char* text = luaL_checklstring(L, 1, &len);
    lua_settop(L, 1);
    if (len > 0x7FFFFFF0u)
        luaL_error(L, "XML text too long");
    // Everything collected is at most what has been read, plus a kept space and the
    // scanner's two-byte terminator.
    char* area = (char*)lua_newuserdata(L, len + 18);
    lua_newtable(L);
    lua_pushinteger(L, 1);

    xtra_xml s = {L, area, area + len + 18};
    xml_scan_ctx x;
    memset(&x, 0, sizeof(x));
    x.buffer = text;
    x.length = (int32_t)len;
    x.width = 1;
    x.user = &s;
    x.on_element = xml_on_element;
    x.on_attribute_name = xml_on_attribute_name;
    x.on_attribute_value = xml_on_attribute_value;
    x.on_text = xml_on_text;
    x.on_space = xml_on_space;
    xml_token_at(&x, area);
    xml_scan(&x);

    lua_pushvalue(L, 3);
    return 1;
}

// ---- CSV -------------------------------------------------------------------------------

static bool csv_space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

struct xtra_csv {
    lua_State* L;
    int want;  // field wanted, 0 for all (then the result table is on the stack top)
    int count;
    bool done; // the wanted field was found and pushed
};

static void csv_field(xtra_csv* c, const char* start, const char* end)
{
    while (end > start && csv_space(end[-1]))
        end--;
    c->count++;
    if (c->want == 0) {
        lua_pushlstring(c->L, start, (size_t)(end - start));
        lua_rawseti(c->L, -2, c->count);
    } else if (c->count == c->want) {
        if (end > start) {
            lua_pushlstring(c->L, start, (size_t)(end - start));
            c->done = true;
        }
    }
}

int xtra_parse_csv_line(lua_State* L)
{
    size_t len = 0;
    const char* s = luaL_checklstring(L, 1, &len);
    xtra_csv c = {L, 0, 0, false};
    if (lua_gettop(L) >= 2 && lua_isnumber(L, 2)) {
        double n = lua_tonumber(L, 2);
        if (!(n >= 1.0 && n < 2147483647.0))
            return 0;
        c.want = (int)n;
    } else {
        lua_newtable(L);
    }

    const char* p = s;
    const char* e = s + len;
    bool after_comma = true; // the start of the line counts as a comma
    while (p < e && !(c.want && c.count >= c.want)) {
        if (csv_space(*p)) {
            p++;
        } else if (*p == ',') {
            if (after_comma)
                csv_field(&c, p, p);
            after_comma = true;
            p++;
        } else if (*p == '"') {
            p++;
            while (p < e && csv_space(*p))
                p++;
            const char* start = p;
            while (p < e && !(*p == '"' && !(p + 1 < e && p[1] == '"')))
                p += *p == '"' ? 2 : 1;
            csv_field(&c, start, p);
            if (p < e)
                p++; // the closing quote
            after_comma = false;
        } else {
            const char* start = p;
            while (p < e && *p != ',')
                p++;
            csv_field(&c, start, p);
            if (p < e)
                p++; // the comma that ends it
            after_comma = true;
        }
    }
    if (c.want)
        return c.done ? 1 : 0;
    return 1;
}

// ---- registration ----------------------------------------------------------------------

static const luaL_Reg xtra_funcs[] = {
    {"makedir", xtra_makedir},
    {"copyfile", xtra_copyfile},
    {"dir", xtra_dir},
    {"str2argb", xtra_str2argb},
    {"argb2str", xtra_argb2str},
    {"parse_xml", xtra_parse_xml},
    {"parse_csv_line", xtra_parse_csv_line},
    {nullptr, nullptr},
};

void xtra_lua_register(lua_State* L)
{
    lua_lib_register(L, "xtra", xtra_funcs);
}
