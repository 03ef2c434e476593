// Helpers for the mesh, animation and avatar tests: small meshes and animations written
// through the writer library, and the vertex buffer read back from the device.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/engine/gfx/device_fixture.h"
#include "tools/writer/wr_mesh.h"

struct xox_mesh;

// A quad of four vertices (x from 0 to 1, y from 0 to 1, z 0, normal -z) in one material
// of the given name with one strip of 4 indices.
wr_xox_mesh quad_mesh(const char* material);
// A morph over all four vertices with the same delta for each.
wr_xox_morph uniform_morph(const char* name, float dx, float dy, float dz, float dnx = 0, float dny = 0,
                           float dnz = 0);
// An animation of one root bone with one key on every transform track.
wr_xsx_anim one_bone_anim(const char* name, float x, float y, float z);

// Hands use every truncation of good (each of the first 64 lengths, then every step-th) and
// 400 copies with one byte after the header changed at random from seed.
void for_each_damaged(const wr_buf& good, size_t step, uint32_t seed, const std::function<void(const wr_buf&)>& use);

// The mesh's vertex buffer as the device holds it: eight floats a vertex.
std::vector<float> vertex_buffer(const xox_mesh* mesh);

// A device test with GFX set up on the rest-skeleton animations.
class GfxTest : public DeviceTest {
protected:
    void SetUp() override;
};
