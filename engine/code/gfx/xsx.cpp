// Animations: loading into runtime bones and tracks, key interpolation, the bone hierarchy
// and drawing the hung meshes.
//
// Sections: manager; setup and clean; evaluation; drawing and parts.

#include "engine/code/gfx/xsx.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/code/dbg.h"
#include "engine/code/files.h"
#include "engine/code/gfx/avatars.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/xox.h"
#include "engine/code/mem.h"
#include "platform/d3d8.h"

// ---------------------------------------------------------------------------------------
// Manager

bool xsxs_setup(xsxs* m)
{
    memset(m, 0, sizeof *m);
    return pool_setup(&m->records, sizeof(xsx_anim), 64);
}

void xsxs_clean(xsxs* m)
{
    if (!m->records.record_size)
        return;
    for (list_node* n = list_first(&m->records.live); n->next;) {
        list_node* next = n->next;
        xsxs_free(m, (xsx_anim*)n);
        n = next;
    }
    pool_clean(&m->records);
    memset(m, 0, sizeof *m);
}

bool xsxs_reset(xsxs* m)
{
    xsxs_clean(m);
    return xsxs_setup(m);
}

// Callers learn of a failure only through the null result, so the file is named here.
xsx_anim* xsxs_load(xsxs* m, const char* path)
{
    xsx_anim* anim = (xsx_anim*)pool_alloc(&m->records);
    if (!anim) {
        dbg_error("Failed to allocate xsx animation %s,\n", path ? path : "");
        return nullptr;
    }
    m->count++;
    if (!xsx_setup(anim, path)) {
        xsx_clean(anim);
        m->count--;
        pool_free(&m->records, anim);
        dbg_error("Failed to load xsx animation %s,\n", path ? path : "");
        return nullptr;
    }
    list_append(&m->records.live, &anim->link);
    return anim;
}

void xsxs_free(xsxs* m, xsx_anim* anim)
{
    if (!anim)
        return;
    m->count--;
    xsx_clean(anim);
    list_unlink(&anim->link);
    pool_free(&m->records, anim);
}

// ---------------------------------------------------------------------------------------
// Setup and clean

// Key times must rise strictly: a segment of zero length would divide by zero.
static bool keys_rise(const files_data* file, const uint8_t* track)
{
    uint32_t n = files_u32(track, FILES_XSX_TRACK_KEY_COUNT);
    const uint8_t* keys = files_xsx_keys(file, track);
    if (!n)
        return true;
    if (!keys)
        return false;
    for (uint32_t k = 1; k < n; k++)
        if (!(files_f32(keys, 24 * k) > files_f32(keys, 24 * (k - 1))))
            return false;
    return true;
}

bool xsx_setup(xsx_anim* anim, const char* path)
{
    memset(anim, 0, sizeof *anim);
    anim->file = files_load(&FILES, path);
    if (!anim->file || anim->file->header.magic != FILES_MAGIC_XSX) {
        xsx_clean(anim);
        return false;
    }
    anim->body = anim->file->payload;
    anim->bone_count = files_word(anim->file, FILES_XSX_BONE_COUNT);
    anim->bones = (xsx_bone*)mem_alloc(sizeof(xsx_bone) * (anim->bone_count ? anim->bone_count : 1));
    anim->track_count = files_word(anim->file, FILES_XSX_TRACK_COUNT);
    anim->tracks = (xsx_track*)mem_alloc(sizeof(xsx_track) * (anim->track_count ? anim->track_count : 1));
    if (!anim->bones || !anim->tracks) {
        xsx_clean(anim);
        return false;
    }
    for (uint32_t i = 0; i < anim->track_count; i++) {
        anim->tracks[i].track = files_xsx_track(anim->file, i);
        anim->tracks[i].morph = -1;
        anim->tracks[i].key_count = files_u32(anim->tracks[i].track, FILES_XSX_TRACK_KEY_COUNT);
        anim->tracks[i].keys = files_xsx_keys(anim->file, anim->tracks[i].track);
        if (!keys_rise(anim->file, anim->tracks[i].track)) {
            xsx_clean(anim);
            return false;
        }
    }
    for (uint32_t i = 0; i < anim->bone_count; i++) {
        xsx_bone* b = &anim->bones[i];
        b->base_scale = {1, 1, 1};
        b->transform.orientation.w = 1;
        b->transform.scale = {1, 1, 1};
        b->bone = files_xsx_bone(anim->file, i);
        int32_t parent = files_xsx_parent(anim->file, b->bone);
        b->parent = parent >= 0 ? &anim->bones[parent] : nullptr;
        b->track_count = files_u32(b->bone, FILES_XSX_BONE_TRACK_COUNT);
        int32_t first = files_xsx_first_track(anim->file, b->bone);
        if (first < 0 || b->track_count < XSX_TRANSFORM_TRACKS) { // the loader rules these out
            xsx_clean(anim);
            return false;
        }
        b->tracks = &anim->tracks[first];
        for (uint32_t k = XSX_TRANSFORM_TRACKS; k < b->track_count; k++) {
            char name[33];
            files_name(b->tracks[k].track + FILES_XSX_TRACK_NAME, 32, name, sizeof name);
            b->tracks[k].morph = avatar_morph_find(name);
        }
    }
    return true;
}

