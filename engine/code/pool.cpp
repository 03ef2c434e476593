// Lists, pools, growable arrays and byte copy/fill on the tracked heap.

#include "engine/code/pool.h"

#include <cstdint>
#include <cstring>

#include "engine/code/mem.h"

void list_setup(list* l)
{
    l->head.next = &l->tail;
    l->head.previous = nullptr;
    l->tail.next = nullptr;
    l->tail.previous = &l->head;
}

list_node* list_insert(list_node* after, list_node* node, list_node* before)
{
    if (after) {
        before = after->next;
    } else {
        after = before->previous;
    }
    node->next = before;
    node->previous = after;
    if (after)
        after->next = node;
    if (before)
        before->previous = node;
    return node;
}

void list_unlink(list_node* node)
{
    if (node->next)
        node->next->previous = node->previous;
    if (node->previous)
        node->previous->next = node->next;
    node->next = nullptr;
    node->previous = nullptr;
}

void list_setup_array(list* l, void* array, uint32_t record_size, int32_t count)
{
    list_setup(l);
    if (count <= 0)
        return;
    memset(array, 0, (size_t)record_size * (size_t)count);
    char* p = (char*)array;
    for (int32_t i = 0; i < count; i++, p += record_size)
        list_append(l, (list_node*)p);
}

bool pool_setup(pool* p, uint32_t record_size, int32_t per_chunk)
{
    list_setup(&p->live);
    list_setup(&p->chunks);
    list_setup(&p->free);
    p->record_size = record_size;
    p->per_chunk = per_chunk;
    return true;
}

// Chunks go back last allocated first. The lists are made empty again so a use after
// clean shows an empty pool rather than freed memory.
void pool_clean(pool* p)
{
    if (p->chunks.head.next) {
        list_node* n = list_last(&p->chunks);
        while (n->previous) {
            list_node* prev = n->previous;
            mem_free(n);
            n = prev;
        }
    }
    list_setup(&p->live);
    list_setup(&p->chunks);
    list_setup(&p->free);
}

void pool_reset(pool* p)
{
    uint32_t size = p->record_size;
    int32_t per = p->per_chunk;
    pool_clean(p);
    pool_setup(p, size, per);
}

void* pool_grow(pool* p)
{
    size_t records = p->per_chunk > 0 ? (size_t)p->per_chunk : 0;
    char* chunk = (char*)mem_alloc(sizeof(list_node) + records * p->record_size);
    if (!chunk)
        return nullptr;
    list_append(&p->chunks, (list_node*)chunk);
    char* rec = chunk + sizeof(list_node);
    for (size_t i = 0; i < records; i++, rec += p->record_size)
        list_append(&p->free, (list_node*)rec);
    return chunk;
}

void* pool_alloc(pool* p)
{
    if (list_empty(&p->free) && !pool_grow(p))
        return nullptr;
    if (list_empty(&p->free))
        return nullptr;
    list_node* n = list_first(&p->free);
    list_unlink(n);
    memset(n, 0, p->record_size);
    return n;
}

void pool_free(pool* p, void* record)
{
    list_insert(&p->free.head, (list_node*)record, nullptr);
}

bool grow_array_setup(grow_array* a, uint32_t element_size, int32_t granule, int32_t initial_capacity)
{
    memset(a, 0, sizeof(*a));
    a->element_size = element_size;
    a->granule = granule;
    if (initial_capacity != 0) {
        void* data = mem_alloc((size_t)element_size * (size_t)initial_capacity);
        if (!data) {
            memset(a, 0, sizeof(*a));
            return false;
        }
        a->data = data;
        a->capacity = initial_capacity;
    }
    return true;
}

void grow_array_clean(grow_array* a)
{
    if (a->data)
        mem_free(a->data);
    memset(a, 0, sizeof(*a));
}

// Sizes are worked in 64 bits: a capacity that would not fit the signed 32-bit count is
// refused, leaving the array as it was, instead of wrapping to a small or negative size.
bool grow_array_expand(grow_array* a, int32_t n)
{
    int64_t g = a->granule;
    int64_t cap = ((int64_t)a->capacity + n + g - 1) / g * g;
    if (cap > INT32_MAX || cap < 0)
        return false;
    void* data = mem_realloc(a->data, (size_t)cap * a->element_size);
    if (!data)
        return false;
    if (cap > a->capacity)
        memset((char*)data + (size_t)a->capacity * a->element_size, 0,
               (size_t)(cap - a->capacity) * a->element_size);
    a->data = data;
    a->capacity = cap;
    return true;
}

void* grow_array_alloc(grow_array* a, int32_t n)
{
    int64_t need = (int64_t)a->count + n; // a growth past the signed limit is refused by the expand
    if (need > a->capacity && !grow_array_expand(a, (int32_t)(need - a->capacity)))
        return nullptr;
    void* p = (char*)a->data + (size_t)a->count * a->element_size;
    a->count += n;
    return p;
}

void mem_copy(const void* source, void* destination, size_t n)
{
    if (n)
        memcpy(destination, source, n);
}

void mem_fill(int value, void* destination, size_t n)
{
    if (n)
        memset(destination, value, n);
}
