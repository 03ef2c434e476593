// The camera: builds and applies view, projection and light in the screen and camera
// modes, and projects points to screen pixels.
#include "engine/code/gfx/view.h"

#include <cstring>

#include "engine/code/gfx/d3d_state.h"
#include "engine/code/gfx/gfx.h"
#include "platform/d3d8.h"

static const uint32_t VIEW_AMBIENT = 0xFF606060;

static void identity(mat4* m)
{
    memset(m, 0, sizeof(*m));
    m->m[0] = m->m[5] = m->m[10] = m->m[15] = 1.0f;
}

bool view_setup(gfx_view* view, int32_t mode)
{
    view->mode = mode;
    transform none = {{0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f, 1.0f}, {1.0f, 1.0f, 1.0f}};
    view->derived = none;
    view->derived.position.x = 0.0f;  // shift x
    view->derived.position.y = 0.0f;  // shift y
    view->derived.position.z = 1.0f;  // zoom
    view_build(view);
    return true;
}

void view_clean(gfx_view* view)
{
}

bool view_reset(gfx_view* view)
{
    view_clean(view);
    return view_setup(view, view->mode);
}

static void build_screen(gfx_view* view)
{
    float shift_x = view->derived.position.x;
    float shift_y = view->derived.position.y;
    float zoom = view->derived.position.z;
    view->depth = 4096.0f;

    identity(&view->view);
    view->view.m[12] = shift_x;
    view->view.m[13] = shift_y;
    view->view.m[14] = 1024.0f;

    memset(&view->projection, 0, sizeof(view->projection));
    view->projection.m[0] = 2.0f / view->width * zoom;
    view->projection.m[5] = 2.0f / view->height * zoom;
    view->projection.m[10] = 1.0f / view->depth;
    view->projection.m[15] = 1.0f;

    vec3 light = {1.0f, -1.5f, 1.25f};
    float k = 1.0f / math_sqrt(light.x * light.x + light.y * light.y + light.z * light.z);
    view->light_dir.x = light.x * k;
    view->light_dir.y = light.y * k;
    view->light_dir.z = light.z * k;
}

// The translation is -P turned by the inverse of the derived (already inverse)
// orientation and left unscaled; the owners pre-rotate and scale their camera position to
// match, so both sides must change together or not at all.
static void build_camera(gfx_view* view)
{
    transform* d = &view->derived;
    const transform* c = &view->camera;
    d->position.x = -c->position.x;
    d->position.y = -c->position.y;
    d->position.z = -c->position.z;
    d->orientation = c->orientation;
    d->orientation.w = -c->orientation.w;
    d->scale = c->scale;

    vec3_rotate_inverse(&d->position, &d->position, &d->orientation);
    mat4_from_transform(&view->view, d);
    vec3_rotate(&d->position, &d->position, &d->orientation);

    memset(&view->projection, 0, sizeof(view->projection));
    view->projection.m[0] = 2.0f / view->width;
    view->projection.m[5] = 2.0f / view->height;
    view->projection.m[10] = 1.0f / (c->scale.z * 128.0f);
    view->projection.m[15] = 1.0f;
}

void view_build(gfx_view* view)
{
    if (view->mode != VIEW_MODE_SCREEN && view->mode != VIEW_MODE_CAMERA)
        return;
    view->width = (float)GFX.screen_width;
    view->height = (float)GFX.screen_height;
    if (view->mode == VIEW_MODE_SCREEN)
        build_screen(view);
    else
        build_camera(view);
}

void view_apply(gfx_view* view)
{
    IDirect3DDevice8* device = GFX.d3d_gfx.device;
    d3d_state_reset(device);
    gfx_set_zwrite(&GFX, true);
    gfx_set_ambient(&GFX, VIEW_AMBIENT);

    // These four are made outside the device check: their results are not looked at.
    IDirect3DDevice8_SetTransform(device, D3DTS_VIEW, (const D3DMATRIX*)&view->view);
    IDirect3DDevice8_SetTransform(device, D3DTS_PROJECTION, (const D3DMATRIX*)&view->projection);
    d3d_state_white_light(device, view->light_dir.x, view->light_dir.y, view->light_dir.z);
    IDirect3DDevice8_LightEnable(device, 0, TRUE);
}

bool view_project(gfx_view* view, vec3* point)
{
    mat4_project(point, point, &view->view);
    bool ok = mat4_project(point, point, &view->projection);
    point->x = (point->x + 1.0f) * view->width * 0.5f;
    point->y = (0.5f - point->y * 0.5f) * view->height;
    return ok;
}

void view_project_point(gfx_view* view, vec3* point)
{
    view_project(view, point);
}

bool view_project_offset(gfx_view* view, vec3* offset)
{
    bool ok = mat4_project(offset, offset, &view->projection);
    offset->x = offset->x * view->width * 0.5f;
    offset->y = offset->y * view->height * 0.5f;
    return ok;
}
