// Sound: start-up paths, the voice rotation, gains, WAV loading and freeing, the Lua library
// "sfx" with its "oal_sfx_handle" userdata, and the music stream (formats, the first fill,
// looping inside a block, restarting after a stop, a new file or an underrun, the files it
// must refuse), checked against OpenAL Soft's loopback device, which mixes on demand so no
// test waits on a real-time mixer.
#define AL_ALEXT_PROTOTYPES
#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/code/opt.h"
#include "app/code/sfx/sfx.h"
#include "engine/code/maths.h"
#include "tests/harness/harness.h"
#include "tests/harness/log_capture.h"
#include "tests/harness/lua_fixture.h"
#include "tools/writer/wr_ogg.h"
#include "tools/writer/wr_wav.h"

namespace {

int open_libs(lua_State* L)
{
    luaL_openlibs(L);
    sfx_lua_setup(L);
    return 0;
}

// Each test starts with the real OpenAL calls, options cleared, the log captured and a Lua
// state with the library, and ends with the sound closed.
// The options, the sound record, its handle counter and its door to OpenAL are put back as
// they were.
struct Sfx : testing::Test {
    lua_State* L = nullptr;
    opts saved_opt;
    sfx_subsystem saved_sfx;
    sfx_al_api saved_al;
    uint32_t saved_counter;
    void SetUp() override
    {
        memcpy(&saved_opt, &OPT, sizeof OPT);
        memcpy((void*)&saved_sfx, &SFX, sizeof SFX);
        saved_al = sfx_al;
        saved_counter = sfx_counter;
        sfx_al = sfx_al_default;
        memset(&OPT, 0, sizeof(OPT));
        log_capture_start();
        L = luaL_newstate();
        ASSERT_EQ(lua_cpcall(L, open_libs, nullptr), 0);
    }
    void TearDown() override
    {
        lua_close(L);
        sfx_clean(&SFX);
        log_capture_stop();
        memcpy((void*)&SFX, &saved_sfx, sizeof SFX);
        memcpy(&OPT, &saved_opt, sizeof OPT);
        sfx_al = saved_al;
        sfx_counter = saved_counter;
    }
    std::string run(const char* code) { return lua_fixture_run(L, code); }
};

// The default device becomes a loopback device (mono, 16-bit, 22050 Hz); a named device
// fails, as an unknown one does.
ALCdevice* loopback_open(const ALCchar* name) { return name ? nullptr : alcLoopbackOpenDeviceSOFT(nullptr); }
ALCcontext* loopback_context(ALCdevice* device, const ALCint*)
{
    const ALCint attributes[] = {ALC_FORMAT_CHANNELS_SOFT, ALC_MONO_SOFT, ALC_FORMAT_TYPE_SOFT,
                                 ALC_SHORT_SOFT, ALC_FREQUENCY, 22050, 0};
    return alcCreateContext(device, attributes);
}

// Sound on, with `voices` voices at full volume.
void sound_options(int voices)
{
    OPT.sfx_enabled = 1;
    OPT.sfx_voices = voices;
    OPT.sfx_foreground_volume = OPT.sfx_background_volume = 1.0f;
}

// Sound on a loopback device; false when setup fails.
bool start_loopback(int voices)
{
    sfx_al.alcOpenDevice = loopback_open;
    sfx_al.alcCreateContext = loopback_context;
    sound_options(voices);
    return sfx_setup(&SFX);
}

// Mixes `frames` samples on SFX's loopback device; returns the largest magnitude.
int render(int frames)
{
    std::vector<int16_t> out((size_t)frames);
    alcRenderSamplesSOFT(SFX.device, out.data(), frames);
    int peak = 0;
    for (int16_t v : out)
        peak = std::max(peak, std::abs((int)v));
    return peak;
}

// A 440 Hz sine tone of 16-bit samples, written as WAV or Ogg Vorbis.
std::vector<int16_t> tone(int channels, int rate, uint32_t frames)
{
    std::vector<int16_t> pcm((size_t)frames * channels);
    for (uint32_t i = 0; i < frames; i++)
        for (int c = 0; c < channels; c++)
            pcm[(size_t)i * channels + c] = (int16_t)(12000 * std::sin(6.2831853 * 440.0 * i / rate));
    return pcm;
}
void write_wav(const char* path, int channels, int rate, uint32_t frames)
{
    std::vector<int16_t> pcm = tone(channels, rate, frames);
    ASSERT_TRUE(wr_wav_save(path, (uint16_t)channels, (uint32_t)rate, 16, pcm.data(), (uint32_t)(pcm.size() * 2)));
}
void write_ogg(const char* path, int channels, int rate, uint32_t frames)
{
    std::vector<int16_t> pcm = tone(channels, rate, frames);
    ASSERT_TRUE(wr_ogg_save(path, channels, rate, pcm.data(), frames));
}

// The names of the device, buffer, play and ALUT calls made since record_calls(); each
// recorder forwards to the real library.
std::vector<std::string> calls;
#define SFX_TEST_RECORDER(name, ret, params, args) \
    ret rec_##name params                           \
    {                                               \
        calls.push_back(#name);                     \
        return sfx_al_default.name args;            \
    }
SFX_TEST_RECORDER(alcOpenDevice, ALCdevice*, (const ALCchar* n), (n))
SFX_TEST_RECORDER(alcCloseDevice, ALCboolean, (ALCdevice* d), (d))
SFX_TEST_RECORDER(alGenBuffers, void, (ALsizei n, ALuint* b), (n, b))
SFX_TEST_RECORDER(alDeleteBuffers, void, (ALsizei n, const ALuint* b), (n, b))
SFX_TEST_RECORDER(alBufferData, void, (ALuint b, ALenum f, const ALvoid* d, ALsizei s, ALsizei r), (b, f, d, s, r))
SFX_TEST_RECORDER(alSourcei, void, (ALuint s, ALenum p, ALint v), (s, p, v))
SFX_TEST_RECORDER(alSourcePlay, void, (ALuint s), (s))
SFX_TEST_RECORDER(alutLoadWAVFile, void, (ALbyte* p, ALenum* f, void** d, ALsizei* s, ALsizei* r, ALboolean* l),
                  (p, f, d, s, r, l))
SFX_TEST_RECORDER(alutUnloadWAV, void, (ALenum f, ALvoid* d, ALsizei s, ALsizei r), (f, d, s, r))

void record_calls()
{
    calls.clear();
    if (sfx_al.alcOpenDevice == sfx_al_default.alcOpenDevice) // keep a loopback device
        sfx_al.alcOpenDevice = rec_alcOpenDevice;
    sfx_al.alcCloseDevice = rec_alcCloseDevice;
    sfx_al.alGenBuffers = rec_alGenBuffers;
    sfx_al.alDeleteBuffers = rec_alDeleteBuffers;
    sfx_al.alBufferData = rec_alBufferData;
    sfx_al.alSourcei = rec_alSourcei;
    sfx_al.alSourcePlay = rec_alSourcePlay;
    sfx_al.alutLoadWAVFile = rec_alutLoadWAVFile;
    sfx_al.alutUnloadWAV = rec_alutUnloadWAV;
}

int count(const char* name)
{
    int n = 0;
    for (const std::string& c : calls)
        n += c == name;
    return n;
}

ALint source_int(ALuint source, ALenum what)
{
    ALint v = -1;
    alGetSourcei(source, what, &v);
    return v;
}

ALint buffer_int(ALuint buffer, ALenum what)
{
    ALint v = -1;
    alGetBufferi(buffer, what, &v);
    return v;
}

ALCdevice* no_device(const ALCchar*) { return nullptr; }
ALCcontext* no_context(ALCdevice*, const ALCint*) { return nullptr; }
ALCboolean refuse_current(ALCcontext* c) { return c ? ALC_FALSE : ALC_TRUE; }

} // namespace

// A named device that cannot be opened falls back to the default one; every failure logs
// its message, releases what was opened and leaves sound off (handles are then counter
// values, no music opens, and cleaning twice is harmless).
TEST_F(Sfx, DeviceAndContextFailures)
{
    write_ogg("a.ogg", 1, 22050, 22050);
    const char* named = "SFX.OpenAL subsystem failed to initialize bogus device,\n";
    const struct {
        const char* device;
        ALCdevice* (*open)(const ALCchar*);
        ALCcontext* (*create)(ALCdevice*, const ALCint*);
        ALCboolean (*make_current)(ALCcontext*);
        std::string error;
        int closes; // 0 when it worked or nothing was opened
    } cases[] = {
        {"", no_device, nullptr, nullptr, "SFX.OpenAL subsystem failed to initialize device,\n", 0},
        {"bogus", no_device, nullptr, nullptr,
         named + std::string("SFX.OpenAL subsystem failed to initialize DEFAULT device,\n"), 0},
        {"bogus", nullptr, nullptr, nullptr, named, 0},
        {"", nullptr, no_context, nullptr, "SFX.OpenAL subsystem failed to initialize context,\n", 1},
        {"", nullptr, nullptr, refuse_current, "SFX.OpenAL subsystem failed to set current context,\n", 1},
    };
    for (auto& c : cases) {
        bool ok = c.error == named;
        sfx_al = sfx_al_default;
        if (c.open)
            sfx_al.alcOpenDevice = c.open;
        if (c.create)
            sfx_al.alcCreateContext = c.create;
        if (c.make_current)
            sfx_al.alcMakeContextCurrent = c.make_current;
        record_calls();
        sound_options(2);
        strcpy(OPT.sfx_device_name, c.device);
        LOGGED.error.clear();
        EXPECT_EQ(sfx_setup(&SFX), ok) << c.error;
        EXPECT_EQ(SFX.enabled, ok);
        EXPECT_EQ(LOGGED.error, c.error);
        EXPECT_EQ(count("alcCloseDevice"), c.closes) << c.error;
        if (!ok) {
            EXPECT_EQ(SFX.device, nullptr);
            EXPECT_EQ(SFX.context, nullptr);
            EXPECT_NE(sfx_buffer_alloc(&SFX), 0u);
            sfx_stream_open(&SFX.music, "a.ogg");
            EXPECT_EQ(SFX.music.file, nullptr);
            sfx_update(&SFX);
        }
        sfx_clean(&SFX);
        sfx_clean(&SFX);
    }
}

// The check behind every wrapped OpenAL call: no pending error is success and logs
// nothing; an error (a play on a source name that was never made: AL_INVALID_NAME, 0xa001)
// is one error line naming the file, line, stamp, error and the call's text.
TEST_F(Sfx, CheckReportsTheFailingCall)
{
    ASSERT_TRUE(start_loopback(1));
    EXPECT_TRUE(sfx_check("fine()", "f.cpp", 1, "stamp"));
    EXPECT_EQ(LOGGED.error, "");
    alSourcePlay(0xBADu);
    EXPECT_FALSE(sfx_check("alSourcePlay(x)", "dir/f.cpp", 12, "Sun Dec  6 10:00:00 2026"));
    EXPECT_EQ(LOGGED.error, "\ndir/f.cpp(12) : Sun Dec  6 10:00:00 2026 ****OPENALCHECK**** "
                            "Invalid Name($a001)==alSourcePlay(x)\n");
    EXPECT_TRUE(sfx_check("next()", "f.cpp", 2, "stamp")) << "reading the error clears it";
}

// With sound off a load reports success without reading the file, so native callers go on
// as if the effect were there.
TEST_F(Sfx, SoundOffLoadsReportSuccessWithoutReadingTheFile)
{
    ASSERT_TRUE(sfx_setup(&SFX)); // the option sfx_enabled is false
    record_calls();
    uint32_t b = sfx_buffer_alloc(&SFX);
    EXPECT_TRUE(sfx_load_wav(&SFX, b, "missing.wav"));
    EXPECT_TRUE(sfx_load_wav(&SFX, b, "music.ogg"));
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(LOGGED.error, "");
}

// ---- playing, loading and freeing ----

// The voice count is kept within 1..32. Four voices in strict rotation: the fifth effect
// takes voice 0 again and cuts off the
// first. The gain is the effect's times the option's (0.5 x 0.5 = 0.25); an effect with a
// position is placed in the world, one without plays at the listener. Freeing a playing
// buffer first takes it off its voice, so the delete is not refused. A zero volume starts
// nothing.
TEST_F(Sfx, VoicesRotateAndPlaceTheirEffects)
{
    const int voices[][2] = {{100, 32}, {0, 1}, {-3, 1}}; // asked, kept
    for (auto& v : voices) {
        ASSERT_TRUE(start_loopback(v[0]));
        EXPECT_EQ(SFX.voice_count, v[1]) << v[0];
        EXPECT_NE(SFX.voices[v[1] - 1], 0u) << v[0];
        sfx_clean(&SFX);
    }
    ASSERT_TRUE(start_loopback(4));
    write_wav("tone.wav", 1, 22050, 22050);
    uint32_t b[5];
    for (uint32_t& x : b) {
        x = sfx_buffer_alloc(&SFX);
        ASSERT_TRUE(sfx_load_wav(&SFX, x, "tone.wav"));
    }
    OPT.sfx_foreground_volume = 0.5f;
    vec3 at = {3.0f, 0.0f, -4.0f};
    for (int i = 0; i < 5; i++)
        sfx_play(&SFX, b[i], 0.5f, 1.5f, i == 1 ? &at : nullptr, nullptr);
    const uint32_t want[4] = {b[4], b[1], b[2], b[3]};
    for (int v = 0; v < 4; v++) {
        EXPECT_EQ((uint32_t)source_int(SFX.voices[v], AL_BUFFER), want[v]);
        EXPECT_EQ(source_int(SFX.voices[v], AL_SOURCE_STATE), AL_PLAYING);
        EXPECT_EQ(source_int(SFX.voices[v], AL_SOURCE_RELATIVE), v == 1 ? AL_FALSE : AL_TRUE);
    }
    ALfloat gain = 0, pitch = 0, p[3] = {0, 0, 0};
    alGetSourcef(SFX.voices[0], AL_GAIN, &gain);
    alGetSourcef(SFX.voices[0], AL_PITCH, &pitch);
    alGetSourcefv(SFX.voices[1], AL_POSITION, p);
    EXPECT_FLOAT_EQ(gain, 0.25f);
    EXPECT_FLOAT_EQ(pitch, 1.5f);
    EXPECT_FLOAT_EQ(p[2], -4.0f);
    EXPECT_GT(render(2048), 2000);

    sfx_buffer_free(&SFX, b[4]);
    EXPECT_FALSE(alIsBuffer(b[4]));
    EXPECT_EQ(source_int(SFX.voices[0], AL_BUFFER), 0);
    EXPECT_NE(source_int(SFX.voices[0], AL_SOURCE_STATE), AL_PLAYING);
    EXPECT_TRUE(alIsBuffer(SFX.spare));

    sfx_stop(&SFX);
    for (int v = 1; v < 4; v++)
        EXPECT_EQ(source_int(SFX.voices[v], AL_SOURCE_STATE), AL_STOPPED);
    render(2048); // the mixer fades stopped voices out
    OPT.sfx_foreground_volume = 0.0f;
    sfx_play(&SFX, b[1], 1.0f, 1.0f, nullptr, nullptr);
    EXPECT_EQ(SFX.next_voice, 1);
    EXPECT_LT(render(2048), 50); // silent but for dither
    EXPECT_EQ(LOGGED.error, "");
}

// Only the exact lower-case ending "ogg" is refused before ALUT sees the file; nothing that
// ALUT cannot read reaches a buffer; WAV data read is released also when the buffer refuses it.
// A good file fills the buffer with its rate, channels and samples.
TEST_F(Sfx, WavFilesLoadIntoTheirBufferOrFailWithTheMessage)
{
    ASSERT_TRUE(start_loopback(1));
    write_wav("good.ogg", 1, 22050, 100); // a real WAV, named as music
    write_wav("good.wav", 2, 11025, 1000);
    harness_write_file("text.wav", "this is not a sound file at all, just words");
    uint32_t b = sfx_buffer_alloc(&SFX);
    const struct {
        const char* path;
        uint32_t buffer; // 0: b
        int loads, fills, unloads;
    } cases[] = {{"good.ogg", 0, 0, 0, 0}, {"music.OGG", 0, 1, 0, 0}, {"missing.wav", 0, 1, 0, 0}, {"og", 0, 1, 0, 0},
                 {"", 0, 1, 0, 0},         {"text.wav", 0, 1, 0, 0},  {"good.wav", 0xBAD, 1, 1, 1}};
    for (auto& c : cases) {
        record_calls();
        LOGGED.error.clear();
        EXPECT_FALSE(sfx_load_wav(&SFX, c.buffer ? c.buffer : b, c.path)) << c.path;
        EXPECT_EQ(count("alutLoadWAVFile"), c.loads) << c.path;
        EXPECT_EQ(count("alBufferData"), c.fills) << c.path;
        EXPECT_EQ(count("alutUnloadWAV"), c.unloads) << c.path;
        std::string line = "SFX.OpenAL failed to load \"" + std::string(c.path) + "\" file,\n";
        EXPECT_TRUE(harness_ends_with(LOGGED.error, line.c_str())) << LOGGED.error;
    }
    EXPECT_EQ(buffer_int(b, AL_SIZE), 0);
    ASSERT_TRUE(sfx_load_wav(&SFX, b, "good.wav"));
    EXPECT_EQ(buffer_int(b, AL_FREQUENCY), 11025);
    EXPECT_EQ(buffer_int(b, AL_CHANNELS), 2);
    EXPECT_EQ(buffer_int(b, AL_SIZE), 4000); // 1000 frames of two 16-bit samples
}

// ---- the Lua library ----

// Arguments of the wrong type and freed handles raise, with sound on or off.
TEST_F(Sfx, SoundOffStartsDisabledAndHandlesNeverReachOpenAL)
{
    record_calls();
    ASSERT_TRUE(sfx_setup(&SFX)); // the option sfx_enabled is false
    EXPECT_FALSE(SFX.enabled);
    EXPECT_NE(sfx_buffer_alloc(&SFX), sfx_buffer_alloc(&SFX)); // distinct counter values
    EXPECT_EQ(run("a = sfx.alloc() b = sfx.load('missing.wav')\n"
                  "assert(type(a) == 'userdata' and type(b) == 'userdata')\n"
                  "a:load('x.wav') a:play(1, 1) b:play(0.5, 2) sfx.stream('x.ogg')\n"
                  "a:free() a:free() sfx.free(b) b = nil collectgarbage()"),
              "");
    const struct {
        const char* code;
        const char* error;
    } bad[] = {
        {"sfx.free(1)", "bad oal_sfx_handle"}, {"h = sfx.alloc() h:play()", "number expected"},
        {"h:load()", "string expected"},       {"sfx.load()", "string expected"},
        {"a:play(1, 1)", "bad oal_sfx_handle"}, {"a:load('x.wav')", "bad oal_sfx_handle"},
    };
    for (auto& c : bad)
        EXPECT_NE(run(c.code).find(c.error), std::string::npos) << c.code;
    sfx_stop(&SFX);
    sfx_clean(&SFX);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(LOGGED.error, "");
}

// Scripts that run before the sound subsystem starts get counter values 1, 2, 3..., which
// OpenAL also hands out as buffer names once it runs: such handles never reach its buffers.
// A script's effect plays on a voice and is deleted when freed; a missing file still gives
// a handle; the music starts and stops.
TEST_F(Sfx, EffectsAndMusicFromScriptsAndHandlesMadeBeforeTheSound)
{
    ASSERT_EQ(run("early = {} for i = 1, 8 do early[i] = sfx.alloc() end"), "");
    ASSERT_TRUE(start_loopback(4));
    ASSERT_EQ(run("for i = 1, 8 do early[i]:play(1, 1) early[i]:load('x.wav') end"), "");
    for (int v = 0; v < SFX.voice_count; v++)
        EXPECT_EQ(source_int(SFX.voices[v], AL_BUFFER), 0);
    ASSERT_EQ(run("for i = 1, 8 do early[i]:free() end early = nil collectgarbage()"), "");
    EXPECT_TRUE(alIsBuffer(SFX.spare));
    for (ALuint b : SFX.music.buffers)
        EXPECT_TRUE(alIsBuffer(b));

    write_wav("tone.wav", 1, 22050, 22050);
    write_ogg("music.ogg", 2, 22050, 22050);
    ASSERT_EQ(run("e = sfx.load('tone.wav') e:play(1, 1)\n"
                  "m = sfx.load('missing.wav') assert(type(m) == 'userdata')"),
              "");
    ALint playing = source_int(SFX.voices[0], AL_BUFFER);
    EXPECT_TRUE(alIsBuffer((ALuint)playing));
    EXPECT_EQ(source_int(SFX.voices[0], AL_SOURCE_STATE), AL_PLAYING);
    ASSERT_EQ(run("e:free() e = nil m = nil collectgarbage()"), "");
    EXPECT_FALSE(alIsBuffer((ALuint)playing));
    EXPECT_EQ(LOGGED.error, "SFX.OpenAL failed to load \"missing.wav\" file,\n");

    ASSERT_EQ(run("sfx.stream('music.ogg')"), "");
    EXPECT_NE(SFX.music.file, nullptr);
    ASSERT_EQ(run("sfx.stream()"), "");
    EXPECT_EQ(SFX.music.file, nullptr);
}

// ---- the music stream ----

namespace {

struct Stream : Sfx {
    void SetUp() override
    {
        Sfx::SetUp();
        ASSERT_TRUE(start_loopback(2));
        write_ogg("a.ogg", 1, 22050, 22050);
    }
    ALint state() { return source_int(SFX.music.source, AL_SOURCE_STATE); }
    // Frames until the music plays (updates with a little mixing between), or -1.
    int frames_to_play(int limit)
    {
        for (int i = 1; i <= limit; i++) {
            sfx_update(&SFX);
            if (state() == AL_PLAYING)
                return i;
            render(256);
        }
        return -1;
    }
};

// Keeps the last block handed to alBufferData, to look at what was decoded.
std::vector<char> last_block;
void keep_block(ALuint b, ALenum f, const ALvoid* d, ALsizei s, ALsizei r)
{
    last_block.assign((const char*)d, (const char*)d + s);
    sfx_al_default.alBufferData(b, f, d, s, r);
}

} // namespace

TEST_F(Stream, ShortFileFillsTheBlockWithCopiesAndLoops)
{
    // 1000 frames of mono PCM are 2000 bytes: one block holds eight copies and more.
    write_ogg("short.ogg", 1, 22050, 1000);
    sfx_al.alBufferData = keep_block;
    sfx_stream_open(&SFX.music, "short.ogg");
    sfx_update(&SFX);
    ASSERT_EQ(last_block.size(), 16384u);
    EXPECT_EQ(memcmp(last_block.data(), last_block.data() + 2000, 2000), 0);
    EXPECT_EQ(memcmp(last_block.data(), last_block.data() + 14000, 2000), 0);
    EXPECT_EQ(LOGGED.error, "");
}

// A file far shorter than the queue (1000 frames, 0.045 s) keeps sounding for 40 frames of
// 1024 samples (1.9 s, more than the four 8192-sample blocks hold): each update refills one
// played block, looping the file, and the source never runs dry.
TEST_F(Stream, ShortMusicKeepsPlayingForManyTimesItsLength)
{
    write_ogg("short.ogg", 1, 22050, 1000);
    sfx_stream_open(&SFX.music, "short.ogg");
    ASSERT_EQ(frames_to_play(4), 4);
    for (int i = 0; i < 40; i++) {
        sfx_update(&SFX);
        EXPECT_GT(render(1024), 3000) << "frame " << i;
    }
    EXPECT_EQ(state(), AL_PLAYING);
    EXPECT_EQ(LOGGED.error, "");
}

TEST_F(Stream, FormatFollowsChannelsAndPlayRestartsAfterANewFileAStopAndAnUnderrun)
{
    // Playing starts with the fourth buffer queued, in the fourth update.
    write_ogg("b.ogg", 2, 22050, 22050);
    sfx_stream_open(&SFX.music, "a.ogg");
    EXPECT_EQ(SFX.music.format, AL_FORMAT_MONO16);
    ASSERT_EQ(frames_to_play(5), 4);
    EXPECT_GT(render(2048), 5000);
    OPT.sfx_background_volume = 0.0f; // a zero volume neither stops the music nor opens any
    sfx_stream_open(&SFX.music, nullptr);
    sfx_stream_open(&SFX.music, "b.ogg");
    EXPECT_EQ(SFX.music.format, AL_FORMAT_MONO16);
    EXPECT_EQ(state(), AL_PLAYING);
    OPT.sfx_background_volume = 1.0f;

    sfx_stream_open(&SFX.music, "b.ogg"); // a new file while music plays
    EXPECT_EQ(SFX.music.format, AL_FORMAT_STEREO16);
    EXPECT_NE(state(), AL_PLAYING);
    EXPECT_EQ(frames_to_play(6), 4);

    sfx_stream_open(&SFX.music, nullptr); // stopped, as a level's end does
    EXPECT_EQ(SFX.music.file, nullptr);
    EXPECT_NE(state(), AL_PLAYING);
    sfx_update(&SFX);
    EXPECT_NE(state(), AL_PLAYING);
    sfx_stream_open(&SFX.music, "a.ogg");
    EXPECT_EQ(frames_to_play(6), 4);

    // Mixing far past the queue without refills runs it dry.
    render(4 * 16384);
    EXPECT_EQ(state(), AL_STOPPED);
    EXPECT_GT(frames_to_play(6), 0);
    EXPECT_GT(render(1024), 3000);
    EXPECT_EQ(LOGGED.error, "");
}

TEST_F(Stream, MissingForeignEmptyAndManyChannelFilesStopTheMusicWithAMessage)
{
    write_wav("sound.wav", 1, 22050, 22050);
    write_ogg("empty.ogg", 1, 22050, 0);
    write_ogg("six.ogg", 6, 22050, 4000);
    const struct {
        const char* path;
        const char* error;
    } cases[] = {{"missing.ogg", "Failed to open file \"missing.ogg\"\n"},
                 {"sound.wav", "Failed to open ogg \"sound.wav\"\n"},
                 {"empty.ogg", "Failed to open ogg \"empty.ogg\"\n"},
                 {"six.ogg", "Failed to open ogg \"six.ogg\"\n"}};
    for (auto& c : cases) {
        sfx_stream_open(&SFX.music, "a.ogg");
        ASSERT_GT(frames_to_play(6), 0);
        LOGGED.error.clear();
        sfx_stream_open(&SFX.music, c.path);
        EXPECT_EQ(SFX.music.file, nullptr) << c.path;
        sfx_update(&SFX); // an empty stream would spin here forever
        EXPECT_NE(state(), AL_PLAYING) << c.path;
        EXPECT_EQ(LOGGED.error, c.error);
    }
}

TEST_F(Stream, FileThatStopsDecodingEndsTheMusicInsteadOfHanging)
{
    write_ogg("long.ogg", 1, 22050, 5 * 22050);
    sfx_stream_open(&SFX.music, "long.ogg");
    ASSERT_NE(SFX.music.file, nullptr);
    ASSERT_EQ(truncate("long.ogg", 0), 0); // nothing left to read or seek back to

    for (int i = 0; i < 40 && SFX.music.file; i++) { // a few seconds of music
        sfx_update(&SFX);
        render(8192);
    }
    EXPECT_EQ(SFX.music.file, nullptr);
    EXPECT_NE(state(), AL_PLAYING);
    EXPECT_NE(LOGGED.error.find("Music stream stopped"), std::string::npos);
}

// The music plays at the gain of sfx_background_volume as it stood when the file was opened:
// the source's gain reads back as the option, and the mixed tone's peak scales with it,
// measured against the peak at 1.0 (0.5 halves it, 0.25 quarters it).
TEST_F(Stream, MusicGainFollowsTheBackgroundVolume)
{
    const float volumes[] = {1.0f, 0.5f, 0.25f, 0.1f};
    int full = 0;
    for (float v : volumes) {
        OPT.sfx_background_volume = v;
        sfx_stream_open(&SFX.music, "a.ogg");
        ASSERT_EQ(frames_to_play(6), 4) << v;
        ALfloat gain = -1;
        alGetSourcef(SFX.music.source, AL_GAIN, &gain);
        EXPECT_FLOAT_EQ(gain, v);
        render(1024); // past the mixer's fade-in
        int peak = render(4096);
        if (v == 1.0f)
            full = peak;
        ASSERT_GT(full, 5000);
        EXPECT_NEAR((double)peak / full, v, 0.03) << v;
    }
    EXPECT_EQ(LOGGED.error, "");
}
