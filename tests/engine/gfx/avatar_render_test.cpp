// Avatar render to image: what lands in the bound image (placement, transparent background,
// bottom-up rows), that the device gets its own surfaces back, and the failures that leave
// the image untouched.

#include "engine/code/gfx/avatar_render.h"

#include <IL/il.h>

#include <filesystem>
#include <fstream>

#include "engine/code/gfx/avatar.h"
#include "engine/code/gfx/gfx.h"
#include "platform/d3d8_debug.h"
#include "tests/engine/gfx/avatar_fixture.h"

namespace {

class AvatarRender : public GfxTest {
protected:
    void SetUp() override
    {
        GfxTest::SetUp();
        ilInit();
        std::filesystem::create_directories("local/avatar/soul");
        std::filesystem::create_directories("data/avatar/xox");
        // A white unit quad on the body bone, which rests one unit above the skeleton's origin.
        wr_xox_mesh body = quad_mesh("body");
        body.materials[0].colour = 0xFFFFFFFF;
        ASSERT_TRUE(wr_xox_save("data/avatar/xox/body_box.xox", &body));
        std::ofstream("local/avatar/xox_links.lua") << "body = { box = { xox = 'body_box' } }\n";
        std::ofstream("local/avatar/soul/boxy.xml")
            << "<soul><flavour><part name='body'><object group='body' name='box'/></part></flavour></soul>";
        gfx_clean(&GFX);
        ASSERT_TRUE(setup_gfx());
        a = avatar_alloc(&GFX.avatars, "boxy");
        ASSERT_NE(a, nullptr);
        avatar_load_parts(a);
        a->layers[0] = {1, 0, &GFX.avatars.anims[1]};
        ilGenImages(1, &image);
        ilBindImage(image);
    }
    void TearDown() override
    {
        ilDeleteImages(1, &image);
        d3d8_fault_clear();
        GfxTest::TearDown();
    }
    // The image's pixel at data row y (the picture's bottom row first), as an ARGB word.
    uint32_t pixel(int x, int y)
    {
        const uint8_t* p = ilGetData() + ((size_t)y * ilGetInteger(IL_IMAGE_WIDTH) + x) * 4;
        return (uint32_t)p[3] << 24 | p[2] << 16 | p[1] << 8 | p[0];
    }
    avatar* a = nullptr;
    ILuint image = 0;
};

} // namespace

TEST_F(AvatarRender, FillsTheBoundImageBottomRowFirstOnATransparentBackground)
{
    uint32_t live = d3d8_live_objects(D3DPOOL_DEFAULT);
    ASSERT_TRUE(avatar_render_image(a, 64));
    EXPECT_EQ(64, ilGetInteger(IL_IMAGE_WIDTH));
    EXPECT_EQ(64, ilGetInteger(IL_IMAGE_HEIGHT));
    EXPECT_EQ(IL_BGRA, ilGetInteger(IL_IMAGE_FORMAT));
    // The quad spans world x 0 to 87.5 and y -6.25 to 81.25 of the 200-unit square: pixels
    // 32 to 60 across and, counted from the picture's top, 6 to 34 down.
    const int top_down = 20, inside_x = 45;
    EXPECT_EQ(0xFFu, pixel(inside_x, 63 - top_down) >> 24);
    EXPECT_NE(0xFF000000u, pixel(inside_x, 63 - top_down)); // lit, not black
    EXPECT_EQ(0u, pixel(inside_x, top_down));               // the picture's lower half is empty
    EXPECT_EQ(0u, pixel(10, 63 - top_down));
    // The placement stays on the avatar.
    EXPECT_FLOAT_EQ(87.5f, a->base.anim->matrix.m[0]);
    EXPECT_FLOAT_EQ(-93.75f, a->base.anim->matrix.m[13]);
    // The device draws to the screen again.
    EXPECT_EQ(live, d3d8_live_objects(D3DPOOL_DEFAULT));
    EXPECT_TRUE(gfx_begin_scene(&GFX));
    gfx_end_scene(&GFX);
    EXPECT_EQ("", errors());
    EXPECT_EQ("", warnings());
}

TEST_F(AvatarRender, FailuresLeaveTheImageAndReleaseWhatWasTaken)
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
    };
    for (const auto& c : cases) {
        d3d8_fault_set(c.call, D3DERR_INVALIDCALL, 0, c.count);
        EXPECT_FALSE(avatar_render_image(a, 32)) << c.message;
        d3d8_fault_clear();
        EXPECT_NE(std::string::npos, warnings().find(c.message)) << c.message;
        EXPECT_EQ(3, ilGetInteger(IL_IMAGE_WIDTH)) << c.message;
        EXPECT_EQ(before, d3d8_live_objects(D3DPOOL_DEFAULT)) << c.message;
    }
    // Only the first format failing falls back to the one without alpha.
    d3d8_fault_set(D3D8_CALL_CreateRenderTarget, D3DERR_INVALIDCALL, 0, 1);
    EXPECT_TRUE(avatar_render_image(a, 32));
    EXPECT_EQ(32, ilGetInteger(IL_IMAGE_WIDTH));
}
