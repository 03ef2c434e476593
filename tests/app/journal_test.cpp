// Journal streams: reading back what was written, the compact text form both ways, and the
// Lua library's streams with their lifetime.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "app/code/journal.h"
#include "engine/code/safelua.h"
#include "tests/app/shell_globals_fixture.h"
#include "tests/harness/harness.h"
#include "tests/harness/lua_fixture.h"

namespace {

std::vector<float> read_n(jstream* s, int n)
{
    std::vector<float> out;
    for (int i = 0; i < n; i++)
        out.push_back(jstream_read(s));
    return out;
}

// Runs of (count, value) make the expected reads.
std::vector<float> runs(std::vector<std::pair<int, float>> r)
{
    std::vector<float> out;
    for (auto& [n, v] : r)
        out.insert(out.end(), n, v);
    return out;
}

// A stream `s` made natively, and a Lua state with the library registered.
struct Journal : testing::Test {
    lua_State* L = nullptr;
    jstream* s = nullptr;
    shell_globals* saved = nullptr;
    void SetUp() override
    {
        saved = shell_globals_save();
        mkdir("local", 0777);
        mkdir("local/lua", 0777);
        harness_write_file("local/lua/journal.lua", "script_saw = type(journal.alloc_stream)");
        ASSERT_TRUE(journals_setup(&JOURNALS));
        L = luaL_newstate();
        ASSERT_TRUE(safelua_cpcall(L, safelua_open_libs, nullptr));
        journal_lua_setup(L);
        s = jstream_alloc(&JOURNALS, 16, 16);
        ASSERT_NE(s, nullptr);
    }
    void TearDown() override
    {
        lua_close(L);
        journals_clean(&JOURNALS);
        shell_globals_restore(saved);
        saved = nullptr;
    }
    std::string text_of(jstream* stream)
    {
        jstream_read_str(L, stream);
        std::string t = lua_tostring(L, -1);
        lua_pop(L, 1);
        return t;
    }
    std::string run(const char* code) { return lua_fixture_run(L, code); }
    std::string eval(const char* expr) { return lua_fixture_eval(L, expr); }
};

} // namespace

// A line per 32 positions: the mask has bit k when value k differs from the one before it
// (0 before the first), then those values. 1, 1, 2: bits 0 and 2, mask 5. 0, 0, 7: only bit
// 2, mask 4. 0.5, 0.5, -3.25, 1e-30, 123456: bits 0, 2, 3 and 4, mask 29. 0..32: position 0
// repeats the 0 before it, 1..31 differ, mask 2^32 - 2; the second line holds only 32 at its
// bit 0. Read back into a stream, each text gives the same values and the same text again.
TEST_F(Journal, TextFormKeepsOnlyChangedValuesAndReadsBack)
{
    std::vector<float> count_up;
    for (int i = 0; i <= 32; i++)
        count_up.push_back((float)i);
    const struct {
        std::vector<float> values;
        const char* text;
    } cases[] = {
        {{}, ""}, {{1, 1, 2}, "5 1 2\n"}, {{0, 0, 7}, "4 7\n"},
        {{0.5f, 0.5f, -3.25f, 1e-30f, 123456.0f}, "29 0.5 -3.25 1e-30 123456\n"},
        {count_up, "4294967294 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 29 30 31\n"
                   "1 32\n"},
    };
    for (auto& c : cases) {
        jstream* t = jstream_alloc(&JOURNALS, 16, 16);
        for (float v : c.values)
            jstream_write(t, v);
        EXPECT_EQ(text_of(t), c.text);
        EXPECT_TRUE(jstream_eof(t)) << "reading is left at the end";
        EXPECT_EQ(jstream_read(t), c.values.empty() ? 0.0f : c.values.back()) << "and then repeats the last value";
        jstream* u = jstream_alloc(&JOURNALS, 0, 4);
        jstream_write_str(u, c.text);
        EXPECT_EQ(read_n(u, (int)c.values.size()), c.values) << c.text;
        EXPECT_EQ(text_of(u), c.text);
    }
}

// Each group read from text is 32 positions; clear bits repeat the value before. Words may
// be split by any white space; an unreadable value is 0 and the text ends where no mask can
// be read.
TEST_F(Journal, TextReadsBackAsWholeGroups)
{
    const struct {
        const char* text;
        std::vector<float> reads;
    } cases[] = {
        {"5 1 2\n", runs({{2, 1}, {30, 2}})},
        {"  1\t\t7\n\n3 8.5 9 3 -1 word 1 4", runs({{32, 7}, {1, 8.5f}, {31, 9}, {1, -1}, {31, 0}})},
        {"x 1 2", {}}, {"", {}},
    };
    for (auto& c : cases) {
        jstream* t = jstream_alloc(&JOURNALS, 16, 16);
        jstream_write_str(t, c.text);
        EXPECT_EQ(t->count, (int32_t)c.reads.size()) << c.text;
        EXPECT_EQ(read_n(t, (int)c.reads.size()), c.reads) << c.text;
        EXPECT_TRUE(jstream_eof(t)) << c.text;
    }
}

