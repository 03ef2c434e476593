// Held textures: making them from files and bitmaps, freeing them, and the txts library's
// ownership rules (unref, getptr, steal_ptr, collection, a pool cleaned under a script).
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
    }
    void TearDown() override
    {
        if (L)
            lua_close(L);
        DeviceTest::TearDown();
    }
    void open_lua()
    {
        L = luaL_newstate();
        ASSERT_TRUE(safelua_cpcall(L, safelua_open_libs, nullptr));
        ASSERT_TRUE(safelua_cpcall(L, txts_lua_setup, &GFX));
    }
    std::string run(const char* code) { return lua_fixture_run(L, code); }
    bool null_error(const char* code) { return run(code).find("null pointer in gfx_txts usedata") != std::string::npos; }
    std::string eval(const char* expr) { return lua_fixture_eval(L, expr); }
    gfx_txts* script_ptr(const char* expr)
    {
        lua_getglobal(L, expr);
        gfx_txts* t = (gfx_txts*)lua_touserdata(L, -1);
        lua_pop(L, 1);
        return t;
    }
};

} // namespace

TEST_F(Txts, TexturesFromFilesAndBitmapsAndCleaningTellsTheHolder)
{
    int before = D3D_BUFFERS.txt_count;
    gfx_txts* t = txts_alloc(&GFX.txts_pool, 0, 0, 0, 0, "t.png");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(std::make_pair(t->texture->width, t->texture->height), std::make_pair(4, 2));
    EXPECT_TRUE(gfx_txts_set(t, 0));

    gfx_bmps* b = bmps_alloc(&GFX.bmps_pool, BMIP_BGRA, 3, 5, 1, nullptr);
    ASSERT_NE(b, nullptr);
    gfx_txts* u = txts_alloc_bitmap(&GFX.txts_pool, b, 1);
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(u->texture->width, 3);
    EXPECT_EQ(live_textures(), 2);

    gfx_txts_free(t);
    txts_free(&GFX.txts_pool, u);
    txts_free(&GFX.txts_pool, nullptr);
    EXPECT_EQ(D3D_BUFFERS.txt_count, before);
    gfx_bmps_free(b);

    // Failures are logged below the buffer manager's own line and leave nothing behind.
    EXPECT_EQ(txts_alloc(&GFX.txts_pool, 0, 0, 0, 0, "missing.png"), nullptr);
    EXPECT_EQ(txts_alloc_bitmap(&GFX.txts_pool, nullptr, 1), nullptr);
    EXPECT_EQ(live_textures(), 0);
    std::string e = errors();
    size_t below = e.find("Failed to setup texture buffer,\n");
    ASSERT_NE(below, std::string::npos);
    EXPECT_NE(e.find("Failed to setup gfx texture,\n", below), std::string::npos) << e;

    // Cleaning frees every texture and tells its holder.
    t = txts_alloc(&GFX.txts_pool, 0, 0, 0, 0, "t.png");
    ASSERT_NE(t, nullptr);
    void* word = t;
    t->holder = &word;
    ASSERT_NE(txts_alloc(&GFX.txts_pool, 0, 16, 16, 1, nullptr), nullptr) << "an empty texture of a size";
    txts_clean(&GFX.txts_pool);
    EXPECT_EQ(word, nullptr);
    EXPECT_EQ(D3D_BUFFERS.txt_count, before);
    txts_clean(&GFX.txts_pool);
}

TEST_F(Txts, ScriptsOwnTheirTextures)
{
    open_lua();
    ASSERT_EQ(run("a = txts.alloc('t.png') pa = a.getptr()"), "");
    ASSERT_EQ(live_textures(), 1);
    gfx_txts* t = script_ptr("pa");
    EXPECT_EQ(t, (gfx_txts*)list_first(&GFX.txts_pool.records.live));
    EXPECT_EQ(eval("a.getptr() == pa"), "true");

    // Dropping the table alone is not enough: the library keeps it until unref.
    ASSERT_EQ(run("a = nil collectgarbage()"), "");
    EXPECT_EQ(live_textures(), 1);
    ASSERT_EQ(run("txts[pa].unref() collectgarbage()"), "");
    EXPECT_EQ(live_textures(), 0);

    for (const char* bad : {"txts.alloc()", "txts.alloc({})", "txts.alloc('missing.png')"}) {
        ASSERT_EQ(run((std::string("n = ") + bad).c_str()), "");
        for (const char* call : {"n.getptr()", "n.unref()", "n.steal_ptr()"})
            EXPECT_TRUE(null_error(call)) << bad << " " << call;
    }
}

TEST_F(Txts, StealingHandsTheTextureToNativeCodeAndCleaningUnderTheScriptLeavesOnlyTheError)
{
    open_lua();
    ASSERT_EQ(run("s = txts.alloc('t.png') ps = s.steal_ptr()"), "");
    gfx_txts* t = script_ptr("ps");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->holder, nullptr);
    EXPECT_EQ(eval("txts[ps]"), "nil");
    EXPECT_TRUE(null_error("s.steal_ptr()"));
    EXPECT_TRUE(null_error("s.getptr()"));
    ASSERT_EQ(run("s = nil collectgarbage()"), "");
    EXPECT_EQ(live_textures(), 1) << "collecting the stolen-from userdata frees nothing";
    gfx_txts_free(t);
    EXPECT_EQ(live_textures(), 0);

    // A pool cleaned under the script leaves only the error.
    ASSERT_EQ(run("k = txts.alloc('t.png')"), "");
    txts_clean(&GFX.txts_pool);
    EXPECT_TRUE(null_error("k.getptr()"));
    ASSERT_EQ(run("k = nil txts = nil collectgarbage()"), "");
    ASSERT_TRUE(txts_setup(&GFX.txts_pool, &GFX));
    ASSERT_TRUE(safelua_cpcall(L, txts_lua_setup, nullptr)) << "registering again, on GFX";
    EXPECT_EQ(eval("type(txts.alloc)"), "function");
    txts_lua_clean(L);
    EXPECT_EQ(eval("txts"), "nil");
}
