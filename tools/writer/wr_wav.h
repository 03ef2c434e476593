// WAV sound files: the canonical 44-byte RIFF header (one "fmt " chunk of 16 bytes, one
// "data" chunk) followed by the PCM samples as given.
#pragma once

#include <cstdint>

#include "tools/writer/wr_buf.h"

enum : uint32_t { WR_WAV_HEADER_SIZE = 44 };

// format 1 = integer PCM. bits per sample is 8 or 16 for the files the game plays, but any
// value is written as given so tests can make foreign files.
void wr_wav_file(wr_buf* out, uint16_t format, uint16_t channels, uint32_t rate,
                 uint16_t bits, const void* samples, uint32_t bytes);
bool wr_wav_save(const char* path, uint16_t channels, uint32_t rate, uint16_t bits,
                 const void* samples, uint32_t bytes);
