// The avatar editor state: its hooks, its menu records with the one handler they share,
// the faces of the menu kept in line with the soul, the preview meshes on the part-choice
// buttons and the Lua library zuzodida whose script builds the menu.
//
// Sections: records; soul edits; handler; previews; hooks; Lua.

#include "app/code/avatar/bud_test.h"

#include <math.h>

#include <initializer_list>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "app/code/app.h"
#include "app/code/con.h"
#include "app/code/input.h"
#include "app/code/main_state.h"
#include "app/code/soul_lib.h"
#include "engine/code/dbg.h"
#include "engine/code/file_dialog.h"
#include "engine/code/gfx/avatar.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/soul.h"
#include "engine/code/gfx/xox.h"
#include "engine/code/gfx/xsx.h"
#include "engine/code/lua_lib.h"
#include "engine/code/safelua.h"
#include "platform/d3d8.h"

bud_test bud_test_state;

// ---- records ----

#define BUD_TEST_TABLE_MARK(name) {#name, name, NULL, 0, NULL, NULL, 0.0f},
#define BUD_TEST_TABLE_BTN(name, data) {#name, name, &bud_test_state, (uint32_t)(data), bud_test_button, NULL, 0.0f},

menu_def bud_test_menu[BUD_TEST_RECORD_COUNT + 1] = {
    BUD_TEST_RECORDS(BUD_TEST_TABLE_MARK, BUD_TEST_TABLE_BTN){NULL, 0, NULL, 0, NULL, NULL, 0.0f},
};

static_assert(BUD_TEST_RECORD_COUNT == 155, "the editor's records are ids 0 to 154");

static const float BUD_PI = 3.14159265f;
static const float BUD_INV_255 = 0.003921569f;
static const float BUD_SIZE_ONE = 0.33333334f; // a size slider's value for size 1.0
enum { BUD_ANIM_BREATH = 8, BUD_PART_HEAD = 6, BUD_PART_NOSE = 8, BUD_LEFT_EYEBALL = 14, BUD_RIGHT_EYEBALL = 20 };

static float value(int32_t id) { return bud_test_menu[id].value; }
static void set_value(int32_t id, float v) { bud_test_menu[id].value = v; }

// ---- soul edits ----

static void reload_parts(bud_test* b)
{
    avatar_free_parts(b->avatar);
    avatar_load_parts(b->avatar);
    bud_test_refresh_faces(b);
}

static uint8_t channel_sum(uint32_t a, uint32_t b, int shift)
{
    uint32_t s = ((a >> shift) & 0xFF) + ((b >> shift) & 0xFF);
    return (uint8_t)(s > 255 ? 255 : s);
}

void bud_test_refresh_faces(bud_test* b)
{
    avatar_soul* soul = b->avatar ? b->avatar->soul : NULL;
    if (!soul)
        return;
    for (int32_t id = BTN_ColorSkin; id <= BTN_ColorSole; id++) {
        menu_def* r = &bud_test_menu[id];
        hudgizmo* g = r->gizmo;
        if ((int32_t)r->data < 0 || (int32_t)r->data >= AVATAR_SURFACE_COUNT || !g || !g->parent)
            continue;
        list_node* next = g->link.next;
        if (!next)
            continue; // not in a child list
        const soul_surface* s = &soul->surfaces[r->data];
        g->colour = s->argb;
        if (next != &g->parent->children.tail) {
            hudgizmo* shine = (hudgizmo*)next;
            shine->colour = 0xFF000000u | (uint32_t)channel_sum(s->argb, s->spec, 16) << 16 |
                            (uint32_t)channel_sum(s->argb, s->spec, 8) << 8 | channel_sum(s->argb, s->spec, 0);
        }
    }
    for (int32_t id = BTN_Head; id <= BTN_Feet; id++) {
        hudgizmo* g = bud_test_menu[id].gizmo;
        if (!g || list_empty(&g->children))
            continue;
        hudgizmo* label = (hudgizmo*)list_first(&g->children);
        if (label->data_kind != HUDGIZMO_DATA_TEXT)
            continue;
        uint32_t slot = bud_test_menu[id].data;
        const char* name = soul->objects[slot / 4][slot % 4].name;
        label->text = str_pool_add(&HUD.text_pool, name[0] ? name : "None");
    }
}

