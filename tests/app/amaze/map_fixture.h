// The maze drawing tests' world: a real device in an offscreen window, GFX set up on it with
// the generated fonts, meshes and terrains, an amaze instance of the test's own whose parts
// the tests build, and helpers to write terrain images and read the frame back.
#pragma once

#include <IL/il.h>
#include <IL/ilu.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/code/amaze/amaze.h"
#include "app/code/hud/hud.h"
#include "app/code/input.h"
#include "app/code/main_state.h"
#include "engine/code/dbg.h"
#include "engine/code/files.h"
#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/gfx.h"
#include "platform/d3d8_debug.h"
#include "tests/harness/avatar_files.h"
#include "tests/harness/gl_window.h"
#include "tests/harness/harness.h"
#include "tools/writer/wr_image.h"

class MapTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::remove("ERROR.TXT");
        dbg_reset_for_tests();
        d3d8_fault_clear();
        memset(&GFX, 0, sizeof(GFX));
        memset(&D3D_BUFFERS, 0, sizeof(D3D_BUFFERS));
        memset(&INPUT, 0, sizeof(INPUT));
        memset(&HUD, 0, sizeof(HUD));
        kept_origin_set = ilIsEnabled(IL_ORIGIN_SET);
        kept_origin = ilGetInteger(IL_ORIGIN_MODE);
        kept_overwrite = ilIsEnabled(IL_FILE_OVERWRITE);
        harness_il_start();
        std::filesystem::create_directories("data/debug"); // the console's font, loaded at restore
        std::vector<uint8_t> font(128 * 128 * 4, 0xFF);
        wr_image_save("data/debug/debug8x8_font.png", 128, 128, 4, font.data());
        for (const char* sub : {"fonts", "objects", "amaze"}) {
            std::error_code ec;
            std::filesystem::create_symlink(std::string(DORVALE_GAME_DIR "/data/") + sub, std::string("data/") + sub, ec);
            ASSERT_FALSE(ec) << "data/" << sub << ": " << ec.message();
        }
        files_setup(&FILES);
        ASSERT_TRUE(harness_write_avatar_files());
        a.gfx = &GFX;
    }
    void TearDown() override
    {
        amaze_overlay_clean(&a.overlay);
        amaze_view_clean(&a.view);
        isomap_clean(&a.isomap);
        gfx_clean(&GFX);
        files_clean(&FILES);
        d3d8_fault_clear();
        gl_window_close(&win);
        // The shared records and settings the tests change, as the test found them.
        HUD = kept_hud;
        INPUT = kept_input;
        body_step = kept_body_step;
        (kept_origin_set ? ilEnable : ilDisable)(IL_ORIGIN_SET);
        if (kept_origin == IL_ORIGIN_LOWER_LEFT || kept_origin == IL_ORIGIN_UPPER_LEFT)
            ilOriginFunc((ILenum)kept_origin);
        (kept_overwrite ? ilEnable : ilDisable)(IL_FILE_OVERWRITE);
        dbg_reset_for_tests(); // the console's log hooks went with GFX
    }
    bool open(int w = 200, int h = 150) // GFX on a w x h window; false without GL
    {
        if (!gl_window_open(&win, w, h) || !gfx_setup(&GFX))
            return false;
        screen((float)w, (float)h);
        return true;
    }
    // The root's screen, the HUD's window and the instance's view size.
    void screen(float w, float h)
    {
        GFX.screen_width = (int32_t)w;
        GFX.screen_height = (int32_t)h;
        HUD.window_width = a.view_w = w;
        HUD.window_height = a.view_h = h;
    }
    static bool write_grey(const char* path, int w, int h, const std::vector<uint8_t>& grey)
    {
        return wr_image_save(path, w, h, 1, grey.data());
    }
    static std::string errors() { return harness_read_file("ERROR.TXT"); }
    uint32_t pixel(int x, int y) { return d3d8_read_pixel(GFX.d3d_gfx.device, x, y); } // ARGB
    bool begin(uint32_t clear = 0xFF000000) // clears and begins a scene; end() ends it
    {
        IDirect3DDevice8* d = GFX.d3d_gfx.device;
        IDirect3DDevice8_Clear(d, 0, NULL, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, clear, 1.0f, 0);
        return IDirect3DDevice8_BeginScene(d) == D3D_OK;
    }
    void end() { IDirect3DDevice8_EndScene(GFX.d3d_gfx.device); }

    gl_window win = {};
    amaze a = {};

private:
    // Taken as the fixture is made, before SetUp changes anything.
    const hud_subsystem kept_hud = HUD;
    const input_state kept_input = INPUT;
    const int32_t kept_body_step = body_step;
    ILboolean kept_origin_set = IL_FALSE, kept_overwrite = IL_FALSE;
    ILint kept_origin = 0;
};
