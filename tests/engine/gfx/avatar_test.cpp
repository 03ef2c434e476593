// Avatars and their manager: how layers blend into the part bones, morph weights from morph
// tracks, the fist of a holding hand, soul sizes, part meshes chosen through the soul and the
// links; the mapping of an animation's bones to parts, reading the mesh choices from
// xox_links.lua, choosing a mesh entry, and start-up failing without a shared animation.
// The render to image: where the avatar lands and how it is lit, read back from the bound
// image (bottom row first, transparent background), that the device gets its own surfaces
// back, every failed device call checked, and the failures that leave the image untouched.

#include "engine/code/gfx/avatar.h"
#include "engine/code/gfx/avatar_render.h"
#include "engine/code/gfx/avatars.h"

#include <IL/il.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>

#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/soul.h"
#include "engine/code/gfx/xox.h"
#include "engine/code/gfx/xsx.h"
#include "platform/d3d8_debug.h"
#include "tests/engine/gfx/device_fixture.h"
#include "tests/harness/harness.h"
#include "tools/writer/wr_avatar.h"

enum { HEAD = 6, LEFT_HAND = 11, RIGHT_HAND = 17, LEFT_EAR = 15, RIGHT_EAR = 21 };

// Writes the mesh choices script and starts GFX again, so that the manager reads it.
static bool relink(const char* links)
{
    harness_write_file("local/avatar/xox_links.lua", links);
    gfx_clean(&GFX);
    return gfx_setup(&GFX);
}

class Avatar : public GfxTest {
protected:
    void SetUp() override
    {
        GfxTest::SetUp();
        std::filesystem::create_directories("local/avatar/soul");
        std::filesystem::create_directories("data/avatar/xox");
    }
    // Loads a variant of the rest skeleton into a slot of its own.
    avatar_anim_slot* pose(const char* name, const wr_xsx_anim& a)
    {
        std::string path = std::string("data/avatar/xsx/") + name + ".xsx";
        EXPECT_TRUE(wr_xsx_save(path.c_str(), &a));
        slots.emplace_back(new avatar_anim_slot());
        EXPECT_TRUE(avatar_anim_load(slots.back().get(), name));
        return slots.back().get();
    }
    static wr_xsx_anim rest(float length = 1)
    {
        wr_xsx_anim a;
        wr_avatar_skeleton(&a, length);
        return a;
    }
    static void set(wr_xsx_anim* a, int bone, int track, float value)
    {
        a->bones[bone].tracks[track].keys[0].value = value;
    }
    static void soul_file(const char* name, const std::string& flavour)
    {
        std::ofstream(std::string("local/avatar/soul/") + name + ".xml") << "<soul><flavour>" << flavour
                                                                         << "</flavour></soul>";
    }
    std::vector<std::unique_ptr<avatar_anim_slot>> slots;
};

static const ::transform& part(const avatar* a, int p) { return a->base.part_bones[p]->transform; }

