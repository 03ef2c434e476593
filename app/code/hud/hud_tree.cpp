// Gizmo trees: linking a built tree to a state's menu records, the finds, and the four
// passes (measure, update, layout, draw). A container lays its shown children out on a grid
// whose column count comes from its limits or from the square root of the children's spans.
//
// Sections: linking and finds; grid walk; measure; layout; update and draw.

#include <cmath>
#include <cstring>
#include <algorithm>
#include <vector>

#include "app/code/hud/hud.h"

static bool shown(const hudgizmo* g) { return !(g->flags & HUDGIZMO_HIDDEN); }
static hudgizmo* first_child(hudgizmo* g) { return list_empty(&g->children) ? nullptr : (hudgizmo*)list_first(&g->children); }
static hudgizmo* next_sibling(hudgizmo* c) { return c->link.next->next ? (hudgizmo*)c->link.next : nullptr; }

static hudgizmo* first_shown(hudgizmo* g)
{
    hudgizmo* c = first_child(g);
    while (c && !shown(c))
        c = next_sibling(c);
    return c;
}

static hudgizmo* next_shown(hudgizmo* c)
{
    c = next_sibling(c);
    while (c && !shown(c))
        c = next_sibling(c);
    return c;
}

// ---- Linking and finds --------------------------------------------------------------------

hudgizmo* hudgizmo_find(hudgizmo* g, const char* name)
{
    if (!g || !name)
        return nullptr;
    if (g->name == name)
        return g;
    for (hudgizmo* c = first_child(g); c; c = next_sibling(c))
        if (hudgizmo* found = hudgizmo_find(c, name))
            return found;
    return nullptr;
}

hudgizmo* hudgizmo_find_shown(hudgizmo* g, const char* name)
{
    if (!g || !name)
        return nullptr;
    if (g->name == name)
        return g;
    for (hudgizmo* c = first_shown(g); c; c = next_shown(c))
        if (hudgizmo* found = hudgizmo_find(c, name))
            return found;
    return nullptr;
}

hudgizmo* hudgizmo_find_group(hudgizmo* g, const char* group_name)
{
    if (!g || !group_name)
        return nullptr;
    if (g->group_name == group_name)
        return g;
    for (hudgizmo* c = first_child(g); c; c = next_sibling(c))
        if (hudgizmo* found = hudgizmo_find_group(c, group_name))
            return found;
    return nullptr;
}

static bool same_name(const char* a, const char* b) { return a && b && strcmp(a, b) == 0; }

static void link_records(hudgizmo* g, menu_def* table)
{
    for (menu_def* r = table; r->name; r++) {
        if (same_name(g->name, r->name)) {
            r->gizmo = g;
            g->record = r;
        }
        if (g->data_kind != HUDGIZMO_DATA_HANDLE)
            continue;
        if (same_name(g->text, r->name)) {
            r->gizmo = g;
            g->handle_x_record = r;
        }
        if (same_name(g->handle_y_name, r->name)) {
            r->gizmo = g;
            g->handle_y_record = r;
        }
    }
}

void hudgizmo_link(hudgizmo* g, menu_def* table)
{
    hudgizmo* root = g->root ? g->root : g;
    if (g->group_name) {
        // Linking runs in tree order, so the anchor (the first member) is always linked first.
        hudgizmo* anchor = hudgizmo_find_group(root, g->group_name);
        if (anchor == g) {
            g->group_next = g;
        } else {
            g->group_next = anchor->group_next ? anchor->group_next : anchor;
            anchor->group_next = g;
        }
    }
    if (g->target_name)
        g->target = hudgizmo_find(root, g->target_name);
    for (hudgizmo* c = first_child(g); c; c = next_sibling(c))
        hudgizmo_link(c, table);
    if (table && table->name)
        link_records(g, table);
}

// ---- Grid walk ----------------------------------------------------------------------------

// The placement walk: a child takes the current column and row; the column counter then
// moves by its span width and wraps to the next row at the column count.
struct grid_walk {
    int64_t columns;
    int64_t column, row; // 64 bits: a column plus a script's span must not overflow
};

// Moves past c; true when its row ended there.
static bool walk_step(grid_walk* w, const hudgizmo* c)
{
    w->column += c->span_width;
    if (w->column < w->columns)
        return false;
    w->column = 0;
    w->row++;
    return true;
}

