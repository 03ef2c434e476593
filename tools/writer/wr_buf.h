// Byte buffer for building binary files: little-endian appends, in-place patches and a
// whole-file save. The writer library's other modules build their files in one of these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct wr_buf {
    std::vector<uint8_t> bytes;
};

void wr_buf_u8(wr_buf* b, uint8_t v);
void wr_buf_u16(wr_buf* b, uint16_t v);
void wr_buf_u32(wr_buf* b, uint32_t v);
void wr_buf_i32(wr_buf* b, int32_t v);
void wr_buf_f32(wr_buf* b, float v);
void wr_buf_bytes(wr_buf* b, const void* data, size_t n);
void wr_buf_zeros(wr_buf* b, size_t n);
// Overwrites four bytes at `at` (which must already exist) with v, little-endian.
void wr_buf_patch_u32(wr_buf* b, size_t at, uint32_t v);
inline size_t wr_buf_size(const wr_buf* b) { return b->bytes.size(); }

// Writes the buffer as the whole file (replacing it). False when it cannot be written.
bool wr_buf_save(const wr_buf* b, const char* path);