TEST_F(Avatar, LayersBlendComponentWiseIntoThePartsScaledByTheSoul)
{
    wr_xsx_anim one = rest(), two = rest(), cycle = rest();
    set(&one, HEAD, 0, 1);
    set(&one, HEAD, 5, 0.5f);
    set(&one, HEAD, 6, 1.5f);
    set(&two, HEAD, 0, 3);
    set(&two, HEAD, 7, 2);
    two.bones.erase(two.bones.begin() + RIGHT_EAR); // the last bone: the others keep their parents
    const float times[2] = {0, 1}, values[2] = {0, 10};
    wr_avatar_set_track(&cycle, HEAD, 0, times, values, 2, WR_KEY_LINEAR);
    avatar_anim_slot* s1 = pose("one", one);
    avatar_anim_slot* s2 = pose("two", two);
    avatar_anim_slot* s = pose("cycle", cycle);
    avatar* a = avatar_alloc(&GFX.avatars, "nobody");
    ASSERT_NE(a, nullptr);
    EXPECT_FALSE(avatar_save_soul(a, "x.xml")); // no soul to save

    avatar_update(a); // no layer: every part collapses to an all-zero transform
    ::transform zero = {};
    for (int p = 0; p < 22; p++)
        EXPECT_EQ(memcmp(&part(a, p), &zero, sizeof zero), 0) << p;

    a->layers[0] = {0.3f, 0, s1};
    a->layers[1] = {0.7f, 0, s2};
    avatar_update(a);
    const ::transform& h = part(a, HEAD);
    EXPECT_FLOAT_EQ(h.position.x, 0.3f * 1 + 0.7f * 3);
    EXPECT_FLOAT_EQ(h.position.y, 0.62f);
    EXPECT_FLOAT_EQ(h.orientation.z, 0.3f * sinf(0.25f));
    EXPECT_FLOAT_EQ(h.orientation.w, 0.3f * cosf(0.25f) + 0.7f); // summed, not renormalised
    EXPECT_FLOAT_EQ(h.scale.y, 0.3f + 0.7f * 2);
    EXPECT_FLOAT_EQ(part(a, RIGHT_EAR).scale.x, 0.3f); // the second layer lacks it
    EXPECT_FLOAT_EQ(a->base.part_bones[HEAD]->world.m[12], 0.3f * 1 + 0.7f * 3); // worlds follow

    // One animation in two layers: each layer's own time is blended.
    a->layers[0] = {0.5f, 0.2f, s};
    a->layers[1] = {0.5f, 0.8f, s};
    avatar_update(a);
    EXPECT_FLOAT_EQ(part(a, HEAD).position.x, 0.5f * 2 + 0.5f * 8);

    // Soul sizes scale every layer and the base.
    soul_file("big", "<part name='head' Xsize='2' Ysize='3'/>");
    a = avatar_alloc(&GFX.avatars, "big");
    ASSERT_NE(a, nullptr);
    a->layers[0] = {1, 0, s1};
    avatar_update(a);
    EXPECT_FLOAT_EQ(part(a, HEAD).scale.x, 3.0f); // 1.5 x 2
    EXPECT_FLOAT_EQ(part(a, HEAD).scale.y, 3.0f); // 1 x 3
}

// A hand mesh with a fist and a point morph, hung on both hands through the soul.
TEST_F(Avatar, MorphTracksDriveMeshWeightsAndAHeldObjectClosesTheHand)
{
    wr_xox_mesh hand = quad_mesh("skin");
    hand.morphs = {uniform_morph("fist0", 0, -1, 0), uniform_morph("point0", 1, 0, 0)};
    ASSERT_TRUE(wr_xox_save("data/avatar/xox/hand_a.xox", &hand));
    ASSERT_TRUE(relink("hand = { a = { xox = 'hand_a' } }\ninhand = { cup = { xox = 'hand_a' } }\n"));
    soul_file("hands", "<part name='left_hand'><object group='hand' name='a'/></part>"
                       "<part name='right_hand'><object group='hand' name='a'/></part>");
    wr_xsx_anim point = rest();
    const float t[1] = {0}, half[1] = {0.5f}, one[1] = {1};
    wr_avatar_add_morph(&point, RIGHT_HAND, "point0", t, one, 1, WR_KEY_LINEAR);
    wr_avatar_add_morph(&point, LEFT_HAND, "POINT0", t, half, 1, WR_KEY_LINEAR);
    wr_avatar_add_morph(&point, LEFT_HAND, "fist0", t, one, 1, WR_KEY_LINEAR);
    avatar_anim_slot* s = pose("point", point);
    avatar* a = avatar_alloc(&GFX.avatars, "hands");
    ASSERT_NE(a, nullptr);
    avatar_load_parts(a);
    xox_mesh* left = a->base.part_bones[LEFT_HAND]->meshes[0];
    xox_mesh* right = a->base.part_bones[RIGHT_HAND]->meshes[0];
    ASSERT_TRUE(left && right);
    a->layers[0] = {0.5f, 0, s};
    a->layers[1] = {0.5f, 0, s};
    avatar_update(a);
    auto weights = [&](xox_mesh* m) { return std::vector<float>{m->weights[0].weight, m->weights[1].weight}; };
    EXPECT_EQ((std::vector<float>{0, 1}), weights(right)); // point: 1 x 0.5 from each layer
    EXPECT_EQ((std::vector<float>{1, 0.5f}), weights(left));
    EXPECT_FLOAT_EQ(right->weights[1].applied, 1.0f); // blended by the base update

    // Something in the right hand's fourth slot: only the fist, whatever the layers say.
    a->base.part_bones[RIGHT_HAND]->meshes[3] = xoxs_load(&GFX.xoxs, "data/avatar/xox/hand_a.xox");
    avatar_update(a);
    EXPECT_EQ((std::vector<float>{1, 0}), weights(right));
    EXPECT_EQ((std::vector<float>{1, 0}), weights(a->base.part_bones[RIGHT_HAND]->meshes[3]));
    EXPECT_EQ((std::vector<float>{1, 0.5f}), weights(left));
}

