// The background tune: eight plucked notes synthesised into a mono Ogg Vorbis file that the
// music stream loops. Every note rises over a few milliseconds, dies away and ends at
// silence, so the loop's seam and the note boundaries do not click.

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "tools/gen/gen.h"
#include "tools/writer/wr_ogg.h"

enum { MUSIC_RATE = 22050, MUSIC_NOTE_FRAMES = MUSIC_RATE * 3 / 10 };

// Semitones above A4 (440 Hz): C5 E5 G5 A5 G5 E5 D5 C5 (a pentatonic phrase).
static const int music_notes[] = {3, 7, 10, 12, 10, 7, 5, 3};

// One note into out: a sine with a weaker octave for colour, a 10 ms linear attack, an
// exponential decay and a 20 ms fade to zero at its end.
static void music_note(int16_t* out, double freq)
{
    const double pi = 3.14159265358979323846;
    const int attack = MUSIC_RATE / 100, fade = MUSIC_RATE / 50;
    for (int i = 0; i < MUSIC_NOTE_FRAMES; i++) {
        double t = (double)i / MUSIC_RATE;
        double env = i < attack ? (double)i / attack : exp(-(t - 0.01) / 0.15);
        if (i > MUSIC_NOTE_FRAMES - fade)
            env *= (double)(MUSIC_NOTE_FRAMES - i) / fade;
        double wave = sin(2 * pi * freq * t) + 0.25 * sin(4 * pi * freq * t);
        out[i] = (int16_t)lround(0.45 * 32767 * env * wave / 1.25);
    }
}

bool gen_music(const char* data_dir)
{
    std::string dir = std::string(data_dir) + "/music";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        fprintf(stderr, "dorvale_gen: cannot make %s: %s\n", dir.c_str(), ec.message().c_str());
        return false;
    }
    const int count = (int)(sizeof music_notes / sizeof music_notes[0]);
    std::vector<int16_t> pcm((size_t)count * MUSIC_NOTE_FRAMES);
    for (int n = 0; n < count; n++)
        music_note(&pcm[(size_t)n * MUSIC_NOTE_FRAMES], 440.0 * pow(2.0, music_notes[n] / 12.0));
    std::string path = dir + "/tune.ogg";
    if (!wr_ogg_save(path.c_str(), 1, MUSIC_RATE, pcm.data(), (uint32_t)pcm.size())) {
        fprintf(stderr, "dorvale_gen: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}
