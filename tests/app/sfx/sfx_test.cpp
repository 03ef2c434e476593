// Sound voices and effects: start-up paths, the voice rotation, gains, WAV loading and
// freeing, checked against OpenAL Soft's loopback and null devices.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/code/opt.h"
#include "app/code/sfx/sfx.h"
#include "engine/code/dbg.h"
#include "engine/code/maths.h"
#include "tests/app/sfx/sfx_fixture.h"
#include "tests/harness/log_capture.h"

namespace {

struct Sfx : testing::Test {
    void SetUp() override
    {
        sfx_test_begin();
    }
    void TearDown() override
    {
        sfx_test_end();
    }
};

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

} // namespace

// ---- start-up ----

TEST_F(Sfx, SoundOffStartsDisabledAndNeverTouchesOpenAL)
{
    sfx_test_record_calls();
    ASSERT_TRUE(sfx_setup(&SFX));
    EXPECT_FALSE(SFX.enabled);

    uint32_t a = sfx_buffer_alloc(&SFX);
    uint32_t b = sfx_buffer_alloc(&SFX);
    EXPECT_NE(a, 0u);
    EXPECT_NE(a, b);
    EXPECT_TRUE(sfx_load_wav(&SFX, a, "missing.wav"));
    sfx_play(&SFX, a, 1.0f, 1.0f, nullptr, nullptr);
    sfx_buffer_free(&SFX, a);
    sfx_stop(&SFX);
    sfx_clean(&SFX);
    sfx_clean(&SFX);

    EXPECT_TRUE(sfx_test_calls().empty());
    EXPECT_EQ(LOGGED.error, "");
}

TEST_F(Sfx, NoDeviceFailsWithItsMessagesAndCleansQuietly)
{
    // No backend at all: every open fails. OpenAL reads this once per process, before its
    // first device: ctest runs each test alone.
    setenv("ALSOFT_DRIVERS", "nosuch", 1);
    sfx_test_options(4, 1.0f, 1.0f);
    EXPECT_FALSE(sfx_setup(&SFX));
    EXPECT_FALSE(SFX.enabled);
    // The program runs on without sound: handles are counter values and nothing plays.
    EXPECT_NE(sfx_buffer_alloc(&SFX), 0u);
    sfx_play(&SFX, 1, 1.0f, 1.0f, nullptr, nullptr);
    sfx_clean(&SFX);
    sfx_clean(&SFX);

    strcpy(OPT.sfx_device_name, "bogus");
    EXPECT_FALSE(sfx_setup(&SFX));
    EXPECT_EQ(LOGGED.error, "SFX.OpenAL subsystem failed to initialize device,\n"
                            "SFX.OpenAL subsystem failed to initialize bogus device,\n"
                            "SFX.OpenAL subsystem failed to initialize DEFAULT device,\n");
}

TEST_F(Sfx, UnknownNamedDeviceFallsBackToTheDefault)
{
    sfx_test_options(2, 1.0f, 1.0f);
    strcpy(OPT.sfx_device_name, "bogus");
    ASSERT_TRUE(sfx_setup(&SFX));
    EXPECT_TRUE(SFX.enabled);
    EXPECT_EQ(LOGGED.error, "SFX.OpenAL subsystem failed to initialize bogus device,\n");
}

static ALCcontext* no_context(ALCdevice*, const ALCint*) { return nullptr; }
static ALCboolean refuse_current(ALCcontext* c) { return c ? ALC_FALSE : ALC_TRUE; }

TEST_F(Sfx, ContextFailuresReleaseTheDevice)
{
    sfx_test_options(2, 1.0f, 1.0f);
    sfx_al.alcCreateContext = no_context;
    sfx_test_record_calls();
    EXPECT_FALSE(sfx_setup(&SFX));
    EXPECT_EQ(LOGGED.error, "SFX.OpenAL subsystem failed to initialize context,\n");
    EXPECT_EQ(sfx_test_count("alcCloseDevice"), 1);

    sfx_al = sfx_al_default;
    sfx_al.alcMakeContextCurrent = refuse_current;
    LOGGED.error.clear();
    sfx_test_record_calls();
    EXPECT_FALSE(sfx_setup(&SFX));
    EXPECT_EQ(LOGGED.error, "SFX.OpenAL subsystem failed to set current context,\n");
    EXPECT_EQ(sfx_test_count("alcCloseDevice"), 1);
    EXPECT_EQ(SFX.device, nullptr);
    EXPECT_EQ(SFX.context, nullptr);
}