TEST_F(Avatar, PartsComeFromTheSoulThroughTheLinksRecolouredAndMirroredOnTheLeft)
{
    wr_xox_mesh ear = quad_mesh("skin");
    ASSERT_TRUE(wr_xox_save("data/avatar/xox/ear_big.xox", &ear));
    ASSERT_TRUE(relink("ear = { big = { xox = 'ear_big' } }\nhat = { none = { xox = 'missing' } }\n"));
    soul_file("eared", "<part name='left_ear'><object group='ear' name='big'/><object group='hat' name='none'/>"
                       "<object group='nosuch' name='big'/></part>"
                       "<part name='right_ear'><object/><object group='ear' name='unknown'/></part>"
                       "<surface name='skin' argb='0xFF102030' spec='80a0B0c0'/>");
    int32_t xsxs = GFX.xsxs.count, vtxs = D3D_BUFFERS.vtx_count;
    avatar* a = avatar_alloc(&GFX.avatars, "eared");
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(avatar_load_parts(a));
    xox_mesh** left = a->base.part_bones[LEFT_EAR]->meshes;
    xox_mesh** right = a->base.part_bones[RIGHT_EAR]->meshes;
    ASSERT_NE(left[0], nullptr);
    EXPECT_EQ(left[0]->mirrored, 1);
    // The document's colours, in the soul and on the mesh; spec is read as hexadecimal.
    const xox_material& m = left[0]->materials[0];
    EXPECT_EQ((std::vector<uint32_t>{0xFF102030, 0x80A0B0C0, 0x80A0B0C0}),
              (std::vector<uint32_t>{m.colour, a->soul->surfaces[0].spec, m.specular}));
    EXPECT_EQ(left[1], nullptr); // its mesh file is missing, and named on the log
    EXPECT_NE(errors().find("Failed to load xox mesh data/avatar/xox/missing.xox,\n"), std::string::npos);
    EXPECT_EQ(left[2], nullptr); // unknown group
    EXPECT_EQ(right[0], nullptr);
    ASSERT_NE(right[1], nullptr); // unknown entry name: the group's first entry
    EXPECT_EQ(right[1]->mirrored, 0);

    strcpy(a->soul->surfaces[0].name, "skin");
    a->soul->surfaces[0].argb = 0xFF405060;
    avatar_recolour(a);
    EXPECT_EQ(right[1]->materials[0].colour, 0xFF405060u);

    // Parts freed and loaded again, then the avatar freed, leave nothing behind.
    avatar_free_parts(a);
    EXPECT_EQ(GFX.xoxs.count, 0);
    avatar_load_parts(a);
    avatar_free(&GFX.avatars, a);
    EXPECT_EQ((std::vector<int32_t>{0, 0, xsxs, vtxs}),
              (std::vector<int32_t>{GFX.avatars.soul_count, GFX.xoxs.count, GFX.xsxs.count, D3D_BUFFERS.vtx_count}));
}

using Avatars = GfxTest;

static wr_xsx_bone bone(const char* name, uint32_t flags)
{
    wr_xsx_anim a = one_bone_anim(name, 0, 0, 0);
    a.bones[0].flags = flags;
    return a.bones[0];
}

TEST_F(Avatars, BonesFillPartsUnmarkedRightFirstMirroredOrLeftFirst)
{
    wr_xsx_anim a;
    a.bones = {bone("hand", 0), bone("hand", 1), bone("hand", 0), bone("left_foot", 0), bone("foot", 0),
               bone("head", 0), bone("data/head.001", 0), bone("right_eye", 1), bone("knee", 0)};
    ASSERT_TRUE(wr_xsx_save("data/avatar/xsx/test_map.xsx", &a));
    avatar_anim_slot slot = {};
    ASSERT_TRUE(avatar_anim_load(&slot, "test_map"));
    xsx_bone* b = slot.anim->bones;
    EXPECT_EQ(slot.part_bones[17], &b[0]); // first unmarked "hand": right
    EXPECT_EQ(slot.part_bones[11], &b[2]); // mirrored went left, then the third replaced it
    EXPECT_EQ(slot.part_bones[12], &b[3]); // "left_" prefix: left even unflagged
    EXPECT_EQ(slot.part_bones[18], &b[4]);
    EXPECT_EQ(slot.part_bones[6], &b[6]);  // single parts: the later bone wins
    EXPECT_EQ(slot.part_bones[13], &b[7]); // mirrored: left first, whatever the prefix says
    EXPECT_EQ(16, std::count(std::begin(slot.part_bones), std::end(slot.part_bones), nullptr)); // 6 mapped

    // Reloading clears the old bones, also when the new load fails.
    int32_t count = GFX.xsxs.count;
    EXPECT_FALSE(avatar_anim_load(&slot, "no_such_anim"));
    EXPECT_EQ(slot.anim, nullptr);
    EXPECT_EQ(22, std::count(std::begin(slot.part_bones), std::end(slot.part_bones), nullptr));
    EXPECT_EQ(GFX.xsxs.count, count - 1);
}

