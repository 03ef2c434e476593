// Data-file loader: header checks, record lifetime, offset validation on corrupted, hostile
// and cut files, the resolvers, the whole-file buffer and the name splitter.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "engine/code/files.h"
#include "tests/harness/harness.h"
#include "tests/harness/log_capture.h"
#include "tools/writer/wr_mesh.h"
#include "tools/writer/wr_xtx.h"

namespace {

// A data-file image: header, then payload bytes.
struct image {
    std::vector<uint8_t> b;
    image(uint32_t magic) : b(12, 0) // a bare header of version 19
    {
        memcpy(&b[0], &magic, 4);
        b[4] = 19;
    }
    image(const wr_buf& w) : b(w.bytes) {}
    uint32_t get32(uint32_t payload_at) const { return files_u32(b.data() + 12, payload_at); }
    void set32(uint32_t payload_at, uint32_t v) { memcpy(&b[12 + payload_at], &v, 4); }
    bool valid() const { return files_validate(b.data(), (uint32_t)b.size()); }
};

void write_file(const char* path, const std::vector<uint8_t>& bytes)
{
    wr_buf w = {bytes};
    ASSERT_TRUE(wr_buf_save(&w, path));
}

// The three kinds as the writer library lays them out (a second, independent encoder).
// A mesh: 1 material "skin" (one strip of 3 indices), 1 morph over vertices 1..2, 3 vertices;
// or, with fewer vertices or indices, only the material without strips.
image make_mesh(uint32_t verts, uint32_t idxs)
{
    wr_xox_mesh m;
    m.materials.resize(1);
    m.materials[0].name = "skin";
    m.vertices.resize(verts);
    m.indices.assign(idxs, 0);
    if (verts == 3 && idxs == 3) {
        m.materials[0].strips = {3};
        m.morphs = {{"smile", 1, std::vector<float>(12, 0.5f)}};
        m.indices = {0, 2, 1};
    }
    wr_buf out;
    wr_xox_file(&out, &m);
    return image(out);
}
image make_xox() { return make_mesh(3, 3); }

// An animation: 2 bones (bone 1 a child of bone 0), 9 tracks each, track 0 with 2 keys.
image make_xsx()
{
    wr_xsx_anim a;
    a.bones.resize(2);
    for (wr_xsx_bone& bone : a.bones)
        bone.tracks.resize(9);
    a.bones[1].parent = 0;
    a.bones[0].tracks[0].keys = {{0, 0}, {1, 1}};
    wr_buf out;
    wr_xsx_file(&out, &a);
    return image(out);
}

// A tile file with 2 tiles and 3 keys.
image make_xtx()
{
    const xtx_tile tiles[2] = {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}};
    const uint16_t keys[3] = {2, 0, 1};
    wr_buf out;
    wr_xtx_file(&out, tiles, 2, keys, 3);
    return image(out);
}

