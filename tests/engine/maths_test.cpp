// Maths: matrix order, projection threshold, rotations, motion steps, renormalisation band
// and the moving-sphere contact rules.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/code/dbg.h"
#include "engine/code/maths.h"

static uint32_t bits(float f)
{
    uint32_t u;
    memcpy(&u, &f, 4);
    return u;
}

static mat4 identity()
{
    mat4 m = {};
    m.m[0] = m.m[5] = m.m[10] = m.m[15] = 1.0f;
    return m;
}

static void expect_vec(const vec3& v, float x, float y, float z, float tol = 1e-5f)
{
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
}

static const float HALF_PI = 1.57079632679f;

TEST(Maths, ThresholdsHaveTheirExactBits)
{
    EXPECT_EQ(bits(MATH_PROJECT_EPSILON), 0x3727C5ACu);
    EXPECT_EQ(bits(MATH_PROJECT_EPSILON), bits(0.00001f));
    EXPECT_EQ(bits(MATH_RENORM_HIGH), 0x3F804008u);
    EXPECT_EQ(bits(MATH_RENORM_LOW), 0x3F7F8010u);
    EXPECT_EQ(MATH_OVERLAP_MARGIN, 1.0f / 256.0f);
}

TEST(Maths, MulAppliesSecondArgumentFirst)
{
    mat4 translate = identity();
    translate.m[12] = 1.0f;
    mat4 scale = identity();
    scale.m[0] = scale.m[5] = scale.m[10] = 2.0f;
    mat4 out;
    mat4_mul(&out, &translate, &scale);
    vec3 p = {1, 1, 1}, r;
    ASSERT_TRUE(mat4_project(&r, &p, &out));
    expect_vec(r, 3, 2, 2);

    // Aliasing the output with an input still gives the product.
    mat4_mul(&translate, &translate, &scale);
    EXPECT_EQ(0, memcmp(&translate, &out, sizeof(mat4)));
}

TEST(Maths, ProjectDividesOnlyAboveEpsilon)
{
    mat4 m = identity();
    vec3 p = {1e-5f, 2e-5f, 3e-5f};
    m.m[15] = 0.00001f;  // w is exactly the threshold: divides
    vec3 out = {7, 7, 7};
    ASSERT_TRUE(mat4_project(&out, &p, &m));
    expect_vec(out, 1, 2, 3);

    m.m[15] = 0.000009f;
    out = {7, 8, 9};
    EXPECT_FALSE(mat4_project(&out, &p, &m));
    expect_vec(out, 7, 8, 9, 0);  // untouched

    m.m[15] = -0.000009f;
    EXPECT_FALSE(mat4_project(&out, &p, &m));
}

TEST(Maths, QuaternionMatrixAndRotateAgree)
{
    quat q;
    quat_rotation_z(&q, HALF_PI);  // x axis -> y axis
    vec3 x = {1, 0, 0}, r;
    vec3_rotate(&r, &x, &q);
    expect_vec(r, 0, 1, 0);
    vec3_rotate_inverse(&r, &r, &q);
    expect_vec(r, 1, 0, 0);

    transform t = {{10, 20, 30}, q, {2, 3, 4}};
    mat4 m;
    mat4_from_transform(&m, &t);
    vec3 p = {1, 0, 0};  // scaled to (2,0,0), rotated to (0,2,0), moved
    ASSERT_TRUE(mat4_project(&r, &p, &m));
    expect_vec(r, 10, 22, 30);
    p = {0, 1, 0};  // (0,3,0) -> (-3,0,0)
    mat4_project(&r, &p, &m);
    expect_vec(r, 7, 20, 30);
    p = {0, 0, 1};  // z is the axis: (0,0,4)
    mat4_project(&r, &p, &m);
    expect_vec(r, 10, 20, 34);

    // An arbitrary rotation: the matrix and q v q* give the same point.
    quat g;
    vec3 axis = {0.267261f, 0.534522f, 0.801784f};
    quat_from_axis_angle(&g, &axis, 1.1f);
    mat4_from_quat(&m, &g);
    vec3 v = {0.3f, -2.0f, 5.0f}, a, b;
    mat4_project(&a, &v, &m);
    vec3_rotate(&b, &v, &g);
    expect_vec(a, b.x, b.y, b.z);
}

