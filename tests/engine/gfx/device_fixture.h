// A real GL device for graphics tests: an offscreen window, fault injection and the call
// log cleared, and the error and warning logs read back as text; small meshes and
// animations for the mesh, animation and avatar tests, and a test with GFX set up.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/d3d8.h"
#include "tests/harness/gl_window.h"
#include "tools/writer/wr_mesh.h"

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    bool setup_gfx(); // gfx_setup on GFX with the options as they stand
    IDirect3DDevice8* device();
    static std::string errors();   // ERROR.TXT since SetUp
    static std::string warnings(); // WARN.TXT since SetUp
    // Writes an 8-bit image of 1 (grey) or 4 (BGRA) channels, rows top first.
    static bool write_image(const char* path, int w, int h, int channels, const uint8_t* pixels);

    gl_window win = {};
};

inline int channel(uint32_t argb, int shift) { return (int)((argb >> shift) & 0xFF); }

// Compares two ARGB colours channel by channel within a tolerance.
#define EXPECT_COLOUR_NEAR(actual, expected, tolerance)                                         \
    do {                                                                                         \
        uint32_t a_ = (actual), e_ = (expected);                                                 \
        for (int s_ = 0; s_ < 32; s_ += 8)                                                       \
            EXPECT_NEAR(channel(a_, s_), channel(e_, s_), tolerance)                             \
                << std::hex << "actual 0x" << a_ << " expected 0x" << e_ << std::dec << " bit " << s_; \
    } while (0)

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
