// Shared helpers of the sound tests: a clean start and end for each test, a loopback OpenAL
// device that renders on demand (so no test waits on a real-time mixer), generated WAV and
// Ogg files, and a record of the library calls that reach OpenAL.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/code/opt.h"
#include "app/code/sfx/sfx.h"
#include "tests/harness/log_capture.h"

// Each test starts with the real OpenAL calls, options cleared and the log captured
// (LOGGED), and ends with the sound closed and the calls and log reset.
void sfx_test_begin();
void sfx_test_end();
struct SfxFixture : testing::Test {
    void SetUp() override { sfx_test_begin(); }
    void TearDown() override { sfx_test_end(); }
};

// Route SFX's device opening to a loopback device (mono, 16-bit, 22050 Hz). A device
// name other than null fails, as an unknown device does.
void sfx_test_use_loopback();
// Sound on a loopback device with `voices` voices at full volume; false when setup fails.
bool sfx_test_start_loopback(int voices);
// Mixes `frames` samples on SFX's loopback device; returns the largest magnitude.
int sfx_test_render(int frames);
// Sound on, with the given voices and volumes.
void sfx_test_options(int voices, float foreground = 1.0f, float background = 1.0f);

// A sine tone of 16-bit samples, written as WAV or Ogg Vorbis (at 440 Hz).
std::vector<int16_t> sfx_test_tone(int channels, int rate, uint32_t frames, float hz);
void sfx_test_write_wav(const char* path, int channels, int rate, uint32_t frames);
void sfx_test_write_ogg(const char* path, int channels, int rate, uint32_t frames);

// The names of the seam's calls made since recording began (only the calls the tests look
// for are recorded: device, buffer, play and ALUT calls).
void sfx_test_record_calls();
const std::vector<std::string>& sfx_test_calls();
int sfx_test_count(const char* name);
