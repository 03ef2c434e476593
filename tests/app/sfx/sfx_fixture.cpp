// Shared helpers of the sound tests (see sfx_fixture.h).

#include "tests/app/sfx/sfx_fixture.h"

#define AL_ALEXT_PROTOTYPES
#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "tools/writer/wr_ogg.h"
#include "tools/writer/wr_wav.h"

static ALCdevice* loopback_open(const ALCchar* name)
{
    return name ? nullptr : alcLoopbackOpenDeviceSOFT(nullptr);
}

static ALCcontext* loopback_context(ALCdevice* device, const ALCint*)
{
    const ALCint attributes[] = {ALC_FORMAT_CHANNELS_SOFT, ALC_MONO_SOFT, ALC_FORMAT_TYPE_SOFT,
                                 ALC_SHORT_SOFT, ALC_FREQUENCY, 22050, 0};
    return alcCreateContext(device, attributes);
}

void sfx_test_begin()
{
    sfx_al = sfx_al_default;
    memset(&OPT, 0, sizeof(OPT));
    log_capture_start();
}

void sfx_test_end()
{
    sfx_clean(&SFX);
    sfx_al = sfx_al_default;
    log_capture_stop();
}

void sfx_test_use_loopback()
{
    sfx_al.alcOpenDevice = loopback_open;
    sfx_al.alcCreateContext = loopback_context;
}

bool sfx_test_start_loopback(int voices)
{
    sfx_test_use_loopback();
    sfx_test_options(voices);
    return sfx_setup(&SFX);
}

int sfx_test_render(int frames)
{
    std::vector<int16_t> out((size_t)frames);
    alcRenderSamplesSOFT(SFX.device, out.data(), frames);
    int peak = 0;
    for (int16_t v : out)
        peak = std::max(peak, std::abs((int)v));
    return peak;
}

void sfx_test_options(int voices, float foreground, float background)
{
    OPT.sfx_enabled = 1;
    OPT.sfx_voices = voices;
    OPT.sfx_foreground_volume = foreground;
    OPT.sfx_background_volume = background;
    OPT.sfx_device_name[0] = 0;
}

std::vector<int16_t> sfx_test_tone(int channels, int rate, uint32_t frames, float hz)
{
    std::vector<int16_t> pcm((size_t)frames * channels);
    for (uint32_t i = 0; i < frames; i++)
        for (int c = 0; c < channels; c++)
            pcm[(size_t)i * channels + c] = (int16_t)(12000 * std::sin(6.2831853 * hz * i / rate));
    return pcm;
}

void sfx_test_write_wav(const char* path, int channels, int rate, uint32_t frames)
{
    std::vector<int16_t> pcm = sfx_test_tone(channels, rate, frames, 440.0f);
    ASSERT_TRUE(wr_wav_save(path, (uint16_t)channels, (uint32_t)rate, 16, pcm.data(),
                            (uint32_t)(pcm.size() * 2)));
}

void sfx_test_write_ogg(const char* path, int channels, int rate, uint32_t frames)
{
    std::vector<int16_t> pcm = sfx_test_tone(channels, rate, frames, 440.0f);
    ASSERT_TRUE(wr_ogg_save(path, channels, rate, pcm.data(), frames));
}

// ---- recording ----

static std::vector<std::string> calls;

// Each recorder notes its call's name and forwards it to the real library.
#define SFX_TEST_RECORDER(name, ret, params, args)                                            \
    static ret rec_##name params                                                           \
    {                                                                                      \
        calls.push_back(#name);                                                            \
        return sfx_al_default.name args;                                                   \
    }
SFX_TEST_RECORDER(alcOpenDevice, ALCdevice*, (const ALCchar* n), (n))
SFX_TEST_RECORDER(alcCloseDevice, ALCboolean, (ALCdevice* d), (d))
SFX_TEST_RECORDER(alGenBuffers, void, (ALsizei n, ALuint* b), (n, b))
SFX_TEST_RECORDER(alDeleteBuffers, void, (ALsizei n, const ALuint* b), (n, b))
SFX_TEST_RECORDER(alBufferData, void, (ALuint b, ALenum f, const ALvoid* d, ALsizei s, ALsizei r),
                  (b, f, d, s, r))
SFX_TEST_RECORDER(alSourcei, void, (ALuint s, ALenum p, ALint v), (s, p, v))
SFX_TEST_RECORDER(alSourcePlay, void, (ALuint s), (s))
SFX_TEST_RECORDER(alutLoadWAVFile, void,
                  (ALbyte* p, ALenum* f, void** d, ALsizei* s, ALsizei* r, ALboolean* l),
                  (p, f, d, s, r, l))
SFX_TEST_RECORDER(alutUnloadWAV, void, (ALenum f, ALvoid* d, ALsizei s, ALsizei r), (f, d, s, r))

void sfx_test_record_calls()
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

const std::vector<std::string>& sfx_test_calls() { return calls; }

int sfx_test_count(const char* name)
{
    int n = 0;
    for (const std::string& c : calls)
        n += c == name;
    return n;
}
