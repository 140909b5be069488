#include "robots/follower.h"

#include "files/stream.h"
#include "physics/bike.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace {

constexpr double GRAVITY = 32;
constexpr double PI = 3.14159265358979323846;

double wrap(double a)
{
    while (a > PI)
        a -= 2 * PI;
    while (a < -PI)
        a += 2 * PI;
    return a;
}

const FollowPoint& at(const FollowPath* p, int i)
{
    int n = int(p->points.size());
    return p->points[size_t(((i % n) + n) % n)];
}

// Heading change per foot around point i, from its neighbours 3 points
// (12 ft) either side.
double bend(const FollowPath* p, int i)
{
    const FollowPoint &a = at(p, i - 3), &b = at(p, i), &c = at(p, i + 3);
    double h1 = std::atan2(b.x - a.x, b.z - a.z), h2 = std::atan2(c.x - b.x, c.z - b.z);
    double len = std::hypot(b.x - a.x, b.z - a.z) + std::hypot(c.x - b.x, c.z - b.z);
    return len > 0 ? std::fabs(wrap(h2 - h1)) / (len * 0.5) : 0;
}

}  // namespace

bool follow_path_load(FollowPath* path, const char* track)
{
    path->points.clear();
    std::string name = std::string("@") + track + "/course_line";
    Stream* s = stream_open(name.c_str(), "rb");
    if (!s)
        return false;
    stream_skip_comments(s);
    double x, z, w;
    while (path->points.size() < 100000 && stream_scanf(s, "%lf %lf %lf", &x, &z, &w) == 3) {
        if (std::isfinite(x) && std::isfinite(z) && std::isfinite(w))
            path->points.push_back({x, z, w});
    }
    stream_close(s);
    return path->points.size() >= 8;
}

void follower_drive(Follower* f, const FollowPath* path, Bike* b)
{
    if (path->points.size() < 8)
        return;
    const dReal* p = dBodyGetPosition(b->body[BODY_FRAME]);
    const dReal* v = dBodyGetLinearVel(b->body[BODY_FRAME]);
    double speed = std::hypot(v[0], v[2]);

    // Nearest point, searching a little behind and ahead of the last one.
    int n = int(path->points.size());
    int best = f->cursor;
    double best_d = 1e30;
    for (int k = -4; k <= 40; k++) {
        const FollowPoint& q = at(path, f->cursor + k);
        double d = std::hypot(q.x - p[0], q.z - p[2]);
        if (d < best_d) {
            best_d = d;
            best = f->cursor + k;
        }
    }
    f->cursor = ((best % n) + n) % n;

    // Pure pursuit of a point a speed-dependent distance ahead.
    double look = 14 + speed * 0.6;
    int ahead = f->cursor + int(look / 4);
    const FollowPoint& t = at(path, ahead);
    dVector3 fw;
    dBodyVectorToWorld(b->body[BODY_FRAME], 0, 0, -1, fw);
    double heading = std::atan2(fw[0], fw[2]);
    double want = std::atan2(t.x - p[0], t.z - p[2]);
    double alpha = wrap(want - heading);  // positive: target to the left of... see sign below
    double dist = std::max(std::hypot(t.x - p[0], t.z - p[2]), 1.0);
    double curvature = 2 * std::sin(alpha) / dist;
    double lean = std::atan(std::max(speed, 8.0) * std::max(speed, 8.0) * curvature / GRAVITY);
    // Heading measured from +z toward +x: a positive alpha means the target
    // lies to the rider's left, and a negative steer leans the bike left.
    double steer = clampd(-lean / (PI / 4), -1, 1);
    // Slow with the course well to one side: a hard turn toward it.
    if (speed < 12 && std::fabs(alpha) > 1.2) {
        double hard = speed > 3 ? 0.6 : 0.3;  // standing, a steer only leans it
        steer = alpha > 0 ? -hard : hard;
    }
    // Bars straight in the air, ready for the landing.
    bool airborne = b->wheel[0].depth == 0 && b->wheel[1].depth == 0;
    if (airborne)
        steer = 0;
    bike_set_steer(b, steer);

    // The speed the sharpest bend ahead allows at a lean of about 35 degrees.
    double sharpest = 0;
    for (int k = 0; k < 20; k++)
        sharpest = std::max(sharpest, bend(path, f->cursor + k));
    double allowed = sharpest > 1e-4 ? std::sqrt(GRAVITY * 0.7 / sharpest) : f->speed_limit;
    allowed = std::min(allowed, f->speed_limit);
    if (std::fabs(alpha) > 0.6)
        allowed = std::min(allowed, 15.0);
    if (std::fabs(alpha) > 1.2)
        allowed = std::min(allowed, 8.0);
    double error = allowed - speed;
    double throttle = clampd(error * 0.25 + 0.3, 0, 1);
    double brake = clampd(-error * 0.15, 0, 1);
    double back_up = 0, sit_dab = 0;

    // Lying down: no power until the foot has pushed the bike up.
    const dReal* r = dBodyGetRotation(b->body[BODY_FRAME]);
    if (speed >= 5 || r[5] > 0.95)
        f->lifting = false;
    else if (r[5] < 0.7)
        f->lifting = true;
    if (f->lifting) {
        throttle = 0;
        sit_dab = 1;
        bike_set_steer(b, 0);  // a steer would hold the lean
    }
    // Driving against something without moving: walk the bike back a
    // second and a half, turning toward the course.
    if (f->back_up_ticks == 0) {
        f->stuck_ticks = throttle > 0.3 && speed < 1.5 ? f->stuck_ticks + 1 : 0;
        if (f->stuck_ticks > 128) {
            f->stuck_ticks = 0;
            f->back_up_ticks = 192;
            // With the course nearly behind, keep turning the way the last
            // walk turned, or it would swing back and forth for ever.
            if (std::fabs(alpha) < 2.5 || f->back_up_steer == 0)
                f->back_up_steer = alpha > 0 ? -1 : 1;
        }
    }
    if (f->back_up_ticks > 0) {
        f->back_up_ticks--;
        back_up = 1;
        throttle = 0;
        brake = 0;
        bike_set_steer(b, f->back_up_steer);
    }
    bike_set_throttle(b, throttle);
    bike_set_front_brake(b, brake);
    bike_set_rear_brake(b, brake * 0.5);
    bike_set_back_up(b, back_up);
    bike_set_sit_dab(b, sit_dab);
    bike_set_clutch(b, 1);  // the automatic clutch slips it at low revs
}
