// The maze drawing tests' world: a real device in an offscreen window, GFX set up on it with
// the generated fonts, meshes and terrains, an amaze instance of the test's own whose parts
// the tests build, and helpers to write terrain images and read the frame back.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/code/amaze/amaze.h"
#include "tests/harness/gl_window.h"

class MapTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    bool open(int w = 200, int h = 150); // GFX on a w x h window; false without GL
    // The root's screen, the HUD's window and the instance's view size.
    void screen(float w, float h);
    static bool write_grey(const char* path, int w, int h, const std::vector<uint8_t>& grey);
    static std::string errors();
    uint32_t pixel(int x, int y); // ARGB of the frame being drawn
    bool begin(uint32_t clear = 0xFF000000); // clears and begins a scene; end() ends it
    void end();

    gl_window win = {};
    amaze a = {};
};
