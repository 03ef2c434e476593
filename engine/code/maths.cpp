// 3D arithmetic on single-precision floats: vectors, quaternions, row-vector matrices,
// transforms, the damped motion step and the moving-sphere contact test.
// Everything stays in float; the thresholds are compared exactly, so never build this
// with -ffast-math.
#include "engine/code/maths.h"

#include <cmath>

#include "engine/code/dbg.h"

const float MATH_PROJECT_EPSILON = 0x1.4f8b58p-17f;  // bits 0x3727C5AC
const float MATH_RENORM_HIGH = 0x1.00801p+0f;        // bits 0x3F804008
const float MATH_RENORM_LOW = 0x1.ff002p-1f;         // bits 0x3F7F8010
const float MATH_OVERLAP_MARGIN = 0.00390625f;

// --- vectors --------------------------------------------------------------------------

float math_sqrt(float f)
{
    return sqrtf(f);
}

static float dot(const vec3* a, const vec3* b)
{
    return a->x * b->x + a->y * b->y + a->z * b->z;
}

void vec3_cross(vec3* out, const vec3* a, const vec3* b)
{
    vec3 r = {a->y * b->z - a->z * b->y, a->z * b->x - a->x * b->z, a->x * b->y - a->y * b->x};
    *out = r;
}

// q v q*, written out as two Hamilton products with v taken as (v, 0).
void vec3_rotate(vec3* out, const vec3* v, const quat* q)
{
    quat p = {v->x, v->y, v->z, 0.0f};
    quat conj = {-q->x, -q->y, -q->z, q->w};
    quat t;
    quat_mul(&t, q, &p);
    quat_mul(&t, &t, &conj);
    out->x = t.x;
    out->y = t.y;
    out->z = t.z;
}

void vec3_rotate_inverse(vec3* out, const vec3* v, const quat* q)
{
    quat inv = {q->x, q->y, q->z, -q->w};
    vec3_rotate(out, v, &inv);
}

// --- matrices -------------------------------------------------------------------------

void mat4_copy(mat4* out, const mat4* m)
{
    for (int i = 0; i < 16; ++i)
        out->m[i] = m->m[i];
}

void mat4_mul(mat4* out, const mat4* a, const mat4* b)
{
    mat4 t;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            float s = 0.0f;
            for (int k = 0; k < 4; ++k)
                s += b->m[r * 4 + k] * a->m[k * 4 + c];
            t.m[r * 4 + c] = s;
        }
    }
    mat4_copy(out, &t);
}

bool mat4_project(vec3* out, const vec3* p, const mat4* m)
{
    const float* e = m->m;
    float x = p->x * e[0] + p->y * e[4] + p->z * e[8] + e[12];
    float y = p->x * e[1] + p->y * e[5] + p->z * e[9] + e[13];
    float z = p->x * e[2] + p->y * e[6] + p->z * e[10] + e[14];
    float w = p->x * e[3] + p->y * e[7] + p->z * e[11] + e[15];
    if (fabsf(w) < MATH_PROJECT_EPSILON)
        return false;
    out->x = x / w;
    out->y = y / w;
    out->z = z / w;
    return true;
}

void mat4_from_quat(mat4* out, const quat* q)
{
    float x = q->x, y = q->y, z = q->z, w = q->w;
    float* e = out->m;
    e[0] = 1.0f - 2.0f * (y * y + z * z);
    e[1] = 2.0f * (x * y + z * w);
    e[2] = 2.0f * (x * z - y * w);
    e[3] = 0.0f;
    e[4] = 2.0f * (x * y - z * w);
    e[5] = 1.0f - 2.0f * (x * x + z * z);
    e[6] = 2.0f * (y * z + x * w);
    e[7] = 0.0f;
    e[8] = 2.0f * (x * z + y * w);
    e[9] = 2.0f * (y * z - x * w);
    e[10] = 1.0f - 2.0f * (x * x + y * y);
    e[11] = 0.0f;
    e[12] = 0.0f;
    e[13] = 0.0f;
    e[14] = 0.0f;
    e[15] = 1.0f;
}

