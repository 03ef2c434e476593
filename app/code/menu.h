// The menu state: the first main state entered and the one the game states return to. A
// zooming, turning logo behind the HUD menus that local/lua/menu.lua builds once and links
// by name to this state's menu records; the same records serve the Escape menu of every
// state (Continue, Restart, Main menu, Quit).
#pragma once

#include <cstdint>

#include "app/code/hud/hud.h"
#include "engine/code/gfx/view.h"
#include "engine/code/lua_compat.h"

struct gfx;
struct xox_mesh;

// Record ids: each record's id is its index in menu_table.
enum {
    MENU_StartBEGIN,
    MENU_StartAvatarEditor,
    MENU_StartLevelTest,  // starts the structor
    MENU_StartAmaze,
    MENU_StartEND,
    MENU_LayoutBEGIN,
    MENU_LayoutMain,
    MENU_LayoutContinueQuit,
    MENU_LayoutOptions,
    MENU_LayoutLang,
    MENU_LayoutAmazeBasic,
    MENU_LayoutEND,
    MENU_Options,
    MENU_Quit,
    MENU_Continue,
    MENU_Restart,
    MENU_MainMenu,
    MENU_Lang,
    MENU_Lua,
    MENU_SetOpt,
    MENU_SetOptLang,
    MENU_RECORDS
};

struct menu_state {
    gfx* root;       // given to the last setup
    gfx_view view;   // screen mode
    xox_mesh* logo;  // null when not loaded
};

extern menu_state MENU;
// The records, ended by an all-zero record; the HUD's menu table while the menu runs.
extern menu_def menu_table[MENU_RECORDS + 1];
// The logo animation; kept across setups.
extern float menu_logo_zoom;     // 1.0 at the start of each cycle
extern int32_t menu_logo_frame;  // 0..127

bool menu_setup(menu_state* m, gfx* root);
void menu_clean(menu_state* m);  // safe after a failed setup and twice
bool menu_reset(menu_state* m);
void menu_update(menu_state* m, uint32_t phase);
void menu_draw(menu_state* m);

// Hides the panels linked to the layout records, then shows the one linked to id (when it
// has a gizmo).
void menu_show_layout(int32_t id);
// Handler of the action records: switches states, layouts, quits or closes the Escape menu.
int32_t menu_action(menu_def* record, hudgizmo* g, int32_t event, int32_t unused);

// Protected body: the global table menu, then local/lua/menu.lua.
int menu_lua_setup(lua_State* L);
