// The maze drawing tests' world.

#include "tests/app/amaze/map_fixture.h"

#include <IL/il.h>
#include <IL/ilu.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "app/code/hud/hud.h"
#include "app/code/input.h"
#include "engine/code/dbg.h"
#include "engine/code/files.h"
#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/gfx.h"
#include "platform/d3d8_debug.h"
#include "tests/harness/avatar_files.h"
#include "tests/harness/harness.h"
#include "tools/writer/wr_image.h"

void MapTest::SetUp()
{
    std::remove("ERROR.TXT");
    dbg_reset_for_tests();
    d3d8_fault_clear();
    memset(&GFX, 0, sizeof(GFX));
    memset(&D3D_BUFFERS, 0, sizeof(D3D_BUFFERS));
    memset(&INPUT, 0, sizeof(INPUT));
    memset(&HUD, 0, sizeof(HUD));
    ilInit();
    iluInit();
    ilEnable(IL_ORIGIN_SET);
    ilOriginFunc(IL_ORIGIN_UPPER_LEFT);
    ilEnable(IL_FILE_OVERWRITE);
    std::filesystem::create_directories("data/debug"); // the console's font, loaded at restore
    std::vector<uint8_t> font(128 * 128 * 4, 0xFF);
    wr_image_save("data/debug/debug8x8_font.png", 128, 128, 4, font.data());
    std::error_code exists;
    for (const char* sub : {"fonts", "objects", "amaze"})
        std::filesystem::create_symlink(std::string(DORVALE_GAME_DIR "/data/") + sub, std::string("data/") + sub,
                                        exists);
    files_setup(&FILES);
    ASSERT_TRUE(harness_write_avatar_files());
    a.gfx = &GFX;
}

void MapTest::TearDown()
{
    amaze_overlay_clean(&a.overlay);
    amaze_view_clean(&a.view);
    isomap_clean(&a.isomap);
    gfx_clean(&GFX);
    files_clean(&FILES);
    d3d8_fault_clear();
    gl_window_close(&win);
}

bool MapTest::open(int w, int h)
{
    if (!gl_window_open(&win, w, h) || !gfx_setup(&GFX))
        return false;
    screen((float)w, (float)h);
    return true;
}

void MapTest::screen(float w, float h)
{
    GFX.screen_width = (int32_t)w;
    GFX.screen_height = (int32_t)h;
    HUD.window_width = a.view_w = w;
    HUD.window_height = a.view_h = h;
}

bool MapTest::write_grey(const char* path, int w, int h, const std::vector<uint8_t>& grey)
{
    return wr_image_save(path, w, h, 1, grey.data());
}

std::string MapTest::errors() { return harness_read_file("ERROR.TXT"); }

uint32_t MapTest::pixel(int x, int y) { return d3d8_read_pixel(GFX.d3d_gfx.device, x, y); }

bool MapTest::begin(uint32_t clear)
{
    IDirect3DDevice8* d = GFX.d3d_gfx.device;
    IDirect3DDevice8_Clear(d, 0, NULL, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, clear, 1.0f, 0);
    return IDirect3DDevice8_BeginScene(d) == D3D_OK;
}

void MapTest::end() { IDirect3DDevice8_EndScene(GFX.d3d_gfx.device); }
