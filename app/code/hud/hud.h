// The heads-up display HUD that every main state draws over its scene.
#pragma once

#include <cstdint>

struct gfx;
struct hudgizmo;

struct hud_subsystem {
    hudgizmo* displayed_menu; // the menu now shown, or null
    hudgizmo* master_menu;    // the menu that Escape brings up, or null
};

extern hud_subsystem HUD;

bool hud_setup(hud_subsystem* hud, gfx* root);
void hud_clean(hud_subsystem* hud);
void hud_update(hud_subsystem* hud);
// The mouse position in window pixels (negative left of or above the window).
void hud_set_pointer(hud_subsystem* hud, int32_t x, int32_t y);