void xsx_clean(xsx_anim* anim)
{
    for (uint32_t i = 0; anim->bones && i < anim->bone_count; i++)
        for (uint32_t j = 0; j < XSX_BONE_MESHES; j++) {
            xox_free(anim->bones[i].meshes[j]);
            anim->bones[i].meshes[j] = nullptr;
        }
    files_free(&FILES, anim->file);
    anim->file = nullptr;
    anim->body = nullptr;
    mem_free(anim->bones);
    anim->bones = nullptr;
    anim->bone_count = 0;
    mem_free(anim->tracks);
    anim->tracks = nullptr;
    anim->track_count = 0;
}

// A float of the body head, 0 where a short body has none.
static float head_f32(const xsx_anim* anim, uint32_t at)
{
    uint32_t bits = anim->file ? files_word(anim->file, at) : 0;
    float f;
    memcpy(&f, &bits, 4);
    return f;
}

float xsx_start(const xsx_anim* anim) { return head_f32(anim, FILES_XSX_START); }
float xsx_length(const xsx_anim* anim) { return head_f32(anim, FILES_XSX_LENGTH); }
uint32_t xsx_bone_flags(const xsx_bone* bone) { return files_u32(bone->bone, FILES_XSX_BONE_FLAGS); }

void xsx_bone_name(const xsx_bone* bone, char* out, uint32_t size)
{
    files_name(bone->bone + FILES_XSX_BONE_NAME, 256, out, size);
}

// ---------------------------------------------------------------------------------------
// Evaluation

struct key {
    float time, value, tension, continuity, bias;
    uint32_t flags;
};

static key key_at(const uint8_t* keys, uint32_t i)
{
    const uint8_t* k = keys + (size_t)i * FILES_XSX_KEY_SIZE;
    return {files_f32(k, 0), files_f32(k, 4), files_f32(k, 12), files_f32(k, 16), files_f32(k, 20), files_u32(k, 8)};
}

// Kochanek-Bartels segment from p1 to p2, with the neighbours when they exist.
static float spline(const key* p0, const key& p1, const key& p2, const key* p3, float s)
{
    float dt = p2.time - p1.time, dv = p2.value - p1.value;
    float s2 = s * s, s3 = s2 * s;
    float h1 = 2 * s3 - 3 * s2 + 1, h2 = 3 * s2 - 2 * s3, h3 = s3 - 2 * s2 + s, h4 = s3 - s2;
    float a = (1 - p1.tension) * (1 + p1.continuity) * (1 + p1.bias);
    float b = (1 - p1.tension) * (1 - p1.continuity) * (1 - p1.bias);
    float m1 = p0 ? dt / (p2.time - p0->time) * (a * (p1.value - p0->value) + b * dv) : 0.5f * (a + b) * dv;
    float a2 = (1 - p2.tension) * (1 - p2.continuity) * (1 + p2.bias);
    float b2 = (1 - p2.tension) * (1 + p2.continuity) * (1 - p2.bias);
    float m2 = p3 ? dt / (p3->time - p1.time) * (a2 * dv + b2 * (p3->value - p2.value)) : 0.5f * (a2 + b2) * dv;
    return h1 * p1.value + h2 * p2.value + h3 * m1 + h4 * m2;
}

