// Held textures: made from files, their failures logged under the buffer manager's line, and
// the txts library's ownership rules (unref, steal_ptr, bad allocations, a pool cleaned under
// a script).
#include <gtest/gtest.h>

#include <string>

#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/txts.h"
#include "engine/code/safelua.h"
#include "tests/harness/harness.h"
#include "tests/engine/gfx/device_fixture.h"
#include "tests/harness/lua_fixture.h"

namespace {

int live_textures() { return harness_list_count(&GFX.txts_pool.records.live); }

struct Txts : DeviceTest {
    lua_State* L = nullptr;
    void SetUp() override
    {
        DeviceTest::SetUp();
        ASSERT_TRUE(setup_gfx());
        uint8_t px[4 * 2 * 4] = {};
        ASSERT_TRUE(write_image("t.png", 4, 2, 4, px));
        L = luaL_newstate();
        ASSERT_TRUE(safelua_cpcall(L, safelua_open_libs, nullptr));
        ASSERT_TRUE(safelua_cpcall(L, txts_lua_setup, &GFX));
    }
    void TearDown() override
    {
        if (L)
            lua_close(L);
        DeviceTest::TearDown();
    }
    std::string run(const char* code) { return lua_fixture_run(L, code); }
    bool null_error(const char* code) { return run(code).find("null pointer in gfx_txts usedata") != std::string::npos; }
    gfx_txts* script_ptr(const char* global)
    {
        lua_getglobal(L, global);
        gfx_txts* t = (gfx_txts*)lua_touserdata(L, -1);
        lua_pop(L, 1);
        return t;
    }
};

} // namespace

TEST_F(Txts, FileTexturesAndFailuresThatLeaveNothingBehind)
{
    int before = D3D_BUFFERS.txt_count;
    gfx_txts* t = txts_alloc(&GFX.txts_pool, 0, 0, 0, 0, "t.png");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(std::make_pair(t->texture->width, t->texture->height), std::make_pair(4, 2));
    EXPECT_EQ(txts_alloc(&GFX.txts_pool, 0, 0, 0, 0, "missing.png"), nullptr);
    EXPECT_EQ(txts_alloc_bitmap(&GFX.txts_pool, nullptr, 1), nullptr);
    EXPECT_EQ(live_textures(), 1);
    std::string e = errors();
    size_t below = e.find("Failed to setup texture buffer,\n");
    ASSERT_NE(below, std::string::npos);
    EXPECT_NE(e.find("Failed to setup gfx texture,\n", below), std::string::npos) << e;
    txts_clean(&GFX.txts_pool);
    txts_clean(&GFX.txts_pool);
    EXPECT_EQ(D3D_BUFFERS.txt_count, before);
}

TEST_F(Txts, ScriptsOwnTheirTexturesUntilUnrefOrSteal)
{
    // Dropping the table alone is not enough: the library keeps it until unref.
    ASSERT_EQ(run("a = txts.alloc('t.png') pa = a.getptr() a = nil collectgarbage()"), "");
    EXPECT_EQ(live_textures(), 1);
    ASSERT_EQ(run("txts[pa].unref() collectgarbage()"), "");
    EXPECT_EQ(live_textures(), 0);
    for (const char* bad : {"txts.alloc()", "txts.alloc({})", "txts.alloc('missing.png')"}) {
        ASSERT_EQ(run((std::string("n = ") + bad).c_str()), "");
        EXPECT_TRUE(null_error("n.unref()")) << bad;
    }

    // A stolen texture is native code's: the script's handle is empty and its loss frees nothing.
    ASSERT_EQ(run("s = txts.alloc('t.png') ps = s.steal_ptr()"), "");
    gfx_txts* t = script_ptr("ps");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->holder, nullptr);
    EXPECT_TRUE(null_error("s.getptr()"));
    ASSERT_EQ(run("s = nil collectgarbage()"), "");
    EXPECT_EQ(live_textures(), 1);
    gfx_txts_free(t);

    // A pool cleaned under the script leaves only the error.
    ASSERT_EQ(run("k = txts.alloc('t.png')"), "");
    txts_clean(&GFX.txts_pool);
    EXPECT_TRUE(null_error("k.getptr()"));
    ASSERT_EQ(run("k = nil collectgarbage()"), "");
}
