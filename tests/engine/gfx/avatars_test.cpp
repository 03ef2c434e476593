// The avatar manager: the mapping of an animation's bones to parts, reading the mesh
// choices from xox_links.lua, choosing a mesh entry, and start-up failing without a shared
// animation.

#include "engine/code/gfx/avatars.h"

#include <cstdio>
#include <filesystem>
#include <string>

#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/xsx.h"
#include "tests/engine/gfx/avatar_fixture.h"
#include "tests/harness/harness.h"
#include "tools/writer/wr_avatar.h"

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
    int mapped = 0;
    for (xsx_bone* p : slot.part_bones)
        mapped += p != nullptr;
    EXPECT_EQ(mapped, 6);

    // Reloading clears the old bones, also when the new load fails.
    int32_t count = GFX.xsxs.count;
    EXPECT_FALSE(avatar_anim_load(&slot, "no_such_anim"));
    EXPECT_EQ(slot.anim, nullptr);
    for (xsx_bone* p : slot.part_bones)
        EXPECT_EQ(p, nullptr);
    EXPECT_EQ(GFX.xsxs.count, count - 1);
}

static void write_links(const char* text) { harness_write_file("local/avatar/xox_links.lua", text); }

TEST_F(Avatars, MeshChoicesAreReadFromTheLinksScriptSkippingWhatIsNoEntry)
{
    std::string long_key(80, 'k');
    write_links(("head = { round = { xox = 'head_round', boi = '0.25', grl = 2 },"
                 "  bare = { boi = 1 }, [7] = { xox = 'seven' }, junk = 5,"
                 "  " + long_key + " = { xox = 'long' } }\n"
                 "foot = 'not a table'\n"
                 "unknown_group = { a = { xox = 'a' } }\n"
                 "hand = { default = { xox = 'h1' } }\n")
                    .c_str());
    gfx_clean(&GFX);
    ASSERT_TRUE(setup_gfx());
    const avatars& m = GFX.avatars;
    EXPECT_EQ(m.groups[11].count, 4);
    EXPECT_EQ(m.groups[10].count, 1);
    EXPECT_EQ(m.groups[5].count, 0);
    const xox_link* round = avatars_find_xox_link(&m.groups[11], "ROUND");
    ASSERT_NE(round, nullptr);
    EXPECT_STREQ(round->xox, "head_round");
    EXPECT_FLOAT_EQ(round->boi, 0.25f);
    EXPECT_FLOAT_EQ(round->grl, 2.0f);
    const xox_link* bare = avatars_find_xox_link(&m.groups[11], "bare");
    ASSERT_NE(bare, nullptr);
    EXPECT_STREQ(bare->xox, "");
    EXPECT_EQ(bare->grl, 0.0f);
    const xox_link* seven = avatars_find_xox_link(&m.groups[11], "7");
    ASSERT_NE(seven, nullptr);
    EXPECT_STREQ(seven->xox, "seven");
    const xox_link* cut = avatars_find_xox_link(&m.groups[11], long_key.substr(0, 63).c_str());
    ASSERT_NE(cut, nullptr);
    EXPECT_STREQ(cut->xox, "long");
    // Unknown names without a "default" entry give the group's first entry.
    EXPECT_EQ(avatars_find_xox_link(&m.groups[11], "nothing"), &m.groups[11].entries[0]);
    EXPECT_EQ(avatars_find_xox_link(&m.groups[5], "anything"), nullptr);
}

TEST(AvatarNames, UnknownLinkNamesChooseTheLastDefault)
{
    xox_link links[4] = {{"first", "a", 0, 0}, {"Default", "b", 0, 0}, {"other", "c", 0, 0}, {"DEFAULT", "d", 0, 0}};
    avatar_group g = {"hat", 4, links};
    EXPECT_EQ(avatars_find_xox_link(&g, "unknown"), &links[3]);
    EXPECT_EQ(avatars_find_xox_link(&g, "OTHER"), &links[2]);
    EXPECT_EQ(avatars_find_xox_link(&g, nullptr), &links[3]);
}

TEST_F(Avatars, MissingOrBrokenLinksLeaveGroupsEmptyAndAMissingSharedAnimationFailsStartUp)
{
    write_links("head = { a = { xox = 'a' } }\nerror('broken')\n");
    gfx_clean(&GFX);
    ASSERT_TRUE(setup_gfx()); // what the script made before failing is kept
    EXPECT_EQ(GFX.avatars.groups[11].count, 1);
    std::filesystem::remove("local/avatar/xox_links.lua");
    gfx_clean(&GFX);
    ASSERT_TRUE(setup_gfx());
    EXPECT_EQ(GFX.avatars.link_count, 0);
    EXPECT_EQ(GFX.avatars.links, nullptr);

    // One missing shared animation fails start-up.
    gfx_clean(&GFX);
    std::filesystem::remove("data/avatar/xsx/cycle_quad_run.xsx");
    EXPECT_FALSE(setup_gfx());
    EXPECT_NE(errors().find("GFX.Avatars subsystem failed to initialize,\n"), std::string::npos);
}
