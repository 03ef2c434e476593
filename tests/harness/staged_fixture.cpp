// The installation staged into the working folder, and the device and Lua world set up on it.

#include "tests/harness/staged_fixture.h"

#include <IL/il.h>
#include <IL/ilu.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "app/code/con.h"
#include "app/code/hud/hud.h"
#include "app/code/input.h"
#include "app/code/main_state.h"
#include "engine/code/dbg.h"
#include "engine/code/files.h"
#include "engine/code/gfx/d3d_buffers.h"
#include "engine/code/gfx/gfx.h"

bool staged_fixture_stage()
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const auto how = fs::copy_options::recursive | fs::copy_options::overwrite_existing;
    fs::copy(DORVALE_GAME_DIR "/data", "data", how, ec);
    if (ec)
        return false;
    fs::copy(DORVALE_SOURCE_DIR "/local", "local", how, ec);
    return !ec;
}

void StagedFixture::staged_open(bool postsetup)
{
    std::remove("ERROR.TXT");
    dbg_reset_for_tests();
    memset(&GFX, 0, sizeof GFX);
    memset(&D3D_BUFFERS, 0, sizeof D3D_BUFFERS);
    memset(&HUD, 0, sizeof HUD);
    memset(&INPUT, 0, sizeof INPUT);
    input_state_setup(&INPUT);
    ilInit();
    iluInit();
    ASSERT_TRUE(staged_fixture_stage());
    files_setup(&FILES);
    ASSERT_TRUE(gl_window_open(&win, 800, 600));
    ASSERT_TRUE(gfx_setup(&GFX));
    HUD.root = &GFX;
    ASSERT_TRUE(hud_setup_pools(&HUD));
    ASSERT_TRUE(con_setup(&CON));
    if (postsetup) {
        ASSERT_TRUE(con_postsetup(&CON));
    }
}

void StagedFixture::staged_close()
{
    con_close(&CON);
    hud_clean(&HUD);
    gfx_clean(&GFX);
    files_clean(&FILES);
    gl_window_close(&win);
    main_state_curr = main_state_next = NULL;
    dbg_reset_for_tests();
}
