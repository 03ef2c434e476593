// FILES: the loader of the engine's binary data files (xox meshes, xsx animations, xtx tile
// maps and font metrics), plus a whole-file reader with spare bytes around the data and the
// bone/part name splitter.
//
// A data file is read whole into one block and checked by its 12-byte header:
//     0 magic ("0XOX", "0XSX" or "0XTX")   4 version (19)   8 third word (not checked)
// followed by the payload. Offsets stored in the payload count bytes from the payload's
// start; 0 means "none". They are never turned into pointers: on load every offset, count
// and extent that a reader will follow is validated against the payload (see the format
// notes below), and a file that fails is rejected. Readers then resolve offsets only through
// the accessors at the end of this header, which check their range again, so a read outside
// the block cannot happen even through a wrong index.
#pragma once

#include <cstdint>
#include <cstring>

#include "engine/code/pool.h"

enum : uint32_t {
    FILES_MAGIC_XOX = 0x584F5830, // "0XOX"
    FILES_MAGIC_XSX = 0x58535830, // "0XSX"
    FILES_MAGIC_XTX = 0x58545830, // "0XTX"
    FILES_VERSION = 19,
    FILES_HEADER_SIZE = 12,
};

struct files_header {
    uint32_t magic;
    uint32_t version;
    uint32_t third;
};

// One loaded data file (pooled). Callers check header.magic themselves.
struct files_data {
    list_node link;          // FILES live list
    files_header header;     // copy of the file's first 12 bytes
    const uint8_t* payload;  // data + 12; read it through the accessors below
    int32_t refs;            // 1 after files_load
    uint8_t* data;           // the whole file (mem_alloc)
    uint32_t payload_size;   // bytes from payload to the end of the file
};

// The subsystem: live list (in the pool) holds every loaded file, newest first.
struct files {
    pool records; // files_data, 64 a chunk
};

extern files FILES;

bool files_setup(files* f);  // always true
void files_clean(files* f);  // releases whatever is still loaded; safe twice
bool files_reset(files* f);
// A fresh record with its own block and refs 1, or null (missing or non-regular file,
// shorter than 12 bytes, unknown magic, wrong version, a body that fails the checks below,
// no memory). Only a body that fails its checks is logged here (an error line naming the
// file and the reason); for the rest callers log their own failure.
files_data* files_load(files* f, const char* path);
// Null is ignored. Lowers refs; at 0 or below frees the block and returns the record.
void files_free(files* f, files_data* d);

// Checks a whole data-file image (header and payload) as files_load does after reading it.
// The entry point for fuzzing the loader.
bool files_validate(const uint8_t* block, uint32_t size);

// Whole-file reader. A missing (or non-regular) file gives success with no data; the block
// is zero-filled and holds `before` spare bytes in front of the data and `after` behind it,
// so after >= 1 gives a NUL-terminated text.
struct files_buffer {
    char name[256];
    uint8_t text_mode;  // non-zero: opened with "r", else "rb" (identical on this platform)
    uint8_t* data;      // null when nothing was read
    uint32_t size;      // the file's length
    uint32_t before;
    uint32_t after;
};

// False only for an allocation failure (a size that cannot be held counts) or a short read.
bool files_buffer_setup(files_buffer* b, const char* path, bool text_mode, uint32_t before, uint32_t after);
void files_buffer_clean(files_buffer* b); // safe twice

// Cuts name in place to its base word ("data/xsx/right_leg.001" -> "leg") and returns the
// side: -1 for a "left_" prefix, 1 for "right_", 0 otherwise.
int files_split_side(char* name);

// ---------------------------------------------------------------------------------------
// Reading a loaded file.
//
// Records are addressed by `const uint8_t*` pointers that only the resolvers below hand
// out; their fields are read with files_u32/u16/f32 at the byte offsets of the format
// notes (the files are little-endian and the fields may be unaligned). A resolver returns
// null for an index outside its count, for an offset of 0 ("none") and for any range that
// does not lie inside the payload. On a record files_load returned, the validation below
// guarantees that every in-count index resolves, so readers need no error path beyond the
// index checks they make anyway.
//
// An empty payload (a bare 12-byte file) is accepted for animations and tile files; all of
// its words read as 0, so it has no records of any sort. A mesh always needs a body.
// ---------------------------------------------------------------------------------------

inline uint32_t files_u32(const uint8_t* rec, uint32_t at)
{
    uint32_t v;
    memcpy(&v, rec + at, 4);
    return v;
}
inline uint16_t files_u16(const uint8_t* rec, uint32_t at)
{
    uint16_t v;
    memcpy(&v, rec + at, 2);
    return v;
}
inline float files_f32(const uint8_t* rec, uint32_t at)
{
    float v;
    memcpy(&v, rec + at, 4);
    return v;
}

// Payload word at byte offset `at` of the payload head; 0 when it lies outside.
uint32_t files_word(const files_data* d, uint32_t at);
// payload + off when [off, off + bytes) lies inside the payload and off is not 0; else null.
// bytes may be 0 (then off == payload size is inside, as for the xtx end offset).
const uint8_t* files_range(const files_data* d, uint32_t off, uint64_t bytes);

