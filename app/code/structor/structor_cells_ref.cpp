// The cell step as first written: five plain passes over the records, kept unchanged as the
// reference that the program's step must match bit for bit (and is measured against). Built
// into the tests and the benchmark only.

#include "app/code/structor/structor_cells_ref.h"

#include "engine/code/dbg.h"
#include "engine/code/timer.h"

enum { CELLS_SOURCE_COLUMN = 8, CELLS_SOURCE_ROW = 8, CELLS_SOURCE_AMOUNT = 64 };

static structor_cell* at(structor_cell* a, const structor_cells* c, int32_t column, int32_t row)
{
    return &a[row * c->w + column];
}

static void push(structor_cells* c)
{
    structor_cell* g = c->working;
    for (int32_t r = 3; r <= c->h - 4; r++)
        for (int32_t col = 3; col <= c->w - 4; col++) {
            structor_cell* cell = at(g, c, col, r);
            cell->move_x = 0;
            cell->move_y = 0;
            if (cell->solid)
                continue;
            float a = (float)cell->amount;
            structor_cell* above = at(g, c, col, r - 1);
            structor_cell* below = at(g, c, col, r + 1);
            structor_cell* left = at(g, c, col - 1, r);
            structor_cell* right = at(g, c, col + 1, r);
            if (!above->solid)
                above->flow_y -= a;
            if (!below->solid)
                cell->flow_y += a + 1.0f;
            if (!left->solid)
                left->flow_x -= a;
            if (!right->solid)
                cell->flow_x += a;
        }
}

// One axis of a cell's move: toward the side with the stronger flow, by that flow, when that
// side is open and `may`; left as it is otherwise.
static void axis_move(int32_t* move, float pos, float neg, bool pos_open, bool neg_open, bool may)
{
    if (!may)
        return;
    if (pos >= neg) {
        if (pos > 0.0f && pos_open)
            *move = (int32_t)pos;
    } else if (neg_open) {
        *move = -(int32_t)neg;
    }
}

static void decide(structor_cells* c)
{
    structor_cell* g = c->working;
    for (int32_t r = 3; r <= c->h - 4; r++)
        for (int32_t col = 3; col <= c->w - 4; col++) {
            structor_cell* cell = at(g, c, col, r);
            if (cell->solid)
                continue;
            int32_t a = cell->amount;
            structor_cell* above = at(g, c, col, r - 1);
            structor_cell* below = at(g, c, col, r + 1);
            structor_cell* left_cell = at(g, c, col - 1, r);
            structor_cell* right_cell = at(g, c, col + 1, r);
            float up = -above->flow_y, down = cell->flow_y, left = -left_cell->flow_x, right = cell->flow_x;
            if (up < 1.0f) up = 0.0f;
            if (down < 1.0f) down = 0.0f;
            if (left < 1.0f) left = 0.0f;
            if (right < 1.0f) right = 0.0f;
            if (up > down) down = 0.0f; else up = 0.0f;
            if (left > right) right = 0.0f; else left = 0.0f;
            float cap = (float)((a + 3) >> 2);
            if (up > cap) up = cap;
            if (down > cap) down = cap;
            if (left > cap) left = cap;
            if (right > cap) right = cap;
            // The stronger axis moves whatever the cell holds, the other only from two up.
            bool across = left + right > up + down;
            axis_move(&cell->move_x, right, left, !right_cell->solid, !left_cell->solid, across ? a != 0 : a >= 2);
            axis_move(&cell->move_y, down, up, !below->solid, !above->solid, across ? a >= 2 : a != 0);
        }
}

static void shift(structor_cell* from, structor_cell* to, int32_t n)
{
    to->amount = (uint16_t)(to->amount + n);
    from->amount = (uint16_t)(from->amount - n);
}

