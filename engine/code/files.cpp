// FILES: reads data files whole, validates their stored offsets against the payload, and
// resolves them for readers; also the whole-file buffer reader and the name splitter.
//
// Sections: loading, validation, accessors, whole-file buffer, name splitter.

#include "engine/code/files.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "engine/code/dbg.h"
#include "engine/code/mem.h"
#include "platform/plat_fs.h"

files FILES;

// ---- loading ---------------------------------------------------------------------------

bool files_setup(files* f)
{
    memset(f, 0, sizeof(*f));
    return pool_setup(&f->records, sizeof(files_data), 64);
}

static void files_release(files* f, files_data* d)
{
    if (d->data)
        mem_free(d->data);
    d->data = nullptr;
    d->payload = nullptr;
    list_unlink(&d->link);
    pool_free(&f->records, d);
}

void files_clean(files* f)
{
    if (f->records.live.head.next) {
        list_node* n = list_first(&f->records.live);
        while (n->next) {
            list_node* next = n->next;
            files_data* d = (files_data*)n;
            d->refs = 0;
            files_release(f, d);
            n = next;
        }
    }
    pool_clean(&f->records);
}

bool files_reset(files* f)
{
    files_clean(f);
    return files_setup(f);
}

void files_free(files* f, files_data* d)
{
    if (!d)
        return;
    if (--d->refs <= 0)
        files_release(f, d);
}

// Opens a regular file for reading and tells its size. On this platform a folder opens
// too, with a meaningless size, so only regular files are accepted. Windows-style '\\'
// separators in the path are read as '/'.
static FILE* files_open(const char* path, const char* mode, uint64_t* size)
{
    char p[4096];
    if (!plat_path(path, p, sizeof(p)))
        return nullptr;
    FILE* fp = fopen(p, mode);
    if (!fp)
        return nullptr;
    struct stat st;
    if (fstat(fileno(fp), &st) != 0 || !S_ISREG(st.st_mode)) {
        fclose(fp);
        return nullptr;
    }
    *size = (uint64_t)st.st_size;
    return fp;
}

// Why a whole data-file image is refused, or null when it is sound. A header that is not
// one of ours (too short, unknown magic, wrong version) is refused without a log line, as
// callers report their own failure to load; a body our reader would trip on is named on the
// log with the file, since the caller cannot tell a damaged file from a missing one.
static const char FILES_BAD_HEADER[] = "not a data file of this version";
static const char* files_refusal(const uint8_t* block, uint32_t size);

files_data* files_load(files* f, const char* path)
{
    files_data* d = (files_data*)pool_alloc(&f->records);
    if (!d)
        return nullptr;
    list_insert(&f->records.live.head, &d->link, nullptr);
    d->refs = 1;

    uint64_t size = 0;
    FILE* fp = files_open(path, "rb", &size);
    bool ok = fp && size >= FILES_HEADER_SIZE && size <= 0xFFFFFFFFu;
    if (ok) {
        d->data = (uint8_t*)mem_alloc((size_t)size);
        ok = d->data && fread(d->data, 1, (size_t)size, fp) == size;
    }
    if (fp)
        fclose(fp);
    if (ok) {
        const char* why = files_refusal(d->data, (uint32_t)size);
        if (why && why != FILES_BAD_HEADER)
            dbg_error("Refused data file %s: %s\n", path, why);
        ok = !why;
    }
    if (!ok) {
        files_free(f, d);
        return nullptr;
    }
    memcpy(&d->header, d->data, FILES_HEADER_SIZE);
    d->payload = d->data + FILES_HEADER_SIZE;
    d->payload_size = (uint32_t)size - FILES_HEADER_SIZE;
    return d;
}

// ---- validation ------------------------------------------------------------------------

// A payload being checked. Ranges are computed in 64 bits so no count can wrap them.
struct files_check {
    const uint8_t* p;
    uint32_t size;
};

static uint32_t chk_word(const files_check* c, uint32_t at) { return files_u32(c->p, at); }

// An array of count records of rec bytes at off: nothing to check when empty; otherwise
// the offset must be set and the whole array inside the payload.
static bool chk_array(const files_check* c, uint32_t off, uint64_t count, uint64_t rec)
{
    if (count == 0)
        return true;
    return off != 0 && (uint64_t)off + count * rec <= c->size;
}