// What the validation promises the readers of an accepted file: every record within its
// count resolves, and every reference a reader follows stays inside what it names: each
// index names a vertex, each material's strips use indices from its first one up to the
// index count, each morph's vertex range lies among the vertices, each bone's tracks among
// the tracks, and each parent chain ends at a root within as many steps as there are bones.
bool resolves_all(const std::vector<uint8_t>& block)
{
    files_data d = {};
    d.payload = block.data() + 12;
    d.payload_size = (uint32_t)block.size() - 12;
    uint32_t magic = files_u32(block.data(), 0);
    bool ok = true;
    if (magic == FILES_MAGIC_XOX) {
        uint32_t verts = files_word(&d, FILES_XOX_VERTEX_COUNT), idxs = files_word(&d, FILES_XOX_INDEX_COUNT);
        const uint8_t* indices = files_xox_indices(&d);
        ok = ok && (idxs == 0 || indices) && (verts == 0 || files_xox_vertex(&d, verts - 1));
        for (uint32_t i = 0; ok && i < idxs; i++)
            ok = files_u16(indices, 2 * i) < verts;
        for (uint32_t i = 0; ok && i < files_word(&d, FILES_XOX_MATERIAL_COUNT); i++) {
            const uint8_t* m = files_xox_material(&d, i);
            uint32_t strips = m ? files_u32(m, FILES_XOX_MAT_STRIP_COUNT) : 0;
            const uint8_t* lengths = strips ? files_xox_strips(&d, m) : nullptr;
            ok = m && (strips == 0 || lengths);
            uint64_t used = m ? files_u32(m, FILES_XOX_MAT_FIRST_INDEX) : 0;
            for (uint32_t s = 0; ok && s < strips; s++)
                used += files_u16(lengths, 2 * s);
            ok = ok && (strips == 0 || used <= idxs);
        }
        for (uint32_t i = 0; ok && i < files_word(&d, FILES_XOX_MORPH_COUNT); i++) {
            const uint8_t* m = files_xox_morph(&d, i);
            uint32_t n = m ? files_u32(m, FILES_XOX_MORPH_VERTICES) : 0;
            ok = m && (n == 0 || (files_xox_deltas(&d, m) && (uint64_t)files_u32(m, FILES_XOX_MORPH_FIRST) + n <= verts));
        }
    } else if (magic == FILES_MAGIC_XSX) {
        uint32_t tracks = files_word(&d, FILES_XSX_TRACK_COUNT), bones = files_word(&d, FILES_XSX_BONE_COUNT);
        for (uint32_t i = 0; ok && i < bones; i++) {
            const uint8_t* b = files_xsx_bone(&d, i);
            int32_t first = b ? files_xsx_first_track(&d, b) : -1;
            ok = b && first >= 0 && first + files_u32(b, FILES_XSX_BONE_TRACK_COUNT) <= tracks;
            uint32_t steps = 0;
            for (const uint8_t* up = b; ok && files_u32(up, FILES_XSX_BONE_PARENT) != 0; steps++) {
                int32_t parent = files_xsx_parent(&d, up);
                ok = parent >= 0 && steps < bones;
                up = ok ? files_xsx_bone(&d, (uint32_t)parent) : nullptr;
            }
        }
        for (uint32_t i = 0; ok && i < tracks; i++) {
            const uint8_t* t = files_xsx_track(&d, i);
            ok = t && (files_u32(t, FILES_XSX_TRACK_KEY_COUNT) == 0 || files_xsx_keys(&d, t));
        }
    } else {
        for (uint32_t i = 0; i < files_word(&d, FILES_XTX_TILE_COUNT); i++)
            ok = ok && files_xtx_tile(&d, i);
        uint32_t end = files_word(&d, FILES_XTX_END);
        ok = ok && (end == 0 || files_range(&d, end, 0));
    }
    return ok;
}

struct Files : testing::Test {
    void SetUp() override { ASSERT_TRUE(files_setup(&FILES)); }
    void TearDown() override { files_clean(&FILES); }
    files_data* load(const image& x)
    {
        write_file("f.dat", x.b);
        return files_load(&FILES, "f.dat");
    }
};

} // namespace

