// Data-file header.

#include "tools/writer/wr_data.h"

void wr_data_header(wr_buf* out, uint32_t magic, uint32_t version, uint32_t third)
{
    wr_buf_u32(out, magic);
    wr_buf_u32(out, version);
    wr_buf_u32(out, third);
}

void wr_data_file(wr_buf* out, uint32_t magic, const wr_buf* body)
{
    wr_data_header(out, magic, WR_DATA_VERSION, (uint32_t)wr_buf_size(body));
    wr_buf_bytes(out, body->bytes.data(), body->bytes.size());
}
