// The avatar editor state: what its setup builds and its clean gives back, the turn, the
// placement in the avatar frame, the animation blend, the part previews, and what the
// record handler does to the soul, the sliders and the dialogs.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "app/code/app.h"
#include "app/code/con.h"
#include "app/code/input.h"
#include "app/code/main_state.h"
#include "engine/code/gfx/avatar.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/soul.h"
#include "engine/code/gfx/xox.h"
#include "engine/code/gfx/xsx.h"
#include "tests/app/avatar/bud_fixture.h"
#include "tests/harness/harness.h"
#include "tests/harness/lua_fixture.h"

namespace {

soul_object& object(bud_test* b, int slot) { return b->avatar->soul->objects[slot / 4][slot % 4]; }
const char* label(hudgizmo* g) { return ((hudgizmo*)list_first(&g->children))->text; }

// A stand-alone part-choice gizmo, as the HUD hands the handler the clicked one.
hudgizmo choice(const char* group, const char* name)
{
    hudgizmo g;
    memset(&g, 0, sizeof g);
    g.part_group = group;
    g.part_name = name;
    return g;
}

} // namespace

TEST_F(BudTest, SetupBuildsTheMenuFromTheSoulAndCleanGivesEverythingBack)
{
    int32_t avatars = GFX.avatars.avatar_count, meshes = GFX.xoxs.count;
    bud_test_menu[BTN_RotY].value = 0.1f;
    start();
    EXPECT_EQ(33, APP.frame_period);
    EXPECT_EQ(bud_test_menu, HUD.menu_table);
    EXPECT_FLOAT_EQ(0.5f, bud_test_menu[BTN_RotY].value);
    EXPECT_FLOAT_EQ(0.33333334f, bud_test_menu[BTN_NoseSize].value);
    EXPECT_EQ(-1.0f, b->sex);
    EXPECT_EQ(8, b->anim_current);
    EXPECT_EQ(100, b->render_size);
    ASSERT_NE(nullptr, b->avatar);
    ASSERT_NE(nullptr, b->avatar->soul);
    EXPECT_EQ("table", lua_fixture_eval(CON.L, "type(zuzodida)"));

    // Object labels name the soul's objects; the colour buttons and their swatches show it.
    ASSERT_NE(nullptr, gizmo(BTN_Head));
    EXPECT_STREQ(object(b, 24).name, label(gizmo(BTN_Head)));
    EXPECT_STREQ("None", label(gizmo(BTN_Beard))); // "me" has no beard
    const soul_surface& skin = b->avatar->soul->surfaces[0];
    EXPECT_EQ(skin.argb, gizmo(BTN_ColorSkin)->colour);
    hudgizmo* shine = (hudgizmo*)gizmo(BTN_ColorSkin)->link.next;
    EXPECT_EQ(0xFFu, shine->colour >> 24);
    EXPECT_GE(shine->colour & 0xFF, skin.argb & 0xFF);
    EXPECT_EQ("", errors());

    bud_test_clean(b);
    EXPECT_EQ(avatars, GFX.avatars.avatar_count);
    EXPECT_EQ(meshes, GFX.xoxs.count);
    EXPECT_EQ(nullptr, HUD.display_gizmo);
    EXPECT_EQ("nil", lua_fixture_eval(CON.L, "type(zuzodida)"));
    for (int i = 0; i < BUD_TEST_RECORD_COUNT; i++)
        EXPECT_EQ(nullptr, bud_test_menu[i].gizmo) << bud_test_menu[i].name;
    bud_test_clean(b); // twice is safe

    // A restart builds it all again.
    start();
    ASSERT_TRUE(main_state_bud_test.reset());
    EXPECT_NE(nullptr, gizmo(BTN_Avatar));
}

TEST_F(BudTest, SetupFailsWithoutLuaOrWithoutTheAvatar)
{
    con_close(&CON);
    EXPECT_FALSE(bud_test_setup(b, &GFX));
    EXPECT_NE(std::string::npos, errors().find("ZUZODIDA.LUA subsystem failed to initialize,\n"));
    bud_test_clean(b);
    std::filesystem::remove("data/avatar/xsx/_base.xsx");
    xsxs_free(&GFX.xsxs, GFX.avatars.anims[0].anim); // "_base" must load anew for each avatar
    EXPECT_FALSE(bud_test_setup(b, &GFX));
    bud_test_clean(b); // after a failed setup, and twice
    bud_test_clean(b);
    EXPECT_EQ(nullptr, b->avatar);
}

