// The HUD subsystem: start and stop, the gizmo pool with the lifetime rules of shown gizmos,
// and the per-frame update and draw over the display gizmo, the contexts and the menu.

#include "app/code/hud/hud.h"

#include "engine/code/dbg.h"
#include "engine/code/mem.h"

hud_subsystem HUD;

// ---- Start and stop -----------------------------------------------------------------------

bool hud_setup_pools(hud_subsystem* hud)
{
    if (!pool_setup(&hud->gizmos, sizeof(hudgizmo), 64))
        return false;
    list_setup(&hud->doomed);
    hud->holds = 0;
    str_pool_setup(&hud->name_pool);
    str_pool_setup(&hud->text_pool);
    str_pool_setup(&hud->script_pool);
    hud->text_pool.case_insensitive = 0;
    hud->script_pool.case_insensitive = 0;
    return true;
}

bool hud_setup(hud_subsystem* hud, gfx* root)
{
    hud->root = root;
    hud_refresh_window(hud);
    if (!hud_cartoon_setup(hud))
        return false;
    if (!hud_pointer_setup(&hud->pointer, hud)) {
        dbg_error("HUD.POINTER subsystem failed to initialize,\n");
        return false;
    }
    return hud_setup_pools(hud);
}

bool hud_reset(hud_subsystem* hud)
{
    gfx* root = hud->root;
    hud_clean(hud);
    return hud_setup(hud, root);
}

static void forget_tree(hud_subsystem* hud, const hudgizmo* g);

// Userdata that outlive the pool must not free into it later: their slots are cleared.
static void release_lua_slots(hud_subsystem* hud)
{
    for (list_node* n = list_first(&hud->gizmos.live); n->next; n = n->next) {
        hudgizmo* g = (hudgizmo*)n;
        if (g->lua_slot && *g->lua_slot == g)
            *g->lua_slot = nullptr;
    }
}

void hud_clean(hud_subsystem* hud)
{
    str_pool_clean(&hud->script_pool);
    str_pool_clean(&hud->text_pool);
    str_pool_clean(&hud->name_pool);
    hud_pointer_clean(&hud->pointer);
    if (hud->gizmos.record_size) {
        release_lua_slots(hud);
        // Every state's records linked to a gizmo let go of it before the pool's memory goes,
        // whichever table is current now.
        for (list_node* n = list_first(&hud->gizmos.live); n->next; n = n->next)
            forget_tree(hud, (const hudgizmo*)n);
        pool_clean(&hud->gizmos);
        hud->gizmos.record_size = 0;
    }
    hud_cartoon_clean(hud);
    list_setup(&hud->doomed); // its records went with the pool
    hud->holds = 0;
    hud->display_gizmo = nullptr;
    hud->displayed_menu = nullptr;
    hud->master_menu = nullptr;
    hud->context_count = 0;
    for (hudgizmo*& c : hud->contexts)
        c = nullptr;
    hud->pressed = nullptr;
}

// ---- Gizmo records ------------------------------------------------------------------------

void hudgizmo_defaults(hudgizmo* g)
{
    list_setup(&g->children);
    g->min_width = 0.0f;
    g->min_height = 0.0f;
    g->max_width = 1e38f;
    g->max_height = 1e38f;
    g->span_width = 1;
    g->span_height = 1;
    g->colour = 0xcc7777cc;
    g->data_kind = HUDGIZMO_DATA_BASE;
    g->kind = &hudgizmo_kind_base;
}

hudgizmo* hud_gizmo_alloc(hud_subsystem* hud)
{
    if (!hud->gizmos.record_size)
        return nullptr;
    hudgizmo* g = (hudgizmo*)pool_alloc(&hud->gizmos);
    if (!g)
        return nullptr;
    hudgizmo_defaults(g);
    list_append(&hud->gizmos.live, &g->link);
    return g;
}

static void forget_record(menu_def* record, const hudgizmo* g)
{
    if (record && record->gizmo == g)
        record->gizmo = nullptr;
}

