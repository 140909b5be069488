#include "mesh_build.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double PI = 3.14159265358979323846;

Vec3 apply_r(const Place& p, Vec3 v)
{
    return vec3(p.r[0] * v.x + p.r[1] * v.y + p.r[2] * v.z, p.r[3] * v.x + p.r[4] * v.y + p.r[5] * v.z,
                p.r[6] * v.x + p.r[7] * v.y + p.r[8] * v.z);
}

Vec3 any_perpendicular(Vec3 t, Vec3 up)
{
    Vec3 side = vec3_cross(t, up);
    if (vec3_length(side) < 1e-6)
        side = vec3_cross(t, vec3(1, 0, 0));
    if (vec3_length(side) < 1e-6)
        side = vec3_cross(t, vec3(0, 0, 1));
    return vec3_normalize(side);
}

// Ear clipping of a simple polygon given in 2D (either orientation).
std::vector<int> triangulate(const std::vector<double>& xs, const std::vector<double>& ys)
{
    int n = int(xs.size());
    std::vector<int> idx(static_cast<size_t>(n));
    std::vector<int> out;
    for (int i = 0; i < n; i++)
        idx[size_t(i)] = i;
    double area = 0;
    for (int i = 0; i < n; i++) {
        int j = (i + 1) % n;
        area += xs[size_t(i)] * ys[size_t(j)] - xs[size_t(j)] * ys[size_t(i)];
    }
    double sign = area >= 0 ? 1 : -1;
    auto cross = [&](int a, int b, int c) {
        return (xs[size_t(b)] - xs[size_t(a)]) * (ys[size_t(c)] - ys[size_t(a)]) -
               (ys[size_t(b)] - ys[size_t(a)]) * (xs[size_t(c)] - xs[size_t(a)]);
    };
    int guard = 0;
    while (idx.size() > 3 && guard++ < 10000) {
        bool clipped = false;
        int m = int(idx.size());
        for (int i = 0; i < m; i++) {
            int a = idx[size_t((i + m - 1) % m)], b = idx[size_t(i)], c = idx[size_t((i + 1) % m)];
            if (cross(a, b, c) * sign <= 1e-12)
                continue;
            bool inside = false;
            for (int k = 0; k < m && !inside; k++) {
                int p = idx[size_t(k)];
                if (p == a || p == b || p == c)
                    continue;
                if (cross(a, b, p) * sign > 0 && cross(b, c, p) * sign > 0 && cross(c, a, p) * sign > 0)
                    inside = true;
            }
            if (inside)
                continue;
            out.push_back(a), out.push_back(b), out.push_back(c);
            idx.erase(idx.begin() + i);
            clipped = true;
            break;
        }
        if (!clipped)
            break;
    }
    if (idx.size() == 3)
        out.push_back(idx[0]), out.push_back(idx[1]), out.push_back(idx[2]);
    return out;
}

}  // namespace

UvRect uv_cell(int col, int row, int cols, int rows, int w, int h)
{
    // Half a texel of a 512 picture inside the edges keeps neighbours from
    // bleeding in when mipmapped.
    double e = 1.0 / 1024;
    return UvRect{double(col) / cols + e, double(row) / rows + e, double(col + w) / cols - e,
                  double(row + h) / rows - e};
}

Place place_identity()
{
    return Place();
}

Place place_mirror_x()
{
    Place p;
    p.r[0] = -1;
    return p;
}

Place place_rotate_x(double a, Vec3 origin)
{
    Place p;
    double c = std::cos(a), s = std::sin(a);
    double r[9] = {1, 0, 0, 0, c, -s, 0, s, c};
    for (int i = 0; i < 9; i++)
        p.r[i] = r[i];
    p.origin = origin;
    return p;
}

Place place_rotate_y(double a, Vec3 origin)
{
    Place p;
    double c = std::cos(a), s = std::sin(a);
    double r[9] = {c, 0, s, 0, 1, 0, -s, 0, c};
    for (int i = 0; i < 9; i++)
        p.r[i] = r[i];
    p.origin = origin;
    return p;
}

Place place_compose(const Place& outer, const Place& inner)
{
    Place p;
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++) {
            double s = 0;
            for (int k = 0; k < 3; k++)
                s += outer.r[i * 3 + k] * inner.r[k * 3 + j];
            p.r[i * 3 + j] = s;
        }
    p.origin = apply_r(outer, inner.origin) + outer.origin;
    return p;
}

