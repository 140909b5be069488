// Progress along the ridden buffer, line appending and the drive controls.
#include "robots/robot_controller.h"

#include <cmath>

namespace {

constexpr double PI = 3.14159265358979323846;

Vec3 at(const LinePoint& p)
{
    return Vec3{p.x, p.y, p.z};
}

double dot(Vec3 a, Vec3 b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Vec3 sub(Vec3 a, Vec3 b)
{
    return Vec3{a.x - b.x, a.y - b.y, a.z - b.z};
}

double length(Vec3 a)
{
    return std::sqrt(dot(a, a));
}

int clamp_index(long i, size_t n)
{
    if (n == 0)
        return 0;
    return int(std::max(0L, std::min(i, long(n) - 1)));
}

}  // namespace

RobotProgress robot_progress(const std::vector<LinePoint>& b, int point_index, Vec3 frame, Vec3 forward)
{
    RobotProgress r{0, 0};
    if (b.empty())
        return r;
    auto ahead = [&](long k) { return dot(sub(at(b[size_t(clamp_index(k, b.size()))]), frame), forward); };
    long k = point_index - 1;
    while (k >= 0 && ahead(k) >= 0)
        k--;
    long n = k + 1;
    double an = ahead(n), ai = ahead(k);
    r.ahead = clamp_index(n, b.size());
    r.progress = double(n);
    if (an > 0 && an - ai > 0)
        r.progress += clampd(-ai / (an - ai), 0, 1);
    return r;
}

double robot_target_speed(const std::vector<LinePoint>& b, const RobotProgress& p)
{
    if (b.empty())
        return 0;
    double s0 = std::fabs(double(b[size_t(clamp_index(p.ahead, b.size()))].speed));
    double s1 = std::fabs(double(b[size_t(clamp_index(p.ahead + 1L, b.size()))].speed));
    return s0 + (p.progress - p.ahead) * (s1 - s0);
}

double robot_takeoff_time(const std::vector<LinePoint>& b, const RobotProgress& p, Vec3 frame, double speed,
                          int* index)
{
    *index = -1;
    long end = std::min<long>(p.ahead + 20L, long(b.size()));
    for (long i = p.ahead; i + 1 < long(b.size()) && i < end; i++) {
        if (b[size_t(i)].speed < 0 && b[size_t(i + 1)].speed < 0) {
            *index = int(i);
            double d = length(sub(at(b[size_t(p.ahead)]), frame));
            return (speed > 0 ? d / speed : 1000000.0) + double(i - p.ahead) * 0.25;
        }
    }
    return 1000000;
}

void robot_line_append(RobotState* s, LineRider* r, const RacingLine* line, Vec3 frame, Vec3 forward)
{
    if (!line || line->points.empty())
        return;
    int segment = s->next_segment;
    r->remembered[segment & 3] = line->id;
    s->next_segment++;
    auto& b = r->buffer;
    if (s->point_index > 30) {
        b.erase(b.begin(), b.begin() + std::min<long>(long(b.size()), s->point_index - 30L));
        s->point_index = 30;
    }
    if (b.empty())
        b.assign(5, line->points[0]);
    int L = int(b.size());
    int j0 = std::max(L - 5, s->point_index);
    b.insert(b.end(), line->points.begin(), line->points.end());
    if (j0 < L && b[size_t(j0)].speed >= 0 && b[size_t(L)].speed >= 0 && L - j0 > 1) {
        double span = double(L - j0);
        Vec3 p0, m0;
        if (j0 == 0) {
            p0 = frame;
            m0 = Vec3{forward.x * 7.5 * L, forward.y * 7.5 * L, forward.z * 7.5 * L};
        } else {
            p0 = at(b[size_t(j0)]);
            Vec3 d = sub(p0, at(b[size_t(j0 - 1)]));
            m0 = Vec3{d.x * span, d.y * span, d.z * span};
        }
        Vec3 p1 = at(b[size_t(L)]);
        Vec3 m1{0, 0, 0};
        if (size_t(L + 1) < b.size()) {
            Vec3 d = sub(at(b[size_t(L + 1)]), p1);
            m1 = Vec3{d.x * span, d.y * span, d.z * span};
        }
        double s0 = b[size_t(j0)].speed, s1 = b[size_t(L)].speed;
        double l0 = b[size_t(j0)].lean, l1 = b[size_t(L)].lean;
        auto curve = [&](double p0c, double m0c, double p1c, double m1c, double t) {
            return p0c + m0c * t + (3 * (p1c - p0c) - 2 * m0c - m1c) * t * t + (2 * (p0c - p1c) + m0c + m1c) * t * t * t;
        };
        for (int i = j0 + 1; i < L; i++) {
            double t = (i - j0) / span;
            LinePoint& q = b[size_t(i)];
            q.x = float(curve(p0.x, m0.x, p1.x, m1.x, t));
            q.y = float(curve(p0.y, m0.y, p1.y, m1.y, t));
            q.z = float(curve(p0.z, m0.z, p1.z, m1.z, t));
            q.speed = float(std::min(double(q.speed), s0 + (s1 - s0) * t));
            q.lean = float(l0 + (l1 - l0) * t);
        }
    }
    if (segment == 0) {
        size_t i = 1;
        while (i < b.size() && length(sub(at(b[i]), at(b[0]))) <= 10)
            i++;
        s->point_index = int(std::min(i, b.size() - 1));
        s->last_advance = 3840;
    }
}

RobotDriveOutput robot_drive(const RobotDriveInput& in)
{
    RobotDriveOutput o{0, 1, 0, 0};
    if (in.rear_on_ground) {
        double v = in.speed, p = in.target;
        if (v < p - 1)
            o.throttle = 1;
        else if (v < p)
            o.throttle = 1 - (v - (p - 1));
        else
            o.front_brake = o.rear_brake = clampd(v - p, 0, 1);
        if (in.gear < 1)
            o.clutch = clampd((in.rpm - (in.max_rpm - 1000)) / 1000, 0, 1);
    } else {
        // Spinning the rear wheel up lifts the front; braking it drops it.
        bool front_high = in.front_y >= in.rear_y;
        if ((front_high && in.pitch_rate < -PI / 4) || (!front_high && in.pitch_rate < 0)) {
            o.throttle = 1;
            o.clutch = 0.125;
        } else if (in.front_y > in.rear_y + 1 && in.pitch_rate >= -PI / 8) {
            o.clutch = 0;
            o.rear_brake = 1;
        } else {
            o.clutch = 0.125;
        }
    }
    if (in.crashed)
        o.throttle = 0;
    return o;
}
