// Avatars: allocation with their own skeleton and soul, part meshes chosen by the soul, and
// the per-frame blend of the animation layers into the part bones.
//
// Sections: allocation and souls; parts; update and draw.

#include "engine/code/gfx/avatar.h"

#include <cstdio>
#include <cstring>

#include "engine/code/gfx/d3d_dbg.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/soul.h"
#include "engine/code/gfx/xox.h"
#include "engine/code/gfx/xsx.h"

// ---------------------------------------------------------------------------------------
// Allocation and souls

avatar* avatar_alloc(avatars* m, const char* soul_name)
{
    avatar* a = (avatar*)pool_alloc(&m->avatar_pool);
    if (!a)
        return nullptr;
    m->avatar_count++;
    if (!avatar_anim_load(&a->base, "_base")) {
        m->avatar_count--;
        pool_free(&m->avatar_pool, a);
        return nullptr;
    }
    a->soul = soul_alloc(m, soul_name);
    list_append(&m->avatar_pool.live, &a->link);
    return a;
}

void avatar_free(avatars* m, avatar* a)
{
    if (!a)
        return;
    m->avatar_count--;
    soul_free(m, a->soul);
    a->soul = nullptr;
    xsxs_free(&GFX.xsxs, a->base.anim); // frees the hung meshes with it
    a->base.anim = nullptr;
    list_unlink(&a->link);
    pool_free(&m->avatar_pool, a);
}

bool avatar_set_soul(avatar* a, const char* soul_name)
{
    soul_free(&GFX.avatars, a->soul);
    a->soul = soul_alloc(&GFX.avatars, soul_name);
    return a->soul != nullptr;
}

bool avatar_save_soul(avatar* a, const char* path)
{
    return a->soul && soul_save(a->soul, path);
}

// ---------------------------------------------------------------------------------------
// Parts

bool avatar_load_parts(avatar* a)
{
    if (!a->soul)
        return true;
    for (int32_t p = 0; p < AVATAR_PART_COUNT; p++) {
        xsx_bone* bone = a->base.part_bones[p];
        if (!bone)
            continue;
        for (int32_t j = 0; j < SOUL_OBJECTS; j++) {
            const soul_object* o = &a->soul->objects[p][j];
            if (!o->name[0] || o->group < 0 || o->group >= AVATAR_GROUP_COUNT || o->part < 0)
                continue;
            const xox_link* link = avatars_find_xox_link(&GFX.avatars.groups[o->group], o->name);
            if (!link)
                continue;
            char path[128];
            snprintf(path, sizeof path, "data/avatar/xox/%s.xox", link->xox);
            // The slot is expected empty (callers free the parts first); a mesh left in it
            // would be lost to everyone but the manager.
            xox_free(bone->meshes[j]);
            xox_mesh* mesh = xoxs_load(&GFX.xoxs, path);
            bone->meshes[j] = mesh;
            if (!mesh)
                continue;
            xox_recolour(mesh, a->soul->surfaces, AVATAR_SURFACE_COUNT);
            if (xsx_bone_flags(bone) & XSX_BONE_MIRRORED)
                mesh->mirrored = 1;
        }
    }
    return true;
}

void avatar_free_parts(avatar* a)
{
    for (xsx_bone* bone : a->base.part_bones) {
        if (!bone)
            continue;
        for (xox_mesh*& mesh : bone->meshes) {
            xoxs_free(&GFX.xoxs, mesh);
            mesh = nullptr;
        }
    }
}

void avatar_recolour(avatar* a)
{
    if (!a->soul)
        return;
    for (xsx_bone* bone : a->base.part_bones)
        if (bone)
            for (xox_mesh* mesh : bone->meshes)
                if (mesh)
                    xox_recolour(mesh, a->soul->surfaces, AVATAR_SURFACE_COUNT);
}

// ---------------------------------------------------------------------------------------
// Update and draw

static void clear_weights(xsx_bone* bone)
{
    for (xox_mesh* mesh : bone->meshes)
        if (mesh)
            for (uint32_t w = 0; w < mesh->morph_count; w++)
                mesh->weights[w].weight = 0;
}