TEST_F(Files, HeaderChecksAndRecordLifetimes)
{
    image x = make_xtx(), old = make_xox();
    log_capture_start();
    write_file("short.dat", std::vector<uint8_t>(x.b.begin(), x.b.begin() + 11));
    EXPECT_EQ(files_load(&FILES, "short.dat"), nullptr);
    old.b[4] = 18;
    EXPECT_EQ(load(old), nullptr) << "version 18";
    EXPECT_EQ(load(image(0x31323334)), nullptr) << "unknown magic";
    EXPECT_EQ(files_load(&FILES, "missing.dat"), nullptr);
    mkdir("folder.xox", 0777);
    EXPECT_EQ(files_load(&FILES, "folder.xox"), nullptr);
    // Every failure gave its record back, and a file that is not ours is left to the
    // caller to report.
    EXPECT_TRUE(list_empty(&FILES.records.live));
    EXPECT_EQ(LOGGED.error, "");
    log_capture_stop();

    files_data* bare = load(image(FILES_MAGIC_XSX));
    ASSERT_TRUE(bare);
    EXPECT_EQ(files_xsx_bone(bare, 0), nullptr) << "a bare file has no records";

    // Each load is its own record with its own block; a record with a second owner stays.
    files_data* a = load(x);
    files_data* b = files_load(&FILES, "f.dat");
    ASSERT_TRUE(a && b);
    EXPECT_NE(a->data, b->data);
    files_free(&FILES, b);
    a->refs++;
    files_free(&FILES, a);
    EXPECT_EQ(files_xtx_key(a, 0), 2) << "still held once";
    files_free(&FILES, a);
    files_free(&FILES, nullptr);

    // Clean releases what was leaked, whatever its count (the sanitizer build checks leaks).
    bare->refs = 5;
    files_clean(&FILES);
    EXPECT_TRUE(list_empty(&FILES.records.live));
    files_clean(&FILES);  // safe twice
    ASSERT_TRUE(files_setup(&FILES));

    // Refusing a body the readers would trip on names the file and why on the log.
    image no_indices = make_mesh(3, 0), negative = make_xsx();
    negative.set32(FILES_XSX_LENGTH, 0xBF800000); // -1
    for (const image& bad : {no_indices, negative}) {
        log_capture_start();
        EXPECT_EQ(load(bad), nullptr);
        EXPECT_NE(LOGGED.error.find("Refused data file f.dat: "), std::string::npos) << LOGGED.error;
        log_capture_stop();
    }
}

// The readers of meshes, animations and tiles go through these with real files; here the
// edges: none, one past the end, outside the count.
TEST_F(Files, ResolversPointIntoThePayloadOrGiveNull)
{
    files_data* t = load(make_xtx());
    ASSERT_TRUE(t);
    EXPECT_EQ(files_range(t, files_word(t, FILES_XTX_END), 0), t->payload + t->payload_size)
        << "the end offset is one past the payload";
    EXPECT_EQ(files_range(t, files_word(t, FILES_XTX_END), 1), nullptr);
    EXPECT_EQ(files_range(t, 0, 0), nullptr) << "offset 0 is none";
    EXPECT_EQ(files_xtx_tile(t, 2), nullptr);

    files_data* m = load(make_xox());
    ASSERT_TRUE(m);
    EXPECT_EQ(files_xox_vertex(m, 3), nullptr);
    files_data* a = load(make_xsx());
    ASSERT_TRUE(a);
    EXPECT_EQ(files_xsx_parent(a, files_xsx_bone(a, 0)), -1);
    EXPECT_EQ(files_xsx_parent(a, files_xsx_bone(a, 1)), 0);
    EXPECT_EQ(files_xsx_first_track(a, files_xsx_bone(a, 1)), 9);
    EXPECT_EQ(files_xsx_keys(a, files_xsx_track(a, 1)), nullptr) << "a track without keys";
}

