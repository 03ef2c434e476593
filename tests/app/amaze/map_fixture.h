// The maze drawing tests' world: a real device in an offscreen window of the given size, GFX set up
// on it with the generated fonts and meshes, an amaze instance of our own whose parts the
// tests build, and helpers to write terrain images and read the frame back.
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
    // GFX on a window of w x h; false when there is no GL context.
    bool open(int w = 200, int h = 150);
    // The instance's screen size and the HUD window size follow the device's viewport.
    void screen(float w, float h);
    static bool write_grey(const char* path, int w, int h, const std::vector<uint8_t>& grey);
    static std::string errors();
    // The frame as RGBA rows, top first (for saving), and its pixel at (x, y) as ARGB.
    std::vector<uint8_t> grab();
    uint32_t pixel(int x, int y);
    // Saves the frame to name (in the test's folder) and, when DORVALE_SCREENSHOT_DIR is set,
    // also there.
    void save_frame(const char* name);
    // Begins a frame cleared to the colour; draw, then end() to present.
    bool begin(uint32_t clear = 0xFF000000);
    void end();

    gl_window win = {};
    amaze a = {};
};
