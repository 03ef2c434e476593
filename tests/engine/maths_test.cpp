// Maths: matrix order, projection threshold, rotations, motion steps, renormalisation band
// and the moving-sphere contact rules.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/code/maths.h"

namespace {

uint32_t bits(float f)
{
    uint32_t u;
    memcpy(&u, &f, 4);
    return u;
}

mat4 identity()
{
    mat4 m = {};
    m.m[0] = m.m[5] = m.m[10] = m.m[15] = 1.0f;
    return m;
}

void expect_vec(const vec3& v, float x, float y, float z, float tol = 1e-5f)
{
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
}

const float HALF_PI = 1.57079632679f;

motion at_rest()
{
    motion m = {};
    m.xform.orientation.w = m.spin.w = m.spin_acceleration.w = 1;
    m.xform.scale = {1, 1, 1};
    m.damping = 1;
    return m;
}

sphere ball(float x, float vx)
{
    sphere s = {};
    s.position = {x, 0, 0};
    s.velocity = {vx, 0, 0};
    s.radius = 1.0f;
    s.contact_time = 2.0f;
    return s;
}

} // namespace

TEST(Maths, MulAppliesSecondArgumentFirstAndProjectDividesAboveEpsilon)
{
    mat4 translate = identity(), scale = identity(), out;
    translate.m[12] = 1.0f;
    scale.m[0] = scale.m[5] = scale.m[10] = 2.0f;
    mat4_mul(&out, &translate, &scale);
    vec3 p = {1, 1, 1}, r;
    ASSERT_TRUE(mat4_project(&r, &p, &out));
    expect_vec(r, 3, 2, 2);
    mat4_mul(&translate, &translate, &scale);  // output aliasing an input
    EXPECT_EQ(0, memcmp(&translate, &out, sizeof(mat4)));

    mat4 m = identity();
    m.m[15] = 0.00001f;  // w exactly at the threshold divides
    p = {1e-5f, 2e-5f, 3e-5f};
    ASSERT_TRUE(mat4_project(&r, &p, &m));
    expect_vec(r, 1, 2, 3);
    m.m[15] = -0.000009f;
    r = {7, 8, 9};
    EXPECT_FALSE(mat4_project(&r, &p, &m));
    expect_vec(r, 7, 8, 9, 0);  // untouched
}

TEST(Maths, RotationsAgreeBetweenQuaternionAndMatrix)
{
    quat q;
    quat_rotation_z(&q, HALF_PI);  // x axis -> y axis
    transform t = {{10, 20, 30}, q, {2, 3, 4}};
    mat4 m;
    mat4_from_transform(&m, &t);  // scale, rotate, translate
    vec3 p = {0, 1, 0}, r;
    mat4_project(&r, &p, &m);
    expect_vec(r, 7, 20, 30); // y scaled by 3, turned onto -x, moved
    vec3_rotate(&r, &p, &q);
    expect_vec(r, -1, 0, 0);
    vec3_rotate_inverse(&r, &r, &q);
    expect_vec(r, 0, 1, 0);

    // quat_mul(a, b) turns by b first: z -x-> -y -z-> x, the same through the matrix.
    quat qx, both;
    quat_rotation_x(&qx, HALF_PI);
    quat_mul(&both, &q, &qx);
    vec3 z = {0, 0, 1};
    vec3_rotate(&r, &z, &both);
    expect_vec(r, 1, 0, 0);
    mat4_from_quat(&m, &both);
    mat4_project(&r, &z, &m);
    expect_vec(r, 1, 0, 0);
    // rotate_* puts the new turn after the old (the animations' Y x X x Z build on it).
    quat a = qx;
    quat_rotate_z(&a, HALF_PI);
    for (int i = 0; i < 4; i++)
        EXPECT_NEAR((&a.x)[i], (&both.x)[i], 1e-6f) << i;
}

TEST(Maths, RenormalisationOnlyOutsideTheBand)
{
    float k = sqrtf(1.001f);
    quat q = {0, 0, 0, k};
    quat_renormalise(&q);
    EXPECT_EQ(bits(q.w), bits(k));
    q = {0, 0, 0, sqrtf(1.003f)};
    quat_renormalise(&q);
    EXPECT_NEAR(q.w, 1.0f, 1e-6f);
    q = {0.6f, 0, 0, 0.6f};
    quat_renormalise(&q);
    EXPECT_NEAR(q.x * q.x + q.w * q.w, 1.0f, 1e-6f);
}

