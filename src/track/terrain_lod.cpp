// Quadtree error pass, split pass and back-to-front fan walk.
#include "track/terrain_lod.h"

#include <algorithm>
#include <cmath>

#include "track/terrain.h"

namespace {

constexpr float HALF_SQRT2 = 0.7071067811865476f;
// Distance from a node centre to the centre of a child-sized neighbour two
// children away, in child sizes: sqrt(10) * 0.5, rounded up a little.
constexpr float NEIGHBOUR_REACH = 3.16227766016838f * 0.50048828125f;

float height_at(const HeightField* hf, int i, int j)
{
    return hf->heights[size_t(i) + size_t(hf->vertex_count) * size_t(j)];
}

// The largest gap between the samples of one row of a node triangle and
// the triangle's plane. tri: 0/1 the two halves of the main diagonal,
// 2/3 those of the other diagonal.
float triangle_row_error(const HeightField* hf, int i0, int j0, int size, int tri, int dj)
{
    float h00 = height_at(hf, i0, j0), h10 = height_at(hf, i0 + size, j0);
    float h01 = height_at(hf, i0, j0 + size), h11 = height_at(hf, i0 + size, j0 + size);
    float inv = 1.0f / float(size);
    int lo = 0, hi = size;
    switch (tri) {
    case 0: lo = dj; break;
    case 1: hi = dj; break;
    case 2: hi = size - dj; break;
    default: lo = size - dj; break;
    }
    float worst = 0;
    for (int di = lo; di <= hi; di++) {
        float u = float(di) * inv, v = float(dj) * inv, plane;
        switch (tri) {
        case 0: plane = h00 + (h10 - h00) * u + (h11 - h10) * v; break;
        case 1: plane = h00 + (h01 - h00) * v + (h11 - h01) * u; break;
        case 2: plane = h00 + (h10 - h00) * u + (h01 - h00) * v; break;
        default: plane = h11 + (h01 - h11) * (1 - u) + (h10 - h11) * (1 - v); break;
        }
        worst = std::max(worst, std::fabs(height_at(hf, i0 + di, j0 + dj) - plane));
    }
    return worst;
}

float back_value(const HeightField* hf, int d, int a, int b)
{
    int side = 1 << d;
    if (a < 0 || b < 0 || a >= side || b >= side)
        return 0;
    return hf->node_error_aux[terrain_node_index(d, a, b)];
}

// The stored split distance of a node once its geometric error is known.
float node_value(const HeightField* hf, int d, int a, int b, float error)
{
    float detail = hf->detail > 0 ? hf->detail : 1.0f;
    float half_diagonal = hf->extent * HALF_SQRT2 * std::ldexp(1.0f, -d);
    float r = error / detail + half_diagonal;
    float value = r * r;
    if (d == hf->order)
        return value;
    int ca = 2 * a, cb = 2 * b;
    for (int k = 0; k < 4; k++)
        value = std::max(value, back_value(hf, d + 1, ca + (k & 1), cb + (k >> 1)));
    float m = 0;
    for (int k = 0; k < 2; k++) {
        m = std::max(m, back_value(hf, d + 1, ca - 1, cb + k));
        m = std::max(m, back_value(hf, d + 1, ca + 2, cb + k));
        m = std::max(m, back_value(hf, d + 1, ca + k, cb - 1));
        m = std::max(m, back_value(hf, d + 1, ca + k, cb + 2));
    }
    float reach = std::sqrt(m) + NEIGHBOUR_REACH * hf->extent * std::ldexp(1.0f, -(d + 1));
    return std::max(value, reach * reach);
}

int floor_div(int v, int pow2_shift)
{
    // Arithmetic shift rounds towards minus infinity on every target we build for,
    // but spell it out so negative camera cells are well defined.
    int d = 1 << pow2_shift;
    return v >= 0 ? v / d : -((-v + d - 1) / d);
}

bool bit(const HeightField* hf, int d, int a, int b)
{
    int side = 1 << d;
    if (a < 0 || b < 0 || a >= side || b >= side)
        return false;
    return hf->node_flags[terrain_node_index(d, a, b)];
}

void split_from(HeightField* hf, int d, int a, int b)
{
    size_t index = terrain_node_index(d, a, b);
    double s = std::ldexp(1.0, hf->order - d) * hf->spacing;
    double dx = (2 * a + 1) * s - hf->lod.camera[0];
    double dz = (2 * b + 1) * s - hf->lod.camera[2];
    if (double(hf->node_error[index]) > dx * dx + dz * dz)
        hf->node_flags[index] = true;
    if (!hf->node_flags[index] || d == hf->order)
        return;
    for (int k = 0; k < 4; k++)
        split_from(hf, d + 1, 2 * a + (k & 1), 2 * b + (k >> 1));
}

// Rim positions counter-clockwise seen from above, in steps of s from the
// centre; odd ones are the edge midpoints.
constexpr int RIM_DI[8] = {-1, -1, -1, 0, 1, 1, 1, 0};
constexpr int RIM_DJ[8] = {-1, 0, 1, 1, 1, 0, -1, -1};
// Quadrant position around the rim (0..3, each spanning rim 2p-1 .. 2p+1)
// of child 0 (low x, low z), 1 (high x), 2 (high z), 3 (both).
constexpr int CHILD_POSITION[4] = {0, 3, 1, 2};
constexpr int POSITION_CHILD[4] = {0, 2, 3, 1};
constexpr int NEAR_ORDER[4][4] = {{0, 1, 2, 3}, {1, 3, 0, 2}, {2, 0, 3, 1}, {3, 2, 1, 0}};

struct Walk {
    HeightField* hf;
    TerrainFanSink sink;
    void* user;
    float corner_y;
};

// A midpoint is drawn when the same-level neighbour across its edge is
// split (its finer mesh has a vertex there) or lies outside the grid.
bool midpoint_needed(const HeightField* hf, int d, int a, int b, int k)
{
    int na = a + RIM_DI[k], nb = b + RIM_DJ[k];
    int side = 1 << d;
    if (na < 0 || nb < 0 || na >= side || nb >= side)
        return true;
    return hf->node_flags[terrain_node_index(d, na, nb)];
}

// Emits the fan over rim positions first .. first + span (inclusive, mod 8).
// The ends of a partial fan are always kept: they bound the sector.
void emit_fan(Walk& w, int d, int a, int b, int first, int span)
{
    int s = 1 << (w.hf->order - d);
    int ci = (2 * a + 1) * s, cj = (2 * b + 1) * s;
    int vi[10], vj[10];
    int count = 0;
    vi[count] = ci;
    vj[count++] = cj;
    for (int step = 0; step <= span; step++) {
        int k = (first + step) & 7;
        bool end = span < 8 && (step == 0 || step == span);
        if ((k & 1) && !end && !midpoint_needed(w.hf, d, a, b, k))
            continue;
        vi[count] = ci + RIM_DI[k] * s;
        vj[count++] = cj + RIM_DJ[k] * s;
    }
    w.hf->lod.polygons += count - 1;
    w.sink(w.user, d, a, b, vi, vj, count);
}

bool behind_camera(const Walk& w, int d, int a, int b)
{
    const HeightField* hf = w.hf;
    const TerrainLodState& lod = hf->lod;
    double size = std::ldexp(1.0, hf->order - d + 1) * hf->spacing;
    double x = (a + ((lod.octant & 1) ? 1 : 0)) * size;
    double z = (b + ((lod.octant & 4) ? 1 : 0)) * size;
    double dot = (x - lod.camera[0]) * lod.view[0] + (w.corner_y - lod.camera[1]) * lod.view[1] +
                 (z - lod.camera[2]) * lod.view[2];
    return dot < 0;
}

void draw_node(Walk& w, int d, int a, int b)
{
    HeightField* hf = w.hf;
    if (behind_camera(w, d, a, b))
        return;
    if (d == hf->order || !bit(hf, d, a, b)) {
        emit_fan(w, d, a, b, 0, 8);
        return;
    }
    bool split[4];
    int unsplit = 0;
    for (int c = 0; c < 4; c++) {
        split[c] = bit(hf, d + 1, 2 * a + (c & 1), 2 * b + (c >> 1));
        unsplit += split[c] ? 0 : 1;
    }
    int s = 1 << (hf->order - d);
    int centre_i = (2 * a + 1) * s, centre_j = (2 * b + 1) * s;
    int quadrant = (hf->view_cell_x >= centre_i ? 1 : 0) | (hf->view_cell_z >= centre_j ? 2 : 0);
    const int* order = NEAR_ORDER[quadrant];
    if (unsplit == 4) {
        emit_fan(w, d, a, b, 0, 8);
        return;
    }
    bool drawn[4] = {false, false, false, false};
    for (int n = 3; n >= 0; n--) {
        int c = order[n];
        if (split[c]) {
            draw_node(w, d + 1, 2 * a + (c & 1), 2 * b + (c >> 1));
            continue;
        }
        if (drawn[c])
            continue;
        // The maximal run of unsplit quadrants around the rim through c.
        int p = CHILD_POSITION[c];
        int start = p, end = p;
        while (!split[POSITION_CHILD[(start + 3) & 3]])
            start = (start + 3) & 3;
        while (!split[POSITION_CHILD[(end + 1) & 3]])
            end = (end + 1) & 3;
        int quadrants = ((end - start) & 3) + 1;
        for (int q = 0; q < quadrants; q++)
            drawn[POSITION_CHILD[(start + q) & 3]] = true;
        emit_fan(w, d, a, b, (2 * start + 7) & 7, 2 * quadrants);
    }
}

}  // namespace

