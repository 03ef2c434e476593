// The avatar editor: what its setup builds and its clean gives back, the place of the
// avatar in its frame and of its eyes, the part previews, the colour edits and the soul
// dialogs; then the render tools' image routines and the image series they write.

#include <gtest/gtest.h>

#include <IL/il.h>
#include <stdio.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/code/app.h"
#include "app/code/avatar/bud_test.h"
#include "app/code/avatar/bud_tools.h"
#include "app/code/con.h"
#include "app/code/input.h"
#include "app/code/main_state.h"
#include "engine/code/files.h"
#include "engine/code/gfx/avatar.h"
#include "engine/code/gfx/avatar_names.h"
#include "engine/code/gfx/avatar_render.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/soul.h"
#include "engine/code/gfx/xox.h"
#include "engine/code/gfx/xsx.h"
#include "platform/plat_dialog.h"
#include "tests/harness/harness.h"
#include "tests/harness/lua_fixture.h"
#include "tests/harness/staged_fixture.h"

namespace {

// The file dialogs answer these paths in turn; an empty string cancels.
std::vector<std::string> answers;
int asked;
std::string title;

BOOL scripted_dialog(plat_dialog_kind, OPENFILENAMEA* ofn)
{
    asked++;
    title = ofn->lpstrTitle ? ofn->lpstrTitle : "";
    bool chosen = !answers.empty() && !answers.front().empty();
    if (chosen)
        snprintf(ofn->lpstrFile, ofn->nMaxFile, "%s", answers.front().c_str());
    if (!answers.empty())
        answers.erase(answers.begin());
    return chosen;
}

// The staged installation, a real device, the HUD pools and the Lua environment.
class BudTest : public StagedFixture {
protected:
    void SetUp() override
    {
        memcpy(kept_menu, bud_test_menu, sizeof kept_menu);
        memset(&bud_test_state, 0, sizeof bud_test_state);
        ASSERT_NO_FATAL_FAILURE(staged_open(true));
        std::filesystem::create_directories("local/rendered");
        answers.clear();
        asked = 0;
        title.clear();
        plat_set_file_dialog(scripted_dialog);
        main_state_curr = &main_state_bud_test;
    }
    void TearDown() override
    {
        bud_test_clean(&bud_test_state);
        plat_set_file_dialog(NULL);
        staged_close();
        // The slider values live in the static table; they, the controls the tests press and
        // the frame period the setup sets go back as the test found them.
        memcpy(bud_test_menu, kept_menu, sizeof kept_menu);
        INPUT = kept_input;
        APP.frame_period = kept_frame_period;
    }
    void answer(std::vector<std::string> paths) { answers = paths; }
    // The editor set up, and one frame so the screen size is known and the gizmos placed.
    void start()
    {
        ASSERT_TRUE(bud_test_setup(b, &GFX));
        ASSERT_TRUE(gfx_begin_scene(&GFX));
        gfx_end_scene(&GFX);
        hud_update(&HUD);
    }
    // Clicks a record as the HUD does, with the given gizmo.
    void click(int32_t id, hudgizmo* g = nullptr)
    {
        menu_def* r = &bud_test_menu[id];
        ASSERT_NE(nullptr, r->handler) << r->name;
        r->handler(r, g, 1, 0);
    }
    hudgizmo* gizmo(int32_t id) { return bud_test_menu[id].gizmo; }
    static std::string errors() { return harness_read_file("ERROR.TXT"); }
    bud_test* b = &bud_test_state;

private:
    // Taken before SetUp changes anything.
    menu_def kept_menu[BUD_TEST_RECORD_COUNT + 1];
    const input_state kept_input = INPUT;
    const int32_t kept_frame_period = APP.frame_period;
};

soul_object& object(bud_test* b, int slot) { return b->avatar->soul->objects[slot / 4][slot % 4]; }
const char* label(hudgizmo* g) { return ((hudgizmo*)list_first(&g->children))->text; }

} // namespace

