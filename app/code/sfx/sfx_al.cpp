// The sound subsystem's door to OpenAL and ALUT, filled with the real library functions.

#include "app/code/sfx/sfx_al.h"

#include <AL/alut.h>

const sfx_al_api sfx_al_default = {
    alcOpenDevice,
    alcCreateContext,
    alcMakeContextCurrent,
    alcGetError,
    alcGetCurrentContext,
    alcGetContextsDevice,
    alcDestroyContext,
    alcCloseDevice,

    alGenBuffers,
    alDeleteBuffers,
    alBufferData,
    alGenSources,
    alDeleteSources,
    alSourcei,
    alSourcef,
    alSource3f,
    alGetSourcei,
    alSourcePlay,
    alSourceStop,
    alSourceQueueBuffers,
    alSourceUnqueueBuffers,
    alGetError,
    alGetString,

    alutLoadWAVFile,
    alutUnloadWAV,
};

sfx_al_api sfx_al = sfx_al_default;