MeshBuild mesh_lit(float shininess, float specular)
{
    MeshBuild mb;
    mb.shininess = shininess;
    mb.colour[0] = mb.colour[1] = mb.colour[2] = specular;
    mb.colour[3] = 1;
    return mb;
}

MeshBuild mesh_env(float r, float g, float b, float intensity)
{
    MeshBuild mb;
    mb.shininess = -1;
    mb.colour[0] = r, mb.colour[1] = g, mb.colour[2] = b, mb.colour[3] = intensity;
    return mb;
}

int mb_segments(const MeshBuild& mb, int full, int floor)
{
    int n = full;
    for (int i = 0; i < mb.detail && n > floor; i++)
        n /= 2;
    return std::min(full, std::max(n, floor));
}

int mb_vertex(MeshBuild& mb, Vec3 p, Vec3 n, double u, double t)
{
    Vec3 wp = apply_r(mb.place, p) + mb.place.origin;
    Vec3 wn = vec3_normalize(apply_r(mb.place, n));
    mb.pos.insert(mb.pos.end(), {float(wp.x), float(wp.y), float(wp.z)});
    mb.nrm.insert(mb.nrm.end(), {float(wn.x), float(wn.y), float(wn.z)});
    mb.uv.push_back(float(mb.rect.u0 + (mb.rect.u1 - mb.rect.u0) * clampd(u, 0, 1)));
    mb.uv.push_back(float(mb.rect.t0 + (mb.rect.t1 - mb.rect.t0) * clampd(t, 0, 1)));
    if (mb.bones > 0) {
        std::vector<float> w(size_t(mb.bones), 0.0f);
        if (mb.weigh)
            mb.weigh(wp, w.data());
        mb.weights.insert(mb.weights.end(), w.begin(), w.end());
    }
    return int(mb.pos.size() / 3) - 1;
}

void mb_triangle(MeshBuild& mb, int a, int b, int c)
{
    mb.tri.insert(mb.tri.end(), {a, b, c});
}

void mb_quad(MeshBuild& mb, int a, int b, int c, int d)
{
    mb_triangle(mb, a, b, c);
    mb_triangle(mb, a, c, d);
}

void mb_box(MeshBuild& mb, Vec3 c, Vec3 h)
{
    const Vec3 axes[3] = {vec3(1, 0, 0), vec3(0, 1, 0), vec3(0, 0, 1)};
    for (int f = 0; f < 6; f++) {
        Vec3 n = axes[f / 2] * (f % 2 ? -1.0 : 1.0);
        Vec3 a = axes[(f / 2 + 1) % 3], b = axes[(f / 2 + 2) % 3];
        auto corner = [&](double sa, double sb) {
            Vec3 p = c + vec3(n.x * h.x, n.y * h.y, n.z * h.z) + vec3(a.x * h.x, a.y * h.y, a.z * h.z) * sa +
                     vec3(b.x * h.x, b.y * h.y, b.z * h.z) * sb;
            return mb_vertex(mb, p, n, (sa + 1) / 2, (1 - sb) / 2);
        };
        int i0 = corner(-1, -1), i1 = corner(1, -1), i2 = corner(1, 1), i3 = corner(-1, 1);
        mb_quad(mb, i0, i1, i2, i3);
    }
}

void mb_beam(MeshBuild& mb, Vec3 a, Vec3 b, double half_w, double half_h, Vec3 up)
{
    Vec3 t = vec3_normalize(b - a);
    Vec3 side = any_perpendicular(t, up);
    Vec3 u = vec3_cross(side, t);
    Vec3 corners[4] = {side * half_w + u * half_h, side * -half_w + u * half_h, side * -half_w + u * -half_h,
                       side * half_w + u * -half_h};
    for (int k = 0; k < 4; k++) {
        Vec3 c0 = corners[k], c1 = corners[(k + 1) % 4];
        Vec3 n = vec3_normalize(c0 + c1);
        int i0 = mb_vertex(mb, a + c0, n, 0, 0), i1 = mb_vertex(mb, a + c1, n, 1, 0);
        int i2 = mb_vertex(mb, b + c1, n, 1, 1), i3 = mb_vertex(mb, b + c0, n, 0, 1);
        mb_quad(mb, i0, i1, i2, i3);
    }
    for (int e = 0; e < 2; e++) {
        Vec3 base = e ? b : a;
        Vec3 n = e ? t : -t;
        int i[4];
        for (int k = 0; k < 4; k++)
            i[k] = mb_vertex(mb, base + corners[k], n, k == 1 || k == 2, k >= 2);
        mb_quad(mb, i[0], i[1], i[2], i[3]);
    }
}

