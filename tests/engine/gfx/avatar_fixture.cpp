// Helpers for the mesh, animation and avatar tests.

#include "tests/engine/gfx/avatar_fixture.h"

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
