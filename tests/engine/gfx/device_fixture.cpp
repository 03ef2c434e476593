// The graphics tests' device fixture.

#include "tests/engine/gfx/device_fixture.h"

#include <IL/il.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "app/code/opt.h"
#include "engine/code/dbg.h"
#include "engine/code/files.h"
#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/gfx.h"
#include "platform/d3d8_debug.h"
#include "tests/harness/avatar_files.h"
#include "tests/harness/harness.h"

void DeviceTest::SetUp()
{
    std::remove("ERROR.TXT");
    std::remove("WARN.TXT");
    dbg_reset_for_tests();
    d3d8_fault_clear();
    d3d8_log_stop();
    d3d8_set_texture_pitch_pad(0);
    memset(&GFX, 0, sizeof(GFX));
    memset(&D3D_BUFFERS, 0, sizeof(D3D_BUFFERS));
    memset(&OPT, 0, sizeof(OPT));
    harness_il_start();
    // The console loads its font at every restore.
    std::filesystem::create_directories("data/debug");
    static uint8_t font[128 * 128 * 4];
    memset(font, 0xFF, sizeof(font));
    write_image("data/debug/debug8x8_font.png", 128, 128, 4, font);
    // The text fonts are required at start-up: the ones the build generated.
    std::error_code exists; // a test earlier in this process made it already
    std::filesystem::create_symlink(DORVALE_GAME_DIR "/data/fonts", "data/fonts", exists);
    // The avatar manager loads the shared animations through FILES.
    files_setup(&FILES);
    ASSERT_TRUE(harness_write_avatar_files());
    ASSERT_TRUE(gl_window_open(&win, 64, 48)) << "no GL context";
}

void DeviceTest::TearDown()
{
    gfx_clean(&GFX);
    files_clean(&FILES);
    d3d8_fault_clear();
    d3d8_log_stop();
    d3d8_set_texture_pitch_pad(0);
    gl_window_close(&win);
    // The roots SetUp zeroed go back to zero, as a program starts with them, and the log
    // loses the console's hooks, so no later test reaches a console that is gone.
    memset(&GFX, 0, sizeof(GFX));
    memset(&D3D_BUFFERS, 0, sizeof(D3D_BUFFERS));
    memset(&OPT, 0, sizeof(OPT));
    dbg_reset_for_tests();
}

bool DeviceTest::setup_gfx() { return gfx_setup(&GFX); }

IDirect3DDevice8* DeviceTest::device() { return GFX.d3d_gfx.device; }

std::string DeviceTest::errors() { return harness_read_file("ERROR.TXT"); }
std::string DeviceTest::warnings() { return harness_read_file("WARN.TXT"); }

bool DeviceTest::write_image(const char* path, int w, int h, int channels, const uint8_t* pixels)
{
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    bool ok = ilTexImage((ILuint)w, (ILuint)h, 1, (ILubyte)channels, channels == 1 ? IL_LUMINANCE : IL_BGRA,
                         IL_UNSIGNED_BYTE, (void*)pixels);
    ilRegisterOrigin(IL_ORIGIN_UPPER_LEFT); // the rows given are top first
    ok = ok && ilSaveImage(path);
    ilDeleteImages(1, &image);
    while (ilGetError() != IL_NO_ERROR) {
    }
    return ok;
}

wr_xox_mesh quad_mesh(const char* material)
{
    wr_xox_mesh m;
    const float xy[4][2] = {{0, 0}, {0, 1}, {1, 0}, {1, 1}};
    for (auto& p : xy)
        m.vertices.push_back({p[0], p[1], 0, 0, 0, -1, p[0], p[1]});
    m.indices = {0, 1, 2, 3};
    wr_xox_material mat;
    mat.name = material;
    mat.colour = 0xFF808080;
    mat.strips = {4};
    m.materials.push_back(mat);
    return m;
}

wr_xox_morph uniform_morph(const char* name, float dx, float dy, float dz, float dnx, float dny, float dnz)
{
    wr_xox_morph mo;
    mo.name = name;
    for (int i = 0; i < 4; i++)
        mo.deltas.insert(mo.deltas.end(), {dx, dy, dz, dnx, dny, dnz});
    return mo;
}

wr_xsx_anim one_bone_anim(const char* name, float x, float y, float z)
{
    static const char* const names[9] = {"px", "py", "pz", "ry", "rx", "rz", "sx", "sy", "sz"};
    const float values[9] = {x, y, z, 0, 0, 0, 1, 1, 1};
    wr_xsx_anim a;
    wr_xsx_bone b;
    b.name = name;
    for (int k = 0; k < 9; k++) {
        wr_xsx_track t;
        t.name = names[k];
        t.keys.push_back({0, values[k]});
        b.tracks.push_back(t);
    }
    a.bones.push_back(b);
    return a;
}

void GfxTest::SetUp()
{
    DeviceTest::SetUp();
    ASSERT_TRUE(setup_gfx());
}