void mb_tube(MeshBuild& mb, const std::vector<Vec3>& path, const std::vector<double>& radii, int sides,
             bool caps, Vec3 up, double squash)
{
    sides = mb_segments(mb, sides, 4);
    size_t n = path.size();
    if (n < 2)
        return;
    std::vector<double> along(n, 0.0);
    for (size_t i = 1; i < n; i++)
        along[i] = along[i - 1] + vec3_length(path[i] - path[i - 1]);
    double total = along[n - 1] > 0 ? along[n - 1] : 1;
    std::vector<int> first(n);
    Vec3 side_prev{0, 0, 0};
    std::vector<Vec3> sides_at(n), ups_at(n), tangents(n);
    for (size_t i = 0; i < n; i++) {
        Vec3 t = i == 0 ? path[1] - path[0] : (i == n - 1 ? path[n - 1] - path[n - 2] : path[i + 1] - path[i - 1]);
        t = vec3_normalize(t);
        // Parallel transport keeps the section from twisting round bends.
        Vec3 side = i == 0 ? any_perpendicular(t, up) : vec3_normalize(side_prev - t * vec3_dot(side_prev, t));
        if (vec3_length(side) < 1e-6)
            side = any_perpendicular(t, up);
        side_prev = side;
        sides_at[i] = side;
        ups_at[i] = vec3_cross(side, t);
        tangents[i] = t;
    }
    for (size_t i = 0; i < n; i++) {
        double r = radii.size() == n ? radii[i] : radii[0];
        first[i] = int(mb.pos.size() / 3);
        for (int k = 0; k <= sides; k++) {
            double a = 2 * PI * k / sides;
            Vec3 dir = sides_at[i] * (std::cos(a) * squash) + ups_at[i] * std::sin(a);
            Vec3 nrm = vec3_normalize(sides_at[i] * (std::cos(a) / squash) + ups_at[i] * std::sin(a));
            mb_vertex(mb, path[i] + dir * r, nrm, double(k) / sides, along[i] / total);
        }
    }
    for (size_t i = 0; i + 1 < n; i++)
        for (int k = 0; k < sides; k++)
            mb_quad(mb, first[i] + k, first[i + 1] + k, first[i + 1] + k + 1, first[i] + k + 1);
    if (!caps)
        return;
    for (int e = 0; e < 2; e++) {
        size_t i = e ? n - 1 : 0;
        double r = radii.size() == n ? radii[i] : radii[0];
        Vec3 nrm = e ? tangents[i] : -tangents[i];
        int centre = mb_vertex(mb, path[i], nrm, 0.5, e ? 1 : 0);
        int ring = int(mb.pos.size() / 3);
        for (int k = 0; k <= sides; k++) {
            double a = 2 * PI * k / sides;
            Vec3 dir = sides_at[i] * (std::cos(a) * squash) + ups_at[i] * std::sin(a);
            mb_vertex(mb, path[i] + dir * r, nrm, double(k) / sides, e ? 1 : 0);
        }
        for (int k = 0; k < sides; k++)
            mb_triangle(mb, centre, ring + k, ring + k + 1);
    }
}

void mb_ellipsoid(MeshBuild& mb, Vec3 c, Vec3 rad, int slices, int stacks)
{
    // Multiples of four and two keep the widest points on the surface.
    slices = mb_segments(mb, slices, 8);
    stacks = mb_segments(mb, stacks, 4);
    int first = int(mb.pos.size() / 3);
    for (int k = 0; k <= stacks; k++) {
        double phi = PI * k / stacks;
        for (int s = 0; s <= slices; s++) {
            double th = 2 * PI * s / slices;
            Vec3 d = vec3(std::sin(phi) * std::cos(th), std::cos(phi), std::sin(phi) * std::sin(th));
            Vec3 p = c + vec3(d.x * rad.x, d.y * rad.y, d.z * rad.z);
            Vec3 n = vec3_normalize(vec3(d.x / rad.x, d.y / rad.y, d.z / rad.z));
            mb_vertex(mb, p, n, double(s) / slices, double(k) / stacks);
        }
    }
    int row = slices + 1;
    for (int k = 0; k < stacks; k++)
        for (int s = 0; s < slices; s++)
            mb_quad(mb, first + k * row + s, first + k * row + s + 1, first + (k + 1) * row + s + 1,
                    first + (k + 1) * row + s);
}

