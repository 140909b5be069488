// Progress along the ridden buffer, line appending and the drive controls.
#include "robots/robot_controller.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double PI = 3.14159265358979323846;

}  // namespace

RobotProgress robot_progress(const std::vector<LinePoint>& b, int point_index, Vec3 frame, Vec3 forward)
{
    RobotProgress r{0, 0};
    if (b.empty())
        return r;
    auto ahead = [&](long k) { return vec3_dot(line_point_at(b[size_t(line_index_clamp(k, b.size()))]) - frame, forward); };
    long k = point_index - 1;
    while (k >= 0 && ahead(k) >= 0)
        k--;
    long n = k + 1;
    double an = ahead(n), ai = ahead(k);
    r.ahead = line_index_clamp(n, b.size());
    r.progress = double(n);
    if (an > 0 && an - ai > 0)
        r.progress += clampd(-ai / (an - ai), 0, 1);
    return r;
}

double robot_target_speed(const std::vector<LinePoint>& b, const RobotProgress& p)
{
    if (b.empty())
        return 0;
    double s0 = std::fabs(double(b[size_t(line_index_clamp(p.ahead, b.size()))].speed));
    double s1 = std::fabs(double(b[size_t(line_index_clamp(p.ahead + 1L, b.size()))].speed));
    return s0 + (p.progress - p.ahead) * (s1 - s0);
}

double robot_takeoff_time(const std::vector<LinePoint>& b, const RobotProgress& p, Vec3 frame, double speed,
                          int* index)
{
    *index = -1;
    long end = std::min<long>(p.ahead + 20L, long(b.size()));
    for (long i = p.ahead; i + 1 < long(b.size()) && i < end; i++) {
        if (line_takes_off(b, size_t(i))) {
            *index = int(i);
            double d = vec3_length(line_point_at(b[size_t(p.ahead)]) - frame);
            return (speed > 0 ? d / speed : 1000000.0) + double(i - p.ahead) * 0.25;
        }
    }
    return 1000000;
}

