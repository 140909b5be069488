// The ground's quadtree without GL: which nodes split, whether the fans
// close up into one watertight sheet, and the budgeted error pass.
#include "track/terrain_lod.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <algorithm>
#include <utility>
#include <vector>

#include "track/terrain.h"

namespace {

// A field of order n built in memory with heights from fn(i, j), and its
// complete error pass.
void make_field(HeightField* hf, int n, float spacing, const std::function<float(int, int)>& fn)
{
    *hf = HeightField();
    hf->order = n;
    hf->vertex_count = (1 << (n + 1)) + 1;
    hf->spacing = spacing;
    hf->extent = spacing * float(1 << (n + 1));
    hf->detail = 0.125f / 50;
    int p = hf->vertex_count;
    hf->heights.resize(size_t(p) * p);
    hf->min_height = 1e30f;
    hf->max_height = -1e30f;
    for (int j = 0; j < p; j++)
        for (int i = 0; i < p; i++) {
            float h = fn(i, j);
            hf->heights[size_t(i) + size_t(p) * j] = h;
            hf->min_height = std::min(hf->min_height, h);
            hf->max_height = std::max(hf->max_height, h);
        }
    size_t nodes = terrain_level_start(n + 1);
    hf->node_flags.assign(nodes, false);
    hf->node_error.assign(nodes, 0);
    hf->node_error_aux.assign(nodes, 0);
    hf->edit_generation = 1;
    ASSERT_TRUE(terrain_errors_update(hf, -1));
}

float rough(int i, int j)
{
    uint32_t h = uint32_t(i) * 73856093u ^ uint32_t(j) * 19349663u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    return 20.0f * std::sin(i * 0.05f) * std::cos(j * 0.07f) + float(h % 1000) * 0.004f;
}

void set_camera(HeightField* hf, float x, float y, float z, float vx, float vy, float vz)
{
    hf->lod.camera[0] = x;
    hf->lod.camera[1] = y;
    hf->lod.camera[2] = z;
    hf->lod.view[0] = vx;
    hf->lod.view[1] = vy;
    hf->lod.view[2] = vz;
}

TEST(TerrainLod, FlatGroundFarAwaySplitsOnlyForcedLevelsAndTheClampedWindow)
{
    HeightField hf;
    make_field(&hf, 8, 2.0f, [](int, int) { return 5.0f; });
    const int n = hf.order;
    struct Case { float x, z; bool high; } cases[] = {
        {-1e6f, -1e6f, false}, {1e6f, 1e6f, true}, {-5000.0f, -3000.0f, false}};
    for (const Case& c : cases) {
        set_camera(&hf, c.x, 100, c.z, 0, -1, 0);
        terrain_split_pass(&hf);
        for (int d = 0; d <= n; d++) {
            int side = 1 << d;
            for (int b = 0; b < side; b++)
                for (int a = 0; a < side; a++) {
                    bool in_window = c.high ? (a >= side - 4 && b >= side - 4) : (a < 4 && b < 4);
                    bool expected = d <= n - 6 || (d >= 1 && in_window);
                    ASSERT_EQ(bool(hf.node_flags[terrain_node_index(d, a, b)]), expected)
                        << "camera " << c.x << "," << c.z << " level " << d << " node " << a << "," << b;
                }
        }
    }
}

// Collects every fan as triangles and checks that the sheet is closed:
// each inner edge is shared by two triangles running opposite ways, each
// border edge belongs to one, and the triangles cover the ground once.
struct Sheet {
    int p = 0;
    int fans = 0, longest = 0;
    bool clockwise_seen = false;
    double area = 0;
    std::vector<uint64_t> edges;  // directed edges, from << 32 | to
};

uint64_t edge_key(int from, int to) { return uint64_t(uint32_t(from)) << 32 | uint32_t(to); }

void collect(void* user, int, int, int, const int* vi, const int* vj, int count)
{
    Sheet& s = *static_cast<Sheet*>(user);
    s.fans++;
    s.longest = std::max(s.longest, count);
    for (int k = 1; k + 1 < count; k++) {
        int ax = vi[k] - vi[0], az = vj[k] - vj[0], bx = vi[k + 1] - vi[0], bz = vj[k + 1] - vj[0];
        double cross_y = double(az) * bx - double(ax) * bz;  // upward normal when positive
        if (cross_y <= 0)
            s.clockwise_seen = true;
        s.area += 0.5 * std::fabs(cross_y);
        int ids[3] = {vi[0] + s.p * vj[0], vi[k] + s.p * vj[k], vi[k + 1] + s.p * vj[k + 1]};
        for (int e = 0; e < 3; e++)
            s.edges.push_back(edge_key(ids[e], ids[(e + 1) % 3]));
    }
}

void expect_watertight(HeightField* hf, const char* what)
{
    Sheet s;
    s.p = hf->vertex_count;
    terrain_draw_nodes(hf, collect, &s);
    int cells = hf->vertex_count - 1;
    EXPECT_GT(s.fans, 0) << what;
    EXPECT_LE(s.longest, 10) << what;
    EXPECT_FALSE(s.clockwise_seen) << what;
    EXPECT_DOUBLE_EQ(s.area, double(cells) * cells) << what;
    std::sort(s.edges.begin(), s.edges.end());
    int open = 0, doubled = 0;
    for (size_t k = 0; k < s.edges.size(); k++) {
        if (k > 0 && s.edges[k] == s.edges[k - 1]) {
            doubled++;
            continue;
        }
        int from = int(s.edges[k] >> 32), to = int(s.edges[k] & 0xffffffffu);
        if (std::binary_search(s.edges.begin(), s.edges.end(), edge_key(to, from)))
            continue;
        int i0 = from % s.p, j0 = from / s.p, i1 = to % s.p, j1 = to / s.p;
        bool border = (i0 == i1 && (i0 == 0 || i0 == cells)) || (j0 == j1 && (j0 == 0 || j0 == cells));
        if (!border)
            open++;
    }
    EXPECT_EQ(open, 0) << what << ": edges with no partner (cracks or T-junctions)";
    EXPECT_EQ(doubled, 0) << what << ": overlapping triangles";
}

TEST(TerrainLod, FansCloseUpWithoutCracksWhereverTheCameraIs)
{
    struct Case { const char* what; float (*height)(int, int); float x, z; float detail; };
    const Case cases[] = {
        {"flat, camera at the centre", [](int, int) { return 0.0f; }, 256, 256, 0.0025f},
        {"rough, camera at the centre", rough, 256, 256, 0.0025f},
        {"rough, camera off-centre", rough, 150.5f, 388.25f, 0.0025f},
        {"rough, camera on a border", rough, 0, 320, 0.0025f},
        {"rough, camera outside", rough, -150, 750, 0.0025f},
        {"rough, very fine detail", rough, 200, 300, 0.0001f},
        {"rough, coarse detail", rough, 350, 100, 1.0f},
    };
    for (const Case& c : cases) {
        HeightField hf;
        make_field(&hf, 7, 2.0f, [&](int i, int j) { return c.height(i, j); });
        hf.detail = c.detail;
        hf.lod.pass_done = false;
        ASSERT_TRUE(terrain_errors_update(&hf, -1));
        // Looking straight down: nothing is behind the camera.
        set_camera(&hf, c.x, 60, c.z, 0, -1, 0);
        terrain_split_pass(&hf);
        expect_watertight(&hf, c.what);
        EXPECT_GT(hf.lod.polygons, 0);
    }
}

TEST(TerrainLod, BorderNodesKeepTheirOuterMidpoints)
{
    // With only the forced levels and a far window, a border node of
    // level n-5 is drawn from its parent; its outer edge gets the midpoint.
    HeightField hf;
    make_field(&hf, 7, 1.0f, [](int, int) { return 0.0f; });
    set_camera(&hf, 1e6f, 10, 1e6f, 0, -1, 0);
    terrain_split_pass(&hf);
    Sheet s;
    s.p = hf.vertex_count;
    terrain_draw_nodes(&hf, collect, &s);
    int cells = hf.vertex_count - 1;
    // The grid's own outer edge at x = 0 is cut at every node midpoint of
    // the drawn level, so no triangle edge there is longer than a node side.
    for (uint64_t edge : s.edges) {
        int from = int(edge >> 32), to = int(edge & 0xffffffffu);
        int i0 = from % s.p, j0 = from / s.p, i1 = to % s.p, j1 = to / s.p;
        if (i0 == 0 && i1 == 0) {
            EXPECT_LE(std::abs(j1 - j0), cells / 4) << j0 << " to " << j1;
        }
    }
    expect_watertight(&hf, "order 7, far camera");
}

TEST(TerrainLod, NodesBehindTheCameraAreSkipped)
{
    HeightField hf;
    make_field(&hf, 8, 2.0f, rough);
    set_camera(&hf, 512, 30, 512, 1, 0, 0);  // looking along +x
    terrain_split_pass(&hf);
    Sheet s;
    s.p = hf.vertex_count;
    struct Far { Sheet* sheet; int order; int min_i = 1 << 30; } far{&s, hf.order};
    terrain_draw_nodes(&hf, [](void* user, int d, int a, int b, const int* vi, const int* vj, int count) {
        Far& f = *static_cast<Far*>(user);
        int node_cells = 2 << (f.order - d);
        f.min_i = std::min(f.min_i, (a + 1) * node_cells);
        collect(f.sheet, d, a, b, vi, vj, count);
    }, &far);
    // Every node drawn reaches at least the camera's x (a node's fan
    // sectors may lie behind it); about half the ground is left out.
    EXPECT_GE(far.min_i * hf.spacing, 512 - 1e-3);
    double cells = hf.vertex_count - 1;
    EXPECT_LT(s.area, 0.75 * cells * cells);
    EXPECT_GT(s.area, 0.45 * cells * cells);
}

TEST(TerrainLod, BudgetedErrorPassMatchesTheFullPassAndRunsOnlyAfterEdits)
{
    HeightField full, sliced;
    make_field(&full, 7, 1.5f, rough);
    make_field(&sliced, 7, 1.5f, rough);
    std::vector<float> before = sliced.node_error;
    // No edit: nothing to do.
    EXPECT_TRUE(terrain_errors_update(&sliced, 1000));
    EXPECT_FALSE(sliced.lod.pass_active);

    // An edit: raise a hill in both, full pass on one, slices on the other.
    for (HeightField* hf : {&full, &sliced}) {
        for (int j = 100; j < 120; j++)
            for (int i = 30; i < 50; i++)
                hf->heights[size_t(i) + size_t(hf->vertex_count) * j] += 15.0f;
        hf->edit_generation++;
    }
    ASSERT_TRUE(terrain_errors_update(&full, -1));
    int slices = 0;
    while (!terrain_errors_update(&sliced, 1000)) {
        slices++;
        ASSERT_LT(slices, 100000);
        EXPECT_EQ(sliced.node_error, before) << "the front values change only when a pass completes";
    }
    EXPECT_GT(slices, 10);
    EXPECT_EQ(sliced.node_error, full.node_error);
    EXPECT_NE(sliced.node_error, before);
    EXPECT_TRUE(terrain_errors_update(&sliced, 1000));
}

}  // namespace
