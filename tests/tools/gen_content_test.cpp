// The installation content the build generated: the three fonts' metrics agree with their
// page images, the console font image has one glyph per cell of its grid, and the music
// decodes to its notes.
#include <gtest/gtest.h>

#include <IL/il.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/code/files.h"
#include "engine/code/gfx/xtx.h"

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

struct font_case {
    const char* base;
    int page;
};

static void check_font(const font_case fc)
{
    files_setup(&FILES);
    files_data* d = files_load(&FILES, (data_path(fc.base) + ".xtx").c_str());
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->header.magic, (uint32_t)XTX_MAGIC);
    ASSERT_EQ(xtx_key_count(d), 256u);
    EXPECT_TRUE(xtx_keys_valid(d));
    auto has = [&](int code) {
        xtx_tile t;
        return xtx_key_tile(d, (uint32_t)code, &t);
    };
    auto width = [&](int code) {
        xtx_tile t = {};
        xtx_key_tile(d, (uint32_t)code, &t);
        return (int)t.w;
    };

    rgba_image page = load_png(data_path(fc.base) + ".png");
    ASSERT_GT(page.w, 0);
    EXPECT_EQ(page.format, IL_RGBA);
    EXPECT_EQ(page.w & (page.w - 1), 0) << "power of two";
    EXPECT_EQ(page.h & (page.h - 1), 0) << "power of two";

    for (int c = 0; c <= 32; ++c)
        EXPECT_FALSE(has(c)) << c;
    for (int c = 127; c <= 160; ++c)
        EXPECT_FALSE(has(c)) << c;
    for (const char* s = "AZaz09!~"; *s; ++s)
        EXPECT_TRUE(has((uint8_t)*s)) << *s;
    EXPECT_TRUE(has(0xE9)); // e acute
    EXPECT_TRUE(has(0xC5)); // A ring

    std::vector<uint8_t> covered((size_t)page.w * page.h, 0);
    for (uint32_t i = 0; i < xtx_tile_count(d); ++i) {
        xtx_tile t;
        ASSERT_TRUE(xtx_get_tile(d, i, &t));
        ASSERT_GT(t.w, 0);
        ASSERT_GT(t.h, 0);
        ASSERT_LE(t.x + t.w, page.w);
        ASSERT_LE(t.y + t.h, page.h);
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
    for (int y = 0; y < page.h; ++y)
        for (int x = 0; x < page.w; ++x)
            if (!covered[(size_t)y * page.w + x]) {
                ASSERT_EQ(page.at(x, y)[3], 0) << "ink outside every tile at " << x << "," << y;
            }

    // Proportional: a narrow and a wide letter differ sensibly.
    EXPECT_LT(width('i') * 2, width('W'));
    files_clean(&FILES);
}

TEST(GeneratedFont, MetricsAgreeWithPage)
{
    for (font_case fc : {font_case{"fonts/outlined_16_latin", 16}, font_case{"fonts/comic_16_latin", 16},
                         font_case{"fonts/comic_32_latin", 32}}) {
        SCOPED_TRACE(fc.base);
        check_font(fc);
    }
}

TEST(GeneratedFontStyle, ComicIsWhiteAndOutlineHasABlackRim)
{
    rgba_image comic = load_png(data_path("fonts/comic_16_latin.png"));
    rgba_image outline = load_png(data_path("fonts/outlined_16_latin.png"));
    ASSERT_GT(comic.w, 0);
    ASSERT_GT(outline.w, 0);
    int dark_comic = 0, rim = 0, fill = 0;
    for (size_t i = 0; i < comic.px.size(); i += 4)
        dark_comic += comic.px[i + 3] && comic.px[i] != 255;
    for (size_t i = 0; i < outline.px.size(); i += 4) {
        rim += outline.px[i + 3] == 255 && outline.px[i] == 0;
        fill += outline.px[i + 3] == 255 && outline.px[i] == 255;
    }
    EXPECT_EQ(dark_comic, 0);
    EXPECT_GT(rim, 100);
    EXPECT_GT(fill, 100);
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
                if (im.at(px, py)[3]) {
                    EXPECT_EQ(im.at(px, py)[0], 255);
                }
            }
        if (c == 32) {
            EXPECT_EQ(ink, 0);
        } else {
            EXPECT_GT(ink, 0) << "character " << c;
        }
    }
    for (int i = 0; i < 128 * 128; ++i)
        if (!inside[i]) {
            ASSERT_EQ(im.px[i * 4 + 3], 0) << "ink between cells at " << i % 128 << "," << i / 128;
        }
}

// The tune, worked from A4 = 440 Hz: C5 523.25, E5 659.26, G5 783.99, A5 880.00, G5, E5,
// D5 587.33, C5; each note 0.3 s at 22050 Hz (6615 frames), eight notes, mono.
TEST(GeneratedMusic, DecodesToTheEightNotesInTurn)
{
    OggVorbis_File vf;
    ASSERT_EQ(ov_fopen(data_path("music/tune.ogg").c_str(), &vf), 0);
    EXPECT_EQ(ov_info(&vf, -1)->channels, 1);
    EXPECT_EQ(ov_info(&vf, -1)->rate, 22050);
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
        for (int k = 0; k < 5; k++) {
            if (k != tune[n]) {
                EXPECT_GT(want, 50 * power(from, to, note[k])) << note[k] << " Hz";
            }
        }
        int peak = 0;
        for (size_t i = from; i < to; i++)
            peak = std::max(peak, abs(pcm[i]));
        EXPECT_GT(peak, 6000) << "audible";
    }
    // Silence at both ends: the loop's seam does not click.
    EXPECT_LT(abs(pcm.front()), 300);
    EXPECT_LT(abs(pcm.back()), 300);
}
