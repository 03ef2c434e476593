// Pictures and sounds: the image writer's files read back through the image library as they
// were given, and the installation content the build generated: the three fonts' metrics
// agree with their page images, the console font image has one glyph per cell of its grid,
// and the music decodes to its notes.
#include <gtest/gtest.h>

#include <IL/il.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "engine/code/files.h"
#include "engine/code/gfx/xtx.h"
#include "tools/writer/wr_image.h"

static std::string data_path(const char* name) { return std::string(DORVALE_GAME_DIR "/data/") + name; }

struct rgba_image {
    int w = 0, h = 0;
    ILint format = 0;
    std::vector<uint8_t> px;
    const uint8_t* at(int x, int y) const { return &px[((size_t)y * w + x) * 4]; }
};

static rgba_image load_png(const std::string& path)
{
    rgba_image im;
    ilInit();
    ilEnable(IL_ORIGIN_SET);
    ilOriginFunc(IL_ORIGIN_UPPER_LEFT);
    ILuint id;
    ilGenImages(1, &id);
    ilBindImage(id);
    if (ilLoadImage(path.c_str())) {
        im.w = ilGetInteger(IL_IMAGE_WIDTH);
        im.h = ilGetInteger(IL_IMAGE_HEIGHT);
        im.format = ilGetInteger(IL_IMAGE_FORMAT);
        ilConvertImage(IL_RGBA, IL_UNSIGNED_BYTE);
        const uint8_t* d = ilGetData();
        im.px.assign(d, d + (size_t)im.w * im.h * 4);
    }
    ilDeleteImages(1, &id);
    return im;
}

// Grey and paletted files are read back by the image loader's tests.
TEST(WriterImage, RgbaPngReadsBackTopRowFirstOverAnOlderFileAndBadShapesAreRefused)
{
    const uint8_t px[2 * 3 * 4] = {
        255, 0, 0, 255,   0, 255, 0, 128,
        0, 0, 255, 0,     1, 2, 3, 4,
        9, 9, 9, 9,       200, 100, 50, 25,
    };
    ASSERT_TRUE(wr_image_save("rgba.png", 1, 1, 4, px + 4));
    ASSERT_TRUE(wr_image_save("rgba.png", 2, 3, 4, px));
    EXPECT_FALSE(wr_image_save("bad.png", 1, 1, 2, px)); // two channels
    EXPECT_FALSE(wr_image_save("bad.png", 0, 1, 4, px));
    EXPECT_FALSE(wr_image_save("no/such/folder/x.png", 1, 1, 4, px));
    EXPECT_EQ(ilGetError(), (ILenum)IL_NO_ERROR);
    rgba_image im = load_png("rgba.png");
    EXPECT_EQ(im.w, 2);
    EXPECT_EQ(im.h, 3);
    EXPECT_EQ(im.format, IL_RGBA);
    EXPECT_EQ(im.px, std::vector<uint8_t>(px, px + sizeof px));
}

struct font_case {
    const char* base;
    int page;
    bool outlined; // white glyphs with a black rim; plain ones are all white
};

static void check_font(const font_case fc)
{
    files_setup(&FILES);
    files_data* d = files_load(&FILES, (data_path(fc.base) + ".xtx").c_str());
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->header.magic, (uint32_t)XTX_MAGIC);
    ASSERT_EQ(xtx_key_count(d), 256u);
    EXPECT_TRUE(xtx_keys_valid(d));
    auto width = [&](int code) { // -1 for a character without a glyph
        xtx_tile t = {};
        return xtx_key_tile(d, (uint32_t)code, &t) ? (int)t.w : -1;
    };

    rgba_image page = load_png(data_path(fc.base) + ".png");
    ASSERT_GT(page.w, 0);
    EXPECT_EQ(page.format, IL_RGBA);
    EXPECT_EQ(page.w & (page.w - 1), 0) << "power of two";
    EXPECT_EQ(page.h & (page.h - 1), 0) << "power of two";

    for (int c = 0; c <= 160; c = c == 32 ? 127 : c + 1)
        EXPECT_EQ(width(c), -1) << c;
    for (const char* s = "AZaz09!~\xE9\xC5"; *s; ++s) // the last two: e acute, A ring
        EXPECT_GT(width((uint8_t)*s), 0) << *s;

    std::vector<uint8_t> covered((size_t)page.w * page.h, 0);
    for (uint32_t i = 0; i < xtx_tile_count(d); ++i) {
        xtx_tile t;
        ASSERT_TRUE(xtx_get_tile(d, i, &t));
        ASSERT_TRUE(t.w > 0 && t.h > 0 && t.x + t.w <= page.w && t.y + t.h <= page.h) << "tile " << i;
        EXPECT_LE(t.offset_y + t.h, fc.page) << "glyph leaves its line cell";
        bool ink = false;
        for (int y = t.y; y < t.y + t.h; ++y)
            for (int x = t.x; x < t.x + t.w; ++x) {
                EXPECT_EQ(covered[(size_t)y * page.w + x], 0) << "tiles overlap";
                covered[(size_t)y * page.w + x] = 1;
                ink = ink || page.at(x, y)[3] != 0;
            }
        EXPECT_TRUE(ink) << "tile " << i << " is empty";
    }
    for (size_t i = 0; i < covered.size(); ++i)
        ASSERT_TRUE(covered[i] || !page.px[i * 4 + 3]) << "ink outside every tile at " << i % page.w << "," << i / page.w;

    // Proportional: a narrow and a wide letter differ sensibly.
    EXPECT_LT(width('i') * 2, width('W'));
    int grey = 0, black = 0, white = 0; // inked pixels by colour, black and white opaque
    for (size_t i = 0; i < page.px.size(); i += 4) {
        grey += page.px[i + 3] && page.px[i] != 255;
        black += page.px[i + 3] == 255 && page.px[i] == 0;
        white += page.px[i + 3] == 255 && page.px[i] == 255;
    }
    EXPECT_GT(white, 100);
    if (fc.outlined) {
        EXPECT_GT(black, 100);
    } else {
        EXPECT_EQ(grey, 0);
    }
    files_clean(&FILES);
}

