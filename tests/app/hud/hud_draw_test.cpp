// The HUD drawn on the real device, read back: a displayed tree's faces land where the
// layout put them, and the pointer sets its transforms and light and clears depth only.
#include <IL/il.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "engine/code/files.h"
#include "engine/code/gfx/avatar.h"
#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/gfx.h"
#include "platform/d3d8_debug.h"
#include "tests/app/hud/hud_fixture.h"
#include "tests/harness/avatar_files.h"
#include "tests/harness/gl_window.h"

namespace {

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

TEST_F(HudDraw, PointerSetsItsTransformsAndLightAndClearsDepthOnly)
{
    d3d8_log_start();
    ASSERT_TRUE(frame());
    gfx_end_scene(&GFX);
    int32_t view = d3d8_log_find(D3D8_CALL_SetTransform, 0);
    ASSERT_GE(view, 0);
    const d3d8_record* r = d3d8_log_get((uint32_t)view);
    EXPECT_EQ(r->a[0], (uint32_t)D3DTS_VIEW);
    EXPECT_EQ(d3d8_log_get((uint32_t)view + 1)->a[0], (uint32_t)D3DTS_PROJECTION);
    EXPECT_EQ(d3d8_log_get((uint32_t)view + 2)->a[0], (uint32_t)D3DTS_WORLD);
    const d3d8_record* clear = d3d8_log_get((uint32_t)view + 3);
    EXPECT_EQ(clear->call, D3D8_CALL_Clear);
    EXPECT_EQ(clear->a[1], (uint32_t)D3DCLEAR_ZBUFFER);
    const d3d8_record* light = d3d8_log_get((uint32_t)view + 4);
    EXPECT_EQ(light->call, D3D8_CALL_SetLight);
    EXPECT_EQ(light->a[1], (uint32_t)D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(d3d8_log_get((uint32_t)view + 5)->call, D3D8_CALL_LightEnable);

    HUD.pointer.hidden = 1;
    d3d8_log_start();
    ASSERT_TRUE(frame());
    gfx_end_scene(&GFX);
    EXPECT_EQ(d3d8_log_count_of(D3D8_CALL_SetLight), 0u);
}

TEST_F(HudDraw, SetupTakesTheCartoonAvatarAndCleanGivesItBack)
{
    HudTest::TearDown(); // the fixture's own HUD and Lua
    HudTest::SetUp();
    hud_gfx = &hud_gfx_engine;
    int32_t before = GFX.avatars.avatar_count;
    ASSERT_TRUE(hud_setup(&HUD, &GFX));
    ASSERT_NE(HUD.cartoon_avatar, nullptr);
    EXPECT_EQ(GFX.avatars.avatar_count, before + 1);
    ASSERT_TRUE(run("c = hud.alloc():build{{button='b', style='cartoon', min_width=40, min_height=20}} c:display()"));
    ASSERT_TRUE(frame());
    gfx_end_scene(&GFX);
    EXPECT_EQ(HUD.cartoon_avatar->layers[0].slot, &GFX.avatars.anims[8]);
    EXPECT_EQ(HUD.cartoon_avatar->layers[1].slot, nullptr);
    EXPECT_TRUE(hud_reset(&HUD));
    hud_clean(&HUD);
    EXPECT_EQ(GFX.avatars.avatar_count, before);
    EXPECT_EQ(gizmo("c"), nullptr);
}

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
        EXPECT_EQ(FAKE.spacings.back(), -2.0f); // the outline font, whatever the use
        FAKE.spacings.clear();
        hudgizmo_draw(c);
        EXPECT_EQ(FAKE.spacings.back(), aspect == 0.0f ? 0.0f : 1.0f);
    }
}

TEST_F(HudDraw, ButtonTextIsDrawnInsideItsFace)
{
    ASSERT_TRUE(run("d = hud.alloc():build{xalign=-1, yalign=-1, {button='b', color='0xff0000ff', {text='HH'}}}"
                    "d:display()"));
    ASSERT_TRUE(frame());
    hudgizmo* text = (hudgizmo*)list_first(&((hudgizmo*)list_first(&gizmo("d")->children))->children);
    int lit = 0, outside = 0;
    for (int y = 0; y < 48; y++)
        for (int x = 0; x < 64; x++) {
            uint32_t c = d3d8_read_pixel(GFX.d3d_gfx.device, x, y);
            if (((c >> 16) & 0xff) < 0x80)
                continue; // the blue face or the cleared background
            bool in = x >= text->x && x < text->x + text->w && y >= text->y && y < text->y + text->h;
            (in ? lit : outside)++;
        }
    gfx_end_scene(&GFX);
    EXPECT_GT(lit, 10);
    EXPECT_EQ(outside, 0);
}

} // namespace