void bud_test_randomize(bud_test* b)
{
    if (!b->avatar)
        return;
    int32_t sex = b->sex > 0.0f ? 1 : b->sex < 0.0f ? -1 : 0;
    if (CON.L)
        soul_randomize(CON.L, b->avatar, sex);
    reload_parts(b);
}

static void choose_object(bud_test* b, uint32_t slot, hudgizmo* g)
{
    avatar_soul* soul = b->avatar ? b->avatar->soul : NULL;
    if (!soul || slot >= AVATAR_PART_COUNT * SOUL_OBJECTS)
        return;
    int32_t group = g ? avatar_group_find(g->part_group) : -1;
    const char* name = g && g->part_name && strcmp(g->part_name, "none") != 0 ? g->part_name : "";
    for (int i = 0; i < 2; i++) {
        soul_object* o = &soul->objects[slot / 4][slot % 4];
        o->group = group;
        snprintf(o->name, sizeof o->name, "%s", name);
        // Objects 0 to 2 of a left part are mirrored onto its right twin.
        if (slot < 40 || (slot & 3) == 3)
            break;
        slot += AVATAR_PAIR_OFFSET * SOUL_OBJECTS;
    }
    reload_parts(b);
}

static void set_gizmo_selected(menu_def* r, bool on)
{
    if (r && r->gizmo) {
        if (on)
            r->gizmo->flags |= HUDGIZMO_SELECTED;
        else
            r->gizmo->flags &= ~HUDGIZMO_SELECTED;
    }
}

static void sliders_from_colour(int32_t first, uint32_t argb)
{
    for (int i = 0; i < 4; i++)
        set_value(first + i, (float)((argb >> (24 - 8 * i)) & 0xFF) * BUD_INV_255);
}

static void select_colour(bud_test* b, menu_def* r)
{
    set_gizmo_selected(b->selected_colour, false);
    b->selected_colour = r;
    set_gizmo_selected(r, true);
    avatar_soul* soul = b->avatar ? b->avatar->soul : NULL;
    int32_t surface = (int32_t)r->data;
    if (!r->gizmo || surface < 0 || surface >= AVATAR_SURFACE_COUNT || !soul)
        return;
    const soul_surface* s = &soul->surfaces[surface];
    sliders_from_colour(BTN_ColorA, s->argb);
    sliders_from_colour(BTN_SpecA, s->spec);
    set_value(BTN_Gloss, sqrtf(s->gloss));
}

// The surfaces of the four colour groups (-1 to -4), each list ended by -1.
static const int8_t group_surfaces[4][6] = {
    {0, 1, 2, -1},           // skin, lips, nipples
    {3, 4, 5, 6, 7, -1},     // hair, hairhi, hairlo, eyebrows, beard
    {11, 12, 13, -1},        // body, bodyhi, bodylo
    {14, 15, 16, 17, -1},    // foot, toecaps, sole, socks
};

enum { COMPOSED_COLOUR = 1, COMPOSED_SPEC = 2, COMPOSED_GLOSS = 4 };

static uint32_t slider_byte(int32_t id) { return (uint32_t)(int32_t)(value(id) * 255.0f) & 0xFF; }

static void apply_surface(soul_surface* s, int composed, uint32_t colour, uint32_t spec, float gloss, bool with_gloss)
{
    if (composed & COMPOSED_COLOUR)
        s->argb = colour;
    if (composed & COMPOSED_SPEC)
        s->spec = spec;
    if (with_gloss && (composed & COMPOSED_GLOSS))
        s->gloss = gloss;
}

