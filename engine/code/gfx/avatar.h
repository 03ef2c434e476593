// Avatars: the avatar's own "_base" skeleton carries the meshes its soul chooses, recoloured
// from the soul, and up to eight layers of shared animations are blended into its part bones
// every update.
#pragma once

#include <cstdint>

#include "engine/code/gfx/avatars.h"

struct avatar_soul;

enum : int32_t { AVATAR_LAYERS = 8 };

struct avatar_layer {
    float weight;
    float time;             // in the layer animation's time; the user advances and wraps it
    avatar_anim_slot* slot; // a shared animation; null ends the layers in use
};

struct avatar {
    list_node link;
    avatar_soul* soul;      // owned; null when its document could not be read
    avatar_anim_slot base;  // own "_base" instance; its anim->matrix places the avatar
    avatar_layer layers[AVATAR_LAYERS];
};

avatar* avatar_alloc(avatars* m, const char* soul_name); // null without "_base"
void avatar_free(avatars* m, avatar* a);                 // null does nothing
// Swaps the soul; the meshes are left to avatar_free_parts / avatar_load_parts.
bool avatar_set_soul(avatar* a, const char* soul_name);
bool avatar_save_soul(avatar* a, const char* path);
bool avatar_load_parts(avatar* a); // always true
void avatar_free_parts(avatar* a);
void avatar_recolour(avatar* a);
void avatar_update(avatar* a);
void avatar_draw(avatar* a);
