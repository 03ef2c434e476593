// Installation pieces the menu tests need.

#include "tests/app/menu_fixture.h"

#include <filesystem>
#include <system_error>

#include "tools/writer/wr_mesh.h"

bool menu_fixture_write_logo()
{
    wr_xox_mesh mesh;
    mesh.vertices = {{-1, -1, 0, 0, 0, -1, 0, 0}, {-1, 1, 0, 0, 0, -1, 0, 1},
                     {1, -1, 0, 0, 0, -1, 1, 0}, {1, 1, 0, 0, 0, -1, 1, 1}};
    mesh.indices = {0, 1, 2, 3};
    wr_xox_material m;
    m.name = "logo";
    m.colour = 0xFFE0A020;
    m.strips = {4};
    mesh.materials.push_back(m);
    std::error_code ec;
    std::filesystem::create_directories("data/logos/xox", ec);
    return wr_xox_save("data/logos/xox/qem.xox", &mesh);
}

bool menu_fixture_stage()
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const auto how = fs::copy_options::recursive | fs::copy_options::overwrite_existing;
    fs::copy(DORVALE_GAME_DIR "/data", "data", how, ec);
    if (ec)
        return false;
    fs::copy(DORVALE_SOURCE_DIR "/local", "local", how, ec);
    if (ec)
        return false;
    return true;
}
