// The ground pass of a bike: tyre contacts with surface grip and rolling
// resistance, body-part spheres against the ground triangles, and the test
// that throws an upside-down rider off.
#include <cmath>

#include "physics/chassis.h"
#include "physics/contact.h"
#include "physics/shape.h"
#include "track/terrain.h"

namespace {

const double FDIR_MIN_SQ = 1.0 / 1024;  // 2^-10
const double BODY_KP = 2500, BODY_KD = 250;
// Largest cell index looked at: far beyond any grid, small enough that
// index arithmetic cannot overflow for a body that flew off.
const double CELL_LIMIT = 1 << 24;

BailOutHook g_bail_out_hook = nullptr;

Vec3 body_position(dBodyID b)
{
    const dReal* p = dBodyGetPosition(b);
    return vec3(p[0], p[1], p[2]);
}

Vec3 rotate(const dReal* r, Vec3 p)
{
    return vec3(r[0] * p.x + r[1] * p.y + r[2] * p.z, r[4] * p.x + r[5] * p.y + r[6] * p.z,
                r[8] * p.x + r[9] * p.y + r[10] * p.z);
}

int cell_index(double v)
{
    return int(clampd(v, -CELL_LIMIT, CELL_LIMIT));
}

// Closest point of triangle (a, b, c) to p.
Vec3 closest_on_triangle(Vec3 p, Vec3 a, Vec3 b, Vec3 c)
{
    Vec3 ab = b - a, ac = c - a, ap = p - a;
    double d1 = vec3_dot(ab, ap), d2 = vec3_dot(ac, ap);
    if (d1 <= 0 && d2 <= 0)
        return a;
    Vec3 bp = p - b;
    double d3 = vec3_dot(ab, bp), d4 = vec3_dot(ac, bp);
    if (d3 >= 0 && d4 <= d3)
        return b;
    double vc = d1 * d4 - d3 * d2;
    if (vc <= 0 && d1 >= 0 && d3 <= 0)
        return a + ab * (d1 / (d1 - d3));
    Vec3 cp = p - c;
    double d5 = vec3_dot(ab, cp), d6 = vec3_dot(ac, cp);
    if (d6 >= 0 && d5 <= d6)
        return c;
    double vb = d5 * d2 - d1 * d6;
    if (vb <= 0 && d2 >= 0 && d6 <= 0)
        return a + ac * (d2 / (d2 - d6));
    double va = d3 * d6 - d5 * d4;
    if (va <= 0 && (d4 - d3) >= 0 && (d5 - d6) >= 0)
        return b + (c - b) * ((d4 - d3) / ((d4 - d3) + (d5 - d6)));
    double sum = va + vb + vc;
    if (sum <= 0)
        return a;  // degenerate triangle
    return a + ab * (vb / sum) + ac * (vc / sum);
}

void make_contact(dBodyID body1, dBodyID body2, Vec3 point, Vec3 normal, double depth, double mu,
                  double kp, double kd, const Vec3* fdir, dJointFeedback* feedback)
{
    dContact c{};
    c.surface.mode = dContactApprox1 | dContactSoftERP | dContactSoftCFM;
    c.surface.mu = mu;
    contact_soft_params(kp, kd, &c.surface.soft_erp, &c.surface.soft_cfm);
    if (fdir) {
        c.surface.mode |= dContactFDir1;
        c.fdir1[0] = fdir->x;
        c.fdir1[1] = fdir->y;
        c.fdir1[2] = fdir->z;
    }
    c.geom.pos[0] = point.x;
    c.geom.pos[1] = point.y;
    c.geom.pos[2] = point.z;
    c.geom.normal[0] = normal.x;
    c.geom.normal[1] = normal.y;
    c.geom.normal[2] = normal.z;
    c.geom.depth = depth;
    dJointID j = dJointCreateContact(physics_world(), physics_contact_group(), &c);
    dJointAttach(j, body1, body2);
    if (feedback)
        dJointSetFeedback(j, feedback);
}

const SurfaceType* surface_under(const HeightField* hf, Vec3 p)
{
    static const SurfaceType fallback = surface_default();
    if (hf->surface_count <= 0)
        return &fallback;
    int t = surface_at(hf, p.x, p.z);
    return &hf->surfaces[clampi(t, 0, hf->surface_count - 1)];
}

// One tyre: find its contact and, when it touches, the contact joint and
// the rolling resistance.
bool tyre_contact(Bike* b, WheelContact* w, const HeightField* hf)
{
    TorusHit hit;
    if (!wheel_find_contact(hf, w, &hit)) {
        w->depth = 0;
        return false;
    }
    dVector3 v;
    dBodyGetPointVel(w->body, hit.point.x, hit.point.y, hit.point.z, v);
    w->point = hit.point;
    w->slip = vec3(v[0], v[1], v[2]);
    w->normal = hit.normal;
    w->depth = hit.depth;

    const SurfaceType* type = surface_under(hf, hit.point);
    double roll = b->setup.arcade ? body_roll(b->body[BODY_FRAME]) : 0;
    double mu = surface_friction(type, float(vec3_dot(w->slip, w->slip))) *
                tyre_grip_factor(b->setup.arcade, roll);
    double p = std::fmin(1.0, hit.depth / w->section_radius);
    double p3 = p * p * p;
    Vec3 axle = rotate(dBodyGetRotation(w->body), w->axle);
    Vec3 fdir = tyre_friction_direction(hit.normal, w->slip, axle);
    bool have_fdir = vec3_dot(fdir, fdir) > 0;
    make_contact(w->body, nullptr, hit.point, hit.normal, hit.depth, mu, 1000 + 24000 * p3,
                 200 + 2300 * p3, have_fdir ? &fdir : nullptr, &w->feedback);

    const dReal* lv = dBodyGetLinearVel(w->body);
    Vec3 f = tyre_rolling_force(type, vec3(lv[0], lv[1], lv[2]), hit.normal, p);
    dBodyAddForce(w->body, f.x, f.y, f.z);
    return true;
}

}  // namespace

