// The avatar editor main state: one avatar built from the soul "me", turning in a frame of
// the screen, with the part-choice buttons of its HUD menu showing small preview meshes.
// Its menu records choose parts, colours, sizes, the view, the animation and the sex of the
// randomiser, load and save souls, and queue the render tools (bud_tools.cpp).
#pragma once

#include <cstdint>

#include "app/code/hud/hud.h"
#include "engine/code/gfx/view.h"
#include "engine/code/lua_compat.h"
#include "engine/code/maths.h"

struct gfx;
struct avatar;
struct xox_mesh;
struct input_state;

// The menu records, in table order: each record's id is its index. Markers (names ending
// in BEGIN or END) have no owner, data or handler.
#define BUD_TEST_RECORDS(MARK, BTN)                                                                    \
    MARK(BTN_ObjectBEGIN) BTN(BTN_Head, 24) BTN(BTN_HairA, 25) BTN(BTN_HairB, 26) BTN(BTN_HairC, 27)     \
    BTN(BTN_Nose, 32) BTN(BTN_Specs, 33) BTN(BTN_Mouth, 28) BTN(BTN_Beard, 29) BTN(BTN_Ears, 60)         \
    BTN(BTN_Eyes, 52) BTN(BTN_EyeBalls, 56) BTN(BTN_Body, 20) BTN(BTN_Tail, 36) BTN(BTN_Hands, 44)       \
    BTN(BTN_Feet, 48) MARK(BTN_ObjectEND)                                                              \
    MARK(BTN_PartSelectBEGIN) BTN(BTN_HeadSelect, 24) BTN(BTN_HairASelect, 25) BTN(BTN_HairBSelect, 26)  \
    BTN(BTN_HairCSelect, 27) BTN(BTN_NoseSelect, 32) BTN(BTN_SpecsSelect, 33) BTN(BTN_MouthSelect, 28)   \
    BTN(BTN_BeardSelect, 29) BTN(BTN_InMouthSelect, 30) BTN(BTN_EarsSelect, 60) BTN(BTN_EyesSelect, 52)  \
    BTN(BTN_EyeBallsSelect, 56) BTN(BTN_BodySelect, 20) BTN(BTN_TailSelect, 36)                          \
    BTN(BTN_HandsSelect, 44) BTN(BTN_InHandLSelect, 47) BTN(BTN_InHandRSelect, 71)                       \
    BTN(BTN_FeetSelect, 48) MARK(BTN_PartSelectEND)                                                    \
    BTN(BTN_LayoutParts, 0) BTN(BTN_LayoutColors, 0) BTN(BTN_LayoutPose, 0) BTN(BTN_LayoutFile, 0)      \
    BTN(BTN_SelectParts, 0) BTN(BTN_SelectColors, 0) BTN(BTN_SelectPose, 0) BTN(BTN_SelectFile, 0)      \
    BTN(BTN_ColorPick, 0) BTN(BTN_SpecPick, 0)                                                         \
    MARK(BTN_ColorBEGIN) BTN(BTN_ColorSkinGroup, -1) BTN(BTN_ColorHairGroup, -2)                       \
    BTN(BTN_ColorBodyGroup, -3) BTN(BTN_ColorFootGroup, -4) BTN(BTN_ColorSkin, 0)                      \
    BTN(BTN_ColorNipples, 2) BTN(BTN_ColorLips, 1) BTN(BTN_ColorHair, 3) BTN(BTN_ColorHairHi, 4)       \
    BTN(BTN_ColorHairLo, 5) BTN(BTN_ColorBeard, 7) BTN(BTN_ColorEyebrows, 6) BTN(BTN_ColorSpecs, 8)    \
    BTN(BTN_ColorEye, 9) BTN(BTN_ColorIris, 10) BTN(BTN_ColorBody, 11) BTN(BTN_ColorBodyHi, 12)        \
    BTN(BTN_ColorBodyLo, 13) BTN(BTN_ColorFoot, 14) BTN(BTN_ColorToecaps, 15) BTN(BTN_ColorSocks, 17)  \
    BTN(BTN_ColorSole, 16) MARK(BTN_ColorEND)                                                          \
    BTN(BTN_ColorA, 0) BTN(BTN_ColorR, 0) BTN(BTN_ColorG, 0) BTN(BTN_ColorB, 0) BTN(BTN_SpecA, 0)      \
    BTN(BTN_SpecR, 0) BTN(BTN_SpecG, 0) BTN(BTN_SpecB, 0) BTN(BTN_Gloss, 0) BTN(BTN_RotY, 0)           \
    BTN(BTN_HeadAspect, 0) BTN(BTN_LeftEyeSize, 13) BTN(BTN_RightEyeSize, 19) BTN(BTN_LeftEarSize, 15) \
    BTN(BTN_RightEarSize, 21) BTN(BTN_NoseSize, 8)                                                     \
    MARK(BTN_ViewBEGIN) BTN(BTN_ViewFront, 0) BTN(BTN_ViewBack, 1) BTN(BTN_ViewLeft, 2)                \
    BTN(BTN_ViewRight, 3) BTN(BTN_ViewRotateOn, 3) BTN(BTN_ViewRotateOff, 3) MARK(BTN_ViewEND)         \
    MARK(BTN_AnimBEGIN) BTN(BTN_AnimSplatToIdle, 6) BTN(BTN_AnimPush, 7) BTN(BTN_AnimCycleWalk, 9)     \
    BTN(BTN_AnimCycleQuadWalk, 31) BTN(BTN_AnimCycleQuadRun, 32) BTN(BTN_AnimIdleBreath, 8)            \
    BTN(BTN_AnimPoseIdle, 1) BTN(BTN_AnimPosePointUpDown, 4) BTN(BTN_AnimPosePointDownUp, 5)           \
    BTN(BTN_AnimPoseGunner, 2) BTN(BTN_AnimPoseHandsOnHips, 3) BTN(BTN_AnimPoseBird, 10)               \
    BTN(BTN_AnimPoseTeapot, 11) BTN(BTN_AnimPoseAngry, 12) BTN(BTN_AnimPoseAwake, 13)                  \
    BTN(BTN_AnimPoseConfused, 14) BTN(BTN_AnimPoseDetermind, 15) BTN(BTN_AnimPoseDevious, 16)          \
    BTN(BTN_AnimPoseEmbarrassed, 17) BTN(BTN_AnimPoseEnergetic, 18) BTN(BTN_AnimPoseEnthralled, 19)    \
    BTN(BTN_AnimPoseExcited, 20) BTN(BTN_AnimPoseHappy, 21) BTN(BTN_AnimPoseIndescribable, 22)         \
    BTN(BTN_AnimPoseNerdy, 23) BTN(BTN_AnimPoseOkay, 24) BTN(BTN_AnimPoseSad, 25)                      \
    BTN(BTN_AnimPoseSleepy, 27) BTN(BTN_AnimPoseScared, 26) BTN(BTN_AnimPoseThoughtful, 28)            \
    BTN(BTN_AnimPoseWorking, 29) BTN(BTN_AnimPoseQuadIdle, 30) MARK(BTN_AnimEND)                       \
    BTN(BTN_Avatar, 0) BTN(BTN_SaveSoul, 0) BTN(BTN_LoadSoul, 0) BTN(BTN_SavePNG, 0)                   \
    BTN(BTN_SaveAnim, 0) BTN(BTN_SaveMoods, 0)                                                         \
    BTN(BTN_SetSize50x50, 0) BTN(BTN_SetSize64x64, 0) BTN(BTN_SetSize80x80, 0)                         \
    BTN(BTN_SetSize100x100, 0) BTN(BTN_SetSize200x200, 0)                                              \
    BTN(BTN_SetSize50x50c, 0) BTN(BTN_SetSize64x64c, 0) BTN(BTN_SetSize80x80c, 0)                      \
    BTN(BTN_SetSize100x100c, 0) BTN(BTN_SetSize200x200c, 0)                                            \
    BTN(BTN_SetSize50x50z, 0) BTN(BTN_SetSize64x64z, 0) BTN(BTN_SetSize80x80z, 0)                      \
    BTN(BTN_SetSize100x100z, 0) BTN(BTN_SetSize200x200z, 0)                                            \
    BTN(BTN_SelectSexBoy, 0) BTN(BTN_SelectSexGirl, 0) BTN(BTN_SelectSexAll, 0) BTN(BTN_Randomize, 0)  \
    BTN(BTN_RandomSave, 0)