void mat4_from_transform(mat4* out, const transform* t)
{
    quat q = t->orientation;  // t may live inside out's owner; read before writing
    vec3 s = t->scale;
    vec3 p = t->position;
    mat4_from_quat(out, &q);
    float* e = out->m;
    for (int c = 0; c < 3; ++c) {
        e[0 + c] *= s.x;
        e[4 + c] *= s.y;
        e[8 + c] *= s.z;
    }
    e[12] = p.x;
    e[13] = p.y;
    e[14] = p.z;
    e[15] = 1.0f;
}

// --- quaternions ----------------------------------------------------------------------

void quat_mul(quat* out, const quat* a, const quat* b)
{
    quat r;
    r.x = a->w * b->x + a->x * b->w + a->y * b->z - a->z * b->y;
    r.y = a->w * b->y - a->x * b->z + a->y * b->w + a->z * b->x;
    r.z = a->w * b->z + a->x * b->y - a->y * b->x + a->z * b->w;
    r.w = a->w * b->w - a->x * b->x - a->y * b->y - a->z * b->z;
    *out = r;
}

void quat_mul_inverse(quat* out, const quat* a, const quat* b)
{
    quat inv = {b->x, b->y, b->z, -b->w};
    quat_mul(out, a, &inv);
}

void quat_from_axis_angle(quat* out, const vec3* axis, float angle)
{
    float s = sinf(angle * 0.5f);
    quat r = {axis->x * s, axis->y * s, axis->z * s, cosf(angle * 0.5f)};
    *out = r;
}

void quat_rotation_x(quat* out, float angle)
{
    quat r = {sinf(angle * 0.5f), 0.0f, 0.0f, cosf(angle * 0.5f)};
    *out = r;
}

void quat_rotation_y(quat* out, float angle)
{
    quat r = {0.0f, sinf(angle * 0.5f), 0.0f, cosf(angle * 0.5f)};
    *out = r;
}

void quat_rotation_z(quat* out, float angle)
{
    quat r = {0.0f, 0.0f, sinf(angle * 0.5f), cosf(angle * 0.5f)};
    *out = r;
}

void quat_rotate_x(quat* q, float angle)
{
    quat r;
    quat_rotation_x(&r, angle);
    quat_mul(q, &r, q);
}

void quat_rotate_y(quat* q, float angle)
{
    quat r;
    quat_rotation_y(&r, angle);
    quat_mul(q, &r, q);
}

void quat_rotate_z(quat* q, float angle)
{
    quat r;
    quat_rotation_z(&r, angle);
    quat_mul(q, &r, q);
}

void quat_post_rotate_x(quat* q, float angle)
{
    quat r;
    quat_rotation_x(&r, angle);
    quat_mul(q, q, &r);
}

void quat_post_rotate_y(quat* q, float angle)
{
    quat r;
    quat_rotation_y(&r, angle);
    quat_mul(q, q, &r);
}

void quat_post_rotate_z(quat* q, float angle)
{
    quat r;
    quat_rotation_z(&r, angle);
    quat_mul(q, q, &r);
}

void quat_from_euler(quat* out, float a, float b, float c)
{
    quat z, y, x;
    quat_rotation_z(&z, a);
    quat_rotation_y(&y, b);
    quat_rotation_x(&x, c);
    quat_mul(&z, &z, &y);
    quat_mul(out, &z, &x);
}

void quat_renormalise(quat* q)
{
    float n = q->x * q->x + q->y * q->y + q->z * q->z + q->w * q->w;
    if (n > MATH_RENORM_HIGH || n < MATH_RENORM_LOW) {
        float k = 1.0f / sqrtf(n);
        q->x *= k;
        q->y *= k;
        q->z *= k;
        q->w *= k;
    }
}

// --- motion ---------------------------------------------------------------------------

void motion_step_velocity(motion* m)
{
    float d = m->damping;
    m->velocity.x = (m->velocity.x + m->acceleration.x) * d;
    m->velocity.y = (m->velocity.y + m->acceleration.y) * d;
    m->velocity.z = (m->velocity.z + m->acceleration.z) * d;

    quat_mul(&m->spin, &m->spin_acceleration, &m->spin);
    // Decay towards no rotation: x, y, z shrink, w moves towards +-1 on its own side.
    m->spin.x *= d;
    m->spin.y *= d;
    m->spin.z *= d;
    float s = m->spin.w >= 0.0f ? 1.0f : -1.0f;
    m->spin.w = s - (s - m->spin.w) * d;
    quat_renormalise(&m->spin);
}

