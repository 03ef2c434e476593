// Fuzz target for the bitmap loader: the first byte picks the file kind (PNG or JPEG, single
// or as the colour half of an image pair) and the load format, the rest is written to a file
// that bmps_load_image reads. Whatever loads must be described consistently: its pixels are
// read in full. The image library's error list must be empty afterwards.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <IL/il.h>
#include <IL/ilu.h>
#include <unistd.h>

#include "engine/code/dbg.h"
#include "engine/code/gfx/bmps.h"

static volatile uint32_t sink;

static void quiet(const char*) {}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    ilInit();
    iluInit();
    ilEnable(IL_FILE_OVERWRITE);
    ilOriginFunc(IL_ORIGIN_UPPER_LEFT);
    ilEnable(IL_ORIGIN_SET);
    // Failures are expected on every other input: the files and the log go to a folder of
    // their own (under TMPDIR when set), and the log's standard output is dropped (the fuzzer
    // reports on stderr).
    static char dir[4096];
    const char* tmp = getenv("TMPDIR");
    snprintf(dir, sizeof dir, "%s/bmps_fuzz_XXXXXX", tmp && *tmp ? tmp : "/tmp");
    if (!mkdtemp(dir) || chdir(dir) != 0 || !freopen("/dev/null", "w", stdout))
        abort();
    dbg_error_hook = quiet;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 1 << 18)
        return 0;
    static const char* const names[] = {"bmps_fuzz.png", "bmps_fuzz.jpg", "bmps_fuzz.b.png", "bmps_fuzz.b.jpg"};
    static const int32_t formats[] = {0, BMIP_BGRA, BMIP_LUMINANCE, 0};
    const char* name = names[data[0] & 3];
    int32_t format = formats[(data[0] >> 2) & 3];
    FILE* f = fopen(name, "wb");
    if (!f)
        abort();
    fwrite(data + 1, 1, size - 1, f);
    fclose(f);
    if ((data[0] & 3) >= 2) { // the alpha half: the same bytes
        FILE* a = fopen((data[0] & 1) ? "bmps_fuzz.a.jpg" : "bmps_fuzz.a.png", "wb");
        if (!a)
            abort();
        fwrite(data + 1, 1, size - 1, a);
        fclose(a);
    }

    bmip info;
    uint32_t image = bmps_load_image(name, format, &info);
    if (image) {
        uint32_t sum = 0;
        for (int32_t i = 0; i < info.size; i++)
            sum += info.data[i];
        sink = sink + sum;
        bmps_delete_image(image);
    }
    if (ilGetError() != IL_NO_ERROR)
        abort();
    return 0;
}
