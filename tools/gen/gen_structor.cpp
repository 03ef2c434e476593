// Generated structor content: the ball mesh, the picture of the wall ramps (opaque stone on a
// transparent ground, so only the stone becomes walls when a brush stamps it) and the
// cut-map document that takes the whole picture as one layer.

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "tools/gen/gen.h"
#include "tools/gen/gen_shapes.h"
#include "tools/writer/wr_buf.h"
#include "tools/writer/wr_image.h"

static bool ball(const std::string& data)
{
    gen_mesh g;
    gen_mesh_material(&g, "ball", 0xFFD04030, 0xFFFFFFFF, 0.3f);
    gen_mesh_ellipsoid(&g, {0, 0, 0}, {0.5f, 0.5f, 0.5f}, 16, 10);
    // A band round the middle and a cap show the ball rolling.
    gen_mesh_material(&g, "band", 0xFFF0F0E0);
    gen_mesh_ellipsoid(&g, {0, 0, 0}, {0.505f, 0.12f, 0.505f}, 16, 4);
    gen_mesh_ellipsoid(&g, {0, 0, -0.46f}, {0.16f, 0.16f, 0.06f}, 10, 4);
    return gen_mesh_save(&g, (data + "/objects/xox/aball.xox").c_str());
}

// A thick bar of stone from (x0, y0) to (x1, y1), in pixels.
static void bar(gen_image* img, float x0, float y0, float x1, float y1, float half_width)
{
    float dx = x1 - x0, dy = y1 - y0, len2 = dx * dx + dy * dy;
    for (int y = 0; y < img->h; y++)
        for (int x = 0; x < img->w; x++) {
            float t = ((x + 0.5f - x0) * dx + (y + 0.5f - y0) * dy) / len2;
            t = t < 0 ? 0 : t > 1 ? 1 : t;
            float ex = x0 + t * dx - (x + 0.5f), ey = y0 + t * dy - (y + 0.5f);
            if (ex * ex + ey * ey > half_width * half_width)
                continue;
            uint8_t* p = gen_image_pixel(img, x, y);
            uint8_t shade = (uint8_t)(96 + ((x * 7 + y * 13) % 5) * 8);
            p[0] = shade;
            p[1] = (uint8_t)(shade * 3 / 4);
            p[2] = (uint8_t)(shade / 2);
            p[3] = 255;
        }
}

static bool ramps(const std::string& data)
{
    gen_image img;
    gen_image_setup(&img, 128, 128);
    bar(&img, 0, 20, 100, 52, 3.5f);
    bar(&img, 128, 70, 30, 96, 3.5f);
    bar(&img, 10, 112, 60, 124, 3.5f);
    bar(&img, 60, 124, 70, 108, 3.5f);
    return wr_image_save((data + "/cuts/structor_ramps.png").c_str(), img.w, img.h, 4, img.rgba.data());
}

static bool cut_map(const std::string& data)
{
    static const char doc[] =
        "<cutmap version=\"1\" w=\"128\" h=\"128\" d=\"1\">\n"
        "  <layer>\n"
        "    <source name=\"structor_ramps.png\">\n"
        "      <c>0 128 128 0 0 0 0</c>\n"
        "    </source>\n"
        "  </layer>\n"
        "</cutmap>\n";
    wr_buf b;
    wr_buf_bytes(&b, doc, strlen(doc));
    return wr_buf_save(&b, (data + "/structor/ramps.xml").c_str());
}

bool gen_structor(const char* data_dir)
{
    std::string data = data_dir;
    std::error_code ec;
    for (const char* sub : {"/objects/xox", "/cuts", "/structor"})
        std::filesystem::create_directories(data + sub, ec);
    if (ec) {
        fprintf(stderr, "dorvale_gen: cannot make the structor folders: %s\n", ec.message().c_str());
        return false;
    }
    bool ok = ball(data);
    ok = ramps(data) && ok;
    ok = cut_map(data) && ok;
    if (!ok)
        fprintf(stderr, "dorvale_gen: structor content could not be written\n");
    return ok;
}