TEST_F(BudTest, TheAvatarTurnsWrapsAndStandsInItsFrame)
{
    start();
    bud_test_menu[BTN_RotY].value = 0.9995f;
    bud_test_update(b, UPDATE_BODY_STEP); // only the frame end acts
    EXPECT_FLOAT_EQ(0.9995f, bud_test_menu[BTN_RotY].value);
    bud_test_update(b, UPDATE_FRAME_END);
    EXPECT_FLOAT_EQ(0.0f, bud_test_menu[BTN_RotY].value); // past 1.0: back to 0
    bud_test_update(b, UPDATE_FRAME_END);
    EXPECT_FLOAT_EQ(0.001f, bud_test_menu[BTN_RotY].value);
    // The angle of that frame used 0: a half turn, the avatar seen from behind.
    EXPECT_NEAR(1.0f, std::fabs(b->motion.xform.orientation.y), 1e-5f);

    hudgizmo* frame = gizmo(BTN_Avatar);
    ASSERT_NE(nullptr, frame);
    float s = std::fmin(frame->w, frame->h);
    EXPECT_FLOAT_EQ(s * 0.5f, b->motion.xform.scale.x);
    EXPECT_FLOAT_EQ(frame->x + frame->w * 0.5f - 400.0f, b->motion.xform.position.x);
    EXPECT_FLOAT_EQ(b->motion.xform.position.x, b->avatar->base.anim->matrix.m[12]);

    click(BTN_ViewRotateOff);
    click(BTN_ViewLeft);
    bud_test_update(b, UPDATE_FRAME_END);
    EXPECT_FLOAT_EQ(0.25f, bud_test_menu[BTN_RotY].value);
    click(BTN_ViewRight);
    EXPECT_FLOAT_EQ(0.75f, bud_test_menu[BTN_RotY].value);
}

// turn x bone, as the eyes compose it (row-major, the turn applied first to a row vector).
mat4 turned(const float (&turn)[9], const mat4& bone)
{
    mat4 out = {};
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 4; c++)
            for (int k = 0; k < 4; k++)
                out.m[r * 4 + c] += (r < 3 && k < 3 ? turn[r * 3 + k] : (r == k)) * bone.m[k * 4 + c];
    return out;
}

TEST_F(BudTest, TheAvatarStandsInItsFrameAndItsEyesFollowThePointer)
{
    start();
    click(BTN_ViewRotateOff);
    hudgizmo* frame = gizmo(BTN_Avatar);
    ASSERT_NE(nullptr, frame);
    xsx_bone* eyes[2] = {b->avatar->base.part_bones[14], b->avatar->base.part_bones[20]};
    ASSERT_TRUE(eyes[0] && eyes[1]);
    // One frame with the pose held at time 0 and the pointer at (x, y).
    auto look = [&](float x, float y) {
        b->avatar->layers[0].time = 0.0f;
        HUD.pointer.x = x;
        HUD.pointer.y = y;
        bud_test_update(b, UPDATE_FRAME_END);
    };
    float cx = frame->x + frame->w * 0.5f, cy = frame->y + frame->h * 0.5f;
    look(cx, cy); // the root takes its place for the next frame
    look(cx, cy);
    // Placed in the frame on a 800 x 600 screen: x from the centre, y up from the centre,
    // standing on the frame's middle less half its smaller side.
    float s = std::fmin(frame->w, frame->h);
    EXPECT_FLOAT_EQ(cx - 400.0f, b->motion.xform.position.x);
    EXPECT_FLOAT_EQ(300.0f - frame->h * 0.5f - frame->y - s * 0.5f, b->motion.xform.position.y);
    EXPECT_FLOAT_EQ(b->motion.xform.position.y, b->avatar->base.anim->matrix.m[13]);
    mat4 ahead[2] = {eyes[0]->world, eyes[1]->world};

    // 512 pixels left of the centre: a turn of +0.5 about y (-512 * -1/1024); 512 below: +0.5
    // about x. cos 0.5 = 0.87758256, sin 0.5 = 0.47942554; rows of the turn about y are
    // (cos, 0, -sin), (0, 1, 0), (sin, 0, cos), about x (1, 0, 0), (0, cos, sin), (0, -sin, cos).
    const float C = 0.87758256f, S = 0.47942554f;
    const float about_y[9] = {C, 0, -S, 0, 1, 0, S, 0, C}, about_x[9] = {1, 0, 0, 0, C, S, 0, -S, C};
    const struct {
        bool framed;
        float x, y;
        const float* turn;
    } cases[] = {
        {true, cx - 512, cy, about_y}, {true, cx, cy + 512, about_x},
        // Without a shown frame the avatar stays put and the eyes look from (400, 300).
        {false, 400 - 512, 300, about_y}, {false, 400, 300 + 512, about_x},
    };
    for (const auto& c : cases) {
        HUD.display_gizmo = c.framed ? frame->root : nullptr;
        look(c.x, c.y);
        EXPECT_FLOAT_EQ(cx - 400.0f, b->motion.xform.position.x);
        for (int e = 0; e < 2; e++) {
            mat4 want = turned(*(const float(*)[9])c.turn, ahead[e]);
            for (int i = 0; i < 16; i++)
                EXPECT_NEAR(want.m[i], eyes[e]->world.m[i], 1e-3f)
                    << "pointer " << c.x << "," << c.y << " eye " << e << " element " << i;
        }
    }
}

