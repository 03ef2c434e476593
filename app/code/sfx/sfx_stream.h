// The music stream: one Ogg Vorbis file decoded a block at a time into a ring of four
// OpenAL buffers queued on one source, looping forever, heard at the listener.
// Owned by the sound subsystem (SFX.music); refilled once a frame by sfx_update.
#pragma once

#include <cstdint>
#include <cstdio>

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include "app/code/sfx/sfx_al.h"

#define NUMOF_STREAM_BUFFERS 4
#define SFX_STREAM_BLOCK 16384 // bytes of PCM decoded per refill

struct sfx_stream {
    FILE* file;              // null when no music is open
    OggVorbis_File vorbis;
    vorbis_info* info;       // valid while a file is open
    ALuint buffers[NUMOF_STREAM_BUFFERS];
    int32_t queued;          // buffers queued since the queue was last emptied (0..4)
    ALuint source;
    ALenum format;           // AL_FORMAT_MONO16 or AL_FORMAT_STEREO16
};

bool sfx_stream_setup(sfx_stream* s);
// Safe on a stream that never set up, and twice. Returns the last check's result.
bool sfx_stream_clean(sfx_stream* s);
// Starts the music at path, replacing any playing; a null path stops it. Does nothing
// unless sound runs and the background volume is not 0. Playing begins from the updates,
// once the queue is full.
void sfx_stream_open(sfx_stream* s, const char* path);
// One refill per frame: decodes one block into a free buffer and keeps the source playing.
void sfx_stream_update(sfx_stream* s);

// Decoder callbacks over a standard file stream.
size_t sfx_ogg_read(void* buffer, size_t size, size_t count, void* file);
int sfx_ogg_seek(void* file, ogg_int64_t offset, int origin);
int sfx_ogg_close(void* file);
long sfx_ogg_tell(void* file);
