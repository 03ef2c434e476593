// Lua devil: constants by name, saved rows, the
// attribute stack, and the library's errors raised as Lua errors.
#include <gtest/gtest.h>

#include <IL/il.h>
#include <malloc.h>
#include <string>

#include "tests/engine/gfx/image_lua_fixture.h"

using Devil = ImageLua;

TEST_F(Devil, EnumArgumentsAreNamesLookedUpAtEachCall)
{
    EXPECT_EQ(eval("devil.ENUM.IL_LBM .. ' ' .. devil.DEFS.IL_VERSION"), "1062 167") << "the Amiga type's old name";
    EXPECT_EQ(run("img = devil.alloc() img:create(7, 3, 1, 4, 'IL_RGBA', 'IL_UNSIGNED_BYTE')"), "");
    EXPECT_EQ(eval("devil.get('IL_IMAGE_WIDTH')"), "7") << "the method left its image bound";
    const char* bad[][2] = {{"devil.get(3556)", "\"3556\""}, {"devil.get('IL_NO_SUCH')", "\"IL_NO_SUCH\""},
                            {"devil.get()", "\"no value\""}, {"img:get('BROKEN')", "\"BROKEN\""}};
    EXPECT_EQ(run("devil.ENUM.WIDE = devil.ENUM.IL_IMAGE_HEIGHT devil.ENUM.BROKEN = 'x'"), "");
    for (const auto& b : bad)
        EXPECT_TRUE(harness_ends_with(eval(b[0]), (std::string("invalid DevIL ENUM string ") + b[1]).c_str())) << b[0];
    EXPECT_EQ(eval("img:get('WIDE')"), "3") << "names scripts add are accepted";
    EXPECT_EQ(run("devil.ENUM = nil"), "");
    EXPECT_TRUE(harness_ends_with(eval("img:get('IL_IMAGE_WIDTH')"), "invalid DevIL ENUM string \"IL_IMAGE_WIDTH\""));
}

TEST_F(Devil, LibraryErrorsAreRaisedTheListIsLeftEmptyAndBadSizesAreRefused)
{
    EXPECT_TRUE(fails("img = devil.alloc() img:load('missing.png')", "DevIL ERROR could not open file"));
    EXPECT_EQ(ilGetError(), (ILenum)IL_NO_ERROR);
    EXPECT_EQ(run("img:create(2, 2, 1, 3, 'IL_RGB', 'IL_UNSIGNED_BYTE')"), "") << "no stale error";
    EXPECT_TRUE(fails("devil.pop()", "DevIL ERROR stack underflow"));
    EXPECT_TRUE(fails("devil.alloc().nope()", "attempt to call field 'nope' (a nil value)"));
    EXPECT_TRUE(fails("img.load({}, 'x.png')", "bad argument #1 to 'load' (bad DevIL*)"));

    // Create refuses what the library would get wrong; colour indices wider than a byte
    // corrupted the heap once converted and copied.
    EXPECT_EQ(run("img = devil.alloc() devil.ENUM.IL_ALPHA = 0x1906"), "");
    const char* bad[] = {
        "img:create(4, 4, 1, 1, 'IL_RGBA', 'IL_UNSIGNED_BYTE')",  // 1 channel for RGBA
        "img:create(70000, 70000, 1, 4, 'IL_RGBA', 'IL_UNSIGNED_BYTE')", // wraps 32 bits
        "img:create(-4, 4, 1, 1, 'IL_LUMINANCE', 'IL_UNSIGNED_BYTE')",
        "img:create(2097152, 2097152, 4194304, 1, 'IL_LUMINANCE', 'IL_UNSIGNED_BYTE')", // 2^64
        "img:create(4, 4, 1, 3, 'IL_RGB', 'IL_PNG')", // not a pixel type
        "img:create(4, 4, 1, 1, 'IL_COLOUR_INDEX', 'IL_DOUBLE')",
        "img:create(4, 4, 1, 1, 'IL_COLOUR_INDEX', 'IL_UNSIGNED_SHORT')",
        "img:create(4, 4, 1, 1, 'IL_PNG', 'IL_UNSIGNED_BYTE')", // not a format
        "img:create(4, 4, 1, 1, 'IL_ALPHA', 'IL_UNSIGNED_BYTE')", // not one of ENUM's formats
    };
    for (const char* code : bad)
        EXPECT_TRUE(fails(code, "DevIL ERROR invalid parameter")) << code;
    EXPECT_EQ(run("img:create(4, 4, 1, 1, 'IL_COLOUR_INDEX', 'IL_UNSIGNED_BYTE')"
                  " img:convert('IL_BGRA', 'IL_UNSIGNED_BYTE') devil.alloc():copy(img)"), "");
    EXPECT_EQ(run("img:create(3, 2, 1, 2, 'IL_LUMINANCE_ALPHA', 'IL_FLOAT')"), "");
    EXPECT_EQ(eval("img:get('IL_IMAGE_SIZE_OF_DATA')"), "48");

    // Calls the library would crash or leak on.
    EXPECT_EQ(run("img:copy(img)"), "") << "an image copied onto itself";
    EXPECT_EQ(eval("img:get('IL_IMAGE_SIZE_OF_DATA')"), "48");
    harness_write_file("text.icc", "not a colour profile, only some words of text here");
    for (const char* code : {"img:apply_profile('none.icc', 'none.icc')", "img:apply_profile('text.icc', 'text.icc')"})
        EXPECT_TRUE(fails(code, "DevIL ERROR could not open file")) << code;
    EXPECT_TRUE(fails("img:copy_pal(devil.alloc())", "DevIL ERROR invalid parameter"))
        << "an image without a palette has none to give";
}