static void edit_colour(bud_test* b, int32_t id, hudgizmo* g)
{
    int composed = 0;
    uint32_t colour = 0, spec = 0;
    float gloss = 0.0f;
    if (id == BTN_ColorPick && g) {
        colour = g->colour;
        composed = COMPOSED_COLOUR;
    } else if (id == BTN_SpecPick && g) {
        spec = g->colour;
        composed = COMPOSED_SPEC;
    } else if (id >= BTN_ColorA && id <= BTN_ColorB) {
        colour = slider_byte(BTN_ColorA) << 24 | slider_byte(BTN_ColorR) << 16 | slider_byte(BTN_ColorG) << 8 |
                 slider_byte(BTN_ColorB);
        composed = COMPOSED_COLOUR;
    } else if (id >= BTN_SpecA && id <= BTN_SpecB) {
        spec = 0xFFu << 24 | slider_byte(BTN_SpecR) << 16 | slider_byte(BTN_SpecG) << 8 | slider_byte(BTN_SpecB);
        composed = COMPOSED_SPEC;
    } else if (id == BTN_Gloss) {
        gloss = value(BTN_Gloss) * value(BTN_Gloss);
        composed = COMPOSED_GLOSS;
    }

    avatar_soul* soul = b->avatar ? b->avatar->soul : NULL;
    menu_def* sel = b->selected_colour;
    if (sel && soul) {
        int32_t data = (int32_t)sel->data;
        if (data >= 0 && data < AVATAR_SURFACE_COUNT) {
            apply_surface(&soul->surfaces[data], composed, colour, spec, gloss, true);
        } else if (data >= -4 && data <= -1) {
            for (const int8_t* i = group_surfaces[-data - 1]; *i >= 0; i++)
                apply_surface(&soul->surfaces[*i], composed, colour, spec, gloss, false);
        }
        avatar_recolour(b->avatar);
        bud_test_refresh_faces(b);
    }
    if (composed & COMPOSED_COLOUR)
        sliders_from_colour(BTN_ColorA, colour);
    if (composed & COMPOSED_SPEC)
        sliders_from_colour(BTN_SpecA, spec);
    if (composed & COMPOSED_GLOSS)
        set_value(BTN_Gloss, sqrtf(gloss));
}

static void edit_size(bud_test* b, int32_t id, uint32_t data, float v)
{
    avatar_soul* soul = b->avatar ? b->avatar->soul : NULL;
    if (!soul)
        return;
    if (id == BTN_HeadAspect) {
        soul->sizes[BUD_PART_HEAD].x = 0.875f + 0.25f * v;
        soul->sizes[BUD_PART_HEAD].y = 1.125f - 0.25f * v;
    } else if (id == BTN_NoseSize) {
        soul->sizes[BUD_PART_NOSE].x = 0.5f + 1.5f * v;
        soul->sizes[BUD_PART_NOSE].z = 0.5f + 1.5f * v;
    } else if (data < AVATAR_PART_COUNT) {
        soul->sizes[data].x = soul->sizes[data].y = soul->sizes[data].z = 0.5f + 1.5f * v;
    }
}

// ---- dialogs ----

void bud_test_after_dialog(gfx* root, input_state* input)
{
    if (root)
        root->d3d_gfx.resize_flag = 1;
    for (input_player& p : input->players) {
        input_axis_set(&p.leftright, &p.left, &p.right, 0);
        input_axis_set(&p.updown, &p.up, &p.down, 0);
        input_axis_set(&p.inout, &p.in, &p.out, 0);
    }
    input_button_set(&input->grab, false);
    input_button_set(&input->click, false);
    input_button_set(&input->menu, false);
}

static const char SOUL_DEFAULT[] = "local/avatar/soul/me.xml";

static void save_soul(bud_test* b)
{
    const char* path = file_dialog_save("Select soul to save", SOUL_DEFAULT, "*.XML");
    if (path && b->avatar) {
        b->gfx->soul_path_flag = 1;
        avatar_save_soul(b->avatar, path);
        b->gfx->soul_path_flag = 0;
    }
    bud_test_after_dialog(b->gfx, &INPUT);
}

