// Cut maps: the pool, the records and their layers, the document reader and the Lua library
// `cmps`.
//
// Sections: pool, record, layers, sources and cuts, document reader, Lua library.

#include "engine/code/gfx/cmps.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "engine/code/dbg.h"
#include "engine/code/files.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/owned_lib.h"
#include "engine/code/gfx/txts.h"
#include "engine/code/lua_lib.h"
#include "engine/code/mem.h"
#include "engine/code/xml.h"

// ---- pool ------------------------------------------------------------------------------

bool cmps_setup(cmps_pool* p, gfx* root)
{
    p->root = root;
    return pool_setup(&p->records, sizeof(gfx_cmps), 64);
}

bool cmps_reset(cmps_pool* p)
{
    gfx* root = p->root;
    cmps_clean(p);
    return cmps_setup(p, root);
}

void cmps_clean(cmps_pool* p)
{
    // A pool never set up has null links: nothing to free.
    if (p->records.live.head.next)
        while (!list_empty(&p->records.live))
            gfx_cmps_free((gfx_cmps*)list_first(&p->records.live));
    pool_clean(&p->records);
}

gfx_cmps* cmps_alloc(cmps_pool* p, int32_t w, int32_t h, int32_t d, const char* file)
{
    gfx_cmps* c = (gfx_cmps*)pool_alloc(&p->records);
    if (!c) {
        dbg_error("Failed to allocate cmp,\n");
        return nullptr;
    }
    list_append(&p->records.live, &c->link);
    // The owner leads the loader to the graphics root, so it is known before the setup.
    c->owner = p;
    if (!gfx_cmps_setup(c, w, h, d, file)) {
        dbg_error("Failed to setup cmp,\n");
        cmps_free(p, c);
        return nullptr;
    }
    return c;
}

void cmps_free(cmps_pool* p, gfx_cmps* c)
{
    if (!c)
        return;
    list_unlink(&c->link);
    gfx_cmps_clean(c);
    if (c->holder) {
        *c->holder = nullptr;
        c->holder = nullptr;
    }
    pool_free(&p->records, c);
}

// ---- record ----------------------------------------------------------------------------

static gfx* root_of(const cmps_layer* l) { return l->owner->owner->root; }

bool gfx_cmps_setup(gfx_cmps* c, int32_t w, int32_t h, int32_t d, const char* file)
{
    if (file && file[0])
        return cutmap_load(c, file);
    return gfx_cmps_setup_empty(c, w, h, d);
}

bool gfx_cmps_setup_empty(gfx_cmps* c, int32_t w, int32_t h, int32_t d)
{
    if (d < 0)
        return false;
    c->w = w;
    c->h = h;
    c->d = d;
    // d only sizes the first block (the array grows past it), so a wild count costs nothing.
    return grow_array_setup(&c->layers, sizeof(cmps_layer), 1, d < 64 ? d : 64);
}

void gfx_cmps_clean(gfx_cmps* c)
{
    for (int32_t i = 0; i < c->layers.count; i++)
        cmps_layer_clean(gfx_cmps_layer(c, i));
    grow_array_clean(&c->layers);
}

void gfx_cmps_free(gfx_cmps* c)
{
    if (c)
        cmps_free(c->owner, c);
}

cmps_layer* gfx_cmps_layer(gfx_cmps* c, int32_t i)
{
    if (i < 0 || i >= c->layers.count)
        return nullptr;
    return (cmps_layer*)c->layers.data + i;
}

// The layers moved with the array's growth: what points back at them follows.
static void repoint_layers(gfx_cmps* c)
{
    for (int32_t i = 0; i < c->layers.count; i++) {
        cmps_layer* l = gfx_cmps_layer(c, i);
        for (int32_t k = 0; k < l->sources.count; k++)
            ((cmps_source*)l->sources.data)[k].layer = l;
        for (int32_t k = 0; k < l->cuts.count; k++)
            if (((cmps_cut*)l->cuts.data)[k].layer)
                ((cmps_cut*)l->cuts.data)[k].layer = l;
        if (l->texture)
            l->texture->holder = (void**)&l->texture;
    }
}

