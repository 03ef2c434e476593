// Gizmo kinds: the five tables of width, height, update and draw. Buttons take clicks
// (press, release inside, group selection, menu handler, queued Lua string), handles are
// dragged inside their parent and write their fractions, gfx gizmos fill their rectangle,
// text gizmos measure, wrap and draw their text.
//
// Sections: tables; buttons; handles; gfx; text.

#include <cmath>

#include "app/code/con.h"
#include "app/code/hud/hud.h"
#include "app/code/input.h"

// ---- Tables -------------------------------------------------------------------------------

static float zero_inset(hudgizmo*) { return 0.0f; }
static float button_inset(hudgizmo*) { return 4.0f; }

const hudgizmo_kind hudgizmo_kind_base = {zero_inset, zero_inset, nullptr, nullptr};
const hudgizmo_kind hudgizmo_kind_button = {button_inset, button_inset, hudgizmo_button_update,
                                            hudgizmo_button_draw};
const hudgizmo_kind hudgizmo_kind_gfx = {zero_inset, zero_inset, nullptr, hudgizmo_gfx_draw};
const hudgizmo_kind hudgizmo_kind_handle = {hudgizmo_face_width, hudgizmo_face_height, hudgizmo_handle_update,
                                            hudgizmo_handle_draw};
const hudgizmo_kind hudgizmo_kind_text = {hudgizmo_text_width, hudgizmo_text_height, nullptr, hudgizmo_text_draw};

// ---- Buttons ------------------------------------------------------------------------------

// The last column and row of the rectangle are outside.
bool hudgizmo_button_hit(const hudgizmo* g, float px, float py)
{
    return g->x <= px && px < g->x + g->w - 1.0f && g->y <= py && py < g->y + g->h - 1.0f;
}

static bool pointer_on(const hudgizmo* g) { return hudgizmo_button_hit(g, HUD.pointer.x, HUD.pointer.y); }

static void consume(input_button* b)
{
    b->pressed = 0;
    b->released = 0;
}

// Down and up within one frame. A release with the button held again belongs to an
// earlier press.
static bool released_with_press(const input_button* b) { return b->pressed && b->released && !b->held; }

// g becomes the selected member of its ring, showing its target and hiding the others'.
static void select_in_ring(hudgizmo* g)
{
    if (!g->group_next)
        return;
    hudgizmo* m = g;
    do {
        if (m->flags & HUDGIZMO_SELECTED) {
            m->flags &= ~HUDGIZMO_SELECTED;
            if (m->target)
                m->target->flags |= HUDGIZMO_HIDDEN;
        }
        m = m->group_next;
    } while (m && m != g);
    g->flags |= HUDGIZMO_SELECTED;
    if (g->target)
        g->target->flags &= ~HUDGIZMO_HIDDEN;
}

static void call_handler(menu_def* record, hudgizmo* g, int32_t event)
{
    if (record && record->handler)
        record->handler(record, g, event, 0);
}

// The handler may run Lua that rebuilds the menu and frees g, so its script text is taken
// first; the text lives in the HUD's script pool, which outlives every gizmo. (The update
// holds the HUD, so g's record itself stays readable until the update ends.)
static void click(hudgizmo* g)
{
    const char* lua = g->lua;
    select_in_ring(g);
    call_handler(g->record, g, 1);
    if (lua)
        con_thread_string(&CON, lua);
}

void hudgizmo_button_update(hudgizmo* g)
{
    input_button* b = &INPUT.click;
    if (pointer_on(g)) {
        if (HUD.pressed != g && b->pressed) {
            HUD.pressed = g;
            // A press whose release came in the same frame (the button is up again) completes
            // the click now; otherwise the release would be consumed with the press and lost.
            if (!released_with_press(b)) {
                consume(b);
                return;
            }
            b->pressed = 0;
        }
        if (HUD.pressed == g && b->released)
            click(g);
    }
    if (HUD.pressed == g && b->released) {
        consume(b);
        HUD.pressed = nullptr;
    }
}

void hudgizmo_button_draw(hudgizmo* g)
{
    bool on = pointer_on(g);
    bool down = (g->flags & HUDGIZMO_SELECTED) || (HUD.pressed == g && on);
    hudgizmo_face_draw(g, (on ? HUDGIZMO_FACE_HOVER : 0) | (down ? HUDGIZMO_FACE_DOWN : 0));
}