// The content width (widest row) and total height (sum of the rows' tallest) of g's shown
// children, from their measured sizes.
static void content_size(hudgizmo* g, float* width, float* height)
{
    grid_walk w = {g->columns, 0, 0};
    float row_width = 0.0f, row_height = 0.0f;
    bool open = false;
    *width = 0.0f;
    *height = 0.0f;
    for (hudgizmo* c = first_shown(g); c; c = next_shown(c)) {
        row_width += c->measured_width;
        row_height = fmaxf(row_height, c->measured_height);
        open = true;
        if (walk_step(&w, c)) {
            *height += row_height;
            *width = fmaxf(*width, row_width);
            row_width = row_height = 0.0f;
            open = false;
        }
    }
    if (open) {
        *height += row_height;
        *width = fmaxf(*width, row_width);
    }
}

// ---- Measure ------------------------------------------------------------------------------

// Columns K and rows R from the spans' sums SW, SH and the limits. Limits and spans come from
// scripts as given, so a negative limit or negative spans can make a count, or the argument
// of the square root, negative: that count or argument is held at 0; every other value is
// used as it is. (With no columns every child of span 0 or more ends its row, as with a
// negative count, and no column or row is equalised.)
static void choose_grid(hudgizmo* g, int64_t span_w, int64_t span_h)
{
    int64_t columns, rows;
    if (int64_t l = g->limit_wide) {
        columns = l < span_w ? l : span_w;
        rows = l < span_w ? (span_h + l - 1) / l : 1;
    } else if (int64_t l = g->limit_high) {
        rows = l < span_h ? l : span_h;
        columns = l < span_h ? (span_w + l - 1) / l : 1;
    } else {
        float half = (float)(span_w + span_h) * 0.5f;
        rows = (int64_t)sqrtf(half > 0.0f ? half : 0.0f);
        columns = rows ? (span_w + rows - 1) / rows : 0;
    }
    columns = columns < 0 ? 0 : columns;
    rows = rows < 0 ? 0 : rows;
    g->columns = (int32_t)(columns > INT32_MAX ? INT32_MAX : columns);
    g->rows = (int32_t)(rows > INT32_MAX ? INT32_MAX : rows);
}

// Every child starting in the same column takes the widest of their measured widths; every
// child of the same row (below the row count) the tallest of their heights. Rows are runs of
// the walk; columns are gathered by sorting, so a container of many children stays cheap.
static void equalise_cells(hudgizmo* g)
{
    struct cell {
        int64_t column;
        hudgizmo* child;
    };
    static std::vector<cell> cells; // scratch, reused: this never recurses
    cells.clear();
    grid_walk w = {g->columns, 0, 0};
    hudgizmo* row_start = first_shown(g);
    float tallest = 0.0f;
    for (hudgizmo* c = row_start; c;) {
        cells.push_back({w.column, c});
        tallest = fmaxf(tallest, c->measured_height);
        int64_t row = w.row;
        bool ended = walk_step(&w, c);
        hudgizmo* next = next_shown(c);
        if (ended || !next) {
            if (row < g->rows)
                for (hudgizmo* d = row_start; d != next; d = next_shown(d))
                    d->measured_height = tallest;
            row_start = next;
            tallest = 0.0f;
        }
        c = next;
    }
    std::stable_sort(cells.begin(), cells.end(), [](const cell& a, const cell& b) { return a.column < b.column; });
    for (size_t i = 0; i < cells.size();) {
        size_t end = i;
        float widest = 0.0f;
        while (end < cells.size() && cells[end].column == cells[i].column)
            widest = fmaxf(widest, cells[end++].child->measured_width);
        for (; i < end; i++)
            cells[i].child->measured_width = widest;
    }
}

void hudgizmo_measure(hudgizmo* g)
{
    if (g->data_kind == HUDGIZMO_DATA_TEXT) {
        g->measured_width = fmaxf(g->kind->width(g), g->min_width);
        g->measured_height = fmaxf(g->kind->height(g), g->min_height);
        return;
    }
    int64_t span_w = 0, span_h = 0;
    for (hudgizmo* c = first_shown(g); c; c = next_shown(c)) {
        hudgizmo_measure(c);
        span_w += c->span_width;
        span_h += c->span_height;
    }
    choose_grid(g, span_w, span_h);
    equalise_cells(g);
    float width, height;
    content_size(g, &width, &height);
    g->measured_width = fmaxf(g->kind->width(g) + width, g->min_width);
    g->measured_height = fmaxf(g->kind->height(g) + height, g->min_height);
}

// ---- Layout -------------------------------------------------------------------------------

