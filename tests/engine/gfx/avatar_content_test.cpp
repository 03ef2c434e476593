// The installation's generated avatar content as the program meets it: the two souls load
// their part meshes, and the avatar rendered as the editor renders it stands as a figure in
// the middle of the picture, head above feet, in every pose.

#include <IL/il.h>

#include <algorithm>
#include <filesystem>

#include "engine/code/gfx/avatar.h"
#include "engine/code/gfx/avatar_render.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/soul.h"
#include "engine/code/gfx/xsx.h"
#include "tests/engine/gfx/device_fixture.h"

static const int SIZE = 160;

class AvatarContent : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        namespace fs = std::filesystem;
        fs::remove_all("data/avatar");
        fs::remove_all("local/avatar");
        fs::create_directories("local");
        // Copies, not links: the fixture writes its own avatar files into this folder.
        fs::copy(DORVALE_GAME_DIR "/data/avatar", "data/avatar", fs::copy_options::recursive);
        fs::copy(DORVALE_GAME_DIR "/local/avatar", "local/avatar", fs::copy_options::recursive);
        ASSERT_TRUE(setup_gfx());
        ilGenImages(1, &image);
        ilBindImage(image);
    }
    void TearDown() override
    {
        ilDeleteImages(1, &image);
        DeviceTest::TearDown();
    }

    // Renders the avatar as the editor does and finds the rows (0 at the picture's top) and
    // columns that the figure covers: every pixel that is not the transparent background.
    void render(avatar* a, int* top, int* bottom, int* left, int* right)
    {
        *top = SIZE, *bottom = -1, *left = SIZE, *right = -1;
        ASSERT_TRUE(avatar_render_image(a, SIZE));
        const uint32_t* data = (const uint32_t*)ilGetData();
        for (int y = 0; y < SIZE; y++)
            for (int x = 0; x < SIZE; x++)
                if (data[(SIZE - 1 - y) * SIZE + x] != 0) {
                    *top = std::min(*top, y);
                    *bottom = std::max(*bottom, y);
                    *left = std::min(*left, x);
                    *right = std::max(*right, x);
                }
    }
    ILuint image = 0;
};

TEST_F(AvatarContent, BothSoulsDressAFigureThatStandsInThePictureInEveryPose)
{
    for (const char* name : {"me", "tovin"}) {
        avatar* a = avatar_alloc(&GFX.avatars, name);
        ASSERT_NE(a, nullptr);
        ASSERT_NE(a->soul, nullptr) << name;
        avatar_load_parts(a);
        int meshes = 0;
        for (xsx_bone* b : a->base.part_bones)
            for (xox_mesh* m : b->meshes)
                meshes += m != nullptr;
        EXPECT_GE(meshes, 15) << name;
        a->layers[0] = {1, 0, &GFX.avatars.anims[1]}; // pose_idle
        int top, bottom, left, right;
        render(a, &top, &bottom, &left, &right);
        // About 2 units tall from y -93.75 at a scale of 87.5: the feet near the bottom edge,
        // the head well above the middle, centred across.
        EXPECT_GE(bottom, SIZE * 94 / 100) << name;
        EXPECT_LE(top, SIZE * 12 / 100) << name;
        EXPECT_GE(top, 0) << name;
        EXPECT_NEAR((left + right) / 2, SIZE / 2, SIZE / 10) << name;
        for (int i = 0; name[0] == 'm' && i < AVATAR_ANIM_COUNT; i++) {
            avatar_anim_slot* slot = &GFX.avatars.anims[i];
            a->layers[0] = {1, xsx_length(slot->anim) * 0.3f, slot};
            render(a, &top, &bottom, &left, &right);
            EXPECT_GT(bottom - top, SIZE / 4) << avatar_anim_name(i);
            EXPECT_GT(right - left, SIZE / 12) << avatar_anim_name(i);
        }
        avatar_free(&GFX.avatars, a);
    }
    EXPECT_EQ(errors() + warnings(), "");
}