static void add_layer_morphs(avatar* a, const avatar_layer* layer)
{
    for (int32_t p = 0; p < AVATAR_PART_COUNT; p++) {
        xsx_bone* base = a->base.part_bones[p];
        const xsx_bone* from = layer->slot->part_bones[p];
        if (!base || !from)
            continue;
        for (uint32_t k = XSX_TRANSFORM_TRACKS; k < from->track_count; k++) {
            const xsx_track* track = &from->tracks[k];
            if (track->morph < 0)
                continue;
            for (xox_mesh* mesh : base->meshes) {
                if (!mesh || !mesh->morph_map || mesh->morph_map[track->morph] == XOX_NO_MORPH)
                    continue;
                mesh->weights[mesh->morph_map[track->morph]].weight += track->value * layer->weight;
            }
        }
    }
}

// Something held in a hand's fourth slot closes every mesh of that hand into a fist.
static void close_fist(xsx_bone* bone)
{
    if (!bone || !bone->meshes[3])
        return;
    for (xox_mesh* mesh : bone->meshes) {
        if (!mesh)
            continue;
        for (uint32_t w = 0; w < mesh->morph_count; w++)
            mesh->weights[w].weight = 0;
        if (mesh->morph_map && mesh->morph_map[AVATAR_MORPH_FIST0] != XOX_NO_MORPH)
            mesh->weights[mesh->morph_map[AVATAR_MORPH_FIST0]].weight = 1.0f;
    }
}

static void blend_into(::transform* to, const ::transform* from, float w)
{
    to->position.x += w * from->position.x;
    to->position.y += w * from->position.y;
    to->position.z += w * from->position.z;
    to->orientation.x += w * from->orientation.x;
    to->orientation.y += w * from->orientation.y;
    to->orientation.z += w * from->orientation.z;
    to->orientation.w += w * from->orientation.w;
    to->scale.x += w * from->scale.x;
    to->scale.y += w * from->scale.y;
    to->scale.z += w * from->scale.z;
}

void avatar_update(avatar* a)
{
    timer_start(&D3D_DBG.CELLS);
    // Each layer's part transforms are kept right after its evaluation: two layers may share
    // one animation at different times, and its bones hold only the last evaluation.
    ::transform poses[AVATAR_LAYERS][AVATAR_PART_COUNT];
    int32_t used = 0;

    for (xsx_bone* bone : a->base.part_bones)
        if (bone)
            clear_weights(bone);
    for (; used < AVATAR_LAYERS && a->layers[used].slot; used++) {
        avatar_layer* layer = &a->layers[used];
        avatar_anim_slot* slot = layer->slot;
        if (!slot->anim)
            continue;
        for (int32_t p = 0; p < AVATAR_PART_COUNT; p++)
            if (a->soul && slot->part_bones[p])
                slot->part_bones[p]->base_scale = a->soul->sizes[p];
        slot->anim->time = layer->time;
        xsx_animate(slot->anim);
        for (int32_t p = 0; p < AVATAR_PART_COUNT; p++)
            if (slot->part_bones[p])
                poses[used][p] = slot->part_bones[p]->transform;
        add_layer_morphs(a, layer);
    }
    close_fist(a->base.part_bones[AVATAR_PART_LEFT_HAND]);
    close_fist(a->base.part_bones[AVATAR_PART_RIGHT_HAND]);
    for (int32_t p = 0; p < AVATAR_PART_COUNT; p++)
        if (a->soul && a->base.part_bones[p])
            a->base.part_bones[p]->base_scale = a->soul->sizes[p];
    if (a->base.anim)
        xsx_animate(a->base.anim);

    for (xsx_bone* bone : a->base.part_bones)
        if (bone)
            memset(&bone->transform, 0, sizeof bone->transform);
    for (int32_t l = 0; l < used; l++) {
        const avatar_layer* layer = &a->layers[l];
        if (!layer->slot->anim)
            continue;
        for (int32_t p = 0; p < AVATAR_PART_COUNT; p++)
            if (a->base.part_bones[p] && layer->slot->part_bones[p])
                blend_into(&a->base.part_bones[p]->transform, &poses[l][p], layer->weight);
    }
    if (a->base.anim)
        for (uint32_t i = 0; i < a->base.anim->bone_count; i++)
            xsx_bone_matrix(&a->base.anim->bones[i], &a->base.anim->bones[i].world);
    timer_stop(&D3D_DBG.CELLS);
}

void avatar_draw(avatar* a)
{
    if (a->base.anim)
        xsx_draw(a->base.anim);
}
