// Which decals a composed ground square shows, and the quads that draw them
// whole or split into pieces.
#include "track/ground_decals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// A 1024 ft ground (order 9, 1 ft cells: buckets 128 ft a side) with the
// given decals inserted in order.
struct DecalGround {
    HeightField hf;
    std::vector<int> a, b;
    explicit DecalGround(const std::vector<Decal>& decals)
    {
        hf.order = 9;
        hf.spacing = 1;
        hf.extent = 1024;
        for (const Decal& d : decals) {
            hf.decals.push_back(d);
            terrain_decal_insert(&hf, int(hf.decals.size()) - 1);
        }
    }
    std::vector<int> in(float x0, float z0, float x1, float z1)
    {
        return ground_decals_in_square(&hf, x0, z0, x1, z1, &a, &b);
    }
};

Decal decal_at(float x, float z, float size, float angle = 0, float aspect = 1)
{
    Decal d;
    d.x = x;
    d.z = z;
    d.size = size;
    d.aspect = aspect;
    d.angle = angle;
    d.sin_angle = std::sin(angle);
    d.cos_angle = std::cos(angle);
    return d;
}

}  // namespace

TEST(GroundDecals, SquareListsOverlappingDecalsOnceInIndexOrder)
{
    // 0 straddles four buckets, 1 and 3 sit in one each, 2 is far away.
    DecalGround g({decal_at(128, 128, 40), decal_at(100, 150, 10), decal_at(900, 900, 10), decal_at(140, 110, 8)});
    // A square over the four buckets around (128, 128).
    EXPECT_EQ(g.in(64, 64, 192, 192), (std::vector<int>{0, 1, 3}));
    // Bucket lists are coarse: a square inside bucket (0, 0), which holds
    // decal 0, lists only what reaches into the square itself.
    EXPECT_EQ(g.in(0, 0, 60, 60), std::vector<int>{});
    EXPECT_EQ(g.in(95, 145, 99, 149), (std::vector<int>{1}));
    // Squares are reused without their earlier contents leaking in.
    EXPECT_EQ(g.in(880, 880, 1024, 1024), (std::vector<int>{2}));
    EXPECT_EQ(g.in(0, 0, 1024, 1024), (std::vector<int>{0, 1, 2, 3}));
}

TEST(GroundDecals, PiecesPerSide)
{
    struct Case {
        float size;
        bool split;
        int pieces;
    } cases[] = {
        {600, true, 4}, {600, false, 1}, {256, true, 1}, {257, true, 2}, {512, true, 2}, {1100, true, 8}, {10, true, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ground_decal_pieces(c.size, c.split), c.pieces) << c.size << " split " << c.split;
}

TEST(GroundDecals, SplitPiecesTileTheWholeQuad)
{
    // A turned, stretched decal 600 ft across: 4 x 4 pieces whose corners lie
    // where the whole quad puts those texture coordinates.
    Decal d = decal_at(500, 400, 600, 0.7f, 1.5f);
    std::vector<GroundDecalQuad> whole, pieces;
    ground_decal_quads(d, false, &whole);
    ground_decal_quads(d, true, &pieces);
    ASSERT_EQ(whole.size(), 1u);
    ASSERT_EQ(pieces.size(), 16u);

    const GroundDecalQuad& w = whole[0];
    // The whole quad: centred, texture u along (cos, -sin) size*aspect long,
    // v along (sin, cos) size long, corners (0,0) (1,0) (1,1) (0,1).
    EXPECT_NEAR((w.x[0] + w.x[2]) / 2, 500, 1e-3);
    EXPECT_NEAR((w.z[0] + w.z[2]) / 2, 400, 1e-3);
    EXPECT_NEAR(w.x[1] - w.x[0], std::cos(0.7f) * 900, 1e-2);
    EXPECT_NEAR(w.z[1] - w.z[0], -std::sin(0.7f) * 900, 1e-2);
    EXPECT_NEAR(w.x[3] - w.x[0], std::sin(0.7f) * 600, 1e-2);
    EXPECT_NEAR(w.z[3] - w.z[0], std::cos(0.7f) * 600, 1e-2);
    const float cu[4] = {0, 1, 1, 0}, cv[4] = {0, 0, 1, 1};
    for (int k = 0; k < 4; k++) {
        EXPECT_EQ(w.u[k], cu[k]);
        EXPECT_EQ(w.v[k], cv[k]);
    }

    double area = 0;
    for (const GroundDecalQuad& q : pieces) {
        for (int k = 0; k < 4; k++) {
            // Bilinear position of (u, v) on the whole quad (a parallelogram).
            float x = w.x[0] + q.u[k] * (w.x[1] - w.x[0]) + q.v[k] * (w.x[3] - w.x[0]);
            float z = w.z[0] + q.u[k] * (w.z[1] - w.z[0]) + q.v[k] * (w.z[3] - w.z[0]);
            EXPECT_NEAR(q.x[k], x, 1e-2);
            EXPECT_NEAR(q.z[k], z, 1e-2);
        }
        EXPECT_NEAR(q.u[1] - q.u[0], 0.25f, 1e-6);
        EXPECT_NEAR(q.v[3] - q.v[0], 0.25f, 1e-6);
        area += std::fabs((q.x[1] - q.x[0]) * (q.z[3] - q.z[0]) - (q.z[1] - q.z[0]) * (q.x[3] - q.x[0]));
    }
    EXPECT_NEAR(area, 900.0 * 600.0, 1.0);
}
