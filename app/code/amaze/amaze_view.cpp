// The maze camera: turns and zooms from the any-player buttons, follows the first
// protagonist inside the map, publishes the screen's grid directions and turns the light.

#include "app/code/amaze/amaze_view.h"

#include "app/code/amaze/amaze.h"
#include "app/code/input.h"
#include "engine/code/maths.h"

static const float VIEW_PI = 3.14159265358979f;
static const float VIEW_TWO_PI = 2.0f * VIEW_PI;

bool amaze_view_setup(amaze_view* v, amaze* owner)
{
    v->view.mode = 0;
    v->owner = owner;
    view_setup(&v->view, VIEW_MODE_CAMERA);
    v->yaw = VIEW_TWO_PI / 16.0f;
    v->distance = 64.0f;
    v->zoom = 64.0f;
    v->pitch = VIEW_TWO_PI / 8.0f;
    v->pitch_speed = 0.0f;
    v->yaw_speed = 0.0f;
    v->view_up = {0.0f, 0.0f, 0.0f};
    v->view_right = {0.0f, 0.0f, 0.0f};
    return true;
}

bool amaze_view_reset(amaze_view* v)
{
    view_clean(&v->view);
    return amaze_view_setup(v, v->owner);
}

void amaze_view_clean(amaze_view* v) { view_clean(&v->view); }

void amaze_view_draw(amaze_view* v) { view_apply(&v->view); }

static float wrap_angle(float a)
{
    while (a > VIEW_TWO_PI)
        a -= VIEW_TWO_PI;
    while (a < 0.0f)
        a += VIEW_TWO_PI;
    return a;
}

// Keeps the view's half extent on a map of `cells` cells along one axis.
static float keep_on_map(float t, float half, int32_t cells)
{
    float room = (float)cells * 0.5f - half;
    if (room < 0.0f)
        return 0.0f;
    return t < -room ? -room : t > room ? room : t;
}

static void grid_directions(amaze_view* v)
{
    const float q = VIEW_PI / 4.0f;
    float up_x, up_z, right_x, right_z;
    if (v->yaw < q || v->yaw > 7.0f * q) {
        up_x = 0.0f, up_z = 1.0f, right_x = 1.0f, right_z = 0.0f;
    } else if (v->yaw < 3.0f * q) {
        up_x = 1.0f, up_z = 0.0f, right_x = 0.0f, right_z = -1.0f;
    } else if (v->yaw < 5.0f * q) {
        up_x = 0.0f, up_z = -1.0f, right_x = -1.0f, right_z = 0.0f;
    } else if (v->yaw < 7.0f * q) {
        up_x = -1.0f, up_z = 0.0f, right_x = 0.0f, right_z = 1.0f;
    } else {
        return;  // exactly on the last boundary: keep the last answer
    }
    v->view_up = {up_x, 0.0f, up_z};
    v->view_right = {right_x, 0.0f, right_z};
}

static void turn_light(amaze_view* v)
{
    vec3 l = {1.0f, -1.5f, 1.25f};
    float s = l.x * l.x + l.y * l.y + l.z * l.z;
    if (s > 0.0f) {
        float k = 1.0f / math_sqrt(s);
        l = {l.x * k, l.y * k, l.z * k};
    } else {
        l = {0.0f, 1.0f, 0.0f};
    }
    quat turn;
    quat_rotation_y(&turn, v->yaw);
    vec3_rotate(&v->view.light_dir, &l, &turn);
}

void amaze_view_update(amaze_view* v)
{
    amaze* a = v->owner;
    const input_player* any = &INPUT.players[4];
    if (any->in.held)
        v->zoom -= 1.0f;
    if (any->out.held)
        v->zoom += 1.0f;
    if (v->zoom > 128.0f)
        v->zoom = 128.0f;
    if (v->zoom < 16.0f)
        v->zoom = 16.0f;
    float w = a ? a->view_w : 0.0f, h = a ? a->view_h : 0.0f;
    float half = (w < h ? w : h) / (2.0f * v->zoom);

    const float nudge = 1.0f / 256.0f;
    if (any->left.held)
        v->yaw_speed += nudge;
    if (any->right.held)
        v->yaw_speed -= nudge;
    if (any->up.held)
        v->pitch_speed += nudge;
    if (any->down.held)
        v->pitch_speed -= nudge;
    v->pitch_speed *= 0.9375f;
    v->yaw_speed *= 0.9375f;
    v->pitch = wrap_angle(v->pitch + v->pitch_speed);
    v->yaw = wrap_angle(v->yaw + v->yaw_speed);

    transform* cam = &v->view.camera;
    cam->position = {0.0f, 0.0f, 0.0f};
    cam->orientation = {0.0f, 0.0f, 0.0f, 1.0f};
    cam->scale = {1.0f, 1.0f, 1.0f};
    quat_rotate_x(&cam->orientation, v->pitch);
    quat_rotate_y(&cam->orientation, v->yaw);
    cam->position = {0.0f, 0.0f, -(v->distance * v->zoom)};

    if (a && a->protagonists.count > 0 && a->protagonists.items[0]) {
        const vec3* at = &a->protagonists.items[0]->body.xform.position;
        vec3 t = {keep_on_map(at->x, half, a->isomap.cells_x), 0.0f, keep_on_map(at->z, half, a->isomap.cells_y)};
        vec3 r;
        vec3_rotate_inverse(&r, &t, &cam->orientation);
        cam->position.x += r.x * v->zoom;
        cam->position.y += r.y * v->zoom;
        cam->position.z += r.z * v->zoom;
    }
    vec3_rotate_inverse(&cam->position, &cam->position, &cam->orientation);
    cam->scale = {v->zoom, v->zoom, v->zoom};

    grid_directions(v);
    turn_light(v);
    view_build(&v->view);
}