bool terrain_errors_update(HeightField* hf, long budget)
{
    TerrainLodState& lod = hf->lod;
    int n = hf->order;
    if (hf->heights.empty() || hf->node_error_aux.size() != hf->node_error.size() ||
        hf->node_error.size() < terrain_level_start(n + 1))
        return true;
    if (!lod.pass_active) {
        if (lod.pass_done && lod.pass_generation == hf->edit_generation)
            return true;
        lod.pass_active = true;
        lod.pass_level = n;
        lod.pass_row = lod.pass_col = lod.pass_half = lod.pass_scan = 0;
        lod.pass_max = 0;
        lod.pass_generation = hf->edit_generation;
    }
    long used = 0;
    while (lod.pass_level >= 0) {
        int d = lod.pass_level, side = 1 << d, size = 2 << (n - d);
        while (lod.pass_row < side) {
            while (lod.pass_col < side) {
                int a = lod.pass_col, b = lod.pass_row;
                int i0 = a * size, j0 = b * size;
                int first = ((a ^ b) & 1) ? 2 : 0;
                while (lod.pass_half < 2) {
                    while (lod.pass_scan <= size) {
                        long cost = lod.pass_scan == 0 ? 11 : 1;
                        if (budget >= 0 && used + cost > budget)
                            return false;
                        used += cost;
                        lod.pass_max = std::max(lod.pass_max, triangle_row_error(hf, i0, j0, size,
                                                                                 first + lod.pass_half,
                                                                                 lod.pass_scan));
                        lod.pass_scan++;
                    }
                    lod.pass_scan = 0;
                    lod.pass_half++;
                }
                hf->node_error_aux[terrain_node_index(d, a, b)] = node_value(hf, d, a, b, lod.pass_max);
                lod.pass_max = 0;
                lod.pass_half = 0;
                lod.pass_col++;
            }
            lod.pass_col = 0;
            lod.pass_row++;
        }
        lod.pass_row = 0;
        lod.pass_level--;
    }
    hf->node_error.swap(hf->node_error_aux);
    lod.pass_active = false;
    lod.pass_done = true;
    return true;
}