TEST(Maths, MotionStepFallsTurnsAndDamps)
{
    motion m = at_rest();
    m.acceleration = {0, -1, 0};
    motion_step(&m);
    expect_vec(m.xform.position, 0, -1, 0, 0);
    motion_step(&m);
    expect_vec(m.xform.position, 0, -3, 0, 0);

    motion s = at_rest();
    quat_rotation_z(&s.spin, 0.2f);
    motion_step(&s);
    motion_step(&s);
    EXPECT_NEAR(s.xform.orientation.z, sinf(0.2f), 1e-6f);
    s.damping = 0.5f;  // the spin dies away towards no rotation
    for (int i = 0; i < 20; ++i)
        motion_step(&s);
    EXPECT_LT(fabsf(s.spin.z), 1e-6f);
    EXPECT_NEAR(s.spin.w, 1.0f, 1e-5f);
    s.spin = {0, 0, -sinf(0.2f), -cosf(0.2f)};  // negative w decays towards -1
    motion_step_velocity(&s);
    EXPECT_LT(s.spin.w, -0.99f);

    motion v = at_rest();
    v.velocity = {4, 0, 0};
    v.acceleration = {2, 0, 0};
    v.damping = 0.5f;
    quat_rotation_x(&v.spin, 0.4f);
    motion_step_velocity(&v);  // velocity only: nothing moves
    expect_vec(v.velocity, 3, 0, 0, 0);
    expect_vec(v.xform.position, 0, 0, 0, 0);
    v.spin = {sinf(0.2f), 0, 0, cosf(0.2f)};
    motion_apply(&v, 0.5f);  // a share of the velocity, the whole spin
    expect_vec(v.xform.position, 1.5f, 0, 0, 0);
    EXPECT_NEAR(v.xform.orientation.x, sinf(0.2f), 1e-6f);
}

// Pairs on the x axis: a at (ax, ay) moving by avx, b at bx moving by bvx, radii r.
TEST(Maths, SphereOverlapAndSweep)
{
    const float NO = -1; // no contact expected
    struct {
        const char* what;
        float ax, ay, avx, bx, bvx, r;
        float time; // expected contact time (0 for an overlap), or NO
        vec3 normal; // a's normal; b's is its negation (or the same for no direction)
    } cases[] = {
        // 1.999^2 = 3.996001 <= 4 - 1/256: an overlap; 1.9995^2 = 3.998 is not, and at rest no sweep.
        {"overlap", 1.999f, 0, 0, 0, 0, 1, 0, {1, 0, 0}},
        {"just apart", 1.9995f, 0, 0, 0, 0, 1, NO, {}},
        {"coincident", 0, 0, 0, 0, 0, 1, 0, {0, 1, 0}},
        {"closing", 3, 0, -1, 0, 1, 1, 0.5f, {1, 0, 0}}, // gap 1 closing at 2: halfway
        {"separating", 2.01f, 0, 1, 0, -1, 1, NO, {}},
        {"passing beside", 5, 2.5f, -10, 0, 0, 1, NO, {}},
        {"beyond the step", 10, 0, -1, 0, 0, 1, NO, {}},
        // Points meeting head-on at t = 0.5, where the contact point over the radius sum
        // is 0/0: the fallback up normal stands in.
        {"zero radii", 1, 0, -2, 0, 0, 0, 0.5f, {0, 1, 0}},
    };
    for (auto& c : cases) {
        sphere a = ball(c.ax, c.avx), b = ball(c.bx, c.bvx);
        a.position.y = c.ay;
        a.radius = b.radius = c.r;
        ASSERT_EQ(sphere_collide(&a, &b), c.time != NO) << c.what;
        if (c.time == NO)
            continue;
        SCOPED_TRACE(c.what);
        EXPECT_NEAR(a.contact_time, c.time, 1e-6f);
        EXPECT_NEAR(b.contact_time, c.time, 1e-6f);
        EXPECT_EQ(a.other, &b);
        expect_vec(a.normal, c.normal.x, c.normal.y, c.normal.z);
        float sign = c.time == 0 && c.ax == c.bx ? 1 : -1;
        expect_vec(b.normal, sign * c.normal.x, sign * c.normal.y, sign * c.normal.z);
    }
    sphere a = ball(1.999f, 0), b = ball(0, 0);
    sphere_collide(&a, &b);
    EXPECT_NEAR(b.overlap, 4.0f - 1.999f * 1.999f, 1e-5f);
}

TEST(Maths, SphereKeepsEarliestSweepAndDeepestOverlap)
{
    sphere a = ball(0, 1), early = ball(2.5f, 0), later = ball(2.9f, 0);
    ASSERT_TRUE(sphere_collide(&a, &later));
    ASSERT_TRUE(sphere_collide(&a, &early));
    EXPECT_TRUE(sphere_collide(&a, &later));  // found again, but not taken
    EXPECT_EQ(a.other, &early);
    EXPECT_NEAR(a.contact_time, 0.5f, 1e-6f);

    sphere shallow = ball(-1.9f, 0), deep = ball(-1.0f, 0), mid = ball(-1.5f, 0);
    sphere_collide(&a, &shallow);
    EXPECT_EQ(a.other, &shallow);  // an overlap replaces the sweep
    sphere_collide(&a, &deep);
    sphere_collide(&a, &mid);
    EXPECT_EQ(a.other, &deep);
    EXPECT_NEAR(a.overlap, 3.0f, 1e-6f);
    sphere swept = ball(2.2f, -1);
    sphere_collide(&a, &swept);
    EXPECT_EQ(a.other, &deep);
}