static bool chk_xox(const files_check* c)
{
    uint32_t mats = chk_word(c, FILES_XOX_MATERIAL_COUNT), morphs = chk_word(c, FILES_XOX_MORPH_COUNT);
    uint32_t verts = chk_word(c, FILES_XOX_VERTEX_COUNT), idxs = chk_word(c, FILES_XOX_INDEX_COUNT);
    uint32_t mat_off = chk_word(c, FILES_XOX_MATERIALS), morph_off = chk_word(c, FILES_XOX_MORPHS);
    uint32_t vert_off = chk_word(c, FILES_XOX_VERTICES), idx_off = chk_word(c, FILES_XOX_INDICES);
    if (!chk_array(c, mat_off, mats, FILES_XOX_MATERIAL_SIZE) || !chk_array(c, morph_off, morphs, FILES_XOX_MORPH_SIZE) ||
        !chk_array(c, vert_off, verts, FILES_XOX_VERTEX_SIZE) || !chk_array(c, idx_off, idxs, 2))
        return false;

    for (uint32_t i = 0; i < idxs; i++)
        if (files_u16(c->p, idx_off + 2 * i) >= verts)
            return false;

    for (uint32_t m = 0; m < mats; m++) {
        const uint8_t* mat = c->p + mat_off + (uint64_t)m * FILES_XOX_MATERIAL_SIZE;
        uint32_t strips = files_u32(mat, FILES_XOX_MAT_STRIP_COUNT);
        uint32_t strip_off = files_u32(mat, FILES_XOX_MAT_STRIPS);
        if (!chk_array(c, strip_off, strips, 2))
            return false;
        uint64_t end = files_u32(mat, FILES_XOX_MAT_FIRST_INDEX);
        for (uint32_t s = 0; s < strips; s++)
            end += files_u16(c->p, strip_off + 2 * s);
        if (strips && end > idxs)
            return false;
    }

    for (uint32_t m = 0; m < morphs; m++) {
        const uint8_t* mo = c->p + morph_off + (uint64_t)m * FILES_XOX_MORPH_SIZE;
        uint32_t first = files_u32(mo, FILES_XOX_MORPH_FIRST), n = files_u32(mo, FILES_XOX_MORPH_VERTICES);
        if ((uint64_t)first + n > verts && n)
            return false;
        if (!chk_array(c, files_u32(mo, FILES_XOX_MORPH_DELTAS), n, FILES_XOX_DELTA_SIZE))
            return false;
    }
    return true;
}

// Index of the record of size rec that off names inside an array of count records at
// base, or -1 when off is not exactly such a record.
static int64_t chk_record_index(uint32_t off, uint32_t base, uint32_t count, uint32_t rec)
{
    if (off < base || (off - base) % rec != 0)
        return -1;
    uint64_t i = (off - base) / rec;
    return i < count ? (int64_t)i : -1;
}

// Parent chains must end at a root: a cycle would make every walk up the skeleton endless.
// Marks: 0 unvisited, 1 on the current chain, 2 known to reach a root.
static bool chk_xsx_parents(const files_check* c, uint32_t bones, uint32_t bone_off)
{
    uint8_t* mark = (uint8_t*)mem_alloc(bones ? bones : 1);
    if (!mark)
        return false;
    bool ok = true;
    for (uint32_t b = 0; b < bones && ok; b++) {
        int64_t i = b;
        while (i >= 0 && mark[i] == 0) {
            mark[i] = 1;
            uint32_t parent = files_u32(c->p + bone_off + (uint64_t)i * FILES_XSX_BONE_SIZE, FILES_XSX_BONE_PARENT);
            if (parent == 0) {
                i = -1;
                break;
            }
            i = chk_record_index(parent, bone_off, bones, FILES_XSX_BONE_SIZE);
            if (i < 0)
                ok = false;
        }
        if (i >= 0 && mark[i] == 1)
            ok = false;  // came back to the chain being walked
        for (int64_t j = b; j >= 0 && mark[j] == 1;) { // settle the chain just walked
            mark[j] = 2;
            uint32_t parent = files_u32(c->p + bone_off + (uint64_t)j * FILES_XSX_BONE_SIZE, FILES_XSX_BONE_PARENT);
            j = parent ? chk_record_index(parent, bone_off, bones, FILES_XSX_BONE_SIZE) : -1;
        }
    }
    mem_free(mark);
    return ok;
}