namespace {

// Gates stand closer together than the start's lines, so several robots
// can pick the line of one gate. Each rides it moved across to its own
// gate, the offset fading along the line, so the field keeps its spacing
// off the start instead of closing onto one line side by side.
void shift_start(std::vector<LinePoint>* buffer, size_t first, Vec3 frame)
{
    auto& b = *buffer;
    double dx = frame.x - b[first].x, dz = frame.z - b[first].z;
    if (std::hypot(dx, dz) > 10)
        return;
    std::vector<double> along(b.size(), 0);
    for (size_t i = first + 1; i < b.size(); i++)
        along[i] = along[i - 1] + std::hypot(b[i].x - b[i - 1].x, b[i].z - b[i - 1].z);
    double total = along.back();
    if (total <= 0)
        return;
    for (size_t i = 0; i < b.size(); i++) {
        double w = 1 - along[i] / total;
        b[i].x = float(b[i].x + dx * w);
        b[i].z = float(b[i].z + dz * w);
    }
}

}  // namespace

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
    bool fresh = b.empty();
    if (fresh)
        b.assign(5, line->points[0]);
    int L = int(b.size());
    int j0 = std::max(L - 5, s->point_index);
    b.insert(b.end(), line->points.begin(), line->points.end());
    if (fresh && segment == 0)
        shift_start(&b, size_t(L), frame);
    if (j0 < L && b[size_t(j0)].speed >= 0 && b[size_t(L)].speed >= 0 && L - j0 > 1) {
        double span = double(L - j0);
        Vec3 p0, m0;
        if (j0 == 0) {
            p0 = frame;
            m0 = Vec3{forward.x * 7.5 * L, forward.y * 7.5 * L, forward.z * 7.5 * L};
        } else {
            p0 = line_point_at(b[size_t(j0)]);
            Vec3 d = p0 - line_point_at(b[size_t(j0 - 1)]);
            m0 = Vec3{d.x * span, d.y * span, d.z * span};
        }
        Vec3 p1 = line_point_at(b[size_t(L)]);
        Vec3 m1{0, 0, 0};
        if (size_t(L + 1) < b.size()) {
            Vec3 d = line_point_at(b[size_t(L + 1)]) - p1;
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
        while (i < b.size() && vec3_length(line_point_at(b[i]) - line_point_at(b[0])) <= 10)
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

double robot_traction(double rear_slip)
{
    return clampd(2 - rear_slip / 6, 0.25, 1);
}

double robot_capture_lean_limit(double speed)
{
    if (speed < 10)
        return 1.0 / 6;
    if (speed < 20)
        return 0.5 * (1.0 / 3 + (2.0 / 3) * (speed - 10) / 10);
    return 0.5;
}

double robot_capture_pace(double speed, double roll, double wanted_lean)
{
    double q = robot_capture_lean_limit(speed);
    double limit = std::fabs(wanted_lean) < q ? std::max(q, 0.25) : q;
    return std::fabs(roll) > limit ? 5 : 15;
}

double robot_required_radius(double ahead, double lateral, double rho, bool straight)
{
    if (ahead <= 0)
        return lateral < 0 ? -10 : 10;
    // The nearest point of the current path to the aim point.
    double qa = ahead, qs = 0;
    if (!straight) {
        double da = ahead, ds = lateral - rho;
        double d = std::sqrt(da * da + ds * ds);
        if (d > 0) {
            qa = std::fabs(rho) * da / d;
            qs = rho + std::fabs(rho) * ds / d;
        } else {
            qs = lateral;
        }
    }
    double ma = ahead + 2 * (ahead - qa), ms = lateral + 2 * (lateral - qs);
    if (std::fabs(ms) < 0.000001)
        ms = ms < 0 ? -0.000001 : 0.000001;
    return (ma * ma + ms * ms) / (2 * ms);
}

RobotFootprint robot_footprint(Vec3 position, Vec3 velocity)
{
    double hx = velocity.x, hz = velocity.z;
    double h = std::sqrt(hx * hx + hz * hz);
    if (h > 0) {
        hx /= h;
        hz /= h;
    } else {
        hx = 0;
        hz = -1;
    }
    double speed = vec3_length(velocity);
    double sx = -hz, sz = hx;  // to the right
    double ahead = 4 + speed, behind = -4;
    double along[4] = {ahead, behind, behind, ahead};
    double across[4] = {-2, -2, 2, 2};
    RobotFootprint f{};
    for (int k = 0; k < 4; k++) {
        f.x[k] = position.x + hx * along[k] + sx * across[k];
        f.z[k] = position.z + hz * along[k] + sz * across[k];
    }
    return f;
}

namespace {

// Which side of the line through a, b the point p lies on (0: on it).
double side_of(double ax, double az, double bx, double bz, double px, double pz)
{
    return (bx - ax) * (pz - az) - (bz - az) * (px - ax);
}

bool edges_cross(const RobotFootprint& a, int i, const RobotFootprint& b, int j)
{
    int i1 = (i + 1) & 3, j1 = (j + 1) & 3;
    double s1 = side_of(a.x[i], a.z[i], a.x[i1], a.z[i1], b.x[j], b.z[j]);
    double s2 = side_of(a.x[i], a.z[i], a.x[i1], a.z[i1], b.x[j1], b.z[j1]);
    double s3 = side_of(b.x[j], b.z[j], b.x[j1], b.z[j1], a.x[i], a.z[i]);
    double s4 = side_of(b.x[j], b.z[j], b.x[j1], b.z[j1], a.x[i1], a.z[i1]);
    if (s1 == 0 && s2 == 0) {
        // In one line (riders exactly in one lane): they meet if they overlap.
        double ux = a.x[i1] - a.x[i], uz = a.z[i1] - a.z[i];
        double p0 = 0, p1 = ux * ux + uz * uz;
        double q0 = (b.x[j] - a.x[i]) * ux + (b.z[j] - a.z[i]) * uz;
        double q1 = (b.x[j1] - a.x[i]) * ux + (b.z[j1] - a.z[i]) * uz;
        return std::max(std::min(q0, q1), p0) <= std::min(std::max(q0, q1), p1);
    }
    return s1 * s2 <= 0 && s3 * s4 <= 0;
}

}  // namespace

bool robot_footprints_overlap(const RobotFootprint& a, const RobotFootprint& b)
{
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++)
            if (edges_cross(a, i, b, j))
                return true;
    return false;
}

RobotAvoidResult robot_avoid_speed(const RobotAvoidInput& in)
{
    RobotAvoidResult r{in.target, false, false};
    double t = std::min(in.seconds, 100.0);
    double w = clampd((t - 3) / 2, 0, 1) * clampd((120 - t) / 100, 0, 1);
    double follow = 12 + 8 * w;
    // The part of the other rider's velocity that does not run towards or
    // away from the centre of our turn (across our path when straight).
    Vec3 radial = in.side;
    if (!in.straight) {
        Vec3 centre{in.position.x + in.rho * in.side.x, in.position.y + in.rho * in.side.y,
                    in.position.z + in.rho * in.side.z};
        radial = in.other_position - centre;
    }
    double rr = vec3_dot(radial, radial);
    Vec3 u = in.other_velocity;
    if (rr > 0) {
        double k = vec3_dot(u, radial) / rr;
        u = Vec3{u.x - k * radial.x, u.y - k * radial.y, u.z - k * radial.z};
    }
    double V = vec3_dot(u, in.direction) > 0 ? vec3_length(u) : 0;
    double X = vec3_length(in.other_position - in.position);
    double v = in.speed, P = in.target;
    if (X < follow) {
        r.target = std::min(P, V * (1 - w / 4));
        r.following = true;
    } else if (V < P) {
        double tau = (v - V) / 5;
        double gap = X + V * tau - (v * tau - 2.5 * tau * tau);
        if (gap < follow) {
            r.target = P + clampd((follow - gap) / 3, 0, 1) * (V - P);
            r.braking = true;
        }
    }
    return r;
}

RobotStart robot_start_step(RobotState* s, double now, double start, const double reaction[2],
                            double (*uniform)(void* ctx), void* ctx)
{
    double& R = s->start_timer;
    if (now >= start + 5)
        return RobotStart{ROBOT_START_DONE, 0};
    if (s->launch_drawn) {
        if (now < R)
            return RobotStart{ROBOT_START_HOLD, 1};  // engine held at full throttle, clutch out
        if (now < R + 2)
            return RobotStart{ROBOT_START_LAUNCH, now - R};
        return RobotStart{ROBOT_START_DONE, 0};
    }
    if (R == 0)
        R = 2 * uniform(ctx);
    if (now < 5) {
        // Idle blips: R is when the next one starts, or minus when it ends.
        if (R >= 0) {
            if (now < R)
                return RobotStart{ROBOT_START_HOLD, 0};
            R = -(now + 0.25 + 0.5 * uniform(ctx));
        }
        if (now < -R)
            return RobotStart{ROBOT_START_HOLD, 1};
        R = std::min(now + 2 + 0.5 * uniform(ctx), 5.0);
        return RobotStart{ROBOT_START_HOLD, 0};
    }
    if (R <= 5)
        R = 5.125 + 0.375 * uniform(ctx);
    if (now < R)
        return RobotStart{ROBOT_START_HOLD, 0};
    if (R < start) {
        R = start + reaction[0] + (reaction[1] - reaction[0]) * uniform(ctx);
        s->launch_drawn = true;
        return RobotStart{ROBOT_START_HOLD, 1};
    }
    // The gate dropped before the revs came up: hold until the phase ends.
    return RobotStart{ROBOT_START_HOLD, 1};
}

void robot_run_out_speeds(std::vector<LinePoint>* buffer, double progress)
{
    auto& b = *buffer;
    // The last point keeps a quarter of its speed.
    double end = double(b.size()) - 1;
    int first = int(std::max(0.0, std::ceil(progress)));
    if (end - progress <= 0)
        return;
    for (int j = first; j < int(b.size()); j++)
        b[size_t(j)].speed = float(b[size_t(j)].speed * (0.25 + 0.75 * (end - j) / (end - progress)));
}
