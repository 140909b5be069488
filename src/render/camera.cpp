// Projection and first-person camera.
#include "render/camera.h"

#include <GL/gl.h>

#include <cmath>

#include "files/config.h"

namespace {
Projection current;

// The two first-person reference points in rider-body coordinates: at the
// eyes, and 1.25 ft higher and 1 ft further back for a view over the bars.
const Vec3 FIRST_PERSON_LOW = {0, 0.9, -1.15};
const Vec3 FIRST_PERSON_HIGH = {0, 2.15, -0.15};
}  // namespace

const Projection& projection() { return current; }

void projection_extents(int width, int height, double fov_degrees, double* w, double* h)
{
    if (width < 1)
        width = 1;
    if (height < 1)
        height = 1;
    double a = fov_degrees * M_PI / 360;
    if (double(width) / height > 4.0 / 3.0) {
        *h = std::tan(a) * 0.75;
        *w = *h * width / height;
    } else {
        *w = std::tan(a);
        *h = *w * height / width;
    }
}

void projection_set(int width, int height)
{
    current.width = width;
    current.height = height;
    projection_extents(width, height, config_slider("fov"), &current.w, &current.h);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-current.w / 4, current.w / 4, -current.h / 4, current.h / 4, 0.25, 5000);
    glMatrixMode(GL_MODELVIEW);
}

Camera camera_first_person(const BodyPose& body, double height, double angle_degrees)
{
    Camera c{};
    Vec3 local = FIRST_PERSON_LOW + (FIRST_PERSON_HIGH - FIRST_PERSON_LOW) * height;
    c.position = body_pose_point(body, local);
    double a = angle_degrees * M_PI / 180, ca = std::cos(a), sa = std::sin(a);
    // Turn about the body's x axis: y and z rotate in their plane; a
    // positive angle tips the view down.
    Vec3 X = body.axis[0];
    Vec3 Y = body.axis[1] * ca - body.axis[2] * sa;
    Vec3 Z = body.axis[2] * ca + body.axis[1] * sa;
    const Vec3 cols[3] = {X, Y, Z};
    for (int k = 0; k < 3; k++) {
        c.rotation[0 * 3 + k] = float(cols[k].x);
        c.rotation[1 * 3 + k] = float(cols[k].y);
        c.rotation[2 * 3 + k] = float(cols[k].z);
    }
    return c;
}

Vec3 camera_view_direction(const float r[9]) { return vec3(-r[2], -r[5], -r[8]); }
