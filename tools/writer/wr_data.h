// The 12-byte header shared by the engine's binary data files (meshes, animations, tile
// maps): magic word, version 19, and a third word that holds the body's size.
// Body writers (XTX here; mesh and animation bodies beside it) append after the header.
#pragma once

#include <cstdint>

#include "tools/writer/wr_buf.h"

enum : uint32_t {
    WR_MAGIC_XOX = 0x584F5830, // "0XOX"
    WR_MAGIC_XSX = 0x58535830, // "0XSX"
    WR_MAGIC_XTX = 0x58545830, // "0XTX"
    WR_DATA_VERSION = 19,
    WR_DATA_HEADER_SIZE = 12,
};

void wr_data_header(wr_buf* out, uint32_t magic, uint32_t version, uint32_t third);
// A whole data file: header (version 19, third word = body size) followed by the body.
void wr_data_file(wr_buf* out, uint32_t magic, const wr_buf* body);
