// Avatar render to image: where the avatar lands and how it is lit, read back from the
// bound image (bottom row first, transparent background), that the device gets its own
// surfaces back, and the failures that leave the image untouched.

#include "engine/code/gfx/avatar_render.h"

#include <IL/il.h>

#include <filesystem>
#include <fstream>

#include "engine/code/gfx/avatar.h"
#include "engine/code/gfx/gfx.h"
#include "platform/d3d8_debug.h"
#include "tests/engine/gfx/avatar_fixture.h"

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

class AvatarRender : public GfxTest {
protected:
    void SetUp() override
    {
        GfxTest::SetUp();
        std::filesystem::create_directories("local/avatar/soul");
        std::filesystem::create_directories("data/avatar/xox");
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
    EXPECT_EQ(IL_BGRA, ilGetInteger(IL_IMAGE_FORMAT));
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