// ---- Handles ------------------------------------------------------------------------------

// Holds g inside p; when g is larger than p the right and bottom edges win.
static void clamp_to_parent(hudgizmo* g, const hudgizmo* p)
{
    if (g->x < p->x)
        g->x = p->x;
    if (g->y < p->y)
        g->y = p->y;
    if (g->x + g->w > p->x + p->w)
        g->x = p->x + p->w - g->w;
    if (g->y + g->h > p->y + p->h)
        g->y = p->y + p->h - g->h;
}

static float fraction(float pos, float start, float room) { return room > 0.0f ? (pos - start) / room : 0.0f; }

static void call_handle_handlers(hudgizmo* g, int32_t event)
{
    call_handler(g->record, g, event);
    call_handler(g->handle_x_record, g, event);
    call_handler(g->handle_y_record, g, event);
}

static void drag(hudgizmo* g, bool released)
{
    hudgizmo* p = g->parent;
    g->x = HUD.pointer.x - HUD.grab_x;
    g->y = HUD.pointer.y - HUD.grab_y;
    if (p) {
        clamp_to_parent(g, p);
        if (g->handle_x_record)
            g->handle_x_record->value = fraction(g->x, p->x, p->w - g->w);
        if (g->handle_y_record)
            g->handle_y_record->value = fraction(g->y, p->y, p->h - g->h);
    }
    if (released) {
        consume(&INPUT.click);
        HUD.pressed = nullptr;
        call_handle_handlers(g, 1);
    } else {
        call_handle_handlers(g, 2);
    }
}

void hudgizmo_handle_update(hudgizmo* g)
{
    input_button* b = &INPUT.click;
    if (HUD.pressed == g) {
        drag(g, b->released != 0);
        return;
    }
    if (hudgizmo* p = g->parent) {
        if (g->handle_x_record)
            g->x = (p->w - g->w) * g->handle_x_record->value + p->x;
        if (g->handle_y_record)
            g->y = (p->h - g->h) * g->handle_y_record->value + p->y;
        clamp_to_parent(g, p);
    }
    float px = HUD.pointer.x, py = HUD.pointer.y;
    bool inside = g->x <= px && px < g->x + g->w && g->y <= py && py < g->y + g->h;
    if (!inside || !b->pressed)
        return;
    bool released = released_with_press(b); // the drag ends at once
    consume(b);
    HUD.grab_x = px - g->x;
    HUD.grab_y = py - g->y;
    HUD.pressed = g;
    if (released)
        drag(g, true);
}

void hudgizmo_handle_draw(hudgizmo* g)
{
    bool down = (g->flags & HUDGIZMO_SELECTED) || HUD.pressed == g;
    hudgizmo_face_draw(g, (pointer_on(g) ? HUDGIZMO_FACE_HOVER : 0) | (down ? HUDGIZMO_FACE_DOWN : 0));
}

// ---- Gfx ----------------------------------------------------------------------------------

void hudgizmo_gfx_draw(hudgizmo* g)
{
    uint32_t c = g->colour;
    hud_gfx->draw2d_quad(g->x, g->y, g->x + g->w - 1.0f, g->y + g->h - 1.0f, c, c, c, c);
}

// ---- Text ---------------------------------------------------------------------------------

static const float SPACE = 8.0f;  // S: the space width of the text style
static const float LINE = 32.0f;  // H: the size, used as the line height

enum text_use { TEXT_MEASURE, TEXT_DRAW_WRAPPED, TEXT_DRAW_LINE };

static const char* text_of(const hudgizmo* g) { return g->text ? g->text : ""; }

static void set_style(hudgizmo* g, text_use use)
{
    float spacing = use == TEXT_DRAW_LINE ? 0.0f : 1.0f;
    if (g->text_font && g->text_font == hud_font_outline(&HUD))
        spacing = -2.0f;
    hud_gfx->font_select(HUD.root, g->text_font);
    hud_gfx->font_set_style(HUD.root, SPACE, LINE, spacing, g->colour, g->colour);
}

