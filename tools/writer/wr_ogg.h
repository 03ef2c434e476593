// Ogg Vorbis sound files, encoded from 16-bit PCM with libvorbisenc (variable bit rate).
#pragma once

#include <cstdint>

// samples holds frames x channels interleaved values; frames may be 0 (a valid stream with
// no audio). False when the encoder refuses the layout or the file cannot be written.
bool wr_ogg_save(const char* path, int channels, int rate, const int16_t* samples,
                 uint32_t frames);
