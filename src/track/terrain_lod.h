// The ground's level of detail: a complete quadtree over the height field,
// the per-node split distances (error pass), the per-frame split bits from
// the camera (split pass) and the back-to-front walk that turns the split
// tree into crack-free triangle fans. No GL here: the renderer supplies a
// fan sink, and tests can check the mesh without a context.
//
// Level 0 is the root; level d has 2^d x 2^d nodes, the leaves (level n)
// are the 2 x 2-cell tiles. Node (a, b) of level d has the index
// (4^d - 1)/3 + a + b*2^d.
#pragma once
#include <cstddef>
#include <vector>

#include "track/ground_windows.h"

struct HeightField;

// Renderer-side state kept with each height field. The split distances
// live in HeightField::node_error (front, read by the split pass) and
// node_error_aux (back, written by the error pass); the split bits in
// HeightField::node_flags.
struct TerrainLodState {
    float camera[3] = {0, 0, 0};   // set by the scene before drawing
    float view[3] = {0, 0, -1};    // view direction, likewise
    int octant = 0;                // bit 0: view x >= 0, bit 1: y >= 0, bit 2: z >= 0
    int polygons = 0;              // fan rim vertices emitted this frame
    int frame = 0;                 // draws so far; wraps to 1
    // Resumable error pass.
    bool pass_active = false;
    bool pass_done = false;        // a complete pass exists for pass_generation
    int pass_level = 0, pass_row = 0, pass_col = 0, pass_half = 0, pass_scan = 0;
    float pass_max = 0;
    int pass_generation = 0;
    // The ground texture windows round the camera: their texture ids, which
    // are composed and where they lie; nothing ready until the generator
    // has run.
    GroundWindows windows;
};

// First index of level d.
inline size_t terrain_level_start(int d) { return ((size_t(1) << (2 * d)) - 1) / 3; }
inline size_t terrain_node_index(int d, int a, int b)
{
    return terrain_level_start(d) + size_t(a) + (size_t(b) << d);
}

// Runs the error pass for at most `budget` work units (negative: no limit).
// True when a complete pass has finished and the distance arrays swapped,
// or when nothing changed since the last complete pass.
bool terrain_errors_update(HeightField* hf, long budget);

// First node column (or row) of level d's camera window, 4 nodes wide;
// also the origin of ground texture window level q = n - d.
int terrain_window_origin(int camera_cell, int order, int depth);

// Camera cell, view octant, and this frame's split bits from the camera
// position and view direction stored in hf->lod.
void terrain_split_pass(HeightField* hf);

// Receives one triangle fan: the node (depth, a, b) whose centre the fan
// starts from, and the fan's vertex grid positions (centre first, the rim
// in counter-clockwise order seen from above, at most 10 vertices).
using TerrainFanSink = void (*)(void* user, int depth, int a, int b, const int* vi, const int* vj,
                                int count);

// Walks the split tree back to front (farthest first) from the camera and
// hands every fan to the sink; nodes wholly behind the camera are skipped.
// Adds the rim vertices to hf->lod.polygons.
void terrain_draw_nodes(HeightField* hf, TerrainFanSink sink, void* user);