void mb_slab(MeshBuild& mb, const std::vector<Vec3>& outline, double x0, double x1, double round)
{
    size_t n = outline.size();
    if (n < 3)
        return;
    double zmin = 1e30, zmax = -1e30, ymin = 1e30, ymax = -1e30, area = 0;
    for (size_t i = 0; i < n; i++) {
        const Vec3& p = outline[i];
        zmin = std::min(zmin, p.z), zmax = std::max(zmax, p.z);
        ymin = std::min(ymin, p.y), ymax = std::max(ymax, p.y);
        const Vec3& q = outline[(i + 1) % n];
        area += p.z * q.y - q.z * p.y;
    }
    double orient = area >= 0 ? 1 : -1;
    // Outward 2D normals at the corners (bisectors of the edge normals).
    std::vector<Vec3> normal(n);
    for (size_t i = 0; i < n; i++) {
        const Vec3& a = outline[(i + n - 1) % n];
        const Vec3& b = outline[i];
        const Vec3& c = outline[(i + 1) % n];
        Vec3 e1 = vec3_normalize(b - a), e2 = vec3_normalize(c - b);
        Vec3 n1 = vec3(0, -e1.z, e1.y) * orient, n2 = vec3(0, -e2.z, e2.y) * orient;
        normal[i] = vec3_normalize(n1 + n2);
    }
    auto uv_u = [&](const Vec3& p) { return zmax > zmin ? (p.z - zmin) / (zmax - zmin) : 0.5; };
    auto uv_t = [&](const Vec3& p) { return ymax > ymin ? (ymax - p.y) / (ymax - ymin) : 0.5; };
    // The coarsest copies leave out the rounded edges: a plain prism.
    bool rounded = mb.detail < 2;
    double r = rounded ? std::min(round, (x1 - x0) / 2) : 0;
    const double xs[4] = {x0, x0 + r, x1 - r, x1};
    const double inset[4] = {r, 0, 0, r};
    const double side_tilt[4] = {-1, 0, 0, 1};
    std::vector<int> ring_first(4);
    const int layers = rounded ? 4 : 2;
    for (int L = 0; L < layers; L++) {
        int ring = rounded ? L : L * 3;  // a prism has only the two outer rings
        ring_first[size_t(L)] = int(mb.pos.size() / 3);
        for (size_t i = 0; i <= n; i++) {
            size_t k = i % n;
            Vec3 p = outline[k] - normal[k] * inset[ring];
            p.x = xs[ring];
            double tilt = rounded ? side_tilt[ring] * 0.9 : 0;
            Vec3 nn = vec3_normalize(normal[k] + vec3(tilt, 0, 0));
            mb_vertex(mb, p, nn, uv_u(p), uv_t(p));
        }
    }
    for (int L = 0; L + 1 < layers; L++)
        for (size_t i = 0; i < n; i++)
            mb_quad(mb, ring_first[size_t(L)] + int(i), ring_first[size_t(L)] + int(i) + 1,
                    ring_first[size_t(L) + 1] + int(i) + 1, ring_first[size_t(L) + 1] + int(i));
    std::vector<double> zs(n), ys(n);
    for (size_t i = 0; i < n; i++) {
        Vec3 p = outline[i] - normal[i] * r;
        zs[i] = p.z, ys[i] = p.y;
    }
    std::vector<int> tris = triangulate(zs, ys);
    for (int e = 0; e < 2; e++) {
        double x = e ? x1 : x0;
        int base = int(mb.pos.size() / 3);
        for (size_t i = 0; i < n; i++) {
            Vec3 p = vec3(x, ys[i], zs[i]);
            mb_vertex(mb, p, vec3(e ? 1 : -1, 0, 0), uv_u(p), uv_t(p));
        }
        for (size_t t = 0; t + 2 < tris.size(); t += 3)
            mb_triangle(mb, base + tris[t], base + tris[t + 1], base + tris[t + 2]);
    }
}