// XOX mesh body. Head (56 bytes): counts, offsets, extent. Words 12, 20, 24, 44 and 48 are
// not read and not validated.
enum : uint32_t {
    FILES_XOX_HEAD = 56,
    FILES_XOX_MATERIAL_COUNT = 0, FILES_XOX_MORPH_COUNT = 4, FILES_XOX_VERTEX_COUNT = 8,
    FILES_XOX_INDEX_COUNT = 16,
    FILES_XOX_MATERIALS = 28, FILES_XOX_MORPHS = 32, FILES_XOX_VERTICES = 36, FILES_XOX_INDICES = 40,
    FILES_XOX_EXTENT = 52, // f32
    // material record
    FILES_XOX_MATERIAL_SIZE = 72,
    FILES_XOX_MAT_NAME = 0, FILES_XOX_MAT_COLOUR = 32, FILES_XOX_MAT_SPECULAR = 36, FILES_XOX_MAT_GLOSS = 40,
    FILES_XOX_MAT_STRIP_COUNT = 48, FILES_XOX_MAT_STRIPS = 56, FILES_XOX_MAT_FIRST_INDEX = 60,
    // morph record
    FILES_XOX_MORPH_SIZE = 44,
    FILES_XOX_MORPH_NAME = 0, FILES_XOX_MORPH_FIRST = 32, FILES_XOX_MORPH_VERTICES = 36, FILES_XOX_MORPH_DELTAS = 40,
    FILES_XOX_DELTA_SIZE = 24, // six f32: dx dy dz dnx dny dnz
    FILES_XOX_VERTEX_SIZE = 36, // f32 x y z nx ny nz u v, one unread word
};
// Validated for a mesh: it has at least one vertex and one index; every array lies in the
// payload; each material's strip lengths lie in the payload and its strips (first index +
// sum of lengths) stay inside the index array; each morph's deltas lie in the payload and
// its range (first + count) stays inside the vertex array; every index is below the vertex
// count. Name fields of 32 bytes are not required to hold a NUL: read them with files_name.
const uint8_t* files_xox_material(const files_data* d, uint32_t i);
const uint8_t* files_xox_morph(const files_data* d, uint32_t i);
const uint8_t* files_xox_vertex(const files_data* d, uint32_t i);
const uint8_t* files_xox_indices(const files_data* d);                // index count u16 values
const uint8_t* files_xox_strips(const files_data* d, const uint8_t* material); // strip count u16 values
const uint8_t* files_xox_deltas(const files_data* d, const uint8_t* morph);    // vertex count deltas

// XSX animation body. Head (32 bytes). Word 8 and the offset at 20 are not read.
enum : uint32_t {
    FILES_XSX_HEAD = 32,
    FILES_XSX_BONE_COUNT = 0, FILES_XSX_TRACK_COUNT = 4, FILES_XSX_BONES = 12, FILES_XSX_TRACKS = 16,
    FILES_XSX_START = 24, FILES_XSX_LENGTH = 28, // f32
    // bone record
    FILES_XSX_BONE_SIZE = 276,
    FILES_XSX_BONE_NAME = 0, FILES_XSX_BONE_FLAGS = 260, FILES_XSX_BONE_TRACK_COUNT = 264,
    FILES_XSX_BONE_PARENT = 268, FILES_XSX_BONE_FIRST_TRACK = 272,
    FILES_XSX_BONE_MIN_TRACKS = 9, // position, rotation, scale
    // track record
    FILES_XSX_TRACK_SIZE = 40,
    FILES_XSX_TRACK_NAME = 0, FILES_XSX_TRACK_KEY_COUNT = 32, FILES_XSX_TRACK_KEYS = 36,
    // key record: f32 time, f32 value, u32 flags, f32 tension, continuity, bias
    FILES_XSX_KEY_SIZE = 24,
};
// Validated for an animation: bones and tracks lie in the payload; every bone has at least
// nine tracks, and its first-track offset names a track record with all of the bone's
// tracks inside the track array; every parent offset is 0 or names a bone record, and the
// parent chains have no cycle; each track's keys lie in the payload; the length is finite
// and between 0 and FILES_XSX_MAX_LENGTH.
const float FILES_XSX_MAX_LENGTH = 3600.0f; // one hour in key-time units (seconds in the shipped files)
const uint8_t* files_xsx_bone(const files_data* d, uint32_t i);
const uint8_t* files_xsx_track(const files_data* d, uint32_t i);
const uint8_t* files_xsx_keys(const files_data* d, const uint8_t* track); // key count keys
int32_t files_xsx_parent(const files_data* d, const uint8_t* bone);       // bone index, -1 for a root
int32_t files_xsx_first_track(const files_data* d, const uint8_t* bone);  // track index, -1 for none

// XTX tile body. Head (28 bytes).
enum : uint32_t {
    FILES_XTX_HEAD = 28,
    FILES_XTX_TILE_COUNT = 0, FILES_XTX_KEY_COUNT = 4,
    FILES_XTX_TILES = 16, FILES_XTX_KEYS = 20, FILES_XTX_END = 24,
    FILES_XTX_TILE_SIZE = 12, // u16 x, y, w, h, offset x, offset y
};
// Validated: tiles and keys lie in the payload; the end offset is at most the payload size.
// Key values are not checked: files_xtx_tile of an out-of-range tile number gives null.
const uint8_t* files_xtx_tile(const files_data* d, uint32_t i); // 0-based
uint16_t files_xtx_key(const files_data* d, uint32_t i);         // 1-based tile number, 0 none/outside

// Copies a fixed-size name field (size bytes, NUL-padded or not) into out (out_size > 0),
// always NUL-terminated.
void files_name(const uint8_t* field, uint32_t size, char* out, uint32_t out_size);