// The new soul is read before anything of the current avatar is let go, so a missing or
// malformed file leaves the avatar being edited as it was.
static void load_soul(bud_test* b)
{
    const char* path = file_dialog_open("Select soul to load", SOUL_DEFAULT, "*.XML");
    if (path && b->avatar) {
        b->gfx->soul_path_flag = 1;
        avatar_soul* soul = soul_alloc(&b->gfx->avatars, path);
        b->gfx->soul_path_flag = 0;
        if (!soul) {
            dbg_error("Failed to load soul %s, the avatar is kept.\n", path);
        } else {
            avatar_free_parts(b->avatar);
            soul_free(&b->gfx->avatars, b->avatar->soul);
            b->avatar->soul = soul;
            avatar_load_parts(b->avatar);
            bud_test_refresh_faces(b);
        }
    }
    bud_test_after_dialog(b->gfx, &INPUT);
}

// ---- handler ----

static const int32_t render_sizes[5] = {50, 64, 80, 100, 200};

int32_t bud_test_button(menu_def* record, hudgizmo* g, int32_t event, int32_t unused)
{
    bud_test* b = (bud_test*)record->owner;
    if (!b)
        return 0;
    int32_t id = record->id;
    uint32_t data = record->data;
    if (id >= BTN_AnimSplatToIdle && id <= BTN_AnimPoseQuadIdle) {
        if (b->anim_next != -1)
            b->anim_current = b->anim_next;
        b->anim_next = (int32_t)data;
        b->anim_blend = 1.0f;
    } else if (id >= BTN_HeadSelect && id <= BTN_FeetSelect) {
        choose_object(b, data, g);
    } else if (id >= BTN_ColorSkinGroup && id <= BTN_ColorSole) {
        select_colour(b, record);
    } else if (id >= BTN_ViewFront && id <= BTN_ViewRight) {
        static const float turns[4] = {0.5f, 0.0f, 0.25f, 0.75f};
        set_value(BTN_RotY, turns[id - BTN_ViewFront]);
    } else if (id == BTN_ViewRotateOn || id == BTN_ViewRotateOff) {
        b->auto_turn = id == BTN_ViewRotateOn;
    } else if (id == BTN_ColorPick || id == BTN_SpecPick || (id >= BTN_ColorA && id <= BTN_Gloss)) {
        edit_colour(b, id, g);
    } else if (id >= BTN_HeadAspect && id <= BTN_NoseSize) {
        edit_size(b, id, data, record->value);
    } else if (id == BTN_SaveSoul) {
        save_soul(b);
    } else if (id == BTN_LoadSoul) {
        load_soul(b);
    } else if (id == BTN_SavePNG || id == BTN_SaveAnim || id == BTN_SaveMoods || id == BTN_RandomSave) {
        b->pending_command = id;
    } else if (id >= BTN_SetSize50x50 && id <= BTN_SetSize200x200z) {
        int32_t k = id - BTN_SetSize50x50;
        b->render_z = k / 5 == 2;
        b->render_c = k / 5 == 1;
        b->render_size = render_sizes[k % 5];
    } else if (id == BTN_SelectSexBoy) {
        b->sex = 1.0f;
    } else if (id == BTN_SelectSexGirl) {
        b->sex = -1.0f;
    } else if (id == BTN_SelectSexAll) {
        b->sex = 0.0f;
    } else if (id == BTN_Randomize) {
        bud_test_randomize(b);
        if (b->anim_next == -1) {
            b->anim_next = 1 + rand() % 32;
            b->anim_blend = 1.0f;
        }
    }
    return 0;
}

// ---- previews ----

static void collect(bud_test* b, hudgizmo* g)
{
    for (list_node* n = list_first(&g->children); n && n != &g->children.tail; n = n->next) {
        hudgizmo* c = (hudgizmo*)n;
        if (c->flags & HUDGIZMO_HIDDEN)
            continue;
        if (c->part_group && c->part_name && b->preview_count < BUD_TEST_PREVIEWS)
            b->previews[b->preview_count++].gizmo = c;
        collect(b, c);
    }
}

void bud_test_collect_previews(bud_test* b, hudgizmo* g)
{
    if (g)
        collect(b, g);
}