#define BUD_TEST_ENUM_MARK(name) name,
#define BUD_TEST_ENUM_BTN(name, data) name,
enum { BUD_TEST_RECORDS(BUD_TEST_ENUM_MARK, BUD_TEST_ENUM_BTN) BUD_TEST_RECORD_COUNT };

enum { BUD_TEST_PREVIEWS = 16 };

// One part-choice gizmo shown this frame and the mesh standing on it.
struct bud_test_preview {
    const char* group;  // the gizmo's part_group / part_name the mesh was made for
    const char* name;
    ::motion motion;
    xox_mesh* mesh;     // null when none
    hudgizmo* gizmo;
    uint8_t failed;     // the mesh for this group and name did not load: not tried again
};

struct bud_test {
    struct gfx* gfx;
    gfx_view view;             // screen mode: units are pixels from the screen centre
    uint8_t render_z;          // the size buttons chose the zoomed variant
    uint8_t render_c;          // ... the close-up variant
    int32_t render_size;       // pixels of the mood renders
    float sex;                 // randomiser: 1 boy, -1 girl, 0 either
    ::motion motion;           // places the avatar
    struct avatar* avatar;
    bud_test_preview previews[BUD_TEST_PREVIEWS];
    int32_t preview_count;     // slots in use this frame
    uint8_t auto_turn;
    int32_t anim_current;      // animation index of layer 0
    int32_t anim_next;         // being blended in; -1 for none
    float anim_blend;          // weight of anim_current while blending
    int32_t pending_command;   // a queued render tool's record id; 0 for none
    menu_def* selected_colour; // kept across visits
};

extern bud_test bud_test_state;
// The records, ended by an all-zero record; the HUD's menu table while the editor runs.
extern menu_def bud_test_menu[BUD_TEST_RECORD_COUNT + 1];

bool bud_test_setup(bud_test* b, gfx* root);
bool bud_test_reset(bud_test* b);
void bud_test_clean(bud_test* b); // safe after a failed setup and twice
void bud_test_update(bud_test* b, uint32_t phase);
void bud_test_draw(bud_test* b);

// Handler of every record but the markers.
int32_t bud_test_button(menu_def* record, hudgizmo* g, int32_t event, int32_t unused);
// Object labels and colour swatches of the menu := the soul.
void bud_test_refresh_faces(bud_test* b);
// A new random soul for the sex choice; the part meshes are reloaded.
void bud_test_randomize(bud_test* b);
// Fills preview slots from the shown part-choice gizmos under g, depth first.
void bud_test_collect_previews(bud_test* b, hudgizmo* g);
// After a blocking dialog or tool: the device is examined at the next frame and every
// control of the input state is let go.
void bud_test_after_dialog(gfx* root, input_state* input);

// The queued render tools, run from the frame-end update (bud_tools.cpp).
void bud_test_run_tool(bud_test* b, int32_t id);

// Protected body: the empty global table zuzodida, then local/lua/zuzodida.lua.
int zuzodida_lua_setup(lua_State* L);
