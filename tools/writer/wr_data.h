// The 12-byte header shared by the engine's binary data files (meshes, animations, tile
// maps): magic word, version 19, and a third word that holds the body's size.
// Body writers (XTX here; mesh and animation bodies beside it) append after the header.
#pragma once

#include <cstdint>

#include "engine/code/files.h" // the layout constants only: the writer links nothing of the engine
#include "tools/writer/wr_buf.h"

// The loader's names for the header layout, under the writer's prefix.
enum : uint32_t {
    WR_MAGIC_XOX = FILES_MAGIC_XOX,
    WR_MAGIC_XSX = FILES_MAGIC_XSX,
    WR_MAGIC_XTX = FILES_MAGIC_XTX,
    WR_DATA_VERSION = FILES_VERSION,
    WR_DATA_HEADER_SIZE = FILES_HEADER_SIZE,
};

void wr_data_header(wr_buf* out, uint32_t magic, uint32_t version, uint32_t third);
// A whole data file: header (version 19, third word = body size) followed by the body.
void wr_data_file(wr_buf* out, uint32_t magic, const wr_buf* body);