static void move(structor_cells* c)
{
    structor_cell* g = c->working;
    for (int32_t r = 3; r <= c->h - 4; r++)
        for (int32_t col = 3; col <= c->w - 4; col++) {
            structor_cell* cell = at(g, c, col, r);
            if (cell->solid)
                continue;
            int32_t m = cell->move_y, n = cell->move_x;
            float fm = 0.75f * (float)m, fn = 0.75f * (float)n;
            if (m <= 0) {
                shift(cell, at(g, c, col, r - 1), -m);
                at(g, c, col, r - 1)->flow_y += fm;
                at(g, c, col, r - 2)->flow_y += fm;
                if (n > 0)
                    at(g, c, col, r - 2)->flow_x += fn;
                else if (n < 0)
                    at(g, c, col - 1, r - 2)->flow_x += fn;
            } else {
                shift(cell, at(g, c, col, r + 1), m);
                cell->flow_y += fm;
                at(g, c, col, r + 1)->flow_y += fm;
                if (n > 0)
                    at(g, c, col, r + 1)->flow_x += fn;
                else if (n < 0)
                    at(g, c, col - 1, r + 1)->flow_x += fn;
            }
            if (n <= 0) {
                shift(cell, at(g, c, col - 1, r), -n);
                at(g, c, col - 1, r)->flow_x += fn;
                at(g, c, col - 2, r)->flow_x += fn;
                if (m > 0)
                    at(g, c, col - 1, r)->flow_y += fm;
                else if (m < 0)
                    at(g, c, col - 1, r - 1)->flow_y += fm;
            } else {
                shift(cell, at(g, c, col + 1, r), n);
                cell->flow_x += fn;
                at(g, c, col + 1, r)->flow_x += fn;
                if (m > 0)
                    at(g, c, col + 1, r)->flow_y += fm;
                else if (m < 0)
                    at(g, c, col + 1, r - 1)->flow_y += fm;
            }
        }
}

static void blur(structor_cells* c)
{
    structor_cell* g = c->working;
    float k = 1.0f / (c->blur_base + 12.0f);
    for (int32_t r = 1; r <= c->h - 2; r++)
        for (int32_t col = 1; col <= c->w - 2; col++) {
            float sx = 0.0f, sy = 0.0f;
            for (int32_t dr = -1; dr <= 1; dr++)
                for (int32_t dc = -1; dc <= 1; dc++) {
                    const structor_cell* n = at(g, c, col + dc, r + dr);
                    sx += n->flow_x;
                    sy += n->flow_y;
                }
            structor_cell* cell = at(g, c, col, r);
            cell->next_x = sx * k;
            cell->next_y = sy * k;
        }
}

static void copy_flows(structor_cells* c)
{
    for (int32_t r = 1; r <= c->h - 2; r++)
        for (int32_t col = 1; col <= c->w - 2; col++) {
            structor_cell* cell = at(c->working, c, col, r);
            cell->flow_x = cell->next_x;
            cell->flow_y = cell->next_y;
        }
}

void structor_cells_step_ref(structor_cells* c)
{
    if (!c->working || c->w <= CELLS_SOURCE_COLUMN + 4 || c->h <= CELLS_SOURCE_ROW + 4)
        return;
    structor_cell* source = at(c->working, c, CELLS_SOURCE_COLUMN, CELLS_SOURCE_ROW);
    source->solid = 0;
    source->amount = CELLS_SOURCE_AMOUNT;
    c->steps++;

    // CELL2 has no phase of its own and shows 0.
    timer t[6];
    for (timer& one : t)
        timer_setup(&one);
    void (*phases[6])(structor_cells*) = {push, NULL, decide, move, blur, copy_flows};
    for (int i = 0; i < 6; i++) {
        if (!phases[i])
            continue;
        timer_start(&t[i]);
        phases[i](c);
        timer_stop(&t[i]);
    }
    dbg_status("CELL1=%3d CELL2=%3d CELL3=%3d CELL4=%3d CELL5=%3d CELL6=%3d\n", t[0].last, t[1].last, t[2].last,
               t[3].last, t[4].last, t[5].last);
    for (timer& one : t)
        timer_clean(&one);
}