TEST_F(Avatars, MeshChoicesAreReadFromTheLinksScriptSkippingWhatIsNoEntry)
{
    std::string long_key(80, 'k');
    ASSERT_TRUE(relink(("head = { round = { xox = 'head_round', boi = '0.25', grl = 2 },"
                        "  bare = { boi = 1 }, [7] = { xox = 'seven' }, junk = 5,"
                        "  " + long_key + " = { xox = 'long' } }\n"
                        "foot = 'not a table'\n"
                        "unknown_group = { a = { xox = 'a' } }\n"
                        "hand = { a = { xox = 'h0' }, Default = { xox = 'h1' } }\n")
                           .c_str()));
    const avatar_group* groups = GFX.avatars.groups;
    EXPECT_EQ(groups[11].count, 4);
    EXPECT_EQ(groups[5].count, 0);
    const xox_link* round = avatars_find_xox_link(&groups[11], "ROUND");
    ASSERT_NE(round, nullptr);
    EXPECT_FLOAT_EQ(round->boi, 0.25f);
    EXPECT_FLOAT_EQ(round->grl, 2.0f);
    // Names are matched without case and cut to 63 characters; an unknown name gives the
    // "default" entry, or without one the group's first entry.
    std::string cut = long_key.substr(0, 63);
    struct {
        int group;
        const char* name;
        const char* xox;
    } cases[] = {
        {11, "ROUND", "head_round"}, {11, "bare", ""}, {11, "7", "seven"}, {11, cut.c_str(), "long"},
        {10, "nothing", "h1"}, {10, nullptr, "h1"}, {10, "A", "h0"},
    };
    for (const auto& c : cases) {
        const xox_link* l = avatars_find_xox_link(&groups[c.group], c.name);
        ASSERT_NE(l, nullptr) << c.xox;
        EXPECT_STREQ(l->xox, c.xox);
    }
    EXPECT_EQ(avatars_find_xox_link(&groups[11], "nothing"), &groups[11].entries[0]);
    EXPECT_EQ(avatars_find_xox_link(&groups[5], "anything"), nullptr);
}

// Lookups ignore ASCII case and give -1 for unknown or null names; the index lookups give
// null outside their tables. An unknown entry name takes the last "default" entry.
TEST(AvatarNames, LookupsIgnoreCaseRefuseUnknownNamesAndPickTheLastDefault)
{
    struct {
        int32_t (*find)(const char*);
        const char* name;
        int index;
    } finds[] = {
        {avatar_part_find, "LEFT_HAND", 11}, {avatar_part_find, "hand", -1}, {avatar_group_find, "Hair_Base", 7},
        {avatar_group_find, "", -1}, {avatar_bone_find, "EyeBall", 14}, {avatar_bone_find, "left_hand", -1},
        {avatar_surface_find, "SOLE", 16}, {avatar_anim_find, "Cycle_Quad_Run", 32}, {avatar_morph_find, "Fist0", 18},
        {avatar_morph_find, nullptr, -1}, {avatar_anim_find, nullptr, -1},
    };
    for (const auto& f : finds)
        EXPECT_EQ(f.find(f.name), f.index) << (f.name ? f.name : "null");
    EXPECT_STREQ(avatar_anim_name(0), "_base");
    EXPECT_STREQ(avatar_morph_name(21), "point5");
    EXPECT_EQ(avatar_anim_name(33), nullptr);
    EXPECT_EQ(avatar_anim_name(-1), nullptr);
    EXPECT_EQ(avatar_morph_name(22), nullptr);
    EXPECT_EQ(avatar_morph_name(-1), nullptr);

    xox_link links[4] = {{"first", "a", 0, 0}, {"Default", "b", 0, 0}, {"other", "c", 0, 0}, {"DEFAULT", "d", 0, 0}};
    avatar_group g = {"hat", 4, links};
    EXPECT_EQ(avatars_find_xox_link(&g, "unknown"), &links[3]);
    EXPECT_EQ(avatars_find_xox_link(&g, nullptr), &links[3]);
    EXPECT_EQ(avatars_find_xox_link(&g, "OTHER"), &links[2]);
}