TEST(GeneratedFont, MetricsAgreeWithPage)
{
    for (font_case fc : {font_case{"fonts/outlined_16_latin", 16, true},
                         font_case{"fonts/comic_16_latin", 16, false}, font_case{"fonts/comic_32_latin", 32, false}}) {
        SCOPED_TRACE(fc.base);
        check_font(fc);
    }
}

TEST(GeneratedConsoleFont, OneGlyphPerCellAndNothingBetween)
{
    rgba_image im = load_png(data_path("debug/debug8x8_font.png"));
    ASSERT_EQ(im.w, 128);
    ASSERT_EQ(im.h, 128);
    EXPECT_EQ(im.format, IL_RGBA);
    std::vector<uint8_t> inside(128 * 128, 0);
    for (int c = 32; c <= 126; ++c) {
        int col = (c - 32) % 12, row = (c - 32) / 12;
        int ink = 0;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                int px = col * 10 + 1 + x, py = row * 10 + 1 + y;
                inside[py * 128 + px] = 1;
                ink += im.at(px, py)[3] != 0;
                EXPECT_TRUE(!im.at(px, py)[3] || im.at(px, py)[0] == 255) << "white ink";
            }
        EXPECT_EQ(ink > 0, c != 32) << "character " << c << " has ink unless a space";
    }
    for (int i = 0; i < 128 * 128; ++i)
        ASSERT_TRUE(inside[i] || !im.px[i * 4 + 3]) << "ink between cells at " << i % 128 << "," << i / 128;
}

// The tune, worked from A4 = 440 Hz: C5 523.25, E5 659.26, G5 783.99, A5 880.00, G5, E5,
// D5 587.33, C5; each note 0.3 s at 22050 Hz (6615 frames), eight notes, mono.
TEST(GeneratedMusic, DecodesToTheEightNotesInTurn)
{
    OggVorbis_File vf;
    ASSERT_EQ(ov_fopen(data_path("music/tune.ogg").c_str(), &vf), 0);
    EXPECT_TRUE(ov_info(&vf, -1)->channels == 1 && ov_info(&vf, -1)->rate == 22050) << "mono, 22050 Hz";
    std::vector<int16_t> pcm;
    int16_t block[2048];
    int link = 0;
    for (long got; (got = ov_read(&vf, (char*)block, sizeof block, 0, 2, 1, &link)) > 0;)
        pcm.insert(pcm.end(), block, block + got / 2);
    ov_clear(&vf);
    ASSERT_EQ(pcm.size(), 8u * 6615u);

    const double note[5] = {523.25, 587.33, 659.26, 783.99, 880.00};
    const int tune[8] = {0, 2, 3, 4, 3, 2, 1, 0};
    auto power = [&](size_t from, size_t to, double hz) { // one bin of a plain DFT
        double re = 0, im = 0;
        for (size_t i = from; i < to; i++) {
            re += pcm[i] * cos(2 * M_PI * hz * (double)i / 22050);
            im += pcm[i] * sin(2 * M_PI * hz * (double)i / 22050);
        }
        return re * re + im * im;
    };
    for (int n = 0; n < 8; n++) {
        SCOPED_TRACE(n);
        size_t from = n * 6615u + 200, to = n * 6615u + 6000; // past the attack, before the fade
        double want = power(from, to, note[tune[n]]);
        for (int k = 0; k < 5; k++)
            EXPECT_TRUE(k == tune[n] || want > 50 * power(from, to, note[k])) << note[k] << " Hz";
        EXPECT_GT(2 * sqrt(want) / (double)(to - from), 3000) << "mean amplitude: audible";
    }
    // Silence at both ends: the loop's seam does not click.
    EXPECT_LT(abs(pcm.front()), 300);
    EXPECT_LT(abs(pcm.back()), 300);
}