static cmps_layer* append_layer(gfx_cmps* c)
{
    void* before = c->layers.data;
    cmps_layer* l = (cmps_layer*)grow_array_alloc(&c->layers, 1);
    if (!l)
        return nullptr;
    if (c->layers.data != before)
        repoint_layers(c);
    cmps_layer_setup(l, c);
    return l;
}

// ---- layers ----------------------------------------------------------------------------

void cmps_layer_setup(cmps_layer* l, gfx_cmps* owner)
{
    l->owner = owner;
    l->bitmap = nullptr;
    l->texture = nullptr;
    grow_array_setup(&l->cuts, sizeof(cmps_cut), 64, 0);
    grow_array_setup(&l->sources, sizeof(cmps_source), 8, 0);
}

void cmps_layer_clean(cmps_layer* l)
{
    cmps_layer_free_texture(l);
    cmps_layer_free_bitmap(l);
    grow_array_clean(&l->sources);
    grow_array_clean(&l->cuts);
}

void cmps_layer_free_texture(cmps_layer* l)
{
    gfx_txts_free(l->texture);
    l->texture = nullptr;
}

void cmps_layer_free_bitmap(cmps_layer* l)
{
    // The texture copies from its bitmap again at every device reset: it cannot outlive it.
    cmps_layer_free_texture(l);
    gfx_bmps_free(l->bitmap);
    l->bitmap = nullptr;
}

bool cmps_layer_build(cmps_layer* l, const bmps_clip* clip)
{
    gfx_cmps* c = l->owner;
    if (!l->bitmap) {
        l->bitmap = bmps_alloc(&root_of(l)->bmps_pool, BMIP_BGRA, c->w, c->h, 1, nullptr);
        if (!l->bitmap)
            return false;
    }
    bmps_fill(&l->bitmap->info, 0xFFFFFFFFu, nullptr);
    const cmps_source* sources = (const cmps_source*)l->sources.data;
    const cmps_cut* cuts = (const cmps_cut*)l->cuts.data;
    for (int32_t i = 0; i < l->sources.count; i++) {
        if (!sources[i].bitmap)
            continue;
        for (int32_t k = 0; k < l->cuts.count; k++) {
            const cmps_cut* cut = &cuts[k];
            if (!cut->layer || cut->source != i)
                continue;
            bmps_rect s = {cut->source_x, cut->source_y, 0.0f, cut->w, cut->h, 1.0f};
            bmps_rect t = {cut->dest_x, cut->dest_y, 0.0f, cut->w, cut->h, 1.0f};
            bmps_copy_rect(&sources[i].bitmap->info, &s, &l->bitmap->info, &t, clip, -1.0f);
        }
    }
    return true;
}

bool cmps_layer_build_texture(cmps_layer* l)
{
    if (l->texture)
        return true;
    if (!l->bitmap && !cmps_layer_build(l, nullptr))
        return false;
    l->texture = txts_alloc_bitmap(&root_of(l)->txts_pool, l->bitmap, 1);
    if (!l->texture)
        return false;
    // Freed from the texture pool first (a reset of it), the layer is told.
    l->texture->holder = (void**)&l->texture;
    return true;
}

// ---- sources and cuts ------------------------------------------------------------------

void cmps_source_setup(cmps_source* s, cmps_layer* l)
{
    s->layer = l;
    s->path[0] = 0;
    s->bitmap = nullptr;
}

bool cmps_source_load(cmps_source* s, const char* name)
{
    snprintf(s->path, sizeof(s->path), "data/cuts/%s", name);
    s->bitmap = bmps_find(&root_of(s->layer)->bmps_pool, s->path);
    return s->bitmap != nullptr;
}

void cmps_cut_setup(cmps_cut* cut, cmps_layer* l)
{
    memset(cut, 0, sizeof(*cut));
    cut->layer = l;
}

// ---- document reader -------------------------------------------------------------------

enum cutmap_state { CUTMAP_OUTSIDE, CUTMAP_ROOT, CUTMAP_LAYER, CUTMAP_SOURCE, CUTMAP_C };

struct cutmap_reader {
    gfx_cmps* map;
    const char* text;
    int state;
    bool error;
    int32_t line;          // of the first error
    int32_t cutmaps;       // cutmap elements read
    bool layers_started;
    int32_t w, h, d;       // from the cutmap element, applied at the first layer
    int32_t numbers;       // of the open c element
    double values[7];
    char attribute[256];
    char token[258];       // a token of up to 255 bytes and the scanner's 16-bit terminator
};