TEST_F(Devil, SavedFilesKeepTheTopRowFirst)
{
    EXPECT_EQ(run("img = devil.alloc() img:create(1, 2, 1, 1, 'IL_LUMINANCE', 'IL_UNSIGNED_BYTE')"), "");
    ilBindImage(image("img"));
    ilGetData()[0] = 10; // top row
    ilGetData()[1] = 20;
    EXPECT_EQ(run("img:save('.\\\\col.png') back = devil.alloc() back:load('col.png')"), "")
        << "backslash folders are accepted";
    ilBindImage(image("back"));
    EXPECT_EQ(ilGetData()[0], 10);
    EXPECT_EQ(ilGetData()[1], 20);
}

TEST_F(Devil, AttributeStackAndStrings)
{
    EXPECT_EQ(eval("devil.get_string('IL_PNG_TITLE_STRING')"), "nil");
    EXPECT_EQ(run("devil.push() devil.set('IL_JPG_QUALITY', 42.9)"), "") << "push of unset strings";
    EXPECT_EQ(eval("devil.get('IL_JPG_QUALITY')"), "42");
    // Saving reads 255 bytes of each string the library keeps, whatever its length, and cuts
    // its working copy at the string's own length: the kept copy must hold 256 bytes and the
    // text at most the limit (40 characters for a TGA author), also after a push.
    for (bool pushed : {false, true}) {
        EXPECT_EQ(run(pushed ? "devil.push()" : "devil.set_string('IL_PNG_TITLE_STRING', 't')"
                               " devil.set_string('IL_TGA_AUTHNAME_STRING', string.rep('n', 50))"), "");
        for (ILenum mode : {IL_PNG_TITLE_STRING, IL_TGA_AUTHNAME_STRING, IL_TIF_AUTHNAME_STRING, IL_CHEAD_HEADER_STRING})
            EXPECT_GE(malloc_usable_size((void*)ilGetString(mode)), 256u) << mode << " pushed " << pushed;
        EXPECT_EQ(eval("devil.get_string('IL_PNG_TITLE_STRING')"), "t");
        EXPECT_EQ(eval("devil.get_string('IL_TGA_AUTHNAME_STRING')"), std::string(40, 'n'));
    }
    EXPECT_EQ(run("img = devil.alloc() img:create(2, 2, 1, 4, 'IL_RGBA', 'IL_UNSIGNED_BYTE')"
                  " img:save('titled.png') img:save('titled.tga') devil.pop() devil.pop()"), "");
    EXPECT_NE(eval("devil.get('IL_JPG_QUALITY')"), "42") << "pop restores the pushed value";
    EXPECT_EQ(run("devil.set_hint('IL_MEM_SPEED_HINT', 'IL_FASTEST')"), "");
    EXPECT_TRUE(fails("for i = 1, 40 do devil.push() end", "DevIL ERROR stack overflow"));
    EXPECT_EQ(run("for i = 1, 32 do pcall(devil.pop) end"), "");
}

TEST(DevilUnset, EveryCallIsRefusedUntilTheLibraryIsSetUp)
{
    // Run in a process of its own, before anything initialised the image library.
    devil_library_ready(false);
    lua_State* L = luaL_newstate();
    ASSERT_TRUE(safelua_cpcall(L, ImageLua::open_body, nullptr));
    for (const char* code : {"devil.pop()", "devil.push()", "devil.alloc():load('x.png')",
                             "devil.get('IL_JPG_QUALITY')", "devil.set_string('IL_PNG_TITLE_STRING', 't')",
                             "devil.set_hint('IL_MEM_SPEED_HINT', 'IL_FASTEST')"})
        EXPECT_TRUE(harness_ends_with(lua_fixture_run(L, code), "the image library is not set up")) << code;
    lua_close(L);
}

