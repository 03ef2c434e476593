// The heads-up display HUD that every main state draws over its scene.
#pragma once

struct hud_subsystem {
};

extern hud_subsystem HUD;

void hud_update(hud_subsystem* hud);