static bool same(const char* a, const char* b) { return a && b && strcmp(a, b) == 0; }

static void free_preview(bud_test_preview* p)
{
    if (p->mesh)
        xoxs_free(p->mesh->owner, p->mesh);
    p->mesh = NULL;
}

static void load_preview(bud_test* b, bud_test_preview* p)
{
    int32_t group = avatar_group_find(p->group);
    if (group < 0 || strcmp(p->name, "none") == 0)
        return;
    const xox_link* link = avatars_find_xox_link(&b->gfx->avatars.groups[group], p->name);
    if (!link || !link->xox[0])
        return;
    char path[128];
    snprintf(path, sizeof path, "data/avatar/xox/%s.xox", link->xox);
    p->mesh = xoxs_load(&b->gfx->xoxs, path);
}

// The mesh's own radius, from its file body; 1 when it has none usable.
static float preview_radius(const xox_mesh* mesh)
{
    float r = 0.0f;
    if (mesh->body)
        memcpy(&r, mesh->body + 52, sizeof r);
    return r > 0.0f && isfinite(r) ? r : 1.0f;
}

static void place_preview(bud_test* b, bud_test_preview* p, float angle)
{
    const hudgizmo* g = p->gizmo;
    motion* m = &p->motion;
    memset(m, 0, sizeof *m);
    m->xform.orientation.w = m->spin.w = m->spin_acceleration.w = 1.0f;
    m->damping = 1.0f;
    m->xform.position = {g->x + g->w * 0.5f - b->view.width * 0.5f, b->view.height * 0.5f - g->h * 0.5f - g->y,
                         0.0f};
    quat_rotate_y(&m->xform.orientation, BUD_PI + angle);
    float s = (g->w < g->h ? g->w : g->h) * 0.5f / preview_radius(p->mesh);
    m->xform.scale = {s, s, s};
}

static void update_previews(bud_test* b, float angle)
{
    b->preview_count = 0;
    bud_test_collect_previews(b, HUD.display_gizmo);
    const avatar_soul* soul = b->avatar ? b->avatar->soul : NULL;
    for (int32_t i = 0; i < b->preview_count; i++) {
        bud_test_preview* p = &b->previews[i];
        if (!same(p->group, p->gizmo->part_group) || !same(p->name, p->gizmo->part_name)) {
            free_preview(p);
            p->group = p->gizmo->part_group;
            p->name = p->gizmo->part_name;
            p->failed = 0;
        }
        // A part whose mesh is missing or damaged would otherwise be loaded, and its failure
        // logged, at every frame.
        if (!p->mesh && !p->failed) {
            load_preview(b, p);
            p->failed = p->mesh == NULL;
        }
        if (!p->mesh)
            continue;
        if (soul)
            xox_recolour(p->mesh, soul->surfaces, AVATAR_SURFACE_COUNT);
        place_preview(b, p, angle);
        xox_update(p->mesh);
    }
}

// ---- hooks ----

static void motion_identity(motion* m)
{
    memset(m, 0, sizeof *m);
    m->xform.orientation.w = m->spin.w = m->spin_acceleration.w = 1.0f;
    m->damping = 1.0f;
}

bool bud_test_setup(bud_test* b, gfx* root)
{
    APP.frame_period = 33;
    b->gfx = root;
    view_setup(&b->view, VIEW_MODE_SCREEN);
    b->sex = -1.0f;
    set_value(BTN_RotY, 0.5f);
    set_value(BTN_HeadAspect, 0.5f);
    for (int32_t id = BTN_LeftEyeSize; id <= BTN_NoseSize; id++)
        set_value(id, BUD_SIZE_ONE);
    b->auto_turn = 1;
    b->render_z = 0;
    b->render_c = 0;
    b->render_size = 100;
    b->pending_command = 0;
    b->preview_count = 0;
    b->avatar = avatar_alloc(&root->avatars, "me");
    if (!b->avatar)
        return false;
    avatar_load_parts(b->avatar);
    b->anim_current = BUD_ANIM_BREATH;
    b->anim_next = -1;
    b->anim_blend = 1.0f;
    motion_identity(&b->motion);
    b->motion.xform.scale = {128.0f, 128.0f, 128.0f};
    b->motion.xform.position = {0.0f, -64.0f, 0.0f};
    HUD.menu_table = bud_test_menu;
    if (!CON.L || !safelua_cpcall(CON.L, zuzodida_lua_setup, NULL)) {
        dbg_error("ZUZODIDA.LUA subsystem failed to initialize,\n");
        return false;
    }
    bud_test_refresh_faces(b);
    return true;
}

