// The sound subsystem's door to OpenAL and ALUT: every call SFX makes goes through this
// table, so tests can record the calls or open a device of their own choosing.
// It starts out holding the real library functions.
#pragma once

#include <AL/al.h>
#include <AL/alc.h>

struct sfx_al_api {
    ALCdevice* (*alcOpenDevice)(const ALCchar* name); // null name = the default device
    ALCcontext* (*alcCreateContext)(ALCdevice* device, const ALCint* attributes);
    ALCboolean (*alcMakeContextCurrent)(ALCcontext* context);
    ALCenum (*alcGetError)(ALCdevice* device);
    ALCcontext* (*alcGetCurrentContext)(void);
    ALCdevice* (*alcGetContextsDevice)(ALCcontext* context);
    void (*alcDestroyContext)(ALCcontext* context);
    ALCboolean (*alcCloseDevice)(ALCdevice* device);

    void (*alGenBuffers)(ALsizei n, ALuint* buffers);
    void (*alDeleteBuffers)(ALsizei n, const ALuint* buffers);
    void (*alBufferData)(ALuint buffer, ALenum format, const ALvoid* data, ALsizei size, ALsizei freq);
    void (*alGenSources)(ALsizei n, ALuint* sources);
    void (*alDeleteSources)(ALsizei n, const ALuint* sources);
    void (*alSourcei)(ALuint source, ALenum param, ALint value);
    void (*alSourcef)(ALuint source, ALenum param, ALfloat value);
    void (*alSource3f)(ALuint source, ALenum param, ALfloat x, ALfloat y, ALfloat z);
    void (*alGetSourcei)(ALuint source, ALenum param, ALint* value);
    void (*alSourcePlay)(ALuint source);
    void (*alSourceStop)(ALuint source);
    void (*alSourceQueueBuffers)(ALuint source, ALsizei n, const ALuint* buffers);
    void (*alSourceUnqueueBuffers)(ALuint source, ALsizei n, ALuint* buffers);
    ALenum (*alGetError)(void);
    const ALchar* (*alGetString)(ALenum param);

    // ALUT's WAV loader: data stays null when the file cannot be read as a WAV.
    void (*alutLoadWAVFile)(ALbyte* path, ALenum* format, void** data, ALsizei* size,
                            ALsizei* freq, ALboolean* loop);
    void (*alutUnloadWAV)(ALenum format, ALvoid* data, ALsizei size, ALsizei freq);
};

extern sfx_al_api sfx_al;
// The table as it was at start: the real library.
extern const sfx_al_api sfx_al_default;