static bool chk_xsx(const files_check* c)
{
    uint32_t bones = chk_word(c, FILES_XSX_BONE_COUNT), tracks = chk_word(c, FILES_XSX_TRACK_COUNT);
    uint32_t bone_off = chk_word(c, FILES_XSX_BONES), track_off = chk_word(c, FILES_XSX_TRACKS);
    if (!chk_array(c, bone_off, bones, FILES_XSX_BONE_SIZE) || !chk_array(c, track_off, tracks, FILES_XSX_TRACK_SIZE))
        return false;

    for (uint32_t t = 0; t < tracks; t++) {
        const uint8_t* tr = c->p + track_off + (uint64_t)t * FILES_XSX_TRACK_SIZE;
        if (!chk_array(c, files_u32(tr, FILES_XSX_TRACK_KEYS), files_u32(tr, FILES_XSX_TRACK_KEY_COUNT), FILES_XSX_KEY_SIZE))
            return false;
    }
    for (uint32_t b = 0; b < bones; b++) {
        const uint8_t* bo = c->p + bone_off + (uint64_t)b * FILES_XSX_BONE_SIZE;
        uint32_t n = files_u32(bo, FILES_XSX_BONE_TRACK_COUNT);
        if (n < FILES_XSX_BONE_MIN_TRACKS)
            return false;
        int64_t first = chk_record_index(files_u32(bo, FILES_XSX_BONE_FIRST_TRACK), track_off, tracks, FILES_XSX_TRACK_SIZE);
        if (first < 0 || (uint64_t)first + n > tracks)
            return false;
        uint32_t parent = files_u32(bo, FILES_XSX_BONE_PARENT);
        if (parent && chk_record_index(parent, bone_off, bones, FILES_XSX_BONE_SIZE) < 0)
            return false;
    }
    return chk_xsx_parents(c, bones, bone_off);
}

static bool chk_xtx(const files_check* c)
{
    if (c->size < FILES_XTX_HEAD)
        return false;
    return chk_array(c, chk_word(c, FILES_XTX_TILES), chk_word(c, FILES_XTX_TILE_COUNT), FILES_XTX_TILE_SIZE) &&
           chk_array(c, chk_word(c, FILES_XTX_KEYS), chk_word(c, FILES_XTX_KEY_COUNT), 2) &&
           chk_word(c, FILES_XTX_END) <= c->size;
}

static const char FILES_OUTSIDE[] = "counts or offsets outside the file";

// A mesh must have something to draw: buffers of 0 vertices or 0 indices cannot be made,
// and a failed buffer marks the device for a reset every time the mesh is retried.
static const char* xox_refusal(const files_check* c)
{
    if (c->size < FILES_XOX_HEAD)
        return c->size ? FILES_OUTSIDE : "a mesh without vertices or indices";
    if (!chk_xox(c))
        return FILES_OUTSIDE;
    if (chk_word(c, FILES_XOX_VERTEX_COUNT) == 0 || chk_word(c, FILES_XOX_INDEX_COUNT) == 0)
        return "a mesh without vertices or indices";
    return nullptr;
}

static const char* xsx_refusal(const files_check* c)
{
    if (c->size == 0)
        return nullptr;
    if (c->size < FILES_XSX_HEAD || !chk_xsx(c))
        return FILES_OUTSIDE;
    // Users loop and step through an animation by its length, so it must be a finite,
    // non-negative time. The shipped animations last a few seconds; an hour is far beyond
    // any cycle or pose and keeps every frame count at 20 frames a second (72000) exact in
    // a float, so no loop over the length can stall on a time that no longer grows.
    float length = files_f32(c->p, FILES_XSX_LENGTH);
    if (!std::isfinite(length) || length < 0.0f || length > FILES_XSX_MAX_LENGTH)
        return "an animation length that is not finite, negative or over an hour";
    return nullptr;
}