void mb_torus(MeshBuild& mb, double R, double r, int ring_segments, int sides, double x)
{
    ring_segments = mb_segments(mb, ring_segments, 8);
    sides = mb_segments(mb, sides, 4);
    int first = int(mb.pos.size() / 3);
    for (int i = 0; i <= ring_segments; i++) {
        double th = 2 * PI * i / ring_segments;
        Vec3 radial = vec3(0, std::cos(th), std::sin(th));
        for (int k = 0; k <= sides; k++) {
            double ph = 2 * PI * k / sides;
            Vec3 d = radial * std::cos(ph) + vec3(std::sin(ph), 0, 0);
            mb_vertex(mb, radial * R + d * r + vec3(x, 0, 0), d, double(i) / ring_segments, double(k) / sides);
        }
    }
    int row = sides + 1;
    for (int i = 0; i < ring_segments; i++)
        for (int k = 0; k < sides; k++)
            mb_quad(mb, first + i * row + k, first + (i + 1) * row + k, first + (i + 1) * row + k + 1,
                    first + i * row + k + 1);
}

void mb_disc(MeshBuild& mb, double x, double r_in, double r_out, int segments, bool plus)
{
    segments = mb_segments(mb, segments, 8);
    Vec3 n = vec3(plus ? 1 : -1, 0, 0);
    int first = int(mb.pos.size() / 3);
    for (int i = 0; i <= segments; i++) {
        double th = 2 * PI * i / segments;
        Vec3 radial = vec3(0, std::cos(th), std::sin(th));
        mb_vertex(mb, radial * r_in + vec3(x, 0, 0), n, double(i) / segments, 0);
        mb_vertex(mb, radial * r_out + vec3(x, 0, 0), n, double(i) / segments, 1);
    }
    for (int i = 0; i < segments; i++)
        mb_quad(mb, first + 2 * i, first + 2 * i + 1, first + 2 * i + 3, first + 2 * i + 2);
}

Mesh mb_finish(const MeshBuild& mb)
{
    Mesh m;
    m.shininess = mb.shininess;
    for (int i = 0; i < 4; i++)
        m.colour[i] = mb.colour[i];
    m.vertex_count = int(mb.pos.size() / 3);
    m.bone_count = mb.bones;
    m.positions = mb.pos;
    m.normals = mb.nrm;
    m.texcoords = mb.uv;
    m.weights = mb.weights;
    // Every triangle faces the way its vertex normals point, whatever order
    // the primitive produced or a mirroring placement left.
    for (size_t t = 0; t + 2 < mb.tri.size(); t += 3) {
        int a = mb.tri[t], b = mb.tri[t + 1], c = mb.tri[t + 2];
        auto P = [&](int i) { return vec3(mb.pos[size_t(i) * 3], mb.pos[size_t(i) * 3 + 1], mb.pos[size_t(i) * 3 + 2]); };
        auto N = [&](int i) { return vec3(mb.nrm[size_t(i) * 3], mb.nrm[size_t(i) * 3 + 1], mb.nrm[size_t(i) * 3 + 2]); };
        Vec3 g = vec3_cross(P(b) - P(a), P(c) - P(a));
        if (vec3_length(g) < 1e-12)
            continue;  // degenerate: drop it
        if (vec3_dot(g, N(a) + N(b) + N(c)) < 0)
            std::swap(b, c);
        m.triangles.insert(m.triangles.end(), {a, b, c});
    }
    m.triangle_count = int(m.triangles.size() / 3);
    return m;
}

std::string mb_file(const std::vector<MeshBuild>& meshes)
{
    std::vector<Mesh> finished;
    finished.reserve(meshes.size());
    for (const MeshBuild& mb : meshes)
        finished.push_back(mb_finish(mb));
    // Chain copies (the writer walks `next`).
    std::unique_ptr<Mesh> head;
    Mesh* tail = nullptr;
    for (Mesh& m : finished) {
        auto copy = std::make_unique<Mesh>(std::move(m));
        Mesh* raw = copy.get();
        if (tail)
            tail->next = std::move(copy);
        else
            head = std::move(copy);
        tail = raw;
    }
    return model_file_format(head.get());
}