TEST(FilesValidate, CorruptedFieldsAreRejected)
{
    struct mutation {
        const char* what;
        image (*make)();
        uint32_t at;
        uint32_t value;
        bool valid = false;
    };
    image xo = make_xox(), xs = make_xsx();
    uint32_t mat = xo.get32(FILES_XOX_MATERIALS), morph = xo.get32(FILES_XOX_MORPHS), idx = xo.get32(FILES_XOX_INDICES);
    uint32_t bones = xs.get32(FILES_XSX_BONES), tracks = xs.get32(FILES_XSX_TRACKS);
    uint32_t bone1 = bones + FILES_XSX_BONE_SIZE;
    const uint32_t AS_BUILT = 0xFFFFFFFF; // no word changed
    // One case per rule; cut files and further damage are replayed from the fuzz corpus.
    const mutation cases[] = {
        {"materials offset", make_xox, FILES_XOX_MATERIALS, 0xFFFFFFF0},
        // Indices 0, 2, 1 over 3 vertices; the word sets the first two (little-endian u16s).
        {"an index equal to the vertex count (0, 3)", make_xox, idx, 0x00030000},
        {"indices at the vertex count - 1 (2, 2)", make_xox, idx, 0x00020002, true},
        {"index count", make_xox, FILES_XOX_INDEX_COUNT, 1000},
        {"strip count", make_xox, mat + FILES_XOX_MAT_STRIP_COUNT, 0x80000000},
        {"strips past the indices", make_xox, mat + FILES_XOX_MAT_FIRST_INDEX, 1},
        {"morph range wraps", make_xox, morph + FILES_XOX_MORPH_FIRST, 0xFFFFFFFF},
        {"deltas offset", make_xox, morph + FILES_XOX_MORPH_DELTAS, 0},
        {"tracks offset", make_xsx, FILES_XSX_TRACKS, 0xFFFFFFFF},
        {"parent off a record", make_xsx, bone1 + FILES_XSX_BONE_PARENT, bones + 4},
        {"parent cycle", make_xsx, bones + FILES_XSX_BONE_PARENT, bone1},
        {"fewer than nine tracks", make_xsx, bones + FILES_XSX_BONE_TRACK_COUNT, 8},
        {"tracks past the array", make_xsx, bone1 + FILES_XSX_BONE_TRACK_COUNT, 10},
        {"first track off a record", make_xsx, bone1 + FILES_XSX_BONE_FIRST_TRACK, tracks + 1},
        {"key count", make_xsx, tracks + FILES_XSX_TRACK_KEY_COUNT, 0x0AAAAAAB},
        {"tile count", make_xtx, FILES_XTX_TILE_COUNT, 3},
        {"end offset", make_xtx, FILES_XTX_END, 59},
        // Nothing to draw: a mesh's buffers cannot be 0 long.
        {"no vertices or indices", [] { return make_mesh(0, 0); }, AS_BUILT, 0},
        {"one vertex, one index", [] { return make_mesh(1, 1); }, AS_BUILT, 0, true},
        // Lengths that would make a loop over the animation endless; the limit is an hour
        // (negative is refused with its log line above).
        {"length NaN", make_xsx, FILES_XSX_LENGTH, 0x7FC00000},
        {"length 3600.25", make_xsx, FILES_XSX_LENGTH, 0x45610400}, // 0x1.c2080p11
        {"length 3600", make_xsx, FILES_XSX_LENGTH, 0x45610000, true},  // 0x1.c2p11
    };
    EXPECT_TRUE(make_xox().valid());
    EXPECT_TRUE(make_xsx().valid());
    EXPECT_TRUE(make_xtx().valid());
    for (const mutation& m : cases) {
        image x = m.make();
        if (m.at != AS_BUILT)
            x.set32(m.at, m.value);
        EXPECT_EQ(x.valid(), m.valid) << m.what;
    }
}

