// The installed terrains drawn as the state draws them: camera, map, overlay; read back.
#include <map>

#include "app/code/amaze/amaze.h"
#include "engine/code/gfx/gfx.h"
#include "tests/app/amaze/map_fixture.h"

namespace {

struct Scene : MapTest {
    void SetUp() override
    {
        MapTest::SetUp();
        ASSERT_TRUE(open(400, 300)) << "no GL context";
        isomap_setup(&a.isomap, &a);
        ASSERT_TRUE(amaze_view_setup(&a.view, &a));
        ASSERT_TRUE(amaze_overlay_setup(&a.overlay, &a));
    }
    void draw()
    {
        amaze_view_update(&a.view);
        ASSERT_TRUE(begin(0xFF000080));
        amaze_view_draw(&a.view);
        mat4 identity = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
        IDirect3DDevice8_SetTransform(GFX.d3d_gfx.device, D3DTS_WORLD, (const D3DMATRIX*)&identity);
        isomap_draw(&a.isomap);
        amaze_overlay_draw(&a.overlay);
        end();
    }
    // Distinct grey levels among the pixels of the middle of the screen.
    std::map<uint32_t, int> greys()
    {
        std::map<uint32_t, int> seen;
        for (int y = 100; y < 200; y += 2)
            for (int x = 120; x < 280; x += 2) {
                uint32_t c = pixel(x, y) & 0xFFFFFF;
                uint32_t r = c >> 16, g = (c >> 8) & 0xFF, b = c & 0xFF;
                if (r == g && g == b)
                    seen[r]++;
            }
        return seen;
    }
};

TEST_F(Scene, InstalledTerrainsDrawAsCheckerboardsOfTwoLitGreys)
{
    const char* maps[] = {"data/amaze/basic/map1.png", "data/amaze/basic/map2.png", "data/amaze/basic/map3.png"};
    for (int i = 0; i < 3; i++) {
        ASSERT_TRUE(isomap_load(&a.isomap, maps[i])) << maps[i];
        EXPECT_GE(a.isomap.cells_x, 16);
        draw();
        std::string name = "terrain" + std::to_string(i + 1) + ".png";
        save_frame(name.c_str());
        // The map covers the middle of the screen: no background there.
        int background = 0;
        for (int y = 100; y < 200; y += 4)
            for (int x = 120; x < 280; x += 4)
                background += (pixel(x, y) & 0xFFFFFF) == 0x000080;
        EXPECT_EQ(0, background) << maps[i];
        // Lit grey shades: more than one (two materials, slopes), none black or white.
        std::map<uint32_t, int> seen = greys();
        EXPECT_GE(seen.size(), 2u) << maps[i];
        for (auto& s : seen) {
            EXPECT_GT(s.first, 0x08u) << maps[i];
            EXPECT_LT(s.first, 0xC0u) << maps[i];
        }
    }
    EXPECT_EQ("", errors());
}

} // namespace