TEST_F(Sfx, VoiceCountIsKeptWithinOneToThirtyTwo)
{
    sfx_test_use_loopback();
    const int32_t asked[] = {100, 0, -3, 7};
    const int32_t got[] = {32, 1, 1, 7};
    for (int i = 0; i < 4; i++) {
        sfx_test_options(asked[i], 1.0f, 1.0f);
        ASSERT_TRUE(sfx_setup(&SFX));
        EXPECT_EQ(SFX.voice_count, got[i]) << "asked " << asked[i];
        for (int32_t v = 0; v < SFX.voice_count; v++)
            EXPECT_NE(SFX.voices[v], 0u);
        sfx_clean(&SFX);
    }
    EXPECT_EQ(LOGGED.error, "");
}

TEST_F(Sfx, CheckReportsTheFailingCall)
{
    ASSERT_TRUE(sfx_test_start_loopback(1));
    EXPECT_TRUE(sfx_check("fine()", "f.cpp", 1, "stamp"));
    EXPECT_EQ(LOGGED.error, "");

    alSourcePlay(0xBADu);
    EXPECT_FALSE(sfx_check("alSourcePlay(x)", "dir/f.cpp", 12, "Sun Dec  6 10:00:00 2026"));
    EXPECT_EQ(LOGGED.error, "\ndir/f.cpp(12) : Sun Dec  6 10:00:00 2026 ****OPENALCHECK**** "
                            "Invalid Name($a001)==alSourcePlay(x)\n");
}

// ---- playing ----

TEST_F(Sfx, FifthEffectOnFourVoicesCutsOffTheFirst)
{
    ASSERT_TRUE(sfx_test_start_loopback(4));
    sfx_test_write_wav("tone.wav", 1, 22050, 22050);
    uint32_t buffers[5];
    for (uint32_t& b : buffers) {
        b = sfx_buffer_alloc(&SFX);
        ASSERT_TRUE(sfx_load_wav(&SFX, b, "tone.wav"));
    }
    for (int i = 0; i < 5; i++)
        sfx_play(&SFX, buffers[i], 1.0f, 1.0f, nullptr, nullptr);

    EXPECT_EQ((uint32_t)source_int(SFX.voices[0], AL_BUFFER), buffers[4]);
    for (int v = 1; v < 4; v++)
        EXPECT_EQ((uint32_t)source_int(SFX.voices[v], AL_BUFFER), buffers[v]);
    for (int v = 0; v < 4; v++)
        EXPECT_EQ(source_int(SFX.voices[v], AL_SOURCE_STATE), AL_PLAYING);
    EXPECT_EQ(SFX.next_voice, 1);
    EXPECT_GT(sfx_test_render(2048), 5000);
    EXPECT_EQ(LOGGED.error, "");

    sfx_stop(&SFX);
    for (int v = 0; v < 4; v++)
        EXPECT_EQ(source_int(SFX.voices[v], AL_SOURCE_STATE), AL_STOPPED);
    sfx_test_render(2048); // the mixer fades stopped voices out
    EXPECT_LT(sfx_test_render(2048), 50); // silent but for dither
}

TEST_F(Sfx, GainIsTheProductPositionIsOptionalAndZeroVolumeStartsNothing)
{
    sfx_test_use_loopback();
    sfx_test_options(2, 0.5f, 1.0f);
    ASSERT_TRUE(sfx_setup(&SFX));
    sfx_test_write_wav("tone.wav", 1, 22050, 4410);
    uint32_t b = sfx_buffer_alloc(&SFX);
    ASSERT_TRUE(sfx_load_wav(&SFX, b, "tone.wav"));

    sfx_play(&SFX, b, 0.5f, 1.5f, nullptr, nullptr);
    ALfloat gain = 0, pitch = 0;
    alGetSourcef(SFX.voices[0], AL_GAIN, &gain);
    alGetSourcef(SFX.voices[0], AL_PITCH, &pitch);
    EXPECT_FLOAT_EQ(gain, 0.25f);
    EXPECT_FLOAT_EQ(pitch, 1.5f);
    EXPECT_EQ(source_int(SFX.voices[0], AL_SOURCE_RELATIVE), AL_TRUE);

    vec3 at = {3.0f, 0.0f, -4.0f};
    sfx_play(&SFX, b, 1.0f, 1.0f, &at, nullptr);
    ALfloat p[3] = {0, 0, 0};
    alGetSourcefv(SFX.voices[1], AL_POSITION, p);
    EXPECT_EQ(source_int(SFX.voices[1], AL_SOURCE_RELATIVE), AL_FALSE);
    EXPECT_FLOAT_EQ(p[2], -4.0f);

    sfx_stop(&SFX);
    sfx_test_render(2048); // the mixer fades stopped voices out
    OPT.sfx_foreground_volume = 0.0f;
    sfx_play(&SFX, b, 1.0f, 1.0f, nullptr, nullptr);
    EXPECT_EQ(SFX.next_voice, 0);
    EXPECT_EQ(source_int(SFX.voices[0], AL_SOURCE_STATE), AL_STOPPED);
    EXPECT_LT(sfx_test_render(1024), 50);
}