// Only position 0 is a seek: 5 is refused and leaves the reader where it was (after 4 and
// 5 the next read is 6); past the end the last value repeats; 0 rewinds to the first value.
TEST_F(Journal, SeekRewindsOnlyToTheStart)
{
    for (float v : {4.0f, 5.0f, 6.0f})
        jstream_write(s, v);
    EXPECT_TRUE(jstream_seek(s, 0));
    EXPECT_EQ(read_n(s, 2), (std::vector<float>{4, 5}));
    EXPECT_FALSE(jstream_seek(s, 5));
    EXPECT_EQ(read_n(s, 2), (std::vector<float>{6, 6}));
    EXPECT_TRUE(jstream_eof(s));
    EXPECT_TRUE(jstream_seek(s, 0));
    EXPECT_FALSE(jstream_eof(s));
    EXPECT_EQ(jstream_read(s), 4.0f);
}

TEST_F(Journal, TextAfterSingleWritesStartsItsOwnGroup)
{
    jstream_write(s, 1.0f);
    jstream_write(s, 2.0f);
    EXPECT_EQ(jstream_read(s), 1.0f) << "a reader already inside the group";
    jstream_write_str(s, "1 5");
    EXPECT_EQ(read_n(s, 63), runs({{31, 2}, {32, 5}})) << "the written group is closed with its last value";
    EXPECT_TRUE(jstream_eof(s));
    EXPECT_EQ(text_of(s), "3 1 2\n1 5\n");
}

TEST_F(Journal, ReadingNeverPassesTheStoredWords)
{
    // A stored form cut short, as a failed append leaves it: reads keep the last value.
    jstream_write_str(s, "4294967295 1 2 3");
    s->words.count = 3;
    EXPECT_EQ(read_n(s, 32), runs({{1, 1}, {31, 2}}));
}

// Through the library: a seek keeps the integer part of its position and only 0 rewinds
// (past the end a read repeats 2.5); a number is taken as its text ("17": mask 17, two
// unreadable values, so one 0 after 2.5); beyond the float range is infinity. A stream is
// freed once none of its functions can be reached.
TEST_F(Journal, LuaStreamsThroughScriptsAndAfterShutDown)
{
    EXPECT_EQ(eval("script_saw"), "function") << "the library's script runs after it is registered";
    ASSERT_EQ(run("s = journal.alloc_stream() s.write(1) s.write(1) s.write(2.5) a = s.read_str() e = s.eof() "
                  "s.seek(3) b = s.read() s.seek(0.7) c = s.read() "
                  "t = journal.alloc_stream() t.write_str(a) t.write_str(17) t.write(1e300)"),
              "");
    EXPECT_EQ(eval("a .. tostring(e) .. ' ' .. b .. ' ' .. c"), "5 1 2.5\ntrue 2.5 1");
    EXPECT_EQ(eval("t.read_str()"), "5 1 2.5\n1 0\n1 inf\n");
    EXPECT_NE(run("t.write('x')").find("bad argument #1"), std::string::npos);
    ASSERT_EQ(run("r = s.read s = nil t = nil collectgarbage()"), "");
    EXPECT_EQ(harness_list_count(&JOURNALS.records.live), 2) << "the fixture's stream and the one r keeps";
    ASSERT_EQ(run("r = nil collectgarbage()"), "");
    EXPECT_EQ(harness_list_count(&JOURNALS.records.live), 1);

    // Shut down, the pool frees every stream and gives no new one; the functions of a freed
    // stream, or of one that could not be had, raise, and collecting them is harmless.
    ASSERT_EQ(run("s = journal.alloc_stream() s.write(3)"), "");
    journals_clean(&JOURNALS);
    EXPECT_EQ(jstream_alloc(&JOURNALS, 16, 16), nullptr);
    jstream_free(nullptr);
    journals_stream_free(&JOURNALS, nullptr);
    ASSERT_EQ(run("u = journal.alloc_stream()"), "");
    for (const char* call : {"s.read()", "s.write(1)", "s.seek(0)", "s.eof()", "s.read_str()", "s.write_str('1 1')",
                             "u.read()"})
        EXPECT_NE(run(call).find("null pointer in jstream usedata"), std::string::npos) << call;
    ASSERT_EQ(run("s = nil u = nil collectgarbage()"), "");
    journal_lua_clean(L);
    EXPECT_EQ(eval("journal"), "nil");
}
