// The installation's meshes and animations: the menu's logo, and the 33 shared avatar
// animations (the avatar skeleton at rest) without which the graphics cannot start.

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "engine/code/gfx/avatar_names.h"
#include "tools/gen/gen.h"
#include "tools/writer/wr_avatar.h"
#include "tools/writer/wr_mesh.h"

static void add_strip(wr_xox_mesh* mesh, const char* name, uint32_t colour, const wr_xox_vertex* v, int n)
{
    wr_xox_material m;
    m.name = name;
    m.colour = colour;
    m.specular = 0xFFFFFFFF;
    m.gloss = 0.2f;
    m.first_index = (uint32_t)mesh->indices.size();
    for (int i = 0; i < n; i++) {
        mesh->indices.push_back((uint16_t)mesh->vertices.size());
        mesh->vertices.push_back(v[i]);
    }
    m.strips = {(uint16_t)n};
    mesh->materials.push_back(m);
}

// A ring with a tail, flat in the z = 0 plane and facing -z. The menu draws it eight times,
// each copy five times the size of the one before, so the ring's hole (0.7 of its size)
// shows the smaller copies inside; the tail shows the turn.
static bool gen_logo(const std::string& data)
{
    enum { SEGMENTS = 32 };
    const float outer = 1.0f, inner = 0.7f;
    wr_xox_mesh mesh;
    mesh.extent = 1.4f;
    wr_xox_vertex ring[2 * (SEGMENTS + 1)];
    for (int i = 0; i <= SEGMENTS; i++) {
        float a = 2.0f * 3.14159265f * (float)i / SEGMENTS;
        float c = std::cos(a), s = std::sin(a);
        ring[2 * i] = {outer * c, outer * s, 0, 0, 0, -1, 0.5f + 0.5f * c, 0.5f + 0.5f * s};
        ring[2 * i + 1] = {inner * c, inner * s, 0, 0, 0, -1, 0.5f + 0.35f * c, 0.5f + 0.35f * s};
    }
    add_strip(&mesh, "ring", 0xFFE8B030, ring, 2 * (SEGMENTS + 1));
    // The tail: a bar from inside the ring out past its lower right, same winding.
    const wr_xox_vertex tail[4] = {
        {0.45f, -0.60f, 0, 0, 0, -1, 0, 0},
        {0.60f, -0.45f, 0, 0, 0, -1, 0, 1},
        {1.25f, -1.40f, 0, 0, 0, -1, 1, 0},
        {1.40f, -1.25f, 0, 0, 0, -1, 1, 1},
    };
    add_strip(&mesh, "tail", 0xFF3070D0, tail, 4);
    std::string dir = data + "/logos/xox";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!wr_xox_save((dir + "/qem.xox").c_str(), &mesh)) {
        fprintf(stderr, "dorvale_gen: cannot write %s/qem.xox\n", dir.c_str());
        return false;
    }
    return true;
}

static bool gen_animations(const std::string& data)
{
    std::string dir = data + "/avatar/xsx";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    wr_xsx_anim anim;
    wr_avatar_skeleton(&anim, 1.0f);
    for (int32_t i = 0; i < AVATAR_ANIM_COUNT; i++) {
        std::string path = dir + "/" + avatar_anim_name(i) + ".xsx";
        if (!wr_xsx_save(path.c_str(), &anim)) {
            fprintf(stderr, "dorvale_gen: cannot write %s\n", path.c_str());
            return false;
        }
    }
    return true;
}

bool gen_models(const char* data_dir)
{
    bool ok = gen_logo(data_dir);
    return gen_animations(data_dir) && ok;
}