TEST_F(Avatars, MissingOrBrokenLinksLeaveGroupsEmptyAndAMissingSharedAnimationFailsStartUp)
{
    ASSERT_TRUE(relink("head = { a = { xox = 'a' } }\nerror('broken')\n")); // what it made is kept
    EXPECT_EQ(GFX.avatars.groups[11].count, 1);
    std::filesystem::remove("local/avatar/xox_links.lua");
    gfx_clean(&GFX);
    ASSERT_TRUE(setup_gfx());
    EXPECT_EQ(GFX.avatars.groups[11].count, 0);

    // One missing shared animation fails start-up.
    gfx_clean(&GFX);
    std::filesystem::remove("data/avatar/xsx/cycle_quad_run.xsx");
    EXPECT_FALSE(setup_gfx());
    EXPECT_NE(errors().find("GFX.Avatars subsystem failed to initialize,\n"), std::string::npos);
}

namespace {

// Three grey (128) squares on the body bone, each with its own normal and depth. The body
// bone rests one unit up, so a mesh point (x, y, z) lands at world (87.5x, 87.5y - 6.25,
// 87.5z); on a 200-pixel render one pixel is one world unit, pixel (100 + wx, 100 - wy).
struct square {
    float x, y, z;    // mesh corner; each square is 0.4 on a side
    float nx, ny, nz; // normal of all four corners
};
const square SQUARES[3] = {
    {-0.8f, 0.2f, -1000 / 87.5f, 0, 0, -1}, // world z -1000: pixels 30-65 across, 54-89 down
    {0.4f, 0.2f, 1000 / 87.5f, -1, 0, 0},   // world z +1000: pixels 135-170, 54-89
    {-0.2f, -0.6f, 0, 0, 1, 0},             // pixels 82-118 across, 124-159 down
};

class AvatarRender : public Avatar {
protected:
    void SetUp() override
    {
        Avatar::SetUp();
        wr_xox_mesh body = quad_mesh("plain"); // no soul surface of that name: it stays grey
        body.vertices.clear();
        body.indices.clear();
        body.materials[0].strips.clear();
        for (const square& s : SQUARES) {
            static const float corners[4][2] = {{0, 0}, {0, 0.4f}, {0.4f, 0}, {0.4f, 0.4f}};
            for (const float* c : corners) {
                body.indices.push_back((uint16_t)body.vertices.size());
                body.vertices.push_back({s.x + c[0], s.y + c[1], s.z, s.nx, s.ny, s.nz, 0, 0});
            }
            body.materials[0].strips.push_back(4);
        }
        ASSERT_TRUE(wr_xox_save("data/avatar/xox/body_box.xox", &body));
        ASSERT_TRUE(relink("body = { box = { xox = 'body_box' } }\n"));
        soul_file("boxy", "<part name='body'><object group='body' name='box'/></part>");
        a = avatar_alloc(&GFX.avatars, "boxy");
        ASSERT_NE(a, nullptr);
        avatar_load_parts(a);
        a->layers[0] = {1, 0, &GFX.avatars.anims[1]};
        ilGenImages(1, &image);
        ilBindImage(image);
    }
    void TearDown() override
    {
        if (image) // SetUp makes it last
            ilDeleteImages(1, &image);
        d3d8_fault_clear();
        Avatar::TearDown();
    }
    // The picture's pixel (x, y), y counted from its top, as an ARGB word.
    uint32_t pixel(int x, int y)
    {
        int size = ilGetInteger(IL_IMAGE_WIDTH);
        const uint8_t* p = ilGetData() + ((size_t)(size - 1 - y) * size + x) * 4;
        return (uint32_t)p[3] << 24 | p[2] << 16 | p[1] << 8 | p[0];
    }
    avatar* a = nullptr;
    ILuint image = 0;
};

} // namespace

