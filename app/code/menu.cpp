// The menu state: its records and their action, the first-time registration of the menu
// library with its script, and the logo: eight copies of one mesh, each five times the size
// of the one before and a quarter turn on, zooming through a cycle of 128 frames.

#include "app/code/menu.h"

#include "app/code/app.h"
#include "app/code/con.h"
#include "app/code/main_state.h"
#include "engine/code/dbg.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/xox.h"
#include "engine/code/lua_lib.h"
#include "engine/code/maths.h"
#include "engine/code/safelua.h"
#include "platform/d3d8.h"
#include "platform/plat_msg.h"

menu_state MENU;
float menu_logo_zoom = 1.0f;
int32_t menu_logo_frame = 0;

#define MENU_ACTION(name) {#name, name, &MENU, 0, menu_action, NULL, 0.0f}
#define MENU_MARK(name) {#name, name, NULL, 0, NULL, NULL, 0.0f}

menu_def menu_table[MENU_RECORDS + 1] = {
    MENU_MARK(MENU_StartBEGIN),
    MENU_ACTION(MENU_StartAvatarEditor),
    MENU_ACTION(MENU_StartLevelTest),
    MENU_ACTION(MENU_StartAmaze),
    MENU_MARK(MENU_StartEND),
    MENU_MARK(MENU_LayoutBEGIN),
    MENU_MARK(MENU_LayoutMain),
    MENU_MARK(MENU_LayoutContinueQuit),
    MENU_MARK(MENU_LayoutOptions),
    MENU_MARK(MENU_LayoutLang),
    MENU_MARK(MENU_LayoutAmazeBasic),
    MENU_MARK(MENU_LayoutEND),
    MENU_ACTION(MENU_Options),
    MENU_ACTION(MENU_Quit),
    MENU_ACTION(MENU_Continue),
    MENU_ACTION(MENU_Restart),
    MENU_ACTION(MENU_MainMenu),
    MENU_ACTION(MENU_Lang),
    MENU_MARK(MENU_Lua),
    MENU_ACTION(MENU_SetOpt),
    MENU_ACTION(MENU_SetOptLang),
    {NULL, 0, NULL, 0, NULL, NULL, 0.0f},
};

static const char MENU_LOGO[] = "data/logos/xox/qem.xox";

// ---- layouts and actions ----

void menu_show_layout(int32_t id)
{
    for (int32_t i = MENU_LayoutMain; i <= MENU_LayoutAmazeBasic; i++)
        if (menu_table[i].gizmo)
            menu_table[i].gizmo->flags |= HUDGIZMO_HIDDEN;
    if (id >= 0 && id < MENU_RECORDS && menu_table[id].gizmo)
        menu_table[id].gizmo->flags &= ~HUDGIZMO_HIDDEN;
}

int32_t menu_action(menu_def* record, hudgizmo* g, int32_t event, int32_t unused)
{
    switch (record->id) {
    case MENU_StartAvatarEditor:
        main_state_next = &main_state_bud_test;
        break;
    case MENU_StartLevelTest:
        main_state_next = &main_state_structor;
        break;
    case MENU_StartAmaze:
        menu_show_layout(MENU_LayoutAmazeBasic);
        break;
    case MENU_Options:
        menu_show_layout(MENU_LayoutOptions);
        break;
    case MENU_Quit:
        PostQuitMessage(0);
        break;
    case MENU_Continue:
        HUD.displayed_menu = NULL;
        break;
    case MENU_Restart:
        main_state_next = main_state_curr;
        break;
    case MENU_MainMenu:
        if (main_state_curr == &main_state_menu)
            menu_show_layout(MENU_LayoutMain);
        else
            main_state_next = &main_state_menu;
        break;
    case MENU_Lang:
        menu_show_layout(MENU_LayoutLang);
        break;
    case MENU_SetOpt:
    case MENU_SetOptLang:
        // A button given a text from native code runs it; buttons built from Lua carry
        // their script in their own Lua string instead.
        if (g && g->data_kind == HUDGIZMO_DATA_BUTTON && g->text)
            con_dostring(&CON, g->text);
        break;
    default:
        break;
    }
    return 0;
}

