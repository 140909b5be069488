// Small toolkit for the procedural models: meshes are assembled from boxes,
// swept tubes, ellipsoids, rounded slabs and rings, each placed by the
// builder's current transform and texture rectangle, then written as ".jm".
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "core/vec.h"
#include "files/model_file.h"

// A rectangle of the texture in image fractions: u to the right, t down
// from the top row (the convention the game's meshes store).
struct UvRect {
    double u0 = 0, t0 = 0, u1 = 1, t1 = 1;
};
// Cell (col, row) of a grid of n x m cells, optionally spanning w x h cells.
UvRect uv_cell(int col, int row, int cols, int rows, int w = 1, int h = 1);

// Placement of the next primitives: p' = origin + R * p.
struct Place {
    double r[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};  // row by row
    Vec3 origin{0, 0, 0};
};
Place place_identity();
Place place_mirror_x();                       // x -> -x
Place place_rotate_x(double angle, Vec3 origin = {0, 0, 0});
Place place_rotate_y(double angle, Vec3 origin = {0, 0, 0});
Place place_compose(const Place& outer, const Place& inner);  // outer after inner

// One mesh under construction.
struct MeshBuild {
    float shininess = 16;                 // -1: environment-mapped
    float colour[4] = {0.3f, 0.3f, 0.3f, 1};  // specular (lit) or tint + intensity (env)
    int bones = 0;
    std::vector<float> pos, nrm, uv, weights;
    std::vector<int> tri;
    // Current placement and texture rectangle; the weight function (skinned
    // meshes) maps a placed position to bones weights.
    Place place;
    UvRect rect;
    std::function<void(Vec3, float*)> weigh;
    // 0 for the full model; each step up (the coarser copies drawn from
    // further away) halves the segments of tubes, ellipsoids, tori and
    // discs, down to a floor that keeps them round enough.
    int detail = 0;
};

// The segment count a round primitive gets at the mesh's detail: `full`
// halved per step, never below `floor` (nor above `full`).
int mb_segments(const MeshBuild& mb, int full, int floor);

MeshBuild mesh_lit(float shininess, float specular);
MeshBuild mesh_env(float r, float g, float b, float intensity);

// Adds a vertex given in local coordinates; (u, t) in 0..1 map into rect.
int mb_vertex(MeshBuild& mb, Vec3 p, Vec3 n, double u, double t);
// Triangle in local winding order (flipped automatically when the placement
// mirrors).
void mb_triangle(MeshBuild& mb, int a, int b, int c);
void mb_quad(MeshBuild& mb, int a, int b, int c, int d);

// Axis-aligned box centred at c with half sizes h; every face maps the rect.
void mb_box(MeshBuild& mb, Vec3 c, Vec3 h);
// Box between two points with square section (side 2*half), along a->b.
void mb_beam(MeshBuild& mb, Vec3 a, Vec3 b, double half_w, double half_h, Vec3 up = {0, 1, 0});
// Circle of radius r swept along a path (radius per point, or one radius),
// `sides` around, capped at both ends when caps is true. u runs round, t
// along the path. `squash` scales the section across the path's side axis.
void mb_tube(MeshBuild& mb, const std::vector<Vec3>& path, const std::vector<double>& radii, int sides,
             bool caps, Vec3 up = {0, 1, 0}, double squash = 1.0);
// Ellipsoid with radii rad, `slices` round y and `stacks` from top to bottom.
void mb_ellipsoid(MeshBuild& mb, Vec3 c, Vec3 rad, int slices, int stacks);
// A flat outline in the (z, y) plane (side view, counter-clockwise seen from
// +x) made solid between x = x0 and x = x1 with rounded edges of size
// `round`. Side faces map the rect by side projection over the outline's
// bounding box (mapped so that -z, the front, is on the left).
void mb_slab(MeshBuild& mb, const std::vector<Vec3>& outline_zy, double x0, double x1, double round);
// Torus round the x axis: ring radius R, section radius r.
void mb_torus(MeshBuild& mb, double R, double r, int ring_segments, int sides, double x = 0);
// Flat disc (annulus) in a plane x = const, facing +x or -x.
void mb_disc(MeshBuild& mb, double x, double r_in, double r_out, int segments, bool facing_plus_x);

// The finished mesh (computes nothing else: the game computes tangents).
Mesh mb_finish(const MeshBuild& mb);

// ".jm" text of the meshes in order (all must share the bone count).
std::string mb_file(const std::vector<MeshBuild>& meshes);
