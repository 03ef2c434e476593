// 3D arithmetic on single-precision floats: vectors, quaternions, 4x4 matrices in the
// row-vector convention (v' = v x M, translation in elements 12-14), transforms, the damped
// motion step and the contact test between two moving spheres.
#pragma once

struct vec3 {
    float x, y, z;
};

// Rotation by angle a about the unit axis n is (n * sin(a/2), cos(a/2)).
struct quat {
    float x, y, z, w;
};

// Sixteen floats row by row; element 15 is 1 for affine matrices. Same layout as D3DMATRIX.
struct mat4 {
    float m[16];
};

// Scale, then rotate, then translate.
struct transform {
    vec3 position;
    quat orientation;
    vec3 scale;
};

// Embedded in the records that move; owners set the fields directly.
struct motion {
    transform xform;
    vec3 velocity;          // units per step
    quat spin;              // rotation per step
    vec3 acceleration;      // added to the velocity every step
    quat spin_acceleration; // applied to the spin every step
    float damping;          // share of velocity and spin kept per step: 1 keeps, 0 stops
};

// One ball's collision state for one step. The caller resets contact_time (to anything
// above 1, e.g. 2) and other (to null) before testing the step.
struct sphere {
    vec3 position;
    vec3 velocity;        // the movement over the coming step
    float radius;
    vec3 normal;          // unit contact normal, pointing from the other sphere to this one
    float overlap;        // overlap contacts: sum of radii squared minus distance squared
    float contact_time;   // fraction of the step at which the contact happens; 0 for an overlap
    sphere* other;        // the other sphere of the held contact
};

// Thresholds, stated by their exact float bits where it matters.
extern const float MATH_PROJECT_EPSILON;    // 0x3727C5AC, 0.00001
extern const float MATH_RENORM_HIGH;        // 0x3F804008, 1.0019541
extern const float MATH_RENORM_LOW;         // 0x3F7F8010, 0.9980478
extern const float MATH_OVERLAP_MARGIN;     // 1/256, in squared units

// Every operation writing a result takes the output first; the output may be the same
// object as an input.
float math_sqrt(float f);

void vec3_cross(vec3* out, const vec3* a, const vec3* b);
// out := q v q* (exact for unit q).
void vec3_rotate(vec3* out, const vec3* v, const quat* q);
// out := v rotated by q with its w negated: the inverse rotation.
void vec3_rotate_inverse(vec3* out, const vec3* v, const quat* q);

void mat4_copy(mat4* out, const mat4* m);
// Note the order: out := b x a (out[r][c] = sum_k b[r][k] * a[k][c]). For row vectors the
// result applies b FIRST, then a: mat4_mul(&out, &translate, &scale) scales, then translates.
void mat4_mul(mat4* out, const mat4* a, const mat4* b);
// (x, y, z, w) := (p, 1) x m. Returns false and leaves out untouched when |w| < 0.00001;
// otherwise out := (x/w, y/w, z/w).
bool mat4_project(vec3* out, const vec3* p, const mat4* m);
void mat4_from_quat(mat4* out, const quat* q);
// Scale, then rotate, then translate.
void mat4_from_transform(mat4* out, const transform* t);

// out := a x b (Hamilton product): the rotation b followed by the rotation a.
void quat_mul(quat* out, const quat* a, const quat* b);
// out := a x (b with its w negated).
void quat_mul_inverse(quat* out, const quat* a, const quat* b);
// The axis is taken as given, not normalised.
void quat_from_axis_angle(quat* out, const vec3* axis, float angle);
void quat_rotation_x(quat* out, float angle);
void quat_rotation_y(quat* out, float angle);
void quat_rotation_z(quat* out, float angle);
// q := rotation about the axis x q.
void quat_rotate_x(quat* q, float angle);
void quat_rotate_y(quat* q, float angle);
void quat_rotate_z(quat* q, float angle);
// q := q x rotation about the axis.
void quat_post_rotate_x(quat* q, float angle);
void quat_post_rotate_y(quat* q, float angle);
void quat_post_rotate_z(quat* q, float angle);
// out := Rz(a) x Ry(b) x Rx(c).
void quat_from_euler(quat* out, float a, float b, float c);
// Rescales q to unit length only when its squared length leaves the band
// [MATH_RENORM_LOW, MATH_RENORM_HIGH]; inside the band q is left exactly as it is.
void quat_renormalise(quat* q);

// One damped step: velocity := (velocity + acceleration) * damping; position += velocity;
// spin := spin_acceleration x spin, decayed towards no rotation by damping, renormalised;
// orientation := spin x orientation, renormalised.
void motion_step(motion* m);
// The velocity and spin half of motion_step; nothing moves.
void motion_step_velocity(motion* m);
// position += velocity * t; orientation := spin x orientation (the whole spin, whatever t),
// renormalised.
void motion_apply(motion* m, float t);

// Tests the coming step of two spheres. An overlap (distance squared at or below
// R^2 - 1/256) is logged and replaces a swept contact, the deeper overlap winning; otherwise
// each sphere keeps the earliest swept contact of the step. Returns true when a contact was
// found, whether or not either sphere took it.
bool sphere_collide(sphere* a, sphere* b);
