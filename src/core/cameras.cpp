#include "core/cameras.h"

#include "track/terrain.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double PI = 3.14159265358979323846;

double wrap_pi(double a)
{
    while (a > PI)
        a -= 2 * PI;
    while (a < -PI)
        a += 2 * PI;
    return a;
}

// Moves a rate toward its target by at most max_change.
double approach(double v, double target, double max_change)
{
    return v + clampd(target - v, -max_change, max_change);
}

Vec3 view_direction(double yaw, double pitch)
{
    return vec3(-std::sin(yaw) * std::cos(pitch), std::sin(pitch), -std::cos(yaw) * std::cos(pitch));
}

}  // namespace

Camera camera_look_at(Vec3 from, Vec3 target)
{
    Camera c;
    c.position = from;
    c.forward = vec3_normalize(target - from);
    if (vec3_length(c.forward) == 0)
        c.forward = vec3(0, 0, -1);
    Vec3 side = vec3_cross(c.forward, vec3(0, 1, 0));
    if (vec3_length(side) < 1e-9)
        side = vec3(1, 0, 0);
    c.up = vec3_normalize(vec3_cross(vec3_normalize(side), c.forward));
    return c;
}

double ground_height_averaged(const HeightField* hf, double x, double z, double r)
{
    int p = hf->vertex_count;
    double d = hf->spacing;
    if (p <= 0 || d <= 0 || hf->heights.empty())
        return 0;
    auto stored = [&](int i, int j) {
        i = clampi(i, 0, p - 1);
        j = clampi(j, 0, p - 1);
        return double(hf->heights[size_t(j) * size_t(p) + size_t(i)]);
    };
    int i0 = int(std::floor((x - r) / d)), i1 = int(std::ceil((x + r) / d));
    int j0 = int(std::floor((z - r) / d)), j1 = int(std::ceil((z + r) / d));
    double sum = 0, weight = 0;
    for (int j = j0; j <= j1; j++) {
        for (int i = i0; i <= i1; i++) {
            double e = std::hypot(i * d - x, j * d - z);
            double w = e < r ? 1 : (e < r + d ? (r + d - e) / d : 0);
            if (w <= 0)
                continue;
            sum += w * stored(i, j);
            weight += w;
        }
    }
    return weight > 0 ? sum / weight : stored(i0, j0);
}

Camera chase_camera_player(const HeightField* hf, Vec3 target, Vec3 f, Vec3 velocity, bool rigid)
{
    Vec3 v = vec3(velocity.x, 0, velocity.z);
    Vec3 fh = vec3(f.x, 0, f.z);
    double speed = vec3_length(v);
    Vec3 d;
    if (rigid)
        d = fh;
    else if (speed >= 30)
        d = v;
    else
        d = fh + clampd((speed - 10) * 0.05, 0, 1) * (v - fh);
    if (vec3_length(d) < 1e-9)
        d = vec3(0, 0, -1);
    Vec3 at = target - 10 * vec3_normalize(d);
    at.y = std::max(ground_height_averaged(hf, at.x, at.z, 10) + 5, target.y + 5);
    return camera_look_at(at, target);
}

void chase_orbit_step(ChaseOrbit* o, double steer, double throttle, double front_brake, double shift)
{
    o->angle = wrap_pi(o->angle + steer * 2 * PI / 1024);
    if (throttle > 0.5)
        o->distance = std::max(0.25, o->distance - 1.0 / 64);
    if (front_brake > 0.5)
        o->distance += 1.0 / 64;
    o->height += shift * TICK_SECONDS;
}

Camera chase_camera_orbit(const HeightField* hf, Vec3 target, const ChaseOrbit& o)
{
    Vec3 at = target + o.distance * vec3(std::sin(o.angle), 0, std::cos(o.angle));
    at.y = std::max(ground_height_averaged(hf, at.x, at.z, 10) + 5, target.y + o.height);
    return camera_look_at(at, target);
}

void free_camera_step(FreeCamera* c, const HeightField* hf, double steer, double shift, double throttle,
                      double front_brake, bool track_target, Vec3 target)
{
    const double dt = TICK_SECONDS;
    double want_yaw = steer * 3 * PI / 8;
    double want_pitch = shift * PI / 4;
    if (track_target) {
        // Turn toward the target: the rates that would face it within a second.
        Vec3 to = target - c->position;
        double yaw_to = std::atan2(-to.x, -to.z);
        double pitch_to = std::atan2(to.y, std::hypot(to.x, to.z));
        want_yaw = wrap_pi(yaw_to - c->yaw);
        want_pitch = pitch_to - c->pitch;
    }
    c->yaw_rate = approach(c->yaw_rate, want_yaw, PI * dt);
    c->pitch_rate = approach(c->pitch_rate, want_pitch, PI * dt);
    c->yaw = wrap_pi(c->yaw + c->yaw_rate * dt);
    c->pitch = clampd(c->pitch + c->pitch_rate * dt, -PI / 2, PI / 2);
    if (throttle > 0.5)
        c->speed = std::min(100.0, c->speed + 80 * dt);
    if (front_brake > 0.5)
        c->speed = std::max(-100.0, c->speed - 80 * dt);
    double drag = 60 * dt;
    c->speed = c->speed > 0 ? std::max(0.0, c->speed - drag) : std::min(0.0, c->speed + drag);
    if (std::fabs(c->speed) > 0.0001)
        c->position += c->speed * dt * view_direction(c->yaw, c->pitch);
    double floor = ground_height_averaged(hf, c->position.x, c->position.z, 10) + 2;
    if (c->position.y < floor)
        c->position.y = floor;
}

Camera free_camera_view(const FreeCamera& c)
{
    return camera_look_at(c.position, c.position + view_direction(c.yaw, c.pitch));
}