// ---- loading and freeing ----

TEST_F(Sfx, WavLoadsIntoTheBufferAndAFailedFillStillReleasesIt)
{
    ASSERT_TRUE(sfx_test_start_loopback(1));
    sfx_test_write_wav("stereo.wav", 2, 11025, 1000);
    sfx_test_record_calls();
    uint32_t b = sfx_buffer_alloc(&SFX);
    ASSERT_TRUE(sfx_load_wav(&SFX, b, "stereo.wav"));
    EXPECT_EQ(buffer_int(b, AL_FREQUENCY), 11025);
    EXPECT_EQ(buffer_int(b, AL_CHANNELS), 2);
    EXPECT_EQ(buffer_int(b, AL_SIZE), 4000);
    EXPECT_EQ(sfx_test_count("alutUnloadWAV"), 1);
    EXPECT_EQ(LOGGED.error, "");

    // A failed buffer fill still releases the WAV data.
    sfx_test_record_calls();
    EXPECT_FALSE(sfx_load_wav(&SFX, 0xBADu, "stereo.wav")); // no such buffer
    EXPECT_EQ(sfx_test_count("alutUnloadWAV"), 1);
    EXPECT_NE(LOGGED.error.find("alBufferData(buffer,format,data,size,freq)"), std::string::npos);
    EXPECT_NE(LOGGED.error.find("SFX.OpenAL failed to load \"stereo.wav\" file,\n"), std::string::npos);
}

TEST_F(Sfx, BadWavPathsFailWithTheMessage)
{
    ASSERT_TRUE(sfx_test_start_loopback(1));
    sfx_test_write_wav("good.wav", 1, 22050, 100);
    FILE* f = fopen("text.wav", "w");
    fputs("this is not a sound file at all, just words", f);
    fclose(f);
    uint32_t b = sfx_buffer_alloc(&SFX);
    sfx_test_record_calls();

    // Music files are refused before ALUT sees them; only the exact lower-case ending.
    EXPECT_FALSE(sfx_load_wav(&SFX, b, "good.ogg"));
    EXPECT_EQ(sfx_test_count("alutLoadWAVFile"), 0);
    EXPECT_FALSE(sfx_load_wav(&SFX, b, "music.OGG"));
    EXPECT_EQ(sfx_test_count("alutLoadWAVFile"), 1);

    EXPECT_FALSE(sfx_load_wav(&SFX, b, "missing.wav"));
    EXPECT_FALSE(sfx_load_wav(&SFX, b, "og"));
    EXPECT_FALSE(sfx_load_wav(&SFX, b, ""));
    // A file ALUT cannot read must not load as garbage.
    EXPECT_FALSE(sfx_load_wav(&SFX, b, "text.wav"));
    EXPECT_EQ(sfx_test_count("alBufferData"), 0);
    EXPECT_EQ(buffer_int(b, AL_SIZE), 0);

    EXPECT_EQ(LOGGED.error, "SFX.OpenAL failed to load \"good.ogg\" file,\n"
                            "SFX.OpenAL failed to load \"music.OGG\" file,\n"
                            "SFX.OpenAL failed to load \"missing.wav\" file,\n"
                            "SFX.OpenAL failed to load \"og\" file,\n"
                            "SFX.OpenAL failed to load \"\" file,\n"
                            "SFX.OpenAL failed to load \"text.wav\" file,\n");
}

TEST_F(Sfx, FreeingABufferThatIsPlayingDeletesIt)
{
    ASSERT_TRUE(sfx_test_start_loopback(2));
    sfx_test_write_wav("tone.wav", 1, 22050, 22050);
    uint32_t b = sfx_buffer_alloc(&SFX);
    ASSERT_TRUE(sfx_load_wav(&SFX, b, "tone.wav"));
    sfx_play(&SFX, b, 1.0f, 1.0f, nullptr, nullptr);
    sfx_test_render(512);

    sfx_buffer_free(&SFX, b);
    EXPECT_FALSE(alIsBuffer(b));
    EXPECT_EQ(source_int(SFX.voices[0], AL_BUFFER), 0);
    EXPECT_NE(source_int(SFX.voices[0], AL_SOURCE_STATE), AL_PLAYING);
    EXPECT_TRUE(alIsBuffer(SFX.spare));
    EXPECT_EQ(LOGGED.error, "");
}