// Clears every reference the HUD and the menu records hold to g.
static void forget(hud_subsystem* hud, const hudgizmo* g)
{
    if (hud->display_gizmo == g)
        hud->display_gizmo = nullptr;
    if (hud->displayed_menu == g)
        hud->displayed_menu = nullptr;
    if (hud->master_menu == g)
        hud->master_menu = nullptr;
    if (hud->pressed == g)
        hud->pressed = nullptr;
    for (hudgizmo*& c : hud->contexts)
        if (c == g)
            c = nullptr;
    forget_record(g->record, g);
    forget_record(g->handle_x_record, g);
    forget_record(g->handle_y_record, g);
    for (menu_def* r = hud->menu_table; r && r->name; r++)
        forget_record(r, g);
}

static void forget_tree(hud_subsystem* hud, const hudgizmo* g)
{
    forget(hud, g);
    for (list_node* n = g->children.head.next; n->next; n = n->next)
        forget_tree(hud, (const hudgizmo*)n);
}

void hud_gizmo_free(hud_subsystem* hud, hudgizmo* g)
{
    if (!g)
        return;
    if (g->lua_slot && *g->lua_slot == g)
        *g->lua_slot = nullptr;
    g->lua_slot = nullptr;
    if (hud->holds > 0 && !g->parent && hud->gizmos.record_size) {
        forget_tree(hud, g);
        list_unlink(&g->link);
        list_append(&hud->doomed, &g->link);
        return;
    }
    while (!list_empty(&g->children))
        hud_gizmo_free(hud, (hudgizmo*)list_last(&g->children));
    forget(hud, g);
    list_unlink(&g->link);
    pool_free(&hud->gizmos, g);
}

void hud_hold(hud_subsystem* hud) { hud->holds++; }

void hud_release(hud_subsystem* hud)
{
    if (hud->holds > 0)
        hud->holds--;
    if (hud->holds > 0 || !hud->gizmos.record_size)
        return;
    while (!list_empty(&hud->doomed))
        hud_gizmo_free(hud, (hudgizmo*)list_first(&hud->doomed));
}

void hud_gizmo_replace(hud_subsystem* hud, hudgizmo* old_root, hudgizmo* new_root)
{
    if (!old_root)
        return;
    if (hud->display_gizmo == old_root)
        hud->display_gizmo = new_root;
    if (hud->displayed_menu == old_root)
        hud->displayed_menu = new_root;
    if (hud->master_menu == old_root)
        hud->master_menu = new_root;
    for (hudgizmo*& c : hud->contexts)
        if (c == old_root)
            c = new_root;
}

// ---- Frame --------------------------------------------------------------------------------

static void measure_full(hud_subsystem* hud, hudgizmo* g)
{
    g->w = hud->window_width;
    g->h = hud->window_height;
    hudgizmo_measure(g);
}

void hud_update(hud_subsystem* hud)
{
    hud_hold(hud);
    hud_refresh_window(hud);
    if (hud->display_gizmo)
        measure_full(hud, hud->display_gizmo);
    for (int32_t i = 0; i < hud->context_count; i++)
        if (hud->contexts[i])
            measure_full(hud, hud->contexts[i]);

    if (hud->displayed_menu) {
        measure_full(hud, hud->displayed_menu);
        hudgizmo_update(hud->displayed_menu);
        // A handler run by the update may have taken the menu down.
        if (hud->displayed_menu)
            hudgizmo_layout(hud->displayed_menu);
    } else {
        for (int32_t i = hud->context_count - 1; i >= 0; i--)
            if (hud->contexts[i])
                hudgizmo_update(hud->contexts[i]);
        if (hud->display_gizmo)
            hudgizmo_update(hud->display_gizmo);
    }

    if (hud->display_gizmo)
        hudgizmo_layout(hud->display_gizmo);
    for (int32_t i = 0; i < hud->context_count; i++)
        if (hud->contexts[i])
            hudgizmo_layout(hud->contexts[i]);
    hud_pointer_update(&hud->pointer);
    hud_release(hud);
}

void hud_draw(hud_subsystem* hud)
{
    if (hud->display_gizmo)
        hudgizmo_draw(hud->display_gizmo);
    for (int32_t i = 0; i < hud->context_count; i++)
        if (hud->contexts[i])
            hudgizmo_draw(hud->contexts[i]);
    if (hud->displayed_menu)
        hudgizmo_draw(hud->displayed_menu);
    hud_pointer_draw(&hud->pointer);
}

void hud_set_pointer(hud_subsystem* hud, int32_t x, int32_t y) { hud_pointer_set_pos(&hud->pointer, x, y); }
