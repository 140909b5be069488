// Height and normal of the triangulated ground, digging, and the vertex
// lighting that keeps the baked shading true to the slopes.
#include <algorithm>
#include <cmath>

#include "track/terrain.h"

namespace {

// The triangle under a point: its right-angle corner c0, the neighbours
// along x (cx) and z (cz) as unclamped vertex indices, and the local
// coordinates a, b from c0 towards them.
struct TriangleAt {
    int c0i, c0j, cxi, cxj, czi, czj;
    double a, b;
};

TriangleAt triangle_at(const HeightField* hf, double x, double z)
{
    double limit = hf->vertex_count;
    double fx = clampd(x / hf->spacing, -1.0, limit);
    double fz = clampd(z / hf->spacing, -1.0, limit);
    if (!(fx == fx))  // NaN: a position gone bad reads the origin
        fx = 0;
    if (!(fz == fz))
        fz = 0;
    double fi = std::floor(fx), fj = std::floor(fz);
    int i = int(fi), j = int(fj);
    double u = fx - fi, v = fz - fj;
    TriangleAt t;
    if ((i + j) & 1) {
        if (u + v <= 1)
            t = {i, j, i + 1, j, i, j + 1, u, v};
        else
            t = {i + 1, j + 1, i, j + 1, i + 1, j, 1 - u, 1 - v};
    } else {
        if ((1 - u) + v <= 1)
            t = {i + 1, j, i, j, i + 1, j + 1, 1 - u, v};
        else
            t = {i, j + 1, i + 1, j + 1, i, j, u, 1 - v};
    }
    return t;
}

inline float height_at_vertex(const HeightField* hf, int i, int j)
{
    int last = hf->vertex_count - 1;
    i = clampi(i, 0, last);
    j = clampi(j, 0, last);
    return hf->heights[size_t(j) * size_t(hf->vertex_count) + size_t(i)];
}

// World position of vertex (i, j) with clamped height, so the ground
// continues flat beyond the edges.
Vec3 vertex_position(const HeightField* hf, int i, int j)
{
    int last = hf->vertex_count - 1;
    int ci = clampi(i, 0, last), cj = clampi(j, 0, last);
    return {double(ci) * hf->spacing, height_at_vertex(hf, i, j), double(cj) * hf->spacing};
}

// Stochastic rounding of ground marks: the same tick and vertex always
// round the same way, and marks of many ticks average out.
int round_mark(double v, unsigned tick, int row, int column)
{
    double fl = std::floor(v);
    unsigned seed = tick * 29773421u + unsigned(row) * 29773421u + unsigned(column) * 29773421u + 12345u;
    double threshold = double((seed >> 16) & 0xfff) / 4095.0;
    return int(fl) + (v - fl > threshold ? 1 : 0);
}

uint8_t* shading_at(HeightField* hf, int i, int j)
{
    return &hf->shading[(size_t(j) * size_t(hf->vertex_count) + size_t(i)) * 3];
}

void mark_low_detail_dirty(HeightField* hf, int i0, int j0, int i1, int j1)
{
    int w = hf->low_detail_side;
    if (w <= 0 || hf->low_detail_dirty.size() != size_t(w) * size_t(w))
        return;
    for (int r = clampi(j0 / 448, 0, w - 1); r <= clampi(j1 / 448, 0, w - 1); r++)
        for (int c = clampi(i0 / 448, 0, w - 1); c <= clampi(i1 / 448, 0, w - 1); c++)
            hf->low_detail_dirty[size_t(r) * size_t(w) + size_t(c)] = true;
}

}  // namespace

float terrain_height(const HeightField* hf, double x, double z)
{
    TriangleAt t = triangle_at(hf, x, z);
    double h0 = height_at_vertex(hf, t.c0i, t.c0j);
    double hx = height_at_vertex(hf, t.cxi, t.cxj);
    double hz = height_at_vertex(hf, t.czi, t.czj);
    return float(h0 + t.a * (hx - h0) + t.b * (hz - h0));
}

void terrain_normal(const HeightField* hf, double x, double z, Vec3* out)
{
    TriangleAt t = triangle_at(hf, x, z);
    double L = hf->spacing;
    double h0 = height_at_vertex(hf, t.c0i, t.c0j);
    Vec3 ex = {(t.cxi - t.c0i) * L, height_at_vertex(hf, t.cxi, t.cxj) - h0, (t.cxj - t.c0j) * L};
    Vec3 ez = {(t.czi - t.c0i) * L, height_at_vertex(hf, t.czi, t.czj) - h0, (t.czj - t.c0j) * L};
    Vec3 n = vec3_cross(ex, ez);
    *out = n.y < 0 ? -n : n;
}

