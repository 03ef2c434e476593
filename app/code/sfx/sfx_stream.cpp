// The music stream: an Ogg Vorbis file decoded one block per frame into a ring of four
// OpenAL buffers queued on one source, looping by seeking back to the first sample.
//
// Sections: decoder callbacks - open and close - refill

#include "app/code/sfx/sfx_stream.h"

#include <cstring>

#include "app/code/opt.h"
#include "app/code/sfx/sfx.h"
#include "engine/code/dbg.h"

// ---- decoder callbacks ----

size_t sfx_ogg_read(void* buffer, size_t size, size_t count, void* file)
{
    return fread(buffer, size, count, (FILE*)file);
}

int sfx_ogg_seek(void* file, ogg_int64_t offset, int origin)
{
    return fseeko((FILE*)file, (off_t)offset, origin);
}

int sfx_ogg_close(void* file)
{
    return fclose((FILE*)file);
}

long sfx_ogg_tell(void* file)
{
    return (long)ftello((FILE*)file);
}

// ---- open and close ----

bool sfx_stream_setup(sfx_stream* s)
{
    memset(s, 0, sizeof(*s));
    sfx_al.alGenBuffers(NUMOF_STREAM_BUFFERS, s->buffers);
    if (!OPENALCHECK("alGenBuffers(NUMOF_STREAM_BUFFERS,(ALuint*)Buffers)")) {
        memset(s->buffers, 0, sizeof(s->buffers));
        sfx_stream_clean(s);
        return false;
    }
    sfx_al.alGenSources(1, &s->source);
    if (!OPENALCHECK("alGenSources(1,(ALuint*)Sources)")) {
        s->source = 0;
        sfx_stream_clean(s);
        return false;
    }
    return true;
}

// Stops the music and closes its file. The source lets go of its whole queue, so the next
// file starts by filling all four buffers afresh: a stopped source counts every queued
// buffer as processed, which would otherwise keep it from ever starting again.
static void sfx_stream_stop(sfx_stream* s)
{
    if (s->source) {
        sfx_al.alSourceStop(s->source);
        OPENALCHECK("alSourceStop(Sources[0])");
        sfx_al.alSourcei(s->source, AL_BUFFER, 0);
        OPENALCHECK("alSourcei(Sources[0], AL_BUFFER, 0)");
    }
    s->queued = 0;
    ov_clear(&s->vorbis); // closes the file through sfx_ogg_close
    s->file = nullptr;
    s->info = nullptr;
}

bool sfx_stream_clean(sfx_stream* s)
{
    ov_clear(&s->vorbis);
    s->file = nullptr;
    s->info = nullptr;
    s->queued = 0;
    bool ok = true;
    // Names that were never made are not deleted, so a stream that never set up (sound
    // off or no device) logs nothing.
    if (s->source) {
        sfx_al.alDeleteSources(1, &s->source);
        ok = OPENALCHECK("alDeleteSources(1,(ALuint*)Sources)");
        s->source = 0;
    }
    if (s->buffers[0]) {
        sfx_al.alDeleteBuffers(NUMOF_STREAM_BUFFERS, s->buffers);
        ok = OPENALCHECK("alDeleteBuffers(NUMOF_STREAM_BUFFERS,(ALuint*)Buffers)");
        memset(s->buffers, 0, sizeof(s->buffers));
    }
    return ok;
}

// Looping needs seeking, and a stream with no samples would loop without ever
// filling a block.
static bool sfx_stream_playable(sfx_stream* s)
{
    return ov_seekable(&s->vorbis) && ov_pcm_total(&s->vorbis, -1) > 0 && s->info &&
           s->info->channels >= 1 && s->info->channels <= 2;
}

void sfx_stream_open(sfx_stream* s, const char* path)
{
    if (!SFX.enabled || !OPT.sfx_enabled || OPT.sfx_background_volume == 0.0f)
        return;
    if (!path) {
        sfx_stream_stop(s);
        return;
    }
    if (s->file)
        sfx_stream_stop(s);

    FILE* f = fopen(path, "rb");
    if (!f) {
        dbg_error("Failed to open file \"%s\"\n", path);
        return;
    }
    static const ov_callbacks callbacks = {sfx_ogg_read, sfx_ogg_seek, sfx_ogg_close, sfx_ogg_tell};
    if (ov_open_callbacks(f, &s->vorbis, nullptr, 0, callbacks) < 0) {
        fclose(f); // the decoder leaves a file it refused open
        memset(&s->vorbis, 0, sizeof(s->vorbis));
        dbg_error("Failed to open ogg \"%s\"\n", path);
        return;
    }
    s->file = f;
    s->info = ov_info(&s->vorbis, -1);
    ov_comment(&s->vorbis, -1);
    // More than two channels cannot be played as stereo 16-bit PCM.
    if (!sfx_stream_playable(s)) {
        ov_clear(&s->vorbis);
        s->file = nullptr;
        s->info = nullptr;
        dbg_error("Failed to open ogg \"%s\"\n", path);
        return;
    }
    s->format = s->info->channels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16;

    sfx_al.alSource3f(s->source, AL_POSITION, 0.0f, 0.0f, 0.0f);
    OPENALCHECK("alSource3f(Sources[0], AL_POSITION, 0.0, 0.0, 0.0)");
    sfx_al.alSource3f(s->source, AL_VELOCITY, 0.0f, 0.0f, 0.0f);
    OPENALCHECK("alSource3f(Sources[0], AL_VELOCITY, 0.0, 0.0, 0.0)");
    sfx_al.alSource3f(s->source, AL_DIRECTION, 0.0f, 0.0f, 0.0f);
    OPENALCHECK("alSource3f(Sources[0], AL_DIRECTION, 0.0, 0.0, 0.0)");
    sfx_al.alSourcef(s->source, AL_ROLLOFF_FACTOR, 0.0f);
    OPENALCHECK("alSourcef (Sources[0], AL_ROLLOFF_FACTOR, 0.0 )");
    sfx_al.alSourcei(s->source, AL_SOURCE_RELATIVE, AL_TRUE);
    OPENALCHECK("alSourcei (Sources[0], AL_SOURCE_RELATIVE, AL_TRUE )");
    sfx_al.alSourcef(s->source, AL_GAIN, OPT.sfx_background_volume);
    OPENALCHECK("alSourcef (Sources[0],AL_GAIN,OPT->sfx_background_volume)");
}