int terrain_window_origin(int camera_cell, int order, int depth)
{
    int q = order - depth;
    int first = floor_div(camera_cell - (1 << q), q + 1) - 1;
    int last = std::max(0, (1 << depth) - 4);
    return std::clamp(first, 0, last);
}

void terrain_split_pass(HeightField* hf)
{
    TerrainLodState& lod = hf->lod;
    int n = hf->order;
    if (hf->node_flags.size() < terrain_level_start(n + 1) || hf->node_error.size() < hf->node_flags.size())
        return;
    float spacing = hf->spacing > 0 ? hf->spacing : 1.0f;
    hf->view_cell_x = int(std::floor(std::clamp(lod.camera[0] / spacing, -1e8f, 1e8f)));
    hf->view_cell_z = int(std::floor(std::clamp(lod.camera[2] / spacing, -1e8f, 1e8f)));
    lod.octant = (lod.view[0] >= 0 ? 1 : 0) | (lod.view[1] >= 0 ? 2 : 0) | (lod.view[2] >= 0 ? 4 : 0);
    lod.polygons = 0;

    std::fill(hf->node_flags.begin(), hf->node_flags.end(), false);
    for (size_t k = 0; k < terrain_level_start(std::max(0, n - 5)); k++)
        hf->node_flags[k] = true;

    // Camera windows, finest first; each coarser window also holds the
    // parents of the finer one and their neighbours, so a window never
    // leaves a finer node beside a node two levels coarser.
    int lo_x = 0, hi_x = -1, lo_z = 0, hi_z = -1;
    for (int d = n; d >= 1; d--) {
        int side = 1 << d;
        int fx = terrain_window_origin(hf->view_cell_x, n, d);
        int fz = terrain_window_origin(hf->view_cell_z, n, d);
        int x0 = fx, x1 = fx + 3, z0 = fz, z1 = fz + 3;
        if (hi_x >= lo_x) {
            x0 = std::min(x0, (lo_x >> 1) - 1);
            x1 = std::max(x1, (hi_x >> 1) + 1);
            z0 = std::min(z0, (lo_z >> 1) - 1);
            z1 = std::max(z1, (hi_z >> 1) + 1);
        }
        lo_x = std::max(x0, 0);
        hi_x = std::min(x1, side - 1);
        lo_z = std::max(z0, 0);
        hi_z = std::min(z1, side - 1);
        for (int b = lo_z; b <= hi_z; b++)
            for (int a = lo_x; a <= hi_x; a++)
                hf->node_flags[terrain_node_index(d, a, b)] = true;
    }
    split_from(hf, 0, 0, 0);
}

void terrain_draw_nodes(HeightField* hf, TerrainFanSink sink, void* user)
{
    if (hf->node_flags.size() < terrain_level_start(hf->order + 1) || hf->heights.empty())
        return;
    Walk w{hf, sink, user, (hf->lod.octant & 2) ? hf->max_height : hf->min_height};
    draw_node(w, 0, 0, 0);
}