static const char* files_refusal(const uint8_t* block, uint32_t size)
{
    if (!block || size < FILES_HEADER_SIZE)
        return FILES_BAD_HEADER;
    files_header h;
    memcpy(&h, block, sizeof(h));
    if (h.version != FILES_VERSION)
        return FILES_BAD_HEADER;
    files_check c = {block + FILES_HEADER_SIZE, size - FILES_HEADER_SIZE};
    switch (h.magic) {
    case FILES_MAGIC_XOX: return xox_refusal(&c);
    case FILES_MAGIC_XSX: return xsx_refusal(&c);
    case FILES_MAGIC_XTX: return c.size == 0 || chk_xtx(&c) ? nullptr : FILES_OUTSIDE;
    default: return FILES_BAD_HEADER;
    }
}

bool files_validate(const uint8_t* block, uint32_t size) { return files_refusal(block, size) == nullptr; }

// ---- accessors -------------------------------------------------------------------------

uint32_t files_word(const files_data* d, uint32_t at)
{
    if (!d || !d->payload || (uint64_t)at + 4 > d->payload_size)
        return 0;
    return files_u32(d->payload, at);
}

const uint8_t* files_range(const files_data* d, uint32_t off, uint64_t bytes)
{
    if (!d || !d->payload || off == 0 || (uint64_t)off + bytes > d->payload_size)
        return nullptr;
    return d->payload + off;
}

// Record i of the array whose count and offset are head words.
static const uint8_t* files_record(const files_data* d, uint32_t count_at, uint32_t off_at, uint32_t rec, uint32_t i)
{
    if (i >= files_word(d, count_at))
        return nullptr;
    uint32_t off = files_word(d, off_at);
    const uint8_t* p = files_range(d, off, (uint64_t)(i + 1) * rec);
    return p ? p + (uint64_t)i * rec : nullptr;
}

// The array at the offset field of a record: a pointer from a resolver, so inside the payload.
static const uint8_t* files_sub_array(const files_data* d, const uint8_t* rec, uint32_t count_at, uint32_t off_at,
                                      uint32_t elem)
{
    if (!rec)
        return nullptr;
    return files_range(d, files_u32(rec, off_at), (uint64_t)files_u32(rec, count_at) * elem);
}

const uint8_t* files_xox_material(const files_data* d, uint32_t i)
{
    return files_record(d, FILES_XOX_MATERIAL_COUNT, FILES_XOX_MATERIALS, FILES_XOX_MATERIAL_SIZE, i);
}

const uint8_t* files_xox_morph(const files_data* d, uint32_t i)
{
    return files_record(d, FILES_XOX_MORPH_COUNT, FILES_XOX_MORPHS, FILES_XOX_MORPH_SIZE, i);
}

const uint8_t* files_xox_vertex(const files_data* d, uint32_t i)
{
    return files_record(d, FILES_XOX_VERTEX_COUNT, FILES_XOX_VERTICES, FILES_XOX_VERTEX_SIZE, i);
}

const uint8_t* files_xox_indices(const files_data* d)
{
    return files_range(d, files_word(d, FILES_XOX_INDICES), (uint64_t)files_word(d, FILES_XOX_INDEX_COUNT) * 2);
}

const uint8_t* files_xox_strips(const files_data* d, const uint8_t* material)
{
    return files_sub_array(d, material, FILES_XOX_MAT_STRIP_COUNT, FILES_XOX_MAT_STRIPS, 2);
}

const uint8_t* files_xox_deltas(const files_data* d, const uint8_t* morph)
{
    return files_sub_array(d, morph, FILES_XOX_MORPH_VERTICES, FILES_XOX_MORPH_DELTAS, FILES_XOX_DELTA_SIZE);
}

const uint8_t* files_xsx_bone(const files_data* d, uint32_t i)
{
    return files_record(d, FILES_XSX_BONE_COUNT, FILES_XSX_BONES, FILES_XSX_BONE_SIZE, i);
}

const uint8_t* files_xsx_track(const files_data* d, uint32_t i)
{
    return files_record(d, FILES_XSX_TRACK_COUNT, FILES_XSX_TRACKS, FILES_XSX_TRACK_SIZE, i);
}

