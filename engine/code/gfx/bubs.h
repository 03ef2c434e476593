// Speech bubbles (GFX.Bubs): short texts in white translucent balloons with a tail, each
// following a screen point the game moves every frame, kept clear of one another, living
// for a time that grows with the text and then fading out.
#pragma once

#include <cstdint>

#include "engine/code/pool.h"

struct gfx;
struct bubs;

enum : uint32_t {
    BUB_SEPARATE = 0x1, // pushed apart from other bubbles
    BUB_MOVE = 0x2,     // moves by its gathered push
    BUB_VISIBLE = 0x4,
    BUB_LIFE = 0x8,     // has a life and fades
};

// One bubble (pooled, zero-filled when handed out: invisible, no flags).
struct bub {
    list_node link;
    bubs* owner;
    float x, y;             // top left, screen pixels
    float width, height;    // text width + 8, 40
    float anchor_x, anchor_y; // the point the bubble belongs to; the user writes it each frame
    float push_x, push_y;   // movement gathered during one update
    float count;            // contributions to the push
    const char* text;       // the caller's string, not copied: it must outlive the display
    uint32_t flags;
    float alpha;            // 0..1
    float life;             // seconds before fading starts
};

struct bubs {
    gfx* root;
    pool records;           // bub, 16 a chunk; records.live holds every bubble in allocation order
    float frame_time;       // seconds of this frame, written by the user before bubs_update
};

bool bubs_setup(bubs* m, gfx* root); // always true
bool bubs_reset(bubs* m);
void bubs_clean(bubs* m);            // frees every bubble; safe after a failed setup and twice
bub* bub_alloc(bubs* m);             // null (logged) when no record can be had
void bub_free(bubs* m, bub* b);      // null ignored
// Stores the text (null is the empty text), measures it in Comic16 at size 32 (this selects
// that font and style as a side effect) and starts the bubble: visible, alive, opaque.
void bub_set_text(bub* b, const char* text);
void bubs_update(bubs* m);
void bubs_draw(bubs* m);

// The steps of one update and one draw, for a single bubble or pair.
void bub_follow_anchor(bub* b, float frame_time);
void bub_separate(bub* a, bub* b);
void bub_move(bub* b);
void bub_draw(gfx* root, bub* b);
// Draws the balloon of b from its x, y, width, height, anchor and alpha alone, so a record
// outside the pool may be given. It empties stage 0 first (the balloon is vertex colour only).
void bub_draw_balloon(const bub* b);
