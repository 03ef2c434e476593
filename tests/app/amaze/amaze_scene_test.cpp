// The installed terrains drawn as the state draws them (camera, map, overlay), read back.
#include <set>

#include "engine/code/gfx/gfx.h"
#include "tests/app/amaze/map_fixture.h"

namespace {

TEST_F(MapTest, InstalledTerrainsDrawAsCheckerboardsOfLitGreys)
{
    ASSERT_TRUE(open(400, 300)) << "no GL context";
    isomap_setup(&a.isomap, &a);
    ASSERT_TRUE(amaze_view_setup(&a.view, &a));
    ASSERT_TRUE(amaze_overlay_setup(&a.overlay, &a));
    for (int i = 1; i <= 3; i++) {
        std::string map = "data/amaze/basic/map" + std::to_string(i) + ".png";
        ASSERT_TRUE(isomap_load(&a.isomap, map.c_str())) << map;
        amaze_view_update(&a.view);
        ASSERT_TRUE(begin(0xFF000080));
        amaze_view_draw(&a.view);
        mat4 identity = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
        IDirect3DDevice8_SetTransform(GFX.d3d_gfx.device, D3DTS_WORLD, (const D3DMATRIX*)&identity);
        isomap_draw(&a.isomap);
        amaze_overlay_draw(&a.overlay);
        end();
        save_frame(("terrain" + std::to_string(i) + ".png").c_str());
        // The map covers the middle of the screen in lit greys, neither black nor white.
        std::set<uint32_t> greys;
        for (int y = 100; y < 200; y += 2)
            for (int x = 120; x < 280; x += 2) {
                uint32_t c = pixel(x, y) & 0xFFFFFF, r = c >> 16;
                ASSERT_TRUE(c == r * 0x010101 && r > 0x08 && r < 0xC0) << map << std::hex << " 0x" << c;
                greys.insert(r);
            }
        EXPECT_GE(greys.size(), 2u) << map;
    }
    EXPECT_EQ("", errors());
}

} // namespace