TEST_F(BudTest, SetupBuildsTheMenuFromTheSoulAndCleanGivesEverythingBack)
{
    int32_t avatars = GFX.avatars.avatar_count, meshes = GFX.xoxs.count;
    bud_test_menu[BTN_RotY].value = 0.1f; // left by an earlier visit
    bud_test_menu[BTN_NoseSize].value = 1.0f;
    APP.frame_period = 10;
    start();
    ASSERT_TRUE(b->avatar && b->avatar->soul);
    EXPECT_EQ(33, APP.frame_period);
    EXPECT_EQ(bud_test_menu, HUD.menu_table);
    EXPECT_EQ((std::vector<float>{0.5f, 0.5f, 0.33333334f}),
              (std::vector<float>{bud_test_menu[BTN_RotY].value, bud_test_menu[BTN_HeadAspect].value,
                                  bud_test_menu[BTN_NoseSize].value}));
    // sex, the animation, the blend, the turn and the mood size as the setup leaves them
    EXPECT_EQ((std::vector<float>{-1, 8, -1, 1, 100}),
              (std::vector<float>{b->sex, (float)b->anim_current, (float)b->anim_next, (float)b->auto_turn,
                                  (float)b->render_size}));
    EXPECT_EQ("table", lua_fixture_eval(CON.L, "type(zuzodida)"));

    // Object labels name the soul's objects; the colour buttons and their swatches show it.
    ASSERT_NE(nullptr, gizmo(BTN_Head));
    EXPECT_STREQ(object(b, 24).name, label(gizmo(BTN_Head)));
    EXPECT_STREQ("None", label(gizmo(BTN_Beard))); // "me" has no beard
    // The swatch beside a colour button: opaque, each channel colour + specular, capped:
    // F0 + 20 caps at FF, 10 + 30 = 40, 20 + 40 = 60.
    soul_surface& skin = b->avatar->soul->surfaces[0];
    EXPECT_EQ(0xFF202020u, skin.spec); // as "me" has it
    skin.argb = 0x80F01020;
    skin.spec = 0x00203040;
    bud_test_refresh_faces(b);
    EXPECT_EQ(0x80F01020u, gizmo(BTN_ColorSkin)->colour);
    EXPECT_EQ(0xFFFF4060u, ((hudgizmo*)gizmo(BTN_ColorSkin)->link.next)->colour);
    // A random soul from the soul script: its hair shines 0xFF404040, its skin not at all.
    click(BTN_Randomize);
    EXPECT_EQ(0xFF404040u, b->avatar->soul->surfaces[3].spec);
    EXPECT_EQ(0u, skin.spec);
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

// turn x bone, as the eyes compose it (row-major, the turn applied first to a row vector).
static mat4 turned(const float (&turn)[9], const mat4& bone)
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
    EXPECT_FLOAT_EQ(s * 0.5f, b->motion.xform.scale.x);
    EXPECT_FLOAT_EQ(cx - 400.0f, b->motion.xform.position.x);
    EXPECT_FLOAT_EQ(b->motion.xform.position.x, b->avatar->base.anim->matrix.m[12]);
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

// The turn: angle pi - 2 pi v about y, v the value of BTN_RotY; with auto-turn on, v grows
// by 0.001 a frame end and, once past 1, starts again at 0. The view buttons set v (front
// 0.5, back 0, left 0.25, right 0.75); the turn's quaternion about y is (0, sin a/2, 0, cos a/2).
TEST_F(BudTest, TheAvatarTurnsWrapsAndTheViewButtonsSetItsTurn)
{
    start();
    bud_test_menu[BTN_RotY].value = 0.9995f;
    bud_test_update(b, UPDATE_BODY_STEP); // only the frame end acts
    EXPECT_FLOAT_EQ(0.9995f, bud_test_menu[BTN_RotY].value);
    bud_test_update(b, UPDATE_FRAME_END); // 1.0005: past 1, back to 0
    EXPECT_FLOAT_EQ(0.0f, bud_test_menu[BTN_RotY].value);
    bud_test_update(b, UPDATE_FRAME_END); // this frame's angle used 0: a half turn
    EXPECT_FLOAT_EQ(0.001f, bud_test_menu[BTN_RotY].value);
    EXPECT_NEAR(1.0f, std::fabs(b->motion.xform.orientation.y), 1e-5f);

    const float H = 0.70710678f; // sin and cos of a quarter turn's half
    const struct {
        int32_t id;
        float v, qy, qw;
    } views[] = {{BTN_ViewFront, 0.5f, 0, 1}, {BTN_ViewLeft, 0.25f, H, H}, {BTN_ViewRight, 0.75f, -H, H}};
    click(BTN_ViewRotateOff);
    for (const auto& c : views) {
        click(c.id);
        bud_test_update(b, UPDATE_FRAME_END);
        bud_test_update(b, UPDATE_FRAME_END); // auto-turn off: it stays
        EXPECT_EQ(c.v, bud_test_menu[BTN_RotY].value);
        EXPECT_NEAR(c.qy, b->motion.xform.orientation.y, 1e-5f) << c.v;
        EXPECT_NEAR(c.qw, std::fabs(b->motion.xform.orientation.w), 1e-5f) << c.v;
    }
    click(BTN_ViewBack);
    EXPECT_EQ(0.0f, bud_test_menu[BTN_RotY].value);
    click(BTN_ViewRotateOn);
    bud_test_update(b, UPDATE_FRAME_END);
    EXPECT_FLOAT_EQ(0.001f, bud_test_menu[BTN_RotY].value);
}

// A click blends its animation in over 16 frames: in frame k of the blend the current one
// weighs 1 - k/16 and the new one k/16; then the new one plays alone at weight 1. A second
// click during a blend makes the one blended in current at once.
TEST_F(BudTest, AnAnimationBlendsInOverSixteenFramesAndASecondClickCutsIn)
{
    start();
    avatar_layer* l = b->avatar->layers;
    auto layers = [&] { // one frame, then layers 0 and 1: slot number (-1 for none) and weight
        auto slot = [](avatar_layer& a) { return a.slot ? (float)(a.slot - GFX.avatars.anims) : -1.0f; };
        bud_test_update(b, UPDATE_FRAME_END);
        return std::vector<float>{slot(l[0]), l[0].weight, slot(l[1]), l[1].slot ? l[1].weight : 0.0f};
    };
    click(BTN_AnimCycleWalk); // 9, over cycle_breath (8)
    for (int k = 0; k < 16; k++)
        EXPECT_EQ((std::vector<float>{8, 1 - k / 16.0f, 9, k / 16.0f}), layers()) << k;
    l[1].time = 0.25f; // the clock of the one blended in goes on in layer 0, one frame on
    EXPECT_EQ((std::vector<float>{9, 1, -1, 0}), layers());
    EXPECT_FLOAT_EQ(0.25f + 0.033333335f, l[0].time);
    click(BTN_AnimPoseHappy); // 21
    layers();
    click(BTN_AnimPush); // 7
    EXPECT_EQ((std::vector<float>{21, 1, 7, 0}), layers());
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

// The first shown choice under g that names a mesh.
hudgizmo* first_part(hudgizmo* g)
{
    for (list_node* n = list_first(&g->children); n && n != &g->children.tail; n = n->next) {
        hudgizmo* c = (hudgizmo*)n;
        if (c->part_name && strcmp(c->part_name, "none") != 0)
            return c;
        if (hudgizmo* d = first_part(c))
            return d;
    }
    return nullptr;
}

TEST_F(BudTest, APreviewWhoseMeshIsDamagedIsTriedOnceNotAtEveryFrame)
{
    start();
    hudgizmo* panel = hudgizmo_find(HUD.display_gizmo, str_pool_add(&HUD.name_pool, "PICK_2"));
    ASSERT_NE(nullptr, panel);
    hudgizmo* part = first_part(panel);
    ASSERT_NE(nullptr, part);
    const xox_link* link =
        avatars_find_xox_link(&GFX.avatars.groups[avatar_group_find(part->part_group)], part->part_name);
    ASSERT_TRUE(link && link->xox[0]);
    std::string path = std::string("data/avatar/xox/") + link->xox + ".xox";
    std::ofstream(path, std::ios::trunc) << "0XOX";
    panel->flags &= ~HUDGIZMO_HIDDEN;
    hud_update(&HUD);
    for (int frame = 0; frame < 3; frame++)
        bud_test_update(b, UPDATE_FRAME_END);
    std::string log = errors();
    size_t first = log.find(path);
    ASSERT_NE(std::string::npos, first) << log;
    EXPECT_EQ(std::string::npos, log.find(path, first + 1)) << log;
}

// A part choice writes the group found for the gizmo's part_group and its part_name into the
// record's slot ("none" or no name: the empty name, shown as "None"), reloads the meshes and
// relabels the object buttons.
TEST_F(BudTest, PartChoicesNameTheirGroupAndObjectOrNoneAndRelabelTheButtons)
{
    start();
    const struct {
        int32_t id, slot, label_id;
        const char *group, *name, *want_name, *want_label;
    } choices[] = {
        {BTN_HandsSelect, 44, BTN_Hands, "hand", "mitt", "mitt", "mitt"},
        {BTN_HeadSelect, 24, BTN_Head, "beard", "none", "", "None"},
        {BTN_NoseSelect, 32, BTN_Nose, "nose", nullptr, "", "None"},
    };
    for (const auto& c : choices) {
        hudgizmo g = {};
        g.part_group = c.group;
        g.part_name = c.name;
        click(c.id, &g);
        EXPECT_EQ(avatar_group_find(c.group), object(b, c.slot).group) << c.slot;
        EXPECT_STREQ(c.want_name, object(b, c.slot).name) << c.slot;
        EXPECT_STREQ(c.want_label, label(gizmo(c.label_id))) << c.slot;
    }
    EXPECT_NE(nullptr, b->avatar->base.part_bones[11]->meshes[0]); // the body's meshes came back
}

// A part choice fills its object slot, and objects 0 to 2 of the parts from 10 on (slots 40
// up, slot & 3 not 3) also the slot 24 on: the same object of the part six places on.
TEST_F(BudTest, PartChoicesMirrorTheLeftPartsAndSizeSlidersSpanTheirRange)
{
    start();
    hudgizmo mitt = {};
    mitt.part_group = "hand";
    mitt.part_name = "mitt";
    const struct {
        uint32_t slot;
        bool mirrored;
    } choices[] = {{36, false}, {38, false}, {40, true}, {42, true}, {43, false}, {44, true}, {47, false}};
    for (const auto& c : choices) {
        strcpy(object(b, c.slot + 24).name, "kept");
        menu_def r = bud_test_menu[BTN_HandsSelect];
        r.data = c.slot;
        r.handler(&r, &mitt, 1, 0);
        EXPECT_STREQ("mitt", object(b, c.slot).name) << c.slot;
        EXPECT_STREQ(c.mirrored ? "mitt" : "kept", object(b, c.slot + 24).name) << c.slot;
    }

    // The size sliders at both ends (v 0 and 1): the head x 0.875 + 0.25v, y 1.125 - 0.25v;
    // an eye or an ear 0.5 + 1.5v on every axis; the nose so in x and z only.
    vec3* sizes = b->avatar->soul->sizes;
    sizes[6].z = sizes[8].y = 1.25f; // the axes the sliders leave alone
    const struct {
        int32_t id, part;
        float v, x, y, z;
    } sliders[] = {{BTN_HeadAspect, 6, 0, 0.875f, 1.125f, 1.25f}, {BTN_HeadAspect, 6, 1, 1.125f, 0.875f, 1.25f},
                   {BTN_LeftEyeSize, 13, 0, 0.5f, 0.5f, 0.5f},    {BTN_RightEarSize, 21, 1, 2, 2, 2},
                   {BTN_NoseSize, 8, 0, 0.5f, 1.25f, 0.5f},       {BTN_NoseSize, 8, 1, 2, 1.25f, 2}};
    for (const auto& c : sliders) {
        bud_test_menu[c.id].value = c.v;
        click(c.id);
        const vec3& s = sizes[c.part];
        EXPECT_EQ((std::vector<float>{c.x, c.y, c.z}), (std::vector<float>{s.x, s.y, s.z})) << c.id << " " << c.v;
    }
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
    // The sliders show the surface: bytes / 255, gloss as its square root.
    for (auto [id, v] : {std::pair<int32_t, float>{BTN_ColorA, 128 / 255.0f}, {BTN_ColorR, 1.0f}, {BTN_Gloss, 0.5f}})
        EXPECT_NEAR(v, bud_test_menu[id].value, 1e-6f) << id;
    bud_test_menu[BTN_ColorG].value = 1.0f;
    click(BTN_ColorG);
    EXPECT_EQ(0x80FFFF00u, soul->surfaces[11].argb);
    EXPECT_EQ(0x80FFFF00u, gizmo(BTN_ColorBody)->colour);

    // A group takes colour on all its surfaces, but gloss stays each surface's own.
    soul->surfaces[14].gloss = 0.5f;
    click(BTN_ColorFootGroup);
    EXPECT_FALSE(gizmo(BTN_ColorBody)->flags & HUDGIZMO_SELECTED); // one selected at a time
    EXPECT_TRUE(gizmo(BTN_ColorFootGroup)->flags & HUDGIZMO_SELECTED);
    hudgizmo red = {};
    red.colour = 0xFFC00000;
    click(BTN_ColorPick, &red);
    for (int s : {14, 15, 16, 17})
        EXPECT_EQ(0xFFC00000u, soul->surfaces[s].argb) << s;
    EXPECT_EQ(0x80FFFF00u, soul->surfaces[11].argb);
    // The sliders show what was composed: A FF, R C0, G and B 0.
    for (auto [id, v] : {std::pair<int32_t, float>{BTN_ColorA, 1.0f}, {BTN_ColorR, 0xC0 / 255.0f}, {BTN_ColorG, 0.0f}})
        EXPECT_NEAR(v, bud_test_menu[id].value, 1e-6f) << id;
    bud_test_menu[BTN_Gloss].value = 0.9f;
    click(BTN_Gloss);
    EXPECT_FLOAT_EQ(0.5f, soul->surfaces[14].gloss);
}

// Records 135 to 149 choose (render_z, render_c, render_size): five plain sizes 50, 64, 80,
// 100 and 200, the same five close-up, then zoomed; 150 to 152 choose the sex; the render
// tools' records only queue their id, which the next frame end runs and clears.
TEST_F(BudTest, SizeSexAndToolRecordsSetTheirChoices)
{
    start();
    const int32_t sizes[] = {50, 64, 80, 100, 200};
    for (int32_t i = 0; i < 15; i++) {
        click(BTN_SetSize50x50 + i);
        EXPECT_EQ((std::vector<int32_t>{i / 5 == 2, i / 5 == 1, sizes[i % 5]}),
                  (std::vector<int32_t>{b->render_z, b->render_c, b->render_size}))
            << bud_test_menu[BTN_SetSize50x50 + i].name;
    }
    for (auto [id, sex] : {std::pair<int32_t, float>{BTN_SelectSexBoy, 1.0f}, {BTN_SelectSexGirl, -1.0f},
                           {BTN_SelectSexAll, 0.0f}}) {
        click(id);
        EXPECT_EQ(sex, b->sex) << id;
    }
    for (int32_t id : {BTN_SavePNG, BTN_SaveAnim, BTN_SaveMoods, BTN_RandomSave}) {
        click(id);
        EXPECT_EQ(id, b->pending_command);
        b->pending_command = 0; // not run here
    }
    click(BTN_SavePNG);
    answer({""});
    bud_test_update(b, UPDATE_FRAME_END);
    EXPECT_EQ(0, b->pending_command);
    EXPECT_EQ(1, asked);
}

// Randomize asks the soul script for a boy ("boi") when sex is above 0, a girl ("grl") below
// 0, either (no argument) at 0, and, when no blend is running, blends in a pose 1 to 32.
TEST_F(BudTest, RandomizeFollowsTheSexChoiceAndStartsAPose)
{
    start();
    ASSERT_EQ("", lua_fixture_run(CON.L, "real_random = soul.random\n"
                                         "soul.random = function(s) asked = tostring(s) return real_random(s) end"));
    for (auto [id, want] : {std::pair<int32_t, const char*>{BTN_SelectSexBoy, "boi"}, {BTN_SelectSexGirl, "grl"},
                            {BTN_SelectSexAll, "nil"}}) {
        click(id);
        b->anim_next = -1;
        click(BTN_Randomize);
        EXPECT_EQ(want, lua_fixture_eval(CON.L, "asked")) << id;
        EXPECT_TRUE(b->anim_next >= 1 && b->anim_next <= 32) << b->anim_next;
        EXPECT_EQ(1.0f, b->anim_blend);
    }
    b->anim_next = 5; // a blend running: left as it is
    b->anim_blend = 0.5f;
    click(BTN_Randomize);
    EXPECT_EQ(5, b->anim_next);
    EXPECT_EQ(0.5f, b->anim_blend);
    EXPECT_EQ("", errors());
}

TEST_F(BudTest, SoulsSaveAndLoadThroughDialogsAndAFailedLoadKeepsTheAvatar)
{
    start();
    // Every dialog, chosen or cancelled, ends with the device examined at the next frame and
    // every control let go: held buttons released, axes at 0.
    input_player* p = &INPUT.players[0];
    auto dialog = [&](int32_t id, const char* path) {
        GFX.d3d_gfx.resize_flag = 0;
        input_button_set(&INPUT.click, true);
        input_axis_set(&p->leftright, &p->left, &p->right, 5);
        answer({path});
        click(id);
        EXPECT_EQ((std::vector<int>{1, 0, 1, 0, 0, 1}),
                  (std::vector<int>{GFX.d3d_gfx.resize_flag, INPUT.click.held, INPUT.click.released, p->leftright,
                                    p->right.held, p->right.released}))
            << id << " " << path;
    };
    strcpy(object(b, 24).name, "long");
    dialog(BTN_SaveSoul, "saved.txt");
    EXPECT_EQ("Select soul to save", title);
    EXPECT_TRUE(harness_file_exists("saved.xml"));
    EXPECT_EQ(0u, GFX.soul_path_flag);

    strcpy(object(b, 24).name, "other");
    dialog(BTN_LoadSoul, ""); // cancelled: nothing changes
    EXPECT_STREQ("other", object(b, 24).name);
    dialog(BTN_LoadSoul, "saved.xml");
    EXPECT_EQ("Select soul to load", title);
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

// ---- image routines and tools ----

namespace {

std::string base(const char* path)
{
    char out[FILE_DIALOG_PATH_CHARS];
    bud_test_base_name(out, path);
    return out;
}

// A fresh BGRA image filled from ARGB words, rows in memory order.
ILuint image(int w, int h, const std::vector<uint32_t>& argb)
{
    ILuint id;
    ilGenImages(1, &id);
    ilBindImage(id);
    ilTexImage(w, h, 1, 4, IL_BGRA, IL_UNSIGNED_BYTE, (void*)argb.data());
    return id;
}

// The bound image's pixels as ARGB words, rows in memory order.
std::vector<uint32_t> pixels(ILuint id)
{
    ilBindImage(id);
    const uint32_t* p = (const uint32_t*)ilGetData();
    return std::vector<uint32_t>(p, p + ilGetInteger(IL_IMAGE_WIDTH) * ilGetInteger(IL_IMAGE_HEIGHT));
}

std::vector<std::string> files_in(const char* folder)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(BudImages, BaseNamesCutAtTheFirstDigitOrDotOfTheFileName)
{
    for (auto [path, want] : std::vector<std::pair<std::string, std::string>>{
             {"local/rendered/test.png", "local/rendered/test"}, {"a/pic12.png", "a/pic"}, {"shot.png", "shot"},
             {"shot", "shot"}, {"shot7.png", "shot"}, {"v1.2\\dir/x3", "v1.2\\dir/x"},
             {"local/rendered/random_A_B_", "local/rendered/random_A_B_"},
             {std::string(400, 'a'), std::string(FILE_DIALOG_PATH_CHARS - 1, 'a')}})
        EXPECT_EQ(want, base(path.c_str())) << path;
}

TEST(BudImages, AnimationFramesAreCountedSoEveryLengthEnds)
{
    // Frame k stands at k * 0.05 s: the count is the frames starting before the length.
    // From 2^20 s a float clock no longer grows by 0.05, so the count must not be summed.
    const struct {
        float length;
        int64_t frames;
    } cases[] = {
        {0.0f, 0}, {-1.0f, 0}, {NAN, 0}, {INFINITY, 0}, {0.05f, 1}, {0.06f, 2}, {1.0f, 20},
        // 2^21 s: 2^21 * 20 frames, less the last, whose time 2097151.95 rounds to the
        // float 2^21 (floats there are 0.125 apart).
        {2097152.0f, 41943039},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.frames, bud_test_anim_frames(c.length)) << c.length;
}

TEST(BudImages, OutputImageAveragesBoxesAndRepeatsPixelsWhenEnlarging)
{
    ilInit();
    ILuint src = image(4, 2, {0xFF000000, 0x00FF0000, 0x80000000, 0x80000000,   //
                              0xFF0000FF, 0x000000FF, 0x80000002, 0x80000001});
    ILuint dst = image(1, 1, {0});
    ASSERT_TRUE(bud_test_output_image(src, dst, 2, 1));
    EXPECT_EQ(IL_BGRA, ilGetInteger(IL_IMAGE_FORMAT));
    // (255+0+255+0)/4, (0+255)/4, 0, (0+0+255+255)/4; then 3/4 truncates to 0.
    EXPECT_EQ(pixels(dst), (std::vector<uint32_t>{0x7F3F007F, 0x80000000}));
    // Each of four columns from two source pixels: no column is left empty.
    ILuint two = image(2, 1, {0xFF102030, 0xFF405060});
    ASSERT_TRUE(bud_test_output_image(two, dst, 4, 1));
    EXPECT_EQ(pixels(dst), (std::vector<uint32_t>{0xFF102030, 0xFF102030, 0xFF405060, 0xFF405060}));
    ILuint ids[3] = {src, dst, two};
    ilDeleteImages(3, ids);
}

TEST(BudImages, BoundsOfTheOpaquePixelsOrTheWholeImage)
{
    ilInit();
    std::vector<uint32_t> px(6 * 5, 0x00FFFFFF); // white but transparent: the whole image
    for (int step = 0; step < 2; step++) {
        ILuint id = image(6, 5, px);
        int32_t x, y, w, h;
        bud_test_image_bounds(id, &x, &y, &w, &h);
        EXPECT_EQ((std::vector<int32_t>{x, y, w, h}), step ? (std::vector<int32_t>{2, 1, 3, 3})
                                                           : (std::vector<int32_t>{0, 0, 6, 5}));
        ilDeleteImages(1, &id);
        px[1 * 6 + 2] = 0x01000000; // any alpha counts: (2, 1) to (4, 3)
        px[3 * 6 + 4] = 0xFF000000;
    }
}

TEST(BudImages, PalettisedCopiesKeepIndexZeroForTheTransparentBackground)
{
    ilInit();
    ILuint src = image(3, 1, {0x00000000, 0xF7FF0000, 0xFF00FF00});
    ILuint dst = image(1, 1, {0});
    bud_test_palettise(src, dst);
    ilBindImage(dst);
    ASSERT_EQ(IL_COLOUR_INDEX, ilGetInteger(IL_IMAGE_FORMAT));
    const ILubyte* index = ilGetData();
    EXPECT_EQ((std::vector<int>{0, 0}), (std::vector<int>{index[0], index[1]})); // below 0xF8 is background
    ASSERT_GE(index[2], 1);
    const ILubyte* pal = ilGetPalette();
    int bpp = ilGetInteger(IL_PALETTE_BPP);
    EXPECT_EQ(256, ilGetInteger(IL_PALETTE_NUM_COLS));
    EXPECT_EQ((std::vector<int>{128, 128, 128}), (std::vector<int>{pal[0], pal[1], pal[2]})); // the grey background
    EXPECT_NEAR(0xFF, pal[index[2] * bpp + 1], 8); // green survives
    ILuint ids[2] = {src, dst};
    ilDeleteImages(2, ids);
}

// ---- the tools, on the installation's avatar ----

namespace {

class BudTools : public BudTest {
protected:
    // The image library delivers rows top first, as the shell sets it up.
    void SetUp() override
    {
        BudTest::SetUp();
        kept_origin_set = ilIsEnabled(IL_ORIGIN_SET);
        kept_origin = ilGetInteger(IL_ORIGIN_MODE);
        ilOriginFunc(IL_ORIGIN_UPPER_LEFT);
        ilEnable(IL_ORIGIN_SET);
    }
    void TearDown() override
    {
        (kept_origin_set ? ilEnable : ilDisable)(IL_ORIGIN_SET);
        if (kept_origin == IL_ORIGIN_LOWER_LEFT || kept_origin == IL_ORIGIN_UPPER_LEFT)
            ilOriginFunc((ILenum)kept_origin);
        BudTest::TearDown();
    }
    ILboolean kept_origin_set = IL_FALSE;
    ILint kept_origin = 0;
    void run(int32_t id)
    {
        bud_test_update(b, UPDATE_FRAME_END); // the layers as a frame leaves them
        b->pending_command = id;
        bud_test_update(b, UPDATE_FRAME_END);
    }
    // Which pixels of a saved picture are covered, rows in memory order; side in *w.
    static std::vector<bool> coverage(const std::string& path, int* w = nullptr)
    {
        ILuint id;
        ilGenImages(1, &id);
        ilBindImage(id);
        EXPECT_TRUE(ilLoadImage(path.c_str())) << path;
        int side = ilGetInteger(IL_IMAGE_WIDTH);
        if (w)
            *w = side;
        ilConvertImage(IL_BGRA, IL_UNSIGNED_BYTE);
        const uint32_t* px = (const uint32_t*)ilGetData();
        std::vector<bool> mask;
        for (int i = 0; px && i < side * ilGetInteger(IL_IMAGE_HEIGHT); i++)
            mask.push_back((px[i] >> 24) != 0);
        ilDeleteImages(1, &id);
        return mask;
    }
    // The alpha of the tool's render of animation slot i at 400, rows in memory order (the
    // picture's top row last); the side in *side.
    std::vector<uint8_t> render_alpha(int32_t i, int32_t* side)
    {
        avatar_layer* l = b->avatar->layers;
        l[0] = {1.0f, 0.0f, &GFX.avatars.anims[i]};
        l[1].slot = NULL;
        avatar_update(b->avatar);
        ILuint id;
        ilGenImages(1, &id);
        ilBindImage(id);
        std::vector<uint8_t> alpha;
        *side = avatar_render_image(b->avatar, 400) ? ilGetInteger(IL_IMAGE_WIDTH) : 0;
        const uint8_t* px = ilGetData();
        for (int32_t k = 0; px && k < *side * *side; k++)
            alpha.push_back(px[4 * k + 3]);
        ilDeleteImages(1, &id);
        return alpha;
    }
    // Share of the picture's pixels that are not the transparent entry.
    static double covered(const std::string& path)
    {
        std::vector<bool> mask = coverage(path);
        return mask.empty() ? 0.0 : (double)std::count(mask.begin(), mask.end(), true) / mask.size();
    }
};

} // namespace

TEST_F(BudTools, SavePngWritesEverySizeInThreeVariants)
{
    start();
    std::filesystem::create_directories("out");
    answer({"out/shot7.png"});
    INPUT.click.held = 1;
    INPUT.players[0].leftright = 5;
    run(BTN_SavePNG);
    EXPECT_EQ("Select base name of PNG output", title);
    std::vector<std::string> expected;
    for (const char* s : {"050", "064", "080", "100", "200"})
        for (const char* v : {"", "c", "z"})
            expected.push_back(std::string("shot") + s + v + ".png");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, files_in("out"));
    int side;
    coverage("out/shot064c.png", &side);
    EXPECT_EQ(64, side);
    // The avatar shows in each variant, most of all in the zoomed one, on a clear background.
    double plain = covered("out/shot100.png"), zoomed = covered("out/shot100z.png");
    EXPECT_TRUE(plain > 0.03 && plain < 0.9) << plain;
    EXPECT_GT(zoomed, plain);
    EXPECT_GT(covered("out/shot100c.png"), 0.03);
    // The close-up at 100 is the middle of the plain picture at 200, mirrored left to right
    // and standing the same way up.
    std::vector<bool> whole = coverage("out/shot200.png"), middle = coverage("out/shot100c.png");
    ASSERT_EQ(200u * 200, whole.size());
    ASSERT_EQ(100u * 100, middle.size());
    int differ = 0;
    for (int y = 0; y < 100; y++)
        for (int x = 0; x < 100; x++)
            differ += middle[y * 100 + x] != whole[(50 + y) * 200 + 149 - x];
    EXPECT_LT(differ, 50);
    // After the dialog the device is examined next frame and every control let go.
    EXPECT_EQ((std::vector<int>{1, 0, 1, 0}), (std::vector<int>{GFX.d3d_gfx.resize_flag, INPUT.click.held,
                                                                INPUT.click.released, INPUT.players[0].leftright}));
}

// Animation frames (none when cancelled), and a mood picture for each animation slot, _base first.
TEST_F(BudTools, AnimationFramesAndMoodsAreWrittenOneEachAndACancelWritesNothing)
{
    start();
    std::vector<std::string> before = files_in("local/rendered");
    answer({""});
    run(BTN_SaveAnim);
    EXPECT_EQ(1, asked);
    EXPECT_EQ(before, files_in("local/rendered"));

    std::filesystem::create_directories("anim");
    answer({"anim/walk.png"});
    b->anim_current = 9;
    run(BTN_SaveAnim);
    // One frame per 0.05 s that starts before the end.
    double length = xsx_length(GFX.avatars.anims[9].anim);
    EXPECT_EQ((size_t)std::ceil(length * 20.0), files_in("anim").size());
    EXPECT_TRUE(harness_file_exists("anim/walk100_000.png"));

    click(BTN_SetSize50x50c);
    std::filesystem::create_directories("moods");
    answer({"moods/m.png"});
    run(BTN_SaveMoods);
    EXPECT_EQ(33u, files_in("moods").size());
    for (int i = 0; i < 33; i++)
        EXPECT_TRUE(harness_file_exists((std::string("moods/m050c") + avatar_anim_name(i) + ".png").c_str())) << i;
}

TEST_F(BudTools, RandomBatchPutsTheEditedAvatarBack)
{
    start();
    avatar_soul* soul = b->avatar->soul;
    soul->surfaces[0].argb = 0xFF123456;
    soul->sizes[8] = {1.5f, 0.5f, 2.0f};
    avatar_soul edited = *soul;
    auto bodies = [&] { // the file size of every part mesh, part by part
        std::vector<uint32_t> v;
        for (xsx_bone* bone : b->avatar->base.part_bones)
            for (int j = 0; bone && j < (int)XSX_BONE_MESHES; j++)
                v.push_back(bone->meshes[j] ? bone->meshes[j]->file->payload_size : 0);
        return v;
    };
    std::vector<uint32_t> meshes = bodies();
    b->sex = 0.0f;
    run(BTN_RandomSave);
    EXPECT_EQ(meshes, bodies());
    EXPECT_TRUE(harness_file_exists("local/rendered/random_H_P_050c.png"));
    ASSERT_EQ(soul, b->avatar->soul);
    EXPECT_EQ(0, memcmp(&edited.sizes, &soul->sizes, sizeof edited - offsetof(avatar_soul, sizes)));
    EXPECT_EQ(0.0f, b->sex);
    EXPECT_EQ(0xFF123456u, gizmo(BTN_ColorSkin)->colour);
}

// Zoomed moods: the render cropped to the square around what it covers, scaled to the chosen
// size, mirrored left to right and named with that size; zoom and close-up both set write
// only the zoomed pictures. Worked again here from the tool's own render of each animation
// (its rows top last in memory): the box of the pixels with any alpha, in memory rows, made
// square about its middle (the shorter side grown by half the difference each way, halves
// truncated), read back mirrored at the zoomed size, pixel centre to nearest pixel, opaque
// where the alpha is 0xF8 or more, must give the saved picture but for its edges, which the
// tool's bilinear scaling softens.
TEST_F(BudTools, ZoomedMoodsAreTheAvatarsSquareBoxScaledAndMirrored)
{
    start();
    b->avatar->soul->sizes[11] = {3.0f, 3.0f, 3.0f}; // a large left hand, so a mirror shows
    const struct {
        int32_t id, size;
        bool closeup_too;
    } cases[] = {{BTN_SetSize50x50z, 50, false}, {BTN_SetSize80x80z, 80, false}, {BTN_SetSize200x200z, 200, false},
                 {BTN_SetSize64x64z, 64, true}};
    for (const auto& c : cases) {
        click(c.id);
        b->render_c = c.closeup_too;
        std::string dir = "zoom" + std::to_string(c.size);
        std::filesystem::create_directories(dir);
        answer({dir + "/m1.png"}); // cut at the digit: the base is dir/m
        run(BTN_SaveMoods);
        std::vector<std::string> want;
        for (int32_t i = 0; i < AVATAR_ANIM_COUNT; i++) {
            char name[80];
            snprintf(name, sizeof name, "m%03dz%s.png", c.size, avatar_anim_name(i));
            want.push_back(name);
        }
        std::vector<std::string> names = want;
        std::sort(want.begin(), want.end());
        ASSERT_EQ(want, files_in(dir.c_str())) << c.size;

        for (int32_t i = 0; i < AVATAR_ANIM_COUNT; i++) {
            int32_t R = 0;
            std::vector<uint8_t> alpha = render_alpha(i, &R);
            ASSERT_EQ(400, R);
            int32_t x0 = R, y0 = R, x1 = -1, y1 = -1;
            for (int32_t y = 0; y < R; y++)
                for (int32_t x = 0; x < R; x++)
                    if (alpha[y * R + x])
                        x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
            ASSERT_GE(x1, x0) << avatar_anim_name(i);
            int32_t w = x1 - x0 + 1, h = y1 - y0 + 1;
            if (w > h)
                y0 -= (w - h) / 2, h = w;
            else
                x0 -= (h - w) / 2, w = h;
            x0 = std::min(std::max(x0, 0), R - w);
            y0 = std::min(std::max(y0, 0), R - h);
            int zw;
            std::vector<bool> zoomed = coverage(dir + "/" + names[i], &zw);
            ASSERT_EQ(c.size, zw);
            int n = c.size, differ = 0;
            for (int y = 0; y < n; y++)
                for (int x = 0; x < n; x++) {
                    int32_t sx = x0 + ((n - 1 - x) * w + w / 2) / n, sy = y0 + h - 1 - (y * h + h / 2) / n;
                    differ += (alpha[sy * R + sx] >= 0xF8) != zoomed[y * n + x];
                }
            // Edges alone differ in up to about 3.5 n pixels; a shifted, unmirrored or upturned
            // box in well over 15 n.
            EXPECT_LT(differ, 5 * n) << names[i];
        }
    }
}