// Protected body: the library goes, and with it the gizmos its script built, while the
// editor's records are still the HUD's table so their links are cleared as they are freed.
static int zuzodida_lua_clean(lua_State* L)
{
    lua_lib_unregister(L, "zuzodida");
    lua_gc(L, LUA_GCCOLLECT, 0);
    return 0;
}

void bud_test_clean(bud_test* b)
{
    HUD.display_gizmo = NULL;
    HUD.displayed_menu = NULL;
    for (bud_test_preview& p : b->previews) {
        free_preview(&p);
        p.group = p.name = NULL;
        p.gizmo = NULL;
    }
    b->preview_count = 0;
    if (b->avatar && b->gfx)
        avatar_free(&b->gfx->avatars, b->avatar);
    b->avatar = NULL;
    if (CON.L && b->gfx)
        safelua_cpcall(CON.L, zuzodida_lua_clean, NULL);
    // Whatever gizmo the script left alive is no longer the editor's to touch.
    for (int32_t i = 0; i < BUD_TEST_RECORD_COUNT; i++)
        bud_test_menu[i].gizmo = NULL;
    view_clean(&b->view);
}

bool bud_test_reset(bud_test* b)
{
    gfx* root = b->gfx;
    bud_test_clean(b);
    return root && bud_test_setup(b, root);
}

// Time of a layer's clock after one frame: wrapped into the animation's length.
static void advance_layer(avatar_layer* layer)
{
    if (layer->time < 0.0f)
        layer->time = 0.0f;
    float length = layer->slot && layer->slot->anim ? xsx_length(layer->slot->anim) : 0.0f;
    if (length <= 0.0f) {
        layer->time = 0.0f;
        return;
    }
    layer->time += 0.033333335f;
    while (layer->time >= length)
        layer->time -= length;
}

static avatar_anim_slot* anim_slot(bud_test* b, int32_t index)
{
    if (index < 0 || index >= AVATAR_ANIM_COUNT)
        return NULL;
    return &b->gfx->avatars.anims[index];
}

static void set_layers(bud_test* b)
{
    avatar_layer* l = b->avatar->layers;
    if (b->anim_next == -1) {
        if (l[1].slot)
            l[0].time = l[1].time;
        l[0].slot = anim_slot(b, b->anim_current);
        l[0].weight = 1.0f;
        l[1].slot = NULL;
        return;
    }
    l[0].slot = anim_slot(b, b->anim_current);
    l[0].weight = b->anim_blend;
    l[1].slot = anim_slot(b, b->anim_next);
    l[1].weight = 1.0f - b->anim_blend;
    l[2].slot = NULL;
    b->anim_blend -= 0.0625f;
    if (b->anim_blend <= 0.0f) {
        b->anim_blend = 0.0f;
        b->anim_current = b->anim_next;
        b->anim_next = -1;
    }
}

// The eyes turn toward the HUD pointer from the look centre.
static void aim_eyes(bud_test* b, float cx, float cy)
{
    quat q = {0.0f, 0.0f, 0.0f, 1.0f};
    quat_rotate_y(&q, (HUD.pointer.x - cx) * -0.0009765625f);
    quat_rotate_x(&q, (HUD.pointer.y - cy) * 0.0009765625f);
    mat4 turn;
    mat4_from_quat(&turn, &q);
    for (int32_t part : {BUD_LEFT_EYEBALL, BUD_RIGHT_EYEBALL}) {
        xsx_bone* bone = b->avatar->base.part_bones[part];
        if (bone)
            mat4_mul(&bone->world, &bone->world, &turn);
    }
}

