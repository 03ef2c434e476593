// Ogg Vorbis sound files: three header packets, then the PCM in slices through the
// analysis loop, each finished page appended to the file's bytes.

#include "tools/writer/wr_ogg.h"

#include <vorbis/vorbisenc.h>

#include "tools/writer/wr_buf.h"

static void wr_ogg_pages(ogg_stream_state* os, wr_buf* out, bool flush)
{
    ogg_page page;
    while (flush ? ogg_stream_flush(os, &page) : ogg_stream_pageout(os, &page)) {
        wr_buf_bytes(out, page.header, (size_t)page.header_len);
        wr_buf_bytes(out, page.body, (size_t)page.body_len);
    }
}

static void wr_ogg_drain(vorbis_dsp_state* vd, vorbis_block* vb, ogg_stream_state* os, wr_buf* out)
{
    ogg_packet packet;
    while (vorbis_analysis_blockout(vd, vb) == 1) {
        vorbis_analysis(vb, nullptr);
        vorbis_bitrate_addblock(vb);
        while (vorbis_bitrate_flushpacket(vd, &packet)) {
            ogg_stream_packetin(os, &packet);
            wr_ogg_pages(os, out, false);
        }
    }
}

bool wr_ogg_save(const char* path, int channels, int rate, const int16_t* samples,
                 uint32_t frames)
{
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, channels, rate, 0.4f) != 0) {
        vorbis_info_clear(&vi);
        return false;
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_dsp_state vd;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block vb;
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, 1);

    wr_buf out;
    ogg_packet header, comments, codebooks;
    vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &comments);
    ogg_stream_packetin(&os, &codebooks);
    wr_ogg_pages(&os, &out, true); // audio starts on a fresh page

    const uint32_t slice = 1024;
    for (uint32_t done = 0; done < frames; done += slice) {
        uint32_t n = frames - done < slice ? frames - done : slice;
        float** in = vorbis_analysis_buffer(&vd, (int)n);
        for (uint32_t i = 0; i < n; i++)
            for (int c = 0; c < channels; c++)
                in[c][i] = samples[(size_t)(done + i) * channels + c] / 32768.0f;
        vorbis_analysis_wrote(&vd, (int)n);
        wr_ogg_drain(&vd, &vb, &os, &out);
    }
    vorbis_analysis_wrote(&vd, 0);
    wr_ogg_drain(&vd, &vb, &os, &out);
    wr_ogg_pages(&os, &out, true);

    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return wr_buf_save(&out, path);
}
