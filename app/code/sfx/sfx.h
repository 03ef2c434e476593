// Sound subsystem: an OpenAL device and context, up to 32 voices that WAV effects play on
// in strict rotation, ALUT's WAV loader, and the music stream. Scripts reach it through
// the Lua library "sfx" and the userdata "oal_sfx_handle".
#pragma once

#include <cstdint>

#include "app/code/sfx/sfx_al.h"
#include "app/code/sfx/sfx_stream.h"

struct vec3;
struct lua_State;

#define SFX_MAX_VOICES 32

struct sfx_subsystem {
    uint8_t enabled;             // setup succeeded with a device
    ALCcontext* context;
    ALCdevice* device;
    ALuint voices[SFX_MAX_VOICES];
    int32_t voice_count;         // voices in use, 1..32 once enabled
    ALuint spare;                // one buffer made at setup, deleted at clean
    int32_t next_voice;          // the voice the next effect plays on
    sfx_stream music;
};

extern sfx_subsystem SFX;
// The next name handed out while sound is off (starts at 1).
extern uint32_t sfx_counter;

// Zero, then open the device and context, make the voices and the music stream.
// True with sound off as well (SFX stays disabled when the option sfx_enabled is false).
bool sfx_setup(sfx_subsystem* sfx);
// Safe after a failed setup, on a subsystem that never started, and twice.
void sfx_clean(sfx_subsystem* sfx);
bool sfx_reset(sfx_subsystem* sfx);
// Once a frame: refills the music stream.
void sfx_update(sfx_subsystem* sfx);

// A new buffer name, 0 on failure. While sound is off: a distinct non-zero counter value
// that names no OpenAL buffer.
uint32_t sfx_buffer_alloc(sfx_subsystem* sfx);
// Deletes a buffer made by sfx_buffer_alloc while sound was on (any voice playing it stops).
void sfx_buffer_free(sfx_subsystem* sfx, uint32_t buffer);
// Loads a WAV file into the buffer. Paths ending in "ogg" are refused (music streams).
// True without loading while sound is off.
bool sfx_load_wav(sfx_subsystem* sfx, uint32_t buffer, const char* path);
// Plays the buffer on the next voice, cutting off what that voice played. Without a
// position the sound is heard at the listener; a missing direction is (0,0,0).
void sfx_play(sfx_subsystem* sfx, uint32_t buffer, float gain, float pitch,
              const vec3* position, const vec3* direction);
// Stops every voice.
void sfx_stop(sfx_subsystem* sfx);

// The reporter behind OPENALCHECK: reads alGetError; on an error logs it with the call's
// text and place, and returns false.
bool sfx_check(const char* call, const char* file, int line, const char* stamp);
#define OPENALCHECK(call_text) sfx_check(call_text, __FILE__, __LINE__, __TIMESTAMP__)

// Lua: the userdata "oal_sfx_handle". A handle made while sound was off holds a counter
// value, never an OpenAL buffer: real is 0 and nothing reaches OpenAL for it.
struct oal_sfx_handle {
    uint32_t buffer; // 0 once freed
    uint8_t real;
};

// Registers the library "sfx" and the metatable "oal_sfx_handle".
void sfx_lua_setup(lua_State* L);
// Argument idx as a handle that holds a buffer; raises "bad oal_sfx_handle" otherwise.
oal_sfx_handle* sfx_lua_check_handle(lua_State* L, int idx);
// Plays a handle's sound as sfx_play does (nothing for a handle made while sound was off).
void sfx_handle_play(const oal_sfx_handle* handle, float gain, float pitch,
                     const vec3* position, const vec3* direction);