static int32_t trunc_i32(double v)
{
    if (std::isnan(v))
        return 0;
    if (v <= -2147483648.0)
        return INT32_MIN;
    if (v >= 2147483647.0)
        return INT32_MAX;
    return (int32_t)v;
}

// A number token: decimal text, 0 when none can be read.
static double number_of(const char* token) { return strtod(token, nullptr); }

// A float field: out of the float range it becomes an infinity, as the float reader gives it.
static float float_of(double v)
{
    if (v > FLT_MAX)
        return INFINITY;
    if (v < -FLT_MAX)
        return -INFINITY;
    return (float)v;
}

static void reader_fail(xml_scan_ctx* x)
{
    cutmap_reader* r = (cutmap_reader*)x->user;
    if (!r->error) {
        r->error = true;
        r->line = 1;
        for (int32_t i = 0; i < x->position && i < x->length; i++)
            r->line += r->text[i] == '\n';
    }
    x->state = -1;  // ends the scan
}

static cmps_layer* current_layer(cutmap_reader* r) { return gfx_cmps_layer(r->map, r->map->layers.count - 1); }

static bool open_layer(cutmap_reader* r)
{
    if (!r->layers_started) {
        r->layers_started = true;
        if (!gfx_cmps_setup_empty(r->map, r->w, r->h, r->d))
            return false;
    }
    return append_layer(r->map) != nullptr;
}

static bool open_source(cutmap_reader* r)
{
    cmps_layer* l = current_layer(r);
    cmps_source* s = (cmps_source*)grow_array_alloc(&l->sources, 1);
    if (!s)
        return false;
    cmps_source_setup(s, l);
    return true;
}

static bool open_cut(cutmap_reader* r)
{
    cmps_layer* l = current_layer(r);
    cmps_cut* cut = (cmps_cut*)grow_array_alloc(&l->cuts, 1);
    if (!cut)
        return false;
    cmps_cut_setup(cut, l);
    r->numbers = 0;
    return true;
}

static bool close_cut(cutmap_reader* r)
{
    if (r->numbers != 7)
        return false;
    cmps_layer* l = current_layer(r);
    cmps_cut* cut = (cmps_cut*)l->cuts.data + l->cuts.count - 1;
    // The index is kept in 16 bits: a larger one would wrap onto another source.
    int32_t source = trunc_i32(r->values[0]);
    if (source < 0 || source > 0xFFFF)
        return false;
    cut->source = (uint16_t)source;
    cut->w = float_of(r->values[1]);
    cut->h = float_of(r->values[2]);
    cut->source_x = float_of(r->values[3]);
    cut->source_y = float_of(r->values[4]);
    cut->dest_x = float_of(r->values[5]);
    cut->dest_y = float_of(r->values[6]);
    return true;
}

// The element callback: the next state, or -1 for anything the document may not hold here.
static int element_step(cutmap_reader* r, const char* name)
{
    switch (r->state) {
    case CUTMAP_OUTSIDE:
        return !strcasecmp(name, "cutmap") && r->cutmaps == 0 ? CUTMAP_ROOT : -1;
    case CUTMAP_ROOT:
        if (!strcasecmp(name, "/cutmap")) {
            r->cutmaps++;
            return CUTMAP_OUTSIDE;
        }
        return !strcasecmp(name, "layer") && open_layer(r) ? CUTMAP_LAYER : -1;
    case CUTMAP_LAYER:
        if (!strcasecmp(name, "/layer"))
            return CUTMAP_ROOT;
        return !strcasecmp(name, "source") && open_source(r) ? CUTMAP_SOURCE : -1;
    case CUTMAP_SOURCE:
        if (!strcasecmp(name, "/source"))
            return CUTMAP_LAYER;
        return !strcasecmp(name, "c") && open_cut(r) ? CUTMAP_C : -1;
    case CUTMAP_C:
        return !strcasecmp(name, "/c") && close_cut(r) ? CUTMAP_SOURCE : -1;
    }
    return -1;
}

