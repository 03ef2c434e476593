// Avatar data for tests that set up the whole graphics root.

#include "tests/harness/avatar_files.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "engine/code/gfx/avatar_names.h"
#include "tools/writer/wr_avatar.h"

bool harness_write_avatar_files()
{
    std::error_code ec;
    std::filesystem::create_directories("data/avatar/xsx", ec);
    std::filesystem::create_directories("local/avatar", ec);
    FILE* links = fopen("local/avatar/xox_links.lua", "w");
    if (!links)
        return false;
    fclose(links);
    wr_xsx_anim anim;
    wr_avatar_skeleton(&anim, 1.0f);
    for (int32_t i = 0; i < AVATAR_ANIM_COUNT; i++) {
        std::string path = std::string("data/avatar/xsx/") + avatar_anim_name(i) + ".xsx";
        if (!wr_xsx_save(path.c_str(), &anim))
            return false;
    }
    return true;
}
