// Cut maps: layers composed from cuts of source images, the document's parse errors with
// their line, shared sources, and layers that outgrow their array or lose their textures.
// Held textures: made from files, their failures logged under the buffer manager's line, and
// the txts library's ownership rules (unref, bad allocations, a pool cleaned under a script).
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/code/gfx/cmps.h"
#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/txts.h"
#include "engine/code/safelua.h"
#include "tests/engine/gfx/device_fixture.h"
#include "tests/harness/harness.h"
#include "tests/harness/lua_fixture.h"

namespace {

const uint32_t WHITE = 0xFFFFFFFFu;

// The source "grid.png": 10 x 4, each pixel names its place (blue x, green y).
uint32_t grid(int x, int y) { return 0xFF800000u | (uint32_t)(y << 8) | (uint32_t)x; }

const char* kDoc = "<?xml version=\"1.0\"?>\n"
                   "<CutMap version=\"1\" w=\"12\" h=\"6\" d=\"1\">\n"
                   "  <layer>\n"
                   "    <source name=\"green.png\">\n"
                   "      <c>0 2 1 0 0 3 1</c>\n"
                   "    </source>\n"
                   "    <source name=\"grid.png\">\n"
                   "      <c>1 2 2 0 0 1 1</c>\n"
                   "      <c>1 2 2 4 0 2 1</c>\n"
                   "      <c>1 10 1 0 0 -4 4</c>\n"
                   "    </source>\n"
                   "  </layer>\n"
                   "  <layer><source name=\"missing.png\"><c>0 1 1 0 0 0 0</c></source></layer>\n"
                   "</cutmap>\n";

int live_cutmaps() { return harness_list_count(&GFX.cmps_pool.records.live); }

uint32_t pixel(const gfx_bmps* b, int x, int y)
{
    uint32_t v;
    memcpy(&v, b->info.data + y * b->info.row + x * 4, 4);
    return v;
}

struct Cmps : DeviceTest {
    void SetUp() override
    {
        DeviceTest::SetUp();
        ASSERT_TRUE(setup_gfx());
        mkdir("data", 0777);
        mkdir("data/cuts", 0777);
        std::vector<uint8_t> px;
        for (int y = 0; y < 4; y++)
            for (int x = 0; x < 10; x++)
                px.insert(px.end(), {(uint8_t)x, (uint8_t)y, 0x80, 0xFF});
        ASSERT_TRUE(write_image("data/cuts/grid.png", 10, 4, 4, px.data()));
        std::vector<uint32_t> green(4 * 4, 0xFF00FF00u);
        ASSERT_TRUE(write_image("data/cuts/green.png", 4, 4, 4, (const uint8_t*)green.data()));
        harness_write_file("map.xml", kDoc);
    }
};

int live_textures() { return harness_list_count(&GFX.txts_pool.records.live); }

struct Txts : Cmps {
    lua_State* L = nullptr;
    void SetUp() override
    {
        Cmps::SetUp();
        ASSERT_TRUE(write_image("t.png", 4, 2, 4, std::vector<uint8_t>(4 * 2 * 4).data()));
        L = luaL_newstate();
        ASSERT_TRUE(safelua_cpcall(L, safelua_open_libs, nullptr));
        ASSERT_TRUE(safelua_cpcall(L, txts_lua_setup, &GFX));
    }
    void TearDown() override
    {
        if (L)
            lua_close(L);
        Cmps::TearDown();
    }
    std::string run(const char* code) { return lua_fixture_run(L, code); }
    bool null_error(const char* code) { return run(code).find("null pointer in gfx_txts usedata") != std::string::npos; }
};

} // namespace

TEST_F(Cmps, LayersAreComposedFromCuts)
{
    gfx_cmps* c = cmps_alloc(&GFX.cmps_pool, 0, 0, 0, "map.xml");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(std::make_pair(c->w, c->h), std::make_pair(12, 6));
    ASSERT_EQ(c->layers.count, 2);
    cmps_layer* l = gfx_cmps_layer(c, 0);
    ASSERT_NE(l->bitmap, nullptr);
    // Row 1: white, the first grid cut, the later cut over it, grid over green (columns 3-4),
    // green alone.
    // Row 4: a destination 4 left of the layer puts source columns 4-9 in columns 0-5.
    std::vector<uint32_t> row1, row4;
    for (int x = 0; x < 7; x++) {
        row1.push_back(pixel(l->bitmap, x, 1));
        row4.push_back(pixel(l->bitmap, x, 4));
    }
    const uint32_t green = 0xFF00FF00u;
    EXPECT_EQ(row1, (std::vector<uint32_t>{WHITE, grid(0, 0), grid(4, 0), grid(5, 0), green, WHITE, WHITE}));
    EXPECT_EQ(row4, (std::vector<uint32_t>{grid(4, 0), grid(5, 0), grid(6, 0), grid(7, 0), grid(8, 0), grid(9, 0), WHITE}));
    EXPECT_EQ(pixel(l->bitmap, 1, 2), grid(0, 1));
    EXPECT_EQ(pixel(l->bitmap, 11, 5), WHITE);

    ASSERT_NE(l->texture, nullptr);
    EXPECT_EQ(l->texture->texture->bitmap, l->bitmap);
    EXPECT_EQ(pixel(gfx_cmps_layer(c, 1)->bitmap, 0, 0), WHITE) << "a missing source is no error";
    EXPECT_EQ(errors().find("Faild to parse"), std::string::npos);
}

