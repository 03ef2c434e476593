// WAV sound files.

#include "tools/writer/wr_wav.h"

void wr_wav_file(wr_buf* out, uint16_t format, uint16_t channels, uint32_t rate,
                 uint16_t bits, const void* samples, uint32_t bytes)
{
    uint16_t block_align = (uint16_t)(channels * ((bits + 7) / 8));
    wr_buf_bytes(out, "RIFF", 4);
    wr_buf_u32(out, 36 + bytes);
    wr_buf_bytes(out, "WAVE", 4);
    wr_buf_bytes(out, "fmt ", 4);
    wr_buf_u32(out, 16);
    wr_buf_u16(out, format);
    wr_buf_u16(out, channels);
    wr_buf_u32(out, rate);
    wr_buf_u32(out, rate * block_align);
    wr_buf_u16(out, block_align);
    wr_buf_u16(out, bits);
    wr_buf_bytes(out, "data", 4);
    wr_buf_u32(out, bytes);
    if (bytes)
        wr_buf_bytes(out, samples, bytes);
}

bool wr_wav_save(const char* path, uint16_t channels, uint32_t rate, uint16_t bits,
                 const void* samples, uint32_t bytes)
{
    wr_buf file;
    wr_wav_file(&file, 1, channels, rate, bits, samples, bytes);
    return wr_buf_save(&file, path);
}