float hudgizmo_text_width(hudgizmo* g)
{
    set_style(g, TEXT_MEASURE);
    const char* text = text_of(g);
    if (g->aspect == 0.0f)
        return hud_gfx->font_text_width(HUD.root, text) + 2.0f * SPACE;
    float sum = 0.0f, widest = 0.0f, ww;
    while ((ww = hud_gfx->font_word_width(HUD.root, &text)) != 0.0f) {
        if (ww < 0.0f)
            continue; // a line break adds nothing
        sum += ww + SPACE;
        widest = fmaxf(widest, ww);
    }
    if (sum > 0.0f)
        sum -= SPACE;
    // The width at which the text fills a block of about aspect = width / height.
    float wrap = floorf(sqrtf(sum * LINE / g->aspect) * g->aspect);
    float r = wrap < sum ? wrap : sum;
    if (r < widest)
        r = widest;
    return r + 2.0f * SPACE;
}

float hudgizmo_text_height(hudgizmo* g)
{
    if (g->aspect == 0.0f)
        return LINE;
    float wrap = hudgizmo_text_width(g);
    const char* text = text_of(g);
    float y = LINE, line = 0.0f, ww;
    while ((ww = hud_gfx->font_word_width(HUD.root, &text)) != 0.0f) {
        if (ww < 0.0f) {
            y += LINE;
            line = 0.0f;
        } else if (ww + line <= wrap) {
            line += ww + SPACE;
        } else {
            y += LINE;
            line = ww + SPACE;
        }
    }
    return line == 0.0f ? y - LINE : y;
}

// One line of wrapped text: the words that fit from the cursor.
struct text_line {
    int32_t count;     // words that fit
    float width;       // their widths plus one space each
    bool broken;       // ended by a line break
    const char* next;  // where the next line starts
};

static text_line next_line(const char* cursor, float wrap)
{
    text_line l = {0, 0.0f, false, cursor};
    const char* p = cursor;
    for (;;) {
        const char* q = p;
        float ww = hud_gfx->font_word_width(HUD.root, &q);
        if (ww == 0.0f)
            break;
        if (ww < 0.0f) {
            l.broken = true;
            l.next = q;
            break;
        }
        // The wrap width is never below the widest word, but a line always takes one word
        // so that the walk moves on whatever the font reports.
        if (ww + l.width > wrap && l.count > 0)
            break;
        l.count++;
        l.width += ww + SPACE;
        p = q;
        l.next = q;
    }
    return l;
}

static void draw_line(hudgizmo* g, const char* cursor, const text_line* l, float wrap, float pen_y)
{
    float gap = SPACE, offset;
    uint32_t align = g->flags & HUDGIZMO_STRETCH_X;
    float used = l->width - SPACE;
    if (align == HUDGIZMO_STRETCH_X) {
        offset = 0.0f;
        if (l->count > 1 && !l->broken)
            gap = (wrap - (l->width - l->count * SPACE)) / (float)(l->count - 1);
    } else if (align == HUDGIZMO_ALIGN_RIGHT) {
        offset = wrap - used;
    } else if (align == HUDGIZMO_ALIGN_LEFT) {
        offset = 0.0f;
    } else {
        offset = (wrap - used) * 0.5f;
    }
    hud_gfx->font_set_pos(HUD.root, g->x + offset, pen_y);
    for (int32_t i = 0; i < l->count; i++) {
        hud_gfx->font_draw_word(HUD.root, &cursor);
        hud_gfx->font_move_x(HUD.root, gap);
    }
}

void hudgizmo_text_draw(hudgizmo* g)
{
    const char* text = text_of(g);
    if (g->aspect == 0.0f) {
        float w = hudgizmo_text_width(g), h = hudgizmo_text_height(g);
        set_style(g, TEXT_DRAW_LINE);
        hud_gfx->font_set_pos(HUD.root, g->x + (g->w - w) * 0.5f + SPACE, g->y + (g->h - h) * 0.5f);
        hud_gfx->font_draw_text(HUD.root, text);
        return;
    }
    float wrap = hudgizmo_text_width(g); // leaves the measuring style, which wrapped drawing uses
    float pen_y = g->y;
    for (;;) {
        text_line l = next_line(text, wrap);
        if (l.count == 0 && !l.broken)
            break; // the end of the text
        if (l.count > 0)
            draw_line(g, text, &l, wrap, pen_y);
        text = l.next;
        pen_y += LINE;
    }
}