TEST_F(Cmps, ParseErrorsNameTheLineAndAMissingDocumentGivesNoLayers)
{
    struct bad {
        const char* what;
        const char* doc;
        int line;
    } cases[] = {
        {"a second cutmap", "<cutmap>\n</cutmap>\n<cutmap></cutmap>", 3},
        {"six numbers", "<cutmap><layer>\n<source>\n<c>0 1 1 0 0 0</c></source></layer></cutmap>", 3},
        {"eight numbers", "<cutmap><layer><source><c>0 1 1 0 0 0 0\n8</c></source></layer></cutmap>", 2},
        {"version 2", "\n\n<cutmap version='2' w='4'></cutmap>", 3},
        {"an unknown attribute", "<cutmap size='4'></cutmap>", 1},
        {"an unknown element", "<cutmap>\n<layer>\n<cut></cut></layer></cutmap>", 3},
        {"text outside a cut", "<cutmap><layer>\nhello</layer></cutmap>", 2},
        {"an empty element", "<cutmap><layer/></cutmap>", 1},
        {"a negative layer count", "<cutmap d='-1'><layer></layer></cutmap>", 1},
        {"a stray control character", "<cutmap>\n\n\x01</cutmap>", 3},
        // The index is stored in 16 bits: 65536 would wrap onto source 0.
        {"a source index of 65536", "<cutmap><layer><source>\n<c>65536 1 1 0 0 0 0</c></source></layer></cutmap>", 2},
        {"a negative source index", "<cutmap><layer><source><c>-1 1 1 0 0 0 0</c></source></layer></cutmap>", 1},
    };
    int textures = D3D_BUFFERS.txt_count;
    for (const bad& b : cases) {
        std::remove("ERROR.TXT");
        harness_write_file("bad.xml", b.doc);
        EXPECT_EQ(cmps_alloc(&GFX.cmps_pool, 0, 0, 0, "bad.xml"), nullptr) << b.what;
        std::string expect = "Faild to parse xml file \"bad.xml\"\n../../../vizavev/bad.xml(" +
                             std::to_string(b.line) + ") :  xml error\nFailed to setup cmp,\n";
        EXPECT_NE(errors().find(expect), std::string::npos) << b.what << "\n" << errors();
    }
    EXPECT_EQ(live_cutmaps(), 0);
    EXPECT_EQ(D3D_BUFFERS.txt_count, textures);

    // A missing document, or none, is no error: a cut map without layers.
    gfx_cmps* c = cmps_alloc(&GFX.cmps_pool, 0, 0, 0, "nowhere.xml");
    gfx_cmps* e = cmps_alloc(&GFX.cmps_pool, 8, 8, 3, nullptr);
    ASSERT_TRUE(c && e);
    EXPECT_EQ(c->layers.count + e->layers.count, 0);
    EXPECT_EQ(e->d, 3);
}

TEST_F(Cmps, SourcesAreSharedAndOutliveTheirCutMaps)
{
    gfx_cmps* a = cmps_alloc(&GFX.cmps_pool, 0, 0, 0, "map.xml");
    gfx_cmps* b = cmps_alloc(&GFX.cmps_pool, 0, 0, 0, "map.xml");
    ASSERT_TRUE(a && b);
    gfx_bmps* shared = ((const cmps_source*)gfx_cmps_layer(b, 0)->sources.data)[1].bitmap;
    EXPECT_EQ(((const cmps_source*)gfx_cmps_layer(a, 0)->sources.data)[1].bitmap, shared);
    gfx_cmps_free(a);
    EXPECT_EQ(live_cutmaps(), 1);
    EXPECT_EQ(bmps_find(&GFX.bmps_pool, "DATA/CUTS/Grid.png"), shared) << "still the loaded one, case ignored";
    EXPECT_EQ(pixel(shared, 9, 3), grid(9, 3));
}

TEST_F(Cmps, ManyLayersAndATexturePoolCleanedFirst)
{
    // More layers than announced: the layer array grows and what points into it follows.
    std::string doc = "<cutmap w='4' h='4' d='1'>";
    for (int i = 0; i < 20; i++)
        doc += "<layer><source name='grid.png'><c>0 1 1 3 2 0 0</c></source></layer>";
    doc += "</cutmap>";
    harness_write_file("many.xml", doc.c_str());
    gfx_cmps* c = cmps_alloc(&GFX.cmps_pool, 0, 0, 0, "many.xml");
    ASSERT_NE(c, nullptr);
    ASSERT_EQ(c->layers.count, 20);
    for (int i = 0; i < 20; i++) {
        cmps_layer* l = gfx_cmps_layer(c, i);
        EXPECT_EQ(((cmps_cut*)l->cuts.data)[0].layer, l);
        EXPECT_EQ(((cmps_source*)l->sources.data)[0].layer, l);
        EXPECT_EQ(pixel(l->bitmap, 0, 0), grid(3, 2));
    }
    // Freed by its own pool first, each texture is struck from its layer.
    int before = D3D_BUFFERS.txt_count;
    txts_clean(&GFX.txts_pool);
    EXPECT_EQ(D3D_BUFFERS.txt_count, before - 20);
    EXPECT_EQ(gfx_cmps_layer(c, 7)->texture, nullptr);
    txts_setup(&GFX.txts_pool, &GFX);
    cmps_clean(&GFX.cmps_pool);
    EXPECT_EQ(live_cutmaps(), 0);
    cmps_clean(&GFX.cmps_pool);
}

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

// Stealing a texture for native code is checked where the structor's items take theirs.
TEST_F(Txts, ScriptsOwnTheirTexturesUntilUnref)
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

    // A pool cleaned under the script leaves only the error.
    ASSERT_EQ(run("k = txts.alloc('t.png')"), "");
    txts_clean(&GFX.txts_pool);
    EXPECT_TRUE(null_error("k.getptr()"));
    ASSERT_EQ(run("k = nil collectgarbage()"), "");
}