// share of part in whole; 0 when the whole is empty (children that all measure 0).
static float share(float part, float whole) { return whole > 0.0f ? part / whole : 0.0f; }

// Cuts every shown child to its maxima, returning the cut amounts.
static void cut_to_max(hudgizmo* g, float* excess_x, float* excess_y)
{
    for (hudgizmo* c = first_shown(g); c; c = next_shown(c)) {
        if (c->w > c->max_width) {
            *excess_x += c->w - c->max_width;
            c->w = c->max_width;
        }
        if (c->h > c->max_height) {
            *excess_y += c->h - c->max_height;
            c->h = c->max_height;
        }
    }
}

static void size_children(hudgizmo* g, float width, float height)
{
    bool stretch_x = (g->flags & HUDGIZMO_STRETCH_X) == HUDGIZMO_STRETCH_X;
    bool stretch_y = (g->flags & HUDGIZMO_STRETCH_Y) == HUDGIZMO_STRETCH_Y;
    float room_x = g->w - g->kind->width(g), room_y = g->h - g->kind->height(g);
    for (hudgizmo* c = first_shown(g); c; c = next_shown(c)) {
        c->w = stretch_x ? room_x * share(c->measured_width, width) : c->measured_width;
        c->h = stretch_y ? room_y * share(c->measured_height, height) : c->measured_height;
    }
    float excess_x = 0.0f, excess_y = 0.0f;
    cut_to_max(g, &excess_x, &excess_y);
    // Each round pins the children that overflow or collects nothing, so the loop ends.
    while (excess_x + excess_y > 0.0f) {
        for (hudgizmo* c = first_shown(g); c; c = next_shown(c)) {
            if (stretch_x && c->w < c->max_width)
                c->w += excess_x * share(c->measured_width, width);
            if (stretch_y && c->h < c->max_height)
                c->h += excess_y * share(c->measured_height, height);
        }
        excess_x = excess_y = 0.0f;
        cut_to_max(g, &excess_x, &excess_y);
    }
}

// The offset of the content block inside g along one axis, by its two alignment bits.
static float align_offset(uint32_t flags, uint32_t low, uint32_t high, float room)
{
    uint32_t bits = flags & (low | high);
    if (bits == high)
        return room;
    if (bits == 0)
        return room * 0.5f;
    return 0.0f;
}

static void place_children(hudgizmo* g, float width, float height)
{
    float half_x = g->kind->width(g) * 0.5f, half_y = g->kind->height(g) * 0.5f;
    float off_x = g->w - width, off_y = g->h - height;
    off_x = align_offset(g->flags, HUDGIZMO_ALIGN_LEFT, HUDGIZMO_ALIGN_RIGHT, off_x);
    off_y = align_offset(g->flags, HUDGIZMO_ALIGN_TOP, HUDGIZMO_ALIGN_BOTTOM, off_y);
    grid_walk w = {g->columns, 0, 0};
    float x = half_x, y = half_y;
    for (hudgizmo* c = first_shown(g); c; c = next_shown(c)) {
        if (c->data_kind != HUDGIZMO_DATA_HANDLE) { // handles place themselves
            c->x = g->x + x + off_x;
            c->y = g->y + y + off_y;
        }
        x += c->w;
        if (walk_step(&w, c)) {
            x = half_x;
            y += c->h;
        }
    }
}

void hudgizmo_layout(hudgizmo* g)
{
    if (g->data_kind == HUDGIZMO_DATA_TEXT)
        return;
    float width, height;
    content_size(g, &width, &height);
    size_children(g, width, height);
    place_children(g, width, height);
    for (hudgizmo* c = first_shown(g); c; c = next_shown(c))
        hudgizmo_layout(c);
}

// ---- Update and draw ----------------------------------------------------------------------

void hudgizmo_update(hudgizmo* g)
{
    if (g->data_kind == HUDGIZMO_DATA_GFX)
        return;
    if (g->data_kind != HUDGIZMO_DATA_TEXT)
        for (hudgizmo* c = first_shown(g); c; c = next_shown(c))
            hudgizmo_update(c);
    if (g->kind->update)
        g->kind->update(g);
}

void hudgizmo_draw(hudgizmo* g)
{
    if (g->kind->draw)
        g->kind->draw(g);
    if (g->data_kind == HUDGIZMO_DATA_TEXT)
        return;
    for (hudgizmo* c = first_shown(g); c; c = next_shown(c))
        hudgizmo_draw(c);
}
