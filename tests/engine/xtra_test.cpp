// Lua library xtra, driven from Lua: folders and copies, listings, colours, the XML and
// CSV parsers.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/stat.h>

#include "engine/code/safelua.h"
#include "engine/code/xtra.h"
#include "tests/harness/harness.h"
#include "tests/harness/lua_fixture.h"

namespace {

// A printable form of a result: tables with [0] first, then named fields in order, then items.
const char* DUMP = R"(
function dump(v)
  if type(v) ~= "table" then return type(v) == "string" and ("'" .. v .. "'") or tostring(v) end
  local parts, names = {}, {}
  if v[0] ~= nil then table.insert(parts, "0=" .. dump(v[0])) end
  for k in pairs(v) do if type(k) == "string" then table.insert(names, k) end end
  table.sort(names)
  for _, k in ipairs(names) do table.insert(parts, k .. "=" .. dump(v[k])) end
  for i = 1, table.getn(v) do table.insert(parts, dump(v[i])) end
  return "{" .. table.concat(parts, ",") .. "}"
end
)";

int open_body(lua_State* L)
{
    safelua_open_libs(L);
    xtra_lua_register(L);
    return 0;
}

struct Xtra : testing::Test {
    lua_State* L = nullptr;
    void SetUp() override
    {
        L = luaL_newstate();
        ASSERT_TRUE(safelua_cpcall(L, open_body, nullptr));
        ASSERT_EQ(luaL_dostring(L, DUMP), 0);
    }
    void TearDown() override { lua_close(L); }
    // dump(result) of the expression, or "error: <message>".
    std::string eval(const std::string& expr) { return lua_fixture_eval(L, ("dump(" + expr + ")").c_str()); }
};

// An error result whose message ends with the given text (Lua puts the caller's position first).
bool raises(const std::string& result, const std::string& tail)
{
    return result.rfind("error: ", 0) == 0 && harness_ends_with(result, tail.c_str());
}

// A small file whose text is its own path.
void touch(const char* path) { harness_write_file(path, path); }

} // namespace

TEST_F(Xtra, FoldersAndCopies)
{
    EXPECT_EQ(eval("xtra.makedir('sub')"), "nil");
    EXPECT_EQ(eval("xtra.makedir('sub')"), "nil") << "an existing folder is fine";
    EXPECT_TRUE(raises(eval("xtra.makedir('no/such/parent')"), "_mkdir(no/such/parent) failed"));

    touch("a.txt");
    touch("sub/b.txt");
    EXPECT_EQ(eval("xtra.copyfile('a.txt', 'sub\\\\b.txt')"), "nil") << "replaces, '\\' is a separator";
    EXPECT_EQ(harness_read_file("sub/b.txt"), "a.txt");
    EXPECT_TRUE(raises(eval("xtra.copyfile('missing', 'c.txt')"), "CopyFile(missing,c.txt) failed"));
    EXPECT_TRUE(raises(eval("xtra.copyfile('a.txt', './a.txt')"), "CopyFile(a.txt,./a.txt) failed"))
        << "a file copied onto itself would be lost";
    EXPECT_EQ(harness_read_file("a.txt"), "a.txt");
}

TEST_F(Xtra, DirListsLikeTheWindowsSearch)
{
    mkdir("d", 0777);
    mkdir("d/Folder", 0777);
    for (const char* f : {"d/b.lua", "d/A.lua", "d/x.TXT", "d/y.txt", "d/noext"})
        touch(f);
    EXPECT_EQ(eval("xtra.dir('d/*.lua', 'd\\\\?.TXT')"), "{'A.lua','b.lua','x.TXT','y.txt'}");
    EXPECT_EQ(eval("xtra.dir('d/*.*')"), "{'.','..','A.lua','b.lua','Folder','noext','x.TXT','y.txt'}");
    EXPECT_EQ(eval("xtra.dir('d/noext', {}, 'd/*.lua')"), "{'noext'}") << "stops at a non-string";
    chdir("d");
    EXPECT_EQ(eval("table.getn(xtra.dir())"), "8") << "no pattern means *.*";
    chdir("..");
}

TEST_F(Xtra, Colours)
{
    EXPECT_EQ(eval("xtra.str2argb(' 0xff102030 ')"), "{a=255,b=48,g=32,r=16}");
    EXPECT_EQ(eval("xtra.argb2str({a=300, r=-5, g=16, b=1})"), "'0xff001001'");
    EXPECT_EQ(eval("xtra.argb2str({r=12.9, b=0/0, g=1e300})"), "'0x000cff00'") << "truncated, NaN and huge clamped";
}

TEST_F(Xtra, ParseXmlBuildsTheTreeAndFailsCleanly)
{
    EXPECT_EQ(eval("xtra.parse_xml([[<a x='1'>hi<b/>there</a>]])"), "{{0='a',x='1','hi',{0='b'},'there'}}");
    EXPECT_EQ(eval("xtra.parse_xml('<p>\\n  one \\t two&amp;three<!-- c -->four  </p>')"),
              "{{0='p','one twothreefour'}}") << "white space collapsed, entities dropped, runs joined";
    EXPECT_EQ(eval("xtra.parse_xml('lead <a>x</a> <b>y</b> trailing')"), "{'lead',{0='a','x'},{0='b','y'}}");

    // Failures are clean.
    EXPECT_EQ(eval("xtra.parse_xml('<a><b>x</b><c>unfinished')"), "{}") << "open elements are lost";
    EXPECT_EQ(eval("xtra.parse_xml('<a/><b>x</b><c \\1 ')"), "{{0='a'},{0='b','x'}}") << "stops at a bad character";
    EXPECT_TRUE(raises(eval("xtra.parse_xml('<a/></a>')"), "XML end tag </a> without an open element"));
    EXPECT_TRUE(raises(eval("xtra.parse_xml(string.rep('<a>', 4000))"), "Failed to grow stack, XML file is too deep"));
    EXPECT_EQ(eval("table.getn(xtra.parse_xml(string.rep('<a>', 500) .. string.rep('</a>', 500)))"), "1");
}

TEST_F(Xtra, ParseCsvLine)
{
    const std::string line = "xtra.parse_csv_line('a, \"b,c\" ,,d'";
    EXPECT_EQ(eval(line + ")"), "{'a','b,c','','d'}");
    EXPECT_EQ(eval(line + ", 4)"), "'d'");
    for (const char* field : {", 3)", ", 9)", ", 0)", ", 0/0)"})
        EXPECT_EQ(eval(line + field), "nil") << field;
    EXPECT_EQ(eval("xtra.parse_csv_line('\"x\"\"y\"\"z\"')"), "{'x\"\"y\"\"z'}") << "doubled quotes stay doubled";
    EXPECT_EQ(eval("xtra.parse_csv_line('a,b,')"), "{'a','b'}") << "a trailing comma adds nothing";
    EXPECT_EQ(eval("xtra.parse_csv_line('\"q\"rest , t ')"), "{'q','rest','t'}");
    EXPECT_EQ(eval("xtra.parse_csv_line('\" open, end')"), "{'open, end'}");
}
