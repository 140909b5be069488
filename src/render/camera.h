// The projection of the 3D view and the first-person camera.
#pragma once
#include "core/vec.h"
#include "physics/rider_pose.h"

// A camera: position (world feet) and rotation R, row by row; R's columns
// are the camera's x, y and z axes in world space, and it looks along -z.
struct Camera {
    Vec3 position;
    float rotation[9];
};

// The view's window size and its half extents at distance 1.
struct Projection {
    int width = 640, height = 480;
    double w = 1, h = 0.75;
};
const Projection& projection();

// The half extents for a window and a field of view in degrees: the fov is
// the horizontal angle of a 4:3 view; wider windows see more to the sides.
void projection_extents(int width, int height, double fov_degrees, double* w, double* h);

// Viewport and frustum for the window, with the configured fov.
void projection_set(int width, int height);

// The rider-view camera: a point on the body between two body-local
// reference points (eyes, and above and behind them) blended by `height`
// 0..1, the body's rotation turned about its own x axis by `angle_degrees`.
Camera camera_first_person(const BodyPose& body, double height, double angle_degrees);

// The camera's view direction, -(third column of R).
Vec3 camera_view_direction(const float rotation[9]);