// Every payload word of each kind overwritten with hostile values, and every cut of each
// file: whatever the validator accepts must keep every reader inside (resolves_all; and, in
// the sanitizer build, the validator itself never reads outside the exact-size block). A cut
// file is accepted only when nothing but the 12-byte header is left, and a bare mesh not
// even then (it has nothing to draw): the heads alone are 56 (mesh), 32 (animation) and 28
// (tiles) payload bytes. The empty animation and tile file are the heads alone, all zero but
// the tile file's end word: cut and followed by zeros (counts of none, a length of 0, an
// end of 0), they read as whole to a check that looks past the size it was given.
TEST(FilesValidate, HostileWordsAndTruncationsStayInside)
{
    const struct {
        const char* name;
        image (*make)();
        bool bare_header_ok;
    } kinds[] = {
        {"xox", make_xox, false},
        {"xsx", make_xsx, true},
        {"xtx", make_xtx, true},
        {"empty xsx", [] { wr_xsx_anim a; wr_buf out; wr_xsx_file(&out, &a); return image(out); }, true},
        {"empty xtx", [] { wr_buf out; wr_xtx_file(&out, nullptr, 0, nullptr, 0); return image(out); }, true},
    };
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.name);
        const image base = kind.make();
        ASSERT_TRUE(base.valid());
        // Edge values, and every word of the file that could be an offset into it (a record
        // named where another is meant, a parent pointing back down its own chain).
        std::vector<uint32_t> values = {0, 1, 2, 3, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFF4, 0x1000};
        for (uint32_t at = 0; at + 4 <= base.b.size() - 12; at += 4)
            if (base.get32(at) > 3 && base.get32(at) <= base.b.size() - 12)
                values.push_back(base.get32(at));
        for (uint32_t at = 0; at + 4 <= base.b.size() - 12; at += 2)
            for (uint32_t v : values) {
                image x = base;
                x.set32(at, v);
                if (x.valid()) {
                    EXPECT_TRUE(resolves_all(x.b)) << "word " << at << " = " << v;
                }
            }
        // Each cut twice: in a block of its exact size, and followed by zeros.
        for (size_t n = 0; n < base.b.size(); n++) {
            std::vector<uint8_t> cut(base.b.begin(), base.b.begin() + n);
            bool ok = files_validate(cut.empty() ? nullptr : cut.data(), (uint32_t)n);
            EXPECT_EQ(ok, n == 12 && kind.bare_header_ok) << "cut to " << n;
            cut.resize(base.b.size(), 0);
            EXPECT_EQ(files_validate(cut.data(), (uint32_t)n), n == 12 && kind.bare_header_ok)
                << "cut to " << n << ", zeros behind";
        }
    }
}

TEST(FilesBuffer, ReadsWholeFilesWithSpareBytes)
{
    files_buffer b;
    write_file("t.txt", {'a', 'b', 'c'});
    ASSERT_TRUE(files_buffer_setup(&b, "t.txt", true, 16, 1));
    EXPECT_EQ(b.size, 3u);
    EXPECT_STREQ((const char*)b.data, "abc");
    for (int i = 1; i <= 16; i++)
        EXPECT_EQ(b.data[-i], 0);
    files_buffer_clean(&b);
    files_buffer_clean(&b);
    EXPECT_EQ(b.data, nullptr);

    // A missing file, a folder and an over-long name (cut to 255) all read as no file.
    mkdir("dir.txt", 0777);
    for (std::string path : {std::string("missing.txt"), std::string("dir.txt"), std::string(300, 'x')}) {
        EXPECT_TRUE(files_buffer_setup(&b, path.c_str(), false, 0, 1)) << path;
        EXPECT_EQ(b.data, nullptr) << path;
        EXPECT_EQ(b.size, 0u) << path;
    }
    EXPECT_EQ(strlen(b.name), 255u);
    EXPECT_FALSE(files_buffer_setup(&b, "t.txt", false, 0xFFFFFFFE, 0)) << "a size that cannot be held";
    EXPECT_EQ(b.data, nullptr);
}

// The base word runs from after the last folder or side prefix to the first '_' or '.'
// behind it; "left_" gives -1 and "right_" 1.
TEST(FilesSplitSide, CutsToTheBaseWord)
{
    struct {
        const char* in;
        const char* out;
        int side;
    } cases[] = {
        {"left_arm_upper", "arm", -1},
        {"data/xsx/right_leg.001", "leg", 1},
        {"head", "head", 0},
        {"body.xox", "body", 0},
        {"a\\b\\left_hand", "hand", -1},
        {"", "", 0},
    };
    for (auto& c : cases) {
        char buf[64];
        strcpy(buf, c.in);
        EXPECT_EQ(files_split_side(buf), c.side) << c.in;
        EXPECT_STREQ(buf, c.out) << c.in;
    }
}
