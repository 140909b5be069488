// The tyre as a torus against one ground triangle. The common cases (ring
// over the face, ring cutting the plane, ring sunk below it) are settled
// directly; otherwise the ring's closest approach to the triangle's edges
// is found from the stationary points of the distance (a quartic solved by
// Newton steps) and compared with the corners.
#include <cmath>

#include "physics/contact.h"

namespace {

const double EDGE_EPS = 9.5367431640625e-07;   // 2^-20
const double SLOPE_EPS = 9.313225746154785e-10;  // 2^-30

bool inside(Vec3 x, const Vec3 v[3], const Vec3 n[3])
{
    for (int i = 0; i < 3; i++)
        if (vec3_dot(x - v[i], n[i]) > 0)
            return false;
    return true;
}

// K(t) of the edge from p along e, and its derivative: zero where the
// squared distance between the edge point and the ring is stationary.
void edge_quartic(Vec3 p, Vec3 e, Vec3 c, Vec3 a, double R, double t, double* k, double* dk)
{
    Vec3 u = p + e * t - c;
    Vec3 ep = e - a * vec3_dot(e, a);
    double A = vec3_dot(u, ep);  // u.e - (u.a)(e.a)
    double B = vec3_dot(u, e);
    double ua = vec3_dot(u, a);
    double C = vec3_dot(u, u) - ua * ua;
    *k = R * R * A * A - B * B * C;
    *dk = 2 * R * R * A * vec3_dot(ep, ep) - 2 * B * vec3_dot(e, e) * C - 2 * B * B * A;
}

double newton(Vec3 p, Vec3 e, Vec3 c, Vec3 a, double R, double t)
{
    double k, dk;
    edge_quartic(p, e, c, a, R, t, &k, &dk);
    for (int step = 0; step < 4; step++) {
        if (std::fabs(dk) < SLOPE_EPS)
            break;
        double tn = t - k / dk;
        double kn, dkn;
        edge_quartic(p, e, c, a, R, tn, &kn, &dkn);
        if (std::fabs(kn) > std::fabs(k))
            break;
        t = tn;
        k = kn;
        dk = dkn;
    }
    return clampd(t, 0, 1);
}

}  // namespace

