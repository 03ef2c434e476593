// The avatar manager: mesh choices from xox_links.lua, the shared animations and the pools
// of avatars and souls.
//
// Sections: mesh choices; shared animations; setup and clean.

#include "engine/code/gfx/avatars.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "engine/code/files.h"
#include "engine/code/gfx/avatar.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/soul.h"
#include "engine/code/gfx/xsx.h"
#include "engine/code/luaenv.h"
#include "engine/code/mem.h"

static const char* const links_path = "local/avatar/xox_links.lua";

// ---------------------------------------------------------------------------------------
// Mesh choices
//
// Only entries whose value is a table count as mesh choices: anything else in a group's
// table is skipped in both passes, so the counts and the entries read agree.

static int32_t count_entries(luaenv* e, const char* group)
{
    int32_t n = 0;
    if (!luaenv_get_global(e, group) || !luaenv_is_table(e))
        return 0;
    luaenv_enter(e);
    while (luaenv_next(e))
        if (luaenv_is_table(e))
            n++;
    return n;
}

static void copy_cut(char* out, size_t size, const char* text)
{
    snprintf(out, size, "%s", text ? text : "");
}

static float number_field(luaenv* e, const char* field)
{
    if (!luaenv_get_field(e, field))
        return 0;
    const char* text = luaenv_get_value(e);
    return text ? (float)strtod(text, nullptr) : 0;
}

static void read_entry(luaenv* e, xox_link* link)
{
    copy_cut(link->name, sizeof link->name, luaenv_get_key(e));
    luaenv_enter(e);
    if (luaenv_get_field(e, "xox"))
        copy_cut(link->xox, sizeof link->xox, luaenv_get_value(e));
    link->boi = number_field(e, "boi");
    link->grl = number_field(e, "grl");
    luaenv_leave(e);
}

static void read_group(luaenv* e, avatar_group* group)
{
    int32_t n = 0;
    if (!group->count || !luaenv_get_global(e, group->name) || !luaenv_is_table(e))
        return;
    luaenv_enter(e);
    while (n < group->count && luaenv_next(e))
        if (luaenv_is_table(e))
            read_entry(e, &group->entries[n++]);
}

// False only when the table cannot be allocated.
static bool read_links(avatars* m)
{
    luaenv e = {};
    if (!luaenv_setup(&e))
        return true;
    luaenv_dofile(&e, links_path); // a failing script keeps the globals it made
    m->link_count = 0;
    for (int32_t g = 0; g < AVATAR_GROUP_COUNT; g++) {
        m->groups[g].count = count_entries(&e, m->groups[g].name);
        m->link_count += m->groups[g].count;
    }
    if (m->link_count) {
        // Nothing to allocate without entries: an empty table is not a failure.
        m->links = (xox_link*)mem_alloc(sizeof(xox_link) * m->link_count);
        if (!m->links) {
            luaenv_clean(&e);
            for (avatar_group& g : m->groups)
                g.count = 0;
            m->link_count = 0;
            return false;
        }
    }
    xox_link* at = m->links;
    for (avatar_group& g : m->groups) {
        g.entries = at;
        at += g.count;
        read_group(&e, &g);
    }
    luaenv_clean(&e);
    return true;
}

xox_link* avatars_find_xox_link(const avatar_group* group, const char* name)
{
    if (!group || group->count < 1)
        return nullptr;
    xox_link* fallback = nullptr;
    for (int32_t i = 0; i < group->count; i++) {
        xox_link* link = &group->entries[i];
        if (name && strcasecmp(link->name, name) == 0)
            return link;
        if (strcasecmp(link->name, "default") == 0)
            fallback = link;
    }
    return fallback ? fallback : &group->entries[0];
}

// ---------------------------------------------------------------------------------------
// Shared animations

static void map_bone(avatar_anim_slot* slot, xsx_bone* bone)
{
    char name[256];
    xsx_bone_name(bone, name, sizeof name);
    int side = files_split_side(name);
    int32_t b = avatar_bone_find(name);
    if (b < 0)
        return;
    if (b < AVATAR_PAIR_FIRST) {
        slot->part_bones[b] = bone;
        return;
    }
    bool left_first = (xsx_bone_flags(bone) & XSX_BONE_MIRRORED) || side < 0;
    int32_t first = left_first ? b : b + AVATAR_PAIR_OFFSET;
    int32_t other = left_first ? b + AVATAR_PAIR_OFFSET : b;
    if (!slot->part_bones[first])
        slot->part_bones[first] = bone;
    else
        slot->part_bones[other] = bone;
}

bool avatar_anim_load(avatar_anim_slot* slot, const char* name)
{
    if (slot->anim) {
        xsxs_free(&GFX.xsxs, slot->anim);
        slot->anim = nullptr;
    }
    // The old bones are gone with the old animation, loaded or not.
    memset(slot->part_bones, 0, sizeof slot->part_bones);
    char path[320];
    snprintf(path, sizeof path, "data/avatar/xsx/%s.xsx", name ? name : "");
    slot->anim = xsxs_load(&GFX.xsxs, path);
    if (!slot->anim)
        return false;
    for (uint32_t i = 0; i < slot->anim->bone_count; i++)
        map_bone(slot, &slot->anim->bones[i]);
    return true;
}

// ---------------------------------------------------------------------------------------
// Setup and clean

bool avatars_setup(avatars* m)
{
    memset(m, 0, sizeof *m);
    pool_setup(&m->avatar_pool, sizeof(avatar), 64);
    pool_setup(&m->soul_pool, sizeof(avatar_soul), 8);
    for (int32_t g = 0; g < AVATAR_GROUP_COUNT; g++)
        m->groups[g].name = avatar_group_name(g);
    if (!read_links(m))
        return false;
    for (int32_t i = 0; i < AVATAR_ANIM_COUNT; i++)
        if (!avatar_anim_load(&m->anims[i], avatar_anim_name(i)))
            return false;
    return true;
}

void avatars_clean(avatars* m)
{
    if (m->avatar_pool.record_size) {
        for (list_node* n = list_first(&m->avatar_pool.live); n->next;) {
            list_node* next = n->next;
            avatar_free(m, (avatar*)n);
            n = next;
        }
        pool_clean(&m->avatar_pool);
    }
    if (m->soul_pool.record_size) {
        for (list_node* n = list_first(&m->soul_pool.live); n->next;) {
            list_node* next = n->next;
            soul_free(m, (avatar_soul*)n);
            n = next;
        }
        pool_clean(&m->soul_pool);
    }
    mem_free(m->links);
    m->links = nullptr;
    m->link_count = 0;
    for (avatar_group& g : m->groups) {
        g.count = 0;
        g.entries = nullptr;
    }
    // The shared animations stay with GFX.xsxs, which frees every instance right after.
    memset(m->anims, 0, sizeof m->anims);
    memset(&m->avatar_pool, 0, sizeof m->avatar_pool);
    memset(&m->soul_pool, 0, sizeof m->soul_pool);
}

bool avatars_reset(avatars* m)
{
    avatars_clean(m);
    return avatars_setup(m);
}