TEST(Maths, QuatMulOrderAndRotateHelpers)
{
    quat qx, qz, both;
    quat_rotation_x(&qx, HALF_PI);
    quat_rotation_z(&qz, HALF_PI);
    quat_mul(&both, &qz, &qx);  // x rotation first, then z
    vec3 y = {0, 1, 0}, r;
    vec3_rotate(&r, &y, &both);  // y -x-> z -z-> z
    expect_vec(r, 0, 0, 1);
    vec3 z = {0, 0, 1};
    vec3_rotate(&r, &z, &both);  // z -x-> -y -z-> x
    expect_vec(r, 1, 0, 0);

    quat q = qx;
    quat_rotate_z(&q, HALF_PI);  // rotation about z applied after q
    EXPECT_NEAR(q.x, both.x, 1e-6f);
    EXPECT_NEAR(q.w, both.w, 1e-6f);
    q = qz;
    quat_post_rotate_x(&q, HALF_PI);
    EXPECT_NEAR(q.z, both.z, 1e-6f);
    EXPECT_NEAR(q.w, both.w, 1e-6f);

    // quat_mul_inverse undoes quat_mul.
    quat back;
    quat_mul_inverse(&back, &both, &qx);
    vec3_rotate(&r, &y, &back);
    vec3 expect;
    vec3_rotate(&expect, &y, &qz);
    expect_vec(r, expect.x, expect.y, expect.z);

    // Euler: Z by a after Y by b after X by c.
    quat e, ref, ry;
    quat_from_euler(&e, 0.3f, -0.7f, 1.2f);
    quat_rotation_x(&ref, 1.2f);
    quat_rotation_y(&ry, -0.7f);
    quat_mul(&ref, &ry, &ref);
    quat_rotate_z(&ref, 0.3f);
    EXPECT_NEAR(e.x, ref.x, 1e-6f);
    EXPECT_NEAR(e.y, ref.y, 1e-6f);
    EXPECT_NEAR(e.z, ref.z, 1e-6f);
    EXPECT_NEAR(e.w, ref.w, 1e-6f);

    vec3 a = {1, 0, 0}, b = {0, 1, 0};
    vec3_cross(&a, &a, &b);  // aliasing output and input
    expect_vec(a, 0, 0, 1, 0);
}

TEST(Maths, RenormalisationBand)
{
    float k = sqrtf(1.001f);
    quat q = {0, 0, 0, k};
    quat_renormalise(&q);
    EXPECT_EQ(bits(q.w), bits(k));  // inside the band: not one bit changes

    q = {0, 0, 0, sqrtf(0.999f)};
    float before = q.w;
    quat_renormalise(&q);
    EXPECT_EQ(bits(q.w), bits(before));

    q = {0, 0, 0, sqrtf(1.003f)};
    quat_renormalise(&q);
    EXPECT_NEAR(q.w, 1.0f, 1e-6f);
    q = {0.6f, 0, 0, 0.6f};  // squared length 0.72
    quat_renormalise(&q);
    EXPECT_NEAR(q.x * q.x + q.w * q.w, 1.0f, 1e-6f);
}

static motion at_rest()
{
    motion m = {};
    m.xform.orientation.w = 1;
    m.xform.scale = {1, 1, 1};
    m.spin.w = 1;
    m.spin_acceleration.w = 1;
    m.damping = 1;
    return m;
}

TEST(Maths, MotionFreeFall)
{
    motion m = at_rest();
    m.acceleration = {0, -1, 0};
    motion_step(&m);
    expect_vec(m.xform.position, 0, -1, 0, 0);
    motion_step(&m);
    expect_vec(m.xform.position, 0, -3, 0, 0);  // moved by -2 in the second step
    EXPECT_EQ(m.xform.orientation.w, 1.0f);

    // Velocity-only step, then apply a fraction of it.
    motion v = at_rest();
    v.acceleration = {2, 0, 0};
    motion_step_velocity(&v);
    expect_vec(v.xform.position, 0, 0, 0, 0);
    expect_vec(v.velocity, 2, 0, 0, 0);
    motion_apply(&v, 0.25f);
    expect_vec(v.xform.position, 0.5f, 0, 0, 0);

    // Damping shrinks the velocity after the acceleration is added.
    motion d = at_rest();
    d.velocity = {4, 0, 0};
    d.damping = 0.5f;
    motion_step(&d);
    expect_vec(d.velocity, 2, 0, 0, 0);
    expect_vec(d.xform.position, 2, 0, 0, 0);
}

TEST(Maths, SpinTurnsOrientationAndDecays)
{
    motion m = at_rest();
    quat_rotation_z(&m.spin, 0.2f);
    motion_step(&m);  // damping 1: one full spin step
    EXPECT_NEAR(m.xform.orientation.z, sinf(0.1f), 1e-6f);
    motion_step(&m);
    EXPECT_NEAR(m.xform.orientation.z, sinf(0.2f), 1e-6f);

    // Under damping the spin heads towards identity and stays unit length.
    m.damping = 0.5f;
    float before = m.spin.z;
    for (int i = 0; i < 20; ++i)
        motion_step(&m);
    EXPECT_LT(fabsf(m.spin.z), before * 0.001f);
    EXPECT_NEAR(m.spin.w, 1.0f, 1e-5f);

    // A spin with negative w decays towards -1, the same no-rotation.
    motion n = at_rest();
    n.spin = {0, 0, -sinf(0.2f), -cosf(0.2f)};
    n.damping = 0.5f;
    motion_step_velocity(&n);
    EXPECT_LT(n.spin.w, -0.99f);

    // motion_apply turns by the whole spin whatever t is.
    motion a = at_rest();
    quat_rotation_x(&a.spin, 0.4f);
    motion_apply(&a, 0.0f);
    EXPECT_NEAR(a.xform.orientation.x, sinf(0.2f), 1e-6f);
}