void bud_test_update(bud_test* b, uint32_t phase)
{
    if (phase != UPDATE_FRAME_END || !b->avatar)
        return;
    view_build(&b->view);

    float v = value(BTN_RotY);
    float angle = BUD_PI - 2.0f * BUD_PI * v;
    if (b->auto_turn) {
        v += 0.001f;
        if (v > 1.0f)
            v = 0.0f;
        set_value(BTN_RotY, v);
    }

    if (b->pending_command)
        bud_test_run_tool(b, b->pending_command);
    b->pending_command = 0;

    set_layers(b);
    avatar_update(b->avatar);
    advance_layer(&b->avatar->layers[0]);
    if (b->avatar->layers[1].slot)
        advance_layer(&b->avatar->layers[1]);
    motion_step(&b->motion);

    float cx = 400.0f, cy = 300.0f;
    hudgizmo* frame = HUD.display_gizmo
                          ? hudgizmo_find_shown(HUD.display_gizmo, str_pool_add(&HUD.name_pool, "BTN_Avatar"))
                          : NULL;
    if (frame) {
        float s = frame->w < frame->h ? frame->w : frame->h;
        b->motion.xform.scale = {s * 0.5f, s * 0.5f, s * 0.5f};
        b->motion.xform.position = {frame->x + frame->w * 0.5f - b->view.width * 0.5f,
                                    b->view.height * 0.5f - frame->h * 0.5f - frame->y - s * 0.5f, 0.0f};
        b->motion.xform.orientation = {0.0f, 0.0f, 0.0f, 1.0f};
        quat_rotate_y(&b->motion.xform.orientation, angle);
        cx = frame->x + frame->w * 0.5f;
        cy = frame->y + frame->h * 0.5f;
    }
    aim_eyes(b, cx, cy);
    if (b->avatar->base.anim)
        mat4_from_transform(&b->avatar->base.anim->matrix, &b->motion.xform);

    update_previews(b, angle);
}

static void set_world(IDirect3DDevice8* device, const mat4* m)
{
    if (device)
        IDirect3DDevice8_SetTransform(device, D3DTS_WORLD, (const D3DMATRIX*)m);
}

void bud_test_draw(bud_test* b)
{
    view_apply(&b->view);
    IDirect3DDevice8* device = b->gfx ? b->gfx->d3d_gfx.device : NULL;
    if (device)
        D3DCHECK(IDirect3DDevice8_Clear(device, 0, NULL, D3DCLEAR_ZBUFFER, 0, 1.0f, 0));
    if (b->avatar)
        avatar_draw(b->avatar);
    for (int32_t i = 0; i < b->preview_count; i++) {
        bud_test_preview* p = &b->previews[i];
        if (!p->gizmo || !p->mesh)
            continue;
        mat4 world;
        mat4_from_transform(&world, &p->motion.xform);
        set_world(device, &world);
        xox_draw(p->mesh);
    }
    hud_draw(&HUD);
}

static bool main_state_bud_test_setup(gfx* root) { return bud_test_setup(&bud_test_state, root); }
static bool main_state_bud_test_reset(void) { return bud_test_reset(&bud_test_state); }
static void main_state_bud_test_clean(void) { bud_test_clean(&bud_test_state); }
static void main_state_bud_test_update(uint32_t phase) { bud_test_update(&bud_test_state, phase); }
static void main_state_bud_test_draw(void) { bud_test_draw(&bud_test_state); }

extern const main_state_hooks main_state_bud_test = {main_state_bud_test_setup, main_state_bud_test_reset,
                                              main_state_bud_test_clean, main_state_bud_test_update,
                                              main_state_bud_test_draw, NULL};

// ---- Lua ----

int zuzodida_lua_setup(lua_State* L)
{
    lua_lib_register(L, "zuzodida", NULL);
    lua_lib_run_script(L, "zuzodida");
    return 0;
}
