// Roost emission from the tyre contacts.
#include "physics/roost.h"

#include <cmath>

#include "physics/contact.h"
#include "track/particles.h"
#include "track/terrain.h"

namespace {

Vec3 to_vec(const dReal* v) { return vec3(v[0], v[1], v[2]); }

Vec3 point_velocity(dBodyID body, Vec3 p)
{
    dVector3 out;
    dBodyGetPointVel(body, p.x, p.y, p.z, out);
    return to_vec(out);
}

// p turned by angle a about the line through c along unit axis n.
Vec3 rotate_about(Vec3 p, Vec3 c, Vec3 n, double a)
{
    Vec3 r = p - c;
    double co = std::cos(a), si = std::sin(a);
    Vec3 out = r * co + vec3_cross(n, r) * si + n * (vec3_dot(n, r) * (1 - co));
    return c + out;
}

Vec3 jitter(std::mt19937& rng, double randomize)
{
    double r1 = roost_uniform(rng), r2 = roost_uniform(rng), r3 = roost_uniform(rng);
    return vec3(r1 - 0.5, r2 - 0.5, r3 - 0.5) * randomize;
}

int throw_roost(const RoostType& t, const WheelContact& w, int e, double cap,
                const RoostContext& ctx, double amount)
{
    std::mt19937& rng = *ctx.rng;
    dBodyID body = w.body;
    Vec3 centre = to_vec(dBodyGetPosition(body));
    Vec3 v = to_vec(dBodyGetLinearVel(body));
    Vec3 omega = to_vec(dBodyGetAngularVel(body));
    const dReal* r = dBodyGetRotation(body);
    Vec3 axle = vec3_normalize(vec3(r[0], r[4], r[8]));
    double angle = 0.049087387;
    if (vec3_dot(v, w.slip) < 0) {
        double slow = t.slow_speed, fast = t.fast_speed;
        double range = fast * fast - slow * slow;
        double c = range != 0 ? clampd((vec3_dot(omega, omega) - slow * slow) / range, 0, 1)
                              : (vec3_dot(omega, omega) >= fast * fast ? 1 : 0);
        angle = std::fmin(cap, t.slow_angle + c * (double(t.fast_angle) - t.slow_angle));
    }
    // The dirt leaves the tyre behind the contact, the way the tread turns.
    double turn = vec3_dot(omega, axle) < 0 ? -1 : 1;
    int thrown = 0;
    for (int j = 0; j < e; j++) {
        double theta = double(rng() & 0xffffff) * angle / 16777216.0;
        Vec3 start = rotate_about(w.point, centre, axle, turn * theta);
        Vec3 u = point_velocity(body, start);
        start += u * (TICK_SECONDS * j / e);
        Vec3 vel = (u + jitter(rng, t.randomize)) * double(t.vscale);
        thrown += roost_spawn(ctx.pool, start, vel, amount, &t);
    }
    return thrown;
}

int throw_splash(const RoostType& t, const WheelContact& w, int e, const RoostContext& ctx,
                 double amount)
{
    std::mt19937& rng = *ctx.rng;
    Vec3 v = to_vec(dBodyGetLinearVel(w.body));
    Vec3 n = w.normal;
    Vec3 vt = v - n * vec3_dot(v, n);
    double s = vec3_length(vt);
    Vec3 tdir = s > 0 ? vt * (1 / s) : vec3(0, 0, 0);
    Vec3 side = vec3_cross(n, tdir);
    Vec3 d[2] = {(n + side) * (0.7071067811865476 * s), (n - side) * (0.7071067811865476 * s)};
    int thrown = 0;
    for (int j = 0; j < e; j++) {
        Vec3 dir = d[(unsigned(j) ^ ctx.tick) % 2];
        Vec3 start = w.point + dir * (TICK_SECONDS * j / e);
        Vec3 jit = jitter(rng, t.randomize);
        double r4 = roost_uniform(rng);
        Vec3 vel = (dir + jit) * (double(t.vscale) * r4);
        thrown += roost_spawn(ctx.pool, start, vel, amount, &t);
    }
    return thrown;
}

}  // namespace

double roost_uniform(std::mt19937& rng) { return double(rng() & 0x7fffffff) * (1.0 / 2147483648.0); }

int roost_density_count(std::mt19937& rng, int density)
{
    if (density < 0)
        density = 0;
    int k = density / 100;
    if (int(rng() % 100) < density % 100)
        k++;
    return k;
}

int bike_roost(Bike* b, bool simulate, const RoostContext& ctx)
{
    if (!ctx.rng || !ctx.pool || !ctx.ground)
        return 0;
    int k = roost_density_count(*ctx.rng, ctx.density);
    if (k <= 0)
        return 0;
    return wheel_roost(b, 0, simulate, k, M_PI / 8, ctx) +
           wheel_roost(b, 1, simulate, k, 2 * M_PI, ctx);
}

int wheel_roost(Bike* b, int wheel, bool simulate, int k, double angle_cap,
                const RoostContext& ctx)
{
    const HeightField* hf = ctx.ground;
    if (!ctx.rng || !ctx.pool || !hf || hf->heights.empty() || hf->surface_count <= 0)
        return 0;
    WheelContact& w = b->wheel[wheel];
    if (!simulate) {
        TorusHit hit{};
        if (wheel_find_contact(hf, &w, &hit) && hit.depth > 0) {
            w.point = hit.point;
            w.normal = vec3_normalize(hit.normal);
            w.depth = hit.depth;
            w.slip = point_velocity(w.body, hit.point);
        } else {
            w.depth = 0;
        }
    }
    if (!(w.depth > 0))
        return 0;
    int type = surface_at(hf, w.point.x, w.point.z);
    if (type < 0 || type >= hf->surface_count)
        type = 0;
    const SurfaceType& surface = hf->surfaces[type];
    double amount_depth = std::fmin(w.depth, 0.1);
    int thrown = 0;
    for (const RoostType& t : surface.roost) {
        if (t.kind == 0)
            break;
        double whole = std::floor(double(t.count));
        int n = int(whole) + (roost_uniform(*ctx.rng) < double(t.count) - whole ? 1 : 0);
        int e = n < k ? n : k;
        if (e <= 0)
            continue;
        double amount = double(t.dig) * amount_depth;
        if (t.kind == 1) {
            double th = t.slip_threshold;
            if (vec3_dot(w.slip, w.slip) >= th * th)
                thrown += throw_roost(t, w, e, angle_cap, ctx, amount);
        } else if (t.kind == 2) {
            thrown += throw_splash(t, w, e, ctx, amount);
        }
    }
    return thrown;
}