static sphere ball(float x, float vx, float r = 1.0f)
{
    sphere s = {};
    s.position = {x, 0, 0};
    s.velocity = {vx, 0, 0};
    s.radius = r;
    s.contact_time = 2.0f;
    s.other = nullptr;
    return s;
}

TEST(Maths, SphereOverlapBoundary)
{
    dbg_reset_for_tests();
    sphere a = ball(1.999f, 0), b = ball(0, 0);
    ASSERT_TRUE(sphere_collide(&a, &b));
    EXPECT_EQ(a.contact_time, 0.0f);
    EXPECT_EQ(a.other, &b);
    EXPECT_EQ(b.other, &a);
    expect_vec(a.normal, 1, 0, 0);
    expect_vec(b.normal, -1, 0, 0);
    EXPECT_NEAR(a.overlap, 4.0f - 1.999f * 1.999f, 1e-5f);
    EXPECT_NE(strstr(dbg_text, "Intersection"), nullptr);

    // 1.9995 apart is not an overlap; at rest the sweep finds nothing.
    sphere c = ball(1.9995f, 0), d = ball(0, 0);
    EXPECT_FALSE(sphere_collide(&c, &d));
    EXPECT_EQ(c.contact_time, 2.0f);

    // Coincident centres fall back to the up normal on both.
    sphere e = ball(0, 0), f = ball(0, 0);
    ASSERT_TRUE(sphere_collide(&e, &f));
    expect_vec(e.normal, 0, 1, 0, 0);
    expect_vec(f.normal, 0, 1, 0, 0);
}

TEST(Maths, SphereSweep)
{
    // Closing at 2 per step from a gap of 1: contact halfway.
    sphere a = ball(3, -1), b = ball(0, 1);
    ASSERT_TRUE(sphere_collide(&a, &b));
    EXPECT_NEAR(a.contact_time, 0.5f, 1e-6f);
    EXPECT_NEAR(b.contact_time, 0.5f, 1e-6f);
    expect_vec(a.normal, 1, 0, 0);
    expect_vec(b.normal, -1, 0, 0);
    EXPECT_EQ(a.overlap, 0.0f);  // a sweep leaves the overlap alone

    // Moving apart, even when touching-close: nothing.
    sphere c = ball(2.01f, 1), d = ball(0, -1);
    EXPECT_FALSE(sphere_collide(&c, &d));
    // Passing side by side beyond the radii: nothing.
    sphere e = ball(5, -10), f = ball(0, 0);
    e.position.y = 2.5f;
    EXPECT_FALSE(sphere_collide(&e, &f));
    // Contact beyond this step: nothing.
    sphere g = ball(10, -1), h = ball(0, 0);
    EXPECT_FALSE(sphere_collide(&g, &h));
}

TEST(Maths, SphereContactPriority)
{
    // The earliest swept contact wins, whatever the order of tests.
    sphere a = ball(0, 1), late = ball(4, 0), early = ball(2.5f, 0);
    ASSERT_FALSE(sphere_collide(&a, &late));  // gap 2 at speed 1: beyond this step
    ASSERT_TRUE(sphere_collide(&a, &early));
    EXPECT_EQ(a.other, &early);
    EXPECT_NEAR(a.contact_time, 0.5f, 1e-6f);
    sphere later = ball(2.9f, 0);
    EXPECT_TRUE(sphere_collide(&a, &later));  // found, but not taken
    EXPECT_EQ(a.other, &early);

    // An overlap replaces a swept contact; between overlaps the deeper one stays.
    sphere shallow = ball(-1.9f, 0), deep = ball(-1.0f, 0), mid = ball(-1.5f, 0);
    ASSERT_TRUE(sphere_collide(&a, &shallow));
    EXPECT_EQ(a.other, &shallow);
    EXPECT_EQ(a.contact_time, 0.0f);
    ASSERT_TRUE(sphere_collide(&a, &deep));
    EXPECT_EQ(a.other, &deep);
    ASSERT_TRUE(sphere_collide(&a, &mid));
    EXPECT_EQ(a.other, &deep);
    EXPECT_NEAR(a.overlap, 3.0f, 1e-6f);
    // A later swept contact does not replace the overlap.
    sphere swept = ball(2.2f, -1);
    sphere_collide(&a, &swept);
    EXPECT_EQ(a.other, &deep);
}