bool sphere_ground(const HeightField* hf, Vec3 c, double radius, SphereHit* out)
{
    // A centre that has sunk below the ground lies under the triangles, so
    // the nearest point on them is above it and pointing away from that
    // point would push the sphere further down, deeper each tick. It goes
    // out along the ground's normal at its foot, as deep as it has sunk.
    double h = terrain_height(hf, c.x, c.z);
    if (c.y < h) {
        Vec3 n;
        terrain_normal(hf, c.x, c.z, &n);
        n = vec3_normalize(n);
        Vec3 foot = vec3(c.x, h, c.z);
        double below = vec3_dot(foot - c, n);
        *out = {radius + below, c + n * below, n};
        return true;
    }
    CellRange cr = ground_cells(hf, c.x - radius, c.z - radius, c.x + radius, c.z + radius);
    double best = 0;
    for (int j = cr.j0; j <= cr.j1; j++)
        for (int i = cr.i0; i <= cr.i1; i++) {
            Vec3 tri[2][3];
            ground_cell_triangles(hf, i, j, tri);
            // A cell wholly below the sphere's bottom cannot reach it.
            double top = std::fmax(std::fmax(tri[0][0].y, tri[0][1].y), std::fmax(tri[0][2].y, tri[1][0].y));
            if (top <= c.y - radius)
                continue;
            for (auto& t : tri) {
                Vec3 q = closest_on_triangle(c, t[0], t[1], t[2]);
                Vec3 d = c - q;
                double dist = vec3_length(d);
                double depth = radius - dist;
                if (depth > best) {
                    best = depth;
                    Vec3 n = dist > 0 ? d * (1 / dist)
                                      : vec3_normalize(vec3_cross(t[1] - t[0], t[2] - t[0]));
                    *out = {depth, q, n};
                }
            }
        }
    return best > 0;
}

namespace {

// The spheres of one body part against the ground; true when one touched.
bool shape_ground(Bike* b, int part, const HeightField* hf)
{
    CollisionShape* s = b->shape[part];
    if (!s)
        return false;
    dBodyID body = b->body[part];
    bool touched = false;
    for (const ShapeElement& e : s->elements) {
        SphereHit hit{};
        Vec3 c = vec3(e.centre[0], e.centre[1], e.centre[2]);
        if (!sphere_ground(hf, c, e.radius, &hit))
            continue;
        make_contact(body, nullptr, hit.point, hit.normal, hit.depth, e.friction, BODY_KP, BODY_KD,
                     nullptr, nullptr);
        touched = true;
    }
    return touched;
}

}  // namespace

CellRange ground_cells(const HeightField* hf, double x0, double z0, double x1, double z1)
{
    double L = hf->spacing;
    if (!(L > 0) || !std::isfinite(x0 + z0 + x1 + z1))
        return {0, -1, 0, -1};
    return {cell_index(std::floor(x0 / L)), cell_index(std::ceil(x1 / L)) - 1,
            cell_index(std::floor(z0 / L)), cell_index(std::ceil(z1 / L)) - 1};
}

void ground_cell_triangles(const HeightField* hf, int i, int j, Vec3 tri[2][3])
{
    int last = hf->vertex_count - 1;
    double L = hf->spacing;
    auto vertex = [&](int a, int b) {
        double h = hf->heights[size_t(clampi(b, 0, last)) * size_t(hf->vertex_count) +
                               size_t(clampi(a, 0, last))];
        return vec3(a * L, h, b * L);
    };
    if ((i + j) & 1) {
        // Listed corner order would face down; swapped so every normal is up.
        tri[0][0] = vertex(i, j);
        tri[0][1] = vertex(i, j + 1);
        tri[0][2] = vertex(i + 1, j);
        tri[1][0] = vertex(i + 1, j + 1);
        tri[1][1] = vertex(i + 1, j);
        tri[1][2] = vertex(i, j + 1);
    } else {
        tri[0][0] = vertex(i + 1, j);
        tri[0][1] = vertex(i, j);
        tri[0][2] = vertex(i + 1, j + 1);
        tri[1][0] = vertex(i, j + 1);
        tri[1][1] = vertex(i + 1, j + 1);
        tri[1][2] = vertex(i, j);
    }
}

