// Sound subsystem: device and context, the voices effects play on in strict rotation,
// WAV loading through ALUT and the OpenAL error check. The music is in sfx_stream.cpp,
// the Lua library in sfx_lua.cpp.
//
// Sections: check - setup and clean - buffers - playing

#include "app/code/sfx/sfx.h"

#include <cstring>

#include "app/code/opt.h"
#include "engine/code/dbg.h"
#include "engine/code/maths.h"

sfx_subsystem SFX;

// Kept outside the record, which setup zeroes, so handles made before and after a reset
// stay distinct.
uint32_t sfx_counter = 1;

// ---- check ----

bool sfx_check(const char* call, const char* file, int line, const char* stamp)
{
    ALenum err = sfx_al.alGetError();
    if (err == AL_NO_ERROR)
        return true;
    const ALchar* name = sfx_al.alGetString(err);
    dbg_error("\n%s(%d) : %s ****OPENALCHECK**** %s($%x)==%s\n", file, line, stamp,
              name ? name : "?", (unsigned)err, call);
    return false;
}

// ---- setup and clean ----

static ALCdevice* sfx_open_device(void)
{
    const char* name = OPT.sfx_device_name;
    if (!name[0]) {
        ALCdevice* dev = sfx_al.alcOpenDevice(nullptr);
        if (!dev)
            dbg_error("SFX.OpenAL subsystem failed to initialize device,\n");
        return dev;
    }
    ALCdevice* dev = sfx_al.alcOpenDevice(name);
    if (dev)
        return dev;
    dbg_error("SFX.OpenAL subsystem failed to initialize %s device,\n", name);
    dev = sfx_al.alcOpenDevice(nullptr);
    if (!dev)
        dbg_error("SFX.OpenAL subsystem failed to initialize DEFAULT device,\n");
    return dev;
}

static int32_t sfx_clamp_voices(int32_t n)
{
    if (n < 1)
        return 1;
    return n > SFX_MAX_VOICES ? SFX_MAX_VOICES : n;
}

bool sfx_setup(sfx_subsystem* sfx)
{
    memset(sfx, 0, sizeof(*sfx));
    if (!OPT.sfx_enabled)
        return true;
    // The record has room for 32 voices and a play needs at least one.
    sfx->voice_count = sfx_clamp_voices(OPT.sfx_voices);

    sfx->device = sfx_open_device();
    if (!sfx->device) {
        sfx_clean(sfx);
        return false;
    }
    sfx->context = sfx_al.alcCreateContext(sfx->device, nullptr);
    if (!sfx->context) {
        dbg_error("SFX.OpenAL subsystem failed to initialize context,\n");
        sfx_clean(sfx);
        return false;
    }
    // A failed make-current shows in its result; the device's error may stay clear.
    ALCboolean made = sfx_al.alcMakeContextCurrent(sfx->context);
    if (!made || sfx_al.alcGetError(sfx->device) != ALC_NO_ERROR) {
        dbg_error("SFX.OpenAL subsystem failed to set current context,\n");
        sfx_clean(sfx);
        return false;
    }
    sfx_al.alGetError();
    sfx_al.alcGetError(sfx->device);

    sfx_al.alGenBuffers(1, &sfx->spare);
    if (!OPENALCHECK("alGenBuffers(NUMOF(Buffers),(ALuint*)Buffers)")) {
        sfx->spare = 0;
        sfx_clean(sfx);
        return false;
    }
    for (int32_t i = 0; i < sfx->voice_count; i++) {
        sfx_al.alGenSources(1, &sfx->voices[i]);
        if (!OPENALCHECK("alGenSources(1,(ALuint*)Sources+i)")) {
            sfx->voices[i] = 0;
            sfx->voice_count = i;
            if (i == 0) {
                sfx_clean(sfx);
                return false;
            }
            break;
        }
    }
    if (!sfx_stream_setup(&sfx->music)) {
        sfx_clean(sfx);
        return false;
    }
    sfx->enabled = 1;
    return true;
}

void sfx_clean(sfx_subsystem* sfx)
{
    sfx_stream_clean(&sfx->music);
    // Only names that were made are deleted, so a subsystem that never started (no
    // context) logs nothing here.
    for (int32_t i = 0; i < sfx->voice_count && i < SFX_MAX_VOICES; i++) {
        if (sfx->voices[i])
            sfx_al.alDeleteSources(1, &sfx->voices[i]);
        sfx->voices[i] = 0;
    }
    if (sfx->spare)
        sfx_al.alDeleteBuffers(1, &sfx->spare);
    sfx->spare = 0;
    if (sfx->context || sfx->device)
        sfx_al.alGetError();
    // The record's own context and device: after a failed make-current neither is current.
    if (sfx->context) {
        if (sfx_al.alcGetCurrentContext() == sfx->context)
            sfx_al.alcMakeContextCurrent(nullptr);
        sfx_al.alcDestroyContext(sfx->context);
    }
    if (sfx->device)
        sfx_al.alcCloseDevice(sfx->device);
    sfx->context = nullptr;
    sfx->device = nullptr;
    sfx->voice_count = 0;
    sfx->next_voice = 0;
    sfx->enabled = 0;
}

bool sfx_reset(sfx_subsystem* sfx)
{
    sfx_clean(sfx);
    return sfx_setup(sfx);
}

void sfx_update(sfx_subsystem* sfx)
{
    sfx_stream_update(&sfx->music);
}

// ---- buffers ----

uint32_t sfx_buffer_alloc(sfx_subsystem* sfx)
{
    if (!sfx->enabled)
        return sfx_counter++;
    for (int attempt = 0; attempt < 2; attempt++) {
        ALuint ret = 0;
        sfx_al.alGenBuffers(1, &ret);
        if (OPENALCHECK("alGenBuffers(1,(ALuint*)&ret)"))
            return ret;
    }
    return 0;
}

