// The HUD drawn on the real device and read back: a displayed tree's faces land where the
// layout put them, the pointer's transforms, light and depth clear, the text fonts' spacing,
// and the cartoon avatar's place.
#include <IL/il.h>
#include <unistd.h>

#include <cstring>

#include "engine/code/files.h"
#include "engine/code/gfx/avatar.h"
#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/d3d_state.h"
#include "engine/code/gfx/gfx.h"
#include "platform/d3d8_debug.h"
#include "tests/app/hud/hud_fixture.h"
#include "tests/harness/avatar_files.h"
#include "tests/harness/gl_window.h"

namespace {

const float DEG = 0.017453292f;

struct HudDraw : HudTest {
    gl_window win = {};
    void SetUp() override
    {
        HudTest::SetUp();
        hud_gfx = &hud_gfx_engine;
        memset(&GFX, 0, sizeof(GFX));
        memset(&D3D_BUFFERS, 0, sizeof(D3D_BUFFERS));
        ilInit();
        files_setup(&FILES);
        ASSERT_TRUE(harness_write_avatar_files());
        // The fonts the build generated; the console loads its own at every device restore.
        symlink(DORVALE_GAME_DIR "/data/fonts", "data/fonts");
        symlink(DORVALE_GAME_DIR "/data/debug", "data/debug");
        ASSERT_TRUE(gl_window_open(&win, 64, 48)) << "no GL context";
        ASSERT_TRUE(gfx_setup(&GFX));
        HUD.root = &GFX;
        ASSERT_TRUE(hud_pointer_setup(&HUD.pointer, &HUD));
        d3d8_log_stop();
    }
    void TearDown() override
    {
        d3d8_log_stop();
        HudTest::TearDown();
        gfx_clean(&GFX);
        files_clean(&FILES);
        gl_window_close(&win);
    }
    bool frame()
    {
        if (!gfx_begin_scene(&GFX))
            return false;
        hud_update(&HUD);
        hud_draw(&HUD);
        return true;
    }
};

TEST_F(HudDraw, FacesAndFillsLandWhereTheLayoutPutThem)
{
    ASSERT_TRUE(run("d = hud.alloc():build{xalign=-1, yalign=-1,"
                    "{gfx=1, color='0xffff0000', min_width=20, min_height=10},"
                    "{button='b', color='0xff0000ff', min_width=30, min_height=30}} d:display()"));
    hud_set_pointer(&HUD, 60, 40); // over neither
    ASSERT_TRUE(frame());
    EXPECT_EQ(HUD.window_width, 64.0f);
    hudgizmo* fill = (hudgizmo*)list_first(&gizmo("d")->children);
    EXPECT_EQ(fill->h, 30.0f); // the row's height
    uint32_t red = d3d8_read_pixel(GFX.d3d_gfx.device, 5, 20);
    uint32_t blue = d3d8_read_pixel(GFX.d3d_gfx.device, 33, 13);
    gfx_end_scene(&GFX);
    EXPECT_EQ(red & 0xffffff, 0xff0000u);
    EXPECT_EQ(blue & 0xffffff, 0x0000eeu); // the raised fill: 17 darker
}

// Element by element, row-major as the device holds it.
void expect_matrix(const float (&want)[16], const D3DMATRIX& got, const char* what)
{
    for (int i = 0; i < 16; i++)
        EXPECT_NEAR(want[i], got.m[i / 4][i % 4], 1e-3f) << what << " element " << i;
}

TEST_F(HudDraw, PointerStandsAtTheMouseTiltedAndClearsOnlyDepth)
{
    ASSERT_TRUE(gfx_begin_scene(&GFX));
    gfx_draw2d_quad(0, 0, 64, 48, 0xffff0000, 0xffff0000, 0xffff0000, 0xffff0000);
    hud_set_pointer(&HUD, 10, 8);
    HUD.pointer.turn = 0.0f; // the two quarter turns about x then cancel
    HUD.pointer.tilt = -30.0f * DEG;
    hud_pointer_draw(&HUD.pointer);
    IDirect3DDevice8* device = GFX.d3d_gfx.device;
    D3DMATRIX view, projection, world;
    IDirect3DDevice8_GetTransform(device, D3DTS_VIEW, &view);
    IDirect3DDevice8_GetTransform(device, D3DTS_PROJECTION, &projection);
    IDirect3DDevice8_GetTransform(device, D3DTS_WORLD, &world);
    uint32_t corner = d3d8_read_pixel(device, 62, 46);
    gfx_end_scene(&GFX);
    // A 64 x 48 screen: view moves by (-32, -24, 1024), projection scales by (2/64, 2/48, 1/4096).
    expect_matrix({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -32, -24, 1024, 1}, view, "view");
    expect_matrix({0.03125f, 0, 0, 0, 0, 0.0416667f, 0, 0, 0, 0, 0.00024414f, 0, 0, 0, 0, 1}, projection,
                  "projection");
    // World: 128 x the turn about x by the tilt, whose rows are (1, 0, 0), (0, cos, sin),
    // (0, -sin, cos); cos -30 deg = 0.8660254, sin = -0.5. Placed at (10, 48 - 8, 0).
    expect_matrix({128, 0, 0, 0, 0, 110.85125f, -64, 0, 0, 64, 110.85125f, 0, 10, 40, 0, 1}, world, "world");
    EXPECT_EQ(corner & 0xffffff, 0xff0000u); // the scene under it keeps its colour
}

// The pointer's device calls in order: view, projection and world, a clear of the depth
// buffer alone to 1.0, the directional light 0 enabled; a hidden pointer makes none.
TEST_F(HudDraw, PointerSetsItsTransformsAndLightInOrderAndAHiddenOneNothing)
{
    using rec = std::array<uint32_t, 3>; // call, first and second argument
    const uint32_t one = 0x3f800000;     // 1.0f
    const std::vector<rec> drawn = {
        {D3D8_CALL_SetTransform, D3DTS_VIEW, 0},       {D3D8_CALL_SetTransform, D3DTS_PROJECTION, 0},
        {D3D8_CALL_SetTransform, D3DTS_WORLD, 0},      {D3D8_CALL_Clear, 0, D3DCLEAR_ZBUFFER},
        {D3D8_CALL_SetLight, 0, D3DLIGHT_DIRECTIONAL}, {D3D8_CALL_LightEnable, 0, TRUE},
    };
    for (uint8_t hidden : {0, 1}) {
        HUD.pointer.hidden = hidden;
        ASSERT_TRUE(gfx_begin_scene(&GFX));
        d3d8_log_start();
        hud_pointer_draw(&HUD.pointer);
        d3d8_log_stop();
        gfx_end_scene(&GFX);
        std::vector<rec> calls;
        for (uint32_t i = 0; i < d3d8_log_count() && calls.size() < drawn.size(); i++) {
            const d3d8_record* r = d3d8_log_get(i);
            calls.push_back({(uint32_t)r->call, r->a[0], r->call == D3D8_CALL_SetTransform ? 0 : r->a[1]});
            if (r->call == D3D8_CALL_Clear) {
                EXPECT_EQ(r->a[3], one); // the depth it clears to
            }
        }
        EXPECT_EQ(calls, hidden ? std::vector<rec>{} : drawn) << (int)hidden;
    }
    HUD.pointer.hidden = 0;
}

// The outline font spaces its letters by -2 in every use; another font by 1 when measuring
// or wrapping and 0 on one line. The font key matches without case.
TEST_F(HudDraw, TextFontsAndTheirSpacing)
{
    hud_gfx = &fake_calls;
    ASSERT_TRUE(run("o = hud.alloc():build{text='a b'} c = hud.alloc():build{text='a b', font='COMIC'}"));
    hudgizmo *o = gizmo("o"), *c = gizmo("c");
    EXPECT_EQ(o->text_font, &GFX.outline16);
    EXPECT_EQ(c->text_font, &GFX.comic16);
    for (float aspect : {0.0f, 1.0f}) {
        o->aspect = c->aspect = aspect;
        FAKE.spacings.clear();
        hudgizmo_draw(o);
        hudgizmo_draw(c);
        // One line: the measuring style for the width, then the drawing style; wrapped: the
        // measuring style alone, which the drawing keeps.
        std::vector<float> want = aspect == 0.0f ? std::vector<float>{-2, -2, 1, 0} : std::vector<float>{-2, 1};
        EXPECT_EQ(FAKE.spacings, want) << aspect;
    }
    hud_gfx = &hud_gfx_engine;
}

TEST_F(HudDraw, TheCartoonAvatarBreathesBelowTheBalloonsAndCleanGivesItBack)
{
    HudTest::TearDown(); // the fixture's own HUD and Lua
    HudTest::SetUp();
    hud_gfx = &hud_gfx_engine;
    int32_t before = GFX.avatars.avatar_count;
    ASSERT_TRUE(hud_setup(&HUD, &GFX));
    EXPECT_EQ(GFX.avatars.avatar_count, before + 1);
    ASSERT_TRUE(run("c = hud.alloc():build{{button='b', style='cartoon', min_width=40, min_height=20}} c:display()"));
    ASSERT_TRUE(frame());
    gfx_end_scene(&GFX);
    avatar* a = HUD.cartoon_avatar;
    ASSERT_NE(a, nullptr);
    ASSERT_NE(a->base.anim, nullptr);
    // Placed at (200, 0, 0), unturned, 64 on every axis.
    const float* m = a->base.anim->matrix.m;
    const float want[16] = {64, 0, 0, 0, 0, 64, 0, 0, 0, 0, 64, 0, 200, 0, 0, 1};
    for (int i = 0; i < 16; i++)
        EXPECT_NEAR(want[i], m[i], 1e-4f) << i;
    EXPECT_EQ(a->layers[0].slot, &GFX.avatars.anims[8]); // cycle_breath alone
    EXPECT_EQ(a->layers[1].slot, nullptr);
    EXPECT_TRUE(hud_reset(&HUD)); // gives its avatar back and takes another
    EXPECT_EQ(GFX.avatars.avatar_count, before + 1);
    hud_clean(&HUD);
    EXPECT_EQ(GFX.avatars.avatar_count, before);
    EXPECT_EQ(gizmo("c"), nullptr);
}

} // namespace