// ---- the menu library ----

int menu_lua_setup(lua_State* L)
{
    lua_lib_register(L, "menu", NULL);
    lua_lib_run_script(L, "menu");
    return 0;
}

// ---- hooks ----

bool menu_setup(menu_state* m, gfx* root)
{
    APP.frame_period = 33;
    m->root = root;
    view_setup(&m->view, VIEW_MODE_SCREEN);
    HUD.menu_table = menu_table;
    // The gizmos are built once; the pause menu becoming the master menu at the first clean
    // shows that they exist.
    if (!HUD.master_menu && !(CON.L && safelua_cpcall(CON.L, menu_lua_setup, NULL))) {
        dbg_error("MENU.LUA subsystem failed to initialize,\n");
        return false;
    }
    con_dostring(&CON, "menu.refresh()");
    m->logo = xoxs_load(&root->xoxs, MENU_LOGO);
    return m->logo != NULL;
}

void menu_clean(menu_state* m)
{
    con_dostring(&CON, "menu.gizmos.pause:mastermenu()");
    HUD.display_gizmo = NULL;
    HUD.displayed_menu = NULL;
    view_clean(&m->view);
    if (m->logo) {
        xox_free(m->logo);
        m->logo = NULL;
    }
}

bool menu_reset(menu_state* m)
{
    gfx* root = m->root;
    menu_clean(m);
    return root && menu_setup(m, root);
}

void menu_update(menu_state* m, uint32_t phase)
{
    if (phase != UPDATE_FRAME_END)
        return;
    view_build(&m->view);
    if (m->logo)
        xox_update(m->logo);
}

enum { MENU_LOGO_COPIES = 8, MENU_LOGO_CYCLE = 128 };
static const float MENU_PI = 3.14159265f;

void menu_draw(menu_state* m)
{
    view_apply(&m->view);
    // 1.0254663^128 = 25: at the end of a cycle every copy has the size the copy two places
    // further out had at its start, so the restart does not show.
    menu_logo_zoom *= 1.0254663f;
    if (++menu_logo_frame >= MENU_LOGO_CYCLE) {
        menu_logo_frame = 0;
        menu_logo_zoom = 1.0f;
    }
    transform t;
    t.position = {0.0f, 0.0f, 32.0f};
    t.orientation = {0.0f, 0.0f, 0.0f, 1.0f};
    quat_rotate_z(&t.orientation, (float)menu_logo_frame * MENU_PI * -0.0078125f);
    float s = menu_logo_zoom * 0.04f;
    t.scale = {s, s, s};

    IDirect3DDevice8* device = m->root ? m->root->d3d_gfx.device : NULL;
    for (int32_t i = 0; i < MENU_LOGO_COPIES; i++) {
        mat4 world;
        mat4_from_transform(&world, &t);
        D3DMATRIX d3d;
        static_assert(sizeof d3d == sizeof world, "same layout");
        for (int k = 0; k < 16; k++)
            d3d.m[k / 4][k % 4] = world.m[k];
        if (device)
            IDirect3DDevice8_SetTransform(device, D3DTS_WORLD, &d3d);
        if (m->logo)
            xox_draw(m->logo);
        t.scale.x *= 5.0f;
        t.scale.y *= 5.0f;
        t.scale.z *= 5.0f;
        quat_rotate_z(&t.orientation, MENU_PI * 0.5f);
        t.position.z += t.scale.z * 0.34f;
    }
    hud_draw(&HUD);
}

// ---- the state's hook table ----

static bool hook_setup(gfx* root) { return menu_setup(&MENU, root); }
static bool hook_reset(void) { return menu_reset(&MENU); }
static void hook_clean(void) { menu_clean(&MENU); }
static void hook_update(uint32_t phase) { menu_update(&MENU, phase); }
static void hook_draw(void) { menu_draw(&MENU); }

extern const main_state_hooks main_state_menu = {hook_setup, hook_reset, hook_clean, hook_update, hook_draw, NULL};