Vec3 torus_ring_point(Vec3 x, Vec3 c, Vec3 a, double R)
{
    Vec3 d = x - c;
    Vec3 q = d - a * vec3_dot(d, a);
    if (vec3_dot(q, q) < 1e-6 * R) {
        static const double tries[7][3] = {{1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {0, 0, 1},
                                           {1, 0, 1}, {0, 1, 1}, {1, 1, 1}};
        for (const auto& t : tries) {
            Vec3 v = vec3(t[0], t[1], t[2]) * R;
            q = v - a * vec3_dot(v, a);
            if (vec3_dot(q, q) >= 1e-6 * R)
                break;
        }
    }
    return c + vec3_normalize(q) * R;
}

TorusHit torus_triangle(Vec3 v0, Vec3 v1, Vec3 v2, Vec3 c, Vec3 a, double R, double r)
{
    const Vec3 v[3] = {v0, v1, v2};
    Vec3 N = vec3_cross(v1 - v0, v2 - v0);
    Vec3 nu = vec3_normalize(N);
    // The in-ring direction pointing down towards the plane.
    Vec3 w = vec3_cross(vec3_cross(N, a), a);
    if (vec3_dot(w, N) > 0)
        w = -w;
    w = vec3_normalize(w);
    Vec3 P = c + w * R;  // lowest ring point
    Vec3 Q = c - w * R;  // highest
    Vec3 en[3];
    for (int i = 0; i < 3; i++)
        en[i] = vec3_cross(v[(i + 1) % 3] - v[i], N);

    double p_height = vec3_dot(P - v0, nu);
    double q_height = vec3_dot(Q - v0, nu);
    if (p_height > 0) {
        if (inside(P, v, en)) {
            Vec3 F = P - nu * p_height;
            return {r - p_height, torus_ring_point(F, c, a, R) - nu * r, nu};
        }
    } else if (q_height > 0) {
        // The ring cuts the plane: where the ring's lowest radius meets it.
        double t = -vec3_dot(c - v0, N) / vec3_dot(w, N);
        Vec3 X = c + w * t;
        if (inside(X, v, en))
            return {r - p_height, P - nu * r, nu};
        for (int i = 0; i < 3; i++) {
            Vec3 vi = v[i], vj = v[(i + 1) % 3];
            if (vec3_dot(X - vi, en[i]) <= 0)
                continue;
            double si = vec3_dot(vi - c, a), sj = vec3_dot(vj - c, a);
            if ((si < 0) == (sj < 0))
                continue;
            Vec3 e = vj - vi;
            Vec3 Y = vi + e * (-si / vec3_dot(e, a));
            if (vec3_length(Y - c) >= R)
                continue;
            Vec3 n0 = vec3_cross(Y - c, a);
            if (vec3_dot(n0, N) < 0)
                n0 = -n0;
            Vec3 normal = vec3_normalize(vec3_cross(e, n0));
            return {r - EDGE_EPS, torus_ring_point(Y, c, a, R) - normal * r, normal};
        }
    } else {
        // The whole ring is under the plane: the wheel has sunk in.
        Vec3 up = vec3(0, 1, 0);
        bool over = true;
        for (int i = 0; i < 3 && over; i++) {
            Vec3 e = v[(i + 1) % 3] - v[i];
            over = vec3_dot(c - v[i], vec3_cross(e, up)) <= 0;
        }
        if (over)
            return {2 * R, P, up};
    }

    // Closest approach of the ring circle to the edges, then the corners.
    double best = INFINITY;
    int best_kind = -1;  // 0..2 edges, 3..5 vertices
    Vec3 best_x = v0;
    for (int i = 0; i < 3; i++) {
        Vec3 p = v[i], e = v[(i + 1) % 3] - v[i];
        double ee = vec3_dot(e, e);
        if (ee <= 0)
            continue;
        double t0 = vec3_dot(c - p, e) / ee;
        Vec3 eperp = e - a * vec3_dot(e, a);
        Vec3 s = vec3_cross(vec3_cross(e, a), a);
        double delta = vec3_dot(s, s) < 1e-6 * R ? 0.001 * R : R * vec3_length(eperp) / ee;
        // The two starts a ring radius either side of the centre's foot find
        // the approaches of an edge that passes through or beside the ring;
        // an edge passing under or over it has its nearest point at the
        // foot itself, which four Newton steps from there reach at once.
        const double starts[3] = {t0 - delta, t0 + delta, t0};
        Vec3 x = p;
        double d = INFINITY;
        for (double t : starts) {
            Vec3 xt = p + e * newton(p, e, c, a, R, t);
            double dt = vec3_length(xt - torus_ring_point(xt, c, a, R));
            if (dt < d) {
                d = dt;
                x = xt;
            }
        }
        if (d < best) {
            best = d;
            best_kind = i;
            best_x = x;
        }
    }
    for (int k = 0; k < 3; k++) {
        Vec3 d = v[k] - c;
        Vec3 p = d - a * vec3_dot(d, a);
        double len = vec3_length(p);
        if (len > R)
            p = p * (R / len);
        double dist = vec3_length(c + p - v[k]);
        if (dist < best) {
            best = dist;
            best_kind = 3 + k;
        }
    }
    if (best_kind < 0)
        return {-INFINITY, c, nu};
    if (best_kind >= 3) {
        Vec3 vk = v[best_kind - 3];
        Vec3 normal = vec3_dot(vk - c, a) > 0 ? -a : a;
        return {r - best, vk, normal};
    }
    Vec3 g = torus_ring_point(best_x, c, a, R);
    if (best > EDGE_EPS)
        return {r - best, best_x, g - best_x};
    // The edge passes through the ring itself.
    Vec3 e = v[(best_kind + 1) % 3] - v[best_kind];
    Vec3 n0 = vec3_cross(g - c, a);
    if (vec3_dot(n0, N) < 0)
        n0 = -n0;
    Vec3 en0 = vec3_cross(e, n0);
    Vec3 normal = vec3_dot(en0, en0) < EDGE_EPS ? nu : vec3_normalize(en0);
    return {r - best, g - normal * r, normal};
}
