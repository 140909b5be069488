// The decals a composed ground texture shows: which ones overlap a square of
// the ground (through the 8 x 8 decal buckets, in index order) and the quads
// that draw each one. No GL here: the ground texture composer draws them.
#pragma once
#include <vector>

#include "track/terrain.h"

// Largest decal the split drawing sends as one quad, in feet.
constexpr float GROUND_DECAL_PIECE_MAX = 256;

// One textured quad of a decal: corners in world x, z and their texture
// coordinates, in the order (0,0), (1,0), (1,1), (0,1) of the piece.
struct GroundDecalQuad {
    float x[4], z[4];
    float u[4], v[4];
};

// The indices (ascending, each once) of the decals whose bounding box
// overlaps the world rectangle x0..x1, z0..z1. The buckets the rectangle
// spans are merged through the two scratch lists, so a caller that keeps
// them allocates nothing after the first squares. Returns the list in use.
const std::vector<int>& ground_decals_in_square(const HeightField* hf, float x0, float z0, float x1, float z1,
                                                std::vector<int>* scratch_a, std::vector<int>* scratch_b);

// Pieces a side a decal is drawn in: 1, or with split on and a size above
// 256 feet the smallest power of two that brings each piece to 256 or less
// (some drivers mis-draw large quads into a texture).
int ground_decal_pieces(float size, bool split);

// Appends the decal's quads (pieces x pieces of them, row by row) to out:
// centred on the decal, the texture's u axis along (cos a, -sin a) with
// length size * aspect, v along (sin a, cos a) with length size.
void ground_decal_quads(const Decal& d, bool split, std::vector<GroundDecalQuad>* out);
