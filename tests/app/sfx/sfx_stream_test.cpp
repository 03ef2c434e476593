// The music stream on a loopback device: formats, the first fill, looping inside a block,
// restarting after a stop, a new file or an underrun, and the files it must refuse.
#include <cstring>
#include <unistd.h>

#include "tests/app/sfx/sfx_fixture.h"

namespace {

struct Stream : SfxFixture {
    void SetUp() override
    {
        SfxFixture::SetUp();
        ASSERT_TRUE(sfx_test_start_loopback(2));
        sfx_test_write_ogg("a.ogg", 1, 22050, 22050);
    }
    ALint state()
    {
        ALint v = 0;
        alGetSourcei(SFX.music.source, AL_SOURCE_STATE, &v);
        return v;
    }
    // Frames until the music plays (updates with a little mixing between), or -1.
    int frames_to_play(int limit)
    {
        for (int i = 1; i <= limit; i++) {
            sfx_update(&SFX);
            if (state() == AL_PLAYING)
                return i;
            sfx_test_render(256);
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
    sfx_test_write_ogg("short.ogg", 1, 22050, 1000);
    sfx_al.alBufferData = keep_block;
    sfx_stream_open(&SFX.music, "short.ogg");
    sfx_update(&SFX);
    ASSERT_EQ(last_block.size(), 16384u);
    EXPECT_EQ(memcmp(last_block.data(), last_block.data() + 2000, 2000), 0);
    EXPECT_EQ(memcmp(last_block.data(), last_block.data() + 14000, 2000), 0);
    EXPECT_EQ(LOGGED.error, "");
}

TEST_F(Stream, FormatFollowsChannelsAndPlayRestartsAfterANewFileAStopAndAnUnderrun)
{
    // Playing starts with the fourth buffer queued, in the fourth update.
    sfx_test_write_ogg("b.ogg", 2, 22050, 22050);
    sfx_stream_open(&SFX.music, "a.ogg");
    EXPECT_EQ(SFX.music.format, AL_FORMAT_MONO16);
    ASSERT_EQ(frames_to_play(5), 4);
    EXPECT_GT(sfx_test_render(2048), 5000);

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
    sfx_test_render(4 * 16384);
    EXPECT_EQ(state(), AL_STOPPED);
    EXPECT_GT(frames_to_play(6), 0);
    EXPECT_GT(sfx_test_render(1024), 3000);
    EXPECT_EQ(LOGGED.error, "");
}

TEST_F(Stream, MissingForeignEmptyAndManyChannelFilesStopTheMusicWithAMessage)
{
    sfx_test_write_wav("sound.wav", 1, 22050, 22050);
    sfx_test_write_ogg("empty.ogg", 1, 22050, 0);
    sfx_test_write_ogg("six.ogg", 6, 22050, 4000);
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

// A zero background volume neither stops nor opens music; without a device nothing opens.
TEST_F(Stream, ZeroBackgroundVolumeOrNoDeviceOpenNothing)
{
    sfx_stream_open(&SFX.music, "a.ogg");
    OPT.sfx_background_volume = 0.0f;
    sfx_stream_open(&SFX.music, nullptr);
    EXPECT_NE(SFX.music.file, nullptr);

    OPT.sfx_background_volume = 1.0f;
    sfx_clean(&SFX);
    sfx_al.alcOpenDevice = [](const ALCchar*) -> ALCdevice* { return nullptr; };
    EXPECT_FALSE(sfx_setup(&SFX));
    sfx_stream_open(&SFX.music, "a.ogg");
    EXPECT_EQ(SFX.music.file, nullptr);
    sfx_update(&SFX);
}

TEST_F(Stream, FileThatStopsDecodingEndsTheMusicInsteadOfHanging)
{
    sfx_test_write_ogg("long.ogg", 1, 22050, 5 * 22050);
    sfx_stream_open(&SFX.music, "long.ogg");
    ASSERT_NE(SFX.music.file, nullptr);
    ASSERT_EQ(truncate("long.ogg", 0), 0); // nothing left to read or seek back to

    for (int i = 0; i < 40 && SFX.music.file; i++) { // a few seconds of music
        sfx_update(&SFX);
        sfx_test_render(8192);
    }
    EXPECT_EQ(SFX.music.file, nullptr);
    EXPECT_NE(state(), AL_PLAYING);
    EXPECT_NE(LOGGED.error.find("Music stream stopped"), std::string::npos);
}
