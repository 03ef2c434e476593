// Containers every subsystem keeps its records in: intrusive two-sentinel lists, pools of
// fixed-size zeroed records handed out from chunks, growable arrays, and byte copy/fill.
//
// Every pooled record is standard-layout with a list_node as its first member, so a record
// pointer and its node pointer convert to each other. Walk a list with
//     for (list_node* n = list_first(&l); n->next; n = n->next)   // forward
//     for (list_node* n = list_last(&l); n->previous; n = n->previous) // backward
// The tail sentinel is the one node whose next is null, the head sentinel the one whose
// previous is null, so both walks over an empty list visit nothing.
#pragma once

#include <cstddef>
#include <cstdint>

struct list_node {
    list_node* next;
    list_node* previous;
};

// Two real sentinel nodes: head {next = first, previous = null}, tail {next = null, previous = last}.
struct list {
    list_node head;
    list_node tail;
};

inline list_node* list_first(list* l) { return l->head.next; }
inline list_node* list_last(list* l) { return l->tail.previous; }
inline bool list_empty(const list* l) { return l->head.next == &l->tail; }

void list_setup(list* l);
// Links node after `after`; when after is null, links it before `before`. Returns node.
// Insert after &l->head to put a record first, after list_last(l) to append.
list_node* list_insert(list_node* after, list_node* node, list_node* before);
void list_unlink(list_node* node);
void list_setup_array(list* l, void* array, uint32_t record_size, int32_t count);
// Appends node at the end of l (the owners' usual link).
inline list_node* list_append(list* l, list_node* node) { return list_insert(l->tail.previous, node, nullptr); }

struct pool {
    list live;    // the owner's live records; the pool never touches it
    list chunks;  // every chunk, in allocation order
    list free;    // records ready to be handed out
    uint32_t record_size;
    int32_t per_chunk;
};

bool pool_setup(pool* p, uint32_t record_size, int32_t per_chunk);
void pool_reset(pool* p);
void pool_clean(pool* p);
void* pool_grow(pool* p);
void* pool_alloc(pool* p);          // zero-filled record, or NULL
void pool_free(pool* p, void* record); // caller has unlinked it; reused last-in first-out

struct grow_array {
    uint32_t element_size;
    int32_t granule;   // at least 1
    int32_t count;
    int32_t capacity;
    void* data;
};

bool grow_array_setup(grow_array* a, uint32_t element_size, int32_t granule, int32_t initial_capacity);
void grow_array_clean(grow_array* a);
bool grow_array_expand(grow_array* a, int32_t n);
void* grow_array_alloc(grow_array* a, int32_t n); // zeroed elements; invalid after the next growth

void mem_copy(const void* source, void* destination, size_t n); // source first; no overlap
void mem_fill(int value, void* destination, size_t n);          // value first