TEST_F(BudTest, AnAnimationBlendsInOverSixteenFramesAndASecondClickCutsIn)
{
    start();
    click(BTN_AnimCycleWalk);
    EXPECT_EQ(9, b->anim_next);
    bud_test_update(b, UPDATE_FRAME_END);
    avatar_layer* l = b->avatar->layers;
    EXPECT_EQ(&GFX.avatars.anims[8], l[0].slot);
    EXPECT_EQ(&GFX.avatars.anims[9], l[1].slot);
    EXPECT_FLOAT_EQ(0.0f, l[1].weight);
    bud_test_update(b, UPDATE_FRAME_END);
    EXPECT_FLOAT_EQ(0.0625f, l[1].weight);

    click(BTN_AnimPoseHappy); // during the blend: walk becomes current at once
    EXPECT_EQ(9, b->anim_current);
    EXPECT_EQ(21, b->anim_next);
    for (int i = 0; i < 16; i++)
        bud_test_update(b, UPDATE_FRAME_END);
    EXPECT_EQ(21, b->anim_current);
    EXPECT_EQ(-1, b->anim_next);
    bud_test_update(b, UPDATE_FRAME_END);
    EXPECT_EQ(&GFX.avatars.anims[21], l[0].slot);
    EXPECT_EQ(nullptr, l[1].slot);
    EXPECT_FLOAT_EQ(1.0f, l[0].weight);
}

TEST_F(BudTest, ShownPartChoicesGetPreviewMeshesAndHiddenOnesDoNot)
{
    int32_t before = GFX.xoxs.count;
    start();
    bud_test_update(b, UPDATE_FRAME_END);
    EXPECT_EQ(0, b->preview_count); // every choice panel starts hidden
    int32_t meshes = GFX.xoxs.count;

    // Show the hair choices: "None" and one button per mesh of the offered groups.
    hudgizmo* panel = hudgizmo_find(HUD.display_gizmo, str_pool_add(&HUD.name_pool, "PICK_2"));
    ASSERT_NE(nullptr, panel);
    panel->flags &= ~HUDGIZMO_HIDDEN;
    hud_update(&HUD);
    bud_test_update(b, UPDATE_FRAME_END);
    ASSERT_GE(b->preview_count, 3);
    EXPECT_EQ(nullptr, b->previews[0].mesh); // "none"
    EXPECT_NE(nullptr, b->previews[1].mesh);
    EXPECT_EQ(meshes + b->preview_count - 1, GFX.xoxs.count);
    // Standing in the middle of its gizmo, as large as the gizmo's smaller side over the
    // mesh's own size (the float at byte 52 of its body).
    const bud_test_preview& p = b->previews[1];
    hudgizmo* g = p.gizmo;
    float size;
    memcpy(&size, p.mesh->body + 52, sizeof size);
    EXPECT_NE(1.0f, size); // so a scale that ignored it would show
    EXPECT_FLOAT_EQ(g->x + g->w * 0.5f - 400.0f, p.motion.xform.position.x);
    EXPECT_FLOAT_EQ(300.0f - g->h * 0.5f - g->y, p.motion.xform.position.y);
    EXPECT_FLOAT_EQ(std::fmin(g->w, g->h) * 0.5f / size, p.motion.xform.scale.x);
    bud_test_update(b, UPDATE_FRAME_END);
    EXPECT_EQ(meshes + b->preview_count - 1, GFX.xoxs.count); // kept, not loaded again

    panel->flags |= HUDGIZMO_HIDDEN;
    bud_test_update(b, UPDATE_FRAME_END);
    EXPECT_EQ(0, b->preview_count);
    bud_test_clean(b);
    EXPECT_EQ(before, GFX.xoxs.count);
}