void xsx_track_value(xsx_track* track, float t)
{
    uint32_t n = track->key_count;
    if (!n || !track->keys) {
        track->value = 0;
        return;
    }
    key k0 = key_at(track->keys, 0);
    if (k0.time > t) {
        track->value = k0.value;
        return;
    }
    uint32_t j = 1;
    while (j < n && key_at(track->keys, j).time < t)
        j++;
    if (j == n) {
        track->value = key_at(track->keys, n - 1).value;
        return;
    }
    key p1 = key_at(track->keys, j - 1), p2 = key_at(track->keys, j);
    float s = (t - p1.time) / (p2.time - p1.time);
    switch (p2.flags & 15) {
    case 3:
        track->value = p1.value + s * (p2.value - p1.value);
        break;
    case 0: {
        key p0, p3;
        if (j >= 2)
            p0 = key_at(track->keys, j - 2);
        if (j + 1 < n)
            p3 = key_at(track->keys, j + 1);
        track->value = spline(j >= 2 ? &p0 : nullptr, p1, p2, j + 1 < n ? &p3 : nullptr, s);
        break;
    }
    default:
        track->value = p1.value;
        break;
    }
}

void xsx_bone_matrix(const xsx_bone* bone, mat4* out)
{
    mat4_from_transform(out, &bone->transform);
    for (const xsx_bone* p = bone->parent; p; p = p->parent) {
        mat4 up;
        mat4_from_transform(&up, &p->transform);
        mat4_mul(out, &up, out); // out := out x up: own transform first, then the parent's
    }
}

void xsx_animate(xsx_anim* anim)
{
    float t = xsx_start(anim) + anim->time;
    for (uint32_t i = 0; i < anim->track_count; i++)
        xsx_track_value(&anim->tracks[i], t);
    for (uint32_t i = 0; i < anim->bone_count; i++) {
        xsx_bone* b = &anim->bones[i];
        const xsx_track* k = b->tracks;
        b->transform.position = {k[0].value, k[1].value, k[2].value};
        b->transform.orientation = {0, 0, 0, 1};
        quat_rotate_z(&b->transform.orientation, k[5].value);
        quat_rotate_x(&b->transform.orientation, k[4].value);
        quat_rotate_y(&b->transform.orientation, k[3].value);
        b->transform.scale = {k[6].value * b->base_scale.x, k[7].value * b->base_scale.y,
                              k[8].value * b->base_scale.z};
        for (uint32_t j = 0; j < XSX_BONE_MESHES; j++)
            if (b->meshes[j])
                xox_update(b->meshes[j]);
    }
    for (uint32_t i = 0; i < anim->bone_count; i++)
        xsx_bone_matrix(&anim->bones[i], &anim->bones[i].world);
}

// ---------------------------------------------------------------------------------------
// Drawing and parts

void xsx_draw(xsx_anim* anim)
{
    IDirect3DDevice8* device = GFX.d3d_gfx.device;
    for (uint32_t i = 0; i < anim->bone_count; i++) {
        xsx_bone* b = &anim->bones[i];
        mat4 world;
        mat4_mul(&world, &anim->matrix, &b->world); // the bone's matrix first, then the instance's
        D3DMATRIX m;
        memcpy(&m, &world, sizeof m);
        if (device)
            IDirect3DDevice8_SetTransform(device, D3DTS_WORLD, &m);
        for (uint32_t j = 0; j < XSX_BONE_MESHES; j++)
            if (b->meshes[j])
                xox_draw(b->meshes[j]);
    }
}

void xsx_attach_parts(xsx_anim* anim)
{
    static const char* const kinds[] = {"head", "foot", "ear", "nose", "mouth", "body", "eye", "hand", "eyeball"};
    for (uint32_t i = 0; i < anim->bone_count; i++) {
        xsx_bone* b = &anim->bones[i];
        char base[256];
        xsx_bone_name(b, base, sizeof base);
        files_split_side(base);
        printf("data/avatar/xox/%s.xox\n", base);
        bool known = false;
        for (const char* k : kinds)
            known = known || strcmp(base, k) == 0;
        int32_t g = known ? avatar_group_find(base) : -1;
        if (g < 0 || GFX.avatars.groups[g].count < 1)
            continue;
        const avatar_group* group = &GFX.avatars.groups[g];
        const xox_link* link = &group->entries[rand() % group->count];
        char path[128];
        snprintf(path, sizeof path, "data/avatar/xox/%s.xox", link->xox);
        printf("%s\n", path);
        xox_free(b->meshes[0]); // a mesh left in the slot would be orphaned
        b->meshes[0] = xoxs_load(&GFX.xoxs, path);
        if (b->meshes[0] && (xsx_bone_flags(b) & XSX_BONE_MIRRORED))
            b->meshes[0]->mirrored = 1;
    }
}