// ---- refill ----

// Decodes one whole block, looping at the end of the stream. Returns false, with the music
// stopped and logged, when the stream cannot be decoded any further.
static bool sfx_stream_fill(sfx_stream* s, char* pcm, int32_t* filled)
{
    int32_t size = 0;
    bool rewound = false; // nothing decoded since the last seek back to the start
    while (size < SFX_STREAM_BLOCK) {
        int bitstream = 0;
        long got = ov_read(&s->vorbis, pcm + size, SFX_STREAM_BLOCK - size, 0, 2, 1, &bitstream);
        if (got > 0) {
            size += (int32_t)got;
            rewound = false;
        } else if (got == 0) {
            if (rewound) {
                dbg_error("Music stream stopped: nothing left to decode\n");
                return false;
            }
            int err = ov_pcm_seek(&s->vorbis, 0);
            if (err != 0) {
                dbg_error("Music stream stopped: seek failed (%d)\n", err);
                return false;
            }
            rewound = true;
        } else if (got != OV_HOLE) { // a hole is a recoverable gap: read on past it
            dbg_error("Music stream stopped: decoding failed (%ld)\n", got);
            return false;
        }
    }
    *filled = size;
    return true;
}

void sfx_stream_update(sfx_stream* s)
{
    if (!SFX.enabled || !s->file)
        return;
    ALint processed = 0;
    ALint state = 0;
    ALuint buff = 0;

    if (s->queued >= NUMOF_STREAM_BUFFERS) {
        sfx_al.alGetSourcei(s->source, AL_BUFFERS_PROCESSED, &processed);
        OPENALCHECK("alGetSourcei(Sources[0], AL_BUFFERS_PROCESSED, &processed)");
        sfx_al.alGetSourcei(s->source, AL_SOURCE_STATE, &state);
        OPENALCHECK("alGetSourcei(Sources[0], AL_SOURCE_STATE, &state)");
        // An underrun stops the source with every buffer processed: begin again with an
        // empty queue, as after an open.
        if (state == AL_STOPPED && processed >= NUMOF_STREAM_BUFFERS) {
            sfx_al.alSourcei(s->source, AL_BUFFER, 0);
            OPENALCHECK("alSourcei(Sources[0], AL_BUFFER, 0)");
            s->queued = 0;
        }
    }

    ALint p;
    if (s->queued < NUMOF_STREAM_BUFFERS) {
        buff = s->buffers[s->queued];
        p = NUMOF_STREAM_BUFFERS - s->queued;
        s->queued++;
    } else {
        p = processed;
        if (p > 0) {
            sfx_al.alSourceUnqueueBuffers(s->source, 1, &buff);
            OPENALCHECK("alSourceUnqueueBuffers(Sources[0], 1, &buff)");
        }
    }

    if (buff) {
        char pcm[SFX_STREAM_BLOCK];
        int32_t size = 0;
        if (!sfx_stream_fill(s, pcm, &size)) {
            sfx_stream_stop(s);
            return;
        }
        sfx_al.alBufferData(buff, s->format, pcm, size, (ALsizei)s->info->rate);
        OPENALCHECK("alBufferData(buff, format, pcm, size, vorbisInfo->rate)");
        sfx_al.alSourceQueueBuffers(s->source, 1, &buff);
        OPENALCHECK("alSourceQueueBuffers(Sources[0], 1, &buff)");
    }

    state = 0;
    sfx_al.alGetSourcei(s->source, AL_SOURCE_STATE, &state);
    OPENALCHECK("alGetSourcei(Sources[0], AL_SOURCE_STATE, &state)");
    if (state != AL_PLAYING && p <= 1) {
        sfx_al.alSourcePlay(s->source);
        OPENALCHECK("alSourcePlay(Sources[0])");
    }
}
