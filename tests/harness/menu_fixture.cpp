// The menu tests' installation.

#include "tests/harness/menu_fixture.h"

#include <filesystem>
#include <system_error>

bool menu_fixture_stage()
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