void sfx_buffer_free(sfx_subsystem* sfx, uint32_t buffer)
{
    if (!sfx->enabled || !buffer)
        return;
    sfx_al.alGetError();
    // OpenAL refuses to delete a buffer still attached to a source: let go of it first.
    for (int32_t i = 0; i < sfx->voice_count; i++) {
        ALint held = 0;
        sfx_al.alGetSourcei(sfx->voices[i], AL_BUFFER, &held);
        if ((uint32_t)held == buffer) {
            sfx_al.alSourceStop(sfx->voices[i]);
            sfx_al.alSourcei(sfx->voices[i], AL_BUFFER, 0);
        }
    }
    sfx_al.alDeleteBuffers(1, &buffer);
    sfx_al.alGetError();
}

static bool sfx_is_ogg_path(const char* path)
{
    size_t n = strlen(path);
    return n >= 3 && strcmp(path + n - 3, "ogg") == 0;
}

bool sfx_load_wav(sfx_subsystem* sfx, uint32_t buffer, const char* path)
{
    if (!sfx->enabled)
        return true;
    if (sfx_is_ogg_path(path)) {
        dbg_error("SFX.OpenAL failed to load \"%s\" file,\n", path);
        return false;
    }
    // ALUT reports a failed load only through its own error and a null data pointer, and
    // may leave the other outputs as they were: start them all at zero.
    ALenum format = 0;
    void* data = nullptr;
    ALsizei size = 0, freq = 0;
    ALboolean loop = AL_FALSE;
    sfx_al.alutLoadWAVFile((ALbyte*)path, &format, &data, &size, &freq, &loop);
    bool ok = OPENALCHECK("alutLoadWAVFile((char*)path,&format,&data,&size,&freq,&loop)") &&
              data != nullptr;
    if (ok) {
        sfx_al.alBufferData(buffer, format, data, size, freq);
        ok = OPENALCHECK("alBufferData(buffer,format,data,size,freq)");
    }
    if (data) {
        sfx_al.alutUnloadWAV(format, data, size, freq);
        ok = OPENALCHECK("alutUnloadWAV(format,data,size,freq)") && ok;
    }
    if (!ok)
        dbg_error("SFX.OpenAL failed to load \"%s\" file,\n", path);
    return ok;
}

// ---- playing ----

void sfx_play(sfx_subsystem* sfx, uint32_t buffer, float gain, float pitch,
              const vec3* position, const vec3* direction)
{
    if (!sfx->enabled || !OPT.sfx_enabled || OPT.sfx_foreground_volume == 0.0f)
        return;
    if (sfx->voice_count < 1)
        return;
    if (sfx->next_voice >= sfx->voice_count)
        sfx->next_voice = 0;
    ALuint voice = sfx->voices[sfx->next_voice];

    // A playing source refuses a new buffer (and would replay the old sound): the oldest
    // sound is cut off here, deliberately.
    sfx_al.alSourceStop(voice);
    sfx_al.alGetError();

    sfx_al.alSourcei(voice, AL_BUFFER, (ALint)buffer);
    OPENALCHECK("alSourcei(Sources[source_idx],AL_BUFFER,buffer)");
    sfx_al.alSourcef(voice, AL_GAIN, gain * OPT.sfx_foreground_volume);
    OPENALCHECK("alSourcef(Sources[source_idx],AL_GAIN,gain*OPT->sfx_foreground_volume)");
    sfx_al.alSourcef(voice, AL_PITCH, pitch);
    OPENALCHECK("alSourcef(Sources[source_idx],AL_PITCH,pitch)");

    if (position) {
        sfx_al.alSourcei(voice, AL_SOURCE_RELATIVE, AL_FALSE);
        OPENALCHECK("alSourcei( Sources[source_idx],AL_SOURCE_RELATIVE, AL_FALSE )");
        sfx_al.alSource3f(voice, AL_POSITION, position->x, position->y, position->z);
        OPENALCHECK("alSource3f(Sources[source_idx],AL_POSITION,pos->x,pos->y,pos->z)");
        if (direction) {
            sfx_al.alSource3f(voice, AL_DIRECTION, direction->x, direction->y, direction->z);
            OPENALCHECK("alSource3f(Sources[source_idx],AL_DIRECTION,dir->x,dir->y,dir->z)");
        } else {
            sfx_al.alSource3f(voice, AL_DIRECTION, 0, 0, 0);
            OPENALCHECK("alSource3f(Sources[source_idx],AL_DIRECTION,0,0,0)");
        }
    } else {
        sfx_al.alSourcei(voice, AL_SOURCE_RELATIVE, AL_TRUE);
        OPENALCHECK("alSourcei( Sources[source_idx],AL_SOURCE_RELATIVE, AL_TRUE )");
        sfx_al.alSource3f(voice, AL_POSITION, 0, 0, 0);
        OPENALCHECK("alSource3f(Sources[source_idx],AL_POSITION,0,0,0)");
        sfx_al.alSource3f(voice, AL_DIRECTION, 0, 0, 0);
        OPENALCHECK("alSource3f(Sources[source_idx],AL_DIRECTION,0,0,0)");
    }
    sfx_al.alSourcePlay(voice);
    OPENALCHECK("alSourcePlay(Sources[source_idx])");

    sfx->next_voice++;
    if (sfx->next_voice >= sfx->voice_count)
        sfx->next_voice = 0;
}

void sfx_stop(sfx_subsystem* sfx)
{
    for (int32_t i = 0; i < sfx->voice_count; i++) {
        sfx_al.alSourceStop(sfx->voices[i]);
        sfx_al.alGetError();
    }
}