void motion_step(motion* m)
{
    motion_step_velocity(m);
    m->xform.position.x += m->velocity.x;
    m->xform.position.y += m->velocity.y;
    m->xform.position.z += m->velocity.z;
    quat_mul(&m->xform.orientation, &m->spin, &m->xform.orientation);
    quat_renormalise(&m->xform.orientation);
}

void motion_apply(motion* m, float t)
{
    m->xform.position.x += m->velocity.x * t;
    m->xform.position.y += m->velocity.y * t;
    m->xform.position.z += m->velocity.z * t;
    quat_mul(&m->xform.orientation, &m->spin, &m->xform.orientation);
    quat_renormalise(&m->xform.orientation);
}

// --- sphere contact -------------------------------------------------------------------

// v / |v|, or (0, 1, 0) when v has no usable length: zero, or not finite (the swept
// contact point divided by a zero sum of radii is 0/0).
static vec3 unit_or_up(vec3 v)
{
    float l2 = dot(&v, &v);
    if (!(l2 > 0.0f) || !std::isfinite(l2)) {
        vec3 up = {0.0f, 1.0f, 0.0f};
        return up;
    }
    float k = 1.0f / sqrtf(l2);
    vec3 r = {v.x * k, v.y * k, v.z * k};
    return r;
}

static void take_overlap(sphere* s, sphere* other, vec3 normal, float overlap)
{
    if (s->contact_time > 0.0f || s->overlap < overlap) {
        s->other = other;
        s->contact_time = 0.0f;
        s->normal = normal;
        s->overlap = overlap;
    }
}

static void take_sweep(sphere* s, sphere* other, vec3 normal, float t)
{
    if (s->contact_time > t) {
        s->contact_time = t;
        s->other = other;
        s->normal = normal;
    }
}

bool sphere_collide(sphere* a, sphere* b)
{
    float r = a->radius + b->radius;
    float r2 = r * r;
    vec3 d = {a->position.x - b->position.x, a->position.y - b->position.y,
              a->position.z - b->position.z};
    vec3 dv = {a->velocity.x - b->velocity.x, a->velocity.y - b->velocity.y,
               a->velocity.z - b->velocity.z};
    float dist2 = dot(&d, &d);

    if (dist2 <= r2 - MATH_OVERLAP_MARGIN) {
        float overlap = r2 - dist2;
        dbg_print("Intersection %f\n", overlap);
        vec3 n = unit_or_up(d);
        vec3 nb = {-n.x, -n.y, -n.z};
        if (dist2 <= 0.0f)
            nb = n;  // no direction to negate: both take the fallback (0, 1, 0)
        take_overlap(a, b, n, overlap);
        take_overlap(b, a, nb, overlap);
        return true;
    }

    if (dot(&dv, &d) >= 0.0f)
        return false;  // not approaching
    float speed = sqrtf(dot(&dv, &dv));
    vec3 u = {dv.x / speed, dv.y / speed, dv.z / speed};
    float s = -dot(&u, &d);
    vec3 c = {d.x + u.x * s, d.y + u.y * s, d.z + u.z * s};
    float m2 = dot(&c, &c);
    float m = sqrtf(m2);
    if (m > r)
        return false;  // closest approach misses
    float h2 = r2 - m * m;
    if (h2 < 0.0f)
        h2 = 0.0f;  // m == R can round past R^2; a grazing touch, not a NaN
    float travel = s - sqrtf(h2);
    if (travel > speed)
        return false;  // contact lies beyond this step
    float t = travel / speed;
    vec3 at = {(d.x + dv.x * t) / r, (d.y + dv.y * t) / r, (d.z + dv.z * t) / r};
    vec3 n = unit_or_up(at);
    vec3 nb = {-n.x, -n.y, -n.z};
    take_sweep(a, b, n, t);
    take_sweep(b, a, nb, t);
    return true;
}
