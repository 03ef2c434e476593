// Image-library set-up shared by the bitmap, image and tile-map tests (see harness.h).

#include "tests/harness/harness.h"

#include <IL/il.h>
#include <IL/ilu.h>

void harness_il_start()
{
    ilInit();
    iluInit();
    ilEnable(IL_FILE_OVERWRITE);
    ilOriginFunc(IL_ORIGIN_UPPER_LEFT);
    ilEnable(IL_ORIGIN_SET);
}

int harness_il_images()
{
    int n = 0;
    for (ILuint i = 1; i < 300; i++)
        n += ilIsImage(i) ? 1 : 0;
    return n;
}
