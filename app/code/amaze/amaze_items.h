// The maze's items: pooled records with a type, a place on the map, optional mesh, avatar
// and speech bubble, and a Lua mind and body.
#pragma once
#include <cstdint>
#include "engine/code/maths.h"
#include "engine/code/pool.h"

struct amaze;
struct amazeitem;
struct xox_mesh;
struct xsx_anim;
struct avatar;
struct bub;

struct amaze_item_type {
    bool (*setup)(amazeitem* item);
    bool (*reset)(amazeitem* item);
    void (*clean)(amazeitem* item);
    void (*update)(amazeitem* item, uint32_t phase);
    void (*draw)(amazeitem* item);
    void* end;
};

struct amaze_items;

struct amazeitem {
    list_node links;
    amazeitem** cell_slot;
    amazeitem* cell_next;
    amazeitem* cell_prev;
    amaze_items* owner;
    amazeitem** lua_slot;
    amazeitem** list_slot;
    const amaze_item_type* type;
    void* data;
    int32_t serial;
    int32_t score_init;
    int32_t score;
    uint32_t body_flags;
    uint32_t mind_flags;
    float yaw;
    float yaw_from, yaw_delta;
    float turn_t;
    float turn_rate;
    motion mind;
    motion body;
    int32_t cell_x, cell_y;
    uint8_t solid;
    xox_mesh* xox;
    xsx_anim* anim;
    struct avatar* avatar;
    struct bub* bub;
};

struct amaze_items {
    amaze* owner;
    pool items;
    uint32_t serial;
    amazeitem** cells;
};
