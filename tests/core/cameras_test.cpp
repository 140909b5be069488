#include "core/cameras.h"

#include "track/terrain.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

std::unique_ptr<HeightField> slope_field()
{
    auto hf = std::make_unique<HeightField>();
    hf->vertex_count = 33;
    hf->spacing = 2;
    hf->heights.resize(33 * 33);
    for (int j = 0; j < 33; j++)
        for (int i = 0; i < 33; i++)
            hf->heights[size_t(j * 33 + i)] = float(i * 2 * 0.5);  // h = x / 2
    return hf;
}

}  // namespace

TEST(Cameras, AveragedGroundHeight)
{
    auto hf = slope_field();
    // A plane averages to its own height at the centre of a symmetric patch.
    EXPECT_NEAR(ground_height_averaged(hf.get(), 30, 30, 10), 15, 1e-9);
    // Beyond the edge the clamped heights count.
    EXPECT_NEAR(ground_height_averaged(hf.get(), -100, 30, 3), 0, 1e-9);
    // With no radius the nearest vertices still count, fading by distance.
    EXPECT_NEAR(ground_height_averaged(hf.get(), 31, 31, 0), 15.5, 1e-9);
}

TEST(Cameras, ChaseCameraFollowsHeadingSlowAndVelocityFast)
{
    auto hf = slope_field();
    Vec3 target = vec3(30, 20, 30);
    Camera slow = chase_camera_player(hf.get(), target, vec3(0, 0, -1), vec3(5, 0, 0), false);
    EXPECT_NEAR(slow.position.z, 40, 1e-9);  // behind along the heading
    EXPECT_NEAR(slow.position.x, 30, 1e-9);
    Camera fast = chase_camera_player(hf.get(), target, vec3(0, 0, -1), vec3(40, 0, 0), false);
    EXPECT_NEAR(fast.position.x, 20, 1e-9);  // behind along the velocity
    EXPECT_NEAR(fast.position.y, 25, 1e-9);  // target + 5 is above ground + 5
    Camera rigid = chase_camera_player(hf.get(), target, vec3(0, 0, -1), vec3(40, 0, 0), true);
    EXPECT_NEAR(rigid.position.z, 40, 1e-9);
    EXPECT_GT(vec3_dot(fast.forward, target - fast.position), 0);
}

TEST(Cameras, FreeCameraFliesAndStaysAboveGround)
{
    auto hf = slope_field();
    FreeCamera c;
    c.position = vec3(30, 40, 30);
    for (int t = 0; t < 128; t++)
        free_camera_step(&c, hf.get(), 0, 0, 1, 0, false, {});
    EXPECT_LT(c.position.z, 30 - 5);  // flew along -z
    EXPECT_LE(c.speed, 100);
    // Pitching down hard cannot take it below the ground.
    for (int t = 0; t < 1280; t++)
        free_camera_step(&c, hf.get(), 0, -1, 1, 0, false, {});
    EXPECT_GE(c.pitch, -M_PI / 2);
    EXPECT_GE(c.position.y, ground_height_averaged(hf.get(), c.position.x, c.position.z, 10) + 2 - 1e-9);
    ChaseOrbit o;
    for (int t = 0; t < 2000; t++)
        chase_orbit_step(&o, 0, 1, 0, 0);
    EXPECT_EQ(o.distance, 0.25);
}
