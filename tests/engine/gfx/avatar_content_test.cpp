// The installation's generated avatar content as the program meets it: every shared
// animation loads with a bone for each part, the two souls load their part meshes, and the
// avatar drawn through the editor's render camera stands as a figure in the middle of the
// picture, head above feet, in every pose.

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/code/gfx/avatar.h"
#include "engine/code/gfx/d3d_state.h"
#include "engine/code/gfx/gfx.h"
#include "engine/code/gfx/soul.h"
#include "engine/code/gfx/xox.h"
#include "engine/code/gfx/xsx.h"
#include "platform/d3d8_debug.h"
#include "tests/engine/gfx/device_fixture.h"

static const int SIZE = 160;
static const D3DCOLOR BACKGROUND = 0xFF000080;

class AvatarContent : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        gl_window_close(&win);
        ASSERT_TRUE(gl_window_open(&win, SIZE, SIZE));
        namespace fs = std::filesystem;
        fs::remove_all("data/avatar");
        fs::remove_all("local/avatar");
        fs::create_directories("local");
        // Copies, not links: the fixture writes its own avatar files into this folder.
        fs::copy(DORVALE_GAME_DIR "/data/avatar", "data/avatar", fs::copy_options::recursive);
        fs::copy(DORVALE_GAME_DIR "/local/avatar", "local/avatar", fs::copy_options::recursive);
        ASSERT_TRUE(setup_gfx());
    }

    // Draws the avatar as the editor's renders place it: x and y from -100 to 100.
    void render(avatar* a)
    {
        avatar_update(a);
        transform place = {{0, -93.75f, 0}, {0, 0, 0, 1}, {87.5f, 87.5f, 87.5f}};
        mat4_from_transform(&a->base.anim->matrix, &place);
        ASSERT_TRUE(gfx_begin_scene(&GFX));
        IDirect3DDevice8* d = device();
        gfx_set_zwrite(&GFX, true);
        gfx_set_ambient(&GFX, 0xFF606060);
        D3DMATRIX view = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 1024, 1}}};
        D3DMATRIX proj = {{{0.01f, 0, 0, 0}, {0, 0.01f, 0, 0}, {0, 0, 1 / 2048.0f, 0}, {0, 0, 0, 1}}};
        IDirect3DDevice8_SetTransform(d, D3DTS_VIEW, &view);
        IDirect3DDevice8_SetTransform(d, D3DTS_PROJECTION, &proj);
        D3DLIGHT8 light = {};
        light.Type = D3DLIGHT_DIRECTIONAL;
        light.Diffuse = {1, 1, 1, 1};
        light.Specular = {1, 1, 1, 1};
        light.Ambient = {0, 0, 0, 1};
        float s = sqrtf(6);
        light.Direction = {1 / s, -1 / s, 2 / s};
        IDirect3DDevice8_SetLight(d, 0, &light);
        IDirect3DDevice8_LightEnable(d, 0, TRUE);
        avatar_draw(a);
        pixels.assign(SIZE * SIZE, 0);
        for (int y = 0; y < SIZE; y++)
            for (int x = 0; x < SIZE; x++)
                pixels[y * SIZE + x] = d3d8_read_pixel(d, x, y);
        gfx_end_scene(&GFX);
    }

    // Rows of the picture (0 at the top) that the figure covers.
    void covered_rows(int* top, int* bottom, int* left, int* right) const
    {
        *top = SIZE, *bottom = -1, *left = SIZE, *right = -1;
        for (int y = 0; y < SIZE; y++)
            for (int x = 0; x < SIZE; x++)
                if (pixels[y * SIZE + x] != BACKGROUND) {
                    *top = std::min(*top, y);
                    *bottom = std::max(*bottom, y);
                    *left = std::min(*left, x);
                    *right = std::max(*right, x);
                }
    }

    std::vector<D3DCOLOR> pixels;
};

TEST_F(AvatarContent, EverySharedAnimationMovesEveryPart)
{
    for (int i = 0; i < AVATAR_ANIM_COUNT; i++) {
        const avatar_anim_slot& s = GFX.avatars.anims[i];
        ASSERT_NE(s.anim, nullptr) << avatar_anim_name(i);
        EXPECT_GT(xsx_length(s.anim), 0.0f) << avatar_anim_name(i);
        for (int p = 0; p < AVATAR_PART_COUNT; p++)
            EXPECT_NE(s.part_bones[p], nullptr) << avatar_anim_name(i) << " " << avatar_part_name(p);
    }
    // The base pose stands at full size.
    xsx_anim* base = GFX.avatars.anims[0].anim;
    xsx_animate(base);
    for (uint32_t b = 0; b < base->bone_count; b++)
        EXPECT_EQ(base->bones[b].transform.scale.y, 1.0f);
    // Every group offers at least two meshes, and each of them loads.
    for (int g = 0; g < AVATAR_GROUP_COUNT; g++) {
        const avatar_group& group = GFX.avatars.groups[g];
        EXPECT_GE(group.count, 2) << group.name;
        for (int e = 0; e < group.count; e++) {
            std::string path = std::string("data/avatar/xox/") + group.entries[e].xox + ".xox";
            xox_mesh* mesh = xoxs_load(&GFX.xoxs, path.c_str());
            EXPECT_NE(mesh, nullptr) << path;
            xox_free(mesh);
        }
    }
}

TEST_F(AvatarContent, BothSoulsDressAFigureThatStandsInThePicture)
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
        render(a);
        int top, bottom, left, right;
        covered_rows(&top, &bottom, &left, &right);
        // About 2 units tall from y -93.75 at a scale of 87.5: the feet near the bottom edge,
        // the head well above the middle, centred across.
        EXPECT_GE(bottom, SIZE * 94 / 100) << name;
        EXPECT_LE(top, SIZE * 12 / 100) << name;
        EXPECT_GE(top, 0) << name;
        EXPECT_NEAR((left + right) / 2, SIZE / 2, SIZE / 10) << name;
        avatar_free(&GFX.avatars, a);
    }
    EXPECT_EQ(errors(), "");
}

TEST_F(AvatarContent, EveryPoseDrawsAFigure)
{
    avatar* a = avatar_alloc(&GFX.avatars, "me");
    ASSERT_NE(a, nullptr);
    avatar_load_parts(a);
    for (int i = 0; i < AVATAR_ANIM_COUNT; i++) {
        avatar_anim_slot* slot = &GFX.avatars.anims[i];
        a->layers[0] = {1, xsx_length(slot->anim) * 0.3f, slot};
        render(a);
        int top, bottom, left, right;
        covered_rows(&top, &bottom, &left, &right);
        EXPECT_GT(bottom - top, SIZE / 4) << avatar_anim_name(i);
        EXPECT_GT(right - left, SIZE / 12) << avatar_anim_name(i);
    }
}