const uint8_t* files_xsx_keys(const files_data* d, const uint8_t* track)
{
    return files_sub_array(d, track, FILES_XSX_TRACK_KEY_COUNT, FILES_XSX_TRACK_KEYS, FILES_XSX_KEY_SIZE);
}

int32_t files_xsx_parent(const files_data* d, const uint8_t* bone)
{
    if (!bone)
        return -1;
    uint32_t off = files_u32(bone, FILES_XSX_BONE_PARENT);
    if (off == 0)
        return -1;
    return (int32_t)chk_record_index(off, files_word(d, FILES_XSX_BONES), files_word(d, FILES_XSX_BONE_COUNT),
                                     FILES_XSX_BONE_SIZE);
}

int32_t files_xsx_first_track(const files_data* d, const uint8_t* bone)
{
    if (!bone)
        return -1;
    return (int32_t)chk_record_index(files_u32(bone, FILES_XSX_BONE_FIRST_TRACK), files_word(d, FILES_XSX_TRACKS),
                                     files_word(d, FILES_XSX_TRACK_COUNT), FILES_XSX_TRACK_SIZE);
}

const uint8_t* files_xtx_tile(const files_data* d, uint32_t i)
{
    return files_record(d, FILES_XTX_TILE_COUNT, FILES_XTX_TILES, FILES_XTX_TILE_SIZE, i);
}

uint16_t files_xtx_key(const files_data* d, uint32_t i)
{
    const uint8_t* p = files_record(d, FILES_XTX_KEY_COUNT, FILES_XTX_KEYS, 2, i);
    return p ? files_u16(p, 0) : 0;
}

void files_name(const uint8_t* field, uint32_t size, char* out, uint32_t out_size)
{
    uint32_t n = 0;
    if (field)
        while (n < size && n + 1 < out_size && field[n])
            n++;
    if (n)
        memcpy(out, field, n);
    out[n] = 0;
}

// ---- whole-file buffer -----------------------------------------------------------------

bool files_buffer_setup(files_buffer* b, const char* path, bool text_mode, uint32_t before, uint32_t after)
{
    memset(b, 0, sizeof(*b));
    strncpy(b->name, path, sizeof(b->name) - 1);
    b->text_mode = text_mode ? 1 : 0;
    b->before = before;
    b->after = after;

    uint64_t size = 0;
    FILE* fp = files_open(path, text_mode ? "r" : "rb", &size);
    if (!fp)
        return true;
    bool ok = true;
    if (size != 0) {
        // The block must hold before + size + after in 32 bits, as every size here is u32.
        uint64_t total = (uint64_t)before + size + after;
        uint8_t* block = total <= 0xFFFFFFFFu ? (uint8_t*)mem_alloc((size_t)total) : nullptr;
        b->size = size <= 0xFFFFFFFFu ? (uint32_t)size : 0xFFFFFFFFu;
        if (block) {
            b->data = block + before;
            // Line-end translation may shorten a text read; binary reads must be whole.
            size_t got = fread(b->data, 1, (size_t)size, fp);
            ok = text_mode ? got >= size / 2 : got == size;
        } else {
            ok = false;
        }
    }
    fclose(fp);
    if (!ok)
        files_buffer_clean(b);
    return ok;
}

void files_buffer_clean(files_buffer* b)
{
    if (b->data)
        mem_free(b->data - b->before);
    b->data = nullptr;
}

// ---- name splitter ---------------------------------------------------------------------

int files_split_side(char* name)
{
    char* start = name;
    char* cut = name;
    int side = 0;
    char* p = name;
    while (*p) {
        if (strncmp(p, "left_", 5) == 0) {
            p += 5;
            start = p;
            side = -1;
        } else if (strncmp(p, "right_", 6) == 0) {
            p += 6;
            start = p;
            side = 1;
        } else {
            if (*p == '\\' || *p == '/')
                start = p + 1;
            else if ((*p == '_' || *p == '.') && cut <= start)
                cut = p;
            p++;
        }
    }
    if (cut <= start)
        cut = p;
    size_t n = (size_t)(cut - start);
    memmove(name, start, n); // the areas overlap
    name[n] = 0;
    return side;
}