TEST_F(BudTest, PartChoicesMirrorLeftOntoRightExceptTheFourthObject)
{
    start();
    hudgizmo mitt = choice("hand", "mitt");
    click(BTN_HandsSelect, &mitt);
    EXPECT_STREQ("mitt", object(b, 44).name);
    EXPECT_EQ(avatar_group_find("hand"), object(b, 44).group);
    EXPECT_STREQ("mitt", object(b, 68).name);
    EXPECT_STREQ("mitt", label(gizmo(BTN_Hands)));

    strcpy(object(b, 71).name, "kept");
    hudgizmo wand = choice("inhand", "wand");
    click(BTN_InHandLSelect, &wand);
    EXPECT_STREQ("wand", object(b, 47).name);
    EXPECT_STREQ("kept", object(b, 71).name);

    hudgizmo none = choice("beard", "none");
    click(BTN_HeadSelect, &none); // a head-part slot: no mirror
    EXPECT_STREQ("", object(b, 24).name);
    EXPECT_STREQ("None", label(gizmo(BTN_Head)));
    EXPECT_NE(nullptr, b->avatar->base.part_bones[11]->meshes[0]); // meshes reloaded
}

TEST_F(BudTest, ColourEditsGoToTheSelectedSurfaceOrItsWholeGroup)
{
    start();
    avatar_soul* soul = b->avatar->soul;
    soul->surfaces[11].argb = 0x80FF4000;
    soul->surfaces[11].gloss = 0.25f;
    click(BTN_ColorBody);
    EXPECT_EQ(&bud_test_menu[BTN_ColorBody], b->selected_colour);
    EXPECT_TRUE(gizmo(BTN_ColorBody)->flags & HUDGIZMO_SELECTED);
    EXPECT_NEAR(128 / 255.0f, bud_test_menu[BTN_ColorA].value, 1e-6f);
    EXPECT_NEAR(1.0f, bud_test_menu[BTN_ColorR].value, 1e-6f);
    EXPECT_NEAR(0.5f, bud_test_menu[BTN_Gloss].value, 1e-6f);

    bud_test_menu[BTN_ColorG].value = 1.0f;
    click(BTN_ColorG);
    EXPECT_EQ(0x80FFFF00u, soul->surfaces[11].argb);
    EXPECT_EQ(0x80FFFF00u, gizmo(BTN_ColorBody)->colour);

    // A group takes colour and shine on all its surfaces, but gloss stays each surface's own.
    soul->surfaces[14].gloss = 0.5f;
    click(BTN_ColorFootGroup);
    EXPECT_FALSE(gizmo(BTN_ColorBody)->flags & HUDGIZMO_SELECTED);
    hudgizmo red;
    memset(&red, 0, sizeof red);
    red.colour = 0xFFC00000;
    click(BTN_ColorPick, &red);
    for (int s : {14, 15, 16, 17})
        EXPECT_EQ(0xFFC00000u, soul->surfaces[s].argb) << s;
    EXPECT_EQ(0x80FFFF00u, soul->surfaces[11].argb);
    bud_test_menu[BTN_Gloss].value = 0.9f;
    click(BTN_Gloss);
    EXPECT_FLOAT_EQ(0.5f, soul->surfaces[14].gloss);
    // The sliders show what was composed.
    EXPECT_NEAR(0xC0 / 255.0f, bud_test_menu[BTN_ColorR].value, 1e-6f);
}

