// Byte buffer appends and the whole-file save.

#include "tools/writer/wr_buf.h"

#include <cstdio>
#include <cstring>

void wr_buf_u8(wr_buf* b, uint8_t v) { b->bytes.push_back(v); }

void wr_buf_u16(wr_buf* b, uint16_t v)
{
    wr_buf_u8(b, (uint8_t)(v & 0xFF));
    wr_buf_u8(b, (uint8_t)(v >> 8));
}

void wr_buf_u32(wr_buf* b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        wr_buf_u8(b, (uint8_t)(v >> (8 * i)));
}

void wr_buf_i32(wr_buf* b, int32_t v) { wr_buf_u32(b, (uint32_t)v); }

void wr_buf_f32(wr_buf* b, float v)
{
    uint32_t bits;
    memcpy(&bits, &v, 4);
    wr_buf_u32(b, bits);
}

void wr_buf_bytes(wr_buf* b, const void* data, size_t n)
{
    const uint8_t* p = (const uint8_t*)data;
    b->bytes.insert(b->bytes.end(), p, p + n);
}

void wr_buf_zeros(wr_buf* b, size_t n) { b->bytes.insert(b->bytes.end(), n, 0); }

void wr_buf_patch_u32(wr_buf* b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b->bytes.at(at + i) = (uint8_t)(v >> (8 * i));
}

bool wr_buf_save(const wr_buf* b, const char* path)
{
    FILE* f = fopen(path, "wb");
    if (!f)
        return false;
    size_t n = b->bytes.size();
    bool ok = n == 0 || fwrite(b->bytes.data(), 1, n, f) == n;
    if (fclose(f) != 0)
        ok = false;
    return ok;
}
