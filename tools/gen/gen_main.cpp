// The installation generator's entry: dorvale_gen <data folder>. Builds run it to fill
// build/game/data; it exits non-zero when any file could not be made.

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "tools/gen/gen.h"

void gen_image_setup(gen_image* image, int w, int h)
{
    image->w = w;
    image->h = h;
    image->rgba.assign((size_t)w * h * 4, 0);
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s <data folder>\n", argv[0]);
        return 2;
    }
    std::string data = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(data + "/fonts", ec);
    std::filesystem::create_directories(data + "/debug", ec);
    if (ec) {
        fprintf(stderr, "dorvale_gen: cannot make folders under %s: %s\n", data.c_str(),
                ec.message().c_str());
        return 1;
    }
    bool ok = gen_fonts(data.c_str());
    ok = gen_debug_font(data.c_str()) && ok;
    ok = gen_avatars(data.c_str()) && ok;
    ok = gen_amaze(data.c_str()) && ok;
    ok = gen_amaze_items(data.c_str()) && ok;
    ok = gen_structor(data.c_str()) && ok;
    ok = gen_music(data.c_str()) && ok;
    return ok ? 0 : 1;
}