bool torus_ground_contact(const HeightField* hf, Vec3 c, Vec3 a, double R, double r, TorusHit* out)
{
    double reach = R + r;
    CellRange cr = ground_cells(hf, c.x - reach, c.z - reach, c.x + reach, c.z + reach);
    TorusHit best = {0, c, vec3(0, 1, 0)};
    bool found = false;
    for (int j = cr.j0; j <= cr.j1; j++)
        for (int i = cr.i0; i <= cr.i1; i++) {
            Vec3 tri[2][3];
            ground_cell_triangles(hf, i, j, tri);
            for (auto& t : tri) {
                // No point of the tyre lies farther than R + r from its
                // centre, so a triangle beyond that cannot touch it; a
                // wheel sunk under the plane is always tested, since its
                // push back up may come from far away.
                Vec3 n = vec3_cross(t[1] - t[0], t[2] - t[0]);
                if (vec3_dot(c - t[0], n) > 0) {
                    Vec3 q = closest_on_triangle(c, t[0], t[1], t[2]);
                    if (vec3_dot(q - c, q - c) > reach * reach)
                        continue;
                }
                TorusHit h = torus_triangle(t[0], t[1], t[2], c, a, R, r);
                if (!found || h.depth > best.depth) {
                    best = h;
                    found = true;
                }
            }
        }
    if (!found || !(best.depth > 0)) {
        *out = {0, c, vec3(0, 1, 0)};
        return false;
    }
    best.normal = vec3_normalize(best.normal);
    *out = best;
    return true;
}

bool wheel_find_contact(const HeightField* hf, const WheelContact* w, TorusHit* out)
{
    Vec3 c = body_position(w->body);
    Vec3 a = vec3_normalize(rotate(dBodyGetRotation(w->body), w->axle));
    return torus_ground_contact(hf, c, a, w->ring_radius, w->section_radius, out);
}

void contact_soft_params(double kp, double kd, double* erp, double* cfm)
{
    double hk = TICK_SECONDS * kp;
    *erp = hk / (hk + kd);
    *cfm = 1 / (hk + kd);
}

double tyre_grip_factor(bool arcade, double roll)
{
    if (!arcade)
        return 1;
    return 1 - 0.375 * clampd(4 * std::fabs(roll) / M_PI, 0, 1);
}

Vec3 tyre_friction_direction(Vec3 normal, Vec3 slip, Vec3 axle_world)
{
    Vec3 d = vec3_cross(normal, slip);
    if (vec3_dot(d, d) < FDIR_MIN_SQ)
        d = vec3_cross(normal, axle_world);
    return vec3_normalize(d);
}

Vec3 tyre_rolling_force(const SurfaceType* type, Vec3 velocity, Vec3 normal, double p)
{
    Vec3 ut = velocity - normal * vec3_dot(velocity, normal);
    double s = vec3_length(ut);
    float a, b;
    surface_rolling(type, float(s), &a, &b);
    if (s > 1)
        ut = ut * (1 / s);
    return ut * -(a + (b - a) * p);
}

void contact_set_bail_out_hook(BailOutHook hook) { g_bail_out_hook = hook; }

GroundTouch bike_ground_contacts(Bike* b, const HeightField* hf)
{
    GroundTouch touch = {false, false};
    bike_place_shapes(b);
    if (!hf || hf->heights.empty())
        return touch;
    for (WheelContact& w : b->wheel)
        touch.wheel |= tyre_contact(b, &w, hf);
    static const int parts[] = {BODY_FRAME, BODY_FORK_UPPER, BODY_FORK_LOWER, BODY_SWINGARM};
    for (int part : parts)
        touch.body |= shape_ground(b, part, hf);
    bool rider = shape_ground(b, BODY_RIDER, hf);
    touch.body |= rider;
    if (touch.body)
        b->ground_touched = true;

    if (rider) {
        dBodyID body = b->body[BODY_RIDER];
        const dReal* r = dBodyGetRotation(body);
        const dReal* v = dBodyGetLinearVel(body);
        double speed_sq = v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
        if (r[5] < 0 && speed_sq > 25 && !bike_controls_locked(b) && b->grip <= 1000) {
            b->bail_out_requested = true;
            if (g_bail_out_hook)
                g_bail_out_hook(b);
        }
    }
    return touch;
}
