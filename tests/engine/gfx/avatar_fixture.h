// Helpers for the mesh, animation and avatar tests: small meshes and animations written
// through the writer library, and a device test with GFX set up.
#pragma once

#include "tests/engine/gfx/device_fixture.h"
#include "tools/writer/wr_mesh.h"

// A quad of four vertices (x from 0 to 1, y from 0 to 1, z 0, normal -z) in one material
// of the given name with one strip of 4 indices.
wr_xox_mesh quad_mesh(const char* material);
// A morph over all four vertices with the same delta for each.
wr_xox_morph uniform_morph(const char* name, float dx, float dy, float dz, float dnx = 0, float dny = 0,
                           float dnz = 0);
// An animation of one root bone with one key on every transform track.
wr_xsx_anim one_bone_anim(const char* name, float x, float y, float z);

// A device test with GFX set up on the rest-skeleton animations.
class GfxTest : public DeviceTest {
protected:
    void SetUp() override;
};
