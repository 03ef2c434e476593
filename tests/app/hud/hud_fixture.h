// Shared set-up of the HUD tests: a HUD with its pools but no graphics, an 800 x 600
// window, recording graphics calls with a fixed-pitch fake font, and a Lua environment
// whose `hud` library builds into it.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "app/code/con.h"
#include "app/code/hud/hud.h"
#include "app/code/input.h"

struct fake_quad {
    float x1, y1, x2, y2;
    uint32_t colour;
};

// What the recorders saw. The fake font is 10 pixels a character; words are runs of
// characters other than space and line feed.
struct fake_gfx {
    std::vector<fake_quad> quads;
    std::vector<std::string> words;    // drawn words and texts, in order
    std::vector<float> word_x;         // pen x where each was drawn
    std::vector<float> word_y;
    std::vector<float> spacings;       // every font_set_style spacing
    int balloons = 0;
    std::vector<float> balloon;        // the last: x, y, width, height, anchor x, y, alpha
    int avatar_draws = 0;
    float cartoon_length = 0.0f;
    float pen_x = 0.0f, pen_y = 0.0f;
};

extern fake_gfx FAKE;
extern const hud_gfx_calls fake_calls;

// The corners (x1, y1, x2, y2) of the recorded quads, in order.
std::vector<std::array<float, 4>> corners();
// The index-th child of g (no bounds check: the tests know their trees).
hudgizmo* child(hudgizmo* g, int index);
// How many nodes a list holds.
int list_count(list* l);

struct HudTest : testing::Test {
    void SetUp() override;
    void TearDown() override;
    // Runs a chunk at once; false (with the error in `errors`) when it fails.
    bool run(const std::string& chunk);
    // The gizmo held by the userdata in global `name`, or null.
    hudgizmo* gizmo(const char* name);
    // Builds global `name` from a table constructor.
    hudgizmo* build(const char* name, const std::string& table);
    void set_pointer(float x, float y);
    void press() { INPUT.click = {1, 1, 0}; }
    void release() { INPUT.click = {0, 0, 1}; }
    std::string errors;
};
