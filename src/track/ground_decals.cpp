#include "track/ground_decals.h"

#include <algorithm>
#include <cmath>

namespace {

// The bucket a world coordinate falls in, as the decal insertion counts them.
int bucket_of(const HeightField* hf, float v)
{
    if (!(hf->extent > 0))
        return 0;
    double f = std::floor(double(v) / hf->extent * TERRAIN_DECAL_BUCKETS);
    return int(std::clamp(f, 0.0, double(TERRAIN_DECAL_BUCKETS - 1)));
}

// Whether decal index's bounding box overlaps the rectangle.
bool decal_overlaps(const HeightField* hf, int index, float x0, float z0, float x1, float z1)
{
    if (index < 0 || size_t(index) >= hf->decals.size())
        return false;
    const Decal& d = hf->decals[size_t(index)];
    float hx, hz;
    terrain_decal_extents(d, &hx, &hz);
    return d.x + hx > x0 && d.x - hx < x1 && d.z + hz > z0 && d.z - hz < z1;
}

}  // namespace

const std::vector<int>& ground_decals_in_square(const HeightField* hf, float x0, float z0, float x1, float z1,
                                                std::vector<int>* scratch_a, std::vector<int>* scratch_b)
{
    std::vector<int>* merged = scratch_a;
    std::vector<int>* other = scratch_b;
    merged->clear();
    int bx0 = bucket_of(hf, x0), bx1 = bucket_of(hf, x1);
    int bz0 = bucket_of(hf, z0), bz1 = bucket_of(hf, z1);
    for (int bz = bz0; bz <= bz1; bz++)
        for (int bx = bx0; bx <= bx1; bx++) {
            const std::vector<int>& bucket = hf->decal_buckets[bz][bx];
            if (bucket.empty())
                continue;
            // Both lists are ascending: merge them, dropping repeats.
            other->clear();
            size_t a = 0, b = 0;
            while (a < merged->size() || b < bucket.size()) {
                int next;
                if (b >= bucket.size() || (a < merged->size() && (*merged)[a] < bucket[b]))
                    next = (*merged)[a++];
                else if (a >= merged->size() || bucket[b] < (*merged)[a])
                    next = bucket[b++];
                else {
                    next = bucket[b++];
                    a++;
                }
                other->push_back(next);
            }
            std::swap(merged, other);
        }
    // Only the decals that reach into the square itself.
    size_t kept = 0;
    for (int index : *merged)
        if (decal_overlaps(hf, index, x0, z0, x1, z1))
            (*merged)[kept++] = index;
    merged->resize(kept);
    return *merged;
}

int ground_decal_pieces(float size, bool split)
{
    int f = 1;
    if (!split)
        return f;
    while (size / float(f) > GROUND_DECAL_PIECE_MAX && f < 1024)
        f *= 2;
    return f;
}

void ground_decal_quads(const Decal& d, bool split, std::vector<GroundDecalQuad>* out)
{
    int f = ground_decal_pieces(d.size, split);
    // Corner (0,0) of the texture and the two axes it spans.
    float ux = d.cos_angle * d.size * d.aspect, uz = -d.sin_angle * d.size * d.aspect;
    float vx = d.sin_angle * d.size, vz = d.cos_angle * d.size;
    float ox = d.x - (ux + vx) / 2, oz = d.z - (uz + vz) / 2;
    const float corner_u[4] = {0, 1, 1, 0}, corner_v[4] = {0, 0, 1, 1};
    for (int row = 0; row < f; row++)
        for (int col = 0; col < f; col++) {
            GroundDecalQuad q;
            for (int k = 0; k < 4; k++) {
                float u = (float(col) + corner_u[k]) / float(f), v = (float(row) + corner_v[k]) / float(f);
                q.u[k] = u;
                q.v[k] = v;
                q.x[k] = ox + u * ux + v * vx;
                q.z[k] = oz + u * uz + v * vz;
            }
            out->push_back(q);
        }
}