TEST_F(BudTest, SizeSlidersRenderSizesAndSexChoices)
{
    start();
    avatar_soul* soul = b->avatar->soul;
    bud_test_menu[BTN_HeadAspect].value = 1.0f;
    click(BTN_HeadAspect);
    EXPECT_FLOAT_EQ(1.125f, soul->sizes[6].x);
    EXPECT_FLOAT_EQ(0.875f, soul->sizes[6].y);
    bud_test_menu[BTN_LeftEarSize].value = 1.0f;
    click(BTN_LeftEarSize);
    EXPECT_FLOAT_EQ(2.0f, soul->sizes[15].z);
    float y = soul->sizes[8].y;
    bud_test_menu[BTN_NoseSize].value = 0.0f;
    click(BTN_NoseSize);
    EXPECT_FLOAT_EQ(0.5f, soul->sizes[8].x);
    EXPECT_FLOAT_EQ(y, soul->sizes[8].y);

    click(BTN_SetSize80x80c);
    EXPECT_EQ(80, b->render_size);
    EXPECT_EQ(1, b->render_c);
    EXPECT_EQ(0, b->render_z);
    click(BTN_SetSize200x200z);
    EXPECT_EQ(200, b->render_size);
    EXPECT_EQ(0, b->render_c);
    EXPECT_EQ(1, b->render_z);

    click(BTN_SelectSexBoy);
    EXPECT_EQ(1.0f, b->sex);
    click(BTN_SelectSexAll);
    EXPECT_EQ(0.0f, b->sex);
    click(BTN_SavePNG);
    EXPECT_EQ(BTN_SavePNG, b->pending_command);
    answer({""});
    bud_test_update(b, UPDATE_FRAME_END);
    EXPECT_EQ(0, b->pending_command);
}

TEST_F(BudTest, SoulsSaveAndLoadThroughDialogsThatReleaseTheControls)
{
    start();
    strcpy(object(b, 24).name, "long");
    answer({"saved.txt"});
    INPUT.click.held = 1;
    INPUT.players[0].leftright = 5;
    INPUT.players[0].right.held = 1;
    click(BTN_SaveSoul);
    EXPECT_EQ("Select soul to save", last_title());
    EXPECT_TRUE(harness_file_exists("saved.xml"));
    EXPECT_EQ(0u, GFX.soul_path_flag);
    EXPECT_EQ(1, GFX.d3d_gfx.resize_flag);
    EXPECT_EQ(0, INPUT.click.held);
    EXPECT_EQ(1, INPUT.click.released);
    EXPECT_EQ(0, INPUT.players[0].leftright);
    EXPECT_EQ(0, INPUT.players[0].right.held);

    strcpy(object(b, 24).name, "other");
    answer({""}); // cancelled: nothing changes
    click(BTN_LoadSoul);
    EXPECT_STREQ("other", object(b, 24).name);
    answer({"saved.xml"});
    click(BTN_LoadSoul);
    EXPECT_EQ("Select soul to load", last_title());
    EXPECT_STREQ("long", object(b, 24).name);
    EXPECT_STREQ("long", label(gizmo(BTN_Head)));
    EXPECT_EQ(0u, GFX.soul_path_flag);

    // A missing or malformed soul keeps the avatar being edited, its parts and its edits,
    // and the log says which file failed.
    std::ofstream("broken.xml") << "<soul><flavour><part name=";
    xox_mesh* body_mesh = b->avatar->base.part_bones[5]->meshes[0];
    ASSERT_NE(nullptr, body_mesh);
    for (const char* bad : {"missing.xml", "broken.xml"}) {
        answer({bad});
        click(BTN_LoadSoul);
        ASSERT_NE(nullptr, b->avatar->soul) << bad;
        EXPECT_STREQ("long", object(b, 24).name) << bad;
        EXPECT_EQ(body_mesh, b->avatar->base.part_bones[5]->meshes[0]) << bad;
        EXPECT_NE(std::string::npos, errors().find(std::string("Failed to load soul ") + bad)) << errors();
        EXPECT_EQ(0u, GFX.soul_path_flag);
    }
}

TEST_F(BudTest, RandomizeFollowsTheSexChoiceAndStartsAPose)
{
    start();
    click(BTN_SelectSexBoy);
    lua_fixture_run(CON.L, "real_random = soul.random; soul.random = function(s) asked = tostring(s); "
                           "return real_random(s) end");
    click(BTN_Randomize);
    EXPECT_EQ("boi", lua_fixture_eval(CON.L, "asked"));
    EXPECT_GE(b->anim_next, 1);
    EXPECT_LE(b->anim_next, 32);
    EXPECT_EQ(1.0f, b->anim_blend);
    click(BTN_SelectSexAll);
    click(BTN_Randomize);
    EXPECT_EQ("nil", lua_fixture_eval(CON.L, "asked"));
    EXPECT_EQ("", errors());
}