void terrain_vertex_lighting(const HeightField* hf, int i, int j, int out[3])
{
    // The eight neighbours in order around the vertex.
    static const int ring[8][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
    Vec3 centre = vertex_position(hf, i, j);
    Vec3 sum = {0, 0, 0};
    for (int k = 0; k < 8; k++) {
        Vec3 a = vertex_position(hf, i + ring[k][0], j + ring[k][1]) - centre;
        Vec3 b = vertex_position(hf, i + ring[(k + 1) % 8][0], j + ring[(k + 1) % 8][1]) - centre;
        Vec3 n = vec3_cross(a, b);
        if (n.y < 0)
            n = -n;
        sum += vec3_normalize(n);
    }
    Vec3 n = vec3_normalize(sum);
    int p = hf->vertex_count;
    int ci = clampi(i, 0, p - 1), cj = clampi(j, 0, p - 1);
    double shadow = hf->shadows.empty() ? 0 : hf->shadows[size_t(cj) * size_t(p) + size_t(ci)];
    double lit = clampd(vec3_dot(n, hf->light.sun), 0, 1) * (1 - shadow / 255.0);
    for (int c = 0; c < 3; c++)
        out[c] = clampi(int(std::floor((hf->light.ambient[c] + hf->light.sun_colour[c] * lit) * 255 * 0.5)), 0, 255);
}

void terrain_dig(HeightField* hf, double x, double z, double dh)
{
    if (dh == 0 || hf->heights.empty())
        return;
    int p = hf->vertex_count;
    double fx = x / hf->spacing, fz = z / hf->spacing;
    // Far outside the grid nothing can be touched.
    if (!(fx > -4 && fz > -4 && fx < p + 4 && fz < p + 4))
        return;
    int i0 = int(std::floor(fx)) - 1, j0 = int(std::floor(fz)) - 1;
    double w[4][4], sum = 0;
    for (int b = 0; b < 4; b++)
        for (int a = 0; a < 4; a++) {
            double d = std::hypot(i0 + a - fx, j0 + b - fz);
            double s = d / 2;
            w[b][a] = d > 2 ? 0 : 1 - 3 * s * s + 2 * s * s * s;
            sum += w[b][a];
        }
    if (sum <= 0)
        return;

    // Shading detail around the dug vertices, remembered against the old
    // lighting so that it survives the new slope.
    bool shaded = hf->shading.size() == size_t(p) * size_t(p) * 3;
    const int R0i = i0 - 1, R0j = j0 - 1;  // 6 x 6 region of the 3 x 3 neighbourhoods
    int offset[6][6][3] = {};
    if (shaded)
        for (int b = 0; b < 6; b++)
            for (int a = 0; a < 6; a++) {
                int vi = R0i + a, vj = R0j + b;
                if (vi < 0 || vj < 0 || vi >= p || vj >= p)
                    continue;
                int lit[3];
                terrain_vertex_lighting(hf, vi, vj, lit);
                const uint8_t* sh = shading_at(hf, vi, vj);
                for (int c = 0; c < 3; c++)
                    offset[b][a][c] = sh[c] - lit[c];
            }

    for (int b = 0; b < 4; b++)
        for (int a = 0; a < 4; a++) {
            int vi = i0 + a, vj = j0 + b;
            if (vi < 0 || vj < 0 || vi >= p || vj >= p || w[b][a] == 0)
                continue;
            float& h = hf->heights[size_t(vj) * size_t(p) + size_t(vi)];
            if (!hf->frozen)
                h = float(h + dh * w[b][a] / sum);
            hf->max_height = std::max(hf->max_height, h);
            hf->min_height = std::min(hf->min_height, h);
            hf->changed = true;
        }

    if (!shaded)
        return;
    for (int b = 0; b < 6; b++)
        for (int a = 0; a < 6; a++) {
            int vi = R0i + a, vj = R0j + b;
            if (vi < 0 || vj < 0 || vi >= p || vj >= p)
                continue;
            int lit[3];
            terrain_vertex_lighting(hf, vi, vj, lit);
            uint8_t* sh = shading_at(hf, vi, vj);
            for (int c = 0; c < 3; c++)
                sh[c] = uint8_t(clampi(lit[c] + offset[b][a][c], 0, 255));
        }
    // Disturbed dirt darkens: each dug vertex moves towards the mark colour.
    static const int mark[3] = {-32, -64, -64};
    for (int b = 0; b < 4; b++)
        for (int a = 0; a < 4; a++) {
            int vi = i0 + a, vj = j0 + b;
            if (vi < 0 || vj < 0 || vi >= p || vj >= p || w[b][a] == 0)
                continue;
            double weight = w[b][a] / sum / 16;
            int lit[3];
            terrain_vertex_lighting(hf, vi, vj, lit);
            uint8_t* sh = shading_at(hf, vi, vj);
            for (int c = 0; c < 3; c++) {
                double step = weight * (mark[c] - (sh[c] - lit[c]));
                sh[c] = uint8_t(clampi(sh[c] + round_mark(step, hf->mark_tick, vj, vi), 0, 255));
            }
        }
    mark_low_detail_dirty(hf, R0i, R0j, R0i + 5, R0j + 5);
}

void shading_recompute(HeightField* hf, int i0, int j0, int i1, int j1)
{
    int p = hf->vertex_count;
    if (hf->shading.size() != size_t(p) * size_t(p) * 3)
        return;
    i0 = clampi(i0, 0, p - 1);
    i1 = clampi(i1, 0, p - 1);
    j0 = clampi(j0, 0, p - 1);
    j1 = clampi(j1, 0, p - 1);
    for (int j = j0; j <= j1; j++)
        for (int i = i0; i <= i1; i++) {
            int lit[3];
            terrain_vertex_lighting(hf, i, j, lit);
            uint8_t* sh = shading_at(hf, i, j);
            for (int c = 0; c < 3; c++)
                sh[c] = uint8_t(lit[c]);
        }
    mark_low_detail_dirty(hf, i0, j0, i1, j1);
}