TEST_F(AvatarRender, PlacesTheAvatarAndLightsItFromItsOwnCameraAndLight)
{
    uint32_t live = d3d8_live_objects(D3DPOOL_DEFAULT);
    ASSERT_TRUE(avatar_render_image(a, 200));
    EXPECT_EQ(200, ilGetInteger(IL_IMAGE_HEIGHT));
    // Grey 128/255 lit by ambient 0x60 (0.376) plus the light's diffuse N.L, the light
    // shining along (1, -1, 2)/sqrt(6), so towards it is (-1, 1, -2)/sqrt(6):
    //   normal -z: N.L = 2/sqrt(6) = 0.816, (0.376 + 0.816) x 0.502 = 0.599 -> 153
    //   normal -x or +y: N.L = 1/sqrt(6) = 0.408, (0.376 + 0.408) x 0.502 = 0.394 -> 100
    // Depth is (z + 1024) / 2048: the squares at world z -1000 and +1000 show only while
    // the camera stands between 1000 and 1048 units away.
    struct {
        int x, y;
        uint32_t argb;
    } cases[] = {
        {47, 71, 0xFF999999},  // normal -z at z -1000
        {152, 71, 0xFF646464}, // normal -x at z +1000
        {100, 141, 0xFF646464}, {100, 126, 0xFF646464}, // normal +y, just inside its top edge
        {100, 121, 0},         // just above it: the transparent background
        {100, 20, 0}, {10, 190, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        EXPECT_COLOUR_NEAR(pixel(c.x, c.y), c.argb, 3);
    }
    // The placement stays on the avatar.
    EXPECT_FLOAT_EQ(-93.75f, a->base.anim->matrix.m[13]);
    // The device draws to the screen again.
    EXPECT_EQ(live, d3d8_live_objects(D3DPOOL_DEFAULT));
    EXPECT_TRUE(gfx_begin_scene(&GFX));
    gfx_end_scene(&GFX);
    EXPECT_EQ("", errors() + warnings());
}

// Every failed device call, the light's enable included, logs a check line of the render's
// own source and marks the device for a reset (D3DERR_INVALIDCALL is 0x8876086C: facility
// 0x876 = 2166, code 0x86C = 2156). The named failures stop the render with the bound image
// untouched; the others (the first format of the target, the light) do not.
TEST_F(AvatarRender, FailedCallsAreCheckedAndTheNamedFailuresLeaveTheImage)
{
    ilTexImage(3, 5, 1, 4, IL_BGRA, IL_UNSIGNED_BYTE, NULL);
    uint32_t before = d3d8_live_objects(D3DPOOL_DEFAULT);
    struct {
        d3d8_call call;
        uint32_t count;
        const char* message;
    } cases[] = {
        {D3D8_CALL_CreateRenderTarget, 2, "Failed to create render surface.\n"},
        {D3D8_CALL_CreateDepthStencilSurface, 1, "Failed to create depth surface.\n"},
        {D3D8_CALL_GetRenderTarget, 1, "Failed to get old render surface.\n"},
        {D3D8_CALL_GetDepthStencilSurface, 1, "Failed to get old depth surface.\n"},
        {D3D8_CALL_SurfaceLockRect, 1, "Failed to lock surface.\n"},
        {D3D8_CALL_CreateRenderTarget, 1, ""}, // only the first format: the one without alpha is used
        {D3D8_CALL_LightEnable, 1, ""},
    };
    for (const auto& c : cases) {
        size_t seen = errors().size();
        GFX.d3d_gfx.reset_flag = 0;
        d3d8_fault_set(c.call, D3DERR_INVALIDCALL, 0, c.count);
        EXPECT_EQ(avatar_render_image(a, 32), !*c.message) << c.message;
        d3d8_fault_clear();
        std::string log = errors().substr(seen);
        std::regex line("avatar_render\\.cpp\\(\\d+\\) : .*D3DCHECK\\*{4} 0x8876086c from:2166 code:2156 ");
        std::sregex_iterator lines(log.begin(), log.end(), line), end;
        EXPECT_EQ(c.count, (size_t)std::distance(lines, end)) << log;
        EXPECT_EQ(1, GFX.d3d_gfx.reset_flag) << log;
        EXPECT_NE(std::string::npos, warnings().find(c.message)) << c.message;
        EXPECT_EQ(*c.message ? 3 : 32, ilGetInteger(IL_IMAGE_WIDTH)) << c.message;
        EXPECT_EQ(before, d3d8_live_objects(D3DPOOL_DEFAULT)) << c.message;
    }
}