static void on_element(xml_scan_ctx* x)
{
    cutmap_reader* r = (cutmap_reader*)x->user;
    int next = element_step(r, x->token);
    if (next < 0)
        reader_fail(x);
    else
        r->state = next;
}

static void on_attribute_name(xml_scan_ctx* x)
{
    cutmap_reader* r = (cutmap_reader*)x->user;
    snprintf(r->attribute, sizeof(r->attribute), "%s", x->token);
}

static void on_attribute_value(xml_scan_ctx* x)
{
    cutmap_reader* r = (cutmap_reader*)x->user;
    const char* a = r->attribute;
    if (r->state == CUTMAP_ROOT) {
        if (!strcasecmp(a, "version")) {
            if (number_of(x->token) == 1.0)
                return;
        } else if (!strcasecmp(a, "w")) {
            r->w = trunc_i32(number_of(x->token));
            return;
        } else if (!strcasecmp(a, "h")) {
            r->h = trunc_i32(number_of(x->token));
            return;
        } else if (!strcasecmp(a, "d")) {
            r->d = trunc_i32(number_of(x->token));
            return;
        }
    } else if (r->state == CUTMAP_SOURCE && !strcasecmp(a, "name")) {
        cmps_layer* l = current_layer(r);
        cmps_source_load((cmps_source*)l->sources.data + l->sources.count - 1, x->token);
        return;
    }
    reader_fail(x);
}

static void on_text(xml_scan_ctx* x)
{
    cutmap_reader* r = (cutmap_reader*)x->user;
    if (r->state == CUTMAP_C && r->numbers < 7)
        r->values[r->numbers++] = number_of(x->token);
    else
        reader_fail(x);
}

bool cutmap_load(gfx_cmps* c, const char* file)
{
    files_buffer b;
    if (!files_buffer_setup(&b, file, false, 0, 1))
        return false;
    if (b.size > INT32_MAX) {
        files_buffer_clean(&b);
        return false;
    }
    // Large, and used only here: off the stack.
    cutmap_reader* r = (cutmap_reader*)mem_alloc(sizeof(cutmap_reader));
    if (!r) {
        files_buffer_clean(&b);
        return false;
    }
    r->map = c;
    r->text = b.data ? (const char*)b.data : "";
    xml_scan_ctx x;
    memset(&x, 0, sizeof(x));
    x.buffer = r->text;
    x.length = b.data ? (int32_t)b.size : 0;
    x.width = 1;
    x.token = r->token;
    x.token_capacity = (int32_t)sizeof(r->token) - 3;
    x.on_element = on_element;
    x.on_attribute_name = on_attribute_name;
    x.on_attribute_value = on_attribute_value;
    x.on_text = on_text;
    x.user = r;
    xml_scan(&x);
    // Markup the scanner cannot read (a stray character, a '<' inside a value) is an error too.
    if (!r->error && x.state < 0)
        reader_fail(&x);
    bool ok = !r->error;
    if (!ok)
        dbg_error("Faild to parse xml file \"%s\"\n../../../vizavev/%s(%d) :  xml error\n", file, file, r->line);
    mem_free(r);
    files_buffer_clean(&b);
    if (ok)
        for (int32_t i = 0; i < c->layers.count; i++)
            cmps_layer_build_texture(gfx_cmps_layer(c, i));
    return ok;
}

// ---- Lua library -----------------------------------------------------------------------

static void* cmps_make(gfx* root, const char* name) { return cmps_alloc(&root->cmps_pool, 0, 0, 0, name); }
static void cmps_set_holder(void* record, void** word) { ((gfx_cmps*)record)->holder = word; }
static void cmps_release(void* record) { gfx_cmps_free((gfx_cmps*)record); }

static const owned_lib_kind CMPS_KIND = {"cmps", "gfx_cmps*ptr", "gfx_cmps", cmps_make, cmps_set_holder, cmps_release};

static int cmps_gc(lua_State* L) { return owned_lib_gc(L, &CMPS_KIND); }

int cmps_lua_setup(lua_State* L)
{
    gfx* root = (gfx*)lua_touserdata(L, 1);
    owned_lib_setup(L, &CMPS_KIND, root ? root : &GFX, cmps_gc);
    return 0;
}

void cmps_lua_clean(lua_State* L) { lua_lib_unregister(L, "cmps"); }
